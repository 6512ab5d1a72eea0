// The recent-places button on real files, the colour picker's swatch and dialog, and the table's
// row swapping.

#include "UiTest.h"

#include "Controls/ButtonPopupMenu.h"
#include "Controls/ColorPickerWidget.h"
#include "Controls/TableWidget.h"
#include "Shell/Settings.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace lumo::ui::testing {
namespace {

const QString kGroup = QStringLiteral("RecentFolders");

class RecentPlacesTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(folder.isValid());
    }

    QString MakeFile(const QString& name)
    {
        const QString path = folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return path;
    }

    static void Store(const QStringList& places)
    {
        ProgramSettings settings;
        settings.setValue(kGroup + QStringLiteral("/foreground"), places);
    }

    static QStringList Stored()
    {
        return ProgramSettings().value(kGroup + QStringLiteral("/foreground")).toStringList();
    }

    // Presses the menu half as a user does; the menu is closed again from inside its own loop.
    // Answers whether the menu was showing then.
    static bool OpenMenu(ButtonPopupMenu& button, QString* textButtonLook = nullptr)
    {
        bool shown = false;
        QMetaObject::invokeMethod(
            button.Menu(),
            [&] {
                shown = button.Menu()->isVisible();
                if (textButtonLook != nullptr)
                    *textButtonLook = button.TextButton()->styleSheet();
                button.Menu()->close();
            },
            Qt::QueuedConnection);
        QTest::mouseClick(button.MenuButton(), Qt::LeftButton);
        ProcessEvents();
        return shown;
    }

    static QStringList ShownEntries(const ButtonPopupMenu& button)
    {
        QStringList shown;
        for (const QAction* action : button.RecentPlaceActions())
            if (action->isVisible())
                shown.append(action->text());
        return shown;
    }

    QTemporaryDir folder;
};

TEST_F(RecentPlacesTest, MenuDropsVanishedPlacesAndShowsTheFiveNewest)
{
    const QString gone1 = MakeFile(QStringLiteral("gone1.jpg"));
    const QString gone2 = MakeFile(QStringLiteral("gone2.jpg"));
    const QString a = MakeFile(QStringLiteral("a.jpg"));
    const QString b = folder.path(); // a folder counts as a place
    const QString c = MakeFile(QStringLiteral("R&D c.png"));
    const QString d = MakeFile(QStringLiteral("d.tif"));
    const QString e = MakeFile(QStringLiteral("e.jpg"));
    const QString never = folder.filePath(QStringLiteral("never-there.jpg"));
    const QString f = MakeFile(QStringLiteral("f.jpg"));
    ASSERT_TRUE(QFile::remove(gone1) && QFile::remove(gone2));
    Store({gone1, gone2, a, b, c, d, e, never, f});

    ButtonPopupMenu button(QIcon(), QStringLiteral("Recent"), QStringLiteral("foreground"), nullptr);
    button.show();
    QString pressedLook;
    EXPECT_TRUE(OpenMenu(button, &pressedLook));
    EXPECT_TRUE(pressedLook.contains(QStringLiteral(":Button/PopupButtonTextDown.png")));
    EXPECT_TRUE(button.TextButton()->styleSheet().isEmpty()); // released with the menu

    // Beyond the fifth existing place nothing is examined: the missing one stays.
    EXPECT_EQ(Stored(), QStringList({a, b, c, d, e, never, f}));
    EXPECT_EQ(ShownEntries(button),
              QStringList({"&1 - " + a, "&2 - " + b, "&3 - " + QString(c).replace("&", "&&"), "&4 - " + d, "&5 - " + e}));

    QSignalSpy chosen(&button, &ButtonPopupMenu::PopupMenuItemChosen);
    button.RecentPlaceActions()[2]->trigger();
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toString(), c);
}

TEST_F(RecentPlacesTest, TextButtonHandsOnTheNewestPlacesFolder)
{
    const QString file = MakeFile(QStringLiteral("portrait.jpg"));
    const QString sub = folder.filePath(QStringLiteral("Green Screen"));
    ASSERT_TRUE(QDir().mkpath(sub));
    struct Case {
        const char* name;
        QStringList stored;
        QString expected;
    };
    const std::vector<Case> cases = {
        {"a folder as it is", {sub, file}, sub},
        {"a file's folder", {file, sub}, QDir(folder.path()).absolutePath()},
        {"nothing", {}, QString()},
    };
    ButtonPopupMenu button(QIcon(), QStringLiteral("Import"), QStringLiteral("foreground"), nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Store(c.stored);
        QSignalSpy chosen(&button, &ButtonPopupMenu::PopupMenuItemChosen);
        QTest::mouseClick(button.TextButton(), Qt::LeftButton);
        ASSERT_EQ(chosen.count(), 1);
        EXPECT_EQ(chosen.at(0).at(0).toString(), c.expected);
        EXPECT_EQ(chosen.at(0).at(0).toString().isNull(), c.expected.isNull());
    }
}

