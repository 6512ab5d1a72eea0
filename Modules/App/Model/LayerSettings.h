#pragma once

#include "AbstractProjectItem.h"
#include "AppExport.h"
#include "ItemLists.h"
#include "Mask.h"
#include "TextItem.h"

#include <QUuid>

#include <memory>

namespace lumo::app {

// What a foreground applies to itself: key chain, filters, composite effects, transforms,
// masks and text items. Usually one object is shared by every foreground that uses the default
// settings, so an edit through it reaches all of them. Copies share no item with their source
// (items keep their ids). Reads from the caller's element (its `foregroundLayerSettings` child).
class APP_EXPORT ForegroundImageLayerSettings final : public AbstractProjectItem {
public:
    ForegroundImageLayerSettings();
    ForegroundImageLayerSettings(const ForegroundImageLayerSettings& other);
    ForegroundImageLayerSettings& operator=(const ForegroundImageLayerSettings& other);
    ~ForegroundImageLayerSettings() override;

    // References stay valid as long as the settings object.
    FilterList& Filters();
    TransformList& Transforms();
    KeyList& Keys();
    CompositeList& Compositors();
    MaskList& Masks();
    TextList& TextItems();
    const FilterList& Filters() const;
    const TransformList& Transforms() const;
    const KeyList& Keys() const;
    const CompositeList& Compositors() const;
    const MaskList& Masks() const;
    const TextList& TextItems() const;

    // 11 when there is no `foregroundLayerSettings` child. Lists add what they read to what
    // they hold, so load into a new object.
    LMerr LoadFromXml(QDomElement& element) override;
    LMerr WriteToXml(QXmlStreamWriter& writer) const override;

private:
    struct ForegroundImageLayerSettingsImpl;
    std::unique_ptr<ForegroundImageLayerSettingsImpl> m_impl;
};

using ForegroundImageLayerSettingsPtr = std::shared_ptr<ForegroundImageLayerSettings>;

// What a foreground applies to one other layer (background, overlay or a further image layer),
// named by that layer's id: a filter list and a transform list. Reads from its `layerSetting`
// element.
class APP_EXPORT ImageLayerSettings final : public AbstractProjectItem {
public:
    ImageLayerSettings();
    // The per-layer defaults: both lists load from the element's `filterList` and
    // `transformList` children; what they fail to read is left out.
    ImageLayerSettings(const QUuid& parentId, QDomElement& element);
    ImageLayerSettings(const ImageLayerSettings& other);
    ImageLayerSettings& operator=(const ImageLayerSettings& other);
    ~ImageLayerSettings() override;

    // Changing it does not move the object in its owner's map.
    const QUuid& ParentId() const;
    void SetParentId(const QUuid& id);

    FilterList& Filters();
    TransformList& Transforms();
    const FilterList& Filters() const;
    const TransformList& Transforms() const;

    // A missing `parentId` raises XmlException 4 to the caller; text that is no id gives the
    // null id.
    LMerr LoadFromXml(QDomElement& element) override;
    LMerr WriteToXml(QXmlStreamWriter& writer) const override;

private:
    struct ImageLayerSettingsImpl;
    std::unique_ptr<ImageLayerSettingsImpl> m_impl;
};

using ImageLayerSettingsPtr = std::shared_ptr<ImageLayerSettings>;

} // namespace lumo::app
