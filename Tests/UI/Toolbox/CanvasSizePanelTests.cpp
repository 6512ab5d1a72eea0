// The canvas presets file and the canvas size panel: the lists read from the built-in file or a
// copy beside the program and their faults; the sheet made from presets, photographs and typed
// pixels, the printer following it, and every preset recognised when a project is reopened.

#include "RefreshSignals.h"
#include "Grabs.h"
#include "LayoutCheck.h"
#include "UiTest.h"

#include "Controls/Buttons.h"
#include "Controls/ColorPickerWidget.h"
#include "Controls/SmallWidgets.h"
#include "Shell/Settings.h"
#include "Toolbox/CanvasOptions.h"
#include "Toolbox/CanvasSizeWidget.h"

#include "Canvas.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPrinter>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>
#include <stdexcept>

namespace lumo::ui::testing {
namespace {

const QString kCorruptCopy = "The canvas.xml file is invalid or corrupt.\n\nIf you manually edited this file then "
                             "please delete it, or re-install the program.";
const QString kCorruptBuiltIn = "The internal canvas settings are invalid or corrupt.\n\nPlease re-install the program.";
const QString kInvalidSize = "This is an invalid canvas size. Please select a different one.";

QString WriteFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(contents);
    return path;
}

// The message of the error Load raises; empty without one.
QString LoadError(CanvasOptions& options, const QString& overridePath, const QString& builtInPath)
{
    try {
        options.Load(overridePath, builtInPath);
    } catch (const std::runtime_error& error) {
        return QString::fromStdString(error.what());
    }
    return {};
}

TEST(CanvasOptions, TheBuiltInFileHoldsThirteenSizesAndSixResolutions)
{
    CanvasOptions options;
    ASSERT_EQ(LoadError(options, "/nonexistent/canvas.xml", ":Temp/canvas.xml"), "");
    ASSERT_EQ(options.Sizes().size(), 13);
    EXPECT_EQ(options.Sizes()[0].description, "A4");
    EXPECT_FLOAT_EQ(options.Sizes()[0].width, 8.2677f);
    EXPECT_FLOAT_EQ(options.Sizes()[0].height, 11.693f);
    EXPECT_EQ(options.Sizes()[2].description, "US Letter");
    EXPECT_EQ(options.Sizes()[3].description, "");
    EXPECT_FLOAT_EQ(options.Sizes()[12].width, 12.0f);
    EXPECT_FLOAT_EQ(options.Sizes()[12].height, 8.0f);
    EXPECT_EQ(options.Resolutions(), QList<int>({72, 144, 200, 300, 400, 600}));
    QFile builtIn(":Temp/canvas.xml");
    ASSERT_TRUE(builtIn.open(QIODevice::ReadOnly));
    EXPECT_TRUE(builtIn.readLine().contains("encoding=\"ISO-8859-1\""));
}

TEST(CanvasOptions, ACopyBesideTheProgramIsReadOrRefused)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    struct Case {
        const char* name;
        QByteArray xml;
        QString error;
        int sizes;
        QList<int> resolutions;
    };
    const Case cases[] = {
        {"resolutions only",
         "<canvas_options><resolution_sizes><resolution>150</resolution></resolution_sizes></canvas_options>", "", 0,
         {150}},
        {"another root", "<canvas_sizes><size><width>4</width></size></canvas_sizes>", kCorruptCopy, 0, {}},
        {"truncated", "<canvas_options><canvas_sizes><size><width>4</width>", kCorruptCopy, 0, {}},
        {"malformed", "<canvas_options><canvas_sizes></resolution_sizes></canvas_options>", kCorruptCopy, 0, {}},
        {"unusable numbers",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><canvas_options attr=\"x\"><canvas_sizes>"
         "<size><description><![CDATA[]]></description><width>abc</width><height>6</height></size>"
         "<size><unknown><deep><deeper/></deep></unknown><height>7</height><width>5</width></size>"
         "<other><size><width>1</width></size></other></canvas_sizes><resolution_sizes>"
         "<resolution>300dpi</resolution><resolution>200</resolution><resolution>200</resolution>"
         "</resolution_sizes></canvas_options>",
         "", 2, {200, 200}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CanvasOptions options;
        const QString path = WriteFile(QDir(folder.path()).filePath("canvas.xml"), c.xml);
        // A broken copy is never replaced by the built-in file.
        EXPECT_EQ(LoadError(options, path, ":Temp/canvas.xml"), c.error);
        if (!c.error.isEmpty())
            continue;
        EXPECT_EQ(options.Sizes().size(), c.sizes);
        EXPECT_EQ(options.Resolutions(), c.resolutions);
    }
    CanvasOptions options;
    WriteFile(QDir(folder.path()).filePath("canvas.xml"), cases[4].xml);
    ASSERT_EQ(LoadError(options, QDir(folder.path()).filePath("canvas.xml"), ""), "");
    EXPECT_EQ(options.Sizes()[0].description, "");
    EXPECT_FLOAT_EQ(options.Sizes()[0].width, -1.0f);
    EXPECT_FLOAT_EQ(options.Sizes()[0].height, 6.0f);
    EXPECT_FLOAT_EQ(options.Sizes()[1].width, 5.0f);
    EXPECT_FLOAT_EQ(options.Sizes()[1].height, 7.0f);

    CanvasOptions broken;
    EXPECT_EQ(LoadError(broken, "/nonexistent/canvas.xml", WriteFile(QDir(folder.path()).filePath("b.xml"), "<x")),
              kCorruptBuiltIn);
    // The program's own road looks beside the program.
    SetApplicationDirectory(folder.path());
    CanvasOptions beside;
    beside.Load();
    SetApplicationDirectory({});
    EXPECT_EQ(beside.Sizes().size(), 2);
}

class CanvasSizePanelTest : public UiTest {
protected:
    void TearDown() override
    {
        panel.reset();
        SetApplicationDirectory({});
        UiTest::TearDown();
    }
    CanvasSizeWidget& Panel()
    {
        if (!panel) {
            panel = std::make_unique<CanvasSizeWidget>(nullptr);
            panel->UpdateFromModel();
            focus = std::make_unique<QSignalSpy>(panel.get(), &CanvasSizeWidget::SignalFocusCanvas);
        }
        return *panel;
    }
    static app::Canvas& Canvas() { return CurrentProject()->GetCanvas(); }
    static QSize Sheet() { return QSize(int(Canvas().ActualWidth()), int(Canvas().ActualHeight())); }
    static QSize Working() { return QSize(int(Canvas().Width()), int(Canvas().Height())); }
    static QPageSize::PageSizeId PrinterPage() { return App().GetPrinter().pageLayout().pageSize().id(); }
    int SizeEntry(const QString& text) { return Panel().SizeComboBox()->findText(text); }
    void SelectSize(const QString& text)
    {
        ASSERT_GE(SizeEntry(text), 0) << text.toStdString();
        Panel().SizeComboBox()->setCurrentIndex(SizeEntry(text));
    }
    void SelectResolution(int dpi)
    {
        const int entry = int(Panel().Options().Resolutions().indexOf(dpi));
        ASSERT_GE(entry, 0);
        Panel().ResolutionComboBox()->setCurrentIndex(entry);
    }
    void Type(int width, int height)
    {
        Panel().WidthEdit()->setText(QString::number(width));
        Panel().HeightEdit()->setText(QString::number(height));
        emit Panel().WidthEdit()->editingFinished();
    }
    int InvalidSizeWarnings() const
    {
        int count = 0;
        for (const DialogRequest& request : const_cast<CanvasSizePanelTest*>(this)->Dialogs().RequestsOf(
                 DialogRequest::Message))
            count += request.message.text == kInvalidSize ? 1 : 0;
        return count;
    }

