// The main window: its menus and shortcuts, the first start and the restored settings, how it
// follows model notifications, its keys, file drags and closing, and the activation check.

#include "Grabs.h"
#include "GreenScreenProject.h"
#include "Modal.h"
#include "RefreshSignals.h"
#include "UiTest.h"
#include "UrlRecorder.h"

#include "Canvas/CanvasActionsWidget.h"
#include "Canvas/CanvasScene.h"
#include "Canvas/CanvasView.h"
#include "Shell/AboutWidget.h"
#include "Window/MainWindow.h"
#include "Shell/Settings.h"
#include "Window/TerminationSignals.h"
#include "ProjectTestUtils.h"
#include "Toolbox/ToolboxDockWidget.h"
#include "Toolbox/ToolsetWidget.h"
#include "Controls/ThumbnailCache.h"

#include "ImageLayer.h"
#include "LayerManager.h"

#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QGridLayout>
#include <QMenuBar>
#include <QMenu>
#include <QMimeData>
#include <unistd.h>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>
#include <memory>
#include <tuple>

namespace lumo::ui::testing {
namespace {

// What the model told its observers, in order.
class NotificationRecorder : public LumoModelObserver {
public:
    void ModelChanged(DataType type, const QUuid& id, FieldType field) override { seen.append({type, id, field}); }
    QList<FieldType> Fields() const
    {
        QList<FieldType> fields;
        for (const auto& [type, id, field] : seen)
            fields.append(field);
        return fields;
    }
    QList<std::tuple<DataType, QUuid, FieldType>> seen;
};

QString Label(const QAction* action)
{
    return action->text().remove('&');
}

// Every menu entry as "path | shortcut | flags", separators as "path/-".
void ListMenu(const QString& prefix, const QMenu* menu, QStringList& entries)
{
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator()) {
            entries.append(prefix + "-");
        } else if (action->menu() != nullptr) {
            ListMenu(prefix + Label(action) + "/", action->menu(), entries);
        } else {
            QStringList flags;
            if (action->isCheckable())
                flags.append(action->isChecked() ? "checked" : "checkable");
            if (!action->isEnabled())
                flags.append("disabled");
            if (!action->isVisible())
                flags.append("hidden");
            entries.append(QStringLiteral("%1%2 | %3 | %4")
                               .arg(prefix, Label(action), action->shortcut().toString(), flags.join(' ')));
        }
    }
}

class MainWindowTest : public UiTest {
protected:
    void TearDown() override
    {
        window.reset();
        UiTest::TearDown();
    }

    // One main window at a time, as in the program.
    MainWindow& OpenWindow(const QString& path = QString())
    {
        window.reset();
        window = std::make_unique<MainWindow>(path);
        recorder.SetModel(window->Model(), {});
        return *window;
    }

    MainWindow& ShowWindow(const QString& path = QString())
    {
        OpenWindow(path).show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return *window;
    }

    QAction* Action(const QString& path) const
    {
        const QStringList parts = path.split('/');
        QList<QAction*> actions = window->menuBar()->actions();
        QAction* found = nullptr;
        for (const QString& part : parts) {
            found = nullptr;
            for (QAction* action : actions)
                if (Label(action) == part)
                    found = action;
            if (found == nullptr)
                return nullptr;
            actions = found->menu() != nullptr ? found->menu()->actions() : QList<QAction*>();
        }
        return found;
    }

    void Notify(DataType type, FieldType field, const QUuid& id = QUuid())
    {
        window->Model()->NotifyObservers(type, id.isNull() ? App().GetDocument()->Id() : id, field);
    }

    Qt::Alignment ToolsetAlignment() const
    {
        for (auto* grid : window->GetCanvasView()->findChildren<QGridLayout*>())
            if (const int index = grid->indexOf(window->GetToolsetBar()); index >= 0)
                return grid->itemAt(index)->alignment();
        return {};
    }

    QPushButton* MatteViewButton() const { return window->GetCanvasActions()->MatteViewButton(); }

    static QString Setting(const QString& key) { return ProgramSettings().value(key).toString(); }

    std::unique_ptr<MainWindow> window;
    NotificationRecorder recorder;
};

TEST_F(MainWindowTest, TheMenusHoldEveryCommandWithItsShortcut)
{
    OpenWindow();
    QStringList entries;
    QStringList titles;
    for (const QAction* menu : window->menuBar()->actions()) {
        titles.append(Label(menu));
        ListMenu(Label(menu) + "/", menu->menu(), entries);
    }
    const QString recent = "File/Recent Projects/ |  | disabled hidden";
    const QStringList expected = {
        "File/New/Project | Ctrl+N | ",
        "File/New/Greeting Card |  | ",
        "File/Open... | Ctrl+O | ",
        recent, recent, recent, recent, recent,
        "File/-",
        "File/Save Project | Ctrl+S | ",
        "File/Save Project As... | Ctrl+Shift+S | ",
        "File/Revert |  | disabled",
        "File/-",
        "File/Canvas Export | Ctrl+E | ",
        "File/-",
        "File/Page Setup... |  | ",
        "File/Print Preview... |  | ",
        "File/Print... | Ctrl+P | ",
        "File/-",
        "File/Exit |  | ",
        "View/Toolset Position/Left |  | checkable",
        "View/Toolset Position/Right |  | checked",
        "View/Collapse Toolset |  | checkable",
        "View/-",
        "View/Undock Toolbox |  | checkable",
        "Help/Help Contents | F1 | ",
        "Help/Quickstart |  | ",
        "Help/Support |  | ",
        "Help/-",
        "Help/Restore Default Settings |  | ",
        "Help/-",
        "Help/About Lumora 4 |  | ",
        "www.halvern.com/www.halvern.com Home |  | ",
        "www.halvern.com/Halvern News |  | ",
        "www.halvern.com/Forums |  | ",
        "www.halvern.com/Live Chat |  | ",
        "www.halvern.com/-",
        "www.halvern.com/Lumora Gallery |  | ",
        "www.halvern.com/Submit my Photo |  | ",
    };
    EXPECT_EQ(titles, QStringList({"File", "View", "Help", "www.halvern.com"}));
    EXPECT_EQ(entries, expected);
    // The recent projects wait in a disabled submenu until there are some.
    EXPECT_FALSE(Action("File/Recent Projects")->isEnabled());
    // The bars and the dock offer no menu of their own.
    EXPECT_EQ(static_cast<QMainWindow*>(window.get())->createPopupMenu(), nullptr);
}

