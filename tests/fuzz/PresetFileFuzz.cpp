// Preset files: any bytes under a preset's name load into a sane processor or change nothing.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    auto& processor = tz::fuzz::sharedProcessor();
    const auto folder = tz::fuzz::scratchFolder ("preset");
    folder.createDirectory();
    const auto file = folder.getChildFile ("Fuzzed.tzpreset");
    file.replaceWithData (data, size);

    processor.loadPresetFile (file);
    tz::fuzz::requireSaneProcessor (processor);
    return 0;
}