    std::unique_ptr<CanvasSizeWidget> panel;
    std::unique_ptr<QSignalSpy> focus;
};

TEST_F(CanvasSizePanelTest, PresetsOrientationAndResolutionMakeTheSheet)
{
    Panel().SlotResetCanvasSection();
    EXPECT_EQ(Panel().SizeComboBox()->currentText(), "4 x 6 inch");
    EXPECT_EQ(Sheet(), QSize(1200, 1800));
    Panel().LandscapeButton()->click();
    EXPECT_EQ(Sheet(), QSize(1800, 1200));
    EXPECT_EQ(Canvas().Orientation(), app::CanvasOrientationLandscape);
    EXPECT_EQ(App().GetPrinter().pageLayout().orientation(), QPageLayout::Landscape);
    Panel().PortraitButton()->click();
    SelectSize("8 x 6 inch");
    EXPECT_EQ(Sheet(), QSize(1800, 2400));

    // A4's real inches: 300 x 8.2677 and 300 x 11.693; the printer takes the paper.
    SelectSize("A4");
    EXPECT_EQ(Sheet(), QSize(2480, 3508));
    EXPECT_EQ(Canvas().PrinterPageSize(), app::PageSizeA4);
    EXPECT_EQ(PrinterPage(), QPageSize::A4);
    EXPECT_EQ(App().GetPrinter().resolution(), 300);
    // 300 to 600 doubles both sides of the real sheet, A4 included.
    SelectResolution(600);
    EXPECT_EQ(Sheet(), QSize(4960, 7016));
    EXPECT_EQ(Canvas().DPI(), 600);
    EXPECT_EQ(App().GetPrinter().resolution(), 600);
    SelectResolution(300);
    SelectSize("2 x 2 inch");
    EXPECT_EQ(Sheet(), QSize(600, 600));
    EXPECT_EQ(Canvas().PrinterPageSize(), app::PageSizeCustom);
    EXPECT_EQ(PrinterPage(), QPageSize::A4);

    // 12 x 8 at 600 dpi is within the limit; 11 x 14 is not and the previous entry comes back.
    SelectSize("12 x 8 inch");
    SelectResolution(600);
    EXPECT_EQ(Sheet(), QSize(4800, 7200));
    Panel().LandscapeButton()->click();
    EXPECT_EQ(Sheet(), QSize(7200, 4800));
    Dialogs().AnswerMessage(QMessageBox::Ok);
    SelectSize("11 x 14 inch");
    EXPECT_EQ(InvalidSizeWarnings(), 1);
    EXPECT_EQ(Panel().SizeComboBox()->currentText(), "12 x 8 inch");
    EXPECT_EQ(Sheet(), QSize(7200, 4800));
    EXPECT_EQ(Canvas().DimensionType(), app::CanvasDimensionPreset);
    EXPECT_FALSE(Panel().WidthEdit()->isEnabled());
    EXPECT_TRUE(Panel().GreetingCardCheck()->isEnabled());
}

TEST_F(CanvasSizePanelTest, CustomSheetsAreTypedInPixels)
{
    Panel().SlotResetCanvasSection();
    Panel().SizeComboBox()->setCurrentIndex(0);
    EXPECT_EQ(Canvas().DimensionType(), app::CanvasDimensionCustom);
    EXPECT_TRUE(Panel().WidthEdit()->isEnabled());
    focus->clear();
    Type(1200, 1800);
    EXPECT_EQ(focus->count(), 0);
    Type(6500, 6500);
    EXPECT_EQ(Sheet(), QSize(6500, 6500));
    EXPECT_EQ(focus->count(), 1);
    // A custom sheet keeps its pixels when the resolution changes.
    SelectResolution(600);
    EXPECT_EQ(Sheet(), QSize(6500, 6500));
    EXPECT_EQ(Canvas().DPI(), 600);
}

TEST_F(CanvasSizePanelTest, FollowingAMissingPhotographGivesTheDefaultSheet)
{
    Panel().SlotResetCanvasSection();
    SelectResolution(600);
    Panel().GreetingCardCheck()->click();
    ASSERT_TRUE(Canvas().PrintAsCard());
    SelectSize("As background");
    EXPECT_EQ(Canvas().DimensionType(), app::CanvasDimensionBackground);
    EXPECT_EQ(Sheet(), QSize(1200, 1800));
    EXPECT_EQ(Working(), QSize(1200, 1800));
    EXPECT_EQ(Canvas().DPI(), 300);
    EXPECT_FALSE(Canvas().PrintAsCard());
    for (QWidget* control : std::initializer_list<QWidget*>{Panel().PortraitButton(), Panel().LandscapeButton(),
                                                            Panel().ResolutionComboBox(), Panel().WidthEdit(),
                                                            Panel().HeightEdit(), Panel().GreetingCardCheck()})
        EXPECT_FALSE(control->isEnabled());
    EXPECT_FALSE(Panel().GreetingCardCheck()->isChecked());
}

TEST_F(CanvasSizePanelTest, AGreetingCardHalvesTheSheetTurned)
{
    Panel().SlotResetCanvasSection();
    focus->clear();
    Panel().GreetingCardCheck()->click();
    EXPECT_EQ(Sheet(), QSize(1200, 1800));
    EXPECT_EQ(Working(), QSize(900, 1200));
    EXPECT_EQ(focus->count(), 1);
    Panel().LandscapeButton()->click();
    EXPECT_EQ(Sheet(), QSize(1800, 1200));
    EXPECT_EQ(Working(), QSize(1200, 900));
}

TEST_F(CanvasSizePanelTest, ResetsAndTheColourRedrawWithoutFocusing)
{
    Panel().SlotResetCanvasSection();
    SelectSize("A5");
    Panel().LandscapeButton()->click();
    SelectResolution(144);
    Panel().GreetingCardCheck()->click();
    QSignalSpy redraws(&App(), kCanvasSignal);
    focus->clear();
    Panel().UseColorCheck()->click();
    Panel().ColorPicker()->SetColor(Qt::red);
    emit Panel().ColorPicker()->ColorChanged();
    EXPECT_TRUE(Canvas().UseCanvasColor());
    EXPECT_EQ(Canvas().CanvasColor(), QColor(Qt::red));
    ASSERT_EQ(redraws.count(), 2);
    for (const QList<QVariant>& redraw : redraws)
        EXPECT_EQ(redraw.at(0).value<hvn::image::HXDownsampleFactor>(), hvn::image::HXDownsampleFactor0);
    EXPECT_EQ(focus->count(), 0);

    Panel().ResetButton()->click();
    EXPECT_EQ(focus->count(), 1);
    EXPECT_EQ(Panel().SizeComboBox()->currentText(), "4 x 6 inch");
    EXPECT_TRUE(Panel().PortraitButton()->isChecked());
    EXPECT_EQ(Canvas().DPI(), 300);
    EXPECT_EQ(Sheet(), QSize(1200, 1800));
    EXPECT_EQ(Working(), QSize(1200, 1800));
    EXPECT_FALSE(Canvas().PrintAsCard());
    EXPECT_FALSE(Canvas().UseCanvasColor());
    EXPECT_EQ(Canvas().CanvasColor(), QColor(255, 255, 255, 255));
    EXPECT_EQ(Panel().ColorPicker()->Color(), QColor(255, 255, 255, 255));
}

TEST_F(CanvasSizePanelTest, EveryStoredPresetIsRecognisedOnReopening)
{
    // Copies: the panel that read them is replaced below.
    const QList<CanvasSizePreset> sizes = Panel().Options().Sizes();
    const QList<int> resolutions = Panel().Options().Resolutions();
    int checked = 0;
    for (int preset = 0; preset < sizes.size(); ++preset) {
        for (const bool portrait : {true, false}) {
            for (int resolution = 0; resolution < resolutions.size(); ++resolution) {
                const int dpi = resolutions[resolution];
                const double a = double(float(dpi)) * sizes[preset].width;
                const double b = double(float(dpi)) * sizes[preset].height;
                if (qRound64(a) * qRound64(b) > 42'250'000)
                    continue;
                SCOPED_TRACE(QString("%1 %2 %3").arg(preset).arg(portrait).arg(dpi).toStdString());
                panel.reset();
                Panel().SlotResetCanvasSection();
                Panel().ResolutionComboBox()->setCurrentIndex(resolution);
                Panel().SizeComboBox()->setCurrentIndex(CanvasSizeWidget::FirstPresetEntry + preset);
                (portrait ? Panel().PortraitButton() : Panel().LandscapeButton())->click();
                const QSize sheet = Sheet();
                ASSERT_EQ(Canvas().DPI(), dpi);
                // Another panel shows the stored canvas.
                panel.reset();
                Panel().SizeComboBox();
                EXPECT_EQ(Panel().SizeComboBox()->currentIndex(), CanvasSizeWidget::FirstPresetEntry + preset);
                EXPECT_EQ(Panel().ResolutionComboBox()->currentIndex(), resolution);
                EXPECT_EQ(Panel().PortraitButton()->isChecked(), portrait);
                EXPECT_EQ(Sheet(), sheet);
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 100);
}

TEST_F(CanvasSizePanelTest, UnusableResolutionsAndPresetsAreRefused)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    WriteFile(QDir(folder.path()).filePath("canvas.xml"),
              "<canvas_options><canvas_sizes><size><width>4</width><height>6</height></size>"
              "<size><width>abc</width><height>6</height></size></canvas_sizes><resolution_sizes>"
              "<resolution>300</resolution><resolution>100000</resolution></resolution_sizes></canvas_options>");
    SetApplicationDirectory(folder.path());
    Panel().SlotResetCanvasSection();
    ASSERT_EQ(Sheet(), QSize(1200, 1800));
    Dialogs().AnswerMessage(QMessageBox::Ok).AnswerMessage(QMessageBox::Ok);
    Panel().ResolutionComboBox()->setCurrentIndex(1);
    EXPECT_EQ(Panel().ResolutionComboBox()->currentIndex(), 0);
    EXPECT_EQ(Canvas().DPI(), 300);
    SelectSize("-1 x 6 inch");
    EXPECT_EQ(Panel().SizeComboBox()->currentText(), "4 x 6 inch");
    EXPECT_EQ(Sheet(), QSize(1200, 1800));
    EXPECT_EQ(InvalidSizeWarnings(), 2);
}

TEST_F(CanvasSizePanelTest, Grab)
{
    Panel().resize(330, 480);
    Panel().setStyleSheet(App().ApplicationStyleSheet());
    Panel().show();
    ProcessEvents();
    ExpectSoundLayout(Panel(), "canvas size panel");
    EXPECT_FALSE(SaveGrab(Panel().grab().toImage(), "canvas-size-panel").isEmpty());

    // The chosen orientation is ringed in the accent green; the other is not.
    const auto ringed = [](QWidget* button) {
        const QImage image = button->grab().toImage();
        int green = 0;
        for (int x = 0; x < image.width(); ++x) {
            bool edge = false;
            for (int y = 0; y < 2; ++y) {
                const QColor top = image.pixelColor(x, y);
                edge = edge || (top.green() > 150 && top.red() < 190 && top.blue() < 80);
            }
            green += edge ? 1 : 0;
        }
        return green > image.width() / 2;
    };
    EXPECT_TRUE(ringed(Panel().PortraitButton()));
    EXPECT_FALSE(ringed(Panel().LandscapeButton()));
    Panel().LandscapeButton()->click();
    ProcessEvents();
    EXPECT_FALSE(ringed(Panel().PortraitButton()));
    EXPECT_TRUE(ringed(Panel().LandscapeButton()));
    SaveGrab(Panel().grab().toImage(), "canvas-size-panel-landscape");
}

} // namespace
} // namespace lumo::ui::testing
