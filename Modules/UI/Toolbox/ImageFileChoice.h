#pragma once

// What the import boxes, the layers panel and the layer properties share about image files: the
// questions they ask (through the dialog seam), where their file dialogs start, and which files a
// drop carries.

#include <QString>
#include <QStringList>

class QMimeData;
class QWidget;

namespace lumo::ui {

// The local files of a drop, in order; empty without data or URLs.
QStringList DroppedFiles(const QMimeData* data);

// A drop of several files on a place for one: the warning with the text, Ok or Cancel; true for Ok.
bool AcceptFirstOfSeveral(QWidget* parent, const QString& text);

// "Are you sure you wish to remove the selected image?"; true for Yes.
bool ConfirmImageRemoval(QWidget* parent);

// The question "Image not found" with the text; true for Yes.
bool AskToRelocate(QWidget* parent, const QString& text);

// The image file a change asks for: an existing file as it is; for an existing folder, the open
// dialog in that folder; otherwise the dialog in fallbackFolder. Empty when the dialog is cancelled.
QString ChooseImageFile(QWidget* parent, const QString& title, const QString& requested,
                        const QString& fallbackFolder);

// Where a relink dialog starts: the folder of the stored path when it exists, else the desktop.
QString RelinkStartFolder(const QString& storedPath);

// The relink dialog; empty when cancelled.
QString ChooseRelinkedFile(QWidget* parent, const QString& title, const QString& storedPath);

// The path names a plain file that reads as an image and has not failed to load unchanged
// (Application::IsUnchangedFailedPhoto).
bool IsImageFileReadable(const QString& path);

} // namespace lumo::ui
