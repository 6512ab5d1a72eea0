// Opening projects: the codes, the one warning for a file that cannot be read, the defaults stored
// in the settings, and what stays when the render processor cannot be made.

#include "GreenScreenProject.h"
#include "UiTest.h"

#include "Shell/BatchSortProxyModel.h"
#include "Shell/Limits.h"
#include "Shell/Settings.h"

#include "ForegroundImageLayer.h"
#include "ImageLayer.h"
#include "LayerManager.h"
#include "LayerSettings.h"
#include "Mask.h"
#include "TextItem.h"

#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QStandardItemModel>
#include <QTemporaryDir>

#include <map>
#include <new>
#include <stdexcept>

namespace lumo::ui::testing {
namespace {

using app::LMerr;

// Complete stored defaults, every value unlike the built-in default project's.
const std::map<QString, QString> kStoredDefaults = {
    {"Export/Format", "4"},      {"Export/Quality", "77"},   {"Canvas/ActualWidth", "2400"},
    {"Canvas/ActualHeight", "1800"}, {"Canvas/Width", "900"},   {"Canvas/Height", "1200"},
    {"Canvas/Orientation", "0"}, {"Canvas/DPI", "240"},      {"Canvas/PrintAsCard", "true"},
};

void StoreSettings(const std::map<QString, QString>& values)
{
    ProgramSettings settings;
    settings.clear();
    for (const auto& [key, value] : values)
        settings.setValue(key, value);
}

bool TookStoredExportDefaults(const app::Project& project)
{
    return project.GetExportSettings().Format() == app::ExportFormatJpg && project.GetExportSettings().Quality() == 77;
}

bool TookStoredCanvasDefaults(const app::Project& project)
{
    const app::Canvas& canvas = project.GetCanvas();
    return canvas.ActualWidth() == 2400 && canvas.ActualHeight() == 1800 && canvas.Width() == 900 &&
           canvas.Height() == 1200 && canvas.Orientation() == app::CanvasOrientationLandscape && canvas.DPI() == 240 &&
           canvas.PrintAsCard();
}

enum class Source { None, GoodFile, DamagedFile, MissingFile };
enum class Renderer { Made, OutOfMemory, Fails };

struct OpenCase {
    const char* name;
    Source source;
    Renderer renderer;
    LMerr code;
    bool warns;
    // The new project is the built-in default with the stored defaults (else the file's own).
    bool isDefaultProject;
    // The render processor could not be made: the previous project stays open.
    bool keepsPrevious;
};

void PrintTo(const OpenCase& c, std::ostream* out)
{
    *out << c.name;
}

class OpenProjectTest : public UiTest, public ::testing::WithParamInterface<OpenCase> {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(folder.isValid());
        written = WriteGreenScreenProject(folder.path(), 0.05);
        QFile damaged(folder.filePath("damaged.lumo4"));
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write("<?xml version=\"1.0\"?>\n<project fileFormat=\"4.0\"><canvas><width>12");
        StoreSettings(kStoredDefaults);
    }

    QString PathOf(Source source) const
    {
        switch (source) {
        case Source::None:
            return QString();
        case Source::GoodFile:
            return written.projectPath;
        case Source::DamagedFile:
            return folder.filePath("damaged.lumo4");
        case Source::MissingFile:
            return folder.filePath("missing.lumo4");
        }
        return QString();
    }