TEST_F(MainWindowTest, TheFirstStartWithoutSettingsGivesTheDefaults)
{
    ShowWindow();
    MainWindow& w = *window;
    EXPECT_TRUE(w.windowState().testFlag(Qt::WindowMaximized));
    EXPECT_EQ(w.windowTitle(), "Untitled Project - Halvern Lumora 4");
    EXPECT_EQ(w.CurrentProjectPath(), QString());
    EXPECT_EQ(w.dockWidgetArea(w.GetToolboxDock()), Qt::RightDockWidgetArea);
    EXPECT_FALSE(w.GetToolboxDock()->isFloating());
    EXPECT_EQ(CurrentProject()->ToolsetPosition(), app::ToolsetPositionRight);
    EXPECT_EQ(CurrentProject()->ToolsetState(), app::ToolsetStateExpanded);
    EXPECT_EQ(ToolsetAlignment(), Qt::AlignRight);
    EXPECT_TRUE(Action("View/Toolset Position/Right")->isChecked());
    EXPECT_FALSE(Action("View/Collapse Toolset")->isChecked());
    EXPECT_FALSE(Action("View/Undock Toolbox")->isChecked());

    EXPECT_EQ(w.centralWidget(), w.GetCanvasView());
    EXPECT_EQ(w.GetCanvasView()->scene(), w.GetCanvasScene());
    EXPECT_EQ(App().GetCanvasView(), w.GetCanvasView());
    EXPECT_EQ(App().ToolsetWidth(), w.GetToolsetBar()->ToolsetWidth() + 4);
    EXPECT_EQ(w.minimumSize(), QSize(800, 600));
    EXPECT_EQ(w.maximumSize(), QGuiApplication::primaryScreen()->geometry().size());
    EXPECT_TRUE(w.acceptDrops());
    for (const Qt::WindowType hint : {Qt::WindowMinimizeButtonHint, Qt::WindowMaximizeButtonHint,
                                      Qt::WindowCloseButtonHint, Qt::WindowSystemMenuHint})
        EXPECT_TRUE(w.windowFlags().testFlag(hint)) << hint;
    EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowContextHelpButtonHint));

    // The window, then the toolset bar, the view, the scene and the dock observe the model.
    const LumoModelPtr model = w.Model();
    const QList<LumoModelObserver*> observers = model->Observers();
    ASSERT_GE(observers.size(), 5);
    EXPECT_EQ(observers.mid(0, 5), QList<LumoModelObserver*>({&w, w.GetToolsetBar(), w.GetCanvasView(),
                                                               w.GetCanvasScene(), w.GetToolboxDock()}));
    EXPECT_FALSE(model->IsSubscribed(w.GetToolsetBar(), DataTypeCanvas));
    EXPECT_TRUE(model->IsSubscribed(w.GetCanvasScene(), DataTypeCanvas));
    EXPECT_FALSE(model->IsSubscribed(w.GetToolboxDock(), DataTypeCanvas));
    EXPECT_TRUE(w.GetCanvasActions()->isVisible());
    // The grab shows the canvas once the window's size has settled.
    ASSERT_TRUE(QTest::qWaitFor([&w] { return w.GetCanvasScene()->IsDrawingEnabled(); }, 10000));
    SaveGrab(w.grab().toImage(), "main-window-first-start");

    // The window empties the model's observer list when it goes, before its views are taken down.
    const std::weak_ptr<LumoModel> kept = model;
    window.reset();
    EXPECT_EQ(App().GetCanvasView(), nullptr);
    ASSERT_FALSE(kept.expired());
    EXPECT_TRUE(kept.lock()->Observers().isEmpty());
}

TEST_F(MainWindowTest, TheSettingsAClosedWindowStoredAreRestored)
{
    ShowWindow();
    window->setWindowState(Qt::WindowNoState);
    window->setGeometry(120, 80, 1000, 700);
    Action("View/Toolset Position/Left")->trigger();
    Action("View/Collapse Toolset")->trigger();
    ASSERT_TRUE(window->close());
    window.reset();

    // The next start puts the project's toolset back as the window left it.
    CurrentProject()->SetToolsetPosition(app::ToolsetPositionRight);
    CurrentProject()->SetToolsetState(app::ToolsetStateExpanded);
    ShowWindow();
    EXPECT_FALSE(window->windowState().testFlag(Qt::WindowMaximized));
    EXPECT_EQ(window->geometry().size(), QSize(1000, 700));
    EXPECT_EQ(CurrentProject()->ToolsetPosition(), app::ToolsetPositionLeft);
    EXPECT_EQ(CurrentProject()->ToolsetState(), app::ToolsetStateCollapsed);
    EXPECT_TRUE(Action("View/Toolset Position/Left")->isChecked());
    EXPECT_FALSE(Action("View/Toolset Position/Right")->isChecked());
    EXPECT_TRUE(Action("View/Collapse Toolset")->isChecked());
    EXPECT_EQ(ToolsetAlignment(), Qt::AlignLeft);
    window.reset();

    // Values that cannot be used fall back to the defaults.
    {
        ProgramSettings settings;
        settings.setValue("MainWindow/Geometry", QByteArray("not a geometry"));
        settings.setValue("MainWindow/ToolsetPosition", 7);
        settings.setValue("MainWindow/ToolsetState", "folded");
    }
    ShowWindow();
    EXPECT_TRUE(window->windowState().testFlag(Qt::WindowMaximized));
    EXPECT_EQ(CurrentProject()->ToolsetPosition(), app::ToolsetPositionRight);
    EXPECT_EQ(CurrentProject()->ToolsetState(), app::ToolsetStateExpanded);
}

