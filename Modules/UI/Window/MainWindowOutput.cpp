// The main window's export, printing and help commands. Printing goes through Qt's print dialog
// and print preview on the application's printer; every way out restores the cursor it set.

#include "Window/MainWindow.h"
#include "Window/MainWindowPrivate.h"

#include "Shell/Application.h"
#include "Shell/DesktopServices.h"
#include "Shell/ExportImage.h"
#include "Shell/LumoDocument.h"
#include "Shell/OverrideCursor.h"
#include "Shell/ProjectFileUse.h"
#include "Shell/Settings.h"

#include "Canvas.h"
#include "LayerManager.h"
#include "Project.h"
#include "RenderProcessor.h"

#include <QDir>
#include <QFileInfo>
#include <QPaintEngine>
#include <QPrinter>

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

// A preview draws the pages through a recording engine of its own; a print draws onto the printer's.
bool IsPreviewPainting(QPrinter& printer)
{
    const QPaintEngine* engine = printer.paintEngine();
    return engine != nullptr && engine->type() == QPaintEngine::Picture;
}

bool HasCurrentForeground()
{
    const app::ProjectPtr project = Application::Instance()->GetDocument()->GetProject();
    return project && project->GetLayerManager()->GetForeground(project->GetLayerManager()->CurrentForegroundId());
}

} // namespace

void MainWindow::SlotOpenHelp(int section)
{
    OpenHelpPage(HelpPageOf(section));
}

void MainWindow::SlotOpenHelp()
{
    SlotOpenHelp(-1);
}

void MainWindow::SlotOpenQuickStart()
{
    OpenHelpPage(QStringLiteral("your_first_composite.htm"));
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
    // The preview's own print to a file the project is built from writes nothing; the preview
    // itself (drawn through its own engine) still shows the page.
    if (!IsPreviewPainting(*printer) && RefuseOverwritingProjectFile(this, printer->outputFileName()))
        return;
    const app::Canvas& canvas = project->GetCanvas();
    bool painted = false;
    bool restored = true;
    {
        const WaitCursor busy;
        app->FinishPhotoDecodes();
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

} // namespace lumo::ui
