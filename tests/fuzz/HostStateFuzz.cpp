// Host state: whatever blob a host hands back must leave a sane processor, and its own saved state must read back.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    auto& processor = tz::fuzz::sharedProcessor();
    processor.setStateInformation (data, (int) size);
    tz::fuzz::requireSaneProcessor (processor);

    juce::MemoryBlock saved;
    processor.getStateInformation (saved);
    processor.setStateInformation (saved.getData(), (int) saved.getSize());
    tz::fuzz::requireSaneProcessor (processor);
    return 0;
}
