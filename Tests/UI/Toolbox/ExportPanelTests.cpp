// The export panel: its start values from the settings, the file it proposes and the extension it
// makes sure of, the quick-export command, a real export read back and a failing one that leaves
// an existing file alone.

#include "GreenScreenProject.h"
#include "Grabs.h"
#include "LayoutCheck.h"
#include "RefreshSignals.h"
#include "UiTest.h"

#include "Controls/Buttons.h"
#include "Controls/SmallWidgets.h"
#include "Controls/ValueControls.h"
#include "Shell/ExportImage.h"
#include "Shell/Settings.h"
#include "Toolbox/BasicExportWidget.h"

#include "Canvas.h"
#include "ExportSettings.h"
#include "ForegroundImageLayer.h"
#include "LayerManager.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

namespace lumo::ui::testing {
namespace {

class ExportPanelTest : public UiTest {
protected:
    void TearDown() override
    {
        panel.reset();
        UiTest::TearDown();
    }
    BasicExportWidget& Panel()
    {
        if (!panel)
            panel = std::make_unique<BasicExportWidget>(nullptr);
        return *panel;
    }
    static void WriteExportSettings(int format, int quality)
    {
        ProgramSettings settings;
        settings.beginGroup("Export");
        settings.setValue("Format", format);
        settings.setValue("Quality", quality);
    }
    // Chooses the format, answers the save dialog with `answer`, then the message that follows,
    // and clicks Export.
    void ExportAs(int formatIndex, const QString& answer, QMessageBox::StandardButton message = QMessageBox::Ok,
                  std::function<void()> duringMessage = {})
    {
        Panel().FormatComboBox()->setCurrentIndex(formatIndex);
        Dialogs().AnswerFiles({answer}).AnswerMessage(message, std::move(duringMessage));
        Panel().ExportButton()->click();
    }
    // A canvas without pixels cannot be rendered: the export fails after the file was chosen.
    static void BreakRender() { CurrentProject()->GetCanvas().SetDimensions(0, 0); }
    static QByteArray Contents(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    std::unique_ptr<BasicExportWidget> panel;
    QTemporaryDir folder;
};

struct StartCase {
    const char* name;
    std::optional<std::pair<int, int>> stored; // Format and Quality of the settings
    int index;
    int quality;
    bool qualityEnabled;
    app::ExportFormat projectFormat;
};

TEST_F(ExportPanelTest, StartValuesComeFromTheSettings)
{
    const StartCase cases[] = {
        {"no settings", std::nullopt, 1, 100, false, app::ExportFormatPng},
        {"JPG at 75", std::pair(4, 75), 0, 75, true, app::ExportFormatJpg},
        {"PNG", std::pair(3, 75), 1, 100, false, app::ExportFormatPng},
        {"TIFF", std::pair(2, 75), 2, 100, false, app::ExportFormatTiff},
        // An unknown format keeps the first entry at full quality; the project follows the combo.
        {"unknown format", std::pair(9, 75), 0, 100, true, app::ExportFormatJpg},
    };
    for (const StartCase& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramSettings().remove("Export");
        if (c.stored)
            WriteExportSettings(c.stored->first, c.stored->second);
        CurrentProject()->GetExportSettings().SetFormat(app::ExportFormatTiff);
        panel.reset();
        EXPECT_EQ(Panel().FormatComboBox()->currentIndex(), c.index);
        EXPECT_EQ(Panel().FormatComboBox()->currentText(), QStringList({"JPG", "PNG", "TIFF"})[c.index]);
        EXPECT_EQ(Panel().QualitySpinSlider()->GetSlider()->value(), c.quality);
        EXPECT_EQ(Panel().QualitySpinSlider()->isEnabled(), c.qualityEnabled);
        EXPECT_EQ(Panel().QualityLabel()->isEnabled(), c.qualityEnabled);
        EXPECT_EQ(CurrentProject()->GetExportSettings().Format(), c.projectFormat);
    }
}

TEST_F(ExportPanelTest, FormatAndQualityAreWrittenIntoTheProject)
{
    Panel().FormatComboBox()->setCurrentIndex(2);
    EXPECT_EQ(CurrentProject()->GetExportSettings().Format(), app::ExportFormatTiff);
    EXPECT_FALSE(Panel().QualitySpinSlider()->isEnabled());
    Panel().FormatComboBox()->setCurrentIndex(0);
    EXPECT_EQ(CurrentProject()->GetExportSettings().Format(), app::ExportFormatJpg);
    EXPECT_TRUE(Panel().QualitySpinSlider()->isEnabled());
    Panel().QualitySpinSlider()->GetSpinBox()->setValue(42);
    EXPECT_EQ(CurrentProject()->GetExportSettings().Quality(), 42);
}

TEST_F(ExportPanelTest, TheChosenNameGetsTheFormatsExtension)
{
    ASSERT_TRUE(folder.isValid());
    const QDir dir(folder.path());
    struct Case {
        int index;
        QString typed;
        QString written;
    };
    // Each export fails, so its warning names the file.
    BreakRender();
    const Case cases[] = {
        {0, "a.JPG", "a.JPG"},
        {0, "a", "a.jpg"},
        {1, "b.png", "b.png"},
        {2, "a.png", "a.png.tiff"},
        // The other usual spellings of the chosen format are kept, not doubled.
        {0, "c.jpeg", "c.jpeg"},
        {2, "d.tif", "d.tif"},
        {2, "e.TIF", "e.TIF"},
        {2, "f.jpeg", "f.jpeg.tiff"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        ExportAs(c.index, dir.filePath(c.typed));
        const DialogRequest& request = Dialogs().RequestsOf(DialogRequest::Files).back();
        EXPECT_EQ(request.file.title, "Save As");
        EXPECT_EQ(request.file.mode, FileDialogMode::SaveFile);
        EXPECT_EQ(request.file.defaultSuffix, BasicExportWidget::ExtensionOf(c.index));
        EXPECT_EQ(request.file.filter, "*." + BasicExportWidget::ExtensionOf(c.index));
        EXPECT_EQ(Dialogs().Requests().back().message.text,
                  "The following image could not be saved:\n\n" + dir.filePath(c.written));
    }
}

TEST_F(ExportPanelTest, AnAppendedExtensionOntoAnExistingFileIsAskedAbout)
{
    ASSERT_TRUE(folder.isValid());
    const QString existing = QDir(folder.path()).filePath("a.png.tiff");
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("kept");
    file.close();
    // Declined: nothing is written or remembered.
    ExportAs(2, QDir(folder.path()).filePath("a.png"), QMessageBox::No);
    const DialogRequest question = Dialogs().Requests().back();
    EXPECT_EQ(question.message.text, "a.png.tiff already exists.\nDo you want to replace it?");
    EXPECT_EQ(question.message.defaultButton, QMessageBox::No);
    EXPECT_TRUE(question.message.guardsData);
    EXPECT_TRUE(ReadSetting("RecentFolders", "export").isEmpty());
    EXPECT_EQ(Contents(existing), "kept");
}

TEST_F(ExportPanelTest, TheProposalIsThePhotographsNameInTheRememberedFolder)
{
    ASSERT_TRUE(folder.isValid());
    const GreenScreenProject project = WriteGreenScreenProject(folder.path(), 0.05);
    ASSERT_EQ(App().OpenProject(project.projectPath), app::LMerrSuccess);
    const app::LayerManagerPtr layers = CurrentProject()->GetLayerManager();
    layers->GetForeground(layers->CurrentForegroundId())->SetPath("/photos/portrait.final.tif");
    const QString exports = QDir(folder.path()).filePath("exports");
    ASSERT_TRUE(QDir().mkpath(exports));
    WriteSetting("RecentFolders", "export", exports);

    // The button and the quick-export command open the same dialog (cancelled here).
    Dialogs().AnswerFiles({}).AnswerFiles({});
    Panel().FormatComboBox()->setCurrentIndex(1);
    Panel().ExportButton()->click();
    emit App().SignalStandardQuickExportClicked();
    const std::vector<DialogRequest> files = Dialogs().RequestsOf(DialogRequest::Files);
    ASSERT_EQ(files.size(), 2u);
    for (const DialogRequest& request : files) {
        EXPECT_EQ(request.file.folder, exports + "/portrait.png");
        EXPECT_EQ(request.file.title, "Save As");
    }
}

TEST_F(ExportPanelTest, AnExportIsWrittenAtTheCanvasResolutionAndReported)
{
    ASSERT_TRUE(folder.isValid());
    const GreenScreenProject project = WriteGreenScreenProject(folder.path(), 0.05);
    ASSERT_EQ(App().OpenProject(project.projectPath), app::LMerrSuccess);
    LoadLayerImages(App());
    CurrentProject()->GetCanvas().SetDimensionType(app::CanvasDimensionCustom);
    CurrentProject()->GetCanvas().SetDPI(200);
    QDir(folder.path()).mkdir("out");
    const QString path = QDir(folder.path()).filePath("out/picture.png");

    QSignalSpy refreshes(&App(), kCanvasSignal);
    bool exportingDuringMessage = true;
    ExportAs(1, path, QMessageBox::Ok, [&] { exportingDuringMessage = App().IsExporting(); });
    EXPECT_EQ(Dialogs().Requests().back().message.text, "Finished exporting.\t");
    EXPECT_FALSE(exportingDuringMessage);
    ASSERT_GE(refreshes.count(), 1);
    EXPECT_EQ(refreshes.last().at(0).value<hvn::image::HXDownsampleFactor>(), hvn::image::HXDownsampleFactor0);
    EXPECT_EQ(ReadSetting("RecentFolders", "export"), QDir(folder.path()).filePath("out"));

    QImageReader reader(path);
    const QImage written = reader.read();
    ASSERT_FALSE(written.isNull()) << reader.errorString().toStdString();
    EXPECT_EQ(written.dotsPerMeterX(), DotsPerMetre(200));
    EXPECT_EQ(written.dotsPerMeterY(), DotsPerMetre(200));
    EXPECT_TRUE(written.hasAlphaChannel());
}

// The first value of a JPEG file's first quantisation table (the luminance DC step); -1 without one.
int FirstQuantisationStep(const QByteArray& jpeg)
{
    const qsizetype marker = jpeg.indexOf(QByteArray("\xFF\xDB", 2));
    // Marker, two length bytes, precision and table number, then the first step.
    return marker < 0 || marker + 5 >= jpeg.size() ? -1 : static_cast<unsigned char>(jpeg[marker + 5]);
}

// The standard encoder's luminance DC step at a quality: the base step 16 scaled.
int ExpectedQuantisationStep(int quality)
{
    const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
    return std::clamp((16 * scale + 50) / 100, 1, 255);
}

TEST_F(ExportPanelTest, TheJpegQualityReachesTheFile)
{
    ASSERT_TRUE(folder.isValid());
    const GreenScreenProject project = WriteGreenScreenProject(folder.path(), 0.05);
    ASSERT_EQ(App().OpenProject(project.projectPath), app::LMerrSuccess);
    LoadLayerImages(App());
    for (const int quality : {10, 95}) {
        SCOPED_TRACE(quality);
        Panel().FormatComboBox()->setCurrentIndex(0);
        Panel().QualitySpinSlider()->GetSpinBox()->setValue(quality);
        const QString path = QDir(folder.path()).filePath(QStringLiteral("picture-%1.jpg").arg(quality));
        ExportAs(0, path);
        const QByteArray written = Contents(path);
        ASSERT_FALSE(written.isEmpty());
        EXPECT_EQ(FirstQuantisationStep(written), ExpectedQuantisationStep(quality));
    }
}

TEST_F(ExportPanelTest, AFailedExportLeavesTheExistingFileAndNamesIt)
{
    ASSERT_TRUE(folder.isValid());
    const QString path = QDir(folder.path()).filePath("earlier.png");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("an earlier export");
    file.close();
    BreakRender();
    ExportAs(1, path);
    const DialogRequest warning = Dialogs().Requests().back();
    EXPECT_EQ(warning.message.icon, QMessageBox::Warning);
    EXPECT_EQ(warning.message.text, "The following image could not be saved:\n\n" + path);
    EXPECT_EQ(Contents(path), "an earlier export");
    EXPECT_FALSE(App().IsExporting());
}

TEST_F(ExportPanelTest, AFileTheProjectIsBuiltFromIsRefusedAndTheDialogOfferedAgain)
{
    ASSERT_TRUE(folder.isValid());
    const QDir dir(folder.path());
    const GreenScreenProject project = WriteGreenScreenProject(folder.path(), 0.05);
    ASSERT_EQ(App().OpenProject(project.projectPath), app::LMerrSuccess);
    LoadLayerImages(App());
    ASSERT_TRUE(QFile::copy(project.backgroundPath, dir.filePath("frame.png")));
    ASSERT_TRUE(QFile::copy(project.backgroundPath, dir.filePath("extra.png")));
    ASSERT_TRUE(App().ImportImage(dir.filePath("frame.png"), QUuid(), app::LayerTypeOverlay));
    const auto further = std::make_shared<app::ImageLayer>(app::LayerTypeImage, "Layer 2", QString());
    ASSERT_EQ(CurrentProject()->GetLayerManager()->AddLayer(further), app::LMerrSuccess);
    ASSERT_TRUE(App().ImportImage(dir.filePath("extra.png"), further->Id(), app::LayerTypeImage));
    ProcessEvents();
    ASSERT_TRUE(dir.mkdir("sub"));
    ASSERT_TRUE(QFile::link(project.photoPath, dir.filePath("photo-link.png")));
    ASSERT_TRUE(QFile::link(project.projectPath, dir.filePath("project-link.tiff")));

    struct Case {
        const char* name;
        int format;
        QString chosen;
        QString use;
        QString file; // what must keep its bytes
    };
    const Case cases[] = {
        {"foreground", 1, project.photoPath, "the foreground photograph", project.photoPath},
        {"background", 1, project.backgroundPath, "the background image", project.backgroundPath},
        {"overlay", 1, dir.filePath("frame.png"), "the overlay image", dir.filePath("frame.png")},
        {"further layer", 1, dir.filePath("extra.png"), "the image of the layer \"Layer 2\"",
         dir.filePath("extra.png")},
        {"a link to the photograph", 1, dir.filePath("photo-link.png"), "the foreground photograph", project.photoPath},
        {"a path through ..", 1, dir.filePath("sub/../sky.png"), "the background image", project.backgroundPath},
        // A name without the format's extension gets it, and the name with it is the one compared.
        {"the project file", 2, dir.filePath("project-link"), "the project file", project.projectPath},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Dialogs().Clear();
        const QByteArray before = Contents(c.file);
        ASSERT_FALSE(before.isEmpty());
        Panel().FormatComboBox()->setCurrentIndex(c.format);
        // Refused, then the dialog again: cancelled.
        Dialogs().AnswerFiles({c.chosen}).AnswerMessage(QMessageBox::Ok).AnswerFiles({});
        Panel().ExportButton()->click();

        const std::vector<DialogRequest> files = Dialogs().RequestsOf(DialogRequest::Files);
        const std::vector<DialogRequest> messages = Dialogs().RequestsOf(DialogRequest::Message);
        ASSERT_EQ(files.size(), 2u);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].message.icon, QMessageBox::Warning);
        EXPECT_TRUE(messages[0].message.text.contains(c.use + " of the open project"))
            << messages[0].message.text.toStdString();
        // Offered again where the refused name was, so that only the name needs changing.
        EXPECT_EQ(QFileInfo(files[1].file.folder).absolutePath(), QFileInfo(c.chosen).absolutePath());
        EXPECT_EQ(Contents(c.file), before);
        EXPECT_TRUE(ReadSetting("RecentFolders", "export").isEmpty());
    }

