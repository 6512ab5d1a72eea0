// The change protocol of the pair controls, from the user's action to what the owning panel hears
// (value and downsample factor) and to the preview cache of the current layer, which the pair
// marks stale before or after its announcement.

#include "GreenScreenProject.h"
#include "UiTest.h"
#include "WheelInput.h"

#include "Controls/Buttons.h"
#include "Controls/DialControls.h"
#include "Controls/HueControls.h"
#include "Controls/ValueControls.h"

#include "ImageLayer.h"
#include "LayerManager.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <regex>

namespace lumo::ui::testing {
namespace {

using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

struct Announcement {
    double value = 0;
    int factor = 0;
    bool cacheStale = false; // the preview cache at the moment of the announcement
};

// One pair under test, seen through what all four have in common.
struct PairUnderTest {
    QWidget* widget = nullptr;
    QAbstractSlider* slider = nullptr;
    QAbstractSpinBox* spinBox = nullptr;
    double unitsPerValue = 1;  // slider integers per value
    double offset = 0;         // the dial's half degree
    double defaultValue = 0;
    std::function<void(double)> setValue;
    std::function<void(app::RenderLevel)> setLevel;
    QPushButton* rotateLeft = nullptr;
    QPushButton* rotateRight = nullptr;

    double HandleValue() const { return slider->sliderPosition() / unitsPerValue - offset; }
    double BoxValue() const
    {
        if (const auto* box = qobject_cast<const QSpinBox*>(spinBox))
            return box->value();
        return qobject_cast<const QDoubleSpinBox*>(spinBox)->value();
    }
};

enum Control { IntegerPair, RealPair, HuePair, DialPair, ControlCount };
const char* const kControlNames[] = {"SpinSlider", "DoubleSpinSlider", "HueSpinSlider", "DoubleSpinDial"};

class ChangeProtocolTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(folder.isValid());
        const GreenScreenProject written = WriteGreenScreenProject(folder.path(), 0.05);
        ASSERT_EQ(App().OpenProject(written.projectPath), app::LMerrSuccess);
        LoadLayerImages(App());
        CurrentProject()->SetCurrentToolset(app::ToolsetSectionFilters);
        CurrentProject()->SetCurrentLayerType(app::LayerTypeForeground);
        const app::LayerManagerPtr manager = CurrentProject()->GetLayerManager();
        foreground = manager->GetForeground(manager->CurrentForegroundId());
        ASSERT_TRUE(foreground);
        RenderBoth();
        ASSERT_FALSE(PreviewStale());

