#pragma once

// The files the open project is built from (its photographs and its own project file) are never
// written over by an export or a print to a file: the composite would replace the original and the
// project would open with it.

#include <QString>

class QWidget;

namespace lumo::app {
class Project;
} // namespace lumo::app

namespace lumo::ui {

// Whether two paths name one file: for files that exist, the same file on the disk (symbolic links,
// "..", hard links and the letter case of a case-insensitive file system all resolved); otherwise
// the same cleaned absolute path.
bool IsSameFile(const QString& first, const QString& second);

// What the project reads from the file at path, as the user knows it ("the foreground photograph",
// "the background image", "the overlay image", "the image of the layer "Layer 2"", "the project
// file"); empty when it reads nothing from it.
QString ProjectUseOfFile(const app::Project& project, const QString& path);

// When the open project reads the file at path, tells the user which of its files it is and that
// it is not replaced, and answers true: the caller offers its dialog again. False (nothing shown)
// for any other file.
bool RefuseOverwritingProjectFile(QWidget* parent, const QString& path);

} // namespace lumo::ui
