// The eight occupied columns of each scale form: where each degree sits (semitones above the
// tonic), how many fifths from the tonic its note lies, and its heading as a name and a number.
#pragma once

#include "scale_form.h"

#include <array>
#include <string_view>

struct FormPatternEntry
{
    int Column;
    int FifthOffset;
    std::string_view DegreeName;
    std::string_view DegreeNumber;
};

using FormPatternTable = std::array<FormPatternEntry, 8>;

const FormPatternTable &FormPattern(ScaleForm form);
