#include "LocalHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tz::test
{
namespace
{
    constexpr int pollMs = 20;
    constexpr size_t maxRequestBytes = 16 * 1024;

    bool waitFor (int fd, short events)
    {
        pollfd entry { fd, events, 0 };
        return ::poll (&entry, 1, pollMs) > 0;
    }

    const char* reasonFor (int status)
    {
        switch (status)
        {
            case 200:
                return "OK";
            case 404:
                return "Not Found";
            default:
                return "Status";
        }
    }
} // namespace

LocalHttpServer::LocalHttpServer (Reply r, std::chrono::milliseconds lifetime)
    : reply (std::move (r))
    , end (std::chrono::steady_clock::now() + lifetime)
{
    listener = ::socket (AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl (INADDR_LOOPBACK);
    address.sin_port = 0; // any free port
    socklen_t length = sizeof (address);
    if (listener < 0 || ::bind (listener, reinterpret_cast<sockaddr*> (&address), sizeof (address)) != 0
        || ::listen (listener, 8) != 0
        || ::getsockname (listener, reinterpret_cast<sockaddr*> (&address), &length) != 0)
        return; // port stays 0: every request to it fails, and the test with it

    port = ntohs (address.sin_port);
    thread = std::thread ([this] { serve(); });
}

LocalHttpServer::~LocalHttpServer()
{
    stopping = true;
    if (thread.joinable())
        thread.join();
    if (listener >= 0)
        ::close (listener);
}

std::string LocalHttpServer::lastRequest() const
{
    const std::scoped_lock lock (requestLock);
    return request;
}

bool LocalHttpServer::stopped() const { return stopping || std::chrono::steady_clock::now() >= end; }

void LocalHttpServer::serve()
{
    while (! stopped())
    {
        if (! waitFor (listener, POLLIN))
            continue;
        if (const int client = ::accept (listener, nullptr, nullptr); client >= 0)
        {
            handle (client);
            ::close (client);
        }
    }
}

bool LocalHttpServer::sendAll (int client, const std::string& data)
{
    for (size_t sent = 0; sent < data.size();)
    {
        if (stopped())
            return false;
        if (! waitFor (client, POLLOUT))
            continue;
        // MSG_NOSIGNAL: a client that hung up ends the send, not the test program.
        const auto n = ::send (client, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += (size_t) n;
    }
    return true;
}

void LocalHttpServer::handle (int client)
{
    std::string head;
    while (head.find ("\r\n\r\n") == std::string::npos && head.size() < maxRequestBytes)
    {
        if (stopped())
            return;
        if (! waitFor (client, POLLIN))
            continue;
        char buffer[1024];
        const auto n = ::recv (client, buffer, sizeof (buffer), 0);
        if (n <= 0)
            return;
        head.append (buffer, (size_t) n);
    }
    {
        const std::scoped_lock lock (requestLock);
        request = head;
    }
    ++requests;

    const auto hasHungUp = [client]
    {
        char byte;
        return waitFor (client, POLLIN) && ::recv (client, &byte, 1, MSG_DONTWAIT) <= 0;
    };

    switch (reply.behaviour)
    {
        case Behaviour::answer:
        {
            std::string response = "HTTP/1.1 " + std::to_string (reply.status) + " " + reasonFor (reply.status) + "\r\n"
                + "Content-Type: application/json\r\nConnection: close\r\n";
            if (reply.sendLength)
                response += "Content-Length: " + std::to_string (reply.body.size()) + "\r\n";
            sendAll (client, response + "\r\n" + reply.body);
            break;
        }
        case Behaviour::stall:
            while (! stopped() && ! hasHungUp())
            {
            }
            break;
        case Behaviour::trickle:
            // About 1 KB a second: well above what a stalled transfer looks like, far too slow to finish.
            if (sendAll (client,
                         "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n\r\n{\"pad\":\""))
                while (! stopped() && sendAll (client, std::string (20, ' ')) && ! hasHungUp())
                {
                }
            break;
    }
}

} // namespace tz::test
