// The collapsible containers: what their owner hears, in order, for each click, and the state the
// body and the title are left in; the title's painting; the export panel's older title.

#include "UiTest.h"

#include "Controls/Buttons.h"
#include "Controls/Container.h"
#include "Controls/SmallWidgets.h"
#include "Controls/TitleWidget.h"
#include "Shell/InterfaceConstants.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <functional>
#include <memory>

namespace lumo::ui::testing {
namespace {

// The container's signals in the order they came, e.g. "expand(0) enable(0)".
class SignalLog {
public:
    explicit SignalLog(Container& container)
    {
        QObject::connect(&container, &Container::SignalExpandBody, [this](bool on) { Add("expand", on); });
        QObject::connect(&container, &Container::SignalEnableBody, [this](bool on) { Add("enable", on); });
        QObject::connect(&container, &Container::SignalMoveUp, [this] { Add("up"); });
        QObject::connect(&container, &Container::SignalMoveDown, [this] { Add("down"); });
        QObject::connect(&container, &Container::SignalReset, [this] { Add("reset"); });
        QObject::connect(&container, &Container::SignalCustomCheckBoxStateChanged,
                         [this](int state) { Add("custom", state); });
    }
    QString Text() const { return m_entries.join(QLatin1Char(' ')); }

private:
    void Add(const char* name, int argument = -1)
    {
        QString entry = QString::fromLatin1(name);
        if (argument >= 0)
            entry += QStringLiteral("(%1)").arg(argument);
        m_entries.append(entry);
    }
    QStringList m_entries;
};

// Body shown, body enabled, enable box checked, collapse button checked, reset button enabled
// (absent parts read false).
struct State {
    bool shown, enabled, enableChecked, collapseChecked, resetEnabled;
    bool operator==(const State&) const = default;
};

State StateOf(const Container& container)
{
    const ContainerTitle* title = container.Title();
    return {!container.Body()->isHidden(), container.Body()->isEnabled(),
            title->EnableCheckBox() != nullptr && title->EnableCheckBox()->isChecked(),
            title->CollapseButton() != nullptr && title->CollapseButton()->isChecked(),
            title->ResetButton() != nullptr && title->ResetButton()->isEnabled()};
}

void PrintTo(const State& s, std::ostream* out)
{
    *out << "shown " << s.shown << " enabled " << s.enabled << " enable box " << s.enableChecked << " collapse "
         << s.collapseChecked << " reset " << s.resetEnabled;
}

// A click on the title bar away from its buttons, behind the label.
void ClickTitleWith(Container& c, Qt::MouseButton button)
{
    QWidget* title = c.Title();
    QTest::mouseClick(title, button, {}, QPoint(title->width() / 2, title->height() / 2));
}

void ClickTitle(Container& c)
{
    ClickTitleWith(c, Qt::LeftButton);
}

using ContainerTest = UiTest;

TEST_F(ContainerTest, EachClickIsHeardInOrderAndLeavesBodyAndTitleInStep)
{
    struct Case {
        const char* name;
        int features;
        bool enabled, expanded; // the state it starts in
        std::function<void(Container&)> act;
        const char* heard;
        State after;
    };
    const auto clickCollapse = [](Container& c) { QTest::mouseClick(c.Title()->CollapseButton(), Qt::LeftButton); };
    const auto clickEnable = [](Container& c) {
        CheckBox* box = c.Title()->EnableCheckBox();
        QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
    };
    const std::vector<Case> cases = {
        {"collapsing", 0x3C, true, true, clickCollapse, "expand(0)", {false, true, true, false, true}},
        {"expanding", 0x3C, true, false, clickCollapse, "expand(1)", {true, true, true, true, true}},
        {"expanding a disabled body switches it on", 0x3C, false, false, clickCollapse, "expand(1) enable(1)",
         {true, true, true, true, true}},
        {"unchecking enable collapses", 0x3C, true, true, clickEnable, "expand(0) enable(0)",
         {false, false, false, false, false}},
        {"checking enable expands", 0x3C, false, false, clickEnable, "expand(1) enable(1)",
         {true, true, true, true, true}},
        {"a click on the title toggles", 0x3C, true, true, ClickTitle, "expand(0)", {false, true, true, false, true}},
        {"so does a right click", 0x3C, true, true, [](Container& c) { ClickTitleWith(c, Qt::RightButton); }, "expand(0)",
         {false, true, true, false, true}},
        {"a release dragged off the title does nothing", 0x3C, true, true,
         [](Container& c) {
             QWidget* title = c.Title();
             QTest::mousePress(title, Qt::LeftButton, {}, QPoint(title->width() / 2, title->height() / 2));
             QTest::mouseRelease(title, Qt::LeftButton, {}, QPoint(title->width() / 2, title->height() + 20));
         },
         "", {true, true, true, true, true}},
        {"move up", 0x3C, true, true, [](Container& c) { QTest::mouseClick(c.Title()->MoveUpButton(), Qt::LeftButton); },
         "up", {true, true, true, true, true}},
        {"move down", 0x3C, true, true,
         [](Container& c) { QTest::mouseClick(c.Title()->MoveDownButton(), Qt::LeftButton); }, "down",
         {true, true, true, true, true}},
        {"reset", 0x3C, true, true, [](Container& c) { QTest::mouseClick(c.Title()->ResetButton(), Qt::LeftButton); },
         "reset", {true, true, true, true, true}},
        {"SetBodyState is silent", 0x3C, true, true, [](Container& c) { c.SetBodyState(false, true); }, "",
         {true, false, false, true, false}},
        {"SetBodyState opens an enabled box silently", 0x3C, false, false,
         [](Container& c) { c.SetBodyState(true, true); }, "", {true, true, true, true, true}},
        {"the hot-folder box", 0x70, true, true,
         [](Container& c) {
             CheckBox* box = c.Title()->CustomCheckBox();
             QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(7, box->height() / 2));
         },
         "custom(2)", {true, true, true, true, false}},
        // Without a collapse button the title ignores clicks; the enable box still hides the body.
        {"no collapse: a click on the title", 0x1C, true, true, ClickTitle, "", {true, true, true, false, true}},
        {"no collapse: unchecking enable", 0x1C, true, true, clickEnable, "expand(0) enable(0)",
         {false, false, false, false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Container container(QStringLiteral("Brightness"), c.features, nullptr);
        new QVBoxLayout(container.Body());
        container.resize(300, 120);
        container.show();
        container.SetBodyState(c.enabled, c.expanded);
        SignalLog log(container);
        c.act(container);
        EXPECT_EQ(log.Text(), QString::fromLatin1(c.heard));
        EXPECT_EQ(StateOf(container), c.after);
    }
}

TEST_F(ContainerTest, OwnerHearsOfTheEnableBoxBeforeTheTitleFollowsIt)
{
    Container container(QStringLiteral("Blur"), EffectPanelContainerFeatures, nullptr);
    std::vector<bool> collapseWhenHeard;
    QObject::connect(&container, &Container::SignalEnableBody,
                     [&] { collapseWhenHeard.push_back(container.Title()->CollapseButton()->isChecked()); });
    container.Title()->EnableCheckBox()->setChecked(false);
    // The title unchecks its collapse button only after the container has announced the change.
    EXPECT_EQ(collapseWhenHeard, std::vector<bool>{true});
    EXPECT_FALSE(container.Title()->CollapseButton()->isChecked());
}

// A pixel of the left cap (before the tile's overlap) where both images are opaque and differ.
QPoint DifferingCapPixel(const QImage& a, const QImage& b)
{
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < 8; ++x)
            if (qAlpha(a.pixel(x, y)) == 255 && qAlpha(b.pixel(x, y)) == 255 && a.pixel(x, y) != b.pixel(x, y))
                return {x, y};
    return {-1, -1};
}

TEST_F(ContainerTest, TitlePaintsItsCapsAndTilesTheMiddle)
{
    const QImage expanded = QImage(QStringLiteral(":Toolbox/FilterTitle.png")).convertToFormat(QImage::Format_ARGB32);
    const QImage collapsed =
        QImage(QStringLiteral(":Toolbox/FilterTitleCollapsed.png")).convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(expanded.height(), 25);
    const QPoint corner = DifferingCapPixel(expanded, collapsed);
    ASSERT_GE(corner.x(), 0) << "the caps must differ";
    const QPoint mirrored(expanded.width() - 1 - corner.x(), corner.y());

    ContainerTitle title(QStringLiteral("Brightness"), true, false, false, false, false, nullptr);
    title.TitleLabel()->hide();
    title.CollapseButton()->hide();
    for (const int width : {200, 18, 12}) {
        SCOPED_TRACE(width);
        title.resize(width, 25);
        const QPoint right(width - 1 - corner.x(), corner.y());
        title.CollapseButton()->setChecked(true);
        const QImage open = title.grab().toImage();
        EXPECT_EQ(open.pixel(corner), expanded.pixel(corner));
        EXPECT_EQ(open.pixel(right), expanded.pixel(mirrored));
        title.CollapseButton()->setChecked(false);
        const QImage closed = title.grab().toImage();
        EXPECT_EQ(closed.pixel(corner), collapsed.pixel(corner));
        EXPECT_EQ(closed.pixel(right), collapsed.pixel(mirrored));
        if (width > 18) { // the middle is always the expanded tile
            EXPECT_EQ(closed.pixel(width / 2, 12), expanded.pixel(15, 12));
        }
    }

    // Without a collapse button the title always looks expanded.
    ContainerTitle fixed(QStringLiteral("Canvas size"), false, false, true, false, false, nullptr);
    fixed.resize(100, 25);
    EXPECT_EQ(fixed.grab().toImage().pixel(corner), expanded.pixel(corner));
}

TEST_F(ContainerTest, ExportTitleFollowsItsEnableBoxAndReportsClicks)
{
    TitleWidget title(nullptr, QStringLiteral("Export"), true, true, true, true, true, true);
    QSignalSpy collapse(&title, &TitleWidget::CollapseWidgetBody);
    QSignalSpy enable(&title, &TitleWidget::EnableWidgetBody);
    QSignalSpy reset(&title, &TitleWidget::ResetWidgetBody);
    EXPECT_TRUE(title.styleSheet().contains(QStringLiteral(":Toolbox/FilterTitle.png")));
    EXPECT_TRUE(title.styleSheet().contains(QStringLiteral(":Icons/ResetOver.png")));

    title.EnableCheckBox()->setChecked(false);
    EXPECT_FALSE(title.CollapseButton()->isChecked());
    EXPECT_FALSE(title.ResetButton()->isEnabled());
    EXPECT_TRUE(title.styleSheet().contains(QStringLiteral(":Toolbox/FilterTitleCollapsed.png")));
    EXPECT_TRUE(title.styleSheet().contains(QStringLiteral(":Icons/ResetDisabled.png")));
    ASSERT_EQ(enable.count(), 1);
    EXPECT_EQ(enable.at(0).at(0).toInt(), Qt::Unchecked);
    ASSERT_EQ(collapse.count(), 1);
    EXPECT_FALSE(collapse.at(0).at(0).toBool());

    QTest::mouseDClick(&title, Qt::LeftButton, {}, QPoint(title.width() / 2, 12));
    EXPECT_TRUE(title.CollapseButton()->isChecked());
    EXPECT_EQ(collapse.count(), 2);
    title.EnableCheckBox()->setChecked(true);
    QTest::mouseClick(title.ResetButton(), Qt::LeftButton);
    EXPECT_EQ(reset.count(), 1);
}

} // namespace
} // namespace lumo::ui::testing
