#pragma once

#include <QtGlobal>

namespace lumo::ui {

// The largest photograph the program imports and the largest canvas it makes (6500 x 6500).
// Compare products computed in 64 bits.
inline constexpr qint64 MaximumImagePixels = 42'250'000;
inline constexpr qint64 MaximumCanvasPixels = 42'250'000;

// The most items a user can add in the panels: masks and text items of one foreground, further
// image layers. A project file with more was not written by the program, and is refused as
// invalid when opened.
inline constexpr int MaximumMasks = 10;
inline constexpr int MaximumTextItems = 5;
inline constexpr int MaximumFurtherLayers = 5;

} // namespace lumo::ui
