#pragma once

// The Application's two refresh signals, resolved for QSignalSpy: one layer, or the whole canvas.

#include "Shell/Application.h"

namespace lumo::ui::testing {

inline const auto kLayerSignal = qOverload<const QUuid&, app::RenderLevel, hvn::image::HXDownsampleFactor>(
    &Application::SignalCanvasRefreshRequested);
inline const auto kCanvasSignal = qOverload<hvn::image::HXDownsampleFactor>(&Application::SignalCanvasRefreshRequested);

} // namespace lumo::ui::testing
