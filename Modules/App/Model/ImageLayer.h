#pragma once

#include "AbstractProjectItem.h"
#include "AppExport.h"

#include <hvn/image/HXTypes.h>

#include <QList>
#include <QSize>
#include <QString>
#include <QUuid>

#include <map>
#include <memory>

namespace lumo::app {

enum LayerType : int {
    LayerTypeBackground = 0,
    LayerTypeForeground = 1,
    LayerTypeOverlay = 2,
    LayerTypeImage = 3, // a further image layer added by the user
};

// One image of the composite: its identity, kind, file and what is known of that file.
// Reads from its own `layer` element.
class APP_EXPORT ImageLayer : public AbstractProjectItem {
public:
    ImageLayer(LayerType type, const QString& name, const QString& path);
    ImageLayer(const ImageLayer&) = delete;
    ImageLayer& operator=(const ImageLayer&) = delete;
    ~ImageLayer() override;

    const QUuid& Id() const { return m_id; }
    LayerType Type() const { return m_type; }
    const QString& Name() const { return m_name; }
    const QString& Path() const { return m_path; }
    // The image file was read successfully.
    bool IsValid() const { return m_valid; }
    // The image file can no longer be found.
    bool IsOffline() const { return m_offline; }
    hvn::image::HXKeyColor DominantKeyColor() const { return m_dominantKeyColor; }
    const QSize& Dimensions() const { return m_dimensions; }
    unsigned int DpiX() const { return m_dpiX; }
    unsigned int DpiY() const { return m_dpiY; }
    bool IsEnabled() const { return m_enabled; }
    // The state of the layer's panel.
    bool IsCollapsed() const { return m_collapsed; }
    const QString& ThumbnailFilename() const { return m_thumbnailFilename; }

    void SetName(const QString& name) { m_name = name; }
    void SetPath(const QString& path) { m_path = path; }
    void SetIsValid(bool valid) { m_valid = valid; }
    void SetOffline(bool offline) { m_offline = offline; }
    void SetDominantKeyColor(hvn::image::HXKeyColor color) { m_dominantKeyColor = color; }
    void SetDimensions(const QSize& dimensions) { m_dimensions = dimensions; }
    void SetDpiX(unsigned int dpi) { m_dpiX = dpi; }
    void SetDpiY(unsigned int dpi) { m_dpiY = dpi; }
    void SetEnabled(bool enabled) { m_enabled = enabled; }
    void SetCollapsed(bool collapsed) { m_collapsed = collapsed; }
    void SetThumbnailFilename(const QString& name) { m_thumbnailFilename = name; }

    // Empties the layer but keeps it: id, type, name, offline flag and key colour stay.
    void ClearData();

protected:
    // Readers' setters: raise XmlException 13 "Layer has invalid id." for text that is no id,
    // 14 "Layer has invalid type." for a type outside 0 to 3.
    void SetId(const QString& id);
    void SetType(int type);

private:
    LMerr LoadFromXml(QDomElement& element) override;
    LMerr WriteToXml(QXmlStreamWriter& writer) const override;

    QUuid m_id;
    LayerType m_type;
    QString m_name;
    QString m_path;
    bool m_valid = false;
    bool m_offline = false;
    hvn::image::HXKeyColor m_dominantKeyColor = hvn::image::HXKeyColorGreen;
    QSize m_dimensions{0, 0};
    unsigned int m_dpiX = 0;
    unsigned int m_dpiY = 0;
    bool m_enabled = true;
    bool m_collapsed = true;
    QString m_thumbnailFilename;
};

using ImageLayerPtr = std::shared_ptr<ImageLayer>;

class LayerManager;

// Every layer that is not a foreground (background, overlay, further image layers) by id, and
// the order in which the layers are composited, bottom first. All foregrounds share one slot in
// that order, named by a fixed id; the overlay is not in it. The fixed ids come from the project
// file and never change. Adding and removing layers is reserved to the LayerManager.
class APP_EXPORT ImageLayerList : public AbstractProjectItem {
public:
    using LayerMap = std::map<QUuid, ImageLayerPtr>;
    using ConstIterator = LayerMap::const_iterator;

    ImageLayerList();
    ImageLayerList(const ImageLayerList&) = delete;
    ImageLayerList& operator=(const ImageLayerList&) = delete;
    ~ImageLayerList() override;

    const QUuid& CurrentlySelectedLayer() const { return m_selected; }
    void SetCurrentlySelectedLayer(const QUuid& id) { m_selected = id; }
    // The number given to the next layer the user adds.
    unsigned int LayerSuffix() const { return m_layerSuffix; }
    void SetLayerSuffix(unsigned int suffix) { m_layerSuffix = suffix; }
    void IncrementLayerSuffix() { ++m_layerSuffix; }

    // The id of the foreground slot; it names no layer of this list.
    const QUuid& StaticForegroundId() const { return m_foregroundId; }
    bool IsForegroundId(const QUuid& id) const { return id == m_foregroundId; }
    const QList<QUuid>& CompositeOrder() const { return m_compositeOrder; }

    unsigned int Size() const { return static_cast<unsigned int>(m_layers.size()); }
    unsigned int SizeByType(LayerType type) const;
    // Ascending id order.
    ConstIterator ConstBegin() const { return m_layers.cbegin(); }
    ConstIterator ConstEnd() const { return m_layers.cend(); }

    // Reads from the `layerList` element itself. Unlike other readers it lets its XmlException
    // pass (a layer that fails to load raises code 4, exhausted memory code 6): the layer
    // manager's reader turns it into its own result.
    LMerr LoadFromXml(QDomElement& element) override;
    LMerr WriteToXml(QXmlStreamWriter& writer) const override;

protected:
    friend class LayerManager;

    // 15 when a layer with the id is present; the composite order is not touched.
    LMerr Add(const ImageLayerPtr& layer);
    // 16 when no layer has the id.
    LMerr Remove(const QUuid& id);
    ImageLayerPtr Get(const QUuid& id) const;
    ImageLayerPtr BackgroundLayer() const { return Get(m_backgroundId); }
    ImageLayerPtr OverlayLayer() const { return Get(m_overlayId); }
    bool Exists(const QUuid& id) const { return m_layers.count(id) != 0; }
    // Empties the map; ids, suffix, selection and composite order stay.
    void Clear() { m_layers.clear(); }
    void ClearByType(LayerType type);
    void UpdateCompositionOrderList(const QList<QUuid>& order) { m_compositeOrder = order; }

private:
    QUuid m_selected;
    unsigned int m_layerSuffix = 1;
    QUuid m_foregroundId;
    QUuid m_backgroundId;
    QUuid m_overlayId;
    LayerMap m_layers;
    QList<QUuid> m_compositeOrder;
};

} // namespace lumo::app
