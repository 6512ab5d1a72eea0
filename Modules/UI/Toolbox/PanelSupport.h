#pragma once

// What the toolbox panels share besides their tables: the project, layers and lists they edit,
// the message at an item limit, the refresh after a mask edit and the title of a properties panel.

#include "LayerManager.h"
#include "LayerSettings.h"
#include "Mask.h"
#include "Project.h"
#include "RenderProcessor.h"
#include "TextItem.h"

#include <QString>
#include <QUuid>

#include <iterator>
#include <memory>

class QFrame;
class QLabel;
class QWidget;

namespace lumo::ui {

class CanvasView;

// The open project and its layers, looked up afresh at each call; null without them.
app::ProjectPtr CurrentPanelProject();
app::LayerManagerPtr CurrentLayerManager();

// The application's canvas view and render processor; null without them.
CanvasView* CurrentCanvasView();
std::shared_ptr<app::RenderProcessor> CurrentRenderProcessor();

// Gives the widget the application's style sheet, unless a window or panel around it carries it
// already: the widget's new children take it from there, and setting it again would parse and
// polish the whole sheet once more for every rebuild.
void ApplyApplicationStyleSheet(QWidget* widget);

// The current foreground's settings (the shared defaults' while it has none of its own); null
// without a project.
app::ForegroundImageLayerSettingsPtr CurrentForegroundSettings();

// The current foreground's lists (the shared defaults' while there is none), looked up afresh at
// each call; null only without a project.
app::MaskList* CurrentMaskList();
app::TextList* CurrentTextList();

// The item of a list (masks or text) with the id; null without a list or when it lacks the id.
template <class List>
auto FindInList(const List* list, const QUuid& id)
{
    typename std::iterator_traits<typename List::ConstIterator>::value_type item;
    if (list == nullptr || id.isNull() || list->Get(id, item) != app::LMerrSuccess)
        item.reset();
    return item;
}

// The information box at an item limit, over the active window.
void ShowItemLimitMessage(const QString& text);

// After a mask edit: the shadow's caches at both factors and, for a mask id, that mask's coverage
// become stale, the current foreground's preview from its placement on, and the foreground is
// redrawn from there in full.
void RequestMaskRefresh(const QUuid& maskId = QUuid());

// Shows "<name> Properties" in the label, the name cut with an ellipsis so that the whole fits in
// width less reserve pixels.
void SetPropertiesTitle(QLabel& label, const QString& name, int width, int reserve);

// A section body that scrolls: fills owner (margins 0) with a frameless scroll area, its vertical
// bar always shown, and returns the area's frame ("ToolboxFrame") for the body's layout.
QFrame* AddToolboxScrollFrame(QWidget& owner);

} // namespace lumo::ui
