#pragma once

// Operations on an ordered vector of shared objects that each carry an Id(), as the mask and
// text lists hold them. Each returns whether the id was found; the lists turn that into their
// own result codes.

#include <QUuid>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace lumo::app::idvector {

template <class T>
auto Find(std::vector<std::shared_ptr<T>>& items, const QUuid& id)
{
    return std::find_if(items.begin(), items.end(), [&](const auto& item) { return item->Id() == id; });
}

template <class T>
auto Find(const std::vector<std::shared_ptr<T>>& items, const QUuid& id)
{
    return std::find_if(items.begin(), items.end(), [&](const auto& item) { return item->Id() == id; });
}

template <class T>
bool Contains(const std::vector<std::shared_ptr<T>>& items, const QUuid& id)
{
    return Find(items, id) != items.end();
}

// The out-parameter is left untouched when the id is not found.
template <class T>
bool Get(const std::vector<std::shared_ptr<T>>& items, const QUuid& id, std::shared_ptr<T>& item)
{
    const auto it = Find(items, id);
    if (it == items.end())
        return false;
    item = *it;
    return true;
}

template <class T>
bool Remove(std::vector<std::shared_ptr<T>>& items, const QUuid& id)
{
    const auto it = Find(items, id);
    if (it == items.end())
        return false;
    items.erase(it);
    return true;
}

// Swaps with the neighbour before; the first stays in place.
template <class T>
bool MoveUp(std::vector<std::shared_ptr<T>>& items, const QUuid& id)
{
    const auto it = Find(items, id);
    if (it == items.end())
        return false;
    if (it != items.begin())
        std::iter_swap(it, it - 1);
    return true;
}

// Swaps with the neighbour after; the last stays in place.
template <class T>
bool MoveDown(std::vector<std::shared_ptr<T>>& items, const QUuid& id)
{
    const auto it = Find(items, id);
    if (it == items.end())
        return false;
    if (it + 1 != items.end())
        std::iter_swap(it, it + 1);
    return true;
}

template <class T>
unsigned int EnabledCount(const std::vector<std::shared_ptr<T>>& items)
{
    return static_cast<unsigned int>(
        std::count_if(items.begin(), items.end(), [](const auto& item) { return item->IsEnabled(); }));
}

// Position from 0.
template <class T>
std::optional<unsigned int> IndexOf(const std::vector<std::shared_ptr<T>>& items, const QUuid& id)
{
    const auto it = Find(items, id);
    if (it == items.end())
        return std::nullopt;
    return static_cast<unsigned int>(it - items.begin());
}

// New objects copied from the source's, ids kept. Built aside and swapped in, so a failed
// allocation leaves the target as it was.
template <class T>
void DeepCopy(std::vector<std::shared_ptr<T>>& target, const std::vector<std::shared_ptr<T>>& source)
{
    std::vector<std::shared_ptr<T>> copy;
    copy.reserve(source.size());
    for (const auto& item : source)
        copy.push_back(std::make_shared<T>(*item));
    target.swap(copy);
}

} // namespace lumo::app::idvector
