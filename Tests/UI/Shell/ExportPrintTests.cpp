// Export, printing and help: the resolution written into exported files, the formats and the
// composition onto white, the greeting-card layout, the fit of a print on its sheet (read back from
// a PDF printer's page), the printer warnings, the temporary print files, and the help pages.

#include "GreenScreenProject.h"
#include "UiTest.h"
#include "UrlRecorder.h"

#include "Shell/ExportImage.h"
#include "Window/MainWindow.h"

#include "Canvas.h"
#include "LayerManager.h"
#include "TransformationFunctions.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QPrinter>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>

namespace lumo::ui::testing {
namespace {

const QString kNoPrinters =
    "No printers could be found.  Please check that you have installed the driver for your printer.";

// The print image files left in the program's temporary folder.
QStringList LeftPrintFiles()
{
    return QDir(QDir::temp().absoluteFilePath("Lumora")).entryList({"lumo*"}, QDir::Files);
}

// A project with a keyed green-screen photograph and no background, so that the backdrop exports
// transparent.
class ExportPrintTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(folder.isValid());
        project = WriteGreenScreenProject(folder.path(), 0.05);
        ASSERT_EQ(App().OpenProject(project.projectPath), app::LMerrSuccess);
        LoadLayerImages(App());
        const app::ImageLayerPtr background = Layers()->GetBackground();
        ASSERT_TRUE(background);
        App().RemoveImageLayer(background->Id(), app::LayerTypeBackground);
        ProcessEvents();
    }
    void TearDown() override
    {
        SetPrinterProbeForTesting({});
        window.reset();
        UiTest::TearDown();
    }

    static app::LayerManagerPtr Layers() { return CurrentProject()->GetLayerManager(); }
    static app::Canvas& CanvasOf() { return CurrentProject()->GetCanvas(); }
    MainWindow& Window()
    {
        if (!window)
            window = std::make_unique<MainWindow>(project.projectPath);
        return *window;
    }
    // A corner of the photograph that is plain backdrop.
    static QPoint Backdrop() { return {2, 2}; }

    QTemporaryDir folder;
    GreenScreenProject project;
    std::unique_ptr<MainWindow> window;
};

TEST(ExportResolution, DotsPerMetreFollowTheResolution)
{
    const std::pair<double, int> cases[] = {{300, 11811}, {72, 2835}, {96, 3780}, {1, 39}, {0, 0}, {-72, 0}};
    for (const auto& [dpi, dotsPerMetre] : cases)
        EXPECT_EQ(DotsPerMetre(dpi), dotsPerMetre) << dpi;
}

TEST_F(ExportPrintTest, TheResolutionComesFromTheCanvasOrTheLayerItIsSizedFrom)
{
    const QUuid foreground = Layers()->CurrentForegroundId();
    Layers()->GetForeground(foreground)->SetDpiX(240);
    Layers()->GetForeground(foreground)->SetDpiY(180);
    CanvasOf().SetDPI(72);
    struct Case {
        app::CanvasDimensionType type;
        QUuid id;
        QSize expected;
    };
    const Case cases[] = {
        {app::CanvasDimensionPreset, foreground, {2835, 2835}},
        {app::CanvasDimensionCustom, foreground, {2835, 2835}},
        {app::CanvasDimensionForeground, foreground, {DotsPerMetre(240), DotsPerMetre(180)}},
        // No id, or a background that is gone: the canvas's.
        {app::CanvasDimensionForeground, QUuid(), {2835, 2835}},
        {app::CanvasDimensionBackground, foreground, {2835, 2835}},
    };
    for (const Case& c : cases) {
        CanvasOf().SetDimensionType(c.type);
        EXPECT_EQ(ExportDotsPerMetre(*CurrentProject(), c.id), c.expected) << c.type;
    }
}

