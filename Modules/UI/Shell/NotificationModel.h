#pragma once

#include <QHash>
#include <QList>
#include <QSet>

namespace lumo::ui {

// A subject with observers that are told, synchronously and in attach order, what changed. Each
// observer subscribes to a set of data types; an empty set means all of them. Observer must offer
// ModelChanged(Data, const Id&, Field).
template <typename Subject, typename Id, typename Observer, typename Data, typename Field>
class NotificationModel {
public:
    explicit NotificationModel(Subject subject) : m_subject(std::move(subject)) {}
    NotificationModel(const NotificationModel&) = delete;
    NotificationModel& operator=(const NotificationModel&) = delete;
    virtual ~NotificationModel() = default;

    // Calls the model's own hook, then every subscribed observer. Observers may attach, detach and
    // notify again from inside ModelChanged: the pass walks the list as it was when it began (a
    // nested notification runs to its end inside the outer one). Only an observer destroyed
    // during the pass is left out of it.
    void NotifyObservers(Data type, const Id& id, Field field)
    {
        Changed(type, id, field);
        const QList<Observer> observers = m_observers;
        const QHash<Observer, QSet<Data>> subscriptions = m_subscriptions;
        ++m_passDepth;
        struct PassEnd {
            NotificationModel& model;
            ~PassEnd()
            {
                if (--model.m_passDepth == 0)
                    model.m_destroyedDuringPass.clear();
            }
        } passEnd{*this};
        for (Observer observer : observers) {
            if (!m_destroyedDuringPass.contains(observer) && Wants(subscriptions.value(observer), type))
                observer->ModelChanged(type, id, field);
        }
    }

    // An observer already attached keeps its place and its subscription.
    void AttachObserver(Observer observer, const QSet<Data>& types)
    {
        if (m_observers.contains(observer))
            return;
        m_observers.append(observer);
        m_subscriptions.insert(observer, types);
    }

    void DetachObserver(Observer observer)
    {
        m_observers.removeAll(observer);
        m_subscriptions.remove(observer);
    }

    // Called by an observer's destructor: detaches it, and a pass under way no longer calls it.
    void ObserverDestroyed(Observer observer)
    {
        DetachObserver(observer);
        if (m_passDepth > 0)
            m_destroyedDuringPass.insert(observer);
    }

    bool IsSubscribed(Observer observer, Data type) const
    {
        const auto it = m_subscriptions.constFind(observer);
        return it != m_subscriptions.constEnd() && Wants(*it, type);
    }

    const QList<Observer>& Observers() const { return m_observers; }

protected:
    // The model's own hook, called before the observers; empty here.
    virtual void Changed(Data, const Id&, Field) {}
    const Subject& GetSubject() const { return m_subject; }

private:
    static bool Wants(const QSet<Data>& types, Data type) { return types.isEmpty() || types.contains(type); }

    Subject m_subject;
    QList<Observer> m_observers;
    QHash<Observer, QSet<Data>> m_subscriptions;
    int m_passDepth = 0;
    QSet<Observer> m_destroyedDuringPass;
};

} // namespace lumo::ui
