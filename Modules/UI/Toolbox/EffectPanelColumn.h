#pragma once

// The column of effect panels that the filters list and the key and effects pages show: row i holds
// the panel of list item i (or nothing, for an item type without a panel), then Reset at the right,
// then a stretch.

#include <vector>

class QFrame;
class QGridLayout;

namespace lumo::ui {

class AbstractEffectWidget;
class ButtonDefault;

class EffectPanelColumn {
public:
    // Lays the column out in the frame (margins and spacing 10).
    explicit EffectPanelColumn(QFrame* frame);

    QGridLayout* Grid() const { return m_grid; }
    // Replaces the panels (null: an empty row) and answers the new Reset button. The old panels go
    // from the event loop, hidden at once: a rebuild may start from one of their own signals.
    ButtonDefault* Fill(const std::vector<AbstractEffectWidget*>& panels);
    // The panel in row i, null for an empty row or a row past the list.
    AbstractEffectWidget* PanelAt(int row) const;
    // Rows of the list (the row of Reset).
    int Rows() const { return m_rows; }
    // Every panel to its defaults, switched off and closed.
    void ResetPanelsOff();
    // Closes the column up at once after a panel opened or closed.
    void Relayout();

private:
    QGridLayout* m_grid = nullptr;
    int m_rows = 0;
};

} // namespace lumo::ui
