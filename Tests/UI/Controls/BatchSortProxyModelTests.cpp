// The image list sorts as a user expects in every column.

#include "UiTest.h"

#include "Shell/BatchSortProxyModel.h"

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

TEST_F(BatchSortProxyModelTest, SortsEachColumnByTheValuesItHolds)
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
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SortedColumn(c.values), c.expected);
    }
}

// lessThan is protected: the model's own sorting calls it.
class ExposedSortModel : public BatchSortProxyModel {
public:
    using BatchSortProxyModel::lessThan;
};

TEST_F(BatchSortProxyModelTest, ValuesCompareByTheirTypeOnlyWhenBothHoldIt)
{
    const QDateTime noon(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC);
    struct Case {
        const char* name;
        QVariant left, right;
        bool less;
    };
    const std::vector<Case> cases = {
        {"dates", noon.addSecs(-1), noon, true},
        {"a date before text compares as text", noon, QStringLiteral("yesterday"), true},
        {"text before a date compares as text", QStringLiteral("yesterday"), noon, false},
        {"a date before a number compares as text", noon, 3, true},
        {"false before true", false, true, true},
        {"true not before false", true, false, false},
        {"numbers by value", 9, 10, true},
        {"a number before text compares as text", 9, QStringLiteral("10"), false},
        {"text before a number compares as text", QStringLiteral("10"), 9, true},
        {"a flag before a number compares as text", false, 0, false},
        {"text ignores case", QStringLiteral("alpha"), QStringLiteral("BETA"), true},
        {"equal text is not less", QStringLiteral("Alpha"), QStringLiteral("alpha"), false},
    };
    QStandardItemModel source(1, 2);
    ExposedSortModel proxy;
    proxy.setSourceModel(&source);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        source.setData(source.index(0, 0), c.left, Qt::DisplayRole);
        source.setData(source.index(0, 1), c.right, Qt::DisplayRole);
        EXPECT_EQ(proxy.lessThan(source.index(0, 0), source.index(0, 1)), c.less);
    }
}

} // namespace
} // namespace lumo::ui::testing
