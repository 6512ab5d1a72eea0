// The toolbox dock and the toolset bar in the real main window: file drags, floating, hiding, the
// cycling shortcuts from wherever the focus is, collapsing the bar and its tooltips, and a grab of
// every page at the full-HD size.

#include "Grabs.h"
#include "GreenScreenProject.h"
#include "UiTest.h"

#include "Canvas/CanvasScene.h"
#include "Canvas/CanvasView.h"
#include "Controls/Buttons.h"
#include "Controls/SmallWidgets.h"
#include "Controls/TableWidget.h"
#include "Window/MainWindow.h"
#include "Shell/Settings.h"
#include "Toolbox/CanvasSizeWidget.h"
#include "Toolbox/TextPropertiesWidget.h"
#include "Toolbox/LayersWidget.h"
#include "Toolbox/SingleImport.h"
#include "Toolbox/TextEdit.h"
#include "Toolbox/TextWidget.h"
#include "Controls/Container.h"
#include "Panels/KeyWidgets.h"
#include "Toolbox/EffectSections.h"
#include "Toolbox/ToolboxDockWidget.h"
#include "Toolbox/ToolboxSections.h"
#include "Toolbox/ToolsetWidget.h"

#include "LayerManager.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDragEnterEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QScreen>
#include <QTest>

