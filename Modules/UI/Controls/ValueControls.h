#pragma once

// The numeric controls of the panels: sliders and spin boxes that return to their default on a
// right click, and the slider-and-spin-box pairs that carry the change protocol (ChangeProtocol.h).
//
// A pair announces every change with SliderUpdate(value, factor):
// - a left press on the slider jumps the handle to the pointer and announces with factor 3, one
//   announcement per movement follows with factor 3, and the release announces with factor 0;
// - a right click on the slider returns it to its default and announces with factor 0;
// - every change of the spin box (typed, stepped, right-clicked back to its default) announces
//   with factor 0;
// - the arrow keys and the wheel on the slider step the spin box; a slider that keeps its keys
//   (the hue slider) announces each key or wheel step with factor 0, as a release.
// The wheel changes a control only while it has the keyboard focus (TakesWheel); over any other
// control it scrolls the page around. Ctrl does not make a box step ten times as far.
// Before the announcement of a press, a right click and a release, and when typing ends, the pair
// marks the preview render of the current layer stale from its renderLevel. SetValue announces
// nothing.

#include "Controls/ChangeProtocol.h"

#include <QDoubleSpinBox>
#include <QSlider>
#include <QSpinBox>
#include <QWidget>

class QKeyEvent;
class QWheelEvent;

namespace lumo::ui {

// A horizontal slider that commits its value only on release (the handle's course comes through
// sliderMoved), returns to its default on a right click and, on a left press, jumps to the
// pointer and starts a drag there. Each one owns its style, so the application's style cannot
// change how the press behaves.
class ResettableSlider : public QSlider {
    Q_OBJECT

public:
    int DefaultValue() const { return m_defaultValue; }

signals:
    // After a right click has set the default value; updateFull is always true.
    void RightClicked(bool updateFull);
    // The value moved by a key or the wheel, outside a drag (nothing else announces it).
    void Stepped(int value);

protected:
    ResettableSlider(int defaultValue, QWidget* parent);

    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Only while focused (TakesWheel).
    void wheelEvent(QWheelEvent* event) override;

private:
    int m_defaultValue;
};

// The slider of the value pairs: the arrow keys and the wheel (while focused) go to the pair's
// spin box, which steps by its own rule; Page Up, Page Down, Home and End do nothing.
class Slider : public ResettableSlider {
    Q_OBJECT

public:
    Slider(int defaultValue, int minimum, int maximum, QWidget* parent);

signals:
    void KeyPressed(QKeyEvent* event);
    void WheelTurned(QWheelEvent* event);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
};

// An integer box, centred, 90 x 25 pixels; a right click returns it to its default, on the
// arrows and on the text alike. Up and Down step by 1 whatever the modifiers, Page Up and Page
// Down by 10.
class SpinBox : public QSpinBox {
    Q_OBJECT

public:
    SpinBox(int defaultValue, int minimum, int maximum, QWidget* parent);

    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    // A key that arrived at the pair's slider.
    void KeyPressed(QKeyEvent* event);
    // A wheel turned over the pair's focused slider.
    void WheelTurned(QWheelEvent* event);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Only while focused (TakesWheel).
    void wheelEvent(QWheelEvent* event) override;

private:
    int m_defaultValue;
};

// A real box with two decimals, centred, 100 x 25 pixels; a right click returns it to its
// default, on the arrows and on the text alike. The arrow keys step by the single step, by the
// Ctrl step with Ctrl and by the Shift step with Shift (Shift wins), and the box keeps that step
// for the wheel and for Page Up and Page Down (ten steps); a box that cannot go below 0 takes no
// minus sign.
class DoubleSpinBox : public QDoubleSpinBox {
    Q_OBJECT

public:
    DoubleSpinBox(double defaultValue, double minimum, double maximum, double shiftStep, double singleStep,
                  double ctrlStep, QWidget* parent);

    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // Every change, with factor 0.
    void SpinBoxUpdate(double value, hvn::image::HXDownsampleFactor factor);

public slots:
    void DoubleSpinBoxChanged(double value);
    void SpinBoxEditingFinished();
    // A key that arrived at the pair's slider.
    void KeyPressed(QKeyEvent* event);
    // A wheel turned over the pair's focused slider.
    void WheelTurned(QWheelEvent* event);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Only while focused (TakesWheel).
    void wheelEvent(QWheelEvent* event) override;

private:
    double m_defaultValue;
    double m_shiftStep;
    double m_singleStep;
    double m_ctrlStep;
};

// An integer slider beside its spin box.
class SpinSlider : public QWidget {
    Q_OBJECT

public:
    SpinSlider(int minimum, int defaultValue, int maximum, QWidget* parent);

    // Sets both without announcing anything or touching a cache.
    void SetValue(int value);
    void SetSuffix(const QString& suffix);

    Slider* GetSlider() const { return m_slider; }
    SpinBox* GetSpinBox() const { return m_spinBox; }

    // The render stage the owner's setting is re-rendered from; set right after construction.
    app::RenderLevel renderLevel = NoRenderLevel;

signals:
    void SliderUpdate(int value, hvn::image::HXDownsampleFactor factor);

public slots:
    void SliderClicked(bool updateFull = false);
    void SliderDragging(int value);
    void SpinBoxChanged(int value);
    void SliderChangedUpdate();
    void SpinBoxEditingFinished();

private:
    Slider* m_slider;
    SpinBox* m_spinBox;
};

// A real slider beside its spin box. The slider works in thousandths (truncated toward zero), the
// spin box in the values with two decimals: a drag announces the slider's thousandths, a release
// the spin box's rounded value.
class DoubleSpinSlider : public QWidget {
    Q_OBJECT

public:
    // The steps go to the spin box (see DoubleSpinBox).
    DoubleSpinSlider(QWidget* parent, double minimum, double maximum, double defaultValue, double shiftStep,
                     double singleStep, double ctrlStep);

    void SetValue(double value);
    void SetSuffix(const QString& suffix);

    ResettableSlider* GetSlider() const { return m_slider; }
    DoubleSpinBox* GetSpinBox() const { return m_spinBox; }

    app::RenderLevel renderLevel = NoRenderLevel;

signals:
    void SliderUpdate(double value, hvn::image::HXDownsampleFactor factor);

public slots:
    void SliderClicked(bool updateFull = false);
    void SliderDragging(int value);
    void SliderChangedUpdate();
    void DoubleSpinBoxChanged(double value);
    void SpinBoxEditingFinished();
    // The slider moved by a key or the wheel: the spin box takes the value, the slider the box's
    // two decimals, then as at a release (cache step, factor 0).
    void SliderStepped(int value);

protected:
    // Whether a press or right click announces its value before or after the cache step.
    enum class ClickAnnouncement { AfterCacheStep, BeforeCacheStep };

    // For pairs with another slider; the pair lays out and connects both children and takes them.
    DoubleSpinSlider(QWidget* parent, ResettableSlider* slider, DoubleSpinBox* spinBox, ClickAnnouncement order);

private:
    ResettableSlider* m_slider;
    DoubleSpinBox* m_spinBox;
    ClickAnnouncement m_clickAnnouncement;
};

} // namespace lumo::ui
