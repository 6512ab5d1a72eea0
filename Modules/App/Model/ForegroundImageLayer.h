#pragma once

#include "AppExport.h"
#include "ImageLayer.h"
#include "LayerSettings.h"

#include <QString>
#include <QUuid>

#include <map>
#include <memory>

class QDomDocument;

namespace lumo::app {

using LayerSettingsMap = std::map<QUuid, ImageLayerSettingsPtr>;

class ForegroundImageLayerList;
class LayerManager;

// A foreground photograph. It normally uses the list's default settings objects themselves,
// shared with every other such foreground; a unique foreground works on its own copies.
// Reads from its own `foregroundImageLayer` element.
class APP_EXPORT ForegroundImageLayer : public ImageLayer {
public:
    ForegroundImageLayer(const QString& name, const QString& path);
    ~ForegroundImageLayer() override;

    bool IsUnique() const { return m_unique; }
    bool IsViewed() const { return m_viewed; }
    bool IsBatched() const { return m_batched; }
    bool IsExported() const { return m_exported; }
    void SetViewed(bool viewed) { m_viewed = viewed; }
    void SetBatched(bool batched) { m_batched = batched; }
    void SetExported(bool exported) { m_exported = exported; }

    // Becoming unique copies the default settings and per-layer settings (items keep their
    // ids); ceasing to be unique drops the copies and with them every edit made meanwhile.
    // 11 when the foreground has no default settings to copy (it was never added to a list),
    // 6 when memory runs out; the foreground is unchanged on failure.
    LMerr SetUnique(bool unique);

    // Shares the given settings object and copies the map (its entries point to the same
    // settings objects).
    void SetDefault(const ForegroundImageLayerSettingsPtr& settings, const LayerSettingsMap& layerSettings);

    // The settings in force: the unique ones when unique, else the shared defaults; may be null
    // when neither was ever given.
    ForegroundImageLayerSettingsPtr ForegroundSettings() const;
    // The settings in force for another layer; null when there is none.
    ImageLayerSettingsPtr LayerSettings(const QUuid& layerId) const;

protected:
    friend class ForegroundImageLayerList;

    // Files settings under the other layer's id, replacing an entry there.
    void CreateLayerSettings(const QUuid& layerId, const ImageLayerSettingsPtr& settings);
    void CreateUniqueLayerSettings(const QUuid& layerId, const ImageLayerSettingsPtr& settings);
    // Forgets both entries of the layer.
    void RemoveLayerSettings(const QUuid& layerId);

private:
    LMerr LoadFromXml(QDomElement& element) override;
    LMerr WriteToXml(QXmlStreamWriter& writer) const override;

    // The `type` of the file, which need not be the foreground's own (see LoadFromXml).
    int m_storedType = LayerTypeForeground;
    bool m_unique = false;
    bool m_viewed = false;
    bool m_batched = false;
    bool m_exported = false;
    ForegroundImageLayerSettingsPtr m_defaultSettings;
    ForegroundImageLayerSettingsPtr m_uniqueSettings;
    LayerSettingsMap m_defaultLayerSettings;
    LayerSettingsMap m_uniqueLayerSettings;
};

using ForegroundImageLayerPtr = std::shared_ptr<ForegroundImageLayer>;

// How the user interface orders the foreground table; stored in memory only.
enum ArrangedBySorting : int {
    ArrangedByName = 0,
    ArrangedByDate = 1,
    ArrangedByImportOrder = 2,
};

// Every foreground by id, with the default settings a foreground receives: one
// ForegroundImageLayerSettings and one ImageLayerSettings per other layer. Adding and removing
// foregrounds is reserved to the LayerManager. Reads from the `foregroundImageLayerList`
// element itself.
class APP_EXPORT ForegroundImageLayerList : public AbstractProjectItem {
public:
    using ForegroundMap = std::map<QUuid, ForegroundImageLayerPtr>;
    using ConstIterator = ForegroundMap::const_iterator;

    ForegroundImageLayerList();
    ForegroundImageLayerList(const ForegroundImageLayerList&) = delete;
    ForegroundImageLayerList& operator=(const ForegroundImageLayerList&) = delete;
    ~ForegroundImageLayerList() override;

