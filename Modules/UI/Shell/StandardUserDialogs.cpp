#include "Shell/StandardUserDialogs.h"

#include <QColorDialog>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFont>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QIcon>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>

namespace lumo::ui {

namespace {

constexpr int kDataGuardingFontPoints = 10;

} // namespace

QString MessageBoxStyleSheet()
{
    QFile file(QStringLiteral(":CSS/MessageBox.css"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    return QString::fromUtf8(file.readAll());
}

QMessageBox::StandardButton StandardUserDialogs::Message(const MessageRequest& request)
{
    QMessageBox box(request.icon, request.title, request.text, request.buttons, request.parent);
    if (request.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(request.defaultButton);
    for (auto it = request.buttonTexts.constBegin(); it != request.buttonTexts.constEnd(); ++it)
        if (QAbstractButton* button = box.button(it.key()))
            button->setText(it.value());
    if (request.guardsData) {
        box.setStyleSheet(MessageBoxStyleSheet());
        const QFont font(DefaultFontFamily, kDataGuardingFontPoints);
        box.setFont(font);
        for (QAbstractButton* button : box.buttons())
            button->setFont(font);
    }
    box.exec();
    return box.standardButton(box.clickedButton());
}

QStringList StandardUserDialogs::ChooseFiles(const FileRequest& request)
{
    QFileDialog dialog(request.parent, request.title, request.folder, request.filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    switch (request.mode) {
    case FileDialogMode::OpenFile:
        dialog.setFileMode(QFileDialog::ExistingFile);
        break;
    case FileDialogMode::OpenFiles:
        dialog.setFileMode(QFileDialog::ExistingFiles);
        break;
    case FileDialogMode::SaveFile:
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(request.defaultSuffix);
        break;
    case FileDialogMode::Folder:
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        break;
    }
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

QColor StandardUserDialogs::ChooseColour(const ColourRequest& request)
{
    QColorDialog::ColorDialogOptions options = QColorDialog::DontUseNativeDialog;
    if (request.withAlpha)
        options |= QColorDialog::ShowAlphaChannel;
    return QColorDialog::getColor(request.initial, request.parent, request.title, options);
}

bool StandardUserDialogs::PageSetup(QPrinter& printer, QWidget* parent)
{
    QPageSetupDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

bool StandardUserDialogs::Print(QPrinter& printer, QWidget* parent)
{
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

bool StandardUserDialogs::PrintPreview(QPrinter& printer, QWidget* parent, const std::function<void(QPrinter*)>& paint)
{
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(QObject::tr("Print Preview"));
    dialog.setWindowFlags((dialog.windowFlags() & ~Qt::WindowContextHelpButtonHint) | Qt::WindowMinMaxButtonsHint);
    if (parent != nullptr)
        dialog.resize(static_cast<int>(parent->width() * 0.75), static_cast<int>(parent->height() * 0.90));
    dialog.setWindowIcon(QIcon(QStringLiteral(":/Icons/LumoIcon.png")));
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&paint](QPrinter* target) {
        if (paint)
            paint(target);
    });
    return dialog.exec() == QDialog::Accepted;
}

void StandardUserDialogs::Exit(int code)
{
    QCoreApplication::exit(code);
}

} // namespace lumo::ui
