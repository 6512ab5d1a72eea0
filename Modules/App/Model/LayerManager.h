#pragma once

#include "AbstractProjectItem.h"
#include "AppExport.h"
#include "ForegroundImageLayer.h"
#include "ImageLayer.h"
#include "LayerSettings.h"

#include <QList>
#include <QString>
#include <QUuid>

#include <memory>

namespace lumo::app {

// The one way in to a project's layers: the background, overlay and further layers with their
// composite order, the foreground photographs with their settings, and which foreground is
// current. Adds and removes layers so that the settings every foreground keeps for the other
// layers stay in step. Reads the `project` element's `currentForegroundId`, `layerList` and
// `foregroundImageLayerList` children and writes them without an element of its own.
class APP_EXPORT LayerManager final : public AbstractProjectItem {
public:
    LayerManager();
    LayerManager(const LayerManager&) = delete;
    LayerManager& operator=(const LayerManager&) = delete;
    ~LayerManager() override;

    const QUuid& CurrentForegroundId() const;
    void SetCurrentForegroundId(const QUuid& id);
    // False when the current id names no foreground.
    bool IsCurrentForegroundUnique() const;

    // Adds a background, overlay or further layer and gives it its default settings in the
    // list's defaults and in every foreground. 15 when the id is present (nothing changes);
    // 1 or 3 when the default settings resource cannot be read (the layer stays added); 4 for a
    // layer of a kind that takes no such settings, 6 when memory runs out (nothing added).
    // The composite order is left to the caller.
    LMerr AddLayer(const ImageLayerPtr& layer);
    // 22 when a foreground with the id is present.
    LMerr AddForegroundLayer(const ForegroundImageLayerPtr& layer);
    // Background and overlay are emptied but keep their slot; a further layer is erased with the
    // settings every foreground kept for it. 16 when no layer has the id.
    LMerr RemoveLayer(const QUuid& id);
    // 23 when there is no such foreground; removing the current one makes the current id null.
    LMerr RemoveForegroundLayer(const QUuid& id);
    LMerr RemoveForegroundLayerFromPath(const QString& path);
    void UpdateCompositionOrderList(const QList<QUuid>& order);

    // Lookups answer an empty pointer when there is nothing to return. GetLayer does not find
    // foregrounds.
    ImageLayerPtr GetLayer(const QUuid& id) const;
    ForegroundImageLayerPtr GetForeground(const QUuid& id) const;
    ForegroundImageLayerPtr GetForegroundFromPath(const QString& path) const;
    ImageLayerPtr GetBackground() const;
    ImageLayerPtr GetOverlay() const;
    bool ForegroundExistsFromPath(const QString& path) const;
    // Type 1 asks the foreground list; every other type the layer list, whatever the layer's own
    // type.
    bool Exists(LayerType type, const QUuid& id) const;
    int Count(LayerType type) const;
    void Clear(LayerType type);

    // The settings the current foreground keeps for the background (type 0) or the overlay
    // (type 2); empty for other types.
    ImageLayerSettingsPtr GetLayerSettings(LayerType type) const;
    ImageLayerSettingsPtr GetLayerSettings(const QUuid& layerId) const;
    ImageLayerSettingsPtr GetLayerSettings(const QUuid& layerId, const QUuid& foregroundId) const;
    // The settings in force for the current foreground (the shared defaults when there is none).
    ForegroundImageLayerSettingsPtr GetForegroundSettings() const;
    ForegroundImageLayerSettingsPtr GetForegroundSettings(const QUuid& foregroundId) const;

    std::shared_ptr<ImageLayerList> LayerList() const;
    std::shared_ptr<ForegroundImageLayerList> ForegroundLayerList() const;

private:
    LMerr LoadFromXml(QDomElement& project) override;
    LMerr WriteToXml(QXmlStreamWriter& writer) const override;

    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

using LayerManagerPtr = std::shared_ptr<LayerManager>;

} // namespace lumo::app
