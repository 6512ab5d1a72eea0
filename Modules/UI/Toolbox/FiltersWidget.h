#pragma once

// The filter chain of one layer as a column of filter panels, in list order, with "Reset" under
// them: kind 1 edits the current foreground's own filters, kind 0 those it keeps for the
// background. Panels move up and down the chain; "Reset" returns every filter to its defaults,
// disabled and closed, in its order.

#include "Toolbox/EffectPanelColumn.h"

#include <QWidget>

namespace lumo::app {
class FilterList;
}

namespace lumo::ui {

class AbstractFilterWidget;
class ButtonDefault;

class FiltersWidget : public QWidget {
    Q_OBJECT

public:
    // kind: 1 the foreground's list, 0 the background's. Builds no panels yet.
    FiltersWidget(int kind, QWidget* parent);

    // Rebuilds the panels from the model: the panel of item i in row i (a type without a panel
    // leaves its row empty), then "Reset", then a stretch.
    void UpdateFromModel();

    int Kind() const { return m_kind; }
    QGridLayout* Grid() const { return m_column.Grid(); }
    // The panel in a row; null for an empty row or past the list.
    AbstractFilterWidget* PanelAt(int row) const;
    ButtonDefault* ResetButton() const { return m_resetButton; }

public slots:
    void SlotMoveFilterUp();
    void SlotMoveFilterDown();
    void SlotContainerExpandChanged();
    void SlotResetFilters();

private:
    // The list of this kind in the current project; null without one.
    app::FilterList* CurrentFilterList() const;
    void MoveFilter(AbstractFilterWidget* panel, bool down);
    void RequestFilterRefresh();

    int m_kind;
    EffectPanelColumn m_column;
    ButtonDefault* m_resetButton = nullptr;
};

} // namespace lumo::ui