TEST_F(MainWindowTest, TheWindowFollowsModelNotifications)
{
    ShowWindow();
    struct Case {
        const char* name;
        std::function<void()> change;
        DataType type;
        FieldType field;
        std::function<void()> expect;
    };
    app::Project& project = *CurrentProject();
    QSpinBox* zoom = window->GetCanvasActions()->findChild<QSpinBox*>();
    ASSERT_NE(zoom, nullptr);
    const std::vector<Case> cases = {
        {"the zoom shows the canvas scale, truncated", [&] { project.GetCanvas().SetScale(0.378f); }, DataTypeCanvas,
         FieldTypeCanvasScale, [&] { EXPECT_EQ(zoom->value(), 37); }},
        {"collapsing is shown and stored", [&] { project.SetToolsetState(app::ToolsetStateCollapsed); },
         DataTypeInterface, FieldTypeToolsetState,
         [&] {
             EXPECT_TRUE(Action("View/Collapse Toolset")->isChecked());
             EXPECT_EQ(Setting("MainWindow/ToolsetState"), "1");
         }},
        {"the position is shown and stored", [&] { project.SetToolsetPosition(app::ToolsetPositionLeft); },
         DataTypeInterface, FieldTypeToolsetPosition,
         [&] {
             EXPECT_TRUE(Action("View/Toolset Position/Left")->isChecked());
             EXPECT_EQ(ToolsetAlignment(), Qt::AlignLeft);
             EXPECT_EQ(Setting("MainWindow/ToolsetPosition"), "0");
         }},
        {"a floating dock checks Undock", [&] { window->GetToolboxDock()->setFloating(true); }, DataTypeInterface,
         FieldTypeDockFloating, [&] { EXPECT_TRUE(Action("View/Undock Toolbox")->isChecked()); }},
        {"refreshing everything reads the stored toolset and re-centres the canvas",
         [&] {
             ProgramSettings settings;
             settings.setValue("MainWindow/ToolsetPosition", 1);
             settings.setValue("MainWindow/ToolsetState", 0);
             App().SetToolsetWidth(-1);
             project.SetWindowWidth(1);
             window->GetToolboxDock()->setFloating(false);
         },
         DataTypeProject, FieldTypeRefreshAll,
         [&] {
             EXPECT_EQ(project.ToolsetPosition(), app::ToolsetPositionRight);
             EXPECT_EQ(project.ToolsetState(), app::ToolsetStateExpanded);
             EXPECT_TRUE(Action("View/Toolset Position/Right")->isChecked());
             EXPECT_FALSE(Action("View/Collapse Toolset")->isChecked());
             EXPECT_EQ(ToolsetAlignment(), Qt::AlignRight);
             EXPECT_EQ(App().ToolsetWidth(), window->GetToolsetBar()->ToolsetWidth() + 4);
             EXPECT_EQ(project.WindowWidth(), static_cast<unsigned int>(window->GetCanvasView()->width()));
             EXPECT_FALSE(Action("View/Undock Toolbox")->isChecked());
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.change();
        Notify(c.type, c.field);
        c.expect();
    }
}

TEST_F(MainWindowTest, MatteViewIsOfferedInTheImportKeyAndMasksToolsetsOnly)
{
    ShowWindow();
    QPushButton* matte = MatteViewButton();
    ASSERT_NE(matte, nullptr);
    for (int toolset = app::ToolsetSectionCanvasSize; toolset <= app::ToolsetSectionExport; ++toolset) {
        SCOPED_TRACE(toolset);
        // Matte view on where it can be.
        CurrentProject()->SetCurrentToolset(app::ToolsetSectionKey);
        Notify(DataTypeInterface, FieldTypeCurrentToolset);
        ASSERT_TRUE(matte->isEnabled());
        matte->click();
        ASSERT_TRUE(matte->isChecked());

        CurrentProject()->SetCurrentToolset(static_cast<app::ToolsetSections>(toolset));
        Notify(DataTypeInterface, FieldTypeCurrentToolset);
        const bool offered = toolset >= app::ToolsetSectionImport && toolset <= app::ToolsetSectionMasks;
        EXPECT_EQ(matte->isEnabled(), offered);
        EXPECT_EQ(matte->isChecked(), offered);
        if (matte->isChecked())
            matte->click();
    }
}

TEST_F(MainWindowTest, AnImageOnTheBackgroundOrTheForegroundSlotRefitsTheOverlayAndLayers)
{
    ShowWindow();
    const app::LayerManagerPtr manager = CurrentProject()->GetLayerManager();
    const auto further = std::make_shared<app::ImageLayer>(app::LayerTypeImage, "further", QString());
    ASSERT_EQ(manager->AddLayer(further), app::LMerrSuccess);
    const QUuid overlay = manager->GetOverlay()->Id();
    struct Case {
        const char* name;
        QUuid id;
        bool refits;
    };
    const std::vector<Case> cases = {
        {"background", manager->GetBackground()->Id(), true},
        {"foreground slot", manager->LayerList()->StaticForegroundId(), true},
        {"overlay", overlay, false},
        {"further layer", further->Id(), false},
        {"no layer", QUuid::createUuid(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QSignalSpy layerRefreshes(&App(), kLayerSignal);
        QSignalSpy canvasRefreshes(&App(), kCanvasSignal);
        Notify(DataTypeProject, FieldTypeImageAdded, c.id);
        // The overlay's fit redraws the overlay; the further layers' fits the whole canvas once.
        int overlayRefreshes = 0;
        for (const QList<QVariant>& arguments : layerRefreshes)
            overlayRefreshes += arguments.at(0).toUuid() == overlay ? 1 : 0;
        EXPECT_EQ(overlayRefreshes, c.refits ? 1 : 0);
        EXPECT_EQ(canvasRefreshes.count(), c.refits ? 1 : 0);
    }
}

TEST_F(MainWindowTest, ShiftWithALetterChoosesAToolset)
{
    ShowWindow();
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        std::optional<app::ToolsetSections> toolset;
    };
    const std::vector<Case> cases = {
        {Qt::Key_A, Qt::ShiftModifier, app::ToolsetSectionImport},
        {Qt::Key_Z, Qt::ShiftModifier, app::ToolsetSectionKey},
        {Qt::Key_X, Qt::ShiftModifier, app::ToolsetSectionPosition},
        {Qt::Key_C, Qt::ShiftModifier, app::ToolsetSectionLayers},
        {Qt::Key_A, Qt::ShiftModifier | Qt::ControlModifier, app::ToolsetSectionImport},
        {Qt::Key_A, Qt::NoModifier, std::nullopt},
        {Qt::Key_B, Qt::ShiftModifier, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QKeySequence(c.key | c.modifiers).toString().toStdString());
        CurrentProject()->SetCurrentToolset(app::ToolsetSectionExport);
        recorder.seen.clear();
        QTest::keyClick(window.get(), c.key, c.modifiers);
        EXPECT_EQ(CurrentProject()->CurrentToolset(), c.toolset.value_or(app::ToolsetSectionExport));
        EXPECT_EQ(recorder.Fields(), c.toolset ? QList<FieldType>({FieldTypeCurrentToolset}) : QList<FieldType>());
    }
}

TEST_F(MainWindowTest, DraggingFilesOverTheWindowOpensTheImportSection)
{
    ShowWindow();
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile("/photos/portrait.jpg")});
    QMimeData text;
    text.setText("portrait.jpg");
    for (int toolset = app::ToolsetSectionCanvasSize; toolset <= app::ToolsetSectionExport; ++toolset) {
        for (const QMimeData* data : {&files, &text}) {
            SCOPED_TRACE(::testing::Message() << "toolset " << toolset << (data == &files ? ", files" : ", text"));
            CurrentProject()->SetCurrentToolset(static_cast<app::ToolsetSections>(toolset));
            recorder.seen.clear();
            QDragEnterEvent event(QPoint(200, 200), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(window.get(), &event);
            const bool stays = data == &text || toolset == app::ToolsetSectionImport ||
                               toolset == app::ToolsetSectionLayers || toolset == app::ToolsetSectionOverlay;
            EXPECT_EQ(CurrentProject()->CurrentToolset(), stays ? toolset : app::ToolsetSectionImport);
            EXPECT_EQ(recorder.Fields(), stays ? QList<FieldType>() : QList<FieldType>({FieldTypeCurrentToolset}));
            // The panels take the drop, not the window.
            EXPECT_FALSE(event.isAccepted());
        }
    }
}

TEST_F(MainWindowTest, ClosingStoresTheWindowExportAndOnlyAPresetCanvas)
{
    struct Case {
        app::CanvasDimensionType type;
        bool storesCanvas;
    };
    for (const Case c : {Case{app::CanvasDimensionPreset, true}, Case{app::CanvasDimensionBackground, false},
                         Case{app::CanvasDimensionForeground, false}, Case{app::CanvasDimensionCustom, false}}) {
        SCOPED_TRACE(c.type);
        ProgramSettings().clear();
        ASSERT_EQ(App().OpenProject(QString()), app::LMerrSuccess);
        ShowWindow();
        app::Project& project = *CurrentProject();
        app::Canvas& canvas = project.GetCanvas();
        canvas.SetDimensionType(c.type);
        canvas.SetActualDimensions(2400, 1800);
        canvas.SetDimensions(1200, 1800);
        canvas.SetOrientation(app::CanvasOrientationLandscape);
        canvas.SetDPI(240);
        canvas.SetPrintAsCard(true);
        project.GetExportSettings().SetFormat(app::ExportFormatJpg);
        project.GetExportSettings().SetQuality(85);
        // Another kind of canvas than the built-in one is a change to the project.
        if (!project.IsEqualToSavedProject(QString()))
            Dialogs().AnswerMessage(QMessageBox::No);
        ASSERT_TRUE(window->close());

        ProgramSettings settings;
        EXPECT_FALSE(settings.value("MainWindow/Geometry").toByteArray().isEmpty());
        EXPECT_FALSE(settings.value("MainWindow/State").toByteArray().isEmpty());
        EXPECT_EQ(settings.value("MainWindow/ToolsetPosition").toInt(), 1);
        EXPECT_EQ(settings.value("MainWindow/ToolsetState").toInt(), 0);
        EXPECT_EQ(settings.value("Export/Format").toInt(), app::ExportFormatJpg);
        EXPECT_EQ(settings.value("Export/Quality").toInt(), 85);
        settings.beginGroup("Canvas");
        EXPECT_EQ(settings.childKeys().size(), c.storesCanvas ? 7 : 0);
        settings.endGroup();
        window.reset();
        if (!c.storesCanvas)
            continue;
        // The next new project starts on that page.
        ASSERT_EQ(App().OpenProject(QString()), app::LMerrSuccess);
        const app::Canvas& next = CurrentProject()->GetCanvas();
        EXPECT_EQ(next.ActualWidth(), 2400u);
        EXPECT_EQ(next.ActualHeight(), 1800u);
        EXPECT_EQ(next.Width(), 1200u);
        EXPECT_EQ(next.Height(), 1800u);
        EXPECT_EQ(next.Orientation(), app::CanvasOrientationLandscape);
        EXPECT_EQ(next.DPI(), 240);
        EXPECT_TRUE(next.PrintAsCard());
        EXPECT_EQ(CurrentProject()->GetExportSettings().Quality(), 85);
    }
}

TEST_F(MainWindowTest, AfterRestoringTheDefaultsClosingWritesNothing)
{
    ShowWindow();
    WriteSetting("RecentFolders", "project", "/photos");
    // Cancelled: nothing is removed and closing stores the window.
    Dialogs().AnswerMessage(QMessageBox::Cancel);
    Action("Help/Restore Default Settings")->trigger();
    EXPECT_EQ(ReadSetting("RecentFolders", "project"), "/photos");

    Dialogs().AnswerMessage(QMessageBox::Ok);
    Action("Help/Restore Default Settings")->trigger();
    const MessageRequest& question = Dialogs().Requests().back().message;
    EXPECT_EQ(question.text,
              "This will restore the default settings. Changes will take effect the next time you start Lumora 4");
    EXPECT_EQ(question.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(question.buttonTexts.value(QMessageBox::Ok), "Continue");
    EXPECT_TRUE(question.guardsData);
    EXPECT_TRUE(ProgramSettings().allKeys().isEmpty());

    // The window keeps its geometry now; the next start begins from the defaults.
    ASSERT_TRUE(window->close());
    EXPECT_TRUE(ProgramSettings().allKeys().isEmpty());
}

// The system ending the program (logout, kill) finds nobody to answer a question: the window closes
// at once and stores the settings as on any close.
TEST_F(MainWindowTest, ATerminationSignalClosesTheWindowWithoutAQuestionAndStoresTheSettings)
{
    TerminationSignals termination;
    ASSERT_TRUE(termination.IsActive());
    ShowWindow();
    QObject::connect(&termination, &TerminationSignals::SignalEndRequested, window.get(),
                     &MainWindow::SlotCloseOnRequest);
    CurrentProject()->GetCanvas().SetUseCanvasColor(true);
    QSignalSpy requested(&termination, &TerminationSignals::SignalEndRequested);
    ASSERT_EQ(::raise(SIGTERM), 0);
    ASSERT_TRUE(requested.wait(5000));
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(Dialogs().RequestsOf(DialogRequest::Message).empty());
    EXPECT_FALSE(ProgramSettings().value("MainWindow/State").toByteArray().isEmpty());
}

TEST_F(MainWindowTest, UnsavedChangesAreSavedDroppedOrKeepTheWindowOpen)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    enum class Save { None, Succeeds, Fails };
    struct Case {
        const char* name;
        bool changed;
        QMessageBox::StandardButton answer; // NoButton: no question
        Save save;
        bool closes;
    };
    const Case cases[] = {
        {"unchanged", false, QMessageBox::NoButton, Save::None, true},
        {"cancelled", true, QMessageBox::Cancel, Save::None, false},
        {"dropped", true, QMessageBox::No, Save::None, true},
        {"saved", true, QMessageBox::Yes, Save::Succeeds, true},
        // A save that fails warns and keeps the window and the work.
        {"save fails", true, QMessageBox::Yes, Save::Fails, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString saved = folder.filePath(QString(c.name) + ".lumo4");
        ProgramSettings().clear();
        ASSERT_EQ(App().OpenProject(QString()), app::LMerrSuccess);
        ShowWindow();
        if (c.changed)
            CurrentProject()->GetCanvas().SetUseCanvasColor(true);
        const std::size_t asked = Dialogs().RequestsOf(DialogRequest::Message).size();
        if (c.answer != QMessageBox::NoButton)
            Dialogs().AnswerMessage(c.answer);
        if (c.save == Save::Succeeds)
            Dialogs().AnswerFiles({saved});
        if (c.save == Save::Fails)
            Dialogs().AnswerFiles({folder.filePath("gone/" + QString(c.name) + ".lumo4")}).AnswerMessage(QMessageBox::Ok);
        EXPECT_EQ(window->close(), c.closes);
        EXPECT_EQ(window->isVisible(), !c.closes);
        const std::vector<DialogRequest> messages = Dialogs().RequestsOf(DialogRequest::Message);
        if (c.answer == QMessageBox::NoButton) {
            EXPECT_EQ(messages.size(), asked);
        } else {
            ASSERT_GT(messages.size(), asked);
            const MessageRequest& question = messages[asked].message;
            EXPECT_EQ(question.text, "Do you want to save the changes to 'Untitled Project'?\t");
            EXPECT_EQ(question.buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            EXPECT_TRUE(question.guardsData);
        }
        if (c.save == Save::Fails) {
            EXPECT_TRUE(messages.back().message.text.startsWith("Could not save the project to:"));
            EXPECT_TRUE(window->CurrentProjectPath().isEmpty());
        }
        EXPECT_EQ(QFileInfo::exists(saved), c.save == Save::Succeeds);
        // A window that stays open has written nothing yet.
        EXPECT_EQ(ProgramSettings().contains("MainWindow/Geometry"), c.closes);
        if (c.save == Save::Succeeds) {
            EXPECT_EQ(window->CurrentProjectPath(), saved);
            EXPECT_TRUE(CurrentProject()->IsEqualToSavedProject(saved));
        }
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        window.reset();
    }
}

TEST_F(MainWindowTest, ActivationAsksOnceWhetherTheImageFilesAreStillThere)
{
    QSignalSpy checks(&App(), &Application::SignalCheckOfflineImages);
    ShowWindow();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    ProcessEvents();
    EXPECT_EQ(checks.count(), 1);
    // Other events of the window ask nothing.
    window->resize(1200, 800);
    window->update();
    ProcessEvents();
    EXPECT_EQ(checks.count(), 1);
}

TEST_F(MainWindowTest, MenuEntriesShortcutsAndBarButtonsReachTheirCommands)
{
    ShowWindow();
    QSignalSpy exports(&App(), &Application::SignalStandardQuickExportClicked);
    // The menu entry and its shortcut announce the quick export; the toolbox's export panel
    // answers each with its file dialog (cancelled here).
    Dialogs().AnswerFiles({}).AnswerFiles({});
    Action("File/Canvas Export")->trigger();
    QTest::keyClick(window.get(), Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(exports.count(), 2);
    EXPECT_EQ(Dialogs().RequestsOf(DialogRequest::Files).size(), 2u);
    Dialogs().Clear();

    // The file dialogs of open, save and save as (cancelled here).
    Dialogs().AnswerFiles({}).AnswerFiles({}).AnswerFiles({});
    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    const std::vector<DialogRequest> files = Dialogs().RequestsOf(DialogRequest::Files);
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].file.title, "Open Project");
    EXPECT_EQ(files[1].file.title, "Save Project");
    EXPECT_EQ(files[1].file.mode, FileDialogMode::SaveFile);
    EXPECT_EQ(files[1].file.defaultSuffix, "lumo4");
    EXPECT_EQ(files[2].file.title, "Save Project");

    // A new project replaces the open one and is announced (the fit it leads to announces the scale).
    const app::ProjectPtr before = CurrentProject();
    recorder.seen.clear();
    QTest::keyClick(window.get(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_NE(CurrentProject(), before);
    QList<FieldType> announced = recorder.Fields();
    announced.removeAll(FieldTypeCanvasScale);
    // The import boxes tell the switched states of the new project's layers on the way.
    announced.removeAll(FieldTypeForegroundEnabled);
    announced.removeAll(FieldTypeBackgroundEnabled);
    EXPECT_EQ(announced, QList<FieldType>({FieldTypeProjectOpened, FieldTypeRefreshAll, FieldTypeFocusCanvas}));

    // The view commands.
    Action("View/Toolset Position/Left")->trigger();
    EXPECT_EQ(CurrentProject()->ToolsetPosition(), app::ToolsetPositionLeft);
    Action("View/Toolset Position/Right")->trigger();
    EXPECT_EQ(CurrentProject()->ToolsetPosition(), app::ToolsetPositionRight);
    Action("View/Collapse Toolset")->trigger();
    EXPECT_EQ(CurrentProject()->ToolsetState(), app::ToolsetStateCollapsed);
    Action("View/Undock Toolbox")->trigger();
    EXPECT_TRUE(window->GetToolboxDock()->isFloating());
    Action("View/Undock Toolbox")->trigger();
    EXPECT_FALSE(window->GetToolboxDock()->isFloating());

    // The bar's project buttons reach the window's commands: open and save ask for a file.
    Dialogs().AnswerFiles({}).AnswerFiles({});
    CanvasActionsWidget* bar = window->GetCanvasActions();
    bar->Button("Open Project")->click();
    bar->Button("Save Project")->click();
    EXPECT_EQ(Dialogs().RequestsOf(DialogRequest::Files).size(), 5u);
    const app::ProjectPtr beforeBar = CurrentProject();
    bar->Button("New Project")->click();
    EXPECT_NE(CurrentProject(), beforeBar);

    // The bar's fit button fits the canvas to the view.
    recorder.seen.clear();
    bar->Button("Fit To Window")->click();
    EXPECT_TRUE(recorder.Fields().contains(FieldTypeFocusCanvas));
    EXPECT_TRUE(recorder.Fields().contains(FieldTypeCanvasScale));

    // The web entries open their pages through the desktop.
    UrlRecorder urls;
    QDesktopServices::setUrlHandler("https", &urls, "Open");
    for (const char* entry : {"Help/Support", "www.halvern.com/www.halvern.com Home", "www.halvern.com/Halvern News",
                              "www.halvern.com/Forums", "www.halvern.com/Live Chat",
                              "www.halvern.com/Lumora Gallery", "www.halvern.com/Submit my Photo"})
        Action(entry)->trigger();
    QDesktopServices::unsetUrlHandler("https");
    ASSERT_EQ(urls.urls.size(), 7);
    for (const QUrl& url : urls.urls)
        EXPECT_EQ(url.host(), "www.halvern.com") << url.toString().toStdString();
    EXPECT_EQ(QSet<QUrl>(urls.urls.begin(), urls.urls.end()).size(), 7);

    // The about box shows modally over the window.
    bool aboutShown = false;
    WhenDialogShows<AboutWidget>([&](AboutWidget* about) {
        aboutShown = true;
        about->close();
    });
    Action("Help/About Lumora 4")->trigger();
    EXPECT_TRUE(aboutShown);

    // Exit closes the window.
    Action("File/Exit")->trigger();
    EXPECT_FALSE(window->isVisible());
}

} // namespace
} // namespace lumo::ui::testing

namespace lumo::ui::testing {
namespace {

// ---- Project commands

QStringList RecentList()
{
    return ProgramSettings().value("RecentFolders/RecentProjectList").toStringList();
}

// A saved project file in folder, named name.
QString SavedProject(const app::ProjectPtr& project, const QTemporaryDir& folder, const QString& name)
{
    const QString path = folder.filePath(name);
    EXPECT_EQ(project->SaveToXml(path, "4.1.0004", "4.0"), app::LMerrSuccess);
    return path;
}

QStringList VisibleRecentEntries(MainWindow& window, const QString& menuPath)
{
    QStringList shown;
    for (QMenu* menu : window.menuBar()->findChildren<QMenu*>())
        if (menu->title().remove('&') == menuPath)
            for (QAction* action : menu->actions())
                if (action->isVisible())
                    shown << action->data().toString();
    return shown;
}

TEST_F(MainWindowTest, TheRecentListKeepsFiveExistingProjectsNewestFirst)
{
    ProgramSettings().clear();
    QTemporaryDir folder;
    ShowWindow();
    QStringList paths;
    for (const char* name : {"a.lumo4", "b.lumo4", "c.lumo4", "d.lumo4", "e.lumo4", "f.lumo4", "A.lumo4"})
        paths << SavedProject(CurrentProject(), folder, name);

    // Each save moves its path to the front; a sixth pushes the oldest out; letter case counts.
    Dialogs().AnswerFiles({paths[0]});
    ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), "SlotSaveProjectAs"));
    for (int i = 1; i < 5; ++i) {
        Dialogs().AnswerFiles({paths[i]});
        ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), "SlotSaveProjectAs"));
    }
    EXPECT_EQ(RecentList(), QStringList({paths[4], paths[3], paths[2], paths[1], paths[0]}));
    // Saving one already listed moves it to the front without a duplicate.
    Dialogs().AnswerFiles({paths[2]});
    ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), "SlotSaveProjectAs"));
    EXPECT_EQ(RecentList(), QStringList({paths[2], paths[4], paths[3], paths[1], paths[0]}));
    Dialogs().AnswerFiles({paths[5]}).AnswerFiles({paths[6]});
    ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), "SlotSaveProjectAs"));
    ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), "SlotSaveProjectAs"));
    EXPECT_EQ(RecentList(), QStringList({paths[6], paths[5], paths[2], paths[4], paths[3]}));
    EXPECT_EQ(VisibleRecentEntries(*window, "Recent Projects"), RecentList());
    EXPECT_TRUE(Action("File/Revert")->isEnabled());

    // Two missing files in a row are both dropped when the File menu is about to show.
    QFile::remove(paths[2]);
    QFile::remove(paths[4]);
    ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), "SlotCheckRecentProjectLinks"));
    EXPECT_EQ(RecentList(), QStringList({paths[6], paths[5], paths[3]}));
    const QStringList shown = VisibleRecentEntries(*window, "Recent Projects");
    EXPECT_EQ(shown, RecentList());
    // The entries read "&1 - A.lumo4" and open their project.
    QAction* third = nullptr;
    for (QMenu* menu : window->menuBar()->findChildren<QMenu*>())
        if (menu->title().remove('&') == "Recent Projects") {
            EXPECT_EQ(menu->actions().at(0)->text(), "&1 - A.lumo4");
            third = menu->actions().at(2);
        }
    ASSERT_NE(third, nullptr);
    third->trigger();
    EXPECT_EQ(window->CurrentProjectPath(), paths[3]);
    EXPECT_EQ(window->windowTitle(), "d - Halvern Lumora 4");
    EXPECT_EQ(RecentList().front(), paths[3]);

    // The current project's file gone: Revert is disabled when the menu shows.
    QFile::remove(paths[3]);
    ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), "SlotCheckRecentProjectLinks"));
    EXPECT_FALSE(Action("File/Revert")->isEnabled());
}

