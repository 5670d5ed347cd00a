#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include <juce_events/juce_events.h>

#include "updates/Release.h"

namespace tz::updates
{

// Where the latest release is asked for. TAZZLE_UPDATE_SERVER, when set and not empty, replaces the server's
// address: a studio's mirror, or a test's server on this machine.
inline constexpr const char* defaultServer = "https://updates.quarrowtools.com";
inline constexpr const char* serverVariable = "TAZZLE_UPDATE_SERVER";
inline constexpr const char* requestPath = "/wp-json/qw/v1/latest";

juce::String serverAddress();

// The request's URL on `server`, or empty when the server is refused: "https://" anywhere, "http://" only on this
// machine (127.0.0.0/8, ::1, localhost); no user name, query or fragment.
juce::String requestUrlFor (const juce::String& server);

// The host a message names for `server`: its host name or address, or the whole text when it has none.
juce::String hostOf (const juce::String& server);

// A server setting with no host in it ("none", "off") switches checks off on this machine.
bool switchesChecksOff (const juce::String& server);

// Limits of one request. A longer answer, or one that is still coming at the deadline, counts as a failure.
inline constexpr int maxAnswerBytes = 64 * 1024;
inline constexpr int connectTimeoutMs = 5000;
inline constexpr int requestDeadlineMs = 10000;

// Asks the update server for the latest release on a thread of its own. One per process, shared by every
// instance through juce::SharedResourcePointer. Everything but the request runs on the message thread.
class Checker : private juce::Thread, private juce::AsyncUpdater, private juce::Timer
{
public:
    using Callback = std::function<void (bool ok, const Release& release)>;

    Checker();
    // For tests of a server that hangs, a shorter deadline than requestDeadlineMs.
    explicit Checker (int deadlineMs);
    // Cancels a request in progress, so it returns promptly even while the server stalls.
    ~Checker() override;

    // Calls `onResult` on the message thread with the outcome of a request: the one under way, if any, or a new
    // one. Callbacks run in the order they were added. ok is false when nothing usable came back.
    void check (Callback onResult);

private:
    struct Outcome
    {
        bool ok = false;
        Release release;
    };

    void run() override;
    void handleAsyncUpdate() override;
    void timerCallback() override;

    Outcome request();
    void cancelRequest();

    const int deadlineMs;
    juce::String server; // set on the message thread before each request's thread starts

    std::mutex resultLock; // the last outcome: written by the thread, read on the message thread
    Outcome result;

    std::mutex streamLock; // the stream of the request under way, and whether it was cancelled
    juce::WebInputStream* activeStream = nullptr;
    bool cancelled = false;

    std::vector<Callback> callbacks; // message thread only
    bool requestUnderWay = false;    // message thread only

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Checker)
};

} // namespace tz::updates
