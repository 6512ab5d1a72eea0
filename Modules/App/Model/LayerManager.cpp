#include "LayerManager.h"

#include "ProjectFile.h"
#include "XmlValues.h"

#include <QDomDocument>
#include <QDomElement>
#include <QXmlStreamWriter>

namespace lumo::app {

namespace {

const QString kDefaultLayerSettings = QStringLiteral(":/xml/default-layers-LM.xml");

QDomElement RequiredChild(const QDomElement& parent, const char* name)
{
    QDomElement child = parent.firstChildElement(QString::fromLatin1(name));
    if (child.isNull())
        throw XmlException(LMerrInvalidData, std::string(name) + " Tag is missing");
    return child;
}

} // namespace

struct LayerManager::Impl {
    QUuid currentForegroundId;
    std::shared_ptr<ForegroundImageLayerList> foregroundLayerList = std::make_shared<ForegroundImageLayerList>();
    std::shared_ptr<ImageLayerList> layerList = std::make_shared<ImageLayerList>();
};

LayerManager::LayerManager() : m_impl(std::make_unique<Impl>()) {}

LayerManager::~LayerManager() = default;

const QUuid& LayerManager::CurrentForegroundId() const
{
    return m_impl->currentForegroundId;
}

void LayerManager::SetCurrentForegroundId(const QUuid& id)
{
    m_impl->currentForegroundId = id;
}

bool LayerManager::IsCurrentForegroundUnique() const
{
    const ForegroundImageLayerPtr foreground = GetForeground(m_impl->currentForegroundId);
    return foreground && foreground->IsUnique();
}

LMerr LayerManager::AddLayer(const ImageLayerPtr& layer)
{
    if (!layer)
        return LMerrInvalidData;
    const LMerr added = m_impl->layerList->Add(layer);
    if (added != LMerrSuccess)
        return added;

    QDomDocument document;
    const LMerr read = ReadXmlDocument(kDefaultLayerSettings, document);
    if (read != LMerrSuccess)
        return read;
    const LMerr created = CatchXml([&] { m_impl->foregroundLayerList->CreateLayerSettings(document, layer); });
    // A layer without its settings (a foreground handed in here, or memory gone) is taken back
    // out, so no layer is left that the foregrounds know nothing of.
    if (created != LMerrSuccess)
        m_impl->layerList->Remove(layer->Id());
    return created;
}

LMerr LayerManager::AddForegroundLayer(const ForegroundImageLayerPtr& layer)
{
    return m_impl->foregroundLayerList->Add(layer);
}

LMerr LayerManager::RemoveLayer(const QUuid& id)
{
    const ImageLayerPtr layer = m_impl->layerList->Get(id);
    if (!layer)
        return LMerrLayerMissing;
    switch (layer->Type()) {
    case LayerTypeBackground:
    case LayerTypeOverlay:
        layer->ClearData();
        break;
    case LayerTypeImage:
        if (m_impl->layerList->Remove(id) == LMerrSuccess)
            m_impl->foregroundLayerList->RemoveLayerSettings(id);
        break;
    case LayerTypeForeground:
        break;
    }
    return LMerrSuccess;
}

LMerr LayerManager::RemoveForegroundLayer(const QUuid& id)
{
    // A copy: the id may be the current id itself, which is cleared here.
    const QUuid removed = id;
    if (removed == m_impl->currentForegroundId)
        m_impl->currentForegroundId = QUuid();
    return m_impl->foregroundLayerList->Remove(removed);
}

LMerr LayerManager::RemoveForegroundLayerFromPath(const QString& path)
{
    const QUuid id = m_impl->foregroundLayerList->IdFromPath(path);
    if (id.isNull())
        return LMerrForegroundMissing;
    return RemoveForegroundLayer(id);
}

void LayerManager::UpdateCompositionOrderList(const QList<QUuid>& order)
{
    m_impl->layerList->UpdateCompositionOrderList(order);
}

ImageLayerPtr LayerManager::GetLayer(const QUuid& id) const
{
    return m_impl->layerList->Get(id);
}

ForegroundImageLayerPtr LayerManager::GetForeground(const QUuid& id) const
{
    return m_impl->foregroundLayerList->Get(id);
}

ForegroundImageLayerPtr LayerManager::GetForegroundFromPath(const QString& path) const
{
    return m_impl->foregroundLayerList->GetFromPath(path);
}

ImageLayerPtr LayerManager::GetBackground() const
{
    return m_impl->layerList->BackgroundLayer();
}

ImageLayerPtr LayerManager::GetOverlay() const
{
    return m_impl->layerList->OverlayLayer();
}

bool LayerManager::ForegroundExistsFromPath(const QString& path) const
{
    return m_impl->foregroundLayerList->ExistsFromPath(path);
}

bool LayerManager::Exists(LayerType type, const QUuid& id) const
{
    if (type == LayerTypeForeground)
        return m_impl->foregroundLayerList->Exists(id);
    return m_impl->layerList->Exists(id);
}

int LayerManager::Count(LayerType type) const
{
    if (type == LayerTypeForeground)
        return static_cast<int>(m_impl->foregroundLayerList->Size());
    return static_cast<int>(m_impl->layerList->SizeByType(type));
}

void LayerManager::Clear(LayerType type)
{
    if (type == LayerTypeForeground) {
        m_impl->foregroundLayerList->Clear();
        m_impl->currentForegroundId = QUuid();
    } else {
        m_impl->layerList->ClearByType(type);
    }
}

ImageLayerSettingsPtr LayerManager::GetLayerSettings(LayerType type) const
{
    ImageLayerPtr layer;
    if (type == LayerTypeBackground)
        layer = GetBackground();
    else if (type == LayerTypeOverlay)
        layer = GetOverlay();
    else
        return nullptr;
    return GetLayerSettings(layer ? layer->Id() : QUuid());
}

ImageLayerSettingsPtr LayerManager::GetLayerSettings(const QUuid& layerId) const
{
    return GetLayerSettings(layerId, m_impl->currentForegroundId);
}

ImageLayerSettingsPtr LayerManager::GetLayerSettings(const QUuid& layerId, const QUuid& foregroundId) const
{
    return m_impl->foregroundLayerList->GetLayerSettings(layerId, foregroundId);
}

ForegroundImageLayerSettingsPtr LayerManager::GetForegroundSettings() const
{
    return GetForegroundSettings(m_impl->currentForegroundId);
}

ForegroundImageLayerSettingsPtr LayerManager::GetForegroundSettings(const QUuid& foregroundId) const
{
    return m_impl->foregroundLayerList->GetForegroundLayerSettings(foregroundId);
}

std::shared_ptr<ImageLayerList> LayerManager::LayerList() const
{
    return m_impl->layerList;
}

std::shared_ptr<ForegroundImageLayerList> LayerManager::ForegroundLayerList() const
{
    return m_impl->foregroundLayerList;
}

LMerr LayerManager::LoadFromXml(QDomElement& project)
{
    return CatchXml([&] {
        m_impl->currentForegroundId =
            QUuid(QString::fromStdWString(ReadXmlTagWString(project, QStringLiteral("currentForegroundId"))));
        QDomElement layerList = RequiredChild(project, "layerList");
        if (const LMerr result = m_impl->layerList->LoadFromXml(layerList); result != LMerrSuccess)
            throw XmlException(result, "Layer list could not be loaded");
        QDomElement foregrounds = RequiredChild(project, "foregroundImageLayerList");
        AbstractProjectItem& foregroundList = *m_impl->foregroundLayerList;
        if (const LMerr result = foregroundList.LoadFromXml(foregrounds); result != LMerrSuccess)
            throw XmlException(result, "Foreground list could not be loaded");
    });
}

LMerr LayerManager::WriteToXml(QXmlStreamWriter& writer) const
{
    return CatchXml([&] {
        WriteXmlTagWString(writer, QStringLiteral("currentForegroundId"),
                           m_impl->currentForegroundId.toString().toStdWString(), true);
        const AbstractProjectItem& layerList = *m_impl->layerList;
        if (const LMerr result = layerList.WriteToXml(writer); result != LMerrSuccess)
            throw XmlException(result, "Layer list could not be saved");
        const AbstractProjectItem& foregroundList = *m_impl->foregroundLayerList;
        if (const LMerr result = foregroundList.WriteToXml(writer); result != LMerrSuccess)
            throw XmlException(result, "Foreground list could not be saved");
    });
}

} // namespace lumo::app
