// The toolbox dock and the toolset bar in the real main window: file drags, floating, hiding, the
// cycling shortcuts from wherever the focus is, collapsing the bar and its tooltips, and a grab of
// every page at the full-HD size.

#include "Grabs.h"
#include "GreenScreenProject.h"
#include "UiTest.h"

#include "Canvas/CanvasScene.h"
#include "Controls/Buttons.h"
#include "Controls/TableWidget.h"
#include "Shell/MainWindow.h"
#include "Shell/Settings.h"
#include "Toolbox/TextPropertiesWidget.h"
#include "Toolbox/LayersWidget.h"
#include "Toolbox/SingleImport.h"
#include "Toolbox/TextEdit.h"
#include "Toolbox/TextWidget.h"
#include "Toolbox/ToolboxDockWidget.h"
#include "Toolbox/ToolboxSections.h"
#include "Toolbox/ToolsetWidget.h"

#include "LayerManager.h"

#include <QDragEnterEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

namespace lumo::ui::testing {
namespace {

class Recorder : public LumoModelObserver {
public:
    void ModelChanged(DataType type, const QUuid& /*id*/, FieldType field) override { seen.append({type, field}); }
    int Count(DataType type, FieldType field) const { return static_cast<int>(seen.count({type, field})); }
    QList<std::pair<DataType, FieldType>> seen;
};

class ToolboxWindowTest : public UiTest {
protected:
    void TearDown() override
    {
        window.reset();
        UiTest::TearDown();
    }

    MainWindow& ShowWindow(const QString& projectPath = QString())
    {
        window = std::make_unique<MainWindow>(projectPath);
        recorder.SetModel(window->Model(), {});
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return *window;
    }

    ToolboxDockWidget& Dock() const { return *window->GetToolboxDock(); }
    ToolsetWidget& Bar() const { return *window->GetToolsetBar(); }
    int Page() const { return Dock().Stack()->currentIndex(); }

    void ShowToolset(int toolset)
    {
        CurrentProject()->SetCurrentToolset(static_cast<app::ToolsetSections>(toolset));
        window->Model()->NotifyObservers(DataTypeInterface, App().GetDocument()->Id(), FieldTypeCurrentToolset);
    }

    int CheckedButton() const
    {
        for (int index = 0; index < 11; ++index)
            if (Bar().Button(index)->isChecked())
                return index;
        return -1;
    }

