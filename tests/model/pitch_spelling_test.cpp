// Checks every note the grids can show against music theory worked out here from the note's
// spelling, independently of the model's tables: a wrong entry in any table shows up as a
// wrong pitch or a wrong letter.
#include "form_pattern.h"
#include "minor_keys.h"
#include "note_names.h"
#include "note_spelling.h"
#include "scale_rows.h"

#include <gtest/gtest.h>
#include <string>

namespace {

// Semitones above the tonic of each degree, in the three forms, as a music student learns them.
constexpr std::array<std::array<int, 8>, 3> DegreeSemitones{{
    {0, 2, 3, 5, 7, 8, 10, 12},
    {0, 2, 3, 5, 7, 8, 11, 12},
    {0, 2, 3, 5, 7, 9, 11, 12},
}};

TEST(PitchSpelling, EveryCellSoundsItsColumnAboveTheTonicWithTheRightLetter)
{
    for (const MinorKey &key : MinorKeys) {
        const NoteSpelling tonic = SpellNote(NoteNames[key.KeyIndex]);
        for (ScaleForm form : ScaleForms) {
            const ScaleRow row = NoteRow(form, key.KeyIndex);
            const auto &semitones = DegreeSemitones[static_cast<std::size_t>(form)];
            for (std::size_t degree = 0; degree < row.size(); ++degree) {
                const RowCell &cell = row[degree];
                const NoteSpelling note = SpellNote(cell.text);
                SCOPED_TRACE(std::string(key.KeyCaption) + ", form "
                             + std::to_string(static_cast<int>(form)) + ", column "
                             + std::to_string(cell.column));
                EXPECT_EQ(cell.column, semitones[degree]);
                EXPECT_EQ(note.pitchClass, (tonic.pitchClass + cell.column) % 12);
                EXPECT_EQ(note.letter, (tonic.letter + static_cast<int>(degree)) % 7);
            }
        }
    }
}

} // namespace
