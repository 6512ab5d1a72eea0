// The value controls' keys, steps and their conversion to slider thousandths.

#include "UiTest.h"
#include "WheelInput.h"

#include "Controls/ValueControls.h"

#include <QLineEdit>
#include <QTest>

#include <memory>

namespace lumo::ui::testing {
namespace {

using ValueControlsTest = UiTest;

// The keys and the wheel on each kind of box, from 50 on a fresh box: the integer box steps by 1
// whatever the modifiers (the toolkit's tenfold Ctrl step is off), the real box by its own steps
// (Shift 0.01, single 1, Ctrl 5; Shift wins); Page Up and Page Down go ten single steps.
TEST_F(ValueControlsTest, SpinBoxesStepByTheirOwnStepsForEachKeyAndTheWheel)
{
    enum Kind { Integer, Real };
    struct Case {
        const char* name;
        Kind kind;
        Qt::Key key; // Qt::Key_unknown: one notch of the wheel up
        Qt::KeyboardModifiers modifiers;
        double expected;
    };
    const std::vector<Case> cases = {
        {"Up", Integer, Qt::Key_Up, Qt::NoModifier, 51},
        {"Down", Integer, Qt::Key_Down, Qt::NoModifier, 49},
        {"Ctrl+Up", Integer, Qt::Key_Up, Qt::ControlModifier, 51},
        {"Ctrl+Down", Integer, Qt::Key_Down, Qt::ControlModifier, 49},
        {"Shift+Up", Integer, Qt::Key_Up, Qt::ShiftModifier, 51},
        {"Page Up", Integer, Qt::Key_PageUp, Qt::NoModifier, 60},
        {"Ctrl+Page Down", Integer, Qt::Key_PageDown, Qt::ControlModifier, 40},
        {"wheel", Integer, Qt::Key_unknown, Qt::NoModifier, 51},
        {"Ctrl+wheel", Integer, Qt::Key_unknown, Qt::ControlModifier, 51},
        {"Up", Real, Qt::Key_Up, Qt::NoModifier, 51},
        {"Down", Real, Qt::Key_Down, Qt::NoModifier, 49},
        {"Ctrl+Up", Real, Qt::Key_Up, Qt::ControlModifier, 55},
        {"Ctrl+Down", Real, Qt::Key_Down, Qt::ControlModifier, 45},
        {"Shift+Up", Real, Qt::Key_Up, Qt::ShiftModifier, 50.01},
        {"Shift+Down", Real, Qt::Key_Down, Qt::ShiftModifier, 49.99},
        {"Shift wins over Ctrl", Real, Qt::Key_Up, Qt::ShiftModifier | Qt::ControlModifier, 50.01},
        {"Page Up", Real, Qt::Key_PageUp, Qt::NoModifier, 60},
        {"Ctrl+Page Down", Real, Qt::Key_PageDown, Qt::ControlModifier, 40},
        {"wheel", Real, Qt::Key_unknown, Qt::NoModifier, 51},
        {"Ctrl+wheel", Real, Qt::Key_unknown, Qt::ControlModifier, 51},
    };
    QWidget window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << (c.kind == Integer ? "integer box: " : "real box: ") << c.name);
        std::unique_ptr<QAbstractSpinBox> box;
        if (c.kind == Integer)
            box = std::make_unique<SpinBox>(50, 0, 100, &window);
        else
            box = std::make_unique<DoubleSpinBox>(50, 0, 100, 0.01, 1, 5, &window);
        box->show();
        if (c.key == Qt::Key_unknown) {
            box->setFocus(Qt::TabFocusReason);
            TurnWheel(box->findChild<QLineEdit*>(), 1, c.modifiers);
        } else {
            QTest::keyClick(box.get(), c.key, c.modifiers);
        }
        const double value = c.kind == Integer ? static_cast<SpinBox&>(*box).value()
                                               : static_cast<DoubleSpinBox&>(*box).value();
        EXPECT_DOUBLE_EQ(value, c.expected);
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