#include <unistd.h>

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

    QRect BarRect() const { return {Bar().mapToGlobal(QPoint(0, 0)), Bar().size()}; }

    // The floating toolbox stands clear of the bar, beside it on the canvas's side, on the screen.
    void ExpectBesideTheBar(bool barOnRight) const
    {
        const QRect dock = Dock().frameGeometry();
        const QRect bar = BarRect();
        EXPECT_FALSE(dock.intersects(bar)) << "toolbox over the bar";
        EXPECT_TRUE(window->screen()->availableGeometry().contains(dock)) << "toolbox off the screen";
        const int gap = barOnRight ? bar.left() - dock.right() : dock.left() - bar.right();
        EXPECT_GT(gap, 0);
        EXPECT_LT(gap, 20);
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

// Closing every window (as the program does when its last window closes) used to go round for
// ever with the toolbox floating: it showed itself again each time it was closed. Closing the
// floating toolbox itself, as a window manager may, closes the window, unless the user keeps it open.
TEST_F(ToolboxWindowTest, ClosingEveryWindowOrTheFloatingToolboxEndsBothUnlessTheUserKeepsTheWindow)
{
    const std::pair<const char*, std::function<void()>> closings[] = {
        {"every window", [] { QApplication::closeAllWindows(); }},
        {"the floating toolbox", [this] { Dock().close(); }},
    };
    for (const auto& [name, closeThem] : closings) {
        SCOPED_TRACE(name);
        ProgramSettings().clear();
        ShowWindow();
        Dock().setFloating(true);
        ProcessEvents();
        ASSERT_TRUE(Dock().isVisible());

        // Unsaved work and Cancel: nothing closes, and the toolbox is still there.
        CurrentProject()->GetCanvas().SetUseCanvasColor(true);
        Dialogs().AnswerMessage(QMessageBox::Cancel);
        alarm(30); // a closing that never returns ends the test program instead of hanging it
        closeThem();
        EXPECT_TRUE(window->isVisible());
        EXPECT_TRUE(Dock().isVisible());

        Dialogs().AnswerMessage(QMessageBox::No);
        closeThem();
        alarm(0);
        EXPECT_FALSE(window->isVisible());
        EXPECT_FALSE(Dock().isVisible());
        EXPECT_TRUE(Dock().isFloating());
        EXPECT_FALSE(ProgramSettings().value("MainWindow/State").toByteArray().isEmpty());
        window.reset();
        ASSERT_EQ(App().OpenProject(QString()), app::LMerrSuccess);
    }
}

TEST_F(ToolboxWindowTest, UndockedTheToolboxStandsBesideTheBarAndComesBackWhereItWasLeft)
{
    for (const bool barOnRight : {true, false}) {
        SCOPED_TRACE(barOnRight ? "bar on the right" : "bar on the left");
        ProgramSettings().clear();
        ShowWindow();
        if (!barOnRight) {
            CurrentProject()->SetToolsetPosition(app::ToolsetPositionLeft);
            window->Model()->NotifyObservers(DataTypeInterface, App().GetDocument()->Id(), FieldTypeToolsetPosition);
        }
        ProcessEvents();
        Dock().TitleBar()->FloatButton()->click();
        ProcessEvents();
        ASSERT_TRUE(Dock().isFloating());
        ExpectBesideTheBar(barOnRight);
        ASSERT_TRUE(window->close());
        window.reset();
    }

    // The next start shows it where the user left it.
    ShowWindow();
    ProcessEvents();
    ASSERT_TRUE(Dock().isFloating());
    ASSERT_TRUE(Dock().isVisible());
    ExpectBesideTheBar(false);
    Dock().setGeometry(600, 200, Dock().width(), 600);
    ProcessEvents();
    ASSERT_TRUE(window->close());
    window.reset();
    ShowWindow();
    ProcessEvents();
    EXPECT_EQ(Dock().frameGeometry().topLeft(), QPoint(600, 200));

    // Left over the bar, it comes back beside the bar; partly off the screen, on the screen.
    for (const QPoint place : {BarRect().topLeft(), QPoint(1800, 900)}) {
        const bool overBar = place == BarRect().topLeft();
        Dock().move(place);
        ProcessEvents();
        ASSERT_TRUE(window->close());
        window.reset();
        ShowWindow();
        ProcessEvents();
        if (overBar)
            ExpectBesideTheBar(false);
        else
            EXPECT_TRUE(window->screen()->availableGeometry().contains(Dock().frameGeometry()));
    }

    // The bar moved to the other side, under the toolbox: the toolbox moves.
    const QWidget* view = window->GetCanvasView();
    Dock().move(view->mapToGlobal(QPoint(view->width() - Dock().width() - 10, 0)).x(), BarRect().top());
    ProcessEvents();
    CurrentProject()->SetToolsetPosition(app::ToolsetPositionRight);
    window->Model()->NotifyObservers(DataTypeInterface, App().GetDocument()->Id(), FieldTypeToolsetPosition);
    ProcessEvents();
    EXPECT_FALSE(Dock().frameGeometry().intersects(BarRect()));
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

// The canvas page hears of a photograph loaded on the import page, and takes its size when the
// canvas follows the foreground; File/New/Greeting Card tells it of the card, and its box is ticked.
TEST_F(ToolboxWindowTest, TheCanvasPageFollowsAnAddedPhotographAndANewGreetingCard)
{
    ShowWindow();
    auto* canvasPage = qobject_cast<CanvasSizeSection*>(Dock().Section(app::ToolsetSectionCanvasSize));
    auto* importPage = qobject_cast<ImportSection*>(Dock().Section(app::ToolsetSectionImport));
    ASSERT_TRUE(canvasPage != nullptr && importPage != nullptr);
    CanvasSizeWidget& panel = *canvasPage->Panel();
    panel.SizeComboBox()->setCurrentIndex(panel.SizeComboBox()->findText(QStringLiteral("As foreground")));
    const app::Canvas& canvas = CurrentProject()->GetCanvas();
    ASSERT_EQ(canvas.DimensionType(), app::CanvasDimensionForeground);

    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QImage photograph(640, 480, QImage::Format_RGB32);
    photograph.fill(qRgb(40, 190, 70));
    const QString path = folder.filePath(QStringLiteral("portrait.png"));
    ASSERT_TRUE(photograph.save(path));
    ShowToolset(app::ToolsetSectionImport);
    ASSERT_TRUE(importPage->ForegroundBox()->SetImage(path));
    EXPECT_EQ(QSize(int(canvas.Width()), int(canvas.Height())), QSize(640, 480));
    EXPECT_EQ(panel.SizeComboBox()->currentText(), "As foreground");

    panel.SizeComboBox()->setCurrentIndex(panel.SizeComboBox()->findText(QStringLiteral("4 x 6 inch")));
    recorder.seen.clear();
    Dialogs().AnswerMessage(QMessageBox::No);
    ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), "SlotNewGreetingCard"));
    EXPECT_EQ(recorder.Count(DataTypeInterface, FieldTypeGreetingCard), 1);
    EXPECT_TRUE(CurrentProject()->GetCanvas().PrintAsCard());
    EXPECT_TRUE(panel.GreetingCardCheck()->isChecked());
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

