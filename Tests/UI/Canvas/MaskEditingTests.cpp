// The selected mask edited on the canvas through the view: built from the model and written back,
// points added, pulled into curves and closed by clicks, control points and whole masks dragged,
// handles deleted with the Delete key, the redraws and cache invalidations that follow, a mask
// missing from the model, and grabs of masks for a person to look at.

#include "CanvasTest.h"
#include "Grabs.h"
#include "LayoutCheck.h"
#include "MaskTestSupport.h"
#include "RefreshSignals.h"
#include "RenderProcessorTestPeer.h"

#include "Canvas/CanvasItemTypes.h"
#include "Canvas/MaskGraphicsItems.h"

#include "ForegroundImageLayer.h"
#include "LayerManager.h"
#include "TransformItems.h"

#include <QAction>
#include <QMenu>

#include <tuple>

namespace lumo::ui::testing {
namespace {

using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

struct LayerRefresh {
    QUuid id;
    app::RenderLevel level;
    HXDownsampleFactor factor;
    bool operator==(const LayerRefresh& o) const
    {
        return std::tie(id, level, factor) == std::tie(o.id, o.level, o.factor);
    }
};

// The layer refresh requests, in order.
class LayerRefreshLog {
public:
    LayerRefreshLog()
    {
        QObject::connect(Application::Instance(), kLayerSignal, &m_context,
                         [this](const QUuid& id, app::RenderLevel level, HXDownsampleFactor factor) {
                             entries.push_back({id, level, factor});
                         });
    }
    std::vector<LayerRefresh> entries;

private:
    QObject m_context;
};

app::MaskHandlePtr Straight(double x, double y)
{
    return std::make_shared<app::MaskHandle>(QPointF(x, y));
}

app::MaskHandlePtr Curved(double x, double y, QPointF left, QPointF right)
{
    return std::make_shared<app::DualControlMaskHandle>(QPointF(x, y), left, right);
}

class MaskEditingTest : public CanvasTest {
protected:
    // The green-screen photograph (632 x 474) unplaced on a canvas of its size, shown at scale 1
    // about (640, 400): its pixel (x, y) is on screen at (324 + x, 163 + y).
    void ShowAtScaleOne()
    {
        ASSERT_NO_FATAL_FAILURE(ShowGreenScreenProject(0.3));
        project = CurrentProject();
        manager = project->GetLayerManager();
        settings = manager->GetForegroundSettings();
        foreground = manager->GetForeground(manager->CurrentForegroundId());
        ASSERT_TRUE(settings && foreground);
        const auto placement = app::FindItemOfType<app::TransformationTransformItem>(
            settings->Transforms(), app::TransformItemTypeTransformation);
        ASSERT_TRUE(placement);
        ShowUnplacedAtScaleOne(*placement);
    }

    // Adds a mask to the foreground and selects it.
    app::MaskPtr AddMask(const std::vector<app::MaskHandlePtr>& handles, bool closed,
                         app::MaskMode mode = app::MaskModeCreate)
    {
        auto mask = std::make_shared<app::Mask>("mask", true, false, closed, true, 0, 1.0f, 1.0f);
        for (const app::MaskHandlePtr& handle : handles)
            mask->Add(handle);
        EXPECT_EQ(settings->Masks().Add(mask), app::LMerrSuccess);
        settings->Masks().SetCurrentlySelectedMask(mask->Id());
        settings->Masks().SetCurrentMaskMode(mode);
        return mask;
    }

    void ShowMasksToolset()
    {
        project->SetCurrentToolset(app::ToolsetSectionMasks);
        Notify(DataTypeInterface, FieldTypeCurrentToolset);
    }

    // A foreground pixel's place in the view.
    QPoint OnScreen(const QPointF& pixel) const { return view.MaskShape()->mapToScene(pixel).toPoint(); }

    std::vector<QPointF> ModelPositions(const app::Mask& mask) const
    {
        std::vector<QPointF> positions;
        for (auto h = mask.Begin(); h != mask.End(); ++h)
            positions.push_back((*h)->Position());
        return positions;
    }

