#pragma once

#include <QSortFilterProxyModel>

namespace lumo::ui {

// Sorts a list of images column by column as a user expects: dates, flags and numbers by value
// when both entries hold one, everything else as text, ignoring case, in the user's locale.
class BatchSortProxyModel : public QSortFilterProxyModel {
    Q_OBJECT

public:
    explicit BatchSortProxyModel(QObject* parent = nullptr);

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
};

} // namespace lumo::ui