// One rule for icons: every button shows the program's own drawing (the desktop's theme is never
// asked), and every image a button names is in the resources.
TEST_F(ToolboxWindowTest, EveryButtonShowsTheProgramsOwnDrawnIcon)
{
    ShowWindow();
    // The key and effects pages build their panels when first shown.
    for (int index = 0; index < 11; ++index)
        Bar().Button(index)->click();
    QCoreApplication::processEvents();
    int withIcons = 0;
    int flips = 0;
    for (const QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        const QIcon icon = button->icon();
        if (icon.isNull())
            continue;
        SCOPED_TRACE((button->text().isEmpty() ? button->toolTip() : button->text()).toStdString());
        ++withIcons;
        EXPECT_TRUE(icon.name().isEmpty()) << "the theme's " << icon.name().toStdString();
        const QImage image = icon.pixmap(QSize(16, 16)).toImage();
        ASSERT_FALSE(image.isNull()) << "an image missing from the resources";
        bool drawn = false;
        for (int y = 0; y < image.height() && !drawn; ++y)
            for (int x = 0; x < image.width() && !drawn; ++x)
                drawn = qAlpha(image.pixel(x, y)) > 0;
        EXPECT_TRUE(drawn);
        if (button->text().startsWith("Flip "))
            ++flips;
    }
    EXPECT_GT(withIcons, 20);
    // Position (foreground and background), overlay and layer properties: horizontal and vertical.
    EXPECT_EQ(flips, 8);
}

// A new project's key page: the keys that work open (the keyer, spill suppression, light wrap),
// the switched-off ones closed, and the whole page in sight on a full-HD screen; the effects page
// shows its switched-off effects closed.
TEST_F(ToolboxWindowTest, ANewProjectsPagesShowTheWorkingEffectsOpenAndTheKeyPageFitsTheScreen)
{
    ShowWindow();
    window->setWindowState(Qt::WindowNoState);
    window->resize(1920, 1080);
    Bar().Button(app::ToolsetSectionKey)->click();
    ASSERT_EQ(Page(), app::ToolsetSectionKey);
    QCoreApplication::processEvents();
    auto* keys = dynamic_cast<KeySection*>(Dock().Section(app::ToolsetSectionKey));
    ASSERT_NE(keys, nullptr);
    const app::KeyList& list = CurrentProject()->GetLayerManager()->GetForegroundSettings()->Keys();
    ASSERT_EQ(keys->ListRows(), static_cast<int>(list.Count()));
    int open = 0;
    int row = 0;
    for (auto it = list.Begin(); it != list.End(); ++it, ++row) {
        auto* panel = qobject_cast<AbstractKeyWidget*>(keys->PanelAt(row));
        ASSERT_NE(panel, nullptr) << row;
        SCOPED_TRACE(panel->GetContainer()->Title()->findChild<QLabel*>(QStringLiteral("TitleLabel"))->text().toStdString());
        const bool shown = panel->GetContainer()->Body()->isVisible();
        EXPECT_EQ(shown, (*it)->IsEnabled());
        EXPECT_EQ(shown, panel->Info().defaultExpanded) << "as the page's reset leaves it";
        open += shown ? 1 : 0;
    }
    EXPECT_EQ(open, 3);
    auto* scroll = keys->findChild<QScrollArea*>(QStringLiteral("ScrollArea"));
    ASSERT_NE(scroll, nullptr);
    EXPECT_EQ(scroll->verticalScrollBar()->maximum(), 0) << "the page must scroll to show all";
    SaveGrab(window->grab().toImage(), QStringLiteral("toolbox-key-page-new-project"));

    // The effects page alike: both effects are off, and closed as its reset leaves them.
    Bar().Button(app::ToolsetSectionEffects)->click();
    QCoreApplication::processEvents();
    auto* effects = dynamic_cast<EffectsSection*>(Dock().Section(app::ToolsetSectionEffects));
    ASSERT_NE(effects, nullptr);
    ASSERT_EQ(effects->ListRows(), 2);
    for (row = 0; row < effects->ListRows(); ++row) {
        AbstractEffectWidget* panel = effects->PanelAt(row);
        ASSERT_NE(panel, nullptr) << row;
        EXPECT_FALSE(panel->GetContainer()->Body()->isVisible()) << row;
    }
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
