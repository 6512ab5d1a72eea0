#include "Toolbox/FiltersWidget.h"

#include "Controls/Buttons.h"
#include "Controls/Container.h"
#include "Panels/FilterWidgets.h"
#include "Shell/Application.h"
#include "Shell/LumoDocument.h"
#include "Shell/OverrideCursor.h"
#include "Toolbox/PanelSupport.h"

#include "LayerManager.h"
#include "LayerSettings.h"
#include "Project.h"
#include "RenderProcessor.h"

#include <QCoreApplication>
#include <QFrame>
#include <QGridLayout>

namespace lumo::ui {

FiltersWidget::FiltersWidget(int kind, QWidget* parent)
    : QWidget(parent)
    , m_kind(kind)
{
    m_grid = new QGridLayout(AddToolboxScrollFrame(*this));
    m_grid->setContentsMargins(10, 10, 10, 10);
    m_grid->setVerticalSpacing(10);
}

app::FilterList* FiltersWidget::CurrentFilterList() const
{
    const app::ProjectPtr project = Application::Instance()->GetDocument()->GetProject();
    if (!project)
        return nullptr;
    const app::LayerManagerPtr layers = project->GetLayerManager();
    if (m_kind != 0) {
        const app::ForegroundImageLayerSettingsPtr settings = layers->GetForegroundSettings();
        return settings ? &settings->Filters() : nullptr;
    }
    // The same list the filter panels edit for the background.
    const app::ImageLayerSettingsPtr settings = layers->GetLayerSettings(app::LayerTypeBackground);
    return settings ? &settings->Filters() : nullptr;
}

AbstractFilterWidget* FiltersWidget::PanelAt(int row) const
{
    if (row < 0 || row >= m_rows)
        return nullptr;
    const QLayoutItem* item = m_grid->itemAtPosition(row, 0);
    return item != nullptr ? qobject_cast<AbstractFilterWidget*>(item->widget()) : nullptr;
}

void FiltersWidget::UpdateFromModel()
{
    // The panels go from the event loop: a rebuild may be asked for from one of their own signals.
    while (QLayoutItem* item = m_grid->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
    for (int row = 0; row < m_grid->rowCount(); ++row)
        m_grid->setRowStretch(row, 0);
    m_resetButton = nullptr;

    int row = 0;
    if (const app::FilterList* list = CurrentFilterList()) {
        for (auto it = list->Begin(); it != list->End(); ++it, ++row) {
            AbstractFilterWidget* panel = CreateFilterWidget(*it, row, this);
            if (panel == nullptr)
                continue;
            connect(panel, &AbstractEffectWidget::SignalMoveFilterUp, this, &FiltersWidget::SlotMoveFilterUp);
            connect(panel, &AbstractEffectWidget::SignalMoveFilterDown, this, &FiltersWidget::SlotMoveFilterDown);
            connect(panel, &AbstractEffectWidget::SignalContainerExpandChanged, this,
                    &FiltersWidget::SlotContainerExpandChanged);
            m_grid->addWidget(panel, row, 0);
        }
    }
    m_rows = row;
    m_resetButton = new ButtonDefault(QIcon(QStringLiteral(":/Icons/Reset.png")), tr("Reset"), this);
    connect(m_resetButton, &QPushButton::clicked, this, &FiltersWidget::SlotResetFilters);
    m_grid->addWidget(m_resetButton, m_rows, 0, Qt::AlignRight);
    m_grid->setRowStretch(m_rows + 1, 1);
    ApplyApplicationStyleSheet(this);
}

void FiltersWidget::SlotMoveFilterUp()
{
    if (auto* panel = qobject_cast<AbstractFilterWidget*>(sender()))
        MoveFilter(panel, false);
}

void FiltersWidget::SlotMoveFilterDown()
{
    if (auto* panel = qobject_cast<AbstractFilterWidget*>(sender()))
        MoveFilter(panel, true);
}

void FiltersWidget::MoveFilter(AbstractFilterWidget* panel, bool down)
{
    app::FilterList* list = CurrentFilterList();
    if (list == nullptr)
        return;
    // Bounded by the list, whose rows may hold types without a panel.
    const int position = panel->Info().position;
    const int count = int(list->Count());
    if (down ? position >= count - 1 : position <= 0)
        return;
    const int target = down ? position + 1 : position - 1;
    if ((down ? list->MoveDown(panel->Info().id) : list->MoveUp(panel->Info().id)) != app::LMerrSuccess)
        return;
    if (AbstractFilterWidget* other = PanelAt(target)) {
        m_grid->removeWidget(other);
        m_grid->removeWidget(panel);
        m_grid->addWidget(other, position, 0);
        other->Info().position = position;
        m_grid->addWidget(panel, target, 0);
        panel->Info().position = target;
    } else {
        // The neighbour has no panel: the model is the order, the column is built from it again.
        UpdateFromModel();
    }
    RequestFilterRefresh();
}

void FiltersWidget::RequestFilterRefresh()
{
    Application* app = Application::Instance();
    app->InvalidateLayerCache(m_kind, app::RenderLevelFilter, hvn::image::HXDownsampleFactor3);
    app->RequestLayerRefresh(m_kind, app::RenderLevelFilter, hvn::image::HXDownsampleFactor0);
}

void FiltersWidget::Relayout()
{
    // The column closes up at once when a panel opens or closes.
    m_grid->invalidate();
    QCoreApplication::processEvents();
    m_grid->update();
    QCoreApplication::processEvents();
}

void FiltersWidget::SlotContainerExpandChanged()
{
    Relayout();
}

void FiltersWidget::SlotResetFilters()
{
    const WaitCursor busy;
    for (int row = 0; row < m_rows; ++row) {
        AbstractFilterWidget* panel = PanelAt(row);
        if (panel == nullptr)
            continue;
        panel->SlotResetWidgetParameters(false);
        panel->SlotSetEnabled(false, false);
        panel->SlotSetExpanded(false);
        panel->GetContainer()->SetBodyState(false, false);
    }
    Relayout();
    if (m_kind == 1) {
        if (const auto processor = Application::Instance()->GetRenderProcessor()) {
            processor->InvalidateShadowCache(hvn::image::HXDownsampleFactor0);
            processor->InvalidateShadowCache(hvn::image::HXDownsampleFactor3);
        }
    }
    RequestFilterRefresh();
}

} // namespace lumo::ui
