#include "Toolbox/PanelSupport.h"

#include "Shell/Application.h"

#include "LayerManager.h"
#include "LayerSettings.h"
#include "Project.h"

#include <QFontMetrics>
#include <QFrame>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QLabel>

#include <algorithm>

namespace lumo::ui {

using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

app::ForegroundImageLayerSettingsPtr CurrentForegroundSettings()
{
    const app::LayerManagerPtr manager = CurrentLayerManager();
    return manager ? manager->GetForegroundSettings() : nullptr;
}

app::ProjectPtr CurrentPanelProject()
{
    const Application* app = Application::Instance();
    return app != nullptr ? app->GetDocument()->GetProject() : nullptr;
}

app::LayerManagerPtr CurrentLayerManager()
{
    const app::ProjectPtr project = CurrentPanelProject();
    return project ? project->GetLayerManager() : nullptr;
}

void ApplyApplicationStyleSheet(QWidget* widget)
{
    const Application* app = Application::Instance();
    if (widget == nullptr || app == nullptr)
        return;
    const QString& sheet = app->ApplicationStyleSheet();
    for (const QWidget* around = widget->parentWidget(); around != nullptr; around = around->parentWidget())
        if (around->styleSheet() == sheet)
            return;
    if (widget->styleSheet() != sheet)
        widget->setStyleSheet(sheet);
}

CanvasView* CurrentCanvasView()
{
    const Application* app = Application::Instance();
    return app != nullptr ? app->GetCanvasView() : nullptr;
}

std::shared_ptr<app::RenderProcessor> CurrentRenderProcessor()
{
    const Application* app = Application::Instance();
    return app != nullptr ? app->GetRenderProcessor() : nullptr;
}

app::MaskList* CurrentMaskList()
{
    const app::ForegroundImageLayerSettingsPtr settings = CurrentForegroundSettings();
    return settings ? &settings->Masks() : nullptr;
}

app::TextList* CurrentTextList()
{
    const app::ForegroundImageLayerSettingsPtr settings = CurrentForegroundSettings();
    return settings ? &settings->TextItems() : nullptr;
}

void ShowItemLimitMessage(const QString& text)
{
    if (Application* app = Application::Instance())
        app->Dialogs().Message({.parent = QApplication::activeWindow(),
                                .icon = QMessageBox::Information,
                                .title = ApplicationName,
                                .text = text,
                                .buttons = QMessageBox::Ok});
}

void RequestMaskRefresh(const QUuid& maskId)
{
    Application* app = Application::Instance();
    if (app == nullptr)
        return;
    app->InvalidateShadowCache();
    if (!maskId.isNull())
        if (const auto processor = CurrentRenderProcessor())
            processor->InvalidateMaskCache(maskId);
    app->InvalidateLayerCache(app::LayerTypeForeground, app::RenderLevelPostFilter, HXDownsampleFactor3);
    app->RequestLayerRefresh(app::LayerTypeForeground, app::RenderLevelPostFilter, HXDownsampleFactor0);
}

void SetPropertiesTitle(QLabel& label, const QString& name, int width, int reserve)
{
    const QString suffix = QObject::tr(" Properties");
    const QFontMetrics metrics(label.font());
    const int room = width - metrics.horizontalAdvance(suffix) - reserve;
    label.setText(QObject::tr("%1 Properties").arg(metrics.elidedText(name, Qt::ElideRight, std::max(room, 0))));
}

QFrame* AddToolboxScrollFrame(QWidget& owner)
{
    auto* layout = new QVBoxLayout(&owner);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(&owner);
    scroll->setWidgetResizable(true);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    scroll->setFrameStyle(QFrame::NoFrame | QFrame::Plain);
    auto* frame = new QFrame(scroll);
    frame->setObjectName(QStringLiteral("ToolboxFrame"));
    scroll->setWidget(frame);
    layout->addWidget(scroll);
    return frame;
}

} // namespace lumo::ui
