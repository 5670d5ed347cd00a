#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

namespace tz::test
{

// An HTTP server on 127.0.0.1 at a free port, for tests of the update check. It serves one connection at a time
// on a thread of its own, answers every request with the same reply, and stops by itself after its lifetime
// or when destroyed. Nothing is ever sent beyond this machine.
class LocalHttpServer
{
public:
    enum class Behaviour
    {
        answer,  // the status and body, then close
        stall,   // read the request and never answer
        trickle, // a 200 head, then a body that keeps coming slowly and never ends
    };

    struct Reply
    {
        int status = 200;
        std::string body;
        Behaviour behaviour = Behaviour::answer;
        bool sendLength = true; // a Content-Length header with the body's size
    };

    explicit LocalHttpServer (Reply reply, std::chrono::milliseconds lifetime = std::chrono::seconds (30));
    ~LocalHttpServer();

    // "http://127.0.0.1:PORT", for TAZZLE_UPDATE_SERVER.
    std::string address() const { return "http://127.0.0.1:" + std::to_string (port); }
    int requestCount() const { return requests.load(); }
    // The last request's line and headers.
    std::string lastRequest() const;

private:
    void serve();
    void handle (int client);
    bool stopped() const;
    bool sendAll (int client, const std::string& data);

    const Reply reply;
    const std::chrono::steady_clock::time_point end;
    int listener = -1;
    int port = 0;
    std::atomic<bool> stopping { false };
    std::atomic<int> requests { 0 };
    mutable std::mutex requestLock;
    std::string request;
    std::thread thread;
};

} // namespace tz::test
