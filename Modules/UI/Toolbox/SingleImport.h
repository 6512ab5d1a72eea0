#pragma once

// The import box of one of the three fixed image layers (background, foreground photograph,
// overlay): the layer's thumbnail, a Change button with the recent files of its kind, a drop on the
// thumbnail, Remove, and a relink of a file gone missing; the title's check box switches the layer
// on and off and its collapse button stores the box's open state in the model. The box keeps only
// the layer's id and looks the layer up at every call.
//
// A section builds it with its title and kind, connects SignalNewImageAdded, SignalForegroundEnabled
// and SignalBackgroundEnabled to its notifications, and calls UpdateFromModel on a new or reopened
// project and UpdateLayer when the layer is switched elsewhere. The box reloads a layer that a
// reopened project already names into that same layer (a foreground keeps its id and settings).

#include "ImageLayer.h"

#include <QString>
#include <QUuid>
#include <QWidget>

class QMimeData;

namespace lumo::ui {

class ButtonDefault;
class ButtonPopupMenu;
class Container;
class ThumbnailPreview;

class SingleImport : public QWidget {
    Q_OBJECT

public:
    // kind: LayerTypeBackground, LayerTypeForeground or LayerTypeOverlay; with any other value the
    // box does nothing.
    SingleImport(const QString& title, int kind, QWidget* parent);
    ~SingleImport() override;

    // Rebuilds the box from the project (after it was opened or reset).
    void UpdateFromModel();
    // Follows an enable change made elsewhere: type 0 on the background box, 1 on the foreground box.
    void UpdateLayer(app::LayerType type);
    // Imports a file as this box's layer (a new foreground for the foreground box); false when the
    // import refused it (after its warning).
    bool SetImage(const QString& path);

    int Kind() const { return m_kind; }
    // The lower-case word of the kind: the recent list's key and the word in the messages.
    QString KindKey() const;
    const QUuid& LayerId() const { return m_layerId; }
    bool IsOffline() const { return m_offline; }
    Container* GetContainer() const { return m_container; }
    ThumbnailPreview* Thumbnail() const { return m_thumbnail; }
    ButtonPopupMenu* ChangeButton() const { return m_change; }
    ButtonDefault* RemoveButton() const { return m_remove; }

signals:
    void SignalNewImageAdded(const QUuid& id);
    void SignalForegroundEnabled();
    void SignalBackgroundEnabled();

public slots:
    void SlotExpandBody(bool expand);
    void SlotEnableBody(bool enable);
    void SlotReplaceImage(const QMimeData* mimeData);
    void SlotChangeImage(const QString& filePath = QString());
    void SlotRemoveImage();
    void SlotIsImageOffline();
    void SlotRelinkImage();

private:
    bool HasKind() const;
    // The layer of the box's kind: the current foreground, the background or the overlay.
    app::ImageLayerPtr Layer() const;
    // The layer the box shows (by its id); null without one.
    app::ImageLayerPtr ShownLayer() const;
    // The sample folder of the kind beside the program, else the desktop.
    QString StartFolder() const;
    void ShowLoaded(const app::ImageLayerPtr& layer);
    // Shown as loaded, and told: the foreground by its slot's fixed id.
    void ShowAdded(const app::ImageLayerPtr& layer);
    void ShowOffline(const app::ImageLayerPtr& layer);
    void ShowEmpty();
    void SetChangeText(bool loaded);
    // Loads the file (the layer's own when empty) into the shown layer, keeping it.
    bool ReloadImage(const app::ImageLayerPtr& layer, const QString& path);
    void SetLayerEnabled(bool enable);
    bool IsLayerEnabled(const app::ImageLayerPtr& layer) const;
    bool IsLayerOpen(const app::ImageLayerPtr& layer) const;

    int m_kind;
    bool m_offline = false;
    QUuid m_layerId;
    Container* m_container = nullptr;
    QString m_kindName;
    ThumbnailPreview* m_thumbnail = nullptr;
    ButtonPopupMenu* m_change = nullptr;
    ButtonDefault* m_remove = nullptr;
};

} // namespace lumo::ui
