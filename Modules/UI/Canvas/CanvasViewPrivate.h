#pragma once

// What the canvas view's files share: the helpers that read the current project and the view's
// private state. Only the CanvasView*.cpp files include it.

#include "Canvas/CanvasView.h"

#include "Canvas/CanvasItemTypes.h"
#include "Canvas/CropGraphicsItem.h"
#include "Canvas/GraphicsItemDeleter.h"
#include "Canvas/HandleGraphicsItems.h"
#include "Canvas/MaskGraphicsItems.h"
#include "Canvas/ShadowQuadGraphicsItems.h"
#include "Canvas/TextGraphicsItems.h"
#include "Shell/Application.h"
#include "Shell/Identity.h"

#include "FilterItems.h"
#include "DrawableValues.h"
#include "ForegroundImageLayer.h"
#include "KeyItems.h"
#include "LayerManager.h"
#include "Project.h"
#include "TextItem.h"
#include "TransformItems.h"
#include "TransformationFunctions.h"

#include <QApplication>
#include <QFileInfo>
#include <QGraphicsItem>
#include <QKeyEvent>
#include <QLineF>
#include <QMap>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace lumo::ui {

using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

namespace canvasview {

constexpr int kCentreMargin = 40;
// One notch of a mouse wheel (120) zooms by 0.05.
constexpr float kWheelUnitsPerScale = 2400.0f;
constexpr float kMaximumScale = 4.0f;
constexpr float kMinimumScale = 0.01f;

// A Ctrl move locks an axis once the pointer is this far from the press.
constexpr double kAxisLockDistance = 5.0;
// Dragging the scale handle 100 pixels down adds 1 to the layer's scale.
constexpr double kScaleDragPixels = 100.0;
constexpr double kMinimumLayerScale = 0.1;
constexpr double kMaximumLayerScale = 5.0;
// Ctrl turns in steps of 45 degrees.
constexpr double kRotationSnap = 45.0;

// Ctrl keeps a move on the axis it started along, once that is clear: 5 pixels from the press, a
// mostly vertical start locks x, any other y. Without Ctrl both axes are free.
inline void FollowAxisLock(const QPointF& press, const QPointF& at, Qt::KeyboardModifiers modifiers, bool& xLocked,
                    bool& yLocked)
{
    if (!modifiers.testFlag(Qt::ControlModifier)) {
        xLocked = yLocked = false;
    } else if (!xLocked && !yLocked) {
        const QLineF line(press, at);
        if (line.length() > kAxisLockDistance) {
            const double angle = line.angle();
            if ((angle > 225 && angle < 315) || (angle > 45 && angle < 135))
                xLocked = true;
            else
                yLocked = true;
        }
    }
}

// The move from the press, a locked axis contributing nothing.
inline QPointF LockedDelta(const QPointF& press, const QPointF& at, bool xLocked, bool yLocked)
{
    return {xLocked ? 0.0 : at.x() - press.x(), yLocked ? 0.0 : at.y() - press.y()};
}

// The angle a drag about centre turns to from the angle at the press, in degrees between 0 and
// 360 (a drag back past 0 wraps); Ctrl snaps to the nearest 45 degrees, so 337.5 and above give
// 360.
inline double DragAngle(const QPointF& press, const QPointF& at, const QPointF& centre, double angleAtPress,
                 Qt::KeyboardModifiers modifiers)
{
    double angle = QLineF(press, centre).angle() - QLineF(at, centre).angle() + angleAtPress;
    if (angle < 0)
        angle += 360;
    if (angle > 360)
        angle -= 360;
    if (modifiers.testFlag(Qt::ControlModifier))
        angle = std::trunc((angle + kRotationSnap / 2) / kRotationSnap) * kRotationSnap;
    return angle;
}

inline app::ProjectPtr CurrentProject()
{
    const Application* app = Application::Instance();
    return app != nullptr ? app->GetDocument()->GetProject() : nullptr;
}

// Layers and the overlay are placed by hand only without a fit, or with a fit to none.
inline bool PlacedByHand(const app::LayerManager& manager, const QUuid& layerId)
{
    const app::ImageLayerSettingsPtr settings = manager.GetLayerSettings(layerId);
    if (!settings)
        return true;
    const auto fit = app::FindItemOfType<app::FitTransformItem>(settings->Transforms(), app::TransformItemTypeFit);
    return !fit || fit->Fit() == app::FitToNone;
}

// The current foreground and its settings in force; null without a current foreground.
inline app::ImageLayerPtr CurrentForeground(const app::LayerManager& manager)
{
    const QUuid& id = manager.CurrentForegroundId();
    return id.isNull() ? nullptr : manager.GetForeground(id);
}

inline app::ForegroundImageLayerSettingsPtr CurrentForegroundSettings(const app::LayerManager& manager)
{
    return manager.CurrentForegroundId().isNull() ? nullptr : manager.GetForegroundSettings();
}

// The current foreground's cast shadow and crop key; null when it has none.
inline std::shared_ptr<app::ShadowCastFilterItem> ShadowFilter(const app::LayerManager& manager)
{
    const app::ForegroundImageLayerSettingsPtr settings = CurrentForegroundSettings(manager);
    return settings ? app::FindItemOfType<app::ShadowCastFilterItem>(settings->Filters(), app::FilterItemTypeShadowCast)
                    : nullptr;
}

inline std::shared_ptr<app::CropKeyItem> CropKey(const app::LayerManager& manager)
{
    const app::ForegroundImageLayerSettingsPtr settings = CurrentForegroundSettings(manager);
    return settings ? app::FindItemOfType<app::CropKeyItem>(settings->Keys(), app::KeyItemTypeCrop) : nullptr;
}

// The list the text panels edit: the current foreground's, or the shared defaults' while there
// is none. Null only for a project whose loading failed.
inline app::TextList* CurrentTextList()
{
    const app::ProjectPtr project = CurrentProject();
    const app::ForegroundImageLayerSettingsPtr settings =
        project ? project->GetLayerManager()->GetForegroundSettings() : nullptr;
    return settings ? &settings->TextItems() : nullptr;
}

inline app::TextItemPtr FindTextItem(const QUuid& id)
{
    app::TextList* list = CurrentTextList();
    app::TextItemPtr item;
    if (list == nullptr || list->Get(id, item) != app::LMerrSuccess)
        return nullptr;
    return item;
}

inline bool InTextToolset()
{
    const app::ProjectPtr project = CurrentProject();
    return project && project->CurrentToolset() == app::ToolsetSectionText;
}

// What the item shows, as Base64 of its UTF-8 bytes: its own text, or the current foreground's
// file name or path.
inline QByteArray ShownText(const app::TextItem& item)
{
    switch (item.UseOption()) {
    case app::TextUseFilename:
        return QFileInfo(Application::Instance()->CurrentForegroundPath()).fileName().toUtf8().toBase64();
    case app::TextUseFilePath:
        return Application::Instance()->CurrentForegroundPath().toUtf8().toBase64();
    case app::TextUseCustom:
        break;
    }
    return item.TextString();
}

// The item's font at a size, drawn as the export draws it.
inline QFont ShownFont(const app::TextItem& item, int pointSize)
{
    QFont font(item.FontName(), app::drawable::FontSize(pointSize));
    font.setStyleStrategy(QFont::PreferAntialias);
    font.setBold(item.IsBold());
    font.setItalic(item.IsItalic());
    font.setUnderline(item.IsUnderlined());
    return font;
}

} // namespace canvasview

