// The value controls' keys, steps and their conversion to slider thousandths.

#include "UiTest.h"

#include "Controls/ValueControls.h"

#include <QLineEdit>
#include <QTest>

namespace lumo::ui::testing {
namespace {

using ValueControlsTest = UiTest;

TEST_F(ValueControlsTest, DoubleSpinBoxStepsByTheModifiersOfEachArrowKey)
{
    struct Case {
        const char* name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        double expected;
    };
    // Shift step 0.01, single step 1, Ctrl step 5, from 50.
    const std::vector<Case> cases = {
        {"Up", Qt::Key_Up, Qt::NoModifier, 51},
        {"Down", Qt::Key_Down, Qt::NoModifier, 49},
        {"Ctrl+Up", Qt::Key_Up, Qt::ControlModifier, 55},
        {"Ctrl+Down", Qt::Key_Down, Qt::ControlModifier, 45},
        {"Shift+Up", Qt::Key_Up, Qt::ShiftModifier, 50.01},
        {"Shift+Down", Qt::Key_Down, Qt::ShiftModifier, 49.99},
        {"Shift wins over Ctrl", Qt::Key_Up, Qt::ShiftModifier | Qt::ControlModifier, 50.01},
    };
    DoubleSpinBox box(0, 0, 100, 0.01, 1, 5, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        box.setValue(50);
        QTest::keyClick(&box, c.key, c.modifiers);
        EXPECT_DOUBLE_EQ(box.value(), c.expected);
    }
    // A step finer than the two shown decimals would be rounded away: it moves by one hundredth.
    DoubleSpinBox fine(1, 0, 2, 0.001, 0.01, 0.1, nullptr);
    QTest::keyClick(&fine, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_DOUBLE_EQ(fine.value(), 1.01);
    QTest::keyClick(&fine, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(fine.value(), 1.11);
}

TEST_F(ValueControlsTest, MinusSignIsRefusedOnlyWhereNoNegativeValueExists)
{
    struct Case {
        double minimum;
        QString expected;
    };
    for (const Case& c : {Case{0, QStringLiteral("")}, Case{-100, QStringLiteral("-")}}) {
        SCOPED_TRACE(c.minimum);
        DoubleSpinBox box(0, c.minimum, 100, 0.01, 1, 5, nullptr);
        box.show();
        box.selectAll();
        QTest::keyClick(&box, Qt::Key_Backspace);
        QTest::keyClick(&box, Qt::Key_Minus);
        EXPECT_EQ(box.findChild<QLineEdit*>()->text(), c.expected);
    }
}

TEST_F(ValueControlsTest, SliderHandsArrowKeysOnAndIgnoresThePageKeys)
{
    Slider slider(10, 0, 100, nullptr);
    int keys = 0;
    QObject::connect(&slider, &Slider::KeyPressed, [&keys] { ++keys; });
    for (const Qt::Key key : {Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End})
        QTest::keyClick(&slider, key);
    EXPECT_EQ(slider.value(), 10);
    EXPECT_EQ(keys, 0);
    for (const Qt::Key key : {Qt::Key_Left, Qt::Key_Up, Qt::Key_Right, Qt::Key_Down})
        QTest::keyClick(&slider, key);
    EXPECT_EQ(slider.value(), 10);
    EXPECT_EQ(keys, 4);
}

TEST_F(ValueControlsTest, RealPairSliderTakesThousandthsTruncatedTowardZero)
{
    struct Case {
        double minimum, maximum, defaultValue;
        int sliderMinimum, sliderMaximum, sliderValue;
    };
    const std::vector<Case> cases = {
        {0, 2, 1.2345, 0, 2000, 1234},
        {-2.5555, 2.5555, -1.2345, -2555, 2555, -1234},
        {-100, 100, -0.0009, -100000, 100000, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.defaultValue);
        DoubleSpinSlider pair(nullptr, c.minimum, c.maximum, c.defaultValue, 0.01, 1, 5);
        EXPECT_EQ(pair.GetSlider()->minimum(), c.sliderMinimum);
        EXPECT_EQ(pair.GetSlider()->maximum(), c.sliderMaximum);
        EXPECT_EQ(pair.GetSlider()->value(), c.sliderValue);
        EXPECT_EQ(pair.GetSlider()->DefaultValue(), c.sliderValue);
        pair.SetValue(c.defaultValue);
        EXPECT_EQ(pair.GetSlider()->value(), c.sliderValue);
    }
}

} // namespace
} // namespace lumo::ui::testing