    unsigned int Size() const { return static_cast<unsigned int>(m_foregrounds.size()); }
    bool IsEmpty() const { return m_foregrounds.empty(); }
    // Ascending id order.
    ConstIterator ConstBegin() const { return m_foregrounds.cbegin(); }
    ConstIterator ConstEnd() const { return m_foregrounds.cend(); }

    bool IsEnabled() const { return m_enabled; }
    void SetEnabled(bool enabled) { m_enabled = enabled; }
    bool IsCollapsed() const { return m_collapsed; }
    void SetCollapsed(bool collapsed) { m_collapsed = collapsed; }

    // Memory-only values of the user interface; never in the project file.
    ArrangedBySorting ArrangedByOption() const { return m_arrangedBy; }
    void SetArrangedByOption(ArrangedBySorting arrangedBy) { m_arrangedBy = arrangedBy; }
    Qt::SortOrder SortDirection() const { return m_sortDirection; }
    void SetSortDirection(Qt::SortOrder direction) { m_sortDirection = direction; }
    bool IsHotFolderEnabled() const { return m_hotFolderEnabled; }
    void SetHotFolderEnabled(bool enabled) { m_hotFolderEnabled = enabled; }
    const QString& HotFolderDirectory() const { return m_hotFolderDirectory; }
    void SetHotFolderDirectory(const QString& directory) { m_hotFolderDirectory = directory; }
    bool IsAutoExportEnabled() const { return m_autoExportEnabled; }
    void SetAutoExportEnabled(bool enabled) { m_autoExportEnabled = enabled; }
    const QString& AutoExportDirectory() const { return m_autoExportDirectory; }
    void SetAutoExportDirectory(const QString& directory) { m_autoExportDirectory = directory; }

    // The id of the first foreground (ascending id) whose path equals the text exactly; null
    // when none.
    QUuid IdFromPath(const QString& path) const;

    LMerr LoadFromXml(QDomElement& element) override;
    LMerr WriteToXml(QXmlStreamWriter& writer) const override;

protected:
    friend class LayerManager;

    // Attaches the default settings to the foreground and stores it; 22 when the id is present.
    LMerr Add(const ForegroundImageLayerPtr& layer);
    // 23 when no foreground has the id.
    LMerr Remove(const QUuid& id);
    ForegroundImageLayerPtr Get(const QUuid& id) const;
    ForegroundImageLayerPtr GetFromPath(const QString& path) const;
    bool Exists(const QUuid& id) const { return m_foregrounds.count(id) != 0; }
    bool ExistsFromPath(const QString& path) const { return !IdFromPath(path).isNull(); }
    // Removes every foreground; the default settings stay.
    void Clear() { m_foregrounds.clear(); }

    // Gives the list's defaults and every foreground settings for a newly added background,
    // overlay or further layer, from the section of the parsed default-layers resource that the
    // layer's type chooses. Raises XmlException 4 "Invalid layer type" when there is no such
    // section (nothing stored) and 6 when memory runs out.
    void CreateLayerSettings(QDomDocument& document, const ImageLayerPtr& layer);

    // The foreground's settings in force, or the list's defaults when the list does not hold it.
    ForegroundImageLayerSettingsPtr GetForegroundLayerSettings(const QUuid& foregroundId) const;
    // The settings the foreground keeps for the layer, or the list's default entry when the list
    // does not hold the foreground; null when there is none.
    ImageLayerSettingsPtr GetLayerSettings(const QUuid& layerId, const QUuid& foregroundId) const;
    // Forgets the layer's entry in the defaults and in every foreground.
    void RemoveLayerSettings(const QUuid& layerId);

private:
    bool m_enabled = true;
    bool m_collapsed = false;
    ArrangedBySorting m_arrangedBy = ArrangedByImportOrder;
    Qt::SortOrder m_sortDirection = Qt::AscendingOrder;
    bool m_hotFolderEnabled = false;
    bool m_autoExportEnabled = false;
    QString m_hotFolderDirectory;
    QString m_autoExportDirectory;
    ForegroundMap m_foregrounds;
    ForegroundImageLayerSettingsPtr m_defaultSettings;
    LayerSettingsMap m_defaultLayerSettings;
};

using ForegroundImageLayerListPtr = std::shared_ptr<ForegroundImageLayerList>;

} // namespace lumo::app
