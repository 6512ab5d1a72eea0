#pragma once

#include "Toolbox/LastFirstTable.h"

#include "Mask.h"

#include <QWidget>

class QPoint;
class QTableWidgetItem;

namespace lumo::ui {

class ButtonDefault;
class Container;
class MaskPropertiesWidget;

// The body of the masks section: the current foreground's masks (at most ten), newest on top,
// added, named, ordered, switched on and off and removed here; the canvas draws new points or
// selects existing ones, which two buttons make straight or curved; the selected mask's
// properties below. Rows carry mask ids; the list is looked up afresh at every call.
class MasksWidget : public QWidget {
    Q_OBJECT

public:
    explicit MasksWidget(QWidget* parent);
    ~MasksWidget() override;

    // A project was opened: empties the table and hides the properties.
    void ClearMaskTable();
    // Rebuilds the table from the list and selects the list's selected mask.
    void UpdateFromModel();

    LastFirstTable& Rows() { return m_rows; }
    MaskPropertiesWidget* Properties() const { return m_properties; }
    ButtonDefault* AddButton() const { return m_add; }
    ButtonDefault* RemoveButton() const { return m_remove; }
    ButtonDefault* CreateButton() const { return m_create; }
    ButtonDefault* SelectButton() const { return m_select; }
    ButtonDefault* StraightButton() const { return m_straight; }
    ButtonDefault* CurvedButton() const { return m_curved; }
    ButtonDefault* ResetButton() const { return m_reset; }
    Container* GetContainer() const { return m_container; }

public slots:
    void SlotAddMaskToTable(app::MaskPtr mask, bool viewProperties);
    void SlotAddNewMask();
    void SlotRemoveMask();
    void SlotResetMasks();
    void SlotMaskTableCellClicked(int row, int column);
    void SlotMaskItemChanged(int row, int column);
    void SlotMaskItemDoubleClicked(QTableWidgetItem* item);
    void SlotDisplayContextMenu(const QPoint& position);
    void SlotEnableAllMasks();
    void SlotDisableAllMasks();
    void SlotMaskModeChange();
    void SlotSetSelectedHandlesLinear();
    void SlotSetSelectedHandlesCurved();

private:
    void SetAllMasksEnabled(bool enabled);
    void EnableClick(int row, const QUuid& id);
    // Shows the mask of the row in the properties and on the canvas and selects it in the list.
    void ShowRowMask(int row);
    // The panel and the canvas without a selected mask, the name counter back at 1.
    void ShowNoMask(app::MaskList& list);
    // Shows, hides and enables the canvas outline with the mask's enabled state.
    static void ShowOutline(bool enabled);

    ButtonDefault* m_add = nullptr;
    ButtonDefault* m_remove = nullptr;
    LastFirstTable m_rows;
    ButtonDefault* m_create = nullptr;
    ButtonDefault* m_select = nullptr;
    ButtonDefault* m_straight = nullptr;
    ButtonDefault* m_curved = nullptr;
    Container* m_container = nullptr;
    MaskPropertiesWidget* m_properties = nullptr;
    ButtonDefault* m_reset = nullptr;
};

} // namespace lumo::ui