TEST_F(MainWindowTest, SaveAsAddsTheSuffixAndAFailedSaveKeepsThePathAndTheOldFile)
{
    QTemporaryDir folder;
    ShowWindow();
    // A name typed without the extension gets ".lumo4".
    Dialogs().AnswerFiles({folder.filePath("typed")});
    ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), "SlotSaveProjectAs"));
    const QString saved = folder.filePath("typed.lumo4");
    ASSERT_EQ(window->CurrentProjectPath(), saved);
    QFile file(saved);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    // The folder made read-only (root writes there all the same, so only for other users): the
    // save warns, keeps the path, leaves the file as it was and answers that nothing was saved.
    CurrentProject()->GetCanvas().SetUseCanvasColor(!CurrentProject()->GetCanvas().UseCanvasColor());
    bool saveResult = true;
    if (::geteuid() != 0) {
        ASSERT_TRUE(QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        Dialogs().AnswerMessage(QMessageBox::Ok);
        ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), "SlotSaveProject", Q_RETURN_ARG(bool, saveResult)));
        QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        EXPECT_FALSE(saveResult);
        EXPECT_EQ(Dialogs().RequestsOf(DialogRequest::Message).back().message.text,
                  "Could not save the project to:\n\n" + saved);
        EXPECT_EQ(window->CurrentProjectPath(), saved);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), before);
        file.close();
    }

    // A full disk (the file size limit of the process): the same warning, the old file intact.
    {
        const test::FileSizeLimit full(64);
        ASSERT_TRUE(full.IsActive());
        Dialogs().AnswerMessage(QMessageBox::Ok);
        ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), "SlotSaveProject", Q_RETURN_ARG(bool, saveResult)));
    }
    EXPECT_FALSE(saveResult);
    EXPECT_EQ(Dialogs().RequestsOf(DialogRequest::Message).back().message.text,
              "Could not save the project to:\n\n" + saved);
    EXPECT_EQ(window->CurrentProjectPath(), saved);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
    file.close();

    // A save into a folder that does not exist fails the same way, whoever runs the test.
    Dialogs().AnswerFiles({folder.filePath("gone/elsewhere.lumo4")}).AnswerMessage(QMessageBox::Ok);
    ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), "SlotSaveProjectAs", Q_RETURN_ARG(bool, saveResult)));
    EXPECT_FALSE(saveResult);
    EXPECT_EQ(window->CurrentProjectPath(), saved);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainWindowTest, SavingOverAFileAnotherCopySavedAsksFirst)
{
    QTemporaryDir folder;
    ShowWindow();
    const QString path = folder.filePath("shared.lumo4");
    Dialogs().AnswerFiles({path});
    ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), "SlotSaveProjectAs"));
    ASSERT_EQ(window->CurrentProjectPath(), path);
    const auto save = [&] {
        bool saved = false;
        EXPECT_TRUE(QMetaObject::invokeMethod(window.get(), "SlotSaveProject", Q_RETURN_ARG(bool, saved)));
        return saved;
    };
    // A save after its own save asks nothing.
    CurrentProject()->GetCanvas().SetUseCanvasColor(!CurrentProject()->GetCanvas().UseCanvasColor());
    Dialogs().Clear();
    EXPECT_TRUE(save());
    EXPECT_TRUE(Dialogs().Requests().empty());

    // Another copy of the program opens the file and saves its own work into it.
    const auto othersSave = [&] {
        const QString current = QDir::currentPath();
        app::LMerr result = app::LMerrFileOpen;
        app::Project other(path, result);
        QDir::setCurrent(current);
        EXPECT_EQ(result, app::LMerrSuccess);
        other.GetCanvas().SetCanvasColor(QColor(1, 2, 3));
        EXPECT_EQ(other.SaveToXml(path, "4.1.0004", "4.0"), app::LMerrSuccess);
        return test::ReadBytes(path);
    };
    const auto expectAsked = [&] {
        const std::vector<DialogRequest> messages = Dialogs().RequestsOf(DialogRequest::Message);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_TRUE(messages[0].message.text.startsWith("The project file was changed on disk"));
        EXPECT_TRUE(messages[0].message.text.contains(path));
        EXPECT_EQ(messages[0].message.buttonTexts.value(QMessageBox::Yes), "Overwrite");
        EXPECT_EQ(messages[0].message.buttonTexts.value(QMessageBox::Save), "Save As...");
        EXPECT_TRUE(messages[0].message.buttons.testFlag(QMessageBox::Cancel));
    };

    // Cancel: nothing is written, the other copy's work stays.
    QByteArray others = othersSave();
    Dialogs().Clear();
    Dialogs().AnswerMessage(QMessageBox::Cancel);
    EXPECT_FALSE(save());
    expectAsked();
    EXPECT_EQ(test::ReadBytes(path), others);
    EXPECT_EQ(window->CurrentProjectPath(), path);

    // Overwrite: this window's project replaces it, and the next save asks nothing.
    Dialogs().Clear();
    Dialogs().AnswerMessage(QMessageBox::Yes);
    EXPECT_TRUE(save());
    expectAsked();
    EXPECT_NE(test::ReadBytes(path), others);
    EXPECT_TRUE(CurrentProject()->IsEqualToSavedProject(path));
    Dialogs().Clear();
    EXPECT_TRUE(save());
    EXPECT_TRUE(Dialogs().Requests().empty());

    // Save elsewhere: Save As, the other copy's file untouched.
    others = othersSave();
    const QString elsewhere = folder.filePath("mine.lumo4");
    Dialogs().Clear();
    Dialogs().AnswerMessage(QMessageBox::Save).AnswerFiles({elsewhere});
    EXPECT_TRUE(save());
    expectAsked();
    EXPECT_EQ(Dialogs().RequestsOf(DialogRequest::Files).size(), 1u);
    EXPECT_EQ(test::ReadBytes(path), others);
    EXPECT_EQ(window->CurrentProjectPath(), elsewhere);
    EXPECT_TRUE(CurrentProject()->IsEqualToSavedProject(elsewhere));
    EXPECT_EQ(Dialogs().UnusedAnswers(), 0);
}

