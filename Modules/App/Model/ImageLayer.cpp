#include "ImageLayer.h"

#include "XmlValues.h"

#include <QDomElement>
#include <QXmlStreamWriter>

#include <algorithm>
#include <climits>
#include <new>

namespace lumo::app {

namespace {

QString ReadString(const QDomElement& element, const char* name)
{
    return QString::fromStdWString(ReadXmlTagWString(element, QString::fromLatin1(name)));
}

void WriteString(QXmlStreamWriter& writer, const char* name, const QString& value)
{
    WriteXmlTagWString(writer, QString::fromLatin1(name), value.toStdWString(), true);
}

QUuid ReadIdAttribute(const QDomElement& element, const char* name)
{
    return QUuid(QString::fromStdWString(ReadXmlAttributeWString(element, QString::fromLatin1(name))));
}

} // namespace

ImageLayer::ImageLayer(LayerType type, const QString& name, const QString& path)
    : m_id(QUuid::createUuid()), m_type(type), m_name(name), m_path(path)
{
}

ImageLayer::~ImageLayer() = default;

void ImageLayer::ClearData()
{
    m_path = QString(QLatin1String(""));
    m_thumbnailFilename = QString(QLatin1String(""));
    m_valid = false;
    m_dimensions = QSize(0, 0);
    m_dpiX = 0;
    m_dpiY = 0;
    m_enabled = true;
    m_collapsed = true;
}

void ImageLayer::SetId(const QString& id)
{
    const QUuid parsed(id);
    if (parsed.isNull())
        throw XmlException(LMerrInvalidLayerId, "Layer has invalid id.");
    m_id = parsed;
}

void ImageLayer::SetType(int type)
{
    if (type < LayerTypeBackground || type > LayerTypeImage)
        throw XmlException(LMerrInvalidLayerType, "Layer has invalid type.");
    m_type = static_cast<LayerType>(type);
}

LMerr ImageLayer::LoadFromXml(QDomElement& element)
{
    return CatchXml([&] {
        SetId(ReadString(element, "id"));
        const unsigned int type = ReadXmlTagUInt(element, QStringLiteral("type"));
        SetType(type > unsigned(LayerTypeImage) ? -1 : static_cast<int>(type));
        m_name = ReadString(element, "name");
        m_path = ReadString(element, "path");
        const unsigned int width = ReadXmlTagUInt(element, QStringLiteral("width"));
        const unsigned int height = ReadXmlTagUInt(element, QStringLiteral("height"));
        // QSize holds int; a side beyond it is no real image.
        if (width > unsigned(INT_MAX) || height > unsigned(INT_MAX))
            throw XmlException(LMerrInvalidData, "Layer size is invalid");
        m_dimensions = QSize(static_cast<int>(width), static_cast<int>(height));
        m_dpiX = ReadXmlTagUInt(element, QStringLiteral("dpiX"));
        m_dpiY = ReadXmlTagUInt(element, QStringLiteral("dpiY"));
        m_enabled = ReadXmlAttributeBool(element, QStringLiteral("enabled"));
        m_collapsed = ReadXmlAttributeBool(element, QStringLiteral("collapsed"));
        m_thumbnailFilename = ReadString(element, "thumbnailFilename");
        m_valid = !m_path.isEmpty();
    });
}

LMerr ImageLayer::WriteToXml(QXmlStreamWriter& writer) const
{
    return CatchXml([&] {
        writer.writeStartElement(QStringLiteral("layer"));
        WriteXmlAttributeBool(writer, QStringLiteral("enabled"), m_enabled);
        WriteXmlAttributeBool(writer, QStringLiteral("collapsed"), m_collapsed);
        WriteString(writer, "id", m_id.toString());
        WriteXmlTagInt(writer, QStringLiteral("type"), m_type);
        WriteString(writer, "name", m_name);
        WriteString(writer, "path", m_path);
        WriteXmlTagUInt(writer, QStringLiteral("width"), static_cast<unsigned int>(std::max(0, m_dimensions.width())));
        WriteXmlTagUInt(writer, QStringLiteral("height"),
                        static_cast<unsigned int>(std::max(0, m_dimensions.height())));
        WriteXmlTagUInt(writer, QStringLiteral("dpiX"), m_dpiX);
        WriteXmlTagUInt(writer, QStringLiteral("dpiY"), m_dpiY);
        WriteString(writer, "thumbnailFilename", m_thumbnailFilename);
        writer.writeEndElement();
    });
}

// ImageLayerList

ImageLayerList::ImageLayerList() = default;

ImageLayerList::~ImageLayerList() = default;

unsigned int ImageLayerList::SizeByType(LayerType type) const
{
    return static_cast<unsigned int>(std::count_if(
        m_layers.begin(), m_layers.end(), [&](const LayerMap::value_type& entry) { return entry.second->Type() == type; }));
}

LMerr ImageLayerList::Add(const ImageLayerPtr& layer)
{
    if (!m_layers.emplace(layer->Id(), layer).second)
        return LMerrLayerPresent;
    return LMerrSuccess;
}

LMerr ImageLayerList::Remove(const QUuid& id)
{
    return m_layers.erase(id) != 0 ? LMerrSuccess : LMerrLayerMissing;
}

ImageLayerPtr ImageLayerList::Get(const QUuid& id) const
{
    const auto it = m_layers.find(id);
    return it != m_layers.end() ? it->second : ImageLayerPtr();
}

void ImageLayerList::ClearByType(LayerType type)
{
    for (auto it = m_layers.begin(); it != m_layers.end();) {
        if (it->second->Type() == type)
            it = m_layers.erase(it);
        else
            ++it;
    }
}

LMerr ImageLayerList::LoadFromXml(QDomElement& element)
{
    m_foregroundId = ReadIdAttribute(element, "foregroundId");
    m_backgroundId = ReadIdAttribute(element, "backgroundId");
    m_overlayId = ReadIdAttribute(element, "overlayId");
    m_selected = QUuid(ReadString(element, "currentSelectedLayer"));
    m_layerSuffix = ReadXmlTagUInt(element, QStringLiteral("layerSuffix"));

    const QDomElement order = element.firstChildElement(QStringLiteral("compositeOrder"));
    for (QDomElement id = order.firstChildElement(QStringLiteral("id")); !id.isNull();
         id = id.nextSiblingElement(QStringLiteral("id"))) {
        const QUuid parsed(id.text());
        if (!parsed.isNull())
            m_compositeOrder.append(parsed);
    }

    for (QDomElement child = element.firstChildElement(QStringLiteral("layer")); !child.isNull();
         child = child.nextSiblingElement(QStringLiteral("layer"))) {
        ImageLayerPtr layer;
        try {
            layer = std::make_shared<ImageLayer>(LayerTypeImage, QString(), QString());
        } catch (const std::bad_alloc&) {
            throw XmlException(LMerrOutOfMemory, "There was not enough memory to allocate to the project.");
        }
        AbstractProjectItem& stored = *layer;
        if (stored.LoadFromXml(child) != LMerrSuccess)
            throw XmlException(LMerrInvalidData, "Layer could not be loaded.");
        // A second layer with an id already present is dropped.
        m_layers.emplace(layer->Id(), layer);
    }
    return LMerrSuccess;
}

LMerr ImageLayerList::WriteToXml(QXmlStreamWriter& writer) const
{
    return CatchXml([&] {
        writer.writeStartElement(QStringLiteral("layerList"));
        WriteXmlAttributeWString(writer, QStringLiteral("foregroundId"), m_foregroundId.toString().toStdWString());
        WriteXmlAttributeWString(writer, QStringLiteral("backgroundId"), m_backgroundId.toString().toStdWString());
        WriteXmlAttributeWString(writer, QStringLiteral("overlayId"), m_overlayId.toString().toStdWString());
        WriteString(writer, "currentSelectedLayer", m_selected.toString());
        WriteXmlTagUInt(writer, QStringLiteral("layerSuffix"), m_layerSuffix);
        writer.writeStartElement(QStringLiteral("compositeOrder"));
        for (const QUuid& id : m_compositeOrder)
            WriteXmlTagWString(writer, QStringLiteral("id"), id.toString().toStdWString(), false);
        writer.writeEndElement();
        for (const auto& [id, layer] : m_layers)
            WriteChild(*layer, writer);
        writer.writeEndElement();
    });
}

} // namespace lumo::app
