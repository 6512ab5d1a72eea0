#pragma once

#include "Toolbox/LastFirstTable.h"

#include "TextItem.h"

#include <QWidget>

class QPoint;
class QTableWidgetItem;

namespace lumo::ui {

class ButtonDefault;
class Container;
class TextPropertiesWidget;

// The body of the text section: the current foreground's text items (at most five), listed like
// the masks with the front-most text on top, added, named, ordered, switched on and off and
// removed here; the selected item's properties below. The canvas view draws the items live, so
// nothing here asks for a render.
class TextWidget : public QWidget {
    Q_OBJECT

public:
    explicit TextWidget(QWidget* parent);
    ~TextWidget() override;

    // Rebuilds the table and the canvas items from the list.
    void UpdateFromModel();

    LastFirstTable& Rows() { return m_rows; }
    TextPropertiesWidget* Properties() const { return m_properties; }
    ButtonDefault* AddButton() const { return m_add; }
    ButtonDefault* RemoveButton() const { return m_remove; }
    ButtonDefault* ResetButton() const { return m_reset; }
    Container* GetContainer() const { return m_container; }

public slots:
    void SlotAddTextItemToTable(app::TextItemPtr item, bool viewProperties = true, bool initFromRegistry = false,
                                bool selectRow = true);
    void SlotAddNewTextItem();
    void SlotRemoveTextItem();
    void SlotResetTextItems();
    void SlotTextTableCellClicked(int row, int column);
    void SlotTextItemChanged(int row, int column);
    void SlotTextItemDoubleClicked(QTableWidgetItem* item);
    void SlotDisplayContextMenu(const QPoint& position);
    void SlotEnableAllTextItems();
    void SlotDisableAllTextItems();

private:
    void EnableAllTextItems(bool enabled);
    void EnableClick(int row, const QUuid& id);
    void SelectClick(int row, const QUuid& id);
    // The canvas item of a text, in the font the item names.
    static void AddCanvasItem(const app::TextItem& item, bool selected);
    // The panel and the canvas without text items, the name counter back at 1.
    void ShowNoTextItem(app::TextList& list);

    ButtonDefault* m_add = nullptr;
    ButtonDefault* m_remove = nullptr;
    LastFirstTable m_rows;
    Container* m_container = nullptr;
    TextPropertiesWidget* m_properties = nullptr;
    ButtonDefault* m_reset = nullptr;
};

} // namespace lumo::ui
