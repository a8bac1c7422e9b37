// The window's font: classic "MS Sans Serif", or the nearest sans-serif face where the
// desktop lacks it, at a character height given in pixels.
#pragma once

#include <QFont>

inline constexpr int WindowFontPixelSize = 11;

QFont WindowFont(int pixelSize = WindowFontPixelSize);
