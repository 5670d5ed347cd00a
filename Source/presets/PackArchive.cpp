#include "presets/PackArchive.h"

namespace tz
{

namespace
{
    constexpr juce::uint32 endOfDirectorySignature = 0x06054b50;
    constexpr juce::uint32 directoryHeaderSignature = 0x02014b50;
    constexpr juce::uint32 localHeaderSignature = 0x04034b50;
    constexpr int endOfDirectorySize = 22;
    constexpr int maxCommentSize = 65535;
    constexpr int directoryHeaderSize = 46;
    constexpr int localHeaderSize = 30;
    // Ten thousand entries with long names fit in a fraction of this; a larger directory is not a preset pack.
    constexpr juce::int64 maxDirectoryBytes = 16 << 20;

    juce::uint32 read32 (const juce::uint8* bytes) noexcept { return juce::ByteOrder::littleEndianInt (bytes); }
    juce::uint16 read16 (const juce::uint8* bytes) noexcept { return juce::ByteOrder::littleEndianShort (bytes); }

    bool readExactly (juce::InputStream& in, juce::int64 position, void* buffer, int numBytes)
    {
        return in.setPosition (position) && in.read (buffer, numBytes) == numBytes;
    }

    // Where the directory starts and how long it is, from the end-of-directory record nearest the end.
    std::optional<std::pair<juce::int64, juce::int64>> findDirectory (juce::InputStream& in, juce::int64 fileSize,
                                                                      int& numEntries)
    {
        if (fileSize < endOfDirectorySize)
            return std::nullopt;

        const auto tailStart = juce::jmax<juce::int64> (0, fileSize - endOfDirectorySize - maxCommentSize);
        const auto tailSize = (int) (fileSize - tailStart);
        juce::HeapBlock<juce::uint8> tail ((size_t) tailSize);
        if (! readExactly (in, tailStart, tail.get(), tailSize))
            return std::nullopt;

        for (int pos = tailSize - endOfDirectorySize; pos >= 0; --pos)
        {
            const auto* record = tail.get() + pos;
            if (read32 (record) != endOfDirectorySignature)
                continue;

            numEntries = read16 (record + 10);
            const juce::int64 size = read32 (record + 12);
            const juce::int64 offset = read32 (record + 16);
            const auto recordPosition = tailStart + pos;
            if (numEntries == 0 || size > maxDirectoryBytes || offset + size > recordPosition)
                return std::nullopt;
            return std::pair { offset, size };
        }
        return std::nullopt;
    }
} // namespace

PackArchive::PackArchive (const juce::File& packFile)
    : file (packFile)
{
    juce::FileInputStream in (file);
    if (! in.openedOk())
        return;
    fileSize = in.getTotalLength();

    int numEntries = 0;
    const auto directory = findDirectory (in, fileSize, numEntries);
    if (! directory)
        return;

    const auto [offset, size] = *directory;
    juce::HeapBlock<juce::uint8> headers ((size_t) size);
    if (! readExactly (in, offset, headers.get(), (int) size))
        return;

    for (juce::int64 pos = 0; (int) entries.size() < numEntries && pos + directoryHeaderSize <= size;)
    {
        const auto* header = headers.get() + pos;
        if (read32 (header) != directoryHeaderSignature)
            break;

        const int nameLength = read16 (header + 28);
        const auto next = pos + directoryHeaderSize + nameLength + read16 (header + 30) + read16 (header + 32);
        if (pos + directoryHeaderSize + nameLength > size)
            break;

        Entry entry;
        entry.name.assign (reinterpret_cast<const char*> (header + directoryHeaderSize), (size_t) nameLength);
        entry.method = read16 (header + 10);
        entry.compressedSize = read32 (header + 20);
        entry.declaredSize = read32 (header + 24);
        entry.localHeaderOffset = read32 (header + 42);
        // The file type of the upper half of the external attributes, as Unix tools store it.
        entry.isSymbolicLink = ((read32 (header + 38) >> 16) & 0170000) == 0120000;
        entries.push_back (std::move (entry));
        pos = next;
    }
}

int PackArchive::indexOf (const std::string& name) const
{
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].name == name)
            return (int) i;
    return -1;
}

std::optional<juce::MemoryBlock> PackArchive::read (const Entry& entry, std::size_t limit, juce::int64& inflated) const
{
    if (entry.method != 0 && entry.method != 8)
        return std::nullopt;

    juce::FileInputStream in (file);
    juce::uint8 header[localHeaderSize];
    if (! in.openedOk() || ! readExactly (in, entry.localHeaderOffset, header, localHeaderSize)
        || read32 (header) != localHeaderSignature)
        return std::nullopt;

    const auto dataStart = entry.localHeaderOffset + localHeaderSize + read16 (header + 26) + read16 (header + 28);
    if (dataStart + entry.compressedSize > fileSize)
        return std::nullopt;

    juce::SubregionStream stored (&in, dataStart, entry.compressedSize, false);
    juce::GZIPDecompressorInputStream deflated (&stored, false, juce::GZIPDecompressorInputStream::deflateFormat);
    juce::InputStream& source = entry.method == 8 ? static_cast<juce::InputStream&> (deflated) : stored;

    juce::MemoryBlock data;
    char buffer[16384];
    for (int n; (n = source.read (buffer, (int) sizeof (buffer))) > 0;)
    {
        inflated += n;
        if (data.getSize() + (size_t) n > limit)
            return std::nullopt;
        data.append (buffer, (size_t) n);
    }
    return data;
}

} // namespace tz
