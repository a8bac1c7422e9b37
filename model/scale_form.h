// The three forms of the minor scale; the n-th form owns grid, label and player number n.
#pragma once

#include <array>

enum class ScaleForm { Primitiva, Harmonica, Melodica };

inline constexpr std::array<ScaleForm, 3> ScaleForms{ScaleForm::Primitiva, ScaleForm::Harmonica,
                                                     ScaleForm::Melodica};