    // Both caches of the foreground at the preview factor drawn, masks included, and both shadow
    // flags set, so that what goes stale shows.
    void FillCaches()
    {
        QImage image;
        ASSERT_EQ(App().RenderAllLayersToCanvas(image, HXDownsampleFactor0), app::LMerrSuccess);
        ASSERT_EQ(App().RenderAllLayersToCanvas(image, HXDownsampleFactor3), app::LMerrSuccess);
        Tables().ShadowValid[HXDownsampleFactor0] = true;
        Tables().ShadowValid[HXDownsampleFactor3] = true;
        // From here on the scene's paints render nothing, so that the caches stay as the edits
        // leave them.
        forcedResult = app::LMerrSuccess;
    }

    static app::RenderProcessorTestPeer::Tables& Tables()
    {
        return app::RenderProcessorTestPeer::Impl(*App().GetRenderProcessor());
    }

    static bool MaskCacheValid(const QUuid& id)
    {
        const auto record = Tables().alphaMaskRenderer->Record(id);
        return record && record->fullValid && record->reducedValid;
    }

    bool PreviewStaleFromPlacement() const
    {
        app::RenderLevel level = app::RenderLevelKey;
        return !App().GetRenderProcessor()->IsCacheValid(foreground, HXDownsampleFactor3, level) &&
               level == app::RenderLevelPostFilter;
    }

    void Drag(const QPoint& from, const QPoint& to, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, from);
        QTest::mouseEvent(QTest::MouseMove, view.viewport(), Qt::NoButton, modifiers, to);
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, to);
    }

    app::ProjectPtr project;
    app::LayerManagerPtr manager;
    app::ForegroundImageLayerSettingsPtr settings;
    app::ImageLayerPtr foreground;
};

TEST_F(MaskEditingTest, BuildingThenStoringKeepsTheMaskAndRenewsItsHandles)
{
    ASSERT_NO_FATAL_FAILURE(ShowAtScaleOne());
    const app::MaskPtr plain =
        AddMask({Straight(30, 30), Curved(130, 30, {-20, 10}, {20, -9.75}), Straight(80, 130)}, true);
    const auto mono = std::make_shared<app::MonoControlMaskHandle>(QPointF(100, 20), QPointF(60, -15.5));
    const app::MaskPtr withMono =
        AddMask({Straight(10, 20), mono, Curved(100, 120, {-20, 10}, {20, -9.75}), Straight(10, 120)}, true);
    withMono->SetFeather(5);
    withMono->SetInverted(true);
    withMono->SetRemove(false);
    ASSERT_NO_FATAL_FAILURE(FillCaches());
    ASSERT_TRUE(MaskCacheValid(plain->Id()) && MaskCacheValid(withMono->Id()));

    struct Case {
        const char* name;
        app::MaskPtr mask;
        std::vector<app::MaskHandleType> storedTypes;
        bool changed;
    };
    const std::vector<Case> cases = {
        {"unchanged", plain,
         {app::MaskHandleTypeNoControl, app::MaskHandleTypeDualControl, app::MaskHandleTypeNoControl}, false},
        // The canvas keeps no single control point: that handle comes back straight.
        {"a handle with one control point", withMono,
         {app::MaskHandleTypeNoControl, app::MaskHandleTypeNoControl, app::MaskHandleTypeDualControl,
          app::MaskHandleTypeNoControl},
         true},
    };
    ShowMasksToolset();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        settings->Masks().SetCurrentlySelectedMask(c.mask->Id());
        MaskSignalLog log;
        view.CreateMaskItems(c.mask->Id());
        const MaskShapeGraphicsItem* shape = view.MaskShape();
        ASSERT_NE(shape, nullptr);
        EXPECT_EQ(log.entries, (std::vector<std::string>{"closed", "enable"}));
        EXPECT_EQ(shape->MaskId(), c.mask->Id());
        EXPECT_TRUE(shape->IsClosed());
        EXPECT_EQ(shape->Feather(), c.mask->Feather());
        EXPECT_EQ(shape->IsInverted(), c.mask->IsInverted());
        EXPECT_EQ(shape->IsRemove(), c.mask->IsRemove());
        std::vector<QPointF> shown;
        for (const MaskHandleGraphicsItem* h : shape->Handles())
            shown.push_back(h->pos());
        EXPECT_EQ(shown, ModelPositions(*c.mask));

        std::vector<QUuid> idsBefore;
        for (auto h = c.mask->Begin(); h != c.mask->End(); ++h)
            idsBefore.push_back((*h)->Id());
        const app::Mask before(*c.mask);
        view.StoreMaskHandles();

        EXPECT_EQ(ModelPositions(*c.mask), ModelPositions(before));
        std::vector<app::MaskHandleType> types;
        for (auto h = c.mask->Begin(); h != c.mask->End(); ++h) {
            types.push_back((*h)->Type());
            EXPECT_EQ(std::count(idsBefore.begin(), idsBefore.end(), (*h)->Id()), 0) << "a new id";
        }
        EXPECT_EQ(types, c.storedTypes);
        const auto curved = std::static_pointer_cast<app::DualControlMaskHandle>(*(c.mask->End() - 2));
        EXPECT_EQ(curved->LeftControlPosition(), QPointF(-20, 10));
        EXPECT_EQ(curved->RightControlPosition(), QPointF(20, -9.75));
        EXPECT_EQ(c.mask->IsClosed(), before.IsClosed());
        EXPECT_EQ(c.mask->Feather(), before.Feather());
        EXPECT_EQ(c.mask->IsInverted(), before.IsInverted());
        EXPECT_EQ(c.mask->IsRemove(), before.IsRemove());
        EXPECT_EQ(c.mask->IsEnabled(), before.IsEnabled());
        // Only a change drops the mask's coverage and the shadow, which is cut with the masks.
        EXPECT_EQ(MaskCacheValid(c.mask->Id()), !c.changed);
        EXPECT_EQ(Tables().ShadowValid[HXDownsampleFactor0], !c.changed);
        EXPECT_EQ(Tables().ShadowValid[HXDownsampleFactor3], !c.changed);
    }
    EXPECT_TRUE(MaskCacheValid(plain->Id())) << "another mask's coverage stays";
}

