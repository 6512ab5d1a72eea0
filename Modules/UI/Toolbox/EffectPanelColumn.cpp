#include "Toolbox/EffectPanelColumn.h"

#include "Controls/Buttons.h"
#include "Controls/Container.h"
#include "Panels/EffectWidget.h"

#include <QCoreApplication>
#include <QFrame>
#include <QGridLayout>
#include <QIcon>

namespace lumo::ui {

namespace {

constexpr int kColumnMargin = 10;

} // namespace

EffectPanelColumn::EffectPanelColumn(QFrame* frame) : m_grid(new QGridLayout(frame))
{
    m_grid->setContentsMargins(kColumnMargin, kColumnMargin, kColumnMargin, kColumnMargin);
    m_grid->setVerticalSpacing(kColumnMargin);
}

ButtonDefault* EffectPanelColumn::Fill(const std::vector<AbstractEffectWidget*>& panels)
{
    while (QLayoutItem* item = m_grid->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
    // The stretch of the former last row would otherwise stay.
    for (int row = 0; row < m_grid->rowCount(); ++row)
        m_grid->setRowStretch(row, 0);
    m_rows = static_cast<int>(panels.size());
    for (int row = 0; row < m_rows; ++row)
        if (panels[row] != nullptr)
            m_grid->addWidget(panels[row], row, 0);
    auto* reset = new ButtonDefault(QIcon(QStringLiteral(":/Icons/Reset.png")), QCoreApplication::translate("EffectPanelColumn", "Reset"),
                                    m_grid->parentWidget());
    m_grid->addWidget(reset, m_rows, 0, Qt::AlignRight);
    m_grid->setRowStretch(m_rows + 1, 1);
    return reset;
}

AbstractEffectWidget* EffectPanelColumn::PanelAt(int row) const
{
    if (row < 0 || row >= m_rows)
        return nullptr;
    const QLayoutItem* item = m_grid->itemAtPosition(row, 0);
    return item != nullptr ? qobject_cast<AbstractEffectWidget*>(item->widget()) : nullptr;
}

void EffectPanelColumn::ResetPanelsOff()
{
    for (int row = 0; row < m_rows; ++row) {
        AbstractEffectWidget* panel = PanelAt(row);
        if (panel == nullptr)
            continue;
        panel->SlotResetWidgetParameters(false);
        panel->SlotSetEnabled(false, false);
        panel->SlotSetExpanded(false);
        panel->GetContainer()->SetBodyState(false, false);
    }
    Relayout();
}

void EffectPanelColumn::Relayout()
{
    m_grid->invalidate();
    QCoreApplication::processEvents();
    m_grid->update();
    QCoreApplication::processEvents();
}

} // namespace lumo::ui
