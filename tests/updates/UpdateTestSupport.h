#pragma once

#include <cstdlib>
#include <functional>
#include <optional>

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

#include "updates/Settings.h"

namespace juce
{
// The framework's own step of its message loop. The shared code is built without modal loops, so tests that wait
// for timers and asynchronous callbacks dispatch messages with it, as runDispatchLoopUntil would.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

namespace tz::updates
{
// Readable failures for tests that compare releases.
inline void PrintTo (const Release& release, std::ostream* out)
{
    *out << "{ \"" << release.version << "\", \"" << release.page << "\", \"" << release.mac << "\", \""
         << release.windows << "\" }";
}
} // namespace tz::updates

namespace tz::test
{

// Runs the message loop until `done` holds or `timeoutMs` has passed; returns `done()`.
inline bool runMessagesUntil (const std::function<bool()>& done, int timeoutMs)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;
    while (! done() && juce::Time::getMillisecondCounter() < end)
        if (! juce::dispatchNextMessageOnSystemQueue (true))
            juce::Thread::sleep (2);
    return done();
}

inline void runMessagesFor (int milliseconds)
{
    runMessagesUntil ([] { return false; }, milliseconds);
}

// Sets an environment variable for one scope, then puts back what was there.
class ScopedEnvironment
{
public:
    ScopedEnvironment (const char* variableName, const std::string& value)
        : name (variableName)
    {
        if (const char* old = std::getenv (name))
            previous = old;
        ::setenv (name, value.c_str(), 1);
    }

    ~ScopedEnvironment()
    {
        if (previous)
            ::setenv (name, previous->c_str(), 1);
        else
            ::unsetenv (name);
    }

private:
    const char* name;
    std::optional<std::string> previous;

    JUCE_DECLARE_NON_COPYABLE (ScopedEnvironment)
};

// Starts a test with no update settings and puts the test home's file back afterwards, so every other test
// keeps "autoUpdateCheck" = "0". It refuses to run outside the test home, which keeps the user's settings safe.
class UpdateSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (file.isAChildOf (juce::File (TAZZLE_TEST_HOME))) << "run the tests through ctest";
        inTestHome = true;
        if (file.existsAsFile())
            previousContent = file.loadFileAsString();
        file.deleteFile();
    }

    void TearDown() override
    {
        if (! inTestHome)
            return;
        if (previousContent)
            file.replaceWithText (*previousContent);
        else
            file.deleteFile();
    }

    const juce::File file = tz::updates::settingsFile();
    bool inTestHome = false;
    std::optional<juce::String> previousContent;
};

} // namespace tz::test
