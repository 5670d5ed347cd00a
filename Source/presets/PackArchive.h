#pragma once

#include <optional>
#include <string>
#include <vector>

#include <juce_core/juce_core.h>

namespace tz
{

// A preset pack's ZIP archive, read without trusting it. The directory must be found where the format puts it
// (within the last 64 KiB + 22 bytes) and lie inside the file, or the file is no archive, and nothing else is read
// until then. Entry names stay bytes, since old tools write them in encodings that are not UTF-8. An entry's
// contents are inflated through a cap on the bytes that actually come out, whatever its header declares.
class PackArchive
{
public:
    struct Entry
    {
        std::string name; // as stored
        juce::int64 declaredSize = 0;
        juce::int64 compressedSize = 0;
        juce::int64 localHeaderOffset = 0;
        int method = 0; // 0 stored, 8 deflated; anything else can't be read
        bool isSymbolicLink = false;
    };

    explicit PackArchive (const juce::File& file);

    // False for a file that is not a readable ZIP archive with at least one entry.
    bool isArchive() const noexcept { return ! entries.empty(); }

    const std::vector<Entry>& getEntries() const noexcept { return entries; }

    // The index of the entry stored under exactly this name, or -1.
    int indexOf (const std::string& name) const;

    // The entry's bytes, or nothing when it can't be read or more than `limit` bytes come out of it; `inflated`
    // grows by the bytes that came out either way.
    std::optional<juce::MemoryBlock> read (const Entry& entry, std::size_t limit, juce::int64& inflated) const;

private:
    juce::File file;
    juce::int64 fileSize = 0;
    std::vector<Entry> entries;
};

} // namespace tz