TEST_F(ExportPrintTest, EachFormatIsWrittenWithTheResolutionAndOnlyJpegOntoWhite)
{
    CanvasOf().SetDPI(300);
    const QUuid foreground = Layers()->CurrentForegroundId();
    struct Case {
        const char* file;
        const char* format;
        bool ontoWhite;
    };
    const Case cases[] = {
        {"a.jpg", "jpg", true}, {"b.jpeg", "JPEG", true}, {"c.png", "png", false}, {"d.tif", "tiff", false}};
    for (const Case& c : cases) {
        const QString path = folder.filePath(c.file);
        ASSERT_TRUE(ExportRenderedImage(foreground, path, c.format, 90)) << c.file;
        QImageReader reader(path);
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << c.file << reader.errorString().toStdString();
        EXPECT_EQ(image.size(), QSize(CanvasOf().Width(), CanvasOf().Height())) << c.file;
        EXPECT_EQ(image.dotsPerMeterX(), 11811) << c.file;
        EXPECT_EQ(image.dotsPerMeterY(), 11811) << c.file;
        const QColor backdrop = image.pixelColor(Backdrop());
        if (c.ontoWhite) {
            EXPECT_FALSE(image.hasAlphaChannel()) << c.file;
            EXPECT_GE(std::min({backdrop.red(), backdrop.green(), backdrop.blue()}), 250) << c.file;
        } else {
            EXPECT_TRUE(image.hasAlphaChannel()) << c.file;
            EXPECT_EQ(backdrop.alpha(), 0) << c.file;
        }
        // The subject stays: the middle of the photograph is opaque.
        EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2).alpha(), 255) << c.file;
    }
}

TEST_F(ExportPrintTest, AFailedExportLeavesTheExistingFileAndNoTemporaryFile)
{
    const QString path = folder.filePath("keep.png");
    {
        QFile existing(path);
        ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
        existing.write("the picture of last week");
    }
    const QStringList before = QDir(folder.path()).entryList(QDir::Files);
    // A format no writer knows fails after the render, with the file already chosen.
    EXPECT_FALSE(ExportRenderedImage(Layers()->CurrentForegroundId(), path, "NOPE", 90));
    // A folder that does not exist.
    EXPECT_FALSE(ExportRenderedImage(Layers()->CurrentForegroundId(), folder.filePath("gone/keep.png"), "PNG", 90));
    QFile existing(path);
    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), "the picture of last week");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), before);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ExportPrintTest, TheExportRoadRestoresTheScreenAndRefusesCanvasRendersMeanwhile)
{
    bool exportingDuringRender = false;
    std::vector<hvn::image::HXDownsampleFactor> redraws;
    // The canvas is redrawn after the export: the flag must be down by then.
    const QMetaObject::Connection seen = QObject::connect(
        &App(), qOverload<hvn::image::HXDownsampleFactor>(&Application::SignalCanvasRefreshRequested), &App(),
        [&](hvn::image::HXDownsampleFactor factor) {
            exportingDuringRender = exportingDuringRender || App().IsExporting();
            redraws.push_back(factor);
        });
    EXPECT_TRUE(ExportCurrentForeground(folder.filePath("out.tif"), "TIFF", -1));
    QObject::disconnect(seen);
    EXPECT_FALSE(App().IsExporting());
    EXPECT_FALSE(exportingDuringRender);
    // One redraw at full resolution, over a preview made stale.
    EXPECT_EQ(redraws, std::vector<hvn::image::HXDownsampleFactor>{hvn::image::HXDownsampleFactor0});
    const app::ImageLayerPtr foreground = Layers()->GetForeground(Layers()->CurrentForegroundId());
    ASSERT_TRUE(foreground);
    app::RenderLevel staleFrom = app::RenderLevelFinal;
    EXPECT_FALSE(App().GetRenderProcessor()->IsCacheValid(foreground, hvn::image::HXDownsampleFactor3, staleFrom));
    EXPECT_TRUE(QFileInfo::exists(folder.filePath("out.tif")));
}

// A photograph of w x h whose top-left quarter is red and the rest blue.
QImage MarkedImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::blue);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height / 2, Qt::red);
    return image;
}

// The bounding box of the pixels of a card that are not transparent.
QRect Covered(const QImage& card)
{
    QRect box;
    for (int y = 0; y < card.height(); ++y)
        for (int x = 0; x < card.width(); ++x)
            if (qAlpha(card.pixel(x, y)) > 128)
                box |= QRect(x, y, 1, 1);
    return box;
}