TEST_F(MainWindowTest, SaveAsProposesThePhotographsNameAsAProject)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const GreenScreenProject written = WriteGreenScreenProject(folder.path(), 0.05);
    ASSERT_EQ(App().OpenProject(written.projectPath), app::LMerrSuccess);
    ShowWindow(written.projectPath);
    Dialogs().AnswerFiles({});
    bool saved = true;
    ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), "SlotSaveProjectAs", Q_RETURN_ARG(bool, saved)));
    EXPECT_FALSE(saved);
    const std::vector<DialogRequest> files = Dialogs().RequestsOf(DialogRequest::Files);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(QFileInfo(files[0].file.folder).fileName(), QFileInfo(written.photoPath).completeBaseName() + ".lumo4");
}

TEST_F(MainWindowTest, ASampleFolderBesideTheProgramIsOpenedFromButNeverOfferedForSaving)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString samples = QDir(folder.path()).filePath("program/Sample Images");
    ASSERT_TRUE(QDir().mkpath(samples));
    SetApplicationDirectory(QDir(folder.path()).filePath("program"));
    // The sample project was opened last.
    WriteSetting("RecentFolders", "project", samples);
    ShowWindow();
    Dialogs().AnswerFiles({}).AnswerFiles({});
    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    SetApplicationDirectory(QString());
    const std::vector<DialogRequest> files = Dialogs().RequestsOf(DialogRequest::Files);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].file.folder, samples);
    EXPECT_EQ(files[1].file.folder, DesktopFolder());
}