// Opening a saved project and looking at its mask at another zoom is no change: the project
// asks no save question and the feather, which follows the zoom the mask was drawn at, stays.
TEST_F(MaskEditingTest, ShowingAMaskKeepsTheZoomItWasDrawnAt)
{
    ASSERT_NO_FATAL_FAILURE(ShowAtScaleOne());
    const app::MaskPtr mask = AddMask({Straight(30, 30), Straight(130, 30), Straight(80, 130)}, true);
    mask->SetZoom(0.5f);
    ShowMasksToolset();
    settings->Masks().SetCurrentlySelectedMask(mask->Id());
    view.CreateMaskItems(mask->Id());
    ASSERT_NE(view.MaskShape(), nullptr);
    EXPECT_EQ(mask->Zoom(), 0.5f);
    view.StoreMaskHandles();
    EXPECT_EQ(mask->Zoom(), project->GetCanvas().Scale()) << "an edit is stored at the zoom it was made at";
}

TEST_F(MaskEditingTest, AReleaseWritesTheEditBackAndAClosedMaskRedrawsTheForeground)
{
    ASSERT_NO_FATAL_FAILURE(ShowAtScaleOne());
    const QUuid slot = manager->LayerList()->StaticForegroundId();
    const std::vector<LayerRefresh> redraw = {{slot, app::RenderLevelPostFilter, HXDownsampleFactor0}};
    struct Case {
        const char* name;
        bool closed;
        QPointF pressAt; // foreground pixels
        std::vector<QPointF> after;
    };
    const std::vector<Case> cases = {
        // Inside, away from the outline: the closed mask moves whole.
        {"a closed mask moved whole", true, {60, 60}, {{40, -10}, {140, -10}, {140, 90}, {40, 90}}},
        {"a handle of a closed mask", true, {110, 10}, {{10, 10}, {140, -10}, {110, 110}, {10, 110}}},
        {"a handle of an open mask", false, {110, 10}, {{10, 10}, {140, -10}, {110, 110}, {10, 110}}},
    };
    ShowMasksToolset();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const app::MaskPtr mask =
            AddMask({Straight(10, 10), Straight(110, 10), Straight(110, 110), Straight(10, 110)}, c.closed);
        ShowMasksToolset();
        forcedResult.reset();
        ASSERT_NO_FATAL_FAILURE(FillCaches());
        ASSERT_FALSE(PreviewStaleFromPlacement());
        LayerRefreshLog refreshes;

        const QPoint from = OnScreen(c.pressAt);
        Drag(from, from + QPoint(30, -20));

        EXPECT_EQ(ModelPositions(*mask), c.after);
        EXPECT_EQ(view.MaskShape()->HandleCount(), 4) << "a press on a closed mask away from its outline adds nothing";
        EXPECT_FALSE(MaskCacheValid(mask->Id()));
        if (c.closed) {
            EXPECT_TRUE(PreviewStaleFromPlacement());
            EXPECT_EQ(refreshes.entries, redraw);
        } else {
            EXPECT_FALSE(PreviewStaleFromPlacement()) << "an open mask cuts nothing";
            EXPECT_TRUE(refreshes.entries.empty());
        }
    }
}

