// The 24 note names the grids can show, in Portuguese solfège, ordered along the line of
// fifths from F-flat to G-double-sharp: one step up the table is a perfect fifth up.
#pragma once

#include <array>
#include <string_view>

inline constexpr std::array<std::string_view, 24> NoteNames{
    "Fá b",  "Dó b", "Sol b", "Ré b", "Lá b", "Mi b",  "Si b",  "Fá",
    "Dó",    "Sol",  "Ré",    "Lá",   "Mi",   "Si",    "Fá #",  "Dó #",
    "Sol #", "Ré #", "Lá #",  "Mi #", "Si #", "Fá ##", "Dó ##", "Sol ##",
};