    QTemporaryDir folder;
    GreenScreenProject written;
};

TEST_P(OpenProjectTest, GivesTheCodeTheWarningAndTheDefaults)
{
    const OpenCase& c = GetParam();
    Application& app = App();
    // State of the project open before.
    const app::ProjectPtr previous = CurrentProject();
    const auto previousProcessor = app.GetRenderProcessor();
    app.SetToolsetWidth(50);
    app.SetFirstForegroundPending(false);
    app.ForegroundItemModel()->appendRow(new QStandardItem("photo.jpg"));
    app.ForegroundSelectionModel()->select(app.ForegroundSortModel()->index(0, 0), QItemSelectionModel::Select);
    const QString printImage = QDir(QDir::tempPath()).filePath("print.png");
    QFile(printImage).open(QIODevice::WriteOnly);
    app.GetDocument()->AddTemporaryFile(printImage);

    if (c.renderer == Renderer::OutOfMemory)
        app.SetRenderProcessorFactory([](auto&&...) -> Application::RenderProcessorPtr { throw std::bad_alloc(); });
    else if (c.renderer == Renderer::Fails)
        app.SetRenderProcessorFactory(
            [](auto&&...) -> Application::RenderProcessorPtr { throw std::runtime_error("Invalid screen dimensions"); });
    if (c.warns)
        Dialogs().AnswerMessage(QMessageBox::Ok);

    const QString path = PathOf(c.source);
    EXPECT_EQ(app.OpenProject(path), c.code);

    const auto warnings = Dialogs().RequestsOf(DialogRequest::Message);
    ASSERT_EQ(warnings.size(), c.warns ? 1u : 0u);
    if (c.warns) {
        const MessageRequest& warning = warnings.front().message;
        EXPECT_EQ(warning.icon, QMessageBox::Warning);
        EXPECT_EQ(warning.title, ApplicationName);
        EXPECT_EQ(warning.buttons, QMessageBox::Ok);
        EXPECT_EQ(warning.text, QString("The project cannot be opened because its contents are invalid.\n\n%1\n\n"
                                        "An empty project will be created instead.")
                                    .arg(QDir::toNativeSeparators(path)));
    }

    const app::ProjectPtr project = CurrentProject();
    ASSERT_TRUE(project);
    if (c.keepsPrevious) {
        EXPECT_EQ(project, previous);
        EXPECT_EQ(app.GetRenderProcessor(), previousProcessor);
        EXPECT_EQ(app.ToolsetWidth(), 50);
        EXPECT_FALSE(app.IsFirstForegroundPending());
        EXPECT_EQ(app.ForegroundItemModel()->rowCount(), 1);
        EXPECT_TRUE(QFile::exists(printImage));
        return;
    }
    EXPECT_NE(project, previous);
    ASSERT_TRUE(app.GetRenderProcessor());
    EXPECT_NE(app.GetRenderProcessor(), previousProcessor);
    EXPECT_EQ(app.GetRenderProcessor()->WindowCacheRect(), QRect(0, 0, 1920, 1080));
    EXPECT_EQ(app.ToolsetWidth(), -1);
    EXPECT_TRUE(app.IsFirstForegroundPending());
    EXPECT_FALSE(app.IsExporting());
    EXPECT_EQ(app.ForegroundItemModel()->rowCount(), 0);
    EXPECT_EQ(app.ForegroundItemModel()->columnCount(), 7);
    EXPECT_FALSE(app.ForegroundSelectionModel()->hasSelection());
    EXPECT_FALSE(QFile::exists(printImage));
    EXPECT_EQ(TookStoredExportDefaults(*project), c.isDefaultProject);
    EXPECT_EQ(TookStoredCanvasDefaults(*project), c.isDefaultProject);
    EXPECT_EQ(project->GetLayerManager()->CurrentForegroundId().isNull(), c.isDefaultProject);
    if (!c.isDefaultProject) {
        EXPECT_EQ(project->GetCanvas().Width(), static_cast<unsigned int>(written.scene.width));
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, OpenProjectTest, ::testing::Values(
    //       name                          source               renderer               code                         warns  default keeps
    OpenCase{"NewProject",                 Source::None,        Renderer::Made,        app::LMerrSuccess,           false, true,  false},
    OpenCase{"GoodFile",                   Source::GoodFile,    Renderer::Made,        app::LMerrSuccess,           false, false, false},
    OpenCase{"DamagedFile",                Source::DamagedFile, Renderer::Made,        app::LMerrXmlParse,          true,  true,  false},
    OpenCase{"MissingFile",                Source::MissingFile, Renderer::Made,        app::LMerrFileOpen,          true,  true,  false},
    OpenCase{"NewProjectNoMemoryToRender", Source::None,        Renderer::OutOfMemory, app::LMerrRenderOutOfMemory, false, true,  true},
    OpenCase{"GoodFileRendererFails",      Source::GoodFile,    Renderer::Fails,       app::LMerrRenderFailed,      false, false, true},
    OpenCase{"DamagedFileRendererFails",   Source::DamagedFile, Renderer::Fails,       app::LMerrRenderFailed,      true,  true,  true}),
    [](const ::testing::TestParamInfo<OpenCase>& info) { return std::string(info.param.name); });
// clang-format on

// A file holds no more masks, text items or further layers than a user can add in the panels; one
// with more was not written by the program and is refused as invalid, like a value out of range.
class ItemLimitTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(folder.isValid());
        written = WriteGreenScreenProject(folder.path(), 0.05);
    }

    QTemporaryDir folder;
    GreenScreenProject written;
};

