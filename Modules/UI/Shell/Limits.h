#pragma once

#include <QtGlobal>

namespace lumo::ui {

// The largest photograph the program imports and the largest canvas it makes (6500 x 6500).
// Compare products computed in 64 bits.
inline constexpr qint64 MaximumImagePixels = 42'250'000;
inline constexpr qint64 MaximumCanvasPixels = 42'250'000;

} // namespace lumo::ui