TEST(CardLayout, TheCardTurnsThePictureOntoTheFrontHalfOfTheSheet)
{
    struct Case {
        app::CanvasOrientation orientation;
        QSize sheet;
        QSize rendered;
        QRect covered;
        // Where the photograph's red top-left quarter lands, as a point inside it.
        QPoint red;
        QPoint blue;
    };
    // Landscape: the right half, turned anticlockwise (the photograph's top-left comes to the
    // bottom-left of the half). Portrait: the lower half, turned clockwise (to the top-right).
    const Case cases[] = {
        {app::CanvasOrientationLandscape, {200, 120}, {120, 100}, {100, 0, 100, 120}, {110, 110}, {190, 10}},
        {app::CanvasOrientationPortrait, {120, 200}, {100, 120}, {0, 100, 120, 100}, {110, 110}, {10, 190}},
    };
    for (const Case& c : cases) {
        app::Canvas canvas;
        canvas.SetOrientation(c.orientation);
        canvas.SetActualDimensions(c.sheet.width(), c.sheet.height());
        QImage card(c.sheet, QImage::Format_ARGB32);
        card.fill(0);
        QImage rendered = MarkedImage(c.rendered.width(), c.rendered.height());
        app::helper::TransformImage(rendered, card,
                                    CardTransform(canvas, c.rendered), true);
        EXPECT_EQ(Covered(card), c.covered) << c.orientation;
        EXPECT_EQ(card.pixelColor(c.red), QColor(Qt::red)) << c.orientation;
        EXPECT_EQ(card.pixelColor(c.blue), QColor(Qt::blue)) << c.orientation;
    }
}

TEST(CardLayout, APrintedCardIsOpaqueAndOnlyAPresetCanvasPrintsAsACard)
{
    app::Canvas canvas;
    canvas.SetOrientation(app::CanvasOrientationLandscape);
    canvas.SetActualDimensions(200, 120);
    canvas.SetPrintAsCard(true);
    QImage rendered = MarkedImage(120, 100);
    rendered.setPixel(119, 99, 0); // a transparent pixel prints white

    canvas.SetDimensionType(app::CanvasDimensionPreset);
    const QImage card = PrintPageImage(rendered, canvas);
    EXPECT_EQ(card.size(), QSize(200, 120));
    EXPECT_FALSE(card.hasAlphaChannel());
    EXPECT_EQ(card.pixelColor(10, 10), QColor(Qt::white));
    EXPECT_EQ(card.pixelColor(110, 110), QColor(Qt::red));

    canvas.SetDimensionType(app::CanvasDimensionCustom);
    const QImage flat = PrintPageImage(rendered, canvas);
    EXPECT_EQ(flat.size(), rendered.size());
    EXPECT_EQ(flat.pixelColor(10, 10), QColor(Qt::red));
    EXPECT_EQ(flat.pixelColor(119, 99), QColor(Qt::white));
}

TEST_F(ExportPrintTest, ACustomCardCanvasExportsOnItsSheet)
{
    CanvasOf().SetDimensionType(app::CanvasDimensionCustom);
    CanvasOf().SetPrintAsCard(true);
    CanvasOf().SetOrientation(app::CanvasOrientationLandscape);
    const int width = static_cast<int>(CanvasOf().Width());
    const int height = static_cast<int>(CanvasOf().Height());
    CanvasOf().SetActualDimensions(2 * height, width);
    const QString path = folder.filePath("card.png");
    ASSERT_TRUE(ExportRenderedImage(Layers()->CurrentForegroundId(), path, "PNG", -1));
    const QImage card(path);
    ASSERT_EQ(card.size(), QSize(2 * height, width));
    // The left half (the inside of the card) stays empty; the subject is on the right half.
    EXPECT_EQ(Covered(card.copy(0, 0, height - 1, width)), QRect());
    EXPECT_EQ(card.pixelColor(height + height / 2, width / 2).alpha(), 255);
}

// Renders the first page of a PDF file at `dpi` into an image; null when pdftoppm is missing.
QImage RenderPdfPage(const QString& pdf, int dpi)
{
    const QString tool = QStandardPaths::findExecutable("pdftoppm");
    if (tool.isEmpty())
        return QImage();
    const QString stem = pdf + "-page";
    QProcess process;
    process.start(tool, {"-r", QString::number(dpi), "-png", "-singlefile", pdf, stem});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QImage();
    return QImage(stem + ".png");
}

// A PDF printer of a 4 x 3 inch sheet at 100 dots per inch (400 x 300 device pixels) with margins
// of `margin` inches at the left and the top.
void SetUpPdfPrinter(QPrinter& printer, const QString& path, double margin)
{
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setResolution(100);
    printer.setPageSize(QPageSize(QSizeF(4, 3), QPageSize::Inch, QString(), QPageSize::ExactMatch));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setPageMargins(QMarginsF(margin, margin, 0, 0), QPageLayout::Inch);
}

// The bounding box of the red and of the blue pixels of a page.
std::pair<QRect, QRect> RedAndBlue(const QImage& page)
{
    QRect red;
    QRect blue;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 60 && c.blue() < 60)
                red |= QRect(x, y, 1, 1);
            else if (c.blue() > 200 && c.red() < 60 && c.green() < 60)
                blue |= QRect(x, y, 1, 1);
        }
    return {red, blue};
}