TEST_F(MainWindowTest, AnOldProjectIsUpgradedThroughSaveAsAndRevertReloadsOrKeeps)
{
    QTemporaryDir folder;
    // A project of the older format, as its name says.
    const QString old = folder.filePath("old.lumo3");
    ASSERT_EQ(CurrentProject()->SaveToXml(old, "4.1.0004", "4.0"), app::LMerrSuccess);
    ShowWindow(old);
    ASSERT_EQ(window->CurrentProjectPath(), old);

    bool result = true;
    Dialogs().AnswerMessage(QMessageBox::No);
    ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), "SlotSaveProject", Q_RETURN_ARG(bool, result)));
    EXPECT_FALSE(result);
    EXPECT_EQ(Dialogs().RequestsOf(DialogRequest::Message).back().message.text,
              "The current project is in Lumora 3 format and must be upgraded.\n\nDo you want to save a copy as a "
              "Lumora 4 project?");
    const QString upgraded = folder.filePath("old.lumo4");
    Dialogs().AnswerMessage(QMessageBox::Yes).AnswerFiles({upgraded});
    ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), "SlotSaveProject", Q_RETURN_ARG(bool, result)));
    EXPECT_TRUE(result);
    EXPECT_EQ(window->CurrentProjectPath(), upgraded);
    EXPECT_TRUE(QFileInfo::exists(upgraded));

    // Revert: Cancel keeps the changed project, Continue reloads the saved one without asking again.
    const app::ProjectPtr edited = CurrentProject();
    edited->GetCanvas().SetUseCanvasColor(!edited->GetCanvas().UseCanvasColor());
    Dialogs().AnswerMessage(QMessageBox::Cancel);
    ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), "SlotRevertProject", Q_RETURN_ARG(bool, result)));
    EXPECT_FALSE(result);
    EXPECT_EQ(CurrentProject(), edited);
    const MessageRequest& question = Dialogs().RequestsOf(DialogRequest::Message).back().message;
    EXPECT_EQ(question.text, "Are you sure you want to revert to the saved version of this project?");
    EXPECT_EQ(question.buttonTexts.value(QMessageBox::Ok), "Continue");
    Dialogs().AnswerMessage(QMessageBox::Ok);
    ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), "SlotRevertProject", Q_RETURN_ARG(bool, result)));
    EXPECT_TRUE(result);
    EXPECT_NE(CurrentProject(), edited);
    EXPECT_TRUE(CurrentProject()->IsEqualToSavedProject(upgraded));
    EXPECT_EQ(Dialogs().UnusedAnswers(), 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainWindowTest, OnlyTheUntitledProjectsOwnCacheFolderIsEverRemoved)
{
    QString root;
    ASSERT_TRUE(GetThumbnailCacheRoot(root));
    ASSERT_TRUE(QDir().mkpath(root + "/20261210120000000"));
    ASSERT_TRUE(QDir().mkpath(root + "/other"));
    QFile(root + "/20261210120000000/thumb.png").open(QIODevice::WriteOnly);
    QFile(root + "/kept.png").open(QIODevice::WriteOnly);
    ShowWindow();
    struct Case {
        const char* folder;
        bool removes;
    };
    for (const Case c : {Case{"", false}, Case{"..", false}, Case{".", false}, Case{"/tmp", false},
                         Case{"other/..", false}, Case{"../cache", false}, Case{"20261210120000000", true}}) {
        SCOPED_TRACE(c.folder);
        CurrentProject()->SetCurrentThumbnailFolder(QString::fromUtf8(c.folder));
        bool result = false;
        ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), "SlotDeleteProjectCache", Q_RETURN_ARG(bool, result)));
        EXPECT_EQ(result, c.removes);
        EXPECT_TRUE(QFileInfo::exists(root + "/kept.png"));
        EXPECT_TRUE(QFileInfo::exists(root + "/other"));
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    EXPECT_FALSE(QFileInfo::exists(root + "/20261210120000000"));
    QDir(root).removeRecursively();
}

