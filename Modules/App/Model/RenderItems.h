#pragma once

#include "AbstractProjectItem.h"
#include "AppExport.h"

#include <QUuid>

#include <memory>
#include <vector>

class QString;

namespace hvn::image {
class HXImageProcessor;
class HXImageKeyer;
} // namespace hvn::image
namespace hvn::maths {
struct HXRect;
}

namespace lumo::app {

enum TransformItemType : int {
    TransformItemTypeTransformation = 0,
    TransformItemTypeFit = 1,
};

enum FilterItemType : int {
    FilterItemTypeBrightness = 0,
    FilterItemTypeContrast = 1,
    FilterItemTypeSaturation = 2,
    FilterItemTypeSuperContrast = 3,
    FilterItemTypeColorTemperature = 4,
    FilterItemTypeColorBalance = 5,
    FilterItemTypeHueColorize = 6,
    FilterItemTypeHueShift = 7,
    FilterItemTypeTransparency = 8,
    FilterItemTypeBlur = 9,
    FilterItemTypeMirror = 10,
    FilterItemTypeSharpen = 11,
    FilterItemTypeSilhouette = 12,
    FilterItemTypeShadowCast = 13,
    FilterItemTypeBackgroundDepthOfField = 14,
    FilterItemTypeDefocus = 15,
    FilterItemTypeDiffuse = 16,
};

// No item has the value 5.
enum KeyItemType : int {
    KeyItemTypeYuvBlur = 0,
    KeyItemTypeAutoColorDifference = 1,
    KeyItemTypeSpillSuppression = 2,
    KeyItemTypeCrop = 3,
    KeyItemTypeLightSpill = 4,
    KeyItemTypeAlphaSuperContrast = 6,
    KeyItemTypeAlphaBlur = 7,
    KeyItemTypeErode = 8,
};

enum CompositeItemType : int {
    CompositeItemTypeTint = 0,
    CompositeItemTypeVignette = 1,
    CompositeItemTypeDepthOfField = 2,
    CompositeItemTypeSoftFocus = 3,
    CompositeItemTypeThreeStripColor = 4,
    CompositeItemTypeBleachBypass = 5,
};

// The interface every effect shares: identity and the three flags.
class APP_EXPORT AbstractRenderItem : public AbstractProjectItem {
public:
    virtual const QUuid& Id() const = 0;
    virtual bool IsEnabled() const = 0;
    virtual bool IsCollapsed() const = 0;
    virtual bool IsActive() const = 0;
    virtual void SetEnabled(bool enabled) = 0;
    virtual void SetCollapsed(bool collapsed) = 0;
    virtual void SetActive(bool active) = 0;
};

class APP_EXPORT AbstractTransformItem : public AbstractRenderItem {
public:
    virtual TransformItemType Type() const = 0;
    virtual void CopyToVector(std::vector<std::shared_ptr<AbstractTransformItem>>& items) const = 0;
};

class APP_EXPORT AbstractFilterItem : public AbstractRenderItem {
public:
    virtual FilterItemType Type() const = 0;
    virtual void AddToImageProcessor(hvn::image::HXImageProcessor& processor, double scale) = 0;
    virtual void CopyToVector(std::vector<std::shared_ptr<AbstractFilterItem>>& items) const = 0;
};

class APP_EXPORT AbstractKeyItem : public AbstractRenderItem {
public:
    virtual KeyItemType Type() const = 0;
    virtual void AddToImageKeyer(hvn::image::HXImageKeyer& keyer, double scale) = 0;
    virtual void CopyToVector(std::vector<std::shared_ptr<AbstractKeyItem>>& items) const = 0;
};

class APP_EXPORT AbstractCompositeItem : public AbstractRenderItem {
public:
    virtual CompositeItemType Type() const = 0;
    virtual void AddToImageProcessor(hvn::image::HXImageProcessor& processor, const hvn::maths::HXRect& rect,
                                     double scale) = 0;
    virtual void CopyToVector(std::vector<std::shared_ptr<AbstractCompositeItem>>& items) const = 0;
};

// The fields every concrete item declares first (id, enabled, collapsed, active), their
// accessors, cloning, and the reading and writing of the two stored flags.
template <class Family, class Derived>
class RenderItem : public Family {
public:
    const QUuid& Id() const override { return m_id; }
    bool IsEnabled() const override { return m_enabled; }
    bool IsCollapsed() const override { return m_collapsed; }
    bool IsActive() const override { return m_active; }
    void SetEnabled(bool enabled) override { m_enabled = enabled; }
    void SetCollapsed(bool collapsed) override { m_collapsed = collapsed; }
    void SetActive(bool active) override { m_active = active; }

    // A copy keeps the id: it is the same item by identity.
    void CopyToVector(std::vector<std::shared_ptr<Family>>& items) const override
    {
        items.push_back(std::make_shared<Derived>(static_cast<const Derived&>(*this)));
    }

protected:
    RenderItem(bool enabled, bool collapsed, bool active)
        : m_id(QUuid::createUuid()), m_enabled(enabled), m_collapsed(collapsed), m_active(active)
    {
    }
    RenderItem(const RenderItem&) = default;
    RenderItem& operator=(const RenderItem&) = default;

    enum class FlagOrder { CollapsedFirst, EnabledFirst };
    // Reads the required attributes `collapsed` and `enabled`, storing each as it is read.
    void ReadFlags(const QDomElement& element, FlagOrder order);
    // Starts the item's element and writes `collapsed` then `enabled`.
    void WriteStartAndFlags(QXmlStreamWriter& writer, const QString& elementName) const;

private:
    QUuid m_id;
    bool m_enabled;
    bool m_collapsed;
    bool m_active;
};

// Element name to a new default item of the list's family; null for a name not in the table.
APP_EXPORT std::shared_ptr<AbstractTransformItem> CreateTransformItem(const QString& elementName);
APP_EXPORT std::shared_ptr<AbstractFilterItem> CreateFilterItem(const QString& elementName);
APP_EXPORT std::shared_ptr<AbstractKeyItem> CreateKeyItem(const QString& elementName);
APP_EXPORT std::shared_ptr<AbstractCompositeItem> CreateCompositeItem(const QString& elementName);

} // namespace lumo::app

#include "RenderItemFlags.h"
