#pragma once

// What the value, dial and hue controls share of the change protocol: a value is announced with
// the downsample factor of the render it asks for (3 while the user drags, 0 for a final value),
// and before the final announcement after a drag or a click the control marks the current
// layer's preview render stale, so that the next drag renders afresh.

#include "Shell/MetaTypes.h"

#include "RenderProcessor.h"

namespace lumo::ui {

// The render level a pair starts with: it names no cache, so a pair whose owner leaves it there
// invalidates nothing.
inline constexpr app::RenderLevel NoRenderLevel = static_cast<app::RenderLevel>(5);

// Marks the preview render (factor 3) of the project's current layer stale from the level on.
void InvalidatePreviewCache(app::RenderLevel level);

// A real as an integer toward zero; NaN gives 0 and values beyond an int are clamped.
int TruncatedToInt(double value);

// A real value as the integer of a slider that works in thousandths, truncated toward zero.
int Thousandths(double value);

} // namespace lumo::ui