    std::unique_ptr<MainWindow> window;
    Recorder recorder;
};

TEST_F(ToolboxWindowTest, WithoutSettingsTheBarStandsRightAndExpanded)
{
    ShowWindow();
    EXPECT_FALSE(Bar().SlideButton()->isChecked());
    EXPECT_TRUE(Bar().ButtonFrame()->styleSheet().contains("ToolsetBackgroundRight.png"));
    for (int index = 0; index < 11; ++index)
        EXPECT_EQ(Bar().Button(index)->text(), Bar().Button(index)->Label()) << index;
    EXPECT_EQ(Bar().Button(0)->Label(), "Canvas");
    EXPECT_EQ(Bar().Button(10)->Label(), "Export");
    EXPECT_EQ(App().ToolsetWidth(), Bar().ToolsetWidth() + 4);
    EXPECT_EQ(CheckedButton(), CurrentProject()->CurrentToolset());
    EXPECT_EQ(Page(), CurrentProject()->CurrentToolset());
}

TEST_F(ToolboxWindowTest, AFileDraggedOverTheDockOpensTheImportPageUnlessAnImagePageIsShown)
{
    ShowWindow();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/photo.jpg"))});
    const auto drag = [this, &mime] {
        QDragEnterEvent event(QPoint(20, 40), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&Dock(), &event);
    };
    ShowToolset(app::ToolsetSectionCanvasSize);
    drag();
    EXPECT_EQ(Page(), app::ToolsetSectionImport);
    EXPECT_EQ(CheckedButton(), app::ToolsetSectionImport);
    for (const int kept : {app::ToolsetSectionImport, app::ToolsetSectionLayers, app::ToolsetSectionOverlay}) {
        ShowToolset(kept);
        recorder.seen.clear();
        drag();
        EXPECT_EQ(Page(), kept);
        EXPECT_EQ(recorder.Count(DataTypeInterface, FieldTypeCurrentToolset), 0) << kept;
    }
}

TEST_F(ToolboxWindowTest, TheDockFloatsAndDocksFromItsButtonAndCannotBeHidden)
{
    ShowWindow();
    recorder.seen.clear();
    Dock().TitleBar()->FloatButton()->click();
    EXPECT_TRUE(Dock().isFloating());
    Dock().TitleBar()->FloatButton()->click();
    EXPECT_FALSE(Dock().isFloating());
    EXPECT_EQ(recorder.Count(DataTypeInterface, FieldTypeDockFloating), 2);

    Dock().hide();
    EXPECT_FALSE(Dock().isHidden());
    EXPECT_TRUE(Dock().isVisible());
}

TEST_F(ToolboxWindowTest, CtrlTabCyclesTheSectionsFromATextBoxAndFromTheFloatingDock)
{
    ShowWindow();
    ShowToolset(app::ToolsetSectionText);
    auto* text = qobject_cast<TextSection*>(Dock().Section(app::ToolsetSectionText));
    text->Panel()->AddButton()->click();
    TextEdit* box = text->Panel()->Properties()->TextBox();
    ASSERT_TRUE(box->isVisible());
    QLineEdit line(window.get());
    line.show();
    // The text panel's box and a line edit: neither keeps the keys from the window's actions.
    for (QWidget* focus : {static_cast<QWidget*>(box), static_cast<QWidget*>(&line)}) {
        SCOPED_TRACE(focus->metaObject()->className());
        ShowToolset(app::ToolsetSectionExport);
        focus->setFocus();
        QTest::keyClick(focus, Qt::Key_Tab, Qt::ControlModifier);
        EXPECT_EQ(CurrentProject()->CurrentToolset(), app::ToolsetSectionCanvasSize);
        EXPECT_EQ(Page(), 0);
        EXPECT_EQ(CheckedButton(), 0);
        QTest::keyClick(focus, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(CurrentProject()->CurrentToolset(), app::ToolsetSectionExport);
        QTest::keyClick(focus, Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(CurrentProject()->CurrentToolset(), app::ToolsetSectionText);
    }

    Dock().setFloating(true);
    QWidget* inDock = Dock().Stack()->currentWidget();
    QTest::keyClick(inDock, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(CurrentProject()->CurrentToolset(), app::ToolsetSectionExport);
}

TEST_F(ToolboxWindowTest, ShiftWithALetterShowsItsPageAndChecksItsButton)
{
    ShowWindow();
    const std::pair<Qt::Key, int> keys[] = {{Qt::Key_A, app::ToolsetSectionImport},
                                            {Qt::Key_Z, app::ToolsetSectionKey},
                                            {Qt::Key_X, app::ToolsetSectionPosition},
                                            {Qt::Key_C, app::ToolsetSectionLayers}};
    for (const auto& [key, toolset] : keys) {
        QTest::keyClick(window.get(), key, Qt::ShiftModifier);
        EXPECT_EQ(Page(), toolset);
        EXPECT_EQ(CheckedButton(), toolset);
    }
}

TEST_F(ToolboxWindowTest, AToolsetOutsideTheSectionsKeepsThePageAndCyclesAsTheFirst)
{
    ShowWindow();
    ShowToolset(app::ToolsetSectionMasks);
    CurrentProject()->SetCurrentToolset(static_cast<app::ToolsetSections>(42));
    window->Model()->NotifyObservers(DataTypeProject, App().GetDocument()->Id(), FieldTypeRefreshAll);
    EXPECT_EQ(Page(), app::ToolsetSectionMasks);
    QTest::keyClick(window.get(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(CurrentProject()->CurrentToolset(), app::ToolsetSectionImport);
    EXPECT_EQ(Page(), app::ToolsetSectionImport);
    CurrentProject()->SetCurrentToolset(static_cast<app::ToolsetSections>(-3));
    QTest::keyClick(window.get(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(CurrentProject()->CurrentToolset(), app::ToolsetSectionExport);
}

TEST_F(ToolboxWindowTest, TheSlideButtonCollapsesTheBarWhoseTooltipsShowAwayFromTheEdge)
{
    ShowWindow();
    const int expandedReserve = App().ToolsetWidth();
    ToolsetButton& key = *Bar().Button(app::ToolsetSectionKey);
    // Expanded: no tooltip.
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(&key, &enter);
    ASSERT_NE(key.Tooltip(), nullptr);
    EXPECT_FALSE(key.Tooltip()->isVisible());

    recorder.seen.clear();
    QTest::mouseClick(Bar().SlideButton(), Qt::LeftButton);
    EXPECT_EQ(CurrentProject()->ToolsetState(), app::ToolsetStateCollapsed);
    EXPECT_TRUE(Bar().SlideButton()->isChecked());
    for (int index = 0; index < 11; ++index)
        EXPECT_TRUE(Bar().Button(index)->text().isEmpty()) << index;
    EXPECT_LT(App().ToolsetWidth(), expandedReserve);
    EXPECT_EQ(App().ToolsetWidth(), Bar().ToolsetWidth() + 4);
    EXPECT_EQ(recorder.Count(DataTypeCanvas, FieldTypeFocusCanvas), 1);
    EXPECT_EQ(ReadSetting("MainWindow", "ToolsetState"), "1");

    // On the right the tooltip stands left of the button; on the left, right of it.
    QCoreApplication::sendEvent(&key, &enter);
    ASSERT_TRUE(key.Tooltip()->isVisible());
    const QPoint buttonLeft = key.mapTo(window.get(), QPoint(0, 0));
    EXPECT_EQ(key.Tooltip()->geometry().right(), buttonLeft.x() - 17);
    EXPECT_EQ(key.Tooltip()->y(), buttonLeft.y());
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&key, &leave);
    EXPECT_FALSE(key.Tooltip()->isVisible());

    CurrentProject()->SetToolsetPosition(app::ToolsetPositionLeft);
    window->Model()->NotifyObservers(DataTypeInterface, App().GetDocument()->Id(), FieldTypeToolsetPosition);
    QCoreApplication::processEvents();
    QCoreApplication::sendEvent(&key, &enter);
    const QPoint buttonRight = key.mapTo(window.get(), key.rect().topRight());
    EXPECT_EQ(key.Tooltip()->x(), buttonRight.x() + 16);
    QCoreApplication::sendEvent(&key, &leave);

    QTest::mouseClick(Bar().SlideButton(), Qt::LeftButton);
    EXPECT_EQ(CurrentProject()->ToolsetState(), app::ToolsetStateExpanded);
    EXPECT_EQ(key.text(), "Key");
    EXPECT_EQ(App().ToolsetWidth(), expandedReserve);
}

TEST_F(ToolboxWindowTest, GrabsOfEveryPageAndOfTheCollapsedBar)
{
    // The pages as a user meets them: over a keyed green-screen photograph and its background.
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const GreenScreenProject project = WriteGreenScreenProject(folder.path());
    ASSERT_EQ(App().OpenProject(project.projectPath), app::LMerrSuccess);
    LoadLayerImages(App());
    ShowWindow(project.projectPath);
    window->setWindowState(Qt::WindowNoState);
    window->resize(1920, 1080);
    ASSERT_TRUE(QTest::qWaitFor([this] { return window->GetCanvasScene()->IsDrawingEnabled(); }, 10000));
    const char* names[] = {"canvas", "import", "key", "masks", "filters", "position",
                           "layers", "effects", "overlay", "text", "export"};
    for (int index = 0; index < 11; ++index) {
        Bar().Button(index)->click();
        ASSERT_EQ(Page(), index);
        QCoreApplication::processEvents();
        SaveGrab(window->grab().toImage(), QStringLiteral("toolbox-page-%1-%2").arg(index, 2, 10, QChar('0')).arg(names[index]));
    }
    const int expandedWidth = Bar().width();
    QTest::mouseClick(Bar().SlideButton(), Qt::LeftButton);
    // The window lays the narrower bar out from its posted layout request.
    ASSERT_TRUE(QTest::qWaitFor([this, expandedWidth] { return Bar().width() < expandedWidth; }));
    SaveGrab(window->grab().toImage(), QStringLiteral("toolbox-bar-collapsed"));
}

// Opening a project reaches the import boxes first, which tell the layers' switched states while
// the layers table still shows the previous project: the table skips them, then shows the new one.
TEST_F(ToolboxWindowTest, OpeningProjectsRebuildsTheImportBoxesAndTheLayersTableInTurn)
{
    ShowWindow();
    const auto* import = dynamic_cast<ImportSection*>(Dock().Stack()->widget(app::ToolsetSectionImport));
    const auto* layers = dynamic_cast<LayersSection*>(Dock().Stack()->widget(app::ToolsetSectionLayers));
    ASSERT_NE(import, nullptr);
    ASSERT_NE(layers, nullptr);
    const auto tableOrder = [&] {
        QList<QUuid> ids;
        for (int row = layers->Panel()->Table()->rowCount() - 1; row >= 0; --row)
            ids.append(layers->Panel()->RowLayerId(row));
        return ids;
    };
    const auto expectShown = [&](const char* what) {
        SCOPED_TRACE(what);
        const app::LayerManagerPtr manager = CurrentProject()->GetLayerManager();
        EXPECT_EQ(tableOrder(), manager->LayerList()->CompositeOrder());
        // A box shows its layer only when the layer has an image.
        EXPECT_EQ(import->ForegroundBox()->LayerId().isNull(), manager->CurrentForegroundId().isNull());
    };
    expectShown("new project");
    const int before = layers->Panel()->Table()->rowCount();

    const QString rich = QStringLiteral(LUMORA_SOURCE_TEST_DATA) + "/projects/rich.lumo4";
    // Its photos are nowhere on this machine: one message lists them.
    Dialogs().AnswerFiles({rich}).AnswerMessage(QMessageBox::Ok);
    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    ProcessEvents();
    ASSERT_EQ(window->CurrentProjectPath(), rich);
    expectShown("rich project");
    EXPECT_GT(layers->Panel()->Table()->rowCount(), before);

    // (The file stores a toolset position, a canvas fit and open boxes unlike this window's: taking
    // the window's own counts as a change to save.)
    Dialogs().AnswerMessage(QMessageBox::No);
    QTest::keyClick(window.get(), Qt::Key_N, Qt::ControlModifier);
    ProcessEvents();
    expectShown("new project again");
    EXPECT_EQ(layers->Panel()->Table()->rowCount(), before);
}

} // namespace
} // namespace lumo::ui::testing
