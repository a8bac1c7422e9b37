#include "minor_keys.h"
#include "note_names.h"

#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace {

std::size_t characterCount(std::string_view utf8)
{
    std::size_t count = 0;
    for (unsigned char byte : utf8)
        count += (byte & 0xC0) != 0x80;
    return count;
}

// The signed number of accidentals the words after " Menor - " name, sharps positive.
int signatureNamedBy(std::string_view caption)
{
    const std::string_view marker = " Menor - ";
    const auto at = caption.find(marker);
    if (at == std::string_view::npos)
        return 99;
    const std::string_view words = caption.substr(at + marker.size());
    if (words == "Nenhuma Alteração")
        return 0;
    const int count = words.front() - '0';
    const std::string_view kind = words.substr(1);
    if (kind == (count == 1 ? " Sustenido" : " Sustenidos"))
        return count;
    if (kind == (count == 1 ? " Bemol" : " Bemóis"))
        return -count;
    return 99;
}

TEST(KeyIndexForPosition, MapsListPositionsAndRefusesTheRest)
{
    struct Case
    {
        std::int32_t position;
        std::optional<std::int32_t> keyIndex;
    };
    const Case cases[] = {
        {std::numeric_limits<std::int32_t>::min(), std::nullopt},
        {-1, std::nullopt},
        {0, 11},
        {3, 14},
        {7, 18},
        {8, 10},
        {14, 4},
        {15, std::nullopt},
        {std::numeric_limits<std::int32_t>::max(), std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(KeyIndexForPosition(c.position), c.keyIndex) << "position " << c.position;
}

TEST(MinorKeys, RowsAreInListOrderAndAgreeWithTheMapping)
{
    for (std::size_t i = 0; i < MinorKeys.size(); ++i) {
        const MinorKey &key = MinorKeys[i];
        EXPECT_EQ(key.ListPosition, static_cast<std::int32_t>(i));
        EXPECT_EQ(KeyIndexForPosition(key.ListPosition), key.KeyIndex) << key.KeyCaption;
        EXPECT_TRUE(IsKeyIndex(key.KeyIndex)) << key.KeyCaption;
    }
}

TEST(MinorKeys, CaptionNamesTonicAndSignatureOfItsKeyIndex)
{
    for (const MinorKey &key : MinorKeys) {
        const std::string prefix = std::string(NoteNames[key.KeyIndex]) + " Menor - ";
        EXPECT_TRUE(key.KeyCaption.starts_with(prefix)) << key.KeyCaption;
        EXPECT_EQ(signatureNamedBy(key.KeyCaption), key.KeyIndex - NaturalKeyIndex)
            << key.KeyCaption;
    }
    EXPECT_TRUE(MinorKeys[12].KeyCaption.starts_with("Si b Menor - "));
}

TEST(MinorKeys, EveryKeyIndexFromLowestToHighestAppearsOnce)
{
    std::array<int, 24> seen{};
    for (const MinorKey &key : MinorKeys)
        ++seen.at(key.KeyIndex);
    for (std::int32_t k = 0; k < 24; ++k)
        EXPECT_EQ(seen[k], IsKeyIndex(k) ? 1 : 0) << "key index " << k;
}

TEST(NoteNames, LengthsAreCountedInCharacters)
{
    EXPECT_EQ(NoteNames[0], "Fá b");
    EXPECT_EQ(NoteNames[11], "Lá");
    EXPECT_EQ(NoteNames[23], "Sol ##");
    EXPECT_EQ(characterCount(NoteNames[0]), 4u);
    EXPECT_EQ(characterCount(NoteNames[7]), 2u);
    EXPECT_EQ(characterCount(NoteNames[23]), 6u);
}

TEST(NoteNames, EachTextIsASyllableAloneOrWithOneAccidental)
{
    const std::string_view syllables[] = {"Dó", "Ré", "Mi", "Fá", "Sol", "Lá", "Si"};
    const std::string_view accidentals[] = {"", " b", " #", " ##"};
    for (std::string_view text : NoteNames) {
        bool wellFormed = false;
        for (std::string_view syllable : syllables) {
            for (std::string_view accidental : accidentals)
                wellFormed |= text == std::string(syllable) + std::string(accidental);
        }
        EXPECT_TRUE(wellFormed) << '"' << text << '"';
    }
}

} // namespace
