#include "form_pattern.h"
#include "minor_keys.h"
#include "note_names.h"
#include "scale_rows.h"

#include <gtest/gtest.h>
#include <limits>
#include <set>
#include <stdexcept>

namespace {

using GridRow = std::array<std::string_view, 13>;

// What a grid row shows once the row's cells are written into empty cells.
GridRow spread(const ScaleRow &row)
{
    GridRow cells{};
    int previous = -1;
    for (const RowCell &cell : row) {
        EXPECT_GT(cell.column, previous) << "columns must ascend";
        previous = cell.column;
        cells.at(static_cast<std::size_t>(cell.column)) = cell.text;
    }
    return cells;
}

struct WorkedExample
{
    std::int32_t keyIndex;
    ScaleForm form;
    GridRow notes;
};

class NoteRowExamples : public testing::TestWithParam<WorkedExample>
{
};

TEST_P(NoteRowExamples, MatchTheTeachingTables)
{
    const WorkedExample &example = GetParam();
    EXPECT_EQ(spread(NoteRow(example.form, example.keyIndex)), example.notes);
}

using enum ScaleForm;

// A minor, A-flat minor (lowest key, reads position 0) and A-sharp minor (highest, reads 23).
INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, NoteRowExamples,
    testing::Values(
        WorkedExample{
            11, Primitiva, {"Lá", "", "Si", "Dó", "", "Ré", "", "Mi", "Fá", "", "Sol", "", "Lá"}},
        WorkedExample{
            11, Harmonica, {"Lá", "", "Si", "Dó", "", "Ré", "", "Mi", "Fá", "", "", "Sol #", "Lá"}},
        WorkedExample{11,
                      Melodica,
                      {"Lá", "", "Si", "Dó", "", "Ré", "", "Mi", "", "Fá #", "", "Sol #", "Lá"}},
        WorkedExample{
            4,
            Primitiva,
            {"Lá b", "", "Si b", "Dó b", "", "Ré b", "", "Mi b", "Fá b", "", "Sol b", "", "Lá b"}},
        WorkedExample{
            4,
            Harmonica,
            {"Lá b", "", "Si b", "Dó b", "", "Ré b", "", "Mi b", "Fá b", "", "", "Sol", "Lá b"}},
        WorkedExample{
            4,
            Melodica,
            {"Lá b", "", "Si b", "Dó b", "", "Ré b", "", "Mi b", "", "Fá", "", "Sol", "Lá b"}},
        WorkedExample{
            18,
            Primitiva,
            {"Lá #", "", "Si #", "Dó #", "", "Ré #", "", "Mi #", "Fá #", "", "Sol #", "", "Lá #"}},
        WorkedExample{
            18,
            Harmonica,
            {"Lá #", "", "Si #", "Dó #", "", "Ré #", "", "Mi #", "Fá #", "", "", "Sol ##", "Lá #"}},
        WorkedExample{18,
                      Melodica,
                      {"Lá #", "", "Si #", "Dó #", "", "Ré #", "", "Mi #", "", "Fá ##", "",
                       "Sol ##", "Lá #"}},
        WorkedExample{12,
                      Primitiva,
                      {"Mi", "", "Fá #", "Sol", "", "Lá", "", "Si", "Dó", "", "Ré", "", "Mi"}}));

TEST(HeaderRows, HarmonicaNamesAndNumbers)
{
    EXPECT_EQ(spread(DegreeNameRow(Harmonica)),
              (GridRow{"Tônica", "", "Sobretônica", "Mediante", "", "Subdominante", "", "Dominante",
                       "Submediante", "", "", "Sensível", "Tônica"}));
    EXPECT_EQ(spread(DegreeNumberRow(Harmonica)),
              (GridRow{"1", "", "2", "3", "", "4", "", "5", "6", "", "", "7", "8"}));
}

TEST(HeaderRows, SeventhAndSixthSitWhereEachFormPutsThem)
{
    EXPECT_EQ(spread(DegreeNameRow(Primitiva))[10], "Subtônica");
    EXPECT_EQ(spread(DegreeNameRow(Primitiva))[11], "");
    EXPECT_EQ(spread(DegreeNumberRow(Melodica))[8], "");
    EXPECT_EQ(spread(DegreeNumberRow(Melodica))[9], "6");
}

