#include "Shell/BatchSortProxyModel.h"

#include <QDateTime>

namespace lumo::ui {

BatchSortProxyModel::BatchSortProxyModel(QObject* parent) : QSortFilterProxyModel(parent) {}

bool BatchSortProxyModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    const QVariant a = sourceModel()->data(left, Qt::DisplayRole);
    const QVariant b = sourceModel()->data(right, Qt::DisplayRole);
    // Typed only when both sides hold the type: a mixed pair compares as text either way round,
    // so the order stays the same whichever side the sort puts each value.
    const int type = a.typeId() == b.typeId() ? a.typeId() : QMetaType::QString;
    switch (type) {
    case QMetaType::QDateTime:
        return a.toDateTime() < b.toDateTime();
    case QMetaType::Bool:
        return !a.toBool() && b.toBool();
    case QMetaType::Int:
        return a.toInt() < b.toInt();
    default:
        return QString::localeAwareCompare(a.toString().toLower(), b.toString().toLower()) < 0;
    }
}

} // namespace lumo::ui