TEST(PrintFit, APrintFillsTheSheetWithinFivePercentAndKeepsItsSizeOtherwise)
{
    if (QStandardPaths::findExecutable("pdftoppm").isEmpty())
        GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    struct Case {
        const char* name;
        QSize image; // at 100 dpi, as many device pixels
        double margin; // inches
        QRect red; // the red top-left quarter on the 400 x 300 page, to within the rasteriser's smoothing
    };
    const Case cases[] = {
        // Smaller in both directions: its true size at the corner inside the margins.
        {"small", {200, 100}, 0.25, {25, 25, 100, 50}},
        // 390 x 290 is within 5 % of the sheet: scaled to cover it (403 x 300), centred.
        {"near", {390, 290}, 0.0, {-1, 0, 202, 150}},
        // 410 x 305: larger, still within 5 %: covers, the overflow clipped.
        {"near larger", {410, 305}, 0.0, {0, 0, 202, 150}},
        // Far larger in both: its true size, clipped to the sheet.
        {"large", {800, 600}, 0.0, {0, 0, 400, 300}},
    };
    for (const Case& c : cases) {
        const QString pdf = folder.filePath(QString(c.name) + ".pdf");
        QPrinter printer(QPrinter::HighResolution);
        SetUpPdfPrinter(printer, pdf, c.margin);
        ASSERT_TRUE(PaintPageOnPrinter(printer, MarkedImage(c.image.width(), c.image.height()), 100.0)) << c.name;
        const QImage page = RenderPdfPage(pdf, 100);
        ASSERT_EQ(page.size(), QSize(400, 300)) << c.name;
        const QRect red = RedAndBlue(page).first;
        const QRect expected = c.red.intersected(page.rect());
        EXPECT_LE(std::abs(red.left() - expected.left()), 2) << c.name;
        EXPECT_LE(std::abs(red.top() - expected.top()), 2) << c.name;
        EXPECT_LE(std::abs(red.right() - expected.right()), 2) << c.name;
        EXPECT_LE(std::abs(red.bottom() - expected.bottom()), 2) << c.name;
    }
    // Nothing is painted at a resolution of 0.
    QPrinter printer(QPrinter::HighResolution);
    SetUpPdfPrinter(printer, folder.filePath("zero.pdf"), 0.0);
    EXPECT_FALSE(PaintPageOnPrinter(printer, MarkedImage(10, 10), 0.0));
}

TEST_F(ExportPrintTest, ThePreviewPaintsTheProjectAtItsPrintSizeAndNothingWithoutAForeground)
{
    if (QStandardPaths::findExecutable("pdftoppm").isEmpty())
        GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
    // The photograph at 100 dpi on a sheet far larger: its true size at the corner.
    CanvasOf().SetDPI(100);
    QPrinter printer(QPrinter::HighResolution);
    const QString pdf = folder.filePath("preview.pdf");
    SetUpPdfPrinter(printer, pdf, 0.0);
    printer.setPageSize(QPageSize(QSizeF(8, 6), QPageSize::Inch, QString(), QPageSize::ExactMatch));
    SetPrinterProbeForTesting([] { return true; });
    Dialogs().AnswerPrintPreview(true);
    // The preview works on the application's printer; here it paints into the PDF. The window
    // first: its canvas panel sets the printer's sheet from the canvas.
    Window();
    QPrinter& shared = App().GetPrinter();
    shared.setOutputFormat(QPrinter::PdfFormat);
    shared.setOutputFileName(pdf);
    shared.setResolution(100);
    shared.setPageSize(QPageSize(QSizeF(8, 6), QPageSize::Inch, QString(), QPageSize::ExactMatch));
    // The canvas panel turns the printer with the canvas: the sheet is set upright here.
    shared.setPageOrientation(QPageLayout::Portrait);
    shared.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Inch);
    QMetaObject::invokeMethod(&Window(), "SlotDisplayPrintPreviewDialog");
    const QImage page = RenderPdfPage(pdf, 100);
    ASSERT_EQ(page.size(), QSize(800, 600));
    // The photograph's middle (the subject) at its place; beyond the photograph, paper.
    const int width = static_cast<int>(CanvasOf().Width());
    const int height = static_cast<int>(CanvasOf().Height());
    ASSERT_LT(width, 760);
    EXPECT_NE(page.pixelColor(width / 2, height / 2), QColor(Qt::white));
    EXPECT_EQ(page.pixelColor(width + 20, height / 2), QColor(Qt::white));
    EXPECT_EQ(page.pixelColor(width / 2, height + 20), QColor(Qt::white));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(App().IsExporting());

    // Without a foreground nothing is drawn and no message shows.
    ASSERT_EQ(Layers()->RemoveForegroundLayer(Layers()->CurrentForegroundId()), app::LMerrSuccess);
    QPrinter empty(QPrinter::HighResolution);
    SetUpPdfPrinter(empty, folder.filePath("empty.pdf"), 0.0);
    QMetaObject::invokeMethod(&Window(), "SlotPrintPreviewPaintRequested", Q_ARG(QPrinter*, &empty));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(QFileInfo::exists(folder.filePath("empty.pdf")));
}

