#include <gtest/gtest.h>

#include "presets/PresetSearch.h"

namespace
{
struct SearchFixture : ::testing::Test
{
    SearchFixture() { root.createDirectory(); }
    ~SearchFixture() override { base.deleteRecursively(); }

    void add (const juce::String& relative)
    {
        const auto file = root.getChildFile (relative);
        file.getParentDirectory().createDirectory();
        file.replaceWithText ("<Tazzle/>");
    }

    juce::StringArray namesOf (const tz::PresetIndex& index, const tz::PresetFilter& filter) const
    {
        juce::StringArray names;
        for (const int i : index.filter (filter))
            names.add (index.getItems()[(size_t) i].entry.name());
        return names;
    }

    juce::File base = juce::File::getSpecialLocation (juce::File::tempDirectory)
                          .getChildFile ("tazzle-search-" + juce::String::toHexString (juce::Random().nextInt64()));
    juce::File root = base.getChildFile ("Presets");
    tz::PresetLibrary library { root };
};
} // namespace

TEST (PresetSearchText, FoldsCaseAccentsAndSpaces)
{
    EXPECT_EQ (tz::foldForSearch (juce::String (juce::CharPointer_UTF8 ("  \xc3\x89"
                                                                        "cho  Ch\xc3\xa2teau\tS\xc5\x82"
                                                                        "aby "))),
               "echo chateau slaby");
    EXPECT_EQ (tz::foldForSearch ("XY Gate Rider"), "xy gate rider");
    EXPECT_EQ (tz::foldForSearch (juce::String (juce::CharPointer_UTF8 ("\xc3\x86ther \xce\xa9"))),
               juce::String (juce::CharPointer_UTF8 ("\xc3\xa6ther \xce\xa9"))); // no base letter: kept
}

TEST_F (SearchFixture, FiltersByWordsCategorySourceAndFavourites)
{
    add ("Space/Infinite Hall.tzpreset");
    add ("Gates/XY Gate Rider.tzpreset");
    add ("Gates/My Gate.tzpreset");
    add ("User/Hallway.tzpreset");
    add (juce::String (juce::CharPointer_UTF8 ("Packs/Caf\xc3\xa9 Sounds/Space/Dark Room.tzpreset")));
    add ("Packs/Drums/Gates/Kick Gate.tzpreset");

    const tz::PresetIndex index (library.scan(), { "Gates/My Gate.tzpreset", "Space/Infinite Hall.tzpreset" },
                                 { "Space/Infinite Hall", "Gates/XY Gate Rider" }, library);

    using Source = tz::PresetSource;
    const struct
    {
        const char* what;
        tz::PresetFilter filter;
        const char* expected;
    } cases[] = {
        { "nothing typed", {}, "My Gate,XY Gate Rider,Infinite Hall,Hallway,Dark Room,Kick Gate" },
        { "one word, any case", { "HALL" }, "Infinite Hall,Hallway" },
        { "words in any order, each a part", { "rid gate" }, "XY Gate Rider" },
        { "the category counts as text", { "space" }, "Infinite Hall,Dark Room" },
        { "the pack counts, accents ignored", { "cafe" }, "Dark Room" },
        { "spaces around and between", { "  gate   kick " }, "Kick Gate" },
        { "a category", { "", "Gates" }, "My Gate,XY Gate Rider,Kick Gate" },
        { "factory only", { "", "", false, Source::factory }, "XY Gate Rider,Infinite Hall" },
        { "the user's only", { "gate", "", false, Source::user }, "My Gate" },
        { "every pack", { "", "", false, Source::pack }, "Dark Room,Kick Gate" },
        { "one pack", { "", "", false, Source::pack, "Drums" }, "Kick Gate" },
        { "favourites only", { "", "", true, Source::factory, "", true }, "My Gate,Infinite Hall" },
        { "nothing found", { "gate", "Space" }, "" },
    };
    for (const auto& c : cases)
        EXPECT_EQ (namesOf (index, c.filter).joinIntoString (","), c.expected) << c.what;
}

// The index is made from the names of the files alone: ten thousand presets whose contents could not even be
// parsed are listed and found.
TEST_F (SearchFixture, TenThousandPresetsAreIndexedByTheirNamesAlone)
{
    for (int i = 0; i < 10000; ++i)
    {
        const auto file = root.getChildFile ("Packs/Big/" + tz::presetCategories()[i % 8] + "/Preset "
                                             + juce::String (i) + ".tzpreset");
        if (i < 8)
            file.getParentDirectory().createDirectory();
        file.create();
    }

    const tz::PresetIndex index (library.scan(), {}, {}, library);
    EXPECT_EQ (index.getItems().size(), 10000u);
    EXPECT_EQ (namesOf (index, { "preset 9999" }).joinIntoString (","), "Preset 9999");
    EXPECT_EQ (index.filter ({ "99", "Space" }).size(), 22u); // the numbers with "99" in them that fell in Space
}