TEST_F(RecentPlacesTest, EmptyListOpensNoMenu)
{
    Store({folder.filePath(QStringLiteral("vanished.jpg"))});
    ButtonPopupMenu button(QIcon(), QStringLiteral("Recent"), QStringLiteral("foreground"), nullptr);
    button.show();
    // A press on the menu half returns at once and leaves nothing open or pressed.
    QTest::mouseClick(button.MenuButton(), Qt::LeftButton);
    ProcessEvents();
    EXPECT_FALSE(button.Menu()->isVisible());
    EXPECT_FALSE(button.MenuButton()->isDown());
    EXPECT_TRUE(button.MenuButton()->styleSheet().isEmpty());
    EXPECT_TRUE(Stored().isEmpty());
    // Should the menu be asked to show all the same, it closes itself.
    button.Menu()->popup(button.mapToGlobal(QPoint()));
    ProcessEvents();
    EXPECT_FALSE(button.Menu()->isVisible());
}

using ColorPickerTest = UiTest;

TEST_F(ColorPickerTest, SwatchIsOutlinedWhenEnabledAndPlainWhenDisabled)
{
    const QColor blue(46, 139, 210);
    const QColor outline(66, 66, 66);
    QWidget parent;
    ColorPickerWidget picker(blue, &parent);
    const auto swatch = [&picker] {
        return picker.icon().pixmap(QSize(12, 12), picker.isEnabled() ? QIcon::Normal : QIcon::Disabled).toImage();
    };
    const QImage enabled = swatch();
    EXPECT_EQ(enabled.size(), QSize(12, 12));
    EXPECT_EQ(enabled.pixelColor(0, 0), outline);
    EXPECT_EQ(enabled.pixelColor(10, 5), outline);
    EXPECT_EQ(enabled.pixelColor(5, 5), blue);
    EXPECT_EQ(enabled.pixelColor(11, 11).alpha(), 0);

    picker.setEnabled(false);
    const QImage disabled = swatch();
    for (const QPoint p : {QPoint(0, 0), QPoint(5, 5), QPoint(11, 11)})
        EXPECT_EQ(disabled.pixelColor(p), blue);
}

TEST_F(ColorPickerTest, AsksThroughTheDialogsAndKeepsTheColourWhenCancelled)
{
    QWidget parent;
    ColorPickerWidget picker(Qt::white, &parent);
    QSignalSpy changed(&picker, &ColorPickerWidget::ColorChanged);
    const int children = parent.children().size();

    Dialogs().AnswerColour(QColor());
    QTest::mouseClick(&picker, Qt::LeftButton);
    EXPECT_EQ(picker.Color(), QColor(Qt::white));
    EXPECT_EQ(changed.count(), 0);

    Dialogs().AnswerColour(QColor(200, 30, 40));
    QTest::mouseClick(&picker, Qt::LeftButton);
    EXPECT_EQ(picker.Color(), QColor(200, 30, 40));
    EXPECT_EQ(changed.count(), 1);

    // Each time the dialog got the current colour and a dark parent beside the picker, gone since.
    const auto requests = Dialogs().RequestsOf(DialogRequest::Colour);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].colour.initial, QColor(Qt::white));
    EXPECT_EQ(requests[1].colour.initial, QColor(Qt::white));
    EXPECT_EQ(parent.children().size(), children);
}

using TableWidgetTest = UiTest;

TEST_F(TableWidgetTest, SwapRowsMovesEveryCellIncludingHiddenColumnsSilently)
{
    TableWidget table(4, nullptr);
    table.setColumnHidden(3, true);
    for (int row = 0; row < 3; ++row) {
        table.insertRow(row);
        for (int column = 0; column < 4; ++column)
            table.setItem(row, column, new QTableWidgetItem(QStringLiteral("%1%2").arg(row).arg(column)));
    }
    QSignalSpy changed(&table, &QTableWidget::itemChanged);
    const auto rowText = [&table](int row) {
        QStringList cells;
        for (int column = 0; column < table.columnCount(); ++column)
            cells.append(table.item(row, column) != nullptr ? table.item(row, column)->text() : QString());
        return cells.join(QLatin1Char(' '));
    };
    table.SwapRows(1, true);
    EXPECT_EQ(rowText(0), QStringLiteral("10 11 12 13"));
    EXPECT_EQ(rowText(1), QStringLiteral("00 01 02 03"));
    table.SwapRows(1, false);
    EXPECT_EQ(rowText(1), QStringLiteral("20 21 22 23"));
    EXPECT_EQ(rowText(2), QStringLiteral("00 01 02 03"));
    EXPECT_EQ(changed.count(), 0);
}

} // namespace
} // namespace lumo::ui::testing
