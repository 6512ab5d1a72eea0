// The canvas actions bar: its zoom (keys, slider, typing) and what each change asks to be redrawn,
// matte view and its caches, the state it takes from a project, the top reserve, and its buttons
// connected to the main window.

#include "CanvasTest.h"
#include "Grabs.h"
#include "RefreshSignals.h"
#include "RenderProcessorTestPeer.h"

#include "Canvas/CanvasActionsWidget.h"
#include "Canvas/TextGraphicsItems.h"
#include "Controls/ValueControls.h"

#include "ForegroundImageLayer.h"
#include "LayerManager.h"
#include "TextItem.h"

#include <QLayout>
#include <QMainWindow>
#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>

namespace lumo::ui {

// Stands in for the program's main window, which is built on another branch: a top-level window
// of that class with the five slots the bar connects to, recording their calls. The bar is built
// inside the window's constructor, as the window builds it.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    MainWindow() : actions(new CanvasActionsWidget(this)) { setCentralWidget(actions); }

    CanvasActionsWidget* actions;
    QStringList calls;

public slots:
    void SlotNewProject() { calls << QStringLiteral("new"); }
    void SlotOpenProject() { calls << QStringLiteral("open"); }
    bool SlotSaveProject()
    {
        calls << QStringLiteral("save");
        return true;
    }
    void SlotDisplayPrintDialog() { calls << QStringLiteral("print"); }
    void SlotOpenHelp() { calls << QStringLiteral("help"); }
};

namespace testing {
namespace {

using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

std::vector<HXDownsampleFactor> Factors(const QSignalSpy& spy)
{
    std::vector<HXDownsampleFactor> factors;
    for (const QList<QVariant>& call : spy)
        factors.push_back(call.at(0).value<HXDownsampleFactor>());
    return factors;
}

class CanvasActionsTest : public CanvasTest {
protected:
    // Shortcuts act in the active window.
    static void ShowActive(QWidget& window)
    {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    // The green-screen project shown and drawn once at the preview resolution, with a closed mask
    // whose shape is cached; the scene draws nothing more, so the caches stay as the bar leaves
    // them.
    void ShowRenderedProject()
    {
        ASSERT_NO_FATAL_FAILURE(ShowGreenScreenProject(0.05));
        forcedResult = app::LMerrSuccess;
        project = CurrentProject();
        manager = project->GetLayerManager();
        mask = std::make_shared<app::Mask>("square", true, false, true, true, 2, 1.0f, 1.0f);
        for (const QPointF& p : {QPointF(10, 10), QPointF(60, 10), QPointF(60, 60), QPointF(10, 60)})
            mask->Add(std::make_shared<app::MaskHandle>(p));
        ASSERT_EQ(manager->GetForegroundSettings()->Masks().Add(mask), app::LMerrSuccess);
        RenderPreview();
    }

    void RenderPreview()
    {
        QImage image;
        ASSERT_EQ(App().RenderAllLayersToCanvas(image, HXDownsampleFactor3), app::LMerrSuccess);
        ASSERT_TRUE(PreviewCachesValid());
        ASSERT_TRUE(MaskCacheValid());
    }

    bool PreviewCachesValid() const
    {
        app::RenderLevel level = app::RenderLevelKey;
        const auto processor = App().GetRenderProcessor();
        return processor->IsCacheValid(manager->GetForeground(manager->CurrentForegroundId()), HXDownsampleFactor3,
                                       level) &&
               processor->IsCacheValid(manager->GetBackground(), HXDownsampleFactor3, level);
    }

    bool MaskCacheValid() const
    {
        const auto record = Tables().alphaMaskRenderer->Record(mask->Id());
        return record && record->reducedValid;
    }

    static app::RenderProcessorTestPeer::Tables& Tables()
    {
        return app::RenderProcessorTestPeer::Impl(*App().GetRenderProcessor());
    }

    app::ProjectPtr project;
    app::LayerManagerPtr manager;
    app::MaskPtr mask;
};

TEST_F(CanvasActionsTest, ZoomKeysStepByFiveWithin1And400)
{
    struct Case {
        const char* name;
        int start;
        Qt::Key key;
        int shown;
        bool zooms;
    };
    const std::vector<Case> cases = {
        {"Ctrl++", 100, Qt::Key_Plus, 105, true},
        {"Ctrl+=", 100, Qt::Key_Equal, 105, true},
        {"Ctrl+-", 100, Qt::Key_Minus, 95, true},
        {"398 plus 5 gives 400", 398, Qt::Key_Plus, 400, true},
        {"at 400 nothing", 400, Qt::Key_Plus, 400, false},
        {"3 minus 5 gives 1", 3, Qt::Key_Minus, 1, true},
        {"at 1 nothing", 1, Qt::Key_Minus, 1, false},
    };
    CanvasActionsWidget bar;
    ASSERT_NO_FATAL_FAILURE(ShowActive(bar));
    app::Canvas& canvas = CurrentProject()->GetCanvas();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bar.ZoomControl()->SetValue(c.start);
        canvas.SetScale(c.start / 100.0f);
        QSignalSpy zoomChanged(&bar, &CanvasActionsWidget::SignalCanvasZoomChanged);
        QSignalSpy refreshes(&App(), kCanvasSignal);
        QTest::keyClick(&bar, c.key, Qt::ControlModifier);
        EXPECT_EQ(bar.ZoomControl()->GetSpinBox()->value(), c.shown);
        EXPECT_EQ(bar.ZoomControl()->GetSlider()->value(), c.shown);
        EXPECT_FLOAT_EQ(canvas.Scale(), c.shown / 100.0f);
        EXPECT_EQ(zoomChanged.count(), c.zooms ? 1 : 0);
        EXPECT_EQ(Factors(refreshes), c.zooms ? std::vector<HXDownsampleFactor>{HXDownsampleFactor0}
                                              : std::vector<HXDownsampleFactor>{});
    }
}

TEST_F(CanvasActionsTest, TheZoomShowsTheTruncatedPercentageWithoutZooming)
{
    CanvasActionsWidget bar;
    struct Case {
        float scale;
        int shown;
    };
    // 0.53 is stored as 0.52999997: the zoom the bar set comes back as it was.
    const std::vector<Case> cases = {{0.4567f, 45}, {0.53f, 53}, {2.3699f, 236}, {4.0f, 400}, {0.01f, 1}};
    QSignalSpy updates(bar.ZoomControl(), &SpinSlider::SliderUpdate);
    QSignalSpy refreshes(&App(), kCanvasSignal);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scale);
        bar.SlotUpdateZoomSlider(c.scale);
        EXPECT_EQ(bar.ZoomControl()->GetSpinBox()->value(), c.shown);
        EXPECT_EQ(bar.ZoomControl()->GetSlider()->value(), c.shown);
    }
    EXPECT_EQ(updates.count(), 0);
    EXPECT_EQ(refreshes.count(), 0);
    EXPECT_EQ(CurrentProject()->GetCanvas().Scale(), 1.0f);
}