struct CanvasView::Private {
    LayerQuadGraphicsItem* layerQuad = nullptr;
    LayerRotateGraphicsItem* layerRotateItem = nullptr;
    MaskShapeGraphicsItem* maskShape = nullptr;
    TextQuadGraphicsItem* textQuad = nullptr;
    TextRotateGraphicsItem* textRotateItem = nullptr;
    CropGraphicsItem* crop = nullptr;
    ShadowQuadGraphicsItem* shadowQuad = nullptr;

    bool panning = false;
    bool panCursorShown = false;
    QPointF pressPosition;
    int canvasXAtPress = 0;
    int canvasYAtPress = 0;
    bool spaceHeld = false;

    bool layerXLocked = false;
    bool layerYLocked = false;
    bool textXLocked = false;
    bool textYLocked = false;
    bool layerMove = false;
    bool layerScale = false;
    bool layerRotate = false;
    bool textMove = false;
    bool textScale = false;
    bool textRotate = false;
    bool shadowDrag = false;
    // The press reset a handle's value (a right click on a layer's scale or rotate handle).
    bool pressReset = false;

    double layerTranslateXAtPress = 0;
    double layerTranslateYAtPress = 0;
    double layerScaleXAtPress = 0;
    double layerScaleYAtPress = 0;
    double layerRotationAtPress = 0;
    double textXAtPress = 0;
    double textYAtPress = 0;
    int textFontSizeAtPress = 0;
    double textAngleAtPress = 0;

    app::MaskMode maskMode = app::MaskModeCreate;
    // The canvas item of each text item by its id; the text items stay hidden while set.
    QMap<QUuid, TextLayerGraphicsItem*> textItems;
    bool textHidden = false;
};

} // namespace lumo::ui