        host = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(host.get());
        // The program's style sheet styles the sliders: the press must still jump the handle.
        host->setStyleSheet(App().ApplicationStyleSheet());
        auto* integer = new SpinSlider(-100, 0, 100, host.get());
        auto* real = new DoubleSpinSlider(host.get(), 0.0, 100.0, 10.0, 0.01, 1.0, 5.0);
        auto* hue = new HueSpinSlider(host.get(), 180.0);
        auto* dial = new DoubleSpinDial(true, host.get(), true, 0.0, 359.99, 0.0);
        for (QWidget* widget : std::initializer_list<QWidget*>{integer, real, hue, dial})
            layout->addWidget(widget);
        pairs[IntegerPair] = {integer, integer->GetSlider(), integer->GetSpinBox(), 1, 0, 0,
                              [integer](double v) { integer->SetValue(static_cast<int>(v)); },
                              [integer](app::RenderLevel l) { integer->renderLevel = l; }};
        pairs[RealPair] = {real, real->GetSlider(), real->GetSpinBox(), 1000, 0, 10,
                           [real](double v) { real->SetValue(v); }, [real](app::RenderLevel l) { real->renderLevel = l; }};
        pairs[HuePair] = {hue, hue->GetSlider(), hue->GetSpinBox(), 1000, 0, 180,
                          [hue](double v) { hue->SetValue(v); }, [hue](app::RenderLevel l) { hue->renderLevel = l; }};
        pairs[DialPair] = {dial, dial->GetDial(), dial->GetSpinBox(), 1000, 0.5, 0,
                           [dial](double v) { dial->SetValue(v); }, [dial](app::RenderLevel l) { dial->renderLevel = l; },
                           dial->RotateLeftButton(), dial->RotateRightButton()};
        Listen(integer, &SpinSlider::SliderUpdate);
        Listen(real, &DoubleSpinSlider::SliderUpdate);
        Listen(hue, &HueSpinSlider::SliderUpdate);
        Listen(dial, &DoubleSpinDial::DialUpdate);
        for (PairUnderTest& pair : pairs)
            pair.setLevel(app::RenderLevelFilter);
        host->resize(420, 260);
        host->show();
        // The wheel goes to a control only while it has the focus, which an active window gives.
        host->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(host.get()));
        ProcessEvents();
    }

    void TearDown() override
    {
        host.reset();
        UiTest::TearDown();
    }

    template <typename Pair, typename Sender, typename Value>
    // Records what the pair announces, with the state of the preview cache at that moment.
    void Listen(Pair* pair, void (Sender::*signal)(Value, HXDownsampleFactor))
    {
        QObject::connect(pair, signal, pair, [this](Value value, HXDownsampleFactor factor) {
            heard.push_back({static_cast<double>(value), factor, PreviewStale()});
        });
    }

    void RenderBoth()
    {
        QImage image;
        ASSERT_EQ(App().RenderAllLayersToCanvas(image, HXDownsampleFactor0), app::LMerrSuccess);
        ASSERT_EQ(App().RenderAllLayersToCanvas(image, HXDownsampleFactor3), app::LMerrSuccess);
    }

    // As a render would leave it, without the time one takes.
    void MarkPreviewCurrent()
    {
        for (int level = app::RenderLevelKey; level <= app::RenderLevelFinal; ++level)
            App().GetRenderProcessor()->SetCacheValid(foreground, level, HXDownsampleFactor3, true);
        ASSERT_FALSE(PreviewStale());
    }

    bool PreviewStale()
    {
        app::RenderLevel level = app::RenderLevelKey;
        return !App().GetRenderProcessor()->IsCacheValid(foreground, HXDownsampleFactor3, level);
    }

    QTemporaryDir folder;
    app::ImageLayerPtr foreground;
    std::unique_ptr<QWidget> host;
    PairUnderTest pairs[ControlCount];
    std::vector<Announcement> heard;
};

// Points on the slider (a fraction of its width) or on the dial (a direction from its centre).
QPoint PressPoint(const PairUnderTest& pair, bool start)
{
    const QWidget* slider = pair.slider;
    if (qobject_cast<const QDial*>(slider) != nullptr)
        return start ? QPoint(slider->width() - 1, slider->height() / 2) : QPoint(slider->width() / 2, slider->height() - 1);
    return QPoint(static_cast<int>(slider->width() * (start ? 0.25 : 0.75)), slider->height() / 2);
}

void Press(PairUnderTest& pair)
{
    QTest::mousePress(pair.slider, Qt::LeftButton, {}, PressPoint(pair, true));
}

void Drag(PairUnderTest& pair)
{
    QTest::mouseMove(pair.slider, PressPoint(pair, false));
}

void Release(PairUnderTest& pair)
{
    QTest::mouseRelease(pair.slider, Qt::LeftButton, {}, PressPoint(pair, false));
}

void Type57(PairUnderTest& pair)
{
    pair.spinBox->selectAll();
    QTest::keyClicks(pair.spinBox, QStringLiteral("57"));
    QTest::keyClick(pair.spinBox, Qt::Key_Return);
}

enum class Cache {
    Untouched,       // never stale
    StepBeforeLast,  // stale when the last announcement arrives
    StepAfterLast,   // fresh at every announcement, stale afterwards
};

// What a panel hears: the factors in order as a pattern ("3+": one or more previews), the last
// value (kHandle: where the handle or knob stands), and the cache.
constexpr double kHandle = std::numeric_limits<double>::infinity();
struct Expected {
    const char* factors = nullptr; // null: the control has no such action
    double lastValue = 0;
    Cache cache = Cache::Untouched;
};

struct Action {
    const char* name;
    std::function<void(PairUnderTest&)> prepare; // not heard
    std::function<void(PairUnderTest&)> act;
    Expected expected[ControlCount];
};

