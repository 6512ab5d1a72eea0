// The main window's export, printing and help commands. Printing goes through Qt's print dialog
// and print preview on the application's printer; every way out restores the cursor it set.

#include "Shell/MainWindow.h"
#include "Shell/MainWindowPrivate.h"

#include "Shell/Application.h"
#include "Shell/DesktopServices.h"
#include "Shell/ExportImage.h"
#include "Shell/LumoDocument.h"
#include "Shell/OverrideCursor.h"
#include "Shell/Settings.h"

#include "Canvas.h"
#include "ExportSettings.h"
#include "LayerManager.h"
#include "Project.h"
#include "RenderProcessor.h"

#include <QDir>
#include <QFileInfo>
#include <QPrinter>
#include <QStandardPaths>

#include <algorithm>
#include <new>

namespace lumo::ui {

namespace {

const QString kNoPrinters =
    QObject::tr("No printers could be found.  Please check that you have installed the driver for your printer.");

void Warn(QWidget* parent, const QString& text)
{
    RestoreOverrideCursor();
    Application::Instance()->Dialogs().Message({.parent = parent, .icon = QMessageBox::Warning, .text = text});
}

bool HasCurrentForeground()
{
    const app::ProjectPtr project = Application::Instance()->GetDocument()->GetProject();
    return project && project->GetLayerManager()->GetForeground(project->GetLayerManager()->CurrentForegroundId());
}

} // namespace

void MainWindow::SlotOpenHelp(int section)
{
    OpenUrl(QDir(HelpFolder()).absoluteFilePath(HelpPageOf(section)));
}

void MainWindow::SlotOpenHelp()
{
    SlotOpenHelp(-1);
}

void MainWindow::SlotOpenQuickStart()
{
    OpenUrl(QDir(HelpFolder()).absoluteFilePath(QStringLiteral("your_first_composite.htm")));
}

void MainWindow::SlotDisplayPageSetupDialog()
{
    if (!HasPrinters()) {
        Warn(this, kNoPrinters);
        return;
    }
    Application::Instance()->Dialogs().PageSetup(Application::Instance()->GetPrinter(), nullptr);
}

void MainWindow::SlotDisplayPrintPreviewDialog()
{
    if (!HasPrinters()) {
        Warn(this, kNoPrinters);
        return;
    }
    QPrinter& printer = Application::Instance()->GetPrinter();
    // The margins as they are, set back so that they count as chosen.
    printer.setPageMargins(printer.pageLayout().margins(QPageLayout::Millimeter), QPageLayout::Millimeter);
    Application::Instance()->Dialogs().PrintPreview(printer, this,
                                                    [this](QPrinter* target) { SlotPrintPreviewPaintRequested(target); });
}

void MainWindow::SlotDisplayPrintDialog()
{
    if (!HasPrinters()) {
        Warn(this, kNoPrinters);
        return;
    }
    if (!HasCurrentForeground()) {
        Warn(this, tr("There is currently no foreground image to print."));
        return;
    }
    Application::Instance()->GetDocument()->RemoveTemporaryFiles();
    if (!Application::Instance()->PrintImage())
        Warn(this, tr("Could not create the image for printing."));
}

void MainWindow::SlotPrintPreviewPaintRequested(QPrinter* printer)
{
    Application* app = Application::Instance();
    const app::ProjectPtr project = app->GetDocument()->GetProject();
    const auto processor = app->GetRenderProcessor();
    if (printer == nullptr || !project || !processor || !HasCurrentForeground())
        return;
    const app::Canvas& canvas = project->GetCanvas();
    bool painted = false;
    bool restored = true;
    {
        const WaitCursor busy;
        app->SetExporting(true);
        processor->RemoveCacheBeforeExport();
        QImage rendered;
        if (processor->RenderExportImage(project->GetLayerManager()->CurrentForegroundId(), rendered) ==
            app::LMerrSuccess) {
            const QImage page = PrintPageImage(rendered, canvas);
            rendered = QImage();
            painted = PaintPageOnPrinter(*printer, page, canvas.DPI());
        }
        app->SetExporting(false);
        restored = processor->RestoreCacheAfterExport() == app::LMerrSuccess;
    }
    if (!restored)
        app->PostFatalError(std::make_exception_ptr(std::bad_alloc()));
    else if (!painted)
        Warn(this, tr("Could not create the image for printing."));
}

void MainWindow::SlotQuickExport()
{
    Application* app = Application::Instance();
    const app::ProjectPtr project = app->GetDocument()->GetProject();
    if (!project || !HasCurrentForeground()) {
        Warn(this, tr("There is currently no foreground image to export."));
        return;
    }
    // Starts where the last export went, with the photograph's name.
    QString folder = ReadSetting(QStringLiteral("RecentFolders"), QStringLiteral("export"));
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    QString base = QFileInfo(app->CurrentForegroundPath()).fileName().section(QLatin1Char('.'), 0, 0);
    if (base.isEmpty())
        base = tr("Composite");
    // The project's export format and quality are the starting choice.
    const app::ExportSettings& settings = project->GetExportSettings();
    const QString proposed = settings.Format() == app::ExportFormatTiff  ? QStringLiteral("tif")
                             : settings.Format() == app::ExportFormatPng ? QStringLiteral("png")
                                                                         : QStringLiteral("jpg");
    // The proposed format's filter first, so that the dialog shows the files of that format.
    QStringList filters = {tr("JPEG (*.jpg *.jpeg)"), tr("PNG (*.png)"), tr("TIFF (*.tif *.tiff)")};
    const qsizetype chosen = proposed == "png" ? 1 : proposed == "tif" ? 2 : 0;
    filters.move(chosen, 0);
    QString path = app->Dialogs().SaveFileName(this, tr("Export"), QDir(folder).filePath(base + '.' + proposed),
                                               filters.join(QStringLiteral(";;")), proposed);
    if (path.isEmpty())
        return;
    QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != "jpg" && suffix != "jpeg" && suffix != "png" && suffix != "tif" && suffix != "tiff") {
        path += '.' + proposed;
        suffix = proposed;
    }
    const QString format = suffix == "png" ? QStringLiteral("PNG")
                           : suffix.startsWith(QLatin1String("tif")) ? QStringLiteral("TIFF")
                                                                      : QStringLiteral("JPEG");
    WriteSetting(QStringLiteral("RecentFolders"), QStringLiteral("export"), QFileInfo(path).absolutePath());
    // The quality applies to JPEG; PNG and TIFF take the writer's default (a PNG quality would
    // lower its compression).
    const int quality = format == "JPEG" ? std::clamp(settings.Quality(), 0, 100) : -1;
    if (ExportCurrentForeground(path, format, quality))
        app->Dialogs().Message({.parent = this, .icon = QMessageBox::Information, .text = tr("Finished exporting.\t")});
    else
        Warn(this, tr("Could not export the image to:\n\n%1").arg(QDir::toNativeSeparators(path)));
}

} // namespace lumo::ui
