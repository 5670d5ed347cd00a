#include "updates/Checker.h"

#include <optional>

namespace tz::updates
{
namespace
{
    // Past this, the destructor gives up waiting for a thread that ignores its cancelled request.
    constexpr int threadExitWaitMs = 7000;
    constexpr int readPieceBytes = 4096;

    struct ServerParts
    {
        juce::String scheme, host;
        bool wellFormed = false;
    };

    ServerParts splitServer (const juce::String& server)
    {
        ServerParts parts;
        const int schemeEnd = server.indexOf ("://");
        if (schemeEnd <= 0)
            return parts;

        parts.scheme = server.substring (0, schemeEnd).toLowerCase();
        const auto authority = server.substring (schemeEnd + 3).upToFirstOccurrenceOf ("/", false, false);
        juce::String port;
        if (authority.startsWithChar ('['))
        {
            parts.host = authority.upToFirstOccurrenceOf ("]", true, false);
            port = authority.fromFirstOccurrenceOf ("]", false, false);
        }
        else
        {
            parts.host = authority.upToFirstOccurrenceOf (":", false, false);
            port = authority.fromFirstOccurrenceOf (":", true, false);
        }

        // No '@' (a user name would hide the real host), '?' or '#': the address is a prefix of the request's path.
        parts.wellFormed = parts.host.isNotEmpty()
            && server.containsOnly ("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-._~:/[]%")
            && (port.isEmpty() || (port.length() > 1 && port.substring (1).containsOnly ("0123456789")));
        return parts;
    }

    bool isLoopback (const juce::String& host)
    {
        if (host.equalsIgnoreCase ("localhost") || host == "[::1]")
            return true;

        const auto octets = juce::StringArray::fromTokens (host, ".", {});
        if (octets.size() != 4 || octets[0] != "127")
            return false;
        for (const auto& octet : octets)
            if (octet.isEmpty() || octet.length() > 3 || ! octet.containsOnly ("0123456789")
                || octet.getIntValue() > 255)
                return false;
        return true;
    }

    // The body of a 200 answer, or nothing when the request failed, was cancelled or the body is too long.
    std::optional<juce::MemoryBlock> readAnswer (juce::WebInputStream& stream)
    {
        if (! stream.connect (nullptr) || stream.getStatusCode() != 200 || stream.getTotalLength() > maxAnswerBytes)
            return {};

        juce::MemoryBlock body;
        char piece[readPieceBytes];
        for (;;)
        {
            const int read = stream.read (piece, readPieceBytes);
            if (read <= 0)
                break;
            if (body.getSize() + (size_t) read > (size_t) maxAnswerBytes)
                return {};
            body.append (piece, (size_t) read);
        }

        if (stream.isError() || body.isEmpty())
            return {};
        return body;
    }
} // namespace

juce::String serverAddress()
{
    const auto configured = juce::SystemStats::getEnvironmentVariable (serverVariable, {});
    return configured.isNotEmpty() ? configured : juce::String (defaultServer);
}

juce::String requestUrlFor (const juce::String& server)
{
    const auto parts = splitServer (server);
    if (! parts.wellFormed)
        return {};
    if (parts.scheme == "https" || (parts.scheme == "http" && isLoopback (parts.host)))
        return server.trimCharactersAtEnd ("/") + requestPath;
    return {};
}

bool switchesChecksOff (const juce::String& server) { return splitServer (server).host.isEmpty(); }

juce::String hostOf (const juce::String& server)
{
    const auto host = splitServer (server).host;
    return host.isNotEmpty() ? host : server;
}

//==============================================================================
Checker::Checker()
    : Checker (requestDeadlineMs)
{
}

Checker::Checker (int deadline)
    : juce::Thread ("Tazzle update check")
    , deadlineMs (deadline)
{
}

Checker::~Checker()
{
    signalThreadShouldExit();
    cancelRequest();
    stopThread (threadExitWaitMs);
    cancelPendingUpdate();
    stopTimer();
}

void Checker::check (Callback onResult)
{
    callbacks.push_back (std::move (onResult));
    if (requestUnderWay)
        return;

    requestUnderWay = true;
    server = serverAddress();
    {
        const std::scoped_lock lock (streamLock);
        cancelled = false;
    }
    // The last request's thread handed its result over as its final act; it has ended or is about to.
    waitForThreadToExit (-1);
    if (! startThread())
    {
        // Without a thread there is no request: the check fails.
        {
            const std::scoped_lock lock (resultLock);
            result = {};
        }
        triggerAsyncUpdate();
        return;
    }
    startTimer (deadlineMs);
}

void Checker::run()
{
    auto outcome = request();
    {
        const std::scoped_lock lock (resultLock);
        result = std::move (outcome);
    }
    if (! threadShouldExit())
        triggerAsyncUpdate();
}

Checker::Outcome Checker::request()
{
    const auto url = requestUrlFor (server);
    if (url.isEmpty())
        return {};

    juce::WebInputStream stream (juce::URL (url), false);
    // No redirects: the answer comes from the server that was checked above, or not at all.
    stream.withExtraHeaders ("Accept: application/json")
        .withConnectionTimeout (connectTimeoutMs)
        .withNumRedirectsToFollow (0);
    {
        const std::scoped_lock lock (streamLock);
        if (cancelled)
            return {};
        activeStream = &stream;
    }

    const auto answer = readAnswer (stream);
    {
        const std::scoped_lock lock (streamLock);
        activeStream = nullptr;
        if (cancelled)
            return {};
    }

    if (! answer)
        return {};
    return { true, parseRelease (*answer) };
}

void Checker::cancelRequest()
{
    const std::scoped_lock lock (streamLock);
    cancelled = true;
    if (activeStream != nullptr)
        activeStream->cancel();
}

void Checker::timerCallback()
{
    // The deadline: whatever the request is waiting for, it ends now and counts as a failure.
    stopTimer();
    cancelRequest();
}

void Checker::handleAsyncUpdate()
{
    stopTimer();
    requestUnderWay = false;

    Outcome outcome;
    {
        const std::scoped_lock lock (resultLock);
        outcome = result;
    }
    // Taken first, so a callback may start the next check.
    for (const auto& callback : std::exchange (callbacks, {}))
        callback (outcome.ok, outcome.release);
}

} // namespace tz::updates