TEST_F(ChangeProtocolTest, FromUserActionToAnnouncementsAndCacheSteps)
{
    using C = Cache;
    const auto none = [](PairUnderTest&) {};
    const auto atLevel5 = [](PairUnderTest& p) { p.setLevel(NoRenderLevel); };
    const std::vector<Action> actions = {
        // The knob turns to the pointer at the press: its box shows where.
        {"left press on the slider", none, Press,
         {{"3+", kHandle, C::StepBeforeLast}, {"3+", kHandle, C::StepBeforeLast}, {"3+", kHandle, C::StepAfterLast},
          {"3", kHandle, C::Untouched}}},
        {"drag", Press, Drag,
         {{"3+", kHandle, C::Untouched}, {"3+", kHandle, C::Untouched}, {"3+", kHandle, C::Untouched},
          {"3+", kHandle, C::Untouched}}},
        // The dial commits through both its release and its value change.
        {"release", [](PairUnderTest& p) {
             Press(p);
             Drag(p);
         }, Release,
         {{"0", kHandle, C::StepBeforeLast}, {"0", kHandle, C::StepBeforeLast}, {"0", kHandle, C::StepBeforeLast},
          {"00", kHandle, C::Untouched}}},
        {"right click on the slider", none, [](PairUnderTest& p) { QTest::mouseClick(p.slider, Qt::RightButton); },
         {{"0", 0, C::StepBeforeLast}, {"0", 10, C::StepBeforeLast}, {"0", 180, C::StepAfterLast},
          {"0", 0, C::Untouched}}},
        {"right click on the spin box", none,
         [](PairUnderTest& p) { QTest::mouseClick(p.spinBox->findChild<QLineEdit*>(), Qt::RightButton); },
         {{"0", 0, C::Untouched}, {"0", 10, C::Untouched}, {"0", 180, C::Untouched}, {"0", 0, C::Untouched}}},
        // Each typed digit is a value; Return confirms it once more and ends the typing.
        {"typing 57 then Return", none, Type57,
         {{"000", 57, C::StepAfterLast}, {"000", 57, C::StepAfterLast}, {"000", 57, C::StepAfterLast},
          {"000", 57, C::StepAfterLast}}},
        // The pairs' sliders hand Up and the wheel to the spin box; the hue slider and the dial keep
        // them (a degree a step, three a notch), the hue slider announcing each as a release.
        {"Up on the slider", none, [](PairUnderTest& p) { QTest::keyClick(p.slider, Qt::Key_Up); },
         {{"0", 31, C::Untouched}, {"0", 31, C::Untouched}, {"0", 31, C::StepBeforeLast}, {"0", 31, C::Untouched}}},
        {"wheel on the focused slider", [](PairUnderTest& p) { p.slider->setFocus(Qt::TabFocusReason); },
         [](PairUnderTest& p) { TurnWheel(p.slider); },
         {{"0", 31, C::Untouched}, {"0", 31, C::Untouched}, {"0", 33, C::StepBeforeLast}, {"0", kHandle, C::Untouched}}},
        // Scrolling the page over a control changes nothing, nor does it take the focus.
        {"wheel over an unfocused slider", none, [](PairUnderTest& p) { TurnWheel(p.slider); },
         {{"", 0, C::Untouched}, {"", 0, C::Untouched}, {"", 0, C::Untouched}, {"", 0, C::Untouched}}},
        {"wheel over an unfocused spin box", none,
         [](PairUnderTest& p) { TurnWheel(p.spinBox->findChild<QLineEdit*>()); },
         {{"", 0, C::Untouched}, {"", 0, C::Untouched}, {"", 0, C::Untouched}, {"", 0, C::Untouched}}},
        // The pairs' sliders leave the page keys to the page around.
        {"Page Up on the slider", none, [](PairUnderTest& p) { QTest::keyClick(p.slider, Qt::Key_PageUp); },
         {{"", 0, C::Untouched}, {"", 0, C::Untouched}, {"0", 40, C::StepBeforeLast}, {"0", 40, C::Untouched}}},
        {"End on the slider", none, [](PairUnderTest& p) { QTest::keyClick(p.slider, Qt::Key_End); },
         {{"", 0, C::Untouched}, {"", 0, C::Untouched}, {"0", 360, C::StepBeforeLast}, {"0", 359.99, C::Untouched}}},
        {"rotate right", none, [](PairUnderTest& p) { QTest::mouseClick(p.rotateRight, Qt::LeftButton); },
         {{}, {}, {}, {"0", 90, C::Untouched}}},
        {"rotate left", none, [](PairUnderTest& p) { QTest::mouseClick(p.rotateLeft, Qt::LeftButton); },
         {{}, {}, {}, {"0", 0, C::Untouched}}},
        {"SetValue", none, [](PairUnderTest& p) { p.setValue(42); },
         {{"", 0, C::Untouched}, {"", 0, C::Untouched}, {"", 0, C::Untouched}, {"", 0, C::Untouched}}},
        {"release at render level 5", [atLevel5](PairUnderTest& p) {
             atLevel5(p);
             Press(p);
             Drag(p);
         }, Release,
         {{"0", kHandle, C::Untouched}, {"0", kHandle, C::Untouched}, {"0", kHandle, C::Untouched},
          {"00", kHandle, C::Untouched}}},
        {"typing at render level 5", atLevel5, Type57,
         {{"000", 57, C::Untouched}, {"000", 57, C::Untouched}, {"000", 57, C::Untouched},
          {"000", 57, C::Untouched}}},
    };

    for (const Action& action : actions) {
        for (int control = 0; control < ControlCount; ++control) {
            const Expected& expected = action.expected[control];
            if (expected.factors == nullptr)
                continue;
            SCOPED_TRACE(::testing::Message() << kControlNames[control] << ": " << action.name);
            PairUnderTest& pair = pairs[control];
            pair.setLevel(app::RenderLevelFilter);
            pair.setValue(30);
            // A box losing the focus ends its typing (a cache step): no focus is left to lose.
            if (QWidget* focus = QApplication::focusWidget())
                focus->clearFocus();
            action.prepare(pair);
            MarkPreviewCurrent();
            heard.clear();

            action.act(pair);
            const bool staleAfter = PreviewStale();
            // Whatever moved, the box shows where the handle stands (to its two decimals).
            EXPECT_NEAR(pair.BoxValue(), pair.HandleValue(), pair.unitsPerValue > 1 ? 0.0051 : 0.0);

            std::string factors;
            for (const Announcement& a : heard)
                factors += std::to_string(a.factor);
            EXPECT_TRUE(std::regex_match(factors, std::regex(expected.factors))) << "factors heard: " << factors;
            if (heard.empty()) {
                EXPECT_FALSE(staleAfter);
                continue;
            }
            const Announcement& last = heard.back();
            const double value = expected.lastValue == kHandle ? pair.HandleValue() : expected.lastValue;
            // The real pairs announce the spin box's two decimals where the handle has three.
            EXPECT_NEAR(last.value, value, pair.unitsPerValue > 1 ? 0.0051 : 0.0);
            switch (expected.cache) {
            case Cache::Untouched:
                EXPECT_FALSE(staleAfter);
                for (const Announcement& a : heard)
                    EXPECT_FALSE(a.cacheStale);
                break;
            case Cache::StepBeforeLast:
                EXPECT_TRUE(last.cacheStale);
                break;
            case Cache::StepAfterLast:
                EXPECT_FALSE(last.cacheStale);
                EXPECT_TRUE(staleAfter);
                break;
            }
            QTest::mouseRelease(pair.slider, Qt::LeftButton); // a pending drag ends before the next row
        }
    }
}

TEST_F(ChangeProtocolTest, RealPairDragsInThousandthsAndReleasesTheShownValue)
{
    auto* pair = new DoubleSpinSlider(host.get(), 0.0, 2.0, 1.0, 0.001, 0.01, 0.1);
    Listen(pair, &DoubleSpinSlider::SliderUpdate);
    pair->show();
    QAbstractSlider* slider = pair->GetSlider();
    ASSERT_EQ(slider->minimum(), 0);
    ASSERT_EQ(slider->maximum(), 2000);
    ASSERT_EQ(slider->value(), 1000);

    slider->setSliderDown(true);
    heard.clear();
    slider->setSliderPosition(1234);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].value, 1.234);
    EXPECT_EQ(heard[0].factor, HXDownsampleFactor3);
    EXPECT_EQ(pair->GetSpinBox()->text(), QLocale().toString(1.23, 'f', 2));

    slider->setSliderDown(false);
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[1].value, 1.23);
    EXPECT_EQ(heard[1].factor, HXDownsampleFactor0);
}

} // namespace
} // namespace lumo::ui::testing
