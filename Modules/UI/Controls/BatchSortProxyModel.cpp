#include "Controls/BatchSortProxyModel.h"

#include <QDateTime>

namespace lumo::ui {

BatchSortProxyModel::BatchSortProxyModel(QObject* parent) : QSortFilterProxyModel(parent) {}

bool BatchSortProxyModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    const QVariant a = sourceModel()->data(left, sortRole());
    const QVariant b = sourceModel()->data(right, sortRole());
    const int type = a.typeId();
    if (type == b.typeId()) {
        switch (type) {
        case QMetaType::QDateTime:
            return a.toDateTime() < b.toDateTime();
        case QMetaType::Bool:
            return a.toBool() < b.toBool();
        case QMetaType::Int:
            return a.toInt() < b.toInt();
        default:
            break;
        }
    }
    return QString::localeAwareCompare(a.toString().toLower(), b.toString().toLower()) < 0;
}

} // namespace lumo::ui