    // After a refusal, another name is exported as usual.
    Dialogs().Clear();
    Panel().FormatComboBox()->setCurrentIndex(1);
    Dialogs().AnswerFiles({project.photoPath}).AnswerMessage(QMessageBox::Ok).AnswerFiles({dir.filePath("composite.png")})
        .AnswerMessage(QMessageBox::Ok);
    Panel().ExportButton()->click();
    EXPECT_EQ(Dialogs().Requests().back().message.text, "Finished exporting.\t");
    EXPECT_TRUE(QFileInfo(dir.filePath("composite.png")).size() > 0);
}

TEST_F(ExportPanelTest, TheDialogStartsInAFolderTheUserMayWriteTo)
{
    ASSERT_TRUE(folder.isValid());
    const QDir dir(folder.path());
    // A home of the test's own, without a desktop folder at first.
    ASSERT_TRUE(dir.mkpath("home"));
    const QByteArray realHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(dir.filePath("home")));
    const std::shared_ptr<void> restore(nullptr, [&](void*) {
        qputenv("HOME", realHome);
        SetApplicationDirectory(QString());
    });
    const QString home = QDir::homePath();
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    ASSERT_EQ(desktop, dir.filePath("home/Desktop"));
    ASSERT_TRUE(dir.mkpath("program/Sample Images/Overlay"));
    ASSERT_TRUE(dir.mkpath("exports"));
    SetApplicationDirectory(dir.filePath("program"));