TEST_F(MaskEditingTest, AClickAddsAPointAndAPullOfMoreThanTenPixelsCurvesIt)
{
    ASSERT_NO_FATAL_FAILURE(ShowAtScaleOne());
    forcedResult = app::LMerrSuccess;
    const app::MaskPtr mask = AddMask({Straight(10, 10), Straight(110, 10)}, false);
    ShowMasksToolset();
    struct Case {
        const char* name;
        std::vector<QPoint> pulls; // moves from the press, in order
        Qt::KeyboardModifiers modifiers;
        bool added;
        bool curved;
        QPointF right;
        QPointF left;
    };
    const std::vector<Case> cases = {
        {"a click", {}, {}, true, false, {}, {}},
        {"a pull of 10", {{10, 0}}, {}, true, false, {}, {}},
        {"a pull of 11", {{11, 0}}, {}, true, true, {11, 0}, {11, 0}},
        {"a pull of 5 + 5", {{5, 5}}, {}, true, false, {}, {}},
        {"a pull of 6 + 5", {{6, 5}}, {}, true, true, {6, 5}, {6, 5}},
        // Once drawn out, the leaving control point follows the pointer and the arriving one is
        // its mirror through the press.
        {"a pull on", {{11, 0}, {20, 5}}, {}, true, true, {20, 5}, {-20, -5}},
        {"with Ctrl: a rubber band", {{40, 30}}, Qt::ControlModifier, false, false, {}, {}},
    };
    int x = 200;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        x += 40;
        const int before = static_cast<int>(mask->Size());
        const QPoint press = OnScreen(QPointF(x, 200));
        MaskSignalLog log;
        QTest::mousePress(view.viewport(), Qt::LeftButton, c.modifiers, press);
        for (const QPoint& pull : c.pulls)
            QTest::mouseMove(view.viewport(), press + pull);
        const QPoint end = press + (c.pulls.empty() ? QPoint() : c.pulls.back());
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, c.modifiers, end);

        ASSERT_EQ(static_cast<int>(mask->Size()), before + (c.added ? 1 : 0));
        if (!c.added) {
            EXPECT_TRUE(log.entries.empty());
            continue;
        }
        EXPECT_EQ(log.entries, std::vector<std::string>{"enable"}) << "closing becomes possible";
        const MaskHandleGraphicsItem* added = view.MaskShape()->Handles().back();
        EXPECT_TRUE(added->IsSettled());
        EXPECT_EQ(added->pos(), QPointF(x, 200));
        const app::MaskHandlePtr stored = *(mask->End() - 1);
        EXPECT_EQ(stored->Position(), QPointF(x, 200));
        ASSERT_EQ(stored->Type(), c.curved ? app::MaskHandleTypeDualControl : app::MaskHandleTypeNoControl);
        if (c.curved) {
            const auto& dual = static_cast<const app::DualControlMaskHandle&>(*stored);
            EXPECT_EQ(dual.RightControlPosition(), c.right);
            EXPECT_EQ(dual.LeftControlPosition(), c.left);
        }
    }
}

