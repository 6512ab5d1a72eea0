#pragma once

// The body of the layers section: the layers stacked on the canvas, topmost first (the background
// at the bottom, the foreground slot, and up to five further image layers), in a table whose order
// is the project's composite order reversed. Further layers are added, removed, switched, renamed
// and moved here, a dropped image file becomes a new layer, missing files are marked and relinked,
// and the selected further layer is shown in the properties panel below the table. Rows carry
// layer ids; the layers are looked up afresh at every call.

#include "Shell/Limits.h"

#include "ImageLayer.h"

#include <QUuid>
#include <QWidget>

#include <memory>

class QAction;
class QMenu;
class QMimeData;
class QPoint;
class QTableWidgetItem;

namespace lumo::ui {

class ButtonDefault;
class Container;
class LayerPropertiesWidget;
class TableWidget;

class LayersWidget : public QWidget {
    Q_OBJECT

public:
    enum Column : int {
        EnableColumn = 0,
        NameColumn = 1,
        UpColumn = 2,
        DownColumn = 3,
        OfflineColumn = 4,
        IdColumn = 5,
        TypeColumn = 6,
    };
    static constexpr int ColumnCount = 7;
    // The background, the foreground slot and five further layers.
    static constexpr int MaximumRows = MaximumFurtherLayers + 2; // with the foreground and background rows

    explicit LayersWidget(QWidget* parent);
    ~LayersWidget() override;

    // Rebuilds the table from the composite order; the project's selected layer stays selected.
    void UpdateFromModel();
    // A project was opened: empties the table and the properties.
    void ClearLayerTable();
    // The foreground (1) or background (0) row's check box follows the model.
    void UpdateLayerEnabledState(app::LayerType type);

    // The id (column 5) and LayerType (column 6) of a row; null and -1 for a row that does not exist.
    QUuid RowLayerId(int row) const;
    int RowType(int row) const;
    // The first row with the id; -1 when none has it.
    int FindRow(const QUuid& id) const;
    // The selected further-layer row; -1 for none.
    int SelectedRow() const;
    void SelectRow(int row, const QUuid& id);
    void ClearLayerSelection();
    // The rows' ids from the bottom row up become the project's composite order.
    void StoreCompositeOrder();
    // Inserts a row above the selected row (or at the top; always at the top while rebuilding) and,
    // for a further layer, selects it and shows it in the properties.
    void AddLayerToTable(const QUuid& id, app::LayerType type, const QString& name, bool enabled, bool show);

    // The context menu for the current rows: none without rows.
    std::unique_ptr<QMenu> CreateContextMenu() const;

    bool eventFilter(QObject* watched, QEvent* event) override;

    TableWidget* Table() const { return m_table; }
    LayerPropertiesWidget* Properties() const { return m_properties; }
    ButtonDefault* AddButton() const { return m_add; }
    ButtonDefault* RemoveButton() const { return m_remove; }
    ButtonDefault* ResetButton() const { return m_reset; }
    Container* GetContainer() const { return m_container; }
    QAction* EnableAllAction() const { return m_enableAll; }
    QAction* DisableAllAction() const { return m_disableAll; }
    QAction* RemoveAllAction() const { return m_removeAll; }

signals:
    void SignalForegroundEnabled();
    void SignalBackgroundEnabled();

public slots:
    QUuid SlotAddNewLayer();
    void SlotRemoveLayer();
    void SlotLayerTableCellClicked(int row, int column);
    void SlotResetLayers();
    void SlotLayerItemChanged(int row, int column);
    void SlotLayerItemDoubleClicked(QTableWidgetItem* item);
    void SlotDisplayContextMenu(const QPoint& position);
    void SlotEnableAllLayers();
    void SlotDisableAllLayers();
    void SlotAreLayersOffline();
    void SlotRelinkLayer(const QUuid& id);

private:
    void ImportDroppedFile(const QMimeData* mimeData);
    void RelinkOtherOfflineLayers(const QString& file);
    void SetAllLayersEnabled(bool enable);
    void EnableClicked(int row);
    void MoveRow(int row, bool up);
    // Selects the further-layer row and shows its layer in the properties.
    void ShowRow(int row);
    bool IsRowChecked(int row) const;
    bool HasFurtherLayers() const;
    // The first further-layer row from the top; -1 without one.
    int TopmostFurtherRow() const;
    app::ImageLayerPtr LayerOfRow(int row) const;
    void SetOfflineMarker(int row, bool offline);
    // The properties and the canvas without a further layer, the name counter back at 1.
    void ShowNoLayer();

    QString m_oldName;
    bool m_rebuilding = false;
    ButtonDefault* m_add = nullptr;
    ButtonDefault* m_remove = nullptr;
    TableWidget* m_table = nullptr;
    QAction* m_enableAll = nullptr;
    QAction* m_disableAll = nullptr;
    QAction* m_removeAll = nullptr;
    Container* m_container = nullptr;
    LayerPropertiesWidget* m_properties = nullptr;
    ButtonDefault* m_reset = nullptr;
};

} // namespace lumo::ui
