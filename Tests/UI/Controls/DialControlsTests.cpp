// The dial (pointer to value, right-click reset, quarter turns, painting) and the hue slider's
// colours.

#include "UiTest.h"

#include "Controls/Buttons.h"
#include "Controls/DialControls.h"
#include "Controls/HueControls.h"
#include "Controls/ValueControls.h"

#include <QSignalSpy>
#include <QTest>

namespace lumo::ui::testing {
namespace {

using DialControlsTest = UiTest;

TEST_F(DialControlsTest, DialValueFollowsThePointerClockwiseFromStraightUp)
{
    Dial dial(0, nullptr);
    dial.setRange(0, 360000);
    dial.setFixedSize(64, 64);
    dial.show();
    struct Case {
        const char* name;
        QPoint point;
        int expected;
    };
    const std::vector<Case> cases = {
        {"top", {32, 0}, 0},           {"upper right", {63, 1}, 45000}, {"right", {63, 32}, 90000},
        {"bottom", {32, 63}, 180000},  {"left", {0, 32}, 270000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTest::mousePress(&dial, Qt::LeftButton, {}, c.point);
        EXPECT_EQ(dial.sliderPosition(), c.expected);
        QTest::mouseRelease(&dial, Qt::LeftButton, {}, c.point);
        EXPECT_EQ(dial.value(), c.expected);
    }
}

TEST_F(DialControlsTest, RightClickResetsTheDialWhenTheButtonIsReleased)
{
    DoubleSpinDial pair(false, nullptr, true, 0, 359.99, 0);
    pair.show();
    pair.SetValue(90);
    QSignalSpy updates(&pair, &DoubleSpinDial::DialUpdate);
    Dial* dial = pair.GetDial();

    QTest::mousePress(dial, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(dial->value(), 90500);
    EXPECT_EQ(updates.count(), 0);
    QTest::mouseRelease(dial, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(dial->value(), 500);
    ASSERT_EQ(updates.count(), 1);
    EXPECT_EQ(updates.at(0).at(0).toDouble(), 0.0);
    EXPECT_EQ(updates.at(0).at(1).value<hvn::image::HXDownsampleFactor>(), hvn::image::HXDownsampleFactor0);
}

TEST_F(DialControlsTest, RotateButtonsTurnToTheNextQuarterWrapping)
{
    struct Case {
        double from;
        bool clockwise;
        double expected;
    };
    const std::vector<Case> cases = {
        {0, true, 90},      {89.99, true, 90}, {90, true, 180},   {269.5, true, 270}, {270, true, 0},
        {359.99, true, 0},  {0, false, 270},   {0.5, false, 270}, {1, false, 0},      {90.5, false, 0},
        {91, false, 90},    {180, false, 90},  {270, false, 180}, {271, false, 270},
    };
    DoubleSpinDial pair(true, nullptr, true, 0, 359.99, 0);
    QSignalSpy updates(&pair, &DoubleSpinDial::DialUpdate);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.from << (c.clockwise ? " right" : " left"));
        pair.SetValue(c.from);
        updates.clear();
        QTest::mouseClick(c.clockwise ? pair.RotateRightButton() : pair.RotateLeftButton(), Qt::LeftButton);
        EXPECT_EQ(pair.GetSpinBox()->value(), c.expected);
        EXPECT_EQ(pair.GetDial()->value(), static_cast<int>((c.expected + 0.5) * 1000));
        ASSERT_EQ(updates.count(), 1);
        EXPECT_EQ(updates.at(0).at(0).toDouble(), c.expected);
    }
}

TEST_F(DialControlsTest, DialKeepsTheValueHalfADegreeOnAndGivesItBack)
{
    DoubleSpinDial pair(false, nullptr, true, 0, 359.99, 0);
    EXPECT_EQ(pair.GetDial()->minimum(), 500);
    EXPECT_EQ(pair.GetDial()->maximum(), 360490);
    EXPECT_EQ(pair.GetDial()->DefaultValue(), 500);
    pair.SetValue(12.25);
    EXPECT_EQ(pair.GetDial()->value(), 12750);
    QSignalSpy updates(&pair, &DoubleSpinDial::DialUpdate);
    pair.SetValue(0);
    EXPECT_EQ(pair.GetDial()->value(), 500);
    EXPECT_EQ(updates.count(), 0);
    pair.DialChanged();
    ASSERT_EQ(updates.count(), 1);
    EXPECT_EQ(updates.at(0).at(0).toDouble(), 0.0);
}

TEST_F(DialControlsTest, DialArrowPointsAtTheValue)
{
    DoubleSpinDial pair(false, nullptr, true, 0, 359.99, 0);
    Dial* dial = pair.GetDial();
    // Where the arrow is, the knob is lighter than its dark fill.
    const auto lightness = [dial](QPoint p) { return qGray(dial->grab().toImage().pixel(p)); };
    struct Case {
        double value;
        QPoint arrow, opposite;
    };
    for (const Case& c : {Case{0, {32, 16}, {32, 48}}, Case{90, {48, 32}, {16, 32}}, Case{180, {32, 48}, {32, 16}},
                          Case{270, {16, 32}, {48, 32}}}) {
        SCOPED_TRACE(c.value);
        pair.SetValue(c.value);
        EXPECT_GT(lightness(c.arrow), lightness(c.opposite) + 15);
    }
    const QImage enabled = dial->grab().toImage();
    dial->setEnabled(false);
    const QImage disabled = dial->grab().toImage();
    EXPECT_EQ(QColor(disabled.pixel(32, 52)), QColor(49, 49, 49));
    EXPECT_LT(qGray(enabled.pixel(32, 20)), 49);
}

TEST_F(DialControlsTest, HueTableIsTheColourWheel)
{
    const auto& table = HueSlider::HueTable();
    EXPECT_EQ(table[0], qRgb(255, 0, 0));
    EXPECT_EQ(table[60], qRgb(255, 255, 0));
    EXPECT_EQ(table[120], qRgb(0, 255, 0));
    EXPECT_EQ(table[240], qRgb(0, 0, 255));

    HueSpinSlider pair(nullptr, 200);
    EXPECT_EQ(pair.GetSlider()->minimum(), 0);
    EXPECT_EQ(pair.GetSlider()->maximum(), 360000);
    EXPECT_EQ(pair.GetSlider()->value(), 200000);
    EXPECT_EQ(pair.GetSpinBox()->suffix(), QString(QChar(0x00B0)));
    EXPECT_EQ(pair.GetSpinBox()->singleStep(), 0.01);

    // The groove shows the wheel, and a flat grey when disabled.
    HueSlider slider(0, nullptr);
    slider.setRange(0, 360000);
    slider.setValue(300000);
    slider.resize(361, 16);
    const int column = 121; // column i + 1 paints entry truncate(i / 360 * 360)
    EXPECT_EQ(slider.grab().toImage().pixel(column, 7), table[120]);
    slider.setEnabled(false);
    EXPECT_EQ(QColor(slider.grab().toImage().pixel(column, 7)), QColor(49, 49, 49));
}

} // namespace
} // namespace lumo::ui::testing