TEST_F(CanvasActionsTest, DraggingTheZoomSliderPreviewsAndItsReleaseDrawsInFull)
{
    ASSERT_NO_FATAL_FAILURE(ShowRenderedProject());
    CanvasActionsWidget bar;
    bar.show();
    bar.UpdateFromProject();
    QSignalSpy zoomChanged(&bar, &CanvasActionsWidget::SignalCanvasZoomChanged);
    QSignalSpy refreshes(&App(), kCanvasSignal);
    QSignalSpy layerRefreshes(&App(), kLayerSignal);
    Slider* slider = bar.ZoomControl()->GetSlider();
    const int y = slider->height() / 2;
    const QPoint press(slider->width() / 4, y);

    QTest::mousePress(slider, Qt::LeftButton, {}, press);
    QTest::mouseMove(slider, press + QPoint(30, 0));
    const int dragged = slider->sliderPosition();
    EXPECT_GT(dragged, 1);
    EXPECT_FLOAT_EQ(project->GetCanvas().Scale(), dragged / 100.0f);
    EXPECT_EQ(bar.ZoomControl()->GetSpinBox()->value(), dragged);
    EXPECT_EQ(Factors(refreshes), std::vector<HXDownsampleFactor>(refreshes.count(), HXDownsampleFactor3));
    EXPECT_GE(refreshes.count(), 2) << "the press and the move";
    EXPECT_TRUE(PreviewCachesValid()) << "a drag leaves the composite caches as they are";
    EXPECT_FALSE(MaskCacheValid()) << "the masks are drawn at the new zoom";

    refreshes.clear();
    QTest::mouseRelease(slider, Qt::LeftButton, {}, press + QPoint(30, 0));
    EXPECT_EQ(Factors(refreshes), std::vector<HXDownsampleFactor>{HXDownsampleFactor0});
    EXPECT_FALSE(PreviewCachesValid()) << "the release marks the preview caches stale";
    EXPECT_FLOAT_EQ(project->GetCanvas().Scale(), dragged / 100.0f);
    EXPECT_EQ(zoomChanged.count(), refreshes.count() + 2);
    EXPECT_EQ(layerRefreshes.count(), 0);

    // Typing 50 zooms to half (not to nothing, as a division of whole numbers would).
    SpinBox* box = bar.ZoomControl()->GetSpinBox();
    box->setFocus();
    box->selectAll();
    refreshes.clear();
    QTest::keyClicks(box, QStringLiteral("50"));
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(project->GetCanvas().Scale(), 0.5f);
    EXPECT_EQ(slider->value(), 50);
    ASSERT_FALSE(refreshes.isEmpty());
    EXPECT_EQ(Factors(refreshes).back(), HXDownsampleFactor0);
}