TEST(HeaderRows, NextHeaderRowSwitchesOnlyOnExactTonicName)
{
    struct Case
    {
        std::string_view cellText;
        bool numbers;
    };
    const Case cases[] = {
        {"Tônica", true}, {"tônica", false}, {"Tônica ", false}, {" Tônica", false},
        {"", false},      {"1", false},      {"8", false},       {"Tonica", false},
    };
    for (ScaleForm form : ScaleForms) {
        for (const Case &c : cases) {
            EXPECT_EQ(NextHeaderRow(form, c.cellText),
                      c.numbers ? DegreeNumberRow(form) : DegreeNameRow(form))
                << '"' << c.cellText << '"';
        }
    }
}

TEST(HeaderRows, SuccessiveTogglesAlternate)
{
    std::string_view cell = DegreeNameRow(Melodica).front().text;
    for (int click = 1; click <= 4; ++click) {
        cell = NextHeaderRow(Melodica, cell).front().text;
        EXPECT_EQ(cell, click % 2 ? "1" : "Tônica") << "click " << click;
    }
}

TEST(FormPattern, EveryEntryIsConsistentWithItsFifthOffset)
{
    for (ScaleForm form : ScaleForms) {
        const FormPatternTable &pattern = FormPattern(form);
        for (std::size_t i = 0; i < pattern.size(); ++i) {
            const FormPatternEntry &entry = pattern[i];
            EXPECT_EQ(((entry.Column - 7 * entry.FifthOffset) % 12 + 12) % 12, 0)
                << "column " << entry.Column;
            EXPECT_EQ(entry.DegreeNumber, std::to_string(i + 1));
        }
        EXPECT_EQ(pattern.front().Column, 0);
        EXPECT_EQ(pattern.back().Column, 12);
    }
}

TEST(FormPattern, NoTwoFormsShareAPattern)
{
    auto columns = [](ScaleForm form) {
        return spread(DegreeNumberRow(form));
    };
    EXPECT_NE(columns(Primitiva), columns(Harmonica));
    EXPECT_NE(columns(Harmonica), columns(Melodica));
    EXPECT_NE(columns(Primitiva), columns(Melodica));
}

TEST(NoteRow, HeaderAndNoteRowsOccupyTheSameColumns)
{
    for (ScaleForm form : ScaleForms) {
        const ScaleRow names = DegreeNameRow(form);
        const ScaleRow notes = NoteRow(form, NaturalKeyIndex);
        for (std::size_t i = 0; i < names.size(); ++i)
            EXPECT_EQ(names[i].column, notes[i].column);
    }
}

TEST(NoteRow, AllKeysTogetherReadEveryNoteNameAndNothingBeyond)
{
    std::set<int> positions;
    for (const MinorKey &key : MinorKeys) {
        for (ScaleForm form : ScaleForms) {
            for (const FormPatternEntry &entry : FormPattern(form))
                positions.insert(key.KeyIndex + entry.FifthOffset);
        }
    }
    EXPECT_EQ(positions.size(), NoteNames.size());
    EXPECT_EQ(*positions.begin(), 0);
    EXPECT_EQ(*positions.rbegin(), 23);
}

TEST(NoteRow, RefusesAKeyIndexThatNoKeyHas)
{
    const std::int32_t refused[] = {std::numeric_limits<std::int32_t>::min(), -1, 0, 3, 19, 23,
                                    std::numeric_limits<std::int32_t>::max()};
    for (ScaleForm form : ScaleForms) {
        for (std::int32_t keyIndex : refused)
            EXPECT_THROW(NoteRow(form, keyIndex), std::out_of_range) << keyIndex;
        EXPECT_NO_THROW(NoteRow(form, LowestKeyIndex));
        EXPECT_NO_THROW(NoteRow(form, HighestKeyIndex));
    }
}

} // namespace