    struct Case {
        const char* name;
        QString remembered;
        QString start;
    };
    const Case cases[] = {
        {"nothing remembered and no desktop folder", QString(), home},
        {"a remembered folder that is gone", dir.filePath("gone"), home},
        {"the program's folder", dir.filePath("program"), home},
        {"a sample folder beside the program", dir.filePath("program/Sample Images/Overlay"), home},
        {"the same, through ..", dir.filePath("exports/../program/Sample Images"), home},
        {"a folder of the user's", dir.filePath("exports"), dir.filePath("exports")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteSetting("RecentFolders", "export", c.remembered);
        Dialogs().Clear();
        Dialogs().AnswerFiles({});
        Panel().ExportButton()->click();
        ASSERT_EQ(Dialogs().RequestsOf(DialogRequest::Files).size(), 1u);
        EXPECT_EQ(QDir::cleanPath(Dialogs().RequestsOf(DialogRequest::Files)[0].file.folder), QDir::cleanPath(c.start));
    }
    // With a desktop folder, that is where a first export starts.
    ASSERT_TRUE(QDir().mkpath(desktop));
    WriteSetting("RecentFolders", "export", QString());
    Dialogs().Clear();
    Dialogs().AnswerFiles({});
    Panel().ExportButton()->click();
    EXPECT_EQ(Dialogs().RequestsOf(DialogRequest::Files)[0].file.folder, desktop);
}

TEST_F(ExportPanelTest, Grab)
{
    WriteExportSettings(4, 80);
    Panel().resize(330, Panel().sizeHint().height());
    Panel().setStyleSheet(App().ApplicationStyleSheet());
    Panel().show();
    ProcessEvents();
    ExpectSoundLayout(Panel(), "export panel");
    EXPECT_FALSE(SaveGrab(Panel().grab().toImage(), "export-panel").isEmpty());
}

} // namespace
} // namespace lumo::ui::testing
