// The image list sorts as a user expects in every column.

#include "UiTest.h"

#include "Controls/BatchSortProxyModel.h"

#include <QDateTime>
#include <QStandardItemModel>

namespace lumo::ui::testing {
namespace {

QStringList SortedColumn(const QVariantList& values)
{
    QStandardItemModel source(0, 1);
    for (const QVariant& value : values) {
        auto* item = new QStandardItem;
        item->setData(value, Qt::DisplayRole);
        source.appendRow(item);
    }
    BatchSortProxyModel proxy;
    proxy.setSourceModel(&source);
    proxy.sort(0);
    QStringList sorted;
    for (int row = 0; row < proxy.rowCount(); ++row)
        sorted.append(proxy.index(row, 0).data().toString());
    return sorted;
}

using BatchSortProxyModelTest = UiTest;

TEST_F(BatchSortProxyModelTest, SortsByValueWhenBothEntriesHaveOneAndOtherwiseAsText)
{
    // Noon east of Greenwich comes before ten o'clock in Greenwich, though its text sorts after.
    const QDateTime eastNoon(QDate(2024, 5, 1), QTime(12, 0), Qt::OffsetFromUTC, 5 * 3600);
    const QDateTime utcTen(QDate(2024, 5, 1), QTime(10, 0), Qt::UTC);
    const QString eastText = QVariant(eastNoon).toString();
    const QString utcText = QVariant(utcTen).toString();
    struct Case {
        const char* name;
        QVariantList values;
        QStringList expected;
    };
    const std::vector<Case> cases = {
        {"numbers by value", {10, 9, 100}, {"9", "10", "100"}},
        {"text ignoring case", {"beta.jpg", "Alpha.jpg", "GAMMA.jpg"}, {"Alpha.jpg", "beta.jpg", "GAMMA.jpg"}},
        {"dates by time", {utcTen, eastNoon}, {eastText, utcText}},
        {"flags false first", {true, false}, {"false", "true"}},
        // A number beside text has no value to compare: both go as text.
        {"mixed as text", {10, "9"}, {"10", "9"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SortedColumn(c.values), c.expected);
    }
}

} // namespace
} // namespace lumo::ui::testing
