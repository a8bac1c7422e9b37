#include "form_pattern.h"

namespace {

// Degrees 1 to 5 and the octave are common to all three forms; they differ only in the sixth
// and seventh degrees.
constexpr FormPatternTable PrimitivaPattern{{
    {0, 0, "Tônica", "1"},
    {2, 2, "Sobretônica", "2"},
    {3, -3, "Mediante", "3"},
    {5, -1, "Subdominante", "4"},
    {7, 1, "Dominante", "5"},
    {8, -4, "Submediante", "6"},
    {10, -2, "Subtônica", "7"},
    {12, 0, "Tônica", "8"},
}};

constexpr FormPatternTable HarmonicaPattern{{
    {0, 0, "Tônica", "1"},
    {2, 2, "Sobretônica", "2"},
    {3, -3, "Mediante", "3"},
    {5, -1, "Subdominante", "4"},
    {7, 1, "Dominante", "5"},
    {8, -4, "Submediante", "6"},
    {11, 5, "Sensível", "7"},
    {12, 0, "Tônica", "8"},
}};

constexpr FormPatternTable MelodicaPattern{{
    {0, 0, "Tônica", "1"},
    {2, 2, "Sobretônica", "2"},
    {3, -3, "Mediante", "3"},
    {5, -1, "Subdominante", "4"},
    {7, 1, "Dominante", "5"},
    {9, 3, "Submediante", "6"},
    {11, 5, "Sensível", "7"},
    {12, 0, "Tônica", "8"},
}};

} // namespace

const FormPatternTable &FormPattern(ScaleForm form)
{
    switch (form) {
    case ScaleForm::Harmonica:
        return HarmonicaPattern;
    case ScaleForm::Melodica:
        return MelodicaPattern;
    case ScaleForm::Primitiva:
        break;
    }
    return PrimitivaPattern;
}
