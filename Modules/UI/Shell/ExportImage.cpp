#include "Shell/ExportImage.h"

#include "Shell/Application.h"
#include "Shell/DesktopServices.h"
#include "Shell/LumoDocument.h"
#include "Shell/OverrideCursor.h"
#include "Shell/ProjectFileUse.h"

#include "Canvas.h"
#include "ForegroundImageLayer.h"
#include "JpegWriting.h"
#include "LayerManager.h"
#include "Project.h"
#include "RenderProcessor.h"
#include "TransformationFunctions.h"

#include <QApplication>
#include <QDir>
#include <QImageWriter>
#include <QPainter>
#include <QFile>
#include <QImageReader>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <cmath>
#include <new>

namespace lumo::ui {

int DotsPerMetre(double dpi)
{
    if (!(dpi > 0.0) || !std::isfinite(dpi))
        return 0;
    return static_cast<int>(dpi * 39.3700787 + 0.5);
}

QTransform CardTransform(const app::Canvas& canvas, const QSize& rendered)
{
    const double W = canvas.ActualWidth();
    const double H = canvas.ActualHeight();
    QTransform transform;
    double angle = -90.0;
    if (canvas.Orientation() == app::CanvasOrientationPortrait) {
        transform.translate(0.0, H * 0.25);
        angle = 90.0;
    } else {
        transform.translate(W * 0.25, 0.0);
    }
    transform.translate(W * 0.5, H * 0.5);
    transform.rotate(angle);
    transform.translate(rendered.width() * -0.5, rendered.height() * -0.5);
    return transform;
}

QSize ExportDotsPerMetre(const app::Project& project, const QUuid& foregroundId)
{
    const app::Canvas& canvas = project.GetCanvas();
    const int fromCanvas = DotsPerMetre(canvas.DPI());
    QSize result(fromCanvas, fromCanvas);
    const app::LayerManagerPtr layers = project.GetLayerManager();
    if (!layers)
        return result;
    if (canvas.DimensionType() == app::CanvasDimensionForeground && !foregroundId.isNull()) {
        if (const auto foreground = layers->GetForeground(foregroundId))
            result = QSize(DotsPerMetre(foreground->DpiX()), DotsPerMetre(foreground->DpiY()));
    } else if (canvas.DimensionType() == app::CanvasDimensionBackground) {
        if (const auto background = layers->GetBackground(); background && background->IsValid())
            result = QSize(DotsPerMetre(background->DpiX()), DotsPerMetre(background->DpiY()));
    }
    // A layer without a resolution keeps the canvas's rather than writing 0.
    if (result.width() <= 0)
        result.setWidth(fromCanvas);
    if (result.height() <= 0)
        result.setHeight(fromCanvas);
    return result;
}

namespace {

bool IsCardLayout(const app::Canvas& canvas, bool customToo)
{
    return canvas.PrintAsCard() && (canvas.DimensionType() == app::CanvasDimensionPreset ||
                                    (customToo && canvas.DimensionType() == app::CanvasDimensionCustom));
}

} // namespace

bool ExportRenderedImage(const QUuid& foregroundId, const QString& path, const QString& format, int quality)
{
    Application* app = Application::Instance();
    const app::ProjectPtr project = app != nullptr ? app->GetDocument()->GetProject() : nullptr;
    const auto processor = app != nullptr ? app->GetRenderProcessor() : nullptr;
    if (!project || !processor || path.isEmpty())
        return false;
    const WaitCursor busy;
    app->FinishPhotoDecodes();
    QImage image;
    if (processor->RenderExportImage(foregroundId, image) != app::LMerrSuccess || image.isNull())
        return false;
    const QSize dotsPerMetre = ExportDotsPerMetre(*project, foregroundId);

    const app::Canvas& canvas = project->GetCanvas();
    if (IsCardLayout(canvas, true) && canvas.ActualWidth() > 0 && canvas.ActualHeight() > 0) {
        QImage card(static_cast<int>(canvas.ActualWidth()), static_cast<int>(canvas.ActualHeight()),
                    QImage::Format_ARGB32);
        if (card.isNull())
            return false;
        card.fill(0);
        app::helper::TransformImage(image, card, CardTransform(canvas, image.size()), true);
        image = std::move(card);
    }
    const QByteArray name = format.toUpper().toLatin1();
    image.setDotsPerMeterX(dotsPerMetre.width());
    image.setDotsPerMeterY(dotsPerMetre.height());

    // Written beside the target and renamed over it only once whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    bool written = false;
    if (name == "JPEG" || name == "JPG") {
        // JPEG has no transparency: the picture goes onto white as its rows are encoded.
        written = app::WriteJpegOntoWhite(image, file, quality);
    } else {
        QImageWriter writer(&file, name.toLower());
        writer.setQuality(quality);
        written = writer.write(image);
    }
    if (!written) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool ExportCurrentForeground(const QString& path, const QString& format, int quality)
{
    Application* app = Application::Instance();
    const app::ProjectPtr project = app != nullptr ? app->GetDocument()->GetProject() : nullptr;
    const auto processor = app != nullptr ? app->GetRenderProcessor() : nullptr;
    if (!project || !processor)
        return false;
    const QUuid foreground = project->GetLayerManager()->CurrentForegroundId();
    {
        const WaitCursor busy;
        app->FinishPhotoDecodes();
    }
    app->SetExporting(true);
    processor->RemoveCacheBeforeExport();
    const bool written = ExportRenderedImage(foreground, path, format, quality);
    app->SetExporting(false);
    if (processor->RestoreCacheAfterExport() != app::LMerrSuccess) {
        app->PostFatalError(std::make_exception_ptr(std::bad_alloc()));
        return written;
    }
    // The restore left every cache stale; the preview's composites go too, then one full redraw.
    app->RefreshCanvas(hvn::image::HXDownsampleFactor3);
    return written;
}

bool Application::PrintImage()
{
    const app::ProjectPtr project = GetDocument()->GetProject();
    const auto processor = GetRenderProcessor();
    if (!project || !processor)
        return false;
    const QUuid foreground = project->GetLayerManager()->CurrentForegroundId();
    if (!project->GetLayerManager()->GetForeground(foreground))
        return false;
    const app::Canvas& canvas = project->GetCanvas();
    QString path;
    bool restored = true;
    {
        const WaitCursor busy;
        FinishPhotoDecodes();
        SetExporting(true);
        processor->RemoveCacheBeforeExport();
        QImage rendered;
        if (processor->RenderExportImage(foreground, rendered) == app::LMerrSuccess && canvas.DPI() > 0) {
            QImage page = PrintPageImage(rendered, canvas);
            rendered = QImage();
            page.setDotsPerMeterX(DotsPerMetre(canvas.DPI()));
            page.setDotsPerMeterY(DotsPerMetre(canvas.DPI()));
            const QString candidate = MakeTempFilePath(QStringLiteral(".png"));
            if (!page.isNull() && page.save(candidate, "PNG")) {
                path = candidate;
                GetDocument()->AddTemporaryFile(path);
            } else {
                QFile::remove(candidate);
            }
        }
        SetExporting(false);
        restored = processor->RestoreCacheAfterExport() == app::LMerrSuccess;
    }
    if (!restored) {
        if (!path.isEmpty())
            QFile::remove(path);
        PostFatalError(std::make_exception_ptr(std::bad_alloc()));
        return false;
    }
    if (path.isEmpty())
        return false;
    // The print service has the page once the dialog and the painting are over: the file goes at
    // once rather than waiting for the next print.
    const bool handed = PrintFileWithPhotoPrinting(path);
    QFile::remove(path);
    return handed;
}

QImage PrintPageImage(const QImage& rendered, const app::Canvas& canvas)
{
    if (rendered.isNull())
        return QImage();
    const bool card = IsCardLayout(canvas, false) && canvas.ActualWidth() > 0 && canvas.ActualHeight() > 0;
    const QSize size = card ? QSize(static_cast<int>(canvas.ActualWidth()), static_cast<int>(canvas.ActualHeight()))
                            : rendered.size();
    QImage page(size, QImage::Format_RGB32);
    if (page.isNull())
        return page;
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.setRenderHints(QPainter::SmoothPixmapTransform | QPainter::Antialiasing);
    if (card)
        painter.setTransform(CardTransform(canvas, rendered.size()));
    painter.drawImage(0, 0, rendered);
    return page;
}

QRect PrintPlacement(const QSize& printSize, const QSize& base, const QSize& sheet)
{
    const int marginW = qRound(sheet.width() * 0.05);
    const int marginH = qRound(sheet.height() * 0.05);
    bool fill;
    if (printSize.width() < sheet.width() || printSize.height() < sheet.height())
        fill = printSize.width() > sheet.width() - marginW || printSize.height() > sheet.height() - marginH;
    else
        fill = printSize.width() < sheet.width() + marginW || printSize.height() < sheet.height() + marginH;
    if (!fill)
        return QRect(QPoint(0, 0), printSize);
    const QSize filled = base.scaled(sheet, Qt::KeepAspectRatioByExpanding);
    return QRect(QPoint(static_cast<int>((sheet.width() - filled.width()) * 0.5),
                        static_cast<int>((sheet.height() - filled.height()) * 0.5)),
                 filled);
}

bool PaintPageOnPrinter(QPrinter& printer, const QImage& page, double dpi)
{
    if (page.isNull() || !(dpi > 0.0) || !std::isfinite(dpi))
        return false;
    printer.setFullPage(true);
    const QMargins margins = printer.pageLayout().marginsPixels(printer.resolution());
    // Device pixels of the printer per image pixel, in floating point.
    const double scale = printer.resolution() / dpi;
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    painter.setRenderHints(QPainter::SmoothPixmapTransform | QPainter::Antialiasing);
    const QRect sheet = painter.viewport();
    const QSize printSize(qRound(page.width() * scale), qRound(page.height() * scale));
    const QRect place = PrintPlacement(printSize, page.size(), sheet.size());
    painter.setViewport(QRect(QPoint(place.x() + margins.left(), place.y() + margins.top()), place.size()));
    painter.setWindow(page.rect());
    painter.drawImage(0, 0, page);
    return painter.end();
}

QString AppendProductFolder(const QString& folder)
{
    return folder + QStringLiteral("/Lumora/");
}

QString MakeTempFilePath(const QString& suffix)
{
    QString name;
    {
        QTemporaryFile file(QDir::temp().absoluteFilePath(QStringLiteral("lumoXXXXXXXX")));
        if (file.open())
            name = QFileInfo(file.fileName()).fileName();
    }
    QDir::temp().mkpath(QStringLiteral("Lumora"));
    return QDir::toNativeSeparators(AppendProductFolder(QDir::temp().absolutePath()) + name + suffix);
}

bool PrintFileWithPhotoPrinting(const QString& path)
{
    QImageReader reader(path);
    const QImage page = reader.read();
    if (page.isNull() || page.dotsPerMeterX() <= 0)
        return false;
    Application* app = Application::Instance();
    if (app == nullptr)
        return false;
    QPrinter& printer = app->GetPrinter();
    QWidget* parent = QApplication::activeWindow();
    // Printing to a file the project is built from is refused, and the dialog offered again.
    do {
        if (!app->Dialogs().Print(printer, parent))
            return true;
    } while (RefuseOverwritingProjectFile(parent, printer.outputFileName()));
    return PaintPageOnPrinter(printer, page, page.dotsPerMeterX() / 39.3700787);
}

namespace {

std::function<bool()>& PrinterProbe()
{
    static std::function<bool()> probe;
    return probe;
}

} // namespace

bool HasPrinters()
{
    if (PrinterProbe())
        return PrinterProbe()();
    return !QPrinterInfo::availablePrinterNames().isEmpty();
}

void SetPrinterProbeForTesting(std::function<bool()> probe)
{
    PrinterProbe() = std::move(probe);
}

QString HelpPageOf(int section)
{
    static const char* const pages[] = {
        "canvas_size.htm", "import.htm",  "key.htm",        "masks.htm",  "filters.htm", "position.htm",
        "index.html",      "combine.htm", "overlay.htm",    "index.html", "export.htm",  "index.html",
        "your_first_composite.htm"};
    if (section < 0 || section >= static_cast<int>(std::size(pages)))
        return QStringLiteral("index.html");
    return QString::fromLatin1(pages[section]);
}

QString HelpFolder()
{
    return QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("help"));
}

bool OpenHelpPage(const QString& page)
{
    return OpenUrl(QDir(HelpFolder()).absoluteFilePath(page));
}

} // namespace lumo::ui
