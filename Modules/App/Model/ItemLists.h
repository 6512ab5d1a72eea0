#pragma once

#include "AppExport.h"
#include "RenderItems.h"

#include <QString>

#include <memory>
#include <vector>

namespace lumo::app {

// An ordered list of one family's items. The order is the file order and the order in which the
// render pipeline applies them. Copying clones every item (ids kept).
template <class Item, class TypeEnum, LMerr NotFound>
class RenderItemList : public AbstractProjectItem {
public:
    using Pointer = std::shared_ptr<Item>;
    using Type = TypeEnum;
    using Container = std::vector<Pointer>;
    using ConstIterator = typename Container::const_iterator;

    // A null item is not taken: every walk of the list, the render pipeline's included, would
    // dereference it.
    void Add(const Pointer& item)
    {
        if (item)
            m_items.push_back(item);
    }
    void Clear() { m_items.clear(); }
    ConstIterator Begin() const { return m_items.cbegin(); }
    ConstIterator End() const { return m_items.cend(); }
    std::size_t Count() const { return m_items.size(); }

    LMerr Remove(const QUuid& id);
    LMerr Get(const QUuid& id, Pointer& item) const;
    LMerr GetFilterByType(TypeEnum type, Pointer& item) const;
    LMerr MoveUp(const QUuid& id);
    LMerr MoveDown(const QUuid& id);
    unsigned int EnabledCount() const;
    unsigned int ActiveCount() const;

    // The list's element, the word in "%1 is not a valid <word>", and its factory.
    struct Traits {
        const char* elementName;
        const char* kind;
        Pointer (*create)(const QString& elementName);
    };

protected:
    RenderItemList() = default;
    RenderItemList(const RenderItemList& other) { CloneFrom(other); }
    RenderItemList& operator=(const RenderItemList& other)
    {
        if (this != &other) {
            m_items.clear();
            CloneFrom(other);
        }
        return *this;
    }
    ~RenderItemList() override = default;

    LMerr Load(QDomElement& parent, const Traits& traits);
    LMerr Write(QXmlStreamWriter& writer, const Traits& traits) const;

private:
    void CloneFrom(const RenderItemList& other)
    {
        for (const Pointer& item : other.m_items)
            item->CopyToVector(m_items);
    }
    typename Container::iterator Find(const QUuid& id);

    Container m_items;
};

class APP_EXPORT FilterList final
    : public RenderItemList<AbstractFilterItem, FilterItemType, LMerrFilterNotFound> {
public:
    FilterList() = default;
    FilterList(const FilterList&) = default;
    FilterList& operator=(const FilterList&) = default;

private:
    LMerr LoadFromXml(QDomElement& parent) override;
    LMerr WriteToXml(QXmlStreamWriter& writer) const override;
};

class APP_EXPORT KeyList final : public RenderItemList<AbstractKeyItem, KeyItemType, LMerrKeyNotFound> {
public:
    KeyList() = default;
    KeyList(const KeyList&) = default;
    KeyList& operator=(const KeyList&) = default;

private:
    LMerr LoadFromXml(QDomElement& parent) override;
    LMerr WriteToXml(QXmlStreamWriter& writer) const override;
};

class APP_EXPORT CompositeList final
    : public RenderItemList<AbstractCompositeItem, CompositeItemType, LMerrCompositeNotFound> {
public:
    CompositeList() = default;
    CompositeList(const CompositeList&) = default;
    CompositeList& operator=(const CompositeList&) = default;

private:
    LMerr LoadFromXml(QDomElement& parent) override;
    LMerr WriteToXml(QXmlStreamWriter& writer) const override;
};

class APP_EXPORT TransformList final
    : public RenderItemList<AbstractTransformItem, TransformItemType, LMerrTransformNotFound> {
public:
    TransformList() = default;
    TransformList(const TransformList&) = default;
    TransformList& operator=(const TransformList&) = default;

private:
    LMerr LoadFromXml(QDomElement& parent) override;
    LMerr WriteToXml(QXmlStreamWriter& writer) const override;
};

// The first item of the type in list order, as its class; null when the list holds none or the
// item is not of that class.
template <class Item, class List>
std::shared_ptr<Item> FindItemOfType(const List& list, typename List::Type type)
{
    typename List::Pointer item;
    if (list.GetFilterByType(type, item) != LMerrSuccess)
        return nullptr;
    return std::dynamic_pointer_cast<Item>(item);
}

} // namespace lumo::app