TEST_F(ExportPrintTest, WithoutPrintersPageSetupPreviewAndPrintSaySo)
{
    SetPrinterProbeForTesting([] { return false; });
    for (const char* slot : {"SlotDisplayPageSetupDialog", "SlotDisplayPrintPreviewDialog", "SlotDisplayPrintDialog"}) {
        Dialogs().AnswerMessage(QMessageBox::Ok);
        QMetaObject::invokeMethod(&Window(), slot);
    }
    const std::vector<DialogRequest> messages = Dialogs().RequestsOf(DialogRequest::Message);
    ASSERT_EQ(messages.size(), 3u);
    for (const DialogRequest& message : messages) {
        EXPECT_EQ(message.message.text, kNoPrinters);
        EXPECT_EQ(message.message.icon, QMessageBox::Warning);
    }
    EXPECT_EQ(Dialogs().Requests().size(), 3u);
}

TEST_F(ExportPrintTest, APrintLeavesNoTemporaryFileOnAnyWayOut)
{
    SetPrinterProbeForTesting([] { return true; });
    const QString pdf = folder.filePath("printed.pdf");
    QPrinter& printer = App().GetPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    const QStringList before = LeftPrintFiles();

    // Printed: the page reaches the printer.
    Dialogs().AnswerPrint(true);
    QMetaObject::invokeMethod(&Window(), "SlotDisplayPrintDialog");
    EXPECT_TRUE(QFileInfo(pdf).size() > 0);
    EXPECT_EQ(LeftPrintFiles(), before);

    // Cancelled in the print dialog: no failure, no message.
    Dialogs().AnswerPrint(false);
    QMetaObject::invokeMethod(&Window(), "SlotDisplayPrintDialog");
    EXPECT_EQ(LeftPrintFiles(), before);
    EXPECT_TRUE(Dialogs().RequestsOf(DialogRequest::Message).empty());

    // A canvas without a resolution cannot be printed.
    CanvasOf().SetDPI(0);
    Dialogs().AnswerMessage(QMessageBox::Ok);
    QMetaObject::invokeMethod(&Window(), "SlotDisplayPrintDialog");
    EXPECT_EQ(LeftPrintFiles(), before);

    // No foreground.
    ASSERT_EQ(Layers()->RemoveForegroundLayer(Layers()->CurrentForegroundId()), app::LMerrSuccess);
    Dialogs().AnswerMessage(QMessageBox::Ok);
    QMetaObject::invokeMethod(&Window(), "SlotDisplayPrintDialog");

    const std::vector<DialogRequest> messages = Dialogs().RequestsOf(DialogRequest::Message);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].message.text, "Could not create the image for printing.");
    EXPECT_EQ(messages[1].message.text, "There is currently no foreground image to print.");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(App().IsExporting());
}

