#pragma once

// Start-up milestones for measuring where the time goes. With the environment variable
// LUMORA_STARTUP_TRACE set (to anything), each milestone is written to standard error as
//   lumora-startup <milestone> <milliseconds>
// counted from LUMORA_STARTUP_TRACE_ORIGIN (CLOCK_MONOTONIC in nanoseconds, taken by whoever
// started the process), or from the first milestone without it. With LUMORA_STARTUP_TRACE_EXIT set
// as well, the program ends once the canvas is painted at full resolution. Without LUMORA_STARTUP_TRACE
// nothing is measured or written. The end has one milestone too: "settings-written", each time the
// main window stores its settings as it closes.

namespace lumo::ui {

class MainWindow;

namespace startuptrace {

bool Enabled();
void Mark(const char* milestone);
// Marks "canvas-render-started" at the first paint of the window's canvas once it is fitted to its
// size, "canvas-rendered" once the first paint that drew a rendered image has finished (after the
// window's repaint that went to the screen), and "canvas-full-resolution" likewise for the first one
// at full resolution (later, when photos were shown from their previews first; the program ends
// after this one, once its event loop runs).
void WatchFirstRender(MainWindow& window);

} // namespace startuptrace

} // namespace lumo::ui