TEST_F(CanvasActionsTest, MatteViewShowsTheKeyWithoutTextAndRedrawsEverything)
{
    ASSERT_NO_FATAL_FAILURE(ShowRenderedProject());
    app::TextList& texts = manager->GetForegroundSettings()->TextItems();
    const auto shown = std::make_shared<app::TextItem>();
    shown->SetTextString(QByteArrayLiteral("VGV4dA=="));
    const auto disabled = std::make_shared<app::TextItem>();
    disabled->SetTextString(QByteArrayLiteral("VGV4dA=="));
    disabled->SetEnabled(false);
    ASSERT_EQ(texts.Add(shown), app::LMerrSuccess);
    ASSERT_EQ(texts.Add(disabled), app::LMerrSuccess);
    project->SetCurrentToolset(app::ToolsetSectionKey);
    Notify(DataTypeInterface, FieldTypeCurrentToolset);
    ASSERT_NE(view.TextLayerItem(shown->Id()), nullptr);

    CanvasActionsWidget bar;
    ASSERT_NO_FATAL_FAILURE(ShowActive(bar));
    bar.UpdateFromProject();
    QPushButton* button = bar.MatteViewButton();
    ASSERT_TRUE(button->isEnabled());
    const auto expectMatteView = [&](bool on) {
        EXPECT_EQ(button->isChecked(), on);
        EXPECT_EQ(Tables().matteView, on);
        EXPECT_EQ(view.AreTextItemsHidden(), on);
        EXPECT_EQ(view.TextLayerItem(shown->Id())->isVisible(), !on);
        EXPECT_FALSE(view.TextLayerItem(disabled->Id())->isVisible()) << "a disabled text stays hidden";
    };

    // Insert switches it on, a click off; each time every cache the key shows in is stale and
    // the canvas is drawn in full.
    const std::vector<std::pair<const char*, std::function<void()>>> toggles = {
        {"Insert", [&] { QTest::keyClick(&bar, Qt::Key_Insert); }},
        {"click", [&] { QTest::mouseClick(button, Qt::LeftButton); }},
    };
    bool on = false;
    for (const auto& [how, toggle] : toggles) {
        SCOPED_TRACE(how);
        ASSERT_NO_FATAL_FAILURE(RenderPreview());
        Tables().ShadowValid[HXDownsampleFactor0] = true;
        Tables().ShadowValid[HXDownsampleFactor3] = true;
        QSignalSpy refreshes(&App(), kCanvasSignal);
        toggle();
        on = !on;
        expectMatteView(on);
        EXPECT_FALSE(Tables().ShadowValid[HXDownsampleFactor0]);
        EXPECT_FALSE(Tables().ShadowValid[HXDownsampleFactor3]);
        EXPECT_FALSE(PreviewCachesValid());
        EXPECT_FALSE(MaskCacheValid());
        EXPECT_EQ(Factors(refreshes), std::vector<HXDownsampleFactor>{HXDownsampleFactor0});
    }

    // Leaving the key's toolsets switches it off and the shortcut no longer reaches it.
    QTest::keyClick(&bar, Qt::Key_Insert);
    expectMatteView(true);
    Notify(DataTypeProject, FieldTypeForegroundUniqueness);
    ASSERT_NE(view.TextLayerItem(shown->Id()), nullptr);
    EXPECT_FALSE(view.TextLayerItem(shown->Id())->isVisible()) << "rebuilt text items stay hidden";
    bar.SetMatteViewEnabled(false);
    EXPECT_FALSE(button->isEnabled());
    expectMatteView(false);
    QSignalSpy refreshes(&App(), kCanvasSignal);
    QTest::keyClick(&bar, Qt::Key_Insert);
    expectMatteView(false);
    EXPECT_EQ(refreshes.count(), 0);
    bar.SetMatteViewEnabled(true);
    expectMatteView(false);
}

