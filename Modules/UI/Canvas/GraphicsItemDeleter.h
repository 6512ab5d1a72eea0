#pragma once

#include <QObject>

namespace lumo::ui {

// Deletes a canvas item once control is back in the event loop, never inside the event handler
// that asked for it (an item may be removed while Qt still delivers it a press or a hover).
// Construct it with new and the holder's pointer: the holder is set to null at once and the
// deleter deletes itself, and the item with it, from the event loop. Take the item out of its
// scene first where that matters. A null holder deletes nothing.
// No Q_OBJECT: a template cannot carry one, and the deleter needs nothing but deleteLater.
template <class T>
class GraphicsItemDeleter : public QObject {
public:
    explicit GraphicsItemDeleter(T*& holder) : m_item(holder)
    {
        holder = nullptr;
        deleteLater();
    }
    ~GraphicsItemDeleter() override { delete m_item; }

    GraphicsItemDeleter(const GraphicsItemDeleter&) = delete;
    GraphicsItemDeleter& operator=(const GraphicsItemDeleter&) = delete;

private:
    T* m_item;
};

// Takes the item out of its scene and hands it to a deleter; the holder becomes null.
template <class T>
void RemoveCanvasItem(T*& holder)
{
    if (holder == nullptr)
        return;
    if (holder->scene() != nullptr)
        holder->scene()->removeItem(holder);
    new GraphicsItemDeleter<T>(holder);
}

} // namespace lumo::ui
