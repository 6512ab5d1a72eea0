#pragma once

// Every question the program puts to the user goes through one replaceable object, reached with
// Application::Dialogs(): message boxes, file and colour dialogs, the print dialogs and the exit
// after a fatal error. Tests install a scripted one that records each request and answers it.

#include "Shell/Identity.h"

#include <QColor>
#include <QMap>
#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <functional>

class QPrinter;
class QWidget;

namespace lumo::ui {

struct MessageRequest {
    QWidget* parent = nullptr;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title = ApplicationName;
    QString text;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    // A question that guards the user's data (save changes, overwrite): it gets the program's
    // message-box style sheet and a larger font.
    bool guardsData = false;
    // Labels that replace a standard button's own, e.g. {{QMessageBox::Ok, "Continue"}}: the button
    // keeps its role and is answered as the standard button.
    QMap<QMessageBox::StandardButton, QString> buttonTexts = {};
};

enum class FileDialogMode {
    OpenFile,
    OpenFiles,
    SaveFile, // the default suffix is added to a typed name without one; overwriting is confirmed
    Folder,
};

struct FileRequest {
    QWidget* parent = nullptr;
    FileDialogMode mode = FileDialogMode::OpenFile;
    QString title;
    QString folder; // where the dialog starts, or the proposed file for a save
    QString filter; // "Name (*.a *.b);;Other (*.c)"
    QString defaultSuffix; // without the dot, e.g. "lumo4"
};

struct ColourRequest {
    QWidget* parent = nullptr;
    QString title;
    QColor initial = Qt::white;
    bool withAlpha = false;
};

class UserDialogs {
public:
    virtual ~UserDialogs();

    // The button the user pressed; the escape button (or NoButton) when the box was closed.
    virtual QMessageBox::StandardButton Message(const MessageRequest& request) = 0;
    // The chosen paths (one for every mode but OpenFiles); empty when cancelled.
    virtual QStringList ChooseFiles(const FileRequest& request) = 0;
    // An invalid colour when cancelled.
    virtual QColor ChooseColour(const ColourRequest& request) = 0;
    // Each answers whether the user accepted; the printer holds the choices made.
    virtual bool PageSetup(QPrinter& printer, QWidget* parent) = 0;
    virtual bool Print(QPrinter& printer, QWidget* parent) = 0;
    // paint draws the pages onto the printer it is given, each time the preview needs them.
    virtual bool PrintPreview(QPrinter& printer, QWidget* parent, const std::function<void(QPrinter*)>& paint) = 0;
    // Ends the event loop with the code: the last step of the fatal-error road.
    virtual void Exit(int code) = 0;

    // Shorthands for the single-path dialogs; empty when cancelled.
    QString OpenFileName(QWidget* parent, const QString& title, const QString& folder, const QString& filter);
    QString SaveFileName(QWidget* parent, const QString& title, const QString& proposed, const QString& filter,
                         const QString& defaultSuffix);
};

} // namespace lumo::ui
