#include <gtest/gtest.h>

#include "effects/EffectTestSignals.h"
#include "effects/RoomReverb.h"

namespace
{
using namespace tz::test;

juce::Reverb::Parameters parameters (float size, float damping, float width, float freeze)
{
    juce::Reverb::Parameters p;
    p.roomSize = size;
    p.damping = damping;
    p.wetLevel = 0.5f;
    p.dryLevel = 0.2f;
    p.width = width;
    p.freezeMode = freeze;
    return p;
}

TEST (RoomReverb, MatchesJuceReverbSampleForSample)
{
    // At 4 kHz the shortest delay line is shorter than the reverb's pieces.
    for (const double rate : { 44100.0, 48000.0, 4000.0 })
        for (const bool stereo : { true, false })
        {
            SCOPED_TRACE (testing::Message() << rate << " Hz, " << (stereo ? "stereo" : "mono"));
            juce::Reverb reference;
            tz::RoomReverb reverb;
            reference.setParameters (parameters (0.5f, 0.5f, 1.0f, 0.0f));
            reverb.setParameters (parameters (0.5f, 0.5f, 1.0f, 0.0f));
            reference.setSampleRate (rate);
            reverb.setSampleRate (rate);

            std::array<Signal, 2> expected { noise (20000, 5), noise (20000, 6) };
            auto actual = expected;

            // Parameters that move (and freeze) between chunks, so the smoothed gains glide.
            for (int start = 0, chunk = 0; start < 20000; start += 500, ++chunk)
            {
                const auto p = parameters ((float) (chunk % 5) / 4.0f, (float) (chunk % 3) / 2.0f,
                                           (float) (chunk % 4) / 3.0f, chunk == 20 ? 1.0f : 0.0f);
                reference.setParameters (p);
                reverb.setParameters (p);
                if (stereo)
                {
                    reference.processStereo (expected[0].data() + start, expected[1].data() + start, 500);
                    reverb.processStereo (actual[0].data() + start, actual[1].data() + start, 500);
                }
                else
                {
                    reference.processMono (expected[0].data() + start, 500);
                    reverb.processMono (actual[0].data() + start, 500);
                }
                if (chunk == 30)
                {
                    reference.reset();
                    reverb.reset();
                }
            }

            for (size_t ch = 0; ch < (stereo ? 2u : 1u); ++ch)
                for (size_t i = 0; i < expected[ch].size(); ++i)
                    ASSERT_EQ (actual[ch][i], expected[ch][i]) << "channel " << ch << ", sample " << i;
        }
}
} // namespace