TEST_F(MaskEditingTest, ClickingTheFirstHandleClosesTheMaskAndAPullCurvesTheClosingPoint)
{
    ASSERT_NO_FATAL_FAILURE(ShowAtScaleOne());
    forcedResult = app::LMerrSuccess;
    const std::vector<app::MaskHandlePtr> three = {Straight(10, 10), Straight(110, 10), Straight(110, 110)};
    struct Case {
        const char* name;
        std::vector<app::MaskHandlePtr> handles;
        int clicked;
        std::vector<QPoint> pulls;
        bool closes;
        std::optional<std::pair<QPointF, QPointF>> firstOffsets; // right, left
    };
    const std::vector<Case> cases = {
        {"three handles, the first", three, 0, {}, true, std::nullopt},
        // The pull draws the closing point's control points out along it, the arriving one
        // opposite.
        {"three handles, the first, pulled", three, 0, {{15, 0}, {30, 10}}, true,
         std::make_pair(QPointF(30, 10), QPointF(-30, -10))},
        // Closing puts the arriving control point of a curved first point on the point.
        {"a curved first handle", {Curved(10, 10, {-20, 0}, {20, 0}), three[1], three[2]}, 0, {}, true,
         std::make_pair(QPointF(20, 0), QPointF(0, 0))},
        // Pulled, its leaving control point turns towards the pointer at its own length.
        {"a curved first handle, pulled", {Curved(10, 10, {-20, 0}, {20, 0}), three[1], three[2]}, 0, {{0, 30}}, true,
         std::make_pair(QPointF(0, 20), QPointF(0, -30))},
        {"three handles, the second", three, 1, {}, false, std::nullopt},
        {"two handles, the first", {three[0], three[1]}, 0, {}, false, std::nullopt},
    };
    ShowMasksToolset();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const app::MaskPtr mask = AddMask(c.handles, false);
        ShowMasksToolset();
        MaskSignalLog log;
        LayerRefreshLog refreshes;
        const QPoint at = OnScreen(c.handles[static_cast<std::size_t>(c.clicked)]->Position());
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, at);
        for (const QPoint& pull : c.pulls)
            QTest::mouseMove(view.viewport(), at + pull);
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, at + (c.pulls.empty() ? QPoint() : c.pulls.back()));

        EXPECT_EQ(mask->IsClosed(), c.closes);
        ASSERT_EQ(mask->Size(), c.handles.size()) << "a press on a handle adds none";
        EXPECT_EQ(ModelPositions(*mask).front(), QPointF(10, 10)) << "the closing point stays";
        EXPECT_EQ(log.entries, c.closes ? std::vector<std::string>{"closed"} : std::vector<std::string>{});
        EXPECT_EQ(refreshes.entries.size(), c.closes ? 1u : 0u) << "a closed mask cuts the foreground";
        const app::MaskHandlePtr first = *mask->Begin();
        ASSERT_EQ(first->Type(), c.firstOffsets ? app::MaskHandleTypeDualControl : app::MaskHandleTypeNoControl);
        if (c.firstOffsets) {
            const auto& curved = static_cast<const app::DualControlMaskHandle&>(*first);
            EXPECT_EQ(curved.RightControlPosition(), c.firstOffsets->first);
            EXPECT_EQ(curved.LeftControlPosition(), c.firstOffsets->second);
        }
    }
}

TEST_F(MaskEditingTest, ControlPointsAreDraggedOppositeEachOther)
{
    ASSERT_NO_FATAL_FAILURE(ShowAtScaleOne());
    forcedResult = app::LMerrSuccess;
    struct Case {
        const char* name;
        bool right; // which control point is dragged
        QPointF to; // offset from the handle
        Qt::KeyboardModifiers modifiers;
        QPointF rightAfter;
        QPointF leftAfter;
    };
    const std::vector<Case> cases = {
        {"collinear: the other keeps its length", true, {0, 40}, {}, {0, 40}, {0, -10}},
        {"with Ctrl: the exact mirror", true, {0, 40}, Qt::ControlModifier, {0, 40}, {0, -40}},
        {"onto the centre: the other stays", true, {0, 0}, {}, {0, 0}, {-10, 0}},
        {"the left one", false, {-20, 0}, {}, {30, 0}, {-20, 0}},
    };
    ShowMasksToolset();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const app::MaskPtr mask =
            AddMask({Straight(10, 10), Curved(110, 60, {-10, 0}, {30, 0}), Straight(210, 10)}, false);
        ShowMasksToolset();
        // A click selects the handle and shows its control points.
        const QPoint handle = OnScreen(QPointF(110, 60));
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, handle);
        MaskHandleGraphicsItem* curved = view.MaskShape()->Handle(1);
        ASSERT_TRUE(curved->isSelected());
        ASSERT_TRUE(curved->RightController()->isVisible());

        const QPoint from = handle + (c.right ? QPoint(30, 0) : QPoint(-10, 0));
        Drag(from, handle + c.to.toPoint(), c.modifiers);

        EXPECT_EQ(curved->pos(), QPointF(110, 60)) << "the handle stays";
        EXPECT_EQ(curved->RightOffset(), c.rightAfter);
        EXPECT_EQ(curved->LeftOffset(), c.leftAfter);
        const auto& stored = static_cast<const app::DualControlMaskHandle&>(**(mask->Begin() + 1));
        EXPECT_EQ(stored.RightControlPosition(), c.rightAfter);
        EXPECT_EQ(stored.LeftControlPosition(), c.leftAfter);
    }
}

