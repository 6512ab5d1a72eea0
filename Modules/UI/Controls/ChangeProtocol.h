#pragma once

// What the value, dial and hue controls share of the change protocol: a value is announced with
// the downsample factor of the render it asks for (3 while the user drags, 0 for a final value),
// and before the final announcement after a drag or a click the control marks the current
// layer's preview render stale, so that the next drag renders afresh.

#include "Shell/MetaTypes.h"

#include "RenderProcessor.h"

class QWheelEvent;
class QWidget;

namespace lumo::ui {

// The render level a pair starts with: it names no cache, so a pair whose owner leaves it there
// invalidates nothing.
inline constexpr app::RenderLevel NoRenderLevel = static_cast<app::RenderLevel>(5);

// Marks the preview render (factor 3) of the project's current layer stale from the level on.
void InvalidatePreviewCache(app::RenderLevel level);

// The wheel belongs to a value control only while the control has the keyboard focus (a click or
// Tab gives it; the wheel does not, see UseFocusForWheel): otherwise the event is ignored and goes
// on to the scrolled page around, so that scrolling the toolbox over a control changes no value.
// True when the control handles the event.
bool TakesWheel(const QWidget* control, QWheelEvent* event);

// Click and Tab focus, not wheel focus: the focus policy that goes with TakesWheel.
void UseFocusForWheel(QWidget* control);

// A real as an integer toward zero; NaN gives 0 and values beyond an int are clamped.
int TruncatedToInt(double value);

// A real value as the integer of a slider that works in thousandths, truncated toward zero.
int Thousandths(double value);

} // namespace lumo::ui
