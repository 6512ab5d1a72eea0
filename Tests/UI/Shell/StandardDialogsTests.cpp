// The dialogs a user sees keep the program's texts, buttons and look. Each test acts on the dialog
// once it is open, from a queued call, as a user would.

#include "Modal.h"
#include "UiTest.h"

#include "Shell/StandardUserDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>

namespace lumo::ui::testing {
namespace {

using StandardDialogsTest = UiTest;

TEST_F(StandardDialogsTest, AQuestionGuardingDataIsStyledAndAnswersTheButtonPressed)
{
    StandardUserDialogs dialogs;
    QString styleSheet;
    QStringList buttons;
    WhenDialogShows<QMessageBox>([&](QMessageBox* box) {
        styleSheet = box->styleSheet();
        EXPECT_EQ(box->windowTitle(), ApplicationName);
        EXPECT_EQ(box->text(), "Do you want to save the changes to 'Portrait'?");
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Yes));
        EXPECT_EQ(box->button(QMessageBox::No)->font().pointSize(), 10);
        for (QAbstractButton* button : box->buttons())
            buttons.append(button->text().remove('&'));
        box->button(QMessageBox::No)->click();
    });
    const QMessageBox::StandardButton answer = dialogs.Message({.icon = QMessageBox::Warning,
                                                                .text = "Do you want to save the changes to 'Portrait'?",
                                                                .buttons = QMessageBox::Yes | QMessageBox::No |
                                                                           QMessageBox::Cancel,
                                                                .defaultButton = QMessageBox::Yes,
                                                                .guardsData = true});
    EXPECT_EQ(answer, QMessageBox::No);
    EXPECT_FALSE(styleSheet.isEmpty());
    EXPECT_EQ(styleSheet, MessageBoxStyleSheet());
    buttons.sort();
    EXPECT_EQ(buttons, QStringList({"Cancel", "No", "Yes"}));
}

TEST_F(StandardDialogsTest, ARelabelledButtonShowsItsLabelAndAnswersAsItsStandardButton)
{
    StandardUserDialogs dialogs;
    QStringList buttons;
    WhenDialogShows<QMessageBox>([&](QMessageBox* box) {
        for (QAbstractButton* button : box->buttons())
            buttons.append(button->text().remove('&'));
        EXPECT_EQ(box->buttonRole(box->button(QMessageBox::Ok)), QMessageBox::AcceptRole);
        box->button(QMessageBox::Ok)->click();
    });
    const QMessageBox::StandardButton answer =
        dialogs.Message({.icon = QMessageBox::Warning,
                         .text = "Are you sure you want to revert to the saved version of this project?",
                         .buttons = QMessageBox::Ok | QMessageBox::Cancel,
                         .buttonTexts = {{QMessageBox::Ok, "Continue"}}});
    EXPECT_EQ(answer, QMessageBox::Ok);
    buttons.sort();
    EXPECT_EQ(buttons, QStringList({"Cancel", "Continue"}));
}

TEST_F(StandardDialogsTest, TheSaveDialogIsQtsOwnAndAddsTheSuffix)
{
    StandardUserDialogs dialogs;
    WhenDialogShows<QFileDialog>([](QFileDialog* dialog) {
        EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(dialog->defaultSuffix(), "lumo4");
        EXPECT_EQ(dialog->windowTitle(), "Save Project As");
        dialog->reject();
    });
    EXPECT_EQ(dialogs.SaveFileName(nullptr, "Save Project As", QDir::tempPath(), "Lumora projects (*.lumo4)", "lumo4"),
              QString());
}

// The preview belongs to the window it was asked from: it stays above it, centred on it and sized
// from it, and closes with it.
TEST_F(StandardDialogsTest, ThePrintPreviewIsAChildOfItsWindowAndSizedFromIt)
{
    StandardUserDialogs dialogs;
    QWidget window;
    window.resize(800, 600);
    window.show();
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QDir::temp().filePath("lumora-preview-test.pdf"));
    bool painted = false;
    WhenDialogShows<QPrintPreviewDialog>([&](QPrintPreviewDialog* dialog) {
        EXPECT_EQ(dialog->parentWidget(), &window);
        EXPECT_EQ(dialog->windowTitle(), "Print Preview");
        EXPECT_EQ(dialog->size(), QSize(600, 540));
        dialog->reject();
    });
    EXPECT_FALSE(dialogs.PrintPreview(printer, &window, [&](QPrinter*) { painted = true; }));
    EXPECT_TRUE(painted);
}

} // namespace
} // namespace lumo::ui::testing
