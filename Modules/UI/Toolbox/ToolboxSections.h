#pragma once

// The pages of the toolbox dock. Each wraps the panels of one toolset and keeps them in step with the
// model; the dock registers every section as an observer, sections never register themselves.
//
// The shared rules live once in AbstractToolboxSection:
// - own toolset: when the project's current toolset becomes the section's, the project's current
//   layer type becomes the one its panels edit (OwnToolsetChosen);
// - follow the foreground: the panels are rebuilt only when the current foreground changed and either
//   the new one or the recorded one has settings of its own (shared foregrounds show the same
//   settings objects);
// - uniqueness: a rebuild only when the recorded foreground was unique and the current one is not;
// - image added: the follow rule runs when the foreground slot's id is announced.
// A page of many panels may wait with its rebuilds while another page is shown, and rebuild once
// when its own toolset is chosen (SectionRules::rebuildsWhenShown).
// A section states which rules apply in its SectionRules and overrides the hooks where it differs.

#include "Shell/LumoModel.h"

#include "ImageLayer.h"
#include "Project.h"

#include <QFrame>
#include <QUuid>

class QGridLayout;
class QScrollArea;
class QVBoxLayout;

namespace lumo::ui {

class BasicExportWidget;
class CanvasSizeWidget;
class FiltersWidget;
class LayersWidget;
class MasksWidget;
class PositionWidget;
class SingleImport;
class TabWidget;
class TextWidget;

struct SectionRules {
    app::ToolsetSections index = app::ToolsetSectionCanvasSize;
    // The layer type its own toolset makes current.
    app::LayerType layerType = app::LayerTypeForeground;
    // Rebuilds for a new current foreground (follow, image-added and uniqueness rules).
    bool followsForeground = false;
    // The uniqueness rule applies whatever toolset is current (otherwise only on the own toolset).
    bool uniquenessOnAnyToolset = false;
    // Rebuilds wait until the own toolset is chosen: building the key, effects and filters panels
    // of pages out of sight would hold up opening a project and starting the program.
    bool rebuildsWhenShown = false;
};

class AbstractToolboxSection : public QFrame, public LumoModelObserver {
    Q_OBJECT

public:
    ~AbstractToolboxSection() override;

    app::ToolsetSections Index() const { return m_rules.index; }
    // The last foreground seen and whether it had settings of its own.
    const QUuid& RecordedForegroundId() const { return m_foregroundId; }
    bool RecordedForegroundUnique() const { return m_foregroundUnique; }

    void ModelChanged(DataType type, const QUuid& id, FieldType field) override;

protected:
    AbstractToolboxSection(const SectionRules& rules, QWidget* parent);

    static app::ProjectPtr CurrentProject();
    bool IsOwnToolset() const;

    // The rebuild hook: the panels show the current foreground's settings afresh.
    virtual void Rebuild() {}
    // (Project, refresh all): by default a rebuild, and the foreground recorded when followed.
    virtual void RefreshAll();
    // The own toolset became current: by default the section's layer type, then the follow rule.
    virtual void OwnToolsetChosen();
    // Every pair the shared rules do not take (opened, enabled states, canvas pairs, ...).
    virtual void OtherChange(DataType type, const QUuid& id, FieldType field);

    void FollowForeground();
    void ApplyUniqueness();
    void RecordForeground();
    // Rebuild now, or once the own toolset is chosen (rebuildsWhenShown).
    void RequestRebuild();

    // Sends the pair with the document's id.
    void Notify(DataType type, FieldType field);
    void NotifyWithId(DataType type, const QUuid& id, FieldType field);