TEST_F(ItemLimitTest, MoreItemsThanThePanelsAllowAreRefusedAsInvalid)
{
    struct LimitCase {
        const char* name;
        int masks, texts, layers;
        bool opens;
    };
    const std::vector<LimitCase> cases = {
        {"at every limit", MaximumMasks, MaximumTextItems, MaximumFurtherLayers, true},
        {"one mask more", MaximumMasks + 1, 0, 0, false},
        {"one text item more", 0, MaximumTextItems + 1, 0, false},
        {"one layer more", 0, 0, MaximumFurtherLayers + 1, false},
    };
    for (const LimitCase& c : cases) {
        SCOPED_TRACE(c.name);
        LMerr code = app::LMerrSuccess;
        const auto full = std::make_shared<app::Project>(written.projectPath, code);
        ASSERT_EQ(code, app::LMerrSuccess);
        const app::LayerManagerPtr manager = full->GetLayerManager();
        const app::ForegroundImageLayerSettingsPtr settings = manager->GetForegroundSettings();
        for (int i = 0; i < c.masks; ++i)
            ASSERT_EQ(settings->Masks().Add(std::make_shared<app::Mask>()), app::LMerrSuccess);
        for (int i = 0; i < c.texts; ++i)
            ASSERT_EQ(settings->TextItems().Add(std::make_shared<app::TextItem>()), app::LMerrSuccess);
        for (int i = 0; i < c.layers; ++i)
            ASSERT_EQ(manager->AddLayer(std::make_shared<app::ImageLayer>(app::LayerTypeImage, "layer", QString())),
                      app::LMerrSuccess);
        const QString path = folder.filePath(QStringLiteral("%1.lumo4").arg(c.name));
        ASSERT_EQ(full->SaveToXml(path, "test", "4.0"), app::LMerrSuccess);

        if (!c.opens)
            Dialogs().AnswerMessage(QMessageBox::Ok);
        EXPECT_EQ(App().OpenProject(path), c.opens ? app::LMerrSuccess : app::LMerrInvalidData);
        EXPECT_EQ(Dialogs().RequestsOf(DialogRequest::Message).size(), c.opens ? 0u : 1u);
        EXPECT_EQ(CurrentProject()->GetLayerManager()->GetForegroundSettings()->Masks().Size(),
                  c.opens ? static_cast<unsigned int>(c.masks) : 0u);
        Dialogs().Clear();
    }
}

using StoredDefaultsTest = UiTest;

TEST_F(StoredDefaultsTest, AreTakenOnlyAsWholeGroupsOfValuesInRange)
{
    struct DefaultsCase {
        const char* name;
        std::map<QString, QString> changes; // over kStoredDefaults; an empty value removes the key
        bool exportTaken;
        bool canvasTaken;
    };
    const std::vector<DefaultsCase> cases = {
        {"complete", {}, true, true},
        {"export without quality", {{"Export/Quality", ""}}, false, true},
        {"canvas without card flag", {{"Canvas/PrintAsCard", ""}}, true, false},
        {"format not written by the program", {{"Export/Format", "1"}}, false, true},
        {"quality above 100", {{"Export/Quality", "101"}}, false, true},
        {"quality negative", {{"Export/Quality", "-1"}}, false, true},
        {"quality not a number", {{"Export/Quality", "high"}}, false, true},
        {"width zero", {{"Canvas/Width", "0"}}, true, false},
        {"sheet over the pixel limit", {{"Canvas/ActualWidth", "7000"}, {"Canvas/ActualHeight", "7000"}}, true, false},
        {"orientation unknown", {{"Canvas/Orientation", "2"}}, true, false},
        {"resolution zero", {{"Canvas/DPI", "0"}}, true, false},
        {"card flag not a flag", {{"Canvas/PrintAsCard", "maybe"}}, true, false},
        {"card flag as a number", {{"Canvas/PrintAsCard", "1"}}, true, true},
    };
    for (const DefaultsCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::map<QString, QString> values = kStoredDefaults;
        for (const auto& [key, value] : c.changes) {
            if (value.isEmpty())
                values.erase(key);
            else
                values[key] = value;
        }
        StoreSettings(values);
        ASSERT_EQ(App().OpenProject(QString()), app::LMerrSuccess);
        const app::ProjectPtr project = CurrentProject();
        EXPECT_EQ(TookStoredExportDefaults(*project), c.exportTaken);
        EXPECT_EQ(TookStoredCanvasDefaults(*project), c.canvasTaken);
        if (!c.canvasTaken) {
            // The built-in canvas, untouched by the refused group.
            EXPECT_EQ(project->GetCanvas().Width(), 1200u);
            EXPECT_EQ(project->GetCanvas().Height(), 1800u);
            EXPECT_EQ(project->GetCanvas().DPI(), 300);
        }
    }
}

} // namespace
} // namespace lumo::ui::testing