TEST_F(CanvasActionsTest, AProjectSetsTheZoomAndOffersMatteViewInTheKeysToolsetsOnly)
{
    project = CurrentProject();
    CanvasActionsWidget bar;
    project->GetCanvas().SetScale(0.37f);
    for (int toolset = app::ToolsetSectionCanvasSize; toolset <= app::ToolsetSectionExport; ++toolset) {
        SCOPED_TRACE(toolset);
        bar.MatteViewButton()->setEnabled(true);
        bar.MatteViewButton()->setChecked(true);
        App().GetRenderProcessor()->EnableMatteView(true);
        view.SetTextItemsHidden(true);
        bar.ZoomControl()->SetValue(100);
        project->SetCurrentToolset(static_cast<app::ToolsetSections>(toolset));
        bar.UpdateFromProject();
        EXPECT_EQ(bar.MatteViewButton()->isEnabled(), toolset >= 1 && toolset <= 3);
        EXPECT_FALSE(bar.MatteViewButton()->isChecked());
        EXPECT_FALSE(Tables().matteView);
        EXPECT_FALSE(view.AreTextItemsHidden());
        EXPECT_EQ(bar.ZoomControl()->GetSpinBox()->value(), 37);
    }
}

TEST_F(CanvasActionsTest, FitToWindowAsksTheWindowByButtonAndByHome)
{
    CanvasActionsWidget bar;
    EXPECT_EQ(App().CanvasActionsHeight(), bar.LayoutHeight() + 4);
    EXPECT_GE(bar.LayoutHeight(), 29) << "the 25-pixel buttons and the margins";
    ShowActive(bar);
    QSignalSpy fit(&bar, &CanvasActionsWidget::SignalFocusButtonClicked);
    QTest::keyClick(&bar, Qt::Key_Home);
    QTest::mouseClick(bar.Button(QStringLiteral("Fit To Window")), Qt::LeftButton);
    EXPECT_EQ(fit.count(), 2);
}

TEST_F(CanvasActionsTest, TheProjectButtonsCallEveryMainWindowThereIsWhenTheBarIsBuilt)
{
    const QStringList buttons = {QStringLiteral("New Project"), QStringLiteral("Open Project"),
                                 QStringLiteral("Save Project"), QStringLiteral("Print"), QStringLiteral("Help")};
    const QStringList calls = {QStringLiteral("new"), QStringLiteral("open"), QStringLiteral("save"),
                               QStringLiteral("print"), QStringLiteral("help")};
    const auto clickAll = [&](CanvasActionsWidget* bar) {
        for (const QString& toolTip : buttons) {
            QPushButton* button = bar->Button(toolTip);
            ASSERT_NE(button, nullptr) << toolTip.toStdString();
            QTest::mouseClick(button, Qt::LeftButton);
        }
    };

    // Built alone, the bar's project buttons call nothing, even once a window exists.
    CanvasActionsWidget alone;
    alone.show();
    MainWindow window;
    window.show();
    clickAll(&alone);
    EXPECT_TRUE(window.calls.isEmpty());

    clickAll(window.actions);
    EXPECT_EQ(window.calls, calls);

    // A second window's bar reaches both.
    window.calls.clear();
    MainWindow second;
    clickAll(second.actions);
    EXPECT_EQ(window.calls, calls);
    EXPECT_EQ(second.calls, calls);

    // The zoom keys work anywhere in the window.
    ASSERT_NO_FATAL_FAILURE(ShowActive(window));
    QTest::keyClick(&window, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(window.actions->ZoomControl()->GetSpinBox()->value(), 95);
}

TEST_F(CanvasActionsTest, GrabOfTheBar)
{
    QWidget host;
    host.setObjectName(QStringLiteral("GrabHost"));
    host.setAttribute(Qt::WA_StyledBackground);
    host.setStyleSheet(App().ApplicationStyleSheet() + QStringLiteral("#GrabHost { background: #1a1a1a; }"));
    auto* layout = new QVBoxLayout(&host);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    // As a new project shows it, then zoomed to 45 % with matte view on.
    auto* plain = new CanvasActionsWidget(&host);
    auto* matte = new CanvasActionsWidget(&host);
    layout->addWidget(plain);
    layout->addWidget(matte);
    host.resize(900, 100);
    host.show();
    CurrentProject()->SetCurrentToolset(app::ToolsetSectionKey);
    plain->UpdateFromProject();
    matte->UpdateFromProject();
    matte->SlotUpdateZoomSlider(0.4567f);
    matte->SlotToggleMatteViewButton();
    ASSERT_TRUE(matte->MatteViewButton()->isChecked());
    ProcessEvents();
    EXPECT_FALSE(SaveGrab(host.grab().toImage(), QStringLiteral("canvas-actions-bar")).isEmpty());
    // The bar is dark, as the canvas round it.
    const QImage image = plain->grab().toImage();
    EXPECT_LT(qGray(image.pixel(image.width() / 2 + 200, 2)), 80);
}

} // namespace
} // namespace testing
} // namespace lumo::ui

#include "CanvasActionsTests.moc"
