// The toolbox dock with its eleven sections over the model: the shared rules of the sections (the
// layer type of each toolset, when a new foreground rebuilds the panels), the key and effects
// lists, and the overlay page.

#include "CanvasTest.h"
#include "RefreshSignals.h"

#include "Canvas/CanvasItemTypes.h"
#include "Controls/Buttons.h"
#include "Controls/Container.h"
#include "Controls/DialControls.h"
#include "Controls/SmallWidgets.h"
#include "Controls/ValueControls.h"
#include "Panels/CompositeWidgets.h"
#include "Panels/KeyWidgets.h"
#include "Toolbox/EffectSections.h"
#include "Toolbox/OverlaySection.h"
#include "Toolbox/ToolboxDockWidget.h"
#include "Toolbox/ToolboxSections.h"

#include "CompositeItems.h"
#include "ItemLists.h"
#include "KeyItems.h"
#include "LayerManager.h"
#include "LayerSettings.h"
#include "TransformItems.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QPushButton>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTabBar>
#include <QTest>

#include <tuple>

namespace lumo::ui::testing {
namespace {

using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

const QUuid kGamma(QStringLiteral("{cccccccc-3333-4333-8333-333333333333}"));
const QUuid kAlpha(QStringLiteral("{aaaaaaaa-1111-4111-8111-111111111111}"));
const QUuid kBeta(QStringLiteral("{bbbbbbbb-2222-4222-8222-222222222222}"));

class NotificationRecorder : public LumoModelObserver {
public:
    void ModelChanged(DataType type, const QUuid& /*id*/, FieldType field) override { seen.append({type, field}); }
    int Count(DataType type, FieldType field) const { return static_cast<int>(seen.count({type, field})); }
    QList<std::pair<DataType, FieldType>> seen;
};

QString RichProjectPath()
{
    QString data = qEnvironmentVariable("LUMORA_TEST_DATA");
    if (data.isEmpty())
        data = QStringLiteral(LUMORA_SOURCE_TEST_DATA);
    return data + QStringLiteral("/projects/rich.lumo4");
}

// The rich project (foregrounds Gamma and Alpha share the default settings, Beta has its own, an
// overlay) under the whole dock; nothing is rendered.
class DockTest : public CanvasTest {
protected:
    void SetUp() override
    {
        CanvasTest::SetUp();
        forcedResult = app::LMerrSuccess;
        dock = std::make_unique<ToolboxDockWidget>(QStringLiteral("Toolbox"));
        dock->SetModel(model);
        recorder.SetModel(model, {});
        ASSERT_EQ(App().OpenProject(RichProjectPath()), app::LMerrSuccess);
        SelectForeground(kGamma);
        Notify(DataTypeProject, FieldTypeRefreshAll);
        layerRefreshes = std::make_unique<QSignalSpy>(&App(), kLayerSignal);
        canvasRefreshes = std::make_unique<QSignalSpy>(&App(), kCanvasSignal);
    }

    void TearDown() override
    {
        layerRefreshes.reset();
        canvasRefreshes.reset();
        dock.reset();
        CanvasTest::TearDown();
    }

    static app::LayerManagerPtr Manager() { return CurrentProject()->GetLayerManager(); }
    static void SelectForeground(const QUuid& id) { Manager()->SetCurrentForegroundId(id); }

    void ShowToolset(int toolset)
    {
        CurrentProject()->SetCurrentToolset(static_cast<app::ToolsetSections>(toolset));
        Notify(DataTypeInterface, FieldTypeCurrentToolset);
    }

    template <class Section>
    Section* Page(int index) const
    {
        return qobject_cast<Section*>(dock->Section(index));
    }
    KeySection* Keys() const { return Page<KeySection>(app::ToolsetSectionKey); }
    EffectsSection* Effects() const { return Page<EffectsSection>(app::ToolsetSectionEffects); }
    OverlaySection* Overlay() const { return Page<OverlaySection>(app::ToolsetSectionOverlay); }

