// The texts that fill a form's grid: the note row of a key and the two header rows (degree
// names or numbers), each as (column, text) pairs in ascending column order. Columns a form
// does not occupy never appear, so a caller that writes exactly these cells never touches them.
#pragma once

#include "scale_form.h"

#include <array>
#include <cstdint>
#include <string_view>

struct RowCell
{
    int column;
    std::string_view text;

    friend bool operator==(const RowCell &, const RowCell &) = default;
};

using ScaleRow = std::array<RowCell, 8>;

// The heading of cell (0, 0) while a grid shows degree names.
inline constexpr std::string_view TonicName = "Tônica";

// The notes of the form in the key whose tonic is NoteNames[keyIndex].
// Precondition: keyIndex lies in LowestKeyIndex..HighestKeyIndex (a chosen key). Any other value
// is refused with std::out_of_range before a note is read, so no position outside the note
// table can ever be reached.
ScaleRow NoteRow(ScaleForm form, std::int32_t keyIndex);

ScaleRow DegreeNameRow(ScaleForm form);
ScaleRow DegreeNumberRow(ScaleForm form);

// The header that follows a click: the numbers when the grid's cell (0, 0) holds exactly
// TonicName (case-sensitive, no trimming), the names for any other text.
ScaleRow NextHeaderRow(ScaleForm form, std::string_view headerCellText);