TEST_F(MainWindowTest, RestoringTheDefaultsThenClosingLeavesNoSettingsFile)
{
    ShowWindow();
    WriteSetting("RecentFolders", "project", QDir::tempPath());
    WriteSetting("TextItem", "FontSize", "20");
    Dialogs().AnswerMessage(QMessageBox::Ok);
    ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), "SlotRestoreDefaultSettings"));
    window->close();
    window.reset();
    const QString file = ProgramSettings().fileName();
    ProgramSettings().sync();
    EXPECT_TRUE(ProgramSettings().allKeys().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(file) && QFileInfo(file).size() > 0) << file.toStdString();
}

// Every command, on each of its ways out, leaves no override cursor behind.
TEST_F(MainWindowTest, NoCommandLeavesAnOverrideCursorBehind)
{
    QTemporaryDir folder;
    ShowWindow();
    const auto changed = [this] {
        CurrentProject()->GetCanvas().SetUseCanvasColor(!CurrentProject()->GetCanvas().UseCanvasColor());
    };
    struct Case {
        const char* name;
        std::function<void()> script; // the answers and the state before the command
        const char* slot;
    };
    const std::vector<Case> cases = {
        {"new, unchanged", [] {}, "SlotNewProject"},
        {"new, save cancelled", [&] { changed(); Dialogs().AnswerMessage(QMessageBox::Cancel); }, "SlotNewProject"},
        {"new, changes dropped", [this] { Dialogs().AnswerMessage(QMessageBox::No); }, "SlotNewProject"},
        {"open, no file chosen", [this] { Dialogs().AnswerFiles({}); }, "SlotOpenProject"},
        {"open, damaged file", [&] {
             QFile damaged(folder.filePath("damaged.lumo4"));
             damaged.open(QIODevice::WriteOnly);
             damaged.write("<lumora");
             damaged.close();
             Dialogs().AnswerFiles({damaged.fileName()}).AnswerMessage(QMessageBox::Ok);
         }, "SlotOpenProject"},
        {"save as, cancelled", [this] { Dialogs().AnswerFiles({}); }, "SlotSaveProjectAs"},
        {"save as, failing", [&] {
             Dialogs().AnswerFiles({folder.filePath("none/x.lumo4")}).AnswerMessage(QMessageBox::Ok);
         }, "SlotSaveProjectAs"},
        {"save as", [&] { Dialogs().AnswerFiles({folder.filePath("x.lumo4")}); }, "SlotSaveProjectAs"},
        {"revert, cancelled", [this] { Dialogs().AnswerMessage(QMessageBox::Cancel); }, "SlotRevertProject"},
        {"revert", [this] { Dialogs().AnswerMessage(QMessageBox::Ok); }, "SlotRevertProject"},
        {"greeting card", [] {}, "SlotNewGreetingCard"},
        {"delete cache", [] {}, "SlotDeleteProjectCache"},
        {"restore defaults, cancelled", [this] { Dialogs().AnswerMessage(QMessageBox::Cancel); },
         "SlotRestoreDefaultSettings"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.script();
        ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), c.slot));
        ProcessEvents();
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(Dialogs().UnusedAnswers(), 0);
    }
}

} // namespace
} // namespace lumo::ui::testing