TEST_F(MaskEditingTest, DeleteRemovesTheSelectedHandlesAndRedraws)
{
    ASSERT_NO_FATAL_FAILURE(ShowAtScaleOne());
    const QUuid slot = manager->LayerList()->StaticForegroundId();
    const std::vector<LayerRefresh> redraw = {{slot, app::RenderLevelPostFilter, HXDownsampleFactor0}};
    struct Case {
        const char* name;
        std::function<void()> remove;
    };
    const std::vector<Case> cases = {
        {"the Delete key", [&] { QTest::keyClick(&view, Qt::Key_Delete); }},
        {"the Backspace key", [&] { QTest::keyClick(&view, Qt::Key_Backspace); }},
        {"the context menu", [&] {
             const std::unique_ptr<QMenu> menu = view.MaskShape()->Handle(1)->ContextMenu();
             menu->actions().back()->trigger();
         }},
    };
    ShowMasksToolset();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const app::MaskPtr mask =
            AddMask({Straight(10, 10), Straight(110, 10), Straight(110, 110)}, true, app::MaskModeSelect);
        ShowMasksToolset();
        forcedResult.reset();
        ASSERT_NO_FATAL_FAILURE(FillCaches());
        view.MaskShape()->Handle(1)->setSelected(true);
        MaskSignalLog log;
        LayerRefreshLog refreshes;
        c.remove();
        EXPECT_EQ(ModelPositions(*mask), (std::vector<QPointF>{{10, 10}, {110, 110}}));
        EXPECT_FALSE(mask->IsClosed()) << "two points enclose nothing";
        EXPECT_EQ(log.entries, (std::vector<std::string>{"opened", "disable"}));
        EXPECT_FALSE(MaskCacheValid(mask->Id()));
        EXPECT_TRUE(PreviewStaleFromPlacement());
        EXPECT_EQ(refreshes.entries, redraw);
    }

    // Without a mask shown, Delete does nothing.
    settings->Masks().SetCurrentlySelectedMask(QUuid());
    ShowMasksToolset();
    ASSERT_EQ(view.MaskShape(), nullptr);
    MaskSignalLog log;
    LayerRefreshLog refreshes;
    QTest::keyClick(&view, Qt::Key_Delete);
    EXPECT_TRUE(log.entries.empty());
    EXPECT_TRUE(refreshes.entries.empty());
}