    // The common scroll frame: the section's layout holds the scroll area "ScrollArea" whose widget
    // is the frame "ToolboxFrame" returned; the panels go into the frame's layout.
    QFrame* CreateScrollFrame(bool horizontalScrollBar = true);
    QScrollArea* ScrollArea() const { return m_scrollArea; }

private:
    SectionRules m_rules;
    QUuid m_foregroundId;
    bool m_foregroundUnique = false;
    bool m_rebuildPending = false;
    QScrollArea* m_scrollArea = nullptr;
};

// Page 0: the canvas size panel.
class CanvasSizeSection final : public AbstractToolboxSection {
    Q_OBJECT

public:
    explicit CanvasSizeSection(QWidget* parent);
    // Where the canvas size panel goes (margins 0, spacing 0).
    QVBoxLayout* PanelLayout() const { return m_layout; }
    CanvasSizeWidget* Panel() const { return m_panel; }

public slots:
    void SlotFocusCanvas();

protected:
    void Rebuild() override;
    void OtherChange(DataType type, const QUuid& id, FieldType field) override;

private:
    QVBoxLayout* m_layout = nullptr;
    CanvasSizeWidget* m_panel = nullptr;
};

// Page 1: the foreground and the background import boxes, above a stretch.
class ImportSection final : public AbstractToolboxSection {
    Q_OBJECT

public:
    explicit ImportSection(QWidget* parent);
    // Where the boxes go: the foreground box at 0, the background box at 1, before the stretch.
    QVBoxLayout* BoxLayout() const { return m_layout; }
    SingleImport* ForegroundBox() const { return m_foreground; }
    SingleImport* BackgroundBox() const { return m_background; }

public slots:
    void SlotNewImageAdded(QUuid id);
    void SlotAutoExportImage(QUuid id);
    void SlotNotifyNavigationButtons();
    void SlotUniquenessChanged();
    void SlotHotFolderStateChanged();
    void SlotForegroundEnabled();
    void SlotBackgroundEnabled();

protected:
    // The foreground box, then the background box, from the project.
    void Rebuild() override;
    void OtherChange(DataType type, const QUuid& id, FieldType field) override;

private:
    QVBoxLayout* m_layout = nullptr;
    SingleImport* m_foreground = nullptr;
    SingleImport* m_background = nullptr;
};

// Page 3: the masks panel.
class MasksSection final : public AbstractToolboxSection {
    Q_OBJECT

public:
    explicit MasksSection(QWidget* parent);
    MasksWidget* Panel() const { return m_masks; }

protected:
    void Rebuild() override;
    void OtherChange(DataType type, const QUuid& id, FieldType field) override;

private:
    MasksWidget* m_masks = nullptr;
};

// Pages 4 and 5: a "Foreground" and a "Background" tab over one panel each. Choosing a tab makes its
// layer current; the own toolset keeps a background or foreground layer type and shows its tab.
class TabbedToolboxSection : public AbstractToolboxSection {
    Q_OBJECT

public:
    TabWidget* Tabs() const { return m_tabs; }
    // The page of the tab of the layer kind (1 foreground, 0 background), where its panel goes.
    QVBoxLayout* PanelLayout(app::LayerType kind) const;

public slots:
    void SlotTabChange(int index);

protected:
    TabbedToolboxSection(const SectionRules& rules, bool horizontal, QWidget* parent);

    void RefreshAll() override;
    void OwnToolsetChosen() override;
    // Records the foreground on refresh all (filters do, position does not).
    virtual bool RecordsOnRefreshAll() const = 0;
    // The layer type made current: 0 and 1 stay, anything else becomes 1; its tab is shown.
    app::LayerType ShowLayerTab(bool writeProject);

private:
    TabWidget* m_tabs = nullptr;
    QVBoxLayout* m_foreground = nullptr;
    QVBoxLayout* m_background = nullptr;
};

// Page 4: the filter panels of the foreground and of the background.
class FiltersSection final : public TabbedToolboxSection {
    Q_OBJECT

public:
    explicit FiltersSection(QWidget* parent);

protected:
    bool RecordsOnRefreshAll() const override { return true; }
    void Rebuild() override;

private:
    FiltersWidget* m_foreground = nullptr;
    FiltersWidget* m_background = nullptr;
};

// Page 5: the position panels of the foreground and of the background.
class PositionSection final : public TabbedToolboxSection {
    Q_OBJECT

public:
    explicit PositionSection(QWidget* parent);

protected:
    bool RecordsOnRefreshAll() const override { return false; }
    void Rebuild() override;
    void OtherChange(DataType type, const QUuid& id, FieldType field) override;

private:
    PositionWidget* m_foreground = nullptr;
    PositionWidget* m_background = nullptr;
};

// Page 6: the layers panel and its layer properties.
class LayersSection final : public AbstractToolboxSection {
    Q_OBJECT

public:
    explicit LayersSection(QWidget* parent);
    // Where the layers panel goes (margins 10, vertical spacing 10).
    QGridLayout* PanelLayout() const { return m_layout; }
    LayersWidget* Panel() const { return m_layers; }

public slots:
    void SlotNotifyForegroundEnabled();
    void SlotNotifyBackgroundEnabled();

protected:
    void Rebuild() override;
    void OtherChange(DataType type, const QUuid& id, FieldType field) override;

private:
    QGridLayout* m_layout = nullptr;
    LayersWidget* m_layers = nullptr;
};

// Page 9: the text panel. Unlike the others it applies the uniqueness rule on any toolset.
class TextSection final : public AbstractToolboxSection {
    Q_OBJECT

public:
    explicit TextSection(QWidget* parent);
    TextWidget* Panel() const { return m_text; }

protected:
    void Rebuild() override;
    void OtherChange(DataType type, const QUuid& id, FieldType field) override;

private:
    TextWidget* m_text = nullptr;
};

// Page 10: the export panel, above a stretch. Re-applies the style sheet on refresh all.
class ExportSection final : public AbstractToolboxSection {
    Q_OBJECT

public:
    explicit ExportSection(QWidget* parent);
    // Where the export panel goes: at (0, 0), above the stretch.
    QGridLayout* PanelLayout() const { return m_layout; }
    BasicExportWidget* Panel() const { return m_export; }

protected:
    void RefreshAll() override;

private:
    QGridLayout* m_layout = nullptr;
    // The one export panel of the program: it also answers Canvas Export (Ctrl+E).
    BasicExportWidget* m_export = nullptr;
};

} // namespace lumo::ui
