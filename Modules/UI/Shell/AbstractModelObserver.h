#pragma once

#include <QSet>

namespace lumo::ui {

// The base of every view that observes the model; in an observing class it is the last base.
// ModelPtr points to a NotificationModel whose observers are pointers to this class.
template <typename ModelPtr, typename Id, typename Data, typename Field>
class AbstractModelObserver {
public:
    AbstractModelObserver() = default;
    AbstractModelObserver(const AbstractModelObserver&) = delete;
    AbstractModelObserver& operator=(const AbstractModelObserver&) = delete;
    // Detaches from the model, so that it never calls an observer that is gone.
    virtual ~AbstractModelObserver()
    {
        if (m_model)
            m_model->ObserverDestroyed(this);
    }

    ModelPtr Model() const { return m_model; }

    // Leaves the current model and attaches to the new one for the given data types (empty: all).
    // With the model already observed nothing changes, the subscription included.
    void SetModel(const ModelPtr& model, const QSet<Data>& types)
    {
        if (model == m_model)
            return;
        if (m_model)
            m_model->DetachObserver(this);
        m_model = model;
        if (m_model)
            m_model->AttachObserver(this, types);
    }

    virtual void ModelChanged(Data /*type*/, const Id& /*id*/, Field /*field*/) {}

private:
    ModelPtr m_model;
};

} // namespace lumo::ui
