#pragma once

// The slider-drag benchmark's cases: a panel of the program dragged by the hand over a
// 42-megapixel green-screen foreground, with the real canvas scene and view at 1920 x 1080.
//
// A case builds its panel (or a whole section page) for the open project and names the slider to
// drag; RegisterSliderDrag turns it into two benchmarks:
//   Drag/<name>     a frame is one slider move through QTest, then the viewport repaint that
//                   renders the preview (factor 3) and draws it;
//   Release/<name>  a frame is the release, then the repaint that renders at full resolution.
// Each reports where a frame's time goes: input_ms (the move or release with the panel's slot),
// render_ms (the layer's stages), compose_ms (the canvas image; for a whole-canvas request it is in
// render_ms), paint_ms (the rest of the repaint: drawing the image and the items).
// Add a case in a file of its own, registered at static initialisation (see FilterPanelDrags.cpp),
// and list the file in the program's SOURCES in Benchmarks/CMakeLists.txt.

#include "Project.h"

#include <QAbstractSlider>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

namespace lumo::ui {
class CanvasScene;
class CanvasView;
class KeySection;
} // namespace lumo::ui

namespace lumora::bench {

struct DraggedPanel {
    std::unique_ptr<QWidget> panel; // shown by the benchmark as a window of its own
    QAbstractSlider* slider = nullptr;
    // A panel that is a whole main window brings its own canvas: the frames repaint and time this
    // view (its scene's renders) instead of the benchmark's, and the window fills the screen.
    lumo::ui::CanvasView* view = nullptr;
    lumo::ui::CanvasScene* scene = nullptr;
};

struct SliderDragCase {
    std::string name;
    // Sets the project up as the panel expects it (current toolset, layer type, the item enabled)
    // and builds the panel. Called once, after the project is open and its images loaded.
    std::function<DraggedPanel(lumo::app::Project& project)> build;
};

// Registers Drag/<name> and Release/<name>, and their busy variants Drag/<name>/busy and
// Release/<name>/busy (four threads spinning beside them, BusyMachine.h); returns true, for a
// namespace-scope registrar.
bool RegisterSliderDrag(SliderDragCase dragCase);

// Opens the project (once) and builds the named case's panel (once), for a benchmark of its own
// that uses that panel; false when no case has the name.
bool BuildSliderDragCase(const std::string& name);

// The main keyer's Removal slider in a key page, or null when the page shows no such panel.
QAbstractSlider* KeyRemovalSlider(lumo::ui::KeySection& keys);

} // namespace lumora::bench