TEST_F(ExportPrintTest, PrintingToAFileTheProjectIsBuiltFromIsRefused)
{
    const auto contents = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray photo = contents(project.photoPath);
    const QByteArray projectFile = contents(project.projectPath);
    ASSERT_FALSE(photo.isEmpty());
    SetPrinterProbeForTesting([] { return true; });
    QPrinter& printer = App().GetPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(project.photoPath);

    // The print dialog: refused with the layer named, offered again, then cancelled.
    Dialogs().AnswerPrint(true).AnswerMessage(QMessageBox::Ok).AnswerPrint(false);
    QMetaObject::invokeMethod(&Window(), "SlotDisplayPrintDialog");
    EXPECT_EQ(Dialogs().RequestsOf(DialogRequest::Print).size(), 2u);
    std::vector<DialogRequest> messages = Dialogs().RequestsOf(DialogRequest::Message);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].message.text.contains("the foreground photograph of the open project"))
        << messages[0].message.text.toStdString();
    EXPECT_EQ(contents(project.photoPath), photo);

    // The preview shows the page (its own recording engine) but its print onto the project file
    // writes nothing.
    printer.setOutputFileName(project.projectPath);
    Dialogs().Clear();
    {
        QPrintPreviewWidget preview(&printer);
        QObject::connect(&preview, &QPrintPreviewWidget::paintRequested, &Window(),
                         [this](QPrinter* target) {
                             QMetaObject::invokeMethod(&Window(), "SlotPrintPreviewPaintRequested",
                                                       Q_ARG(QPrinter*, target));
                         });
        preview.updatePreview();
        EXPECT_EQ(preview.pageCount(), 1);
        EXPECT_TRUE(Dialogs().Requests().empty());
    }
    Dialogs().AnswerPrintPreview(true).AnswerMessage(QMessageBox::Ok);
    QMetaObject::invokeMethod(&Window(), "SlotDisplayPrintPreviewDialog");
    messages = Dialogs().RequestsOf(DialogRequest::Message);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].message.text.contains("the project file of the open project"))
        << messages[0].message.text.toStdString();
    EXPECT_EQ(contents(project.projectPath), projectFile);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(App().IsExporting());
}

TEST(TemporaryFiles, APrintFileIsNamedFreshInTheProgramsTemporaryFolder)
{
    const QString first = MakeTempFilePath(".png");
    const QString second = MakeTempFilePath(".png");
    EXPECT_NE(first, second);
    const QString folder = QDir::toNativeSeparators(QDir::temp().absoluteFilePath("Lumora") + "/");
    EXPECT_TRUE(first.startsWith(folder)) << first.toStdString();
    EXPECT_TRUE(first.endsWith(".png"));
    EXPECT_TRUE(QFileInfo(first).fileName().startsWith("lumo"));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_FALSE(QFileInfo::exists(first));
    EXPECT_EQ(AppendProductFolder("/tmp"), "/tmp/Lumora/");
}

TEST_F(ExportPrintTest, EveryHelpSectionOpensAnExistingPage)
{
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler("file", &recorder, "Open");
    const std::pair<int, const char*> cases[] = {
        {0, "canvas_size.htm"}, {1, "import.htm"},   {2, "key.htm"},       {3, "masks.htm"},
        {4, "filters.htm"},     {5, "position.htm"}, {6, "index.html"},    {7, "combine.htm"},
        {8, "overlay.htm"},     {9, "index.html"},   {10, "export.htm"},   {11, "index.html"},
        {12, "your_first_composite.htm"},            {13, "index.html"},   {-1, "index.html"},
    };
    for (const auto& [section, page] : cases)
        QMetaObject::invokeMethod(&Window(), "SlotOpenHelp", Q_ARG(int, section));
    QMetaObject::invokeMethod(&Window(), "SlotOpenHelp");
    QMetaObject::invokeMethod(&Window(), "SlotOpenQuickStart");
    QDesktopServices::unsetUrlHandler("file");

    ASSERT_EQ(recorder.urls.size(), static_cast<qsizetype>(std::size(cases) + 2));
    const QString helpFolder = QCoreApplication::applicationDirPath() + "/help/";
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(recorder.urls[i].toLocalFile(), helpFolder + cases[i].second) << cases[i].first;
    EXPECT_EQ(recorder.urls[std::size(cases)].toLocalFile(), helpFolder + "index.html");
    EXPECT_EQ(recorder.urls.last().toLocalFile(), helpFolder + "your_first_composite.htm");
    for (bool underWait : recorder.underWaitCursor)
        EXPECT_TRUE(underWait);

    // The pages the table names are installed beside the program, and link to each other.
    const QDir installed(LUMORA_HELP_DIR);
    for (const auto& [section, page] : cases) {
        QFile file(installed.filePath(page));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << page;
        const QString text = QString::fromUtf8(file.readAll());
        EXPECT_TRUE(text.contains("<title>")) << page;
        for (qsizetype at = text.indexOf("href=\""); at >= 0; at = text.indexOf("href=\"", at + 1)) {
            const QString target = text.mid(at + 6, text.indexOf('"', at + 6) - at - 6);
            EXPECT_TRUE(installed.exists(target)) << page << " links to " << target.toStdString();
        }
    }
}

} // namespace
} // namespace lumo::ui::testing
