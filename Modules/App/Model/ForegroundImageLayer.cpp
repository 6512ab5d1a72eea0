#include "ForegroundImageLayer.h"

#include "XmlValues.h"

#include <QDomDocument>
#include <QDomElement>
#include <QXmlStreamWriter>

#include <new>
#include <vector>

namespace lumo::app {

namespace {

const char kNoMemory[] = "There was not enough memory to allocate to the project.";

QString Text(const QDomElement& element, const char* name)
{
    return QString::fromStdWString(ReadXmlTagWString(element, QString::fromLatin1(name)));
}

void WriteText(QXmlStreamWriter& writer, const char* name, const QString& value)
{
    WriteXmlTagWString(writer, QString::fromLatin1(name), value.toStdWString(), true);
}

template <class Map>
typename Map::mapped_type Find(const Map& map, const QUuid& id)
{
    const auto it = map.find(id);
    return it == map.end() ? typename Map::mapped_type() : it->second;
}

// Reads the `layerSetting` children of the element's `layerSettings` child into the map, a
// later entry for the same layer replacing an earlier one.
void LoadLayerSettings(QDomElement& element, LayerSettingsMap& map)
{
    const QDomElement list = element.firstChildElement(QStringLiteral("layerSettings"));
    for (QDomElement child = list.firstChildElement(QStringLiteral("layerSetting")); !child.isNull();
         child = child.nextSiblingElement(QStringLiteral("layerSetting"))) {
        auto settings = std::make_shared<ImageLayerSettings>();
        AbstractProjectItem& stored = *settings;
        if (stored.LoadFromXml(child) != LMerrSuccess)
            throw XmlException(LMerrInvalidData, "Unique layer settings could not be loaded");
        map[settings->ParentId()] = settings;
    }
}

void WriteLayerSettings(QXmlStreamWriter& writer, const LayerSettingsMap& map)
{
    writer.writeStartElement(QStringLiteral("layerSettings"));
    for (const auto& [id, settings] : map) {
        const AbstractProjectItem& stored = *settings;
        if (stored.WriteToXml(writer) != LMerrSuccess)
            throw XmlException(LMerrCannotWrite, "Layer settings could not be saved");
    }
    writer.writeEndElement();
}

// Runs a reader body; exhausted memory becomes code 6 with the loader's message.
template <class Body>
LMerr CatchLoad(Body&& body)
{
    return CatchXml([&] {
        try {
            body();
        } catch (const std::bad_alloc&) {
            throw XmlException(LMerrOutOfMemory, kNoMemory);
        }
    });
}

} // namespace

// ForegroundImageLayer

ForegroundImageLayer::ForegroundImageLayer(const QString& name, const QString& path)
    : ImageLayer(LayerTypeForeground, name, path)
{
}

ForegroundImageLayer::~ForegroundImageLayer() = default;

LMerr ForegroundImageLayer::SetUnique(bool unique)
{
    if (unique == m_unique)
        return LMerrSuccess;
    if (!unique) {
        m_unique = false;
        m_uniqueSettings.reset();
        m_uniqueLayerSettings.clear();
        return LMerrSuccess;
    }
    if (!m_defaultSettings)
        return LMerrNoForegroundSettings;
    // Copies are made before anything changes, so running out of memory leaves the foreground
    // shared.
    try {
        auto settings = std::make_shared<ForegroundImageLayerSettings>(*m_defaultSettings);
        LayerSettingsMap layerSettings = m_uniqueLayerSettings;
        for (const auto& [id, shared] : m_defaultLayerSettings) {
            if (shared)
                layerSettings[id] = std::make_shared<ImageLayerSettings>(*shared);
        }
        m_uniqueSettings = std::move(settings);
        m_uniqueLayerSettings.swap(layerSettings);
    } catch (const std::bad_alloc&) {
        return LMerrOutOfMemory;
    }
    m_unique = true;
    return LMerrSuccess;
}

void ForegroundImageLayer::SetDefault(const ForegroundImageLayerSettingsPtr& settings,
                                      const LayerSettingsMap& layerSettings)
{
    m_defaultSettings = settings;
    m_defaultLayerSettings = layerSettings;
}

ForegroundImageLayerSettingsPtr ForegroundImageLayer::ForegroundSettings() const
{
    return m_unique ? m_uniqueSettings : m_defaultSettings;
}

ImageLayerSettingsPtr ForegroundImageLayer::LayerSettings(const QUuid& layerId) const
{
    return Find(m_unique ? m_uniqueLayerSettings : m_defaultLayerSettings, layerId);
}

void ForegroundImageLayer::CreateLayerSettings(const QUuid& layerId, const ImageLayerSettingsPtr& settings)
{
    m_defaultLayerSettings[layerId] = settings;
}

void ForegroundImageLayer::CreateUniqueLayerSettings(const QUuid& layerId, const ImageLayerSettingsPtr& settings)
{
    m_uniqueLayerSettings[layerId] = settings;
}

void ForegroundImageLayer::RemoveLayerSettings(const QUuid& layerId)
{
    m_defaultLayerSettings.erase(layerId);
    m_uniqueLayerSettings.erase(layerId);
}

LMerr ForegroundImageLayer::LoadFromXml(QDomElement& element)
{
    return CatchLoad([&] {
        SetId(Text(element, "id"));
        // Any layer type is taken (14 outside 0 to 3) and written back as read, but a layer of
        // the foreground list is a foreground whatever its file says: Type() stays the
        // foreground's, or the render pipeline would draw it as a background or overlay.
        const int type = ReadXmlTagInt(element, QStringLiteral("type"));
        SetType(type);
        SetType(LayerTypeForeground);
        m_storedType = type;

        SetEnabled(ReadXmlAttributeBool(element, QStringLiteral("enabled")));
        m_viewed = ReadXmlAttributeBool(element, QStringLiteral("viewed"));
        m_batched = ReadXmlAttributeBool(element, QStringLiteral("batched"));
        m_unique = ReadXmlAttributeBool(element, QStringLiteral("unique"));
        SetName(Text(element, "name"));
        SetPath(Text(element, "path"));
        SetDpiX(ReadXmlTagUInt(element, QStringLiteral("dpiX")));
        SetDpiY(ReadXmlTagUInt(element, QStringLiteral("dpiY")));
        SetCollapsed(ReadXmlAttributeBool(element, QStringLiteral("collapsed")));
        SetThumbnailFilename(Text(element, "thumbnailFilename"));
        SetIsValid(!Path().isEmpty());
        // Older files have no `exported`.
        try {
            m_exported = ReadXmlAttributeBool(element, QStringLiteral("exported"));
        } catch (const XmlException&) {
            m_exported = false;
        }
        if (!m_unique)
            return;

        auto settings = std::make_shared<ForegroundImageLayerSettings>();
        AbstractProjectItem& stored = *settings;
        if (stored.LoadFromXml(element) != LMerrSuccess)
            throw XmlException(LMerrInvalidData, "Unique foreground image settings could not be loaded");
        m_uniqueSettings = settings;
        LoadLayerSettings(element, m_uniqueLayerSettings);
    });
}

LMerr ForegroundImageLayer::WriteToXml(QXmlStreamWriter& writer) const
{
    return CatchXml([&] {
        writer.writeStartElement(QStringLiteral("foregroundImageLayer"));
        WriteXmlAttributeBool(writer, QStringLiteral("enabled"), IsEnabled());
        WriteXmlAttributeBool(writer, QStringLiteral("collapsed"), IsCollapsed());
        WriteXmlAttributeBool(writer, QStringLiteral("viewed"), m_viewed);
        WriteXmlAttributeBool(writer, QStringLiteral("batched"), m_batched);
        WriteXmlAttributeBool(writer, QStringLiteral("unique"), m_unique);
        WriteXmlAttributeBool(writer, QStringLiteral("exported"), m_exported);
        WriteText(writer, "id", Id().toString());
        WriteXmlTagInt(writer, QStringLiteral("type"), m_storedType);
        WriteText(writer, "name", Name());
        WriteText(writer, "path", Path());
        WriteXmlTagUInt(writer, QStringLiteral("dpiX"), DpiX());
        WriteXmlTagUInt(writer, QStringLiteral("dpiY"), DpiY());
        WriteText(writer, "thumbnailFilename", ThumbnailFilename());
        if (m_unique) {
            if (!m_uniqueSettings)
                throw XmlException(LMerrCannotWrite, "Foreground settings could not be saved");
            const AbstractProjectItem& stored = *m_uniqueSettings;
            if (stored.WriteToXml(writer) != LMerrSuccess)
                throw XmlException(LMerrCannotWrite, "Foreground settings could not be saved");
            WriteLayerSettings(writer, m_uniqueLayerSettings);
        }
        writer.writeEndElement();
    });
}

// ForegroundImageLayerList

ForegroundImageLayerList::ForegroundImageLayerList() = default;

ForegroundImageLayerList::~ForegroundImageLayerList() = default;

QUuid ForegroundImageLayerList::IdFromPath(const QString& path) const
{
    for (const auto& [id, layer] : m_foregrounds) {
        if (layer->Path() == path)
            return id;
    }
    return QUuid();
}

LMerr ForegroundImageLayerList::Add(const ForegroundImageLayerPtr& layer)
{
    if (!layer)
        return LMerrForegroundMissing;
    if (Exists(layer->Id()))
        return LMerrForegroundPresent;
    try {
        layer->SetDefault(m_defaultSettings, m_defaultLayerSettings);
        m_foregrounds.emplace(layer->Id(), layer);
    } catch (const std::bad_alloc&) {
        return LMerrOutOfMemory;
    }
    return LMerrSuccess;
}

LMerr ForegroundImageLayerList::Remove(const QUuid& id)
{
    return m_foregrounds.erase(id) != 0 ? LMerrSuccess : LMerrForegroundMissing;
}

ForegroundImageLayerPtr ForegroundImageLayerList::Get(const QUuid& id) const
{
    return Find(m_foregrounds, id);
}

ForegroundImageLayerPtr ForegroundImageLayerList::GetFromPath(const QString& path) const
{
    return Get(IdFromPath(path));
}

void ForegroundImageLayerList::CreateLayerSettings(QDomDocument& document, const ImageLayerPtr& layer)
{
    const char* section = nullptr;
    switch (layer ? layer->Type() : LayerTypeForeground) {
    case LayerTypeBackground:
        section = "backgroundLayerSettings";
        break;
    case LayerTypeOverlay:
        section = "overlayLayerSettings";
        break;
    case LayerTypeImage:
        section = "layerSettings";
        break;
    case LayerTypeForeground:
        break;
    }
    QDomElement element;
    if (section)
        element = document.firstChildElement(QStringLiteral("defaultLayerSettings"))
                      .firstChildElement(QString::fromLatin1(section));
    if (element.isNull())
        throw XmlException(LMerrInvalidData, "Invalid layer type");

    const QUuid id = layer->Id();
    try {
        // Everything is built before anything is stored, so a failure stores nothing.
        auto shared = std::make_shared<ImageLayerSettings>(id, element);
        std::vector<std::pair<ForegroundImageLayer*, ImageLayerSettingsPtr>> own;
        for (const auto& [foregroundId, foreground] : m_foregrounds) {
            if (foreground->IsUnique())
                own.emplace_back(foreground.get(), std::make_shared<ImageLayerSettings>(id, element));
        }
        m_defaultLayerSettings[id] = shared;
        for (const auto& [foregroundId, foreground] : m_foregrounds)
            foreground->CreateLayerSettings(id, shared);
        for (const auto& [foreground, settings] : own)
            foreground->CreateUniqueLayerSettings(id, settings);
    } catch (const std::bad_alloc&) {
        throw XmlException(LMerrOutOfMemory, kNoMemory);
    }
}

ForegroundImageLayerSettingsPtr ForegroundImageLayerList::GetForegroundLayerSettings(const QUuid& foregroundId) const
{
    if (const ForegroundImageLayerPtr foreground = Get(foregroundId))
        return foreground->ForegroundSettings();
    return m_defaultSettings;
}

ImageLayerSettingsPtr ForegroundImageLayerList::GetLayerSettings(const QUuid& layerId, const QUuid& foregroundId) const
{
    if (const ForegroundImageLayerPtr foreground = Get(foregroundId))
        return foreground->LayerSettings(layerId);
    return Find(m_defaultLayerSettings, layerId);
}

void ForegroundImageLayerList::RemoveLayerSettings(const QUuid& layerId)
{
    m_defaultLayerSettings.erase(layerId);
    for (const auto& [id, foreground] : m_foregrounds)
        foreground->RemoveLayerSettings(layerId);
}

LMerr ForegroundImageLayerList::LoadFromXml(QDomElement& element)
{
    return CatchLoad([&] {
        m_enabled = ReadXmlAttributeBool(element, QStringLiteral("enabled"));
        m_collapsed = ReadXmlAttributeBool(element, QStringLiteral("collapsed"));

        QDomElement defaults = element.firstChildElement(QStringLiteral("defaultImageSettings"));
        if (defaults.isNull())
            throw XmlException(LMerrInvalidData, "defaultImageSettings Tag is missing");
        try {
            m_defaultSettings = std::make_shared<ForegroundImageLayerSettings>();
        } catch (const std::bad_alloc&) {
            throw XmlException(LMerrOutOfMemory, "There was not enough memory to allocate to the project");
        }
        AbstractProjectItem& settings = *m_defaultSettings;
        if (settings.LoadFromXml(defaults) != LMerrSuccess)
            throw XmlException(LMerrInvalidData, "Default foreground image settings could not be loaded");
        LoadLayerSettings(defaults, m_defaultLayerSettings);

        for (QDomElement child = element.firstChildElement(QStringLiteral("foregroundImageLayer"));
             !child.isNull(); child = child.nextSiblingElement(QStringLiteral("foregroundImageLayer"))) {
            auto foreground = std::make_shared<ForegroundImageLayer>(QString(), QString());
            AbstractProjectItem& stored = *foreground;
            if (stored.LoadFromXml(child) != LMerrSuccess)
                throw XmlException(LMerrInvalidData, "Foreground could not be loaded.");
            // A second foreground with an id already present is dropped.
            if (Add(foreground) == LMerrOutOfMemory)
                throw std::bad_alloc();
        }
    });
}

LMerr ForegroundImageLayerList::WriteToXml(QXmlStreamWriter& writer) const
{
    return CatchXml([&] {
        writer.writeStartElement(QStringLiteral("foregroundImageLayerList"));
        WriteXmlAttributeBool(writer, QStringLiteral("collapsed"), m_collapsed);
        WriteXmlAttributeBool(writer, QStringLiteral("enabled"), m_enabled);
        writer.writeStartElement(QStringLiteral("defaultImageSettings"));
        if (m_defaultSettings) {
            const AbstractProjectItem& settings = *m_defaultSettings;
            if (settings.WriteToXml(writer) != LMerrSuccess)
                throw XmlException(LMerrCannotWrite, "Foreground settings could not be saved");
        }
        WriteLayerSettings(writer, m_defaultLayerSettings);
        writer.writeEndElement();
        for (const auto& [id, foreground] : m_foregrounds) {
            const AbstractProjectItem& stored = *foreground;
            if (stored.WriteToXml(writer) != LMerrSuccess)
                throw XmlException(LMerrCannotWrite, "Foreground could not be saved");
        }
        writer.writeEndElement();
    });
}

} // namespace lumo::app
