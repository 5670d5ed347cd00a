#include "presets/XmlReader.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tz
{

namespace
{
    using Chars = juce::String::CharPointerType;

    bool startsWith (Chars p, const char* literal) noexcept
    {
        return p.compareUpTo (juce::CharPointer_ASCII (literal), (int) std::strlen (literal)) == 0;
    }

    // Moves p past the next `terminator`; false when there is none.
    bool skipPast (Chars& p, const char* terminator) noexcept
    {
        const int index = p.indexOf (juce::CharPointer_ASCII (terminator));
        if (index < 0)
            return false;

        p += index + (int) std::strlen (terminator);
        return true;
    }

    // Moves p past the entity it points at. Only the five named entities and numeric references pass: the
    // parser takes anything else as a reference to a DTD entity and skips to the next ';' wherever it is,
    // which would hide markup from this scan.
    bool skipEntity (Chars& p) noexcept
    {
        ++p;

        for (const char* name : { "amp;", "quot;", "apos;", "lt;", "gt;" })
        {
            const int length = (int) std::strlen (name);
            if (p.compareIgnoreCaseUpTo (juce::CharPointer_ASCII (name), length) == 0)
            {
                p += length;
                return true;
            }
        }

        if (*p != '#')
            return false;
        ++p;

        const bool hex = *p == 'x' || *p == 'X';
        if (hex)
            ++p;

        int digits = 0;
        for (; hex ? juce::CharacterFunctions::getHexDigitValue (*p) >= 0 : (*p >= '0' && *p <= '9'); ++p)
            ++digits;

        // The parser's own limits on the digits, so that it stops exactly at the ';'.
        if (digits == 0 || digits > (hex ? 8 : 12) || *p != ';')
            return false;

        ++p;
        return true;
    }

    // Moves p past an attribute value that starts after the opening `quote`.
    bool skipQuoted (Chars& p, juce::juce_wchar quote) noexcept
    {
        for (;;)
        {
            const auto c = *p;

            if (c == 0 || c == '<')
                return false;

            if (c == '&')
            {
                if (! skipEntity (p))
                    return false;
                continue;
            }

            ++p;
            if (c == quote)
                return true;
        }
    }

    // The characters the parser takes into a tag or attribute name.
    bool isNameCharacter (juce::juce_wchar c) noexcept
    {
        return juce::CharacterFunctions::isLetterOrDigit (c) || c == '_' || c == '-' || c == ':' || c == '.';
    }

    // Moves p from after a start tag's '<' past its closing '>'; an empty element ("/>") closes again. Every run
    // of name characters outside quotes, which covers every name the parser could take from the tag, must be a
    // name the framework accepts: it asserts on any other ("<1a/>", "<a 2b='x'/>").
    bool skipStartTag (Chars& p, int& depth)
    {
        auto nameStart = p;
        bool inName = false;

        for (;;)
        {
            const auto c = *p;

            if (isNameCharacter (c))
            {
                if (! inName)
                    nameStart = p;
                inName = true;
                ++p;
                continue;
            }

            if (inName && ! juce::XmlElement::isValidXmlName (juce::String (nameStart, p)))
                return false;
            inName = false;

            if (c == 0 || c == '<')
                return false;

            if (c == '&')
            {
                if (! skipEntity (p))
                    return false;
                continue;
            }

            ++p;

            if (c == '"' || c == '\'')
            {
                if (! skipQuoted (p, c))
                    return false;
            }
            else if (c == '/' && *p == '>')
            {
                ++p;
                --depth;
                return true;
            }
            else if (c == '>')
            {
                return true;
            }
        }
    }

    // Whether text comes next, past any white space, comments and processing instructions. Inside an element, the
    // parser skips a processing instruction followed by text, then steps back before it to read the text, and so
    // loops for ever.
    bool isFollowedByText (Chars p) noexcept
    {
        for (;;)
        {
            p.incrementToEndOfWhitespace();
            if (startsWith (p, "<!--"))
            {
                if (! skipPast (p, "-->"))
                    return false;
            }
            else if (startsWith (p, "<?"))
            {
                if (! skipPast (p, "?>"))
                    return false;
            }
            else
            {
                return *p != '<' && *p != 0;
            }
        }
    }

    // The nesting the parser would reach, counted without parsing. Wherever this scan and the parser could
    // read the text differently the scan refuses or counts deeper, never shallower.
    bool isNestedWithinLimit (const juce::String& text)
    {
        auto p = text.getCharPointer();
        int depth = 0;

        while (! p.isEmpty())
        {
            const auto c = *p;

            if (c == '&')
            {
                if (! skipEntity (p))
                    return false;
                continue;
            }

            if (c != '<')
            {
                ++p;
                continue;
            }

            if (startsWith (p, "<!--"))
            {
                p += 4;
                if (! skipPast (p, "-->"))
                    return false;
            }
            else if (startsWith (p, "<![CDATA["))
            {
                p += 9;
                if (! skipPast (p, "]]>"))
                    return false;
            }
            else if (startsWith (p, "<?"))
            {
                p += 2;
                if (! skipPast (p, "?>") || (depth > 0 && isFollowedByText (p)))
                    return false;
            }
            else if (p[1] == '!')
            {
                return false; // DOCTYPE and other declarations
            }
            else if (p[1] == '/')
            {
                if (! skipPast (p, ">"))
                    return false;
                depth = juce::jmax (0, depth - 1);
            }
            else
            {
                if (++depth > maxXmlDepth)
                    return false;
                ++p;
                if (! skipStartTag (p, depth))
                    return false;
            }
        }

        return true;
    }

    // Reads the whole of an open regular file of at most maxXmlBytes.
    bool readRegularFile (int fd, juce::MemoryOutputStream& out)
    {
        struct stat info
        {
        };
        if (::fstat (fd, &info) != 0 || ! S_ISREG (info.st_mode) || info.st_size > (off_t) maxXmlBytes)
            return false;

        // The file may grow after the check; the cap holds whatever it grows to.
        char chunk[8192];
        for (;;)
        {
            const auto count = ::read (fd, chunk, sizeof (chunk));

            if (count == 0)
                return true;

            if (count < 0)
            {
                if (errno == EINTR)
                    continue;
                return false;
            }

            if (out.getDataSize() + (size_t) count > maxXmlBytes)
                return false;

            out.write (chunk, (size_t) count);
        }
    }
    // None of our documents holds text between tags, and ValueTree::fromXml asserts on it, so it is dropped.
    void removeTextElements (juce::XmlElement& element)
    {
        element.deleteAllTextElements();
        for (auto* child : element.getChildIterator())
            removeTextElements (*child);
    }
} // namespace

std::unique_ptr<juce::XmlElement> readXml (const juce::String& text)
{
    if (text.getNumBytesAsUTF8() > maxXmlBytes || ! isNestedWithinLimit (text))
        return {};

    auto root = juce::parseXML (text);
    if (root != nullptr)
        removeTextElements (*root);
    return root;
}

bool isStrictUtf8 (const void* bytes, std::size_t numBytes) noexcept
{
    const auto* s = static_cast<const unsigned char*> (bytes);
    for (std::size_t i = 0; i < numBytes;)
    {
        const unsigned char lead = s[i];
        if (lead == 0) // where the framework's text ends, as a host blob's terminator does
            return true;
        if (lead < 0x80)
        {
            ++i;
            continue;
        }

        const std::size_t length = lead >= 0xc2 && lead <= 0xdf ? 2
            : lead >= 0xe0 && lead <= 0xef                      ? 3
            : lead >= 0xf0 && lead <= 0xf4                      ? 4
                                                                : 0;
        if (length == 0 || i + length > numBytes)
            return false;

        std::uint32_t codePoint = lead & (0x7fu >> length);
        for (std::size_t k = 1; k < length; ++k)
        {
            if ((s[i + k] & 0xc0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (s[i + k] & 0x3fu);
        }

        const std::uint32_t smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        if (codePoint < smallest || codePoint > 0x10ffff || (codePoint >= 0xd800 && codePoint <= 0xdfff))
            return false;
        i += length;
    }
    return true;
}

std::unique_ptr<juce::XmlElement> readXml (const void* utf8, std::size_t numBytes)
{
    // Bytes that are not UTF-8 are refused before the framework, which asserts on them, makes text of them.
    if (utf8 == nullptr || numBytes > maxXmlBytes || ! isStrictUtf8 (utf8, numBytes))
        return {};

    return readXml (juce::String::fromUTF8 (static_cast<const char*> (utf8), (int) numBytes));
}

juce::String documentText (const void* bytes, std::size_t numBytes)
{
    const auto* data = static_cast<const juce::uint8*> (bytes);
    if (data == nullptr || numBytes == 0)
        return {};

    std::vector<juce::juce_wchar> characters;
    const auto text = [&characters]
    {
        characters.push_back (0);
        return juce::String (juce::CharPointer_UTF32 (characters.data()));
    };

    const bool bigEndian = juce::CharPointer_UTF16::isByteOrderMarkBigEndian (data);
    if (numBytes >= 2 && (bigEndian || juce::CharPointer_UTF16::isByteOrderMarkLittleEndian (data)))
    {
        // Surrogate pairs are joined; a lone surrogate becomes the replacement character.
        const std::size_t numUnits = (numBytes - 2) / 2;
        const auto unitAt = [&] (std::size_t i)
        {
            const auto* unit = data + 2 + 2 * i;
            return (juce::juce_wchar) (bigEndian ? juce::ByteOrder::bigEndianShort (unit)
                                                 : juce::ByteOrder::littleEndianShort (unit));
        };
        const auto isLow = [] (juce::juce_wchar c) { return c >= 0xdc00 && c <= 0xdfff; };

        for (std::size_t i = 0; i < numUnits; ++i)
        {
            auto c = unitAt (i);
            if (c >= 0xd800 && c <= 0xdbff && i + 1 < numUnits && isLow (unitAt (i + 1)))
                c = 0x10000 + ((c - 0xd800) << 10) + (unitAt (++i) - 0xdc00);
            else if (c >= 0xd800 && c <= 0xdfff)
                c = 0xfffd;
            if (c == 0)
                break;
            characters.push_back (c);
        }
        return text();
    }

    const auto* start = reinterpret_cast<const char*> (data);
    if (numBytes >= 3 && juce::CharPointer_UTF8::isByteOrderMark (data))
    {
        start += 3;
        numBytes -= 3;
    }
    const auto length = (std::size_t) (std::find (start, start + numBytes, '\0') - start);
    if (isStrictUtf8 (start, length))
        return juce::String::fromUTF8 (start, (int) length);

    // Windows-1252: Latin-1 but for the printable characters it puts in 0x80..0x9f.
    static constexpr juce::juce_wchar from0x80[32] = { 0x20ac, 0xfffd, 0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021,
                                                       0x02c6, 0x2030, 0x0160, 0x2039, 0x0152, 0xfffd, 0x017d, 0xfffd,
                                                       0xfffd, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014,
                                                       0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0xfffd, 0x017e, 0x0178 };
    for (std::size_t i = 0; i < length; ++i)
    {
        const auto byte = (juce::uint8) start[i];
        characters.push_back (byte >= 0x80 && byte < 0xa0 ? from0x80[byte - 0x80] : (juce::juce_wchar) byte);
    }
    return text();
}

bool isRegularFile (const juce::File& file)
{
    struct stat info
    {
    };
    return ::stat (file.getFullPathName().toRawUTF8(), &info) == 0 && S_ISREG (info.st_mode);
}

std::unique_ptr<juce::XmlElement> readXmlFile (const juce::File& file)
{
    // Non-blocking, so that opening a pipe does not wait for a writer; fstat then sees what was opened.
    const int fd = ::open (file.getFullPathName().toRawUTF8(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};

    juce::MemoryOutputStream bytes;
    const bool whole = readRegularFile (fd, bytes);
    ::close (fd);

    if (! whole)
        return {};

    return readXml (documentText (bytes.getData(), bytes.getDataSize()));
}

} // namespace tz
