#pragma once

#include <cstddef>
#include <memory>

#include <juce_core/juce_core.h>

namespace tz
{

// Every XML document the plug-in reads (host state, preset files, packs, favourites, settings) comes through
// these readers. They refuse, before parsing, a document that is larger than maxXmlBytes or nested deeper than
// maxXmlDepth: the framework's parser recurses once per level and would overflow the stack on a hostile file.
// They also refuse what none of our documents contains and what would let the parser's idea of the nesting
// drift from the pre-scan: DOCTYPE and other declarations, unknown entities, and '<' inside a tag.
inline constexpr std::size_t maxXmlBytes = 1 << 20;
inline constexpr int maxXmlDepth = 32;

// The root element of `text`, or null when it is refused or does not parse.
std::unique_ptr<juce::XmlElement> readXml (const juce::String& text);

// The same for UTF-8 bytes (a host blob, an archive entry); the size is checked before any text is made.
std::unique_ptr<juce::XmlElement> readXml (const void* utf8, std::size_t numBytes);

// True for well-formed UTF-8 up to the end or the first NUL: no overlong forms, surrogates or code points past
// U+10FFFF. The framework's own check lets overlong forms through, and its strings then miscount their bytes.
bool isStrictUtf8 (const void* bytes, std::size_t numBytes) noexcept;

// The text of a document's bytes, as every file of the plug-in is read: a UTF-16 or UTF-8 byte-order mark is
// honoured, bytes that are strictly UTF-8 are read as such, and anything else as Windows-1252, as the framework
// reads files.
juce::String documentText (const void* bytes, std::size_t numBytes);

// True for a regular file (after following links); a pipe or a device is not one.
bool isRegularFile (const juce::File& file);

// The same for a file. Only a regular file (after following links) of at most maxXmlBytes is read, and opening
// it never blocks, so a pipe or a device under a preset's name is refused at once.
std::unique_ptr<juce::XmlElement> readXmlFile (const juce::File& file);

} // namespace tz
