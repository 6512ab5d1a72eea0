#pragma once

// A project as a user makes one: a generated green-screen photograph (with known alpha) over a
// background, imported into their layers and saved as a project file through the App library.
// Shared by the program's tests, the end-to-end fixture and the start-up benchmark.

#include "KeyingScenes.h"

#include <QImage>
#include <QSize>
#include <QString>

namespace lumora::samples {

struct GreenScreenProjectFiles {
    QString projectPath;
    QString photoPath;
    QString backgroundPath;
    lumora::keying::Scene scene; // the photograph, its true alpha and true foreground
    QImage background;
};

struct GreenScreenProjectSpec {
    double megapixels = 0.25;
    // "PNG" or "JPG": the format of the photograph and the background files.
    const char* imageFormat = "PNG";
    // The written version of the program.
    QString applicationVersion = QStringLiteral("4.1.0004");
};

// Writes portrait.<ext> (the photograph), sky.<ext> (a background of its size) and portrait.lumo4
// into folder. The canvas is the photograph's size at 300 dpi; the foreground is the current one.
// Throws std::runtime_error when a file cannot be written.
GreenScreenProjectFiles WriteGreenScreenProject(const QString& folder, const GreenScreenProjectSpec& spec = {});

// A project over image files that exist already: the photograph as the current foreground, a
// background and, when overlayPath is not empty, an overlay, each with its pixel size; the canvas is
// the photograph's size at 300 dpi. Throws std::runtime_error when it cannot be saved.
struct CompositeProjectFiles {
    QString photoPath;
    QSize photoSize;
    QString backgroundPath;
    QSize backgroundSize;
    QString overlayPath;
    QSize overlaySize;
};
void WriteCompositeProject(const QString& projectPath, const CompositeProjectFiles& files,
                           const QString& applicationVersion = QStringLiteral("4.1.0004"));

} // namespace lumora::samples
