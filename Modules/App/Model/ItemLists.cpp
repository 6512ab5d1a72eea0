#include "ItemLists.h"

#include <QDomElement>
#include <QXmlStreamWriter>

#include <algorithm>
#include <new>

namespace lumo::app {

template <class Item, class TypeEnum, LMerr NotFound>
typename RenderItemList<Item, TypeEnum, NotFound>::Container::iterator
RenderItemList<Item, TypeEnum, NotFound>::Find(const QUuid& id)
{
    return std::find_if(m_items.begin(), m_items.end(), [&](const Pointer& item) { return item->Id() == id; });
}

template <class Item, class TypeEnum, LMerr NotFound>
LMerr RenderItemList<Item, TypeEnum, NotFound>::Remove(const QUuid& id)
{
    const auto it = Find(id);
    if (it == m_items.end())
        return NotFound;
    m_items.erase(it);
    return LMerrSuccess;
}

template <class Item, class TypeEnum, LMerr NotFound>
LMerr RenderItemList<Item, TypeEnum, NotFound>::Get(const QUuid& id, Pointer& item) const
{
    for (const Pointer& candidate : m_items) {
        if (candidate->Id() == id) {
            item = candidate;
            return LMerrSuccess;
        }
    }
    return NotFound;
}

template <class Item, class TypeEnum, LMerr NotFound>
LMerr RenderItemList<Item, TypeEnum, NotFound>::GetFilterByType(TypeEnum type, Pointer& item) const
{
    for (const Pointer& candidate : m_items) {
        if (candidate->Type() == type) {
            item = candidate;
            return LMerrSuccess;
        }
    }
    return NotFound;
}

template <class Item, class TypeEnum, LMerr NotFound>
LMerr RenderItemList<Item, TypeEnum, NotFound>::MoveUp(const QUuid& id)
{
    const auto it = Find(id);
    if (it == m_items.end())
        return NotFound;
    if (it != m_items.begin())
        std::iter_swap(it, it - 1);
    return LMerrSuccess;
}

template <class Item, class TypeEnum, LMerr NotFound>
LMerr RenderItemList<Item, TypeEnum, NotFound>::MoveDown(const QUuid& id)
{
    const auto it = Find(id);
    if (it == m_items.end())
        return NotFound;
    if (it + 1 != m_items.end())
        std::iter_swap(it, it + 1);
    return LMerrSuccess;
}

template <class Item, class TypeEnum, LMerr NotFound>
unsigned int RenderItemList<Item, TypeEnum, NotFound>::EnabledCount() const
{
    return static_cast<unsigned int>(
        std::count_if(m_items.begin(), m_items.end(), [](const Pointer& item) { return item->IsEnabled(); }));
}

template <class Item, class TypeEnum, LMerr NotFound>
unsigned int RenderItemList<Item, TypeEnum, NotFound>::ActiveCount() const
{
    return static_cast<unsigned int>(
        std::count_if(m_items.begin(), m_items.end(), [](const Pointer& item) { return item->IsActive(); }));
}

template <class Item, class TypeEnum, LMerr NotFound>
LMerr RenderItemList<Item, TypeEnum, NotFound>::Load(QDomElement& parent, const Traits& traits)
{
    return CatchXml([&] {
        QDomElement list = parent.firstChildElement(QString::fromLatin1(traits.elementName));
        if (list.isNull())
            return;
        for (QDomElement child = list.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
            try {
                const QString name = child.tagName();
                Pointer item = traits.create(name);
                if (!item)
                    throw XmlException(LMerrInvalidData,
                                       QStringLiteral("%1 is not a valid %2").arg(name, QLatin1String(traits.kind)).toStdString());
                AbstractProjectItem& stored = *item;
                if (stored.LoadFromXml(child) != LMerrSuccess)
                    throw XmlException(LMerrInvalidData, QStringLiteral("%1 failed to load").arg(name).toStdString());
                m_items.push_back(item);
            } catch (const std::bad_alloc&) {
                throw XmlException(LMerrOutOfMemory, "There was not enough memory to allocate to the project");
            }
        }
    });
}

template <class Item, class TypeEnum, LMerr NotFound>
LMerr RenderItemList<Item, TypeEnum, NotFound>::Write(QXmlStreamWriter& writer, const Traits& traits) const
{
    return CatchXml([&] {
        writer.writeStartElement(QString::fromLatin1(traits.elementName));
        for (const Pointer& item : m_items)
            WriteChild(*item, writer);
        writer.writeEndElement();
    });
}

template class RenderItemList<AbstractFilterItem, FilterItemType, LMerrFilterNotFound>;
template class RenderItemList<AbstractKeyItem, KeyItemType, LMerrKeyNotFound>;
template class RenderItemList<AbstractCompositeItem, CompositeItemType, LMerrCompositeNotFound>;
template class RenderItemList<AbstractTransformItem, TransformItemType, LMerrTransformNotFound>;

namespace {
const FilterList::Traits kFilterTraits{"filterList", "filter", &CreateFilterItem};
const KeyList::Traits kKeyTraits{"keyList", "key", &CreateKeyItem};
const CompositeList::Traits kCompositeTraits{"compositeList", "composite", &CreateCompositeItem};
const TransformList::Traits kTransformTraits{"transformList", "transform", &CreateTransformItem};
} // namespace

LMerr FilterList::LoadFromXml(QDomElement& parent)
{
    return Load(parent, kFilterTraits);
}
LMerr FilterList::WriteToXml(QXmlStreamWriter& writer) const
{
    return Write(writer, kFilterTraits);
}
LMerr KeyList::LoadFromXml(QDomElement& parent)
{
    return Load(parent, kKeyTraits);
}
LMerr KeyList::WriteToXml(QXmlStreamWriter& writer) const
{
    return Write(writer, kKeyTraits);
}
LMerr CompositeList::LoadFromXml(QDomElement& parent)
{
    return Load(parent, kCompositeTraits);
}
LMerr CompositeList::WriteToXml(QXmlStreamWriter& writer) const
{
    return Write(writer, kCompositeTraits);
}
LMerr TransformList::LoadFromXml(QDomElement& parent)
{
    return Load(parent, kTransformTraits);
}
LMerr TransformList::WriteToXml(QXmlStreamWriter& writer) const
{
    return Write(writer, kTransformTraits);
}

} // namespace lumo::app
