#include "LayerSettings.h"

#include "XmlValues.h"

#include <QDomElement>
#include <QXmlStreamWriter>

namespace lumo::app {

struct ForegroundImageLayerSettings::ForegroundImageLayerSettingsImpl {
    FilterList filters;
    TransformList transforms;
    KeyList keys;
    CompositeList compositors;
    MaskList masks;
    TextList textItems;
};

ForegroundImageLayerSettings::ForegroundImageLayerSettings() : m_impl(std::make_unique<ForegroundImageLayerSettingsImpl>()) {}

ForegroundImageLayerSettings::ForegroundImageLayerSettings(const ForegroundImageLayerSettings& other)
    : AbstractProjectItem(other), m_impl(std::make_unique<ForegroundImageLayerSettingsImpl>(*other.m_impl))
{
}

ForegroundImageLayerSettings& ForegroundImageLayerSettings::operator=(const ForegroundImageLayerSettings& other)
{
    // The lists stay in place (callers hold references to them); their assignment clones.
    if (this != &other) {
        m_impl->filters = other.m_impl->filters;
        m_impl->transforms = other.m_impl->transforms;
        m_impl->keys = other.m_impl->keys;
        m_impl->compositors = other.m_impl->compositors;
        m_impl->masks = other.m_impl->masks;
        m_impl->textItems = other.m_impl->textItems;
    }
    return *this;
}

ForegroundImageLayerSettings::~ForegroundImageLayerSettings() = default;

FilterList& ForegroundImageLayerSettings::Filters()
{
    return m_impl->filters;
}
TransformList& ForegroundImageLayerSettings::Transforms()
{
    return m_impl->transforms;
}
KeyList& ForegroundImageLayerSettings::Keys()
{
    return m_impl->keys;
}
CompositeList& ForegroundImageLayerSettings::Compositors()
{
    return m_impl->compositors;
}
MaskList& ForegroundImageLayerSettings::Masks()
{
    return m_impl->masks;
}
TextList& ForegroundImageLayerSettings::TextItems()
{
    return m_impl->textItems;
}
const FilterList& ForegroundImageLayerSettings::Filters() const
{
    return m_impl->filters;
}
const TransformList& ForegroundImageLayerSettings::Transforms() const
{
    return m_impl->transforms;
}
const KeyList& ForegroundImageLayerSettings::Keys() const
{
    return m_impl->keys;
}
const CompositeList& ForegroundImageLayerSettings::Compositors() const
{
    return m_impl->compositors;
}
const MaskList& ForegroundImageLayerSettings::Masks() const
{
    return m_impl->masks;
}
const TextList& ForegroundImageLayerSettings::TextItems() const
{
    return m_impl->textItems;
}

LMerr ForegroundImageLayerSettings::LoadFromXml(QDomElement& element)
{
    QDomElement settings = element.firstChildElement(QStringLiteral("foregroundLayerSettings"));
    if (settings.isNull())
        return LMerrNoForegroundSettings;
    AbstractProjectItem* const lists[] = {&m_impl->filters,     &m_impl->transforms, &m_impl->keys,
                                          &m_impl->compositors, &m_impl->masks,      &m_impl->textItems};
    for (AbstractProjectItem* list : lists) {
        const LMerr result = list->LoadFromXml(settings);
        if (result != LMerrSuccess)
            return result;
    }
    return LMerrSuccess;
}

LMerr ForegroundImageLayerSettings::WriteToXml(QXmlStreamWriter& writer) const
{
    return CatchXml([&] {
        writer.writeStartElement(QStringLiteral("foregroundLayerSettings"));
        const AbstractProjectItem* const lists[] = {&m_impl->keys,       &m_impl->filters, &m_impl->compositors,
                                                    &m_impl->transforms, &m_impl->masks,   &m_impl->textItems};
        for (const AbstractProjectItem* list : lists)
            WriteChild(*list, writer);
        writer.writeEndElement();
    });
}

// ImageLayerSettings

struct ImageLayerSettings::ImageLayerSettingsImpl {
    QUuid parentId;
    FilterList filters;
    TransformList transforms;
};

ImageLayerSettings::ImageLayerSettings() : m_impl(std::make_unique<ImageLayerSettingsImpl>()) {}

ImageLayerSettings::ImageLayerSettings(const QUuid& parentId, QDomElement& element) : m_impl(std::make_unique<ImageLayerSettingsImpl>())
{
    m_impl->parentId = parentId;
    // The built-in defaults: a list that fails keeps what it read before the failure.
    static_cast<AbstractProjectItem&>(m_impl->filters).LoadFromXml(element);
    static_cast<AbstractProjectItem&>(m_impl->transforms).LoadFromXml(element);
}

ImageLayerSettings::ImageLayerSettings(const ImageLayerSettings& other)
    : AbstractProjectItem(other), m_impl(std::make_unique<ImageLayerSettingsImpl>(*other.m_impl))
{
}

ImageLayerSettings& ImageLayerSettings::operator=(const ImageLayerSettings& other)
{
    if (this != &other) {
        m_impl->parentId = other.m_impl->parentId;
        m_impl->filters = other.m_impl->filters;
        m_impl->transforms = other.m_impl->transforms;
    }
    return *this;
}

ImageLayerSettings::~ImageLayerSettings() = default;

const QUuid& ImageLayerSettings::ParentId() const
{
    return m_impl->parentId;
}
void ImageLayerSettings::SetParentId(const QUuid& id)
{
    m_impl->parentId = id;
}
FilterList& ImageLayerSettings::Filters()
{
    return m_impl->filters;
}
TransformList& ImageLayerSettings::Transforms()
{
    return m_impl->transforms;
}
const FilterList& ImageLayerSettings::Filters() const
{
    return m_impl->filters;
}
const TransformList& ImageLayerSettings::Transforms() const
{
    return m_impl->transforms;
}

LMerr ImageLayerSettings::LoadFromXml(QDomElement& element)
{
    m_impl->parentId = QUuid(QString::fromStdWString(ReadXmlTagWString(element, QStringLiteral("parentId"))));
    const LMerr result = static_cast<AbstractProjectItem&>(m_impl->filters).LoadFromXml(element);
    if (result != LMerrSuccess)
        return result;
    return static_cast<AbstractProjectItem&>(m_impl->transforms).LoadFromXml(element);
}

LMerr ImageLayerSettings::WriteToXml(QXmlStreamWriter& writer) const
{
    return CatchXml([&] {
        writer.writeStartElement(QStringLiteral("layerSetting"));
        WriteXmlTagWString(writer, QStringLiteral("parentId"), m_impl->parentId.toString().toStdWString(), true);
        const AbstractProjectItem* const lists[] = {&m_impl->filters, &m_impl->transforms};
        for (const AbstractProjectItem* list : lists)
            WriteChild(*list, writer);
        writer.writeEndElement();
    });
}

} // namespace lumo::app