    std::unique_ptr<ToolboxDockWidget> dock;
    NotificationRecorder recorder;
    std::unique_ptr<QSignalSpy> layerRefreshes;
    std::unique_ptr<QSignalSpy> canvasRefreshes;
};

TEST_F(DockTest, TheStackHoldsTheElevenSectionsByIndexAndFollowsTheCurrentToolset)
{
    ASSERT_EQ(dock->Stack()->count(), 11);
    for (int index = 0; index < 11; ++index) {
        ASSERT_NE(dock->Section(index), nullptr);
        EXPECT_EQ(dock->Stack()->indexOf(dock->Section(index)), index);
        EXPECT_EQ(dock->Section(index)->Index(), index);
    }
    EXPECT_EQ(dock->features(), QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    ShowToolset(app::ToolsetSectionOverlay);
    EXPECT_EQ(dock->Stack()->currentIndex(), 8);
    // A toolset outside the sections leaves the page shown.
    ShowToolset(42);
    EXPECT_EQ(dock->Stack()->currentIndex(), 8);
    CurrentProject()->SetCurrentToolset(app::ToolsetSectionText);
    Notify(DataTypeProject, FieldTypeRefreshAll);
    EXPECT_EQ(dock->Stack()->currentIndex(), 9);
}

TEST_F(DockTest, OpeningAnotherProjectRebuildsEveryPageForItsForeground)
{
    // The pages of many panels are built when first shown, not by the refresh of a page out of sight.
    EXPECT_EQ(Keys()->PanelAt(0), nullptr);
    EXPECT_EQ(Effects()->PanelAt(0), nullptr);
    ShowToolset(app::ToolsetSectionEffects);
    ShowToolset(app::ToolsetSectionKey);
    const QPointer<AbstractEffectWidget> key = Keys()->PanelAt(0);
    const QPointer<AbstractEffectWidget> effect = Effects()->PanelAt(0);
    ASSERT_TRUE(key && effect);
    ASSERT_TRUE(folder.isValid());
    const GreenScreenProject other = WriteGreenScreenProject(folder.path(), 0.05);
    ASSERT_EQ(App().OpenProject(other.projectPath), app::LMerrSuccess);
    Notify(DataTypeProject, FieldTypeRefreshAll);
    // Rebuilt panels go from the event loop.
    ProcessEvents();
    const QUuid current = Manager()->CurrentForegroundId();
    for (const int index : {2, 3, 4, 6, 7, 8, 9})
        EXPECT_EQ(dock->Section(index)->RecordedForegroundId(), current) << index;
    // The position page records a foreground only when it is shown.
    EXPECT_TRUE(dock->Section(app::ToolsetSectionPosition)->RecordedForegroundId().isNull());
    // Pages out of sight keep their old panels until they are shown, then show the new project's.
    EXPECT_NE(CurrentProject()->CurrentToolset(), app::ToolsetSectionKey);
    EXPECT_FALSE(key.isNull());
    ShowToolset(app::ToolsetSectionKey);
    ProcessEvents();
    EXPECT_TRUE(key.isNull());
    const auto keys = Manager()->GetForegroundSettings()->Keys().Begin();
    EXPECT_EQ(qobject_cast<AbstractKeyWidget*>(Keys()->PanelAt(0))->Info().id, (*keys)->Id());
    EXPECT_FALSE(effect.isNull());
    ShowToolset(app::ToolsetSectionEffects);
    ProcessEvents();
    EXPECT_TRUE(effect.isNull());
    const auto compositors = Manager()->GetForegroundSettings()->Compositors().Begin();
    ASSERT_NE(Effects()->PanelAt(0), nullptr);
    EXPECT_EQ(qobject_cast<AbstractCompositeWidget*>(Effects()->PanelAt(0))->Info().id, (*compositors)->Id());
    // Shown again without a change, it is not rebuilt.
    const QPointer<AbstractEffectWidget> shown = Effects()->PanelAt(0);
    ShowToolset(app::ToolsetSectionKey);
    ShowToolset(app::ToolsetSectionEffects);
    EXPECT_EQ(Effects()->PanelAt(0), shown.data());
}

TEST_F(DockTest, EachToolsetMakesTheLayerTypeItsPanelsEditCurrent)
{
    struct Case {
        int toolset;
        app::LayerType before;
        app::LayerType after;
        int tab; // the shown tab of the tabbed sections, -1 elsewhere
    };
    const Case cases[] = {
        {0, app::LayerTypeImage, app::LayerTypeForeground, -1},
        {1, app::LayerTypeBackground, app::LayerTypeForeground, -1},
        {2, app::LayerTypeImage, app::LayerTypeForeground, -1},
        {3, app::LayerTypeOverlay, app::LayerTypeForeground, -1},
        {4, app::LayerTypeBackground, app::LayerTypeBackground, 1},
        {4, app::LayerTypeImage, app::LayerTypeForeground, 0},
        {4, app::LayerTypeForeground, app::LayerTypeForeground, 0},
        {5, app::LayerTypeBackground, app::LayerTypeBackground, 1},
        {5, app::LayerTypeOverlay, app::LayerTypeForeground, 0},
        {6, app::LayerTypeForeground, app::LayerTypeImage, -1},
        {7, app::LayerTypeBackground, app::LayerTypeForeground, -1},
        {8, app::LayerTypeForeground, app::LayerTypeOverlay, -1},
        {9, app::LayerTypeImage, app::LayerTypeForeground, -1},
        {10, app::LayerTypeBackground, app::LayerTypeForeground, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "toolset " << c.toolset << " from type " << c.before);
        ShowToolset(app::ToolsetSectionCanvasSize == c.toolset ? app::ToolsetSectionImport
                                                               : app::ToolsetSectionCanvasSize);
        CurrentProject()->SetCurrentLayerType(c.before);
        recorder.seen.clear();
        ShowToolset(c.toolset);
        EXPECT_EQ(CurrentProject()->CurrentLayerType(), c.after);
        // The own toolset only sets the type; it announces nothing.
        EXPECT_EQ(recorder.Count(DataTypeInterface, FieldTypeCurrentLayerType), 0);
        if (c.tab >= 0) {
            auto* section = Page<TabbedToolboxSection>(c.toolset);
            EXPECT_EQ(section->Tabs()->currentIndex(), c.tab);
        }
    }
}

TEST_F(DockTest, ChoosingATabMakesItsLayerCurrentAndAnnouncesIt)
{
    for (const int toolset : {app::ToolsetSectionFilters, app::ToolsetSectionPosition}) {
        SCOPED_TRACE(toolset);
        CurrentProject()->SetCurrentLayerType(app::LayerTypeForeground);
        ShowToolset(toolset);
        auto* section = Page<TabbedToolboxSection>(toolset);
        section->show();
        recorder.seen.clear();
        QTabBar* bar = section->Tabs()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
        EXPECT_EQ(CurrentProject()->CurrentLayerType(), app::LayerTypeBackground);
        EXPECT_EQ(recorder.Count(DataTypeInterface, FieldTypeCurrentLayerType), 1);
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
        EXPECT_EQ(CurrentProject()->CurrentLayerType(), app::LayerTypeForeground);
        EXPECT_EQ(recorder.Count(DataTypeInterface, FieldTypeCurrentLayerType), 2);
        section->hide();
    }
}

// The first key panel is the rebuild's witness: a rebuild makes new panels.
TEST_F(DockTest, OnlyAUniqueForegroundRebuildsTheFollowingSections)
{
    for (const int toolset : {app::ToolsetSectionKey, app::ToolsetSectionEffects}) {
        SCOPED_TRACE(toolset);
        auto* section = Page<EffectListSection>(toolset);
        SelectForeground(kGamma);
        Notify(DataTypeProject, FieldTypeRefreshAll);
        ShowToolset(toolset);
        const QPointer<AbstractEffectWidget> shared = section->PanelAt(0);
        ASSERT_NE(shared, nullptr);

        // Shared to shared: the same settings objects, nothing rebuilt.
        SelectForeground(kAlpha);
        ShowToolset(toolset);
        EXPECT_EQ(section->PanelAt(0), shared.data());
        EXPECT_EQ(section->RecordedForegroundId(), kAlpha);

        // A background import rebuilds nothing, even with a new foreground current.
        SelectForeground(kBeta);
        Notify(DataTypeProject, FieldTypeImageAdded, Manager()->GetBackground()->Id());
        EXPECT_EQ(section->PanelAt(0), shared.data());

        // To the unique one: rebuilt; its own lists are shown.
        Notify(DataTypeProject, FieldTypeImageAdded, Manager()->LayerList()->StaticForegroundId());
        ProcessEvents();
        EXPECT_TRUE(shared.isNull());
        EXPECT_EQ(section->RecordedForegroundId(), kBeta);
        EXPECT_TRUE(section->RecordedForegroundUnique());
        const auto beta = Manager()->GetForegroundSettings();
        const std::size_t betaCount =
            toolset == app::ToolsetSectionKey ? beta->Keys().Count() : beta->Compositors().Count();
        EXPECT_EQ(section->ListRows(), static_cast<int>(betaCount));

        // Back from the unique one: rebuilt again.
        SelectForeground(kGamma);
        ShowToolset(toolset);
        ASSERT_NE(section->PanelAt(0), nullptr);
        EXPECT_EQ(section->ListRows(), static_cast<int>(toolset == app::ToolsetSectionKey
                                                             ? Manager()->GetForegroundSettings()->Keys().Count()
                                                             : Manager()->GetForegroundSettings()->Compositors().Count()));
    }
}

TEST_F(DockTest, LosingUniquenessRebuildsAndGainingItDoesNot)
{
    SelectForeground(kBeta);
    ShowToolset(app::ToolsetSectionKey);
    ASSERT_TRUE(Keys()->RecordedForegroundUnique());
    const app::ForegroundImageLayerPtr beta = Manager()->GetForeground(kBeta);

    QPointer<AbstractEffectWidget> before = Keys()->PanelAt(0);
    ASSERT_NE(before, nullptr);
    beta->SetUnique(false);
    Notify(DataTypeProject, FieldTypeForegroundUniqueness);
    ProcessEvents();
    EXPECT_TRUE(before.isNull());
    EXPECT_FALSE(Keys()->RecordedForegroundUnique());

    before = Keys()->PanelAt(0);
    ASSERT_EQ(beta->SetUnique(true), app::LMerrSuccess);
    Notify(DataTypeProject, FieldTypeForegroundUniqueness);
    EXPECT_EQ(Keys()->PanelAt(0), before.data());
    EXPECT_TRUE(Keys()->RecordedForegroundUnique());

    // Away from its own toolset the key page ignores the change; the text page takes it anyway.
    ShowToolset(app::ToolsetSectionCanvasSize);
    Notify(DataTypeProject, FieldTypeRefreshAll);
    before = Keys()->PanelAt(0);
    ASSERT_TRUE(dock->Section(app::ToolsetSectionText)->RecordedForegroundUnique());
    beta->SetUnique(false);
    Notify(DataTypeProject, FieldTypeForegroundUniqueness);
    EXPECT_EQ(Keys()->PanelAt(0), before.data());
    EXPECT_TRUE(Keys()->RecordedForegroundUnique());
    EXPECT_FALSE(dock->Section(app::ToolsetSectionText)->RecordedForegroundUnique());
}

TEST_F(DockTest, TheKeyPageListsTheKeysInOrderAndResetsEachToItsOwnState)
{
    ShowToolset(app::ToolsetSectionKey);
    const app::KeyList& keys = Manager()->GetForegroundSettings()->Keys();
    ASSERT_EQ(keys.Count(), 8u);
    int row = 0;
    for (auto it = keys.Begin(); it != keys.End(); ++it, ++row) {
        auto* panel = qobject_cast<AbstractKeyWidget*>(Keys()->PanelAt(row));
        ASSERT_NE(panel, nullptr) << row;
        EXPECT_EQ(panel->Info().type, (*it)->Type()) << row;
        EXPECT_EQ(panel->Info().id, (*it)->Id()) << row;
    }
    QLayoutItem* resetItem = Keys()->Grid()->itemAtPosition(8, 0);
    ASSERT_NE(resetItem, nullptr);
    auto* reset = qobject_cast<QPushButton*>(resetItem->widget());
    ASSERT_NE(reset, nullptr);
    EXPECT_EQ(reset->text(), "Reset");

    // Every panel away from its reset state first.
    for (row = 0; row < 8; ++row) {
        auto* panel = qobject_cast<AbstractKeyWidget*>(Keys()->PanelAt(row));
        panel->SlotSetEnabled(!panel->Info().defaultEnabled, false);
        panel->GetContainer()->SetBodyState(!panel->Info().defaultEnabled, !panel->Info().defaultExpanded);
    }
    layerRefreshes->clear();
    canvasRefreshes->clear();
    reset->click();
    for (auto it = keys.Begin(); it != keys.End(); ++it) {
        auto* panel = qobject_cast<AbstractKeyWidget*>(Keys()->PanelAt(static_cast<int>(std::distance(keys.Begin(), it))));
        SCOPED_TRACE(panel->Info().type);
        EXPECT_EQ((*it)->IsEnabled(), panel->Info().defaultEnabled);
        EXPECT_EQ(panel->GetContainer()->Body()->isVisibleTo(panel), panel->Info().defaultExpanded);
    }
    ASSERT_EQ(layerRefreshes->count(), 1);
    EXPECT_EQ(layerRefreshes->at(0).at(0).toUuid(), Manager()->LayerList()->StaticForegroundId());
    EXPECT_EQ(layerRefreshes->at(0).at(1).value<app::RenderLevel>(), app::RenderLevelKey);
    EXPECT_EQ(layerRefreshes->at(0).at(2).value<HXDownsampleFactor>(), HXDownsampleFactor0);
    EXPECT_EQ(canvasRefreshes->count(), 0);
}

TEST_F(DockTest, OpeningAClosedPanelEnlargesTheScrolledPageAtOnce)
{
    ShowToolset(app::ToolsetSectionKey);
    dock->resize(380, 600);
    dock->show();
    QCoreApplication::processEvents();
    AbstractEffectWidget* panel = Keys()->PanelAt(0);
    panel->SlotSetEnabled(false, false);
    panel->GetContainer()->SetBodyState(false, false);
    Keys()->SlotContainerExpandChanged();
    QWidget* frame = Keys()->Grid()->parentWidget();
    const int closedHeight = frame->height();
    // Opening a switched-off panel switches it on, which re-lays the page before returning.
    panel->GetContainer()->SlotExpandBody(true);
    EXPECT_GT(frame->height(), closedHeight);
    dock->hide();
}

// The rich project's composite list holds four effects without a panel after the vignette and the
// tint: their rows stay empty, and moves and the reset pass over them.
TEST_F(DockTest, EffectsPanelsMoveWithTheirItemsAndResetDisablesAndClosesThem)
{
    ShowToolset(app::ToolsetSectionEffects);
    const auto typesInList = [] {
        std::vector<int> types;
        const app::CompositeList& composites = Manager()->GetForegroundSettings()->Compositors();
        for (auto it = composites.Begin(); it != composites.End(); ++it)
            types.push_back((*it)->Type());
        return types;
    };
    // The grid's rows by the type of their panel, -1 for an empty row.
    const auto typesInGrid = [this] {
        std::vector<int> types;
        for (int row = 0; row < Effects()->ListRows(); ++row) {
            auto* panel = qobject_cast<AbstractCompositeWidget*>(Effects()->PanelAt(row));
            types.push_back(panel != nullptr ? panel->Info().type : -1);
        }
        return types;
    };
    const std::vector<int> vignetteFirst = {1, 0, 2, 3, 4, 5};
    ASSERT_EQ(typesInList(), vignetteFirst);
    EXPECT_EQ(typesInGrid(), (std::vector<int>{1, 0, -1, -1, -1, -1}));
    auto* reset = qobject_cast<QPushButton*>(Effects()->Grid()->itemAtPosition(6, 0)->widget());
    ASSERT_NE(reset, nullptr);

    auto* vignette = Effects()->PanelAt(0);
    auto* tint = Effects()->PanelAt(1);
    canvasRefreshes->clear();
    emit vignette->SignalMoveFilterUp();
    emit tint->SignalMoveFilterDown();
    EXPECT_EQ(typesInList(), vignetteFirst);
    EXPECT_EQ(canvasRefreshes->count(), 0);
    EXPECT_EQ(layerRefreshes->count(), 0);

    emit vignette->SignalMoveFilterDown();
    const std::vector<int> tintFirst = {0, 1, 2, 3, 4, 5};
    EXPECT_EQ(typesInList(), tintFirst);
    EXPECT_EQ(typesInGrid(), (std::vector<int>{0, 1, -1, -1, -1, -1}));
    ASSERT_EQ(canvasRefreshes->count(), 1);
    EXPECT_EQ(canvasRefreshes->at(0).at(0).value<HXDownsampleFactor>(), HXDownsampleFactor0);
    // Now the last panel: down passes no further.
    emit vignette->SignalMoveFilterDown();
    EXPECT_EQ(typesInList(), tintFirst);
    EXPECT_EQ(canvasRefreshes->count(), 1);

    // The saved file keeps the new order.
    QTemporaryDir saved;
    const QString path = saved.filePath(QStringLiteral("moved.lumo4"));
    ASSERT_EQ(CurrentProject()->SaveToXml(path, QStringLiteral("v"), QStringLiteral("4.0")), app::LMerrSuccess);
    ASSERT_EQ(App().OpenProject(path), app::LMerrSuccess);
    SelectForeground(kGamma);
    Notify(DataTypeProject, FieldTypeRefreshAll);
    EXPECT_EQ(typesInList(), tintFirst);
    EXPECT_EQ(typesInGrid(), (std::vector<int>{0, 1, -1, -1, -1, -1}));

    for (int row = 0; row < 2; ++row) {
        Effects()->PanelAt(row)->SlotSetEnabled(true, false);
        Effects()->PanelAt(row)->GetContainer()->SetBodyState(true, true);
    }
    canvasRefreshes->clear();
    reset = qobject_cast<QPushButton*>(Effects()->Grid()->itemAtPosition(6, 0)->widget());
    reset->click();
    const app::CompositeList& reopened = Manager()->GetForegroundSettings()->Compositors();
    for (auto it = reopened.Begin(); it != reopened.End(); ++it)
        if ((*it)->Type() <= app::CompositeItemTypeVignette) {
            EXPECT_FALSE((*it)->IsEnabled()) << (*it)->Type();
        }
    for (int row = 0; row < 2; ++row) {
        EXPECT_FALSE(Effects()->PanelAt(row)->GetContainer()->Body()->isEnabled());
        EXPECT_FALSE(Effects()->PanelAt(row)->GetContainer()->Body()->isVisibleTo(Effects()->PanelAt(row)));
    }
    EXPECT_EQ(canvasRefreshes->count(), 1);
}

// ---- The overlay page

class OverlayTest : public DockTest {
protected:
    void SetUp() override
    {
        DockTest::SetUp();
        overlay = Manager()->GetOverlay();
        ASSERT_TRUE(overlay);
        const auto settings = Manager()->GetLayerSettings(app::LayerTypeOverlay);
        ASSERT_TRUE(settings);
        transform = app::FindItemOfType<app::TransformationTransformItem>(settings->Transforms(),
                                                                          app::TransformItemTypeTransformation);
        fit = app::FindItemOfType<app::FitTransformItem>(settings->Transforms(), app::TransformItemTypeFit);
        ASSERT_TRUE(transform && fit);
        ShowToolset(app::ToolsetSectionOverlay);
        layerRefreshes->clear();
    }

    std::vector<HXDownsampleFactor> OverlayRefreshFactors() const
    {
        std::vector<HXDownsampleFactor> factors;
        for (const QList<QVariant>& call : *layerRefreshes)
            if (call.at(0).toUuid() == overlay->Id())
                factors.push_back(call.at(2).value<HXDownsampleFactor>());
        return factors;
    }

    bool LayerHandlesShown() const
    {
        for (const QGraphicsItem* item : scene.items())
            if (item->type() == CanvasItemLayerQuad)
                return item->isVisible();
        return false;
    }

    app::ImageLayerPtr overlay;
    std::shared_ptr<app::TransformationTransformItem> transform;
    std::shared_ptr<app::FitTransformItem> fit;
};

TEST_F(OverlayTest, UncheckingFitGivesTheActualSizeWithHandlesAndCheckingFitsAgain)
{
    Overlay()->FitCheck()->setChecked(true);
    transform->SetTranslateX(0.3);
    transform->SetScaleX(2.0);
    transform->SetRotation(40);

    Overlay()->FitCheck()->setChecked(false);
    EXPECT_EQ(fit->Fit(), app::FitToNone);
    EXPECT_EQ(std::make_tuple(transform->TranslateX(), transform->TranslateY(), transform->ScaleX(),
                              transform->ScaleY(), transform->Rotation()),
              std::make_tuple(0.0, 0.0, 1.0, 1.0, 0.0));
    EXPECT_TRUE(Overlay()->PositionContainer()->isEnabled());
    EXPECT_FALSE(Overlay()->FitCombo()->isEnabled());
    EXPECT_TRUE(LayerHandlesShown());
    EXPECT_EQ(OverlayRefreshFactors().back(), HXDownsampleFactor0);

    Overlay()->FitCheck()->setChecked(true);
    EXPECT_EQ(fit->Fit(), app::FitToCanvas);
    EXPECT_FALSE(Overlay()->PositionContainer()->isEnabled());
    EXPECT_FALSE(Overlay()->ScaleContainer()->isEnabled());
    EXPECT_FALSE(Overlay()->RotationContainer()->isEnabled());
    EXPECT_TRUE(Overlay()->FitCombo()->isEnabled());
    EXPECT_FALSE(LayerHandlesShown());

    Overlay()->FitCombo()->setCurrentIndex(1);
    EXPECT_EQ(fit->Fit(), app::FitToForeground);
    Overlay()->FitCombo()->setCurrentIndex(2);
    EXPECT_EQ(fit->Fit(), app::FitToBackground);
}

TEST_F(OverlayTest, SlidersFlipsAndResetsWriteThePlacement)
{
    Overlay()->FitCheck()->setChecked(false);
    layerRefreshes->clear();
    // A drag announces at the preview factor, the release at full resolution.
    emit Overlay()->HorizontalSlider()->SliderUpdate(25, HXDownsampleFactor3);
    EXPECT_DOUBLE_EQ(transform->TranslateX(), 0.25);
    emit Overlay()->HorizontalSlider()->SliderUpdate(25, HXDownsampleFactor0);
    EXPECT_EQ(OverlayRefreshFactors(), (std::vector<HXDownsampleFactor>{HXDownsampleFactor3, HXDownsampleFactor0}));
    emit Overlay()->VerticalSlider()->SliderUpdate(-40, HXDownsampleFactor0);
    EXPECT_DOUBLE_EQ(transform->TranslateY(), -0.4);
    emit Overlay()->ScaleSlider()->SliderUpdate(150, HXDownsampleFactor0);
    EXPECT_DOUBLE_EQ(transform->ScaleX(), 1.5);
    emit Overlay()->RotationDial()->DialUpdate(30, HXDownsampleFactor0);
    EXPECT_DOUBLE_EQ(transform->Rotation(), 30);

    // Two flips restore the scale; a flipped overlay keeps its mirror when scaled.
    Overlay()->FlipHorizontalButton()->click();
    EXPECT_DOUBLE_EQ(transform->ScaleX(), -1.5);
    EXPECT_TRUE(Overlay()->HorizontalFlip());
    emit Overlay()->ScaleSlider()->SliderUpdate(200, HXDownsampleFactor0);
    EXPECT_DOUBLE_EQ(transform->ScaleX(), -2.0);
    EXPECT_DOUBLE_EQ(transform->ScaleY(), 2.0);
    Overlay()->FlipHorizontalButton()->click();
    EXPECT_DOUBLE_EQ(transform->ScaleX(), 2.0);
    Overlay()->FlipVerticalButton()->click();
    EXPECT_DOUBLE_EQ(transform->ScaleY(), -2.0);

    // The rotation reset undoes a flip still set.
    emit Overlay()->RotationContainer()->SignalReset();
    EXPECT_DOUBLE_EQ(transform->ScaleY(), 2.0);
    EXPECT_DOUBLE_EQ(transform->Rotation(), 0);
    EXPECT_FALSE(Overlay()->VerticalFlip());

    // The page's reset fits the overlay to the canvas again.
    Overlay()->ResetButton()->click();
    EXPECT_TRUE(Overlay()->FitCheck()->isChecked());
    EXPECT_EQ(fit->Fit(), app::FitToCanvas);
    EXPECT_EQ(Overlay()->FitCombo()->currentIndex(), 0);
}

TEST_F(OverlayTest, APlacementIsShownFromTheProjectAndFromTheCanvas)
{
    fit->SetFit(app::FitToNone);
    transform->SetTranslateX(0.1);
    transform->SetTranslateY(-0.2);
    transform->SetScaleX(-0.5);
    transform->SetScaleY(0.5);
    transform->SetRotation(90);
    Notify(DataTypeProject, FieldTypeRefreshAll);
    EXPECT_FALSE(Overlay()->FitCheck()->isChecked());
    EXPECT_TRUE(Overlay()->HorizontalFlip());
    EXPECT_FALSE(Overlay()->VerticalFlip());
    EXPECT_DOUBLE_EQ(Overlay()->ScaleSlider()->GetSpinBox()->value(), 50);
    EXPECT_DOUBLE_EQ(Overlay()->HorizontalSlider()->GetSpinBox()->value(), 10);
    EXPECT_DOUBLE_EQ(Overlay()->VerticalSlider()->GetSpinBox()->value(), -20);
    EXPECT_DOUBLE_EQ(Overlay()->RotationDial()->GetSpinBox()->value(), 90);

    // Moved on the canvas: the page shows it and asks for no render.
    overlay->SetIsValid(true);
    transform->SetTranslateX(0.33);
    transform->SetRotation(12);
    // (The page's import box has just marked the overlay's missing file offline, with its refresh.)
    layerRefreshes->clear();
    canvasRefreshes->clear();
    Notify(DataTypeCanvas, FieldTypeLayerTransform, overlay->Id());
    EXPECT_DOUBLE_EQ(Overlay()->HorizontalSlider()->GetSpinBox()->value(), 33);
    EXPECT_DOUBLE_EQ(Overlay()->RotationDial()->GetSpinBox()->value(), 12);
    EXPECT_DOUBLE_EQ(Overlay()->ScaleSlider()->GetSpinBox()->value(), 50);
    EXPECT_EQ(layerRefreshes->count(), 0);
    EXPECT_EQ(canvasRefreshes->count(), 0);
}

} // namespace
} // namespace lumo::ui::testing
