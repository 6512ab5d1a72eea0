#pragma once

#include <QSortFilterProxyModel>

namespace lumo::ui {

// Sorts a list of images column by column: dates, flags and numbers by value, everything else as
// text, ignoring case, in the user's locale. The left entry's type decides: a column holds values
// of one type.
class BatchSortProxyModel : public QSortFilterProxyModel {
    Q_OBJECT

public:
    explicit BatchSortProxyModel(QObject* parent = nullptr);

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
};

} // namespace lumo::ui
