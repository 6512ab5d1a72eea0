// The main window's printing and help commands. Printing and the help pages are not part of the
// program yet: the menu entries, shortcuts and bar buttons that lead here do nothing.

#include "Shell/MainWindow.h"

namespace lumo::ui {

void MainWindow::SlotOpenHelp(int /*section*/) {}

void MainWindow::SlotOpenHelp()
{
    SlotOpenHelp(-1);
}

void MainWindow::SlotOpenQuickStart() {}

void MainWindow::SlotDisplayPageSetupDialog() {}

void MainWindow::SlotDisplayPrintPreviewDialog() {}

void MainWindow::SlotDisplayPrintDialog() {}

void MainWindow::SlotPrintPreviewPaintRequested(QPrinter* /*printer*/) {}

} // namespace lumo::ui
