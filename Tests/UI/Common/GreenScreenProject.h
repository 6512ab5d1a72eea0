#pragma once

// A project as a user makes one: a green-screen photograph (generated, with known alpha) over a
// background, saved as a project file.

#include "SampleProject.h"

#include "Shell/Application.h"

#include <QImage>
#include <QString>

namespace lumo::ui::testing {

struct GreenScreenProject : lumora::samples::GreenScreenProjectFiles {
    // The true alpha (0 to 255) at a photo pixel.
    int AlphaAt(int x, int y) const { return scene.alpha[static_cast<std::size_t>(y) * scene.width + x]; }
};

// Writes the photograph, a background of its size and the project into folder. The canvas is the
// photograph's size; the foreground is the current one.
GreenScreenProject WriteGreenScreenProject(const QString& folder, double megapixels = 0.25);

// Loads every layer image of the open project into the render processor, as reopening a project
// does (Application::LoadProjectImages); fails the test when one does not load.
void LoadLayerImages(Application& app);

} // namespace lumo::ui::testing