TEST_F(MaskEditingTest, AMaskMissingFromTheModelGoesToTheFatalRoadOnce)
{
    ASSERT_NO_FATAL_FAILURE(ShowAtScaleOne());
    forcedResult = app::LMerrSuccess;
    const QString text = "Mask Data has become corrupted, please notify support@halvern.com and restart "
                         "Halvern Lumora 4.";
    const auto countShapes = [&] {
        const QList<QGraphicsItem*> items = scene.items();
        return std::count_if(items.begin(), items.end(),
                             [](const QGraphicsItem* i) { return i->type() == CanvasItemMaskShape; });
    };

    // Building: the selected mask is not in the list.
    settings->Masks().SetCurrentlySelectedMask(QUuid::createUuid());
    Dialogs().AnswerMessage(QMessageBox::Ok).ExpectExit();
    ShowMasksToolset();
    view.CreateMaskItems(settings->Masks().CurrentlySelectedMask());
    EXPECT_EQ(view.MaskShape(), nullptr);
    EXPECT_EQ(countShapes(), 0);
    EXPECT_TRUE(Dialogs().Requests().empty()) << "reported from the event loop";
    ProcessEvents();
    ASSERT_EQ(Dialogs().RequestsOf(DialogRequest::Message).size(), 1u);
    const QString& reported = Dialogs().Requests()[0].message.text;
    EXPECT_TRUE(reported.contains(text)) << reported.toStdString();
    EXPECT_EQ(Dialogs().RequestsOf(DialogRequest::Exit).size(), 1u);

    // Storing: the shown mask has left the list under the items.
    const app::MaskPtr other = AddMask({Straight(10, 10), Straight(110, 10), Straight(110, 110)}, true);
    const app::MaskPtr shown = AddMask({Straight(20, 20), Straight(120, 20), Straight(120, 120)}, true);
    ShowMasksToolset();
    ASSERT_NE(view.MaskShape(), nullptr);
    ASSERT_EQ(settings->Masks().Remove(shown->Id()), app::LMerrSuccess);
    const app::Mask otherBefore(*other);
    Dialogs().AnswerMessage(QMessageBox::Ok).ExpectExit();
    const QPoint at = OnScreen(QPointF(120, 20));
    Drag(at, at + QPoint(10, 10));
    ProcessEvents();
    EXPECT_EQ(Dialogs().RequestsOf(DialogRequest::Message).size(), 2u);
    EXPECT_FALSE(*other != otherBefore) << "no other mask takes the outline";
    EXPECT_EQ(ModelPositions(*shown), (std::vector<QPointF>{{20, 20}, {120, 20}, {120, 120}}));
}

TEST_F(MaskEditingTest, GrabsOfMasks)
{
    ASSERT_NO_FATAL_FAILURE(ShowAtScaleOne());
    const QSize size = foreground->Dimensions();
    const double w = size.width();
    const double h = size.height();
    // A shape round the subject's head and shoulders, curved at the top.
    const auto outline = [&] {
        return std::vector<app::MaskHandlePtr>{
            Straight(w * 0.2, h * 0.95), Curved(w * 0.25, h * 0.35, {0, h * 0.15}, {0, -h * 0.15}),
            Curved(w * 0.5, h * 0.08, {-w * 0.15, 0}, {w * 0.15, 0}),
            Curved(w * 0.75, h * 0.35, {0, -h * 0.15}, {0, h * 0.15}), Straight(w * 0.8, h * 0.95)};
    };
    struct Case {
        const char* name;
        bool closed;
        bool inverted;
        int feather;
    };
    const std::vector<Case> cases = {
        {"canvas-mask-open", false, false, 0},
        {"canvas-mask-closed", true, false, 0},
        {"canvas-mask-inverted", true, true, 0},
        {"canvas-mask-feathered", true, false, 12},
    };
    ShowMasksToolset();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const app::MaskPtr mask = AddMask(outline(), c.closed);
        mask->SetInverted(c.inverted);
        mask->SetFeather(c.feather);
        ShowMasksToolset();
        ASSERT_NE(view.MaskShape(), nullptr);
        // The top handle selected, showing its control points; the pointer over the next one.
        view.MaskShape()->Handle(2)->setSelected(true);
        QTest::mouseMove(view.viewport(), QPoint(5, 5));
        QTest::mouseMove(view.viewport(), OnScreen(view.MaskShape()->Handle(3)->pos()));
        EXPECT_TRUE(view.MaskShape()->Handle(3)->IsHovered());
        App().RequestLayerRefresh(app::LayerTypeForeground, app::RenderLevelPostFilter, HXDownsampleFactor0);
        const QImage grab = Grab();
        EXPECT_FALSE(SaveGrab(grab, c.name).isEmpty());
        ExpectItemDrawn(view.MaskShape(), grab);
    }
    const std::unique_ptr<QMenu> menu = view.MaskShape()->Handle(2)->ContextMenu();
    menu->adjustSize();
    EXPECT_FALSE(SaveGrab(menu->grab().toImage(), "canvas-mask-menu").isEmpty());
    ExpectSoundLayout(*menu, "handle menu");
    for (const QAction* action : menu->actions()) {
        if (!action->isSeparator()) {
            EXPECT_FALSE(action->icon().pixmap(16, 16).isNull()) << action->text().toStdString();
        }
    }
}

} // namespace
} // namespace lumo::ui::testing
