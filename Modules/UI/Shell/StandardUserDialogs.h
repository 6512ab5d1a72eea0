#pragma once

#include "Shell/UserDialogs.h"

namespace lumo::ui {

// The dialogs a user sees: Qt's message boxes, Qt's own file and colour dialogs (never the
// platform's, which ignore the program's look and cannot be given a default suffix) and Qt's print
// dialogs.
class StandardUserDialogs final : public UserDialogs {
public:
    QMessageBox::StandardButton Message(const MessageRequest& request) override;
    QStringList ChooseFiles(const FileRequest& request) override;
    QColor ChooseColour(const ColourRequest& request) override;
    bool PageSetup(QPrinter& printer, QWidget* parent) override;
    bool Print(QPrinter& printer, QWidget* parent) override;
    bool PrintPreview(QPrinter& printer, QWidget* parent, const std::function<void(QPrinter*)>& paint) override;
    void Exit(int code) override;
};

// The style sheet of questions that guard data, read at each use; empty when it cannot be read.
QString MessageBoxStyleSheet();

} // namespace lumo::ui
