#pragma once

// The key and effects pages: one panel per item of the current foreground's key list or composite
// list, in list order, then Reset. An item type without a panel leaves its row empty; moves and
// resets skip such rows.

#include "Toolbox/EffectPanelColumn.h"
#include "Toolbox/ToolboxSections.h"

#include <memory>

class QGridLayout;

namespace lumo::ui {

class AbstractEffectWidget;

class EffectListSection : public AbstractToolboxSection {
    Q_OBJECT

public:
    // The frame's grid: row i the panel of list item i (or nothing), then Reset, then a stretch.
    QGridLayout* Grid() const { return m_column->Grid(); }
    // The panel in row i, null for an empty row or a row past the list.
    AbstractEffectWidget* PanelAt(int row) const { return m_column->PanelAt(row); }
    // Rows of the list (the row of Reset).
    int ListRows() const { return m_column->Rows(); }

public slots:
    void SlotContainerExpandChanged();
    virtual void SlotResetFilters() = 0;

protected:
    EffectListSection(app::ToolsetSections index, QWidget* parent);

    void Rebuild() override;
    // The panels of the list in order (null where an item has none).
    virtual std::vector<AbstractEffectWidget*> CreatePanels() = 0;
    EffectPanelColumn& Column() { return *m_column; }

private:
    std::unique_ptr<EffectPanelColumn> m_column;
};

// Page 2: the key panels of the current foreground.
class KeySection final : public EffectListSection {
    Q_OBJECT

public:
    explicit KeySection(QWidget* parent);

public slots:
    // Every panel to its own reset state, then one render of the foreground from the key stage.
    void SlotResetFilters() override;

protected:
    std::vector<AbstractEffectWidget*> CreatePanels() override;
};

// Page 7: the composite panels of the current foreground, which can be moved up and down.
class EffectsSection final : public EffectListSection {
    Q_OBJECT

public:
    explicit EffectsSection(QWidget* parent);

public slots:
    void SlotMoveFilterUp();
    void SlotMoveFilterDown();
    // Every panel to its defaults, disabled and closed, then one render of the canvas.
    void SlotResetFilters() override;

protected:
    std::vector<AbstractEffectWidget*> CreatePanels() override;

private:
    void MovePanel(bool up);
};

} // namespace lumo::ui
