#include "Controls/ValueControls.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleFactory>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace lumo::ui {

using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

namespace {

bool IsArrowKey(int key)
{
    return key == Qt::Key_Left || key == Qt::Key_Up || key == Qt::Key_Right || key == Qt::Key_Down;
}

// The box's text field takes a right press for itself and does nothing with it; the box returns
// to its default for it as for a press on its arrows.
bool IsRightPressOnText(const QAbstractSpinBox* box, const QObject* watched, const QEvent* event)
{
    return watched == box->findChild<QLineEdit*>() && event->type() == QEvent::MouseButtonPress &&
           static_cast<const QMouseEvent*>(event)->button() == Qt::RightButton;
}

void SetUpBox(QAbstractSpinBox* box)
{
    box->setContextMenuPolicy(Qt::NoContextMenu);
    box->setAlignment(Qt::AlignHCenter);
    box->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    UseFocusForWheel(box);
}

// The toolkit steps a box ten times as far under Ctrl; the integer box has no Ctrl step and the
// real box its own (already chosen), so the boxes take their stepping keys and the wheel without Ctrl.
template <class Handle>
void KeyWithoutCtrl(QKeyEvent* event, Handle handle)
{
    const int key = event->key();
    const bool stepKey = key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown;
    if (!stepKey || !(event->modifiers() & Qt::ControlModifier)) {
        handle(event);
        return;
    }
    QKeyEvent plain(event->type(), key, event->modifiers() & ~Qt::ControlModifier, event->text(), event->isAutoRepeat(),
                    event->count());
    handle(&plain);
    event->setAccepted(plain.isAccepted());
}

template <class Handle>
void WheelWithoutCtrl(QWheelEvent* event, Handle handle)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        handle(event);
        return;
    }
    QWheelEvent plain(event->position(), event->globalPosition(), event->pixelDelta(), event->angleDelta(),
                      event->buttons(), event->modifiers() & ~Qt::ControlModifier, event->phase(), event->inverted(),
                      event->source());
    handle(&plain);
    event->setAccepted(plain.isAccepted());
}

void LayOutPair(QWidget* pair, QWidget* slider, QWidget* spinBox)
{
    auto* layout = new QHBoxLayout(pair);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    layout->addWidget(slider);
    layout->addWidget(spinBox);
}

} // namespace

// ---- ResettableSlider

ResettableSlider::ResettableSlider(int defaultValue, QWidget* parent)
    : QSlider(Qt::Horizontal, parent), m_defaultValue(defaultValue)
{
    setTracking(false);
    // The jump to the pointer relies on the style treating a middle press as "move the handle
    // here" (Fusion does); the slider owns its instance, setStyle does not.
    QStyle* style = QStyleFactory::create(QStringLiteral("Fusion"));
    style->setParent(this);
    setStyle(style);
    UseFocusForWheel(this);
}

void ResettableSlider::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        setValue(m_defaultValue);
        emit RightClicked(true);
    } else if (event->button() == Qt::LeftButton) {
        QMouseEvent jump(QEvent::MouseButtonPress, event->position(), event->globalPosition(), Qt::MiddleButton,
                         Qt::MiddleButton, Qt::NoModifier);
        QSlider::mousePressEvent(&jump);
    }
    QSlider::mousePressEvent(event);
    // The slider ignores a right press; it was handled here and goes no further.
    if (event->button() == Qt::RightButton || event->button() == Qt::LeftButton)
        event->accept();
}

void ResettableSlider::keyPressEvent(QKeyEvent* event)
{
    const int before = value();
    QSlider::keyPressEvent(event);
    if (value() != before && !isSliderDown())
        emit Stepped(value());
}

void ResettableSlider::wheelEvent(QWheelEvent* event)
{
    if (!TakesWheel(this, event))
        return;
    const int before = value();
    QSlider::wheelEvent(event);
    if (value() != before && !isSliderDown())
        emit Stepped(value());
}

// ---- Slider

Slider::Slider(int defaultValue, int minimum, int maximum, QWidget* parent) : ResettableSlider(defaultValue, parent)
{
    setRange(minimum, maximum);
    setValue(defaultValue);
}

void Slider::keyPressEvent(QKeyEvent* event)
{
    if (IsArrowKey(event->key())) {
        emit KeyPressed(event);
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Slider::wheelEvent(QWheelEvent* event)
{
    if (!TakesWheel(this, event))
        return;
    emit WheelTurned(event);
    event->accept();
}

// ---- SpinBox

SpinBox::SpinBox(int defaultValue, int minimum, int maximum, QWidget* parent)
    : QSpinBox(parent), m_defaultValue(defaultValue)
{
    SetUpBox(this);
    setFixedSize(90, 25);
    setRange(minimum, maximum);
    setValue(defaultValue);
    lineEdit()->installEventFilter(this);
}

bool SpinBox::eventFilter(QObject* watched, QEvent* event)
{
    if (IsRightPressOnText(this, watched, event))
        setValue(m_defaultValue);
    return QSpinBox::eventFilter(watched, event);
}

void SpinBox::KeyPressed(QKeyEvent* event)
{
    keyPressEvent(event);
}

void SpinBox::WheelTurned(QWheelEvent* event)
{
    WheelWithoutCtrl(event, [this](QWheelEvent* e) { QSpinBox::wheelEvent(e); });
}

void SpinBox::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton)
        setValue(m_defaultValue);
    QAbstractSpinBox::mousePressEvent(event);
}

void SpinBox::keyPressEvent(QKeyEvent* event)
{
    KeyWithoutCtrl(event, [this](QKeyEvent* e) { QSpinBox::keyPressEvent(e); });
}

void SpinBox::wheelEvent(QWheelEvent* event)
{
    if (TakesWheel(this, event))
        WheelTurned(event);
}

// ---- DoubleSpinBox

DoubleSpinBox::DoubleSpinBox(double defaultValue, double minimum, double maximum, double shiftStep,
                             double singleStep, double ctrlStep, QWidget* parent)
    : QDoubleSpinBox(parent), m_defaultValue(defaultValue), m_shiftStep(shiftStep), m_singleStep(singleStep),
      m_ctrlStep(ctrlStep)
{
    SetUpBox(this);
    setSingleStep(singleStep);
    setFixedSize(100, 25);
    setRange(minimum, maximum);
    setValue(defaultValue);
    connect(this, &QDoubleSpinBox::valueChanged, this, &DoubleSpinBox::DoubleSpinBoxChanged);
    connect(this, &QAbstractSpinBox::editingFinished, this, &DoubleSpinBox::SpinBoxEditingFinished);
    lineEdit()->installEventFilter(this);
}

bool DoubleSpinBox::eventFilter(QObject* watched, QEvent* event)
{
    if (IsRightPressOnText(this, watched, event))
        setValue(m_defaultValue);
    return QDoubleSpinBox::eventFilter(watched, event);
}

void DoubleSpinBox::DoubleSpinBoxChanged(double value)
{
    emit SpinBoxUpdate(value, HXDownsampleFactor0);
}

void DoubleSpinBox::SpinBoxEditingFinished() {}

void DoubleSpinBox::KeyPressed(QKeyEvent* event)
{
    keyPressEvent(event);
}

void DoubleSpinBox::WheelTurned(QWheelEvent* event)
{
    WheelWithoutCtrl(event, [this](QWheelEvent* e) { QDoubleSpinBox::wheelEvent(e); });
}

void DoubleSpinBox::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton)
        setValue(m_defaultValue);
    QAbstractSpinBox::mousePressEvent(event);
}

void DoubleSpinBox::wheelEvent(QWheelEvent* event)
{
    if (TakesWheel(this, event))
        WheelTurned(event);
}

void DoubleSpinBox::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (IsArrowKey(key)) {
        double step = m_singleStep;
        if (modifiers & Qt::ControlModifier)
            step = m_ctrlStep;
        if (modifiers & Qt::ShiftModifier)
            step = m_shiftStep;
        // A step finer than the shown decimals would be rounded away and the key would do nothing.
        setSingleStep(std::max(step, std::pow(10.0, -decimals())));
    }
    if (minimum() >= 0 && key == Qt::Key_Minus) {
        event->ignore();
        return;
    }
    KeyWithoutCtrl(event, [this](QKeyEvent* e) { QAbstractSpinBox::keyPressEvent(e); });
}

// ---- SpinSlider

SpinSlider::SpinSlider(int minimum, int defaultValue, int maximum, QWidget* parent)
    : QWidget(parent), m_slider(new Slider(defaultValue, minimum, maximum, this)),
      m_spinBox(new SpinBox(defaultValue, minimum, maximum, this))
{
    LayOutPair(this, m_slider, m_spinBox);
    connect(m_spinBox, &QSpinBox::valueChanged, this, &SpinSlider::SpinBoxChanged);
    connect(m_spinBox, &QAbstractSpinBox::editingFinished, this, &SpinSlider::SpinBoxEditingFinished);
    connect(m_slider, &QAbstractSlider::sliderPressed, this, [this] { SliderClicked(); });
    connect(m_slider, &QAbstractSlider::sliderReleased, this, &SpinSlider::SliderChangedUpdate);
    connect(m_slider, &ResettableSlider::RightClicked, this, &SpinSlider::SliderClicked);
    connect(m_slider, &Slider::KeyPressed, m_spinBox, &SpinBox::KeyPressed);
    connect(m_slider, &Slider::WheelTurned, m_spinBox, &SpinBox::WheelTurned);
    connect(m_slider, &QAbstractSlider::sliderMoved, this, &SpinSlider::SliderDragging);
}

void SpinSlider::SetValue(int value)
{
    const QSignalBlocker spinBoxBlocker(m_spinBox);
    const QSignalBlocker sliderBlocker(m_slider);
    m_spinBox->setValue(value);
    m_slider->setValue(value);
}

void SpinSlider::SetSuffix(const QString& suffix)
{
    m_spinBox->setSuffix(suffix);
}

void SpinSlider::SliderClicked(bool updateFull)
{
    {
        const QSignalBlocker blocker(m_spinBox);
        m_spinBox->setValue(m_slider->value());
    }
    InvalidatePreviewCache(renderLevel);
    emit SliderUpdate(m_spinBox->value(), updateFull ? HXDownsampleFactor0 : HXDownsampleFactor3);
}

void SpinSlider::SliderDragging(int value)
{
    {
        const QSignalBlocker blocker(m_spinBox);
        m_spinBox->setValue(value);
    }
    emit SliderUpdate(value, HXDownsampleFactor3);
}

void SpinSlider::SpinBoxChanged(int value)
{
    {
        const QSignalBlocker blocker(m_slider);
        m_slider->setValue(value);
    }
    emit SliderUpdate(m_slider->value(), HXDownsampleFactor0);
}

void SpinSlider::SliderChangedUpdate()
{
    InvalidatePreviewCache(renderLevel);
    emit SliderUpdate(m_spinBox->value(), HXDownsampleFactor0);
}

void SpinSlider::SpinBoxEditingFinished()
{
    InvalidatePreviewCache(renderLevel);
}

// ---- DoubleSpinSlider

DoubleSpinSlider::DoubleSpinSlider(QWidget* parent, double minimum, double maximum, double defaultValue,
                                   double shiftStep, double singleStep, double ctrlStep)
    : DoubleSpinSlider(parent,
                       new Slider(Thousandths(defaultValue), Thousandths(minimum), Thousandths(maximum), nullptr),
                       new DoubleSpinBox(defaultValue, minimum, maximum, shiftStep, singleStep, ctrlStep, nullptr),
                       ClickAnnouncement::AfterCacheStep)
{
    connect(static_cast<Slider*>(m_slider), &Slider::KeyPressed, m_spinBox, &DoubleSpinBox::KeyPressed);
    connect(static_cast<Slider*>(m_slider), &Slider::WheelTurned, m_spinBox, &DoubleSpinBox::WheelTurned);
}

DoubleSpinSlider::DoubleSpinSlider(QWidget* parent, ResettableSlider* slider, DoubleSpinBox* spinBox,
                                   ClickAnnouncement order)
    : QWidget(parent), m_slider(slider), m_spinBox(spinBox), m_clickAnnouncement(order)
{
    LayOutPair(this, m_slider, m_spinBox);
    connect(m_spinBox, &QDoubleSpinBox::valueChanged, this, &DoubleSpinSlider::DoubleSpinBoxChanged);
    connect(m_spinBox, &QAbstractSpinBox::editingFinished, this, &DoubleSpinSlider::SpinBoxEditingFinished);
    connect(m_slider, &QAbstractSlider::sliderPressed, this, [this] { SliderClicked(); });
    connect(m_slider, &QAbstractSlider::sliderReleased, this, &DoubleSpinSlider::SliderChangedUpdate);
    connect(m_slider, &ResettableSlider::RightClicked, this, &DoubleSpinSlider::SliderClicked);
    connect(m_slider, &QAbstractSlider::sliderMoved, this, &DoubleSpinSlider::SliderDragging);
    connect(m_slider, &ResettableSlider::Stepped, this, &DoubleSpinSlider::SliderStepped);
}

void DoubleSpinSlider::SetValue(double value)
{
    const QSignalBlocker spinBoxBlocker(m_spinBox);
    const QSignalBlocker sliderBlocker(m_slider);
    m_spinBox->setValue(value);
    m_slider->setValue(Thousandths(value));
}

void DoubleSpinSlider::SetSuffix(const QString& suffix)
{
    m_spinBox->setSuffix(suffix);
}

void DoubleSpinSlider::SliderClicked(bool updateFull)
{
    {
        const QSignalBlocker blocker(m_spinBox);
        m_spinBox->setValue(m_slider->value() / 1000.0);
    }
    const auto factor = updateFull ? HXDownsampleFactor0 : HXDownsampleFactor3;
    if (m_clickAnnouncement == ClickAnnouncement::AfterCacheStep) {
        InvalidatePreviewCache(renderLevel);
        emit SliderUpdate(m_spinBox->value(), factor);
    } else {
        emit SliderUpdate(m_spinBox->value(), factor);
        InvalidatePreviewCache(renderLevel);
    }
}

void DoubleSpinSlider::SliderDragging(int value)
{
    const double x = value / 1000.0;
    {
        const QSignalBlocker blocker(m_spinBox);
        m_spinBox->setValue(x);
    }
    emit SliderUpdate(x, HXDownsampleFactor3);
}

void DoubleSpinSlider::SliderChangedUpdate()
{
    InvalidatePreviewCache(renderLevel);
    emit SliderUpdate(m_spinBox->value(), HXDownsampleFactor0);
}

void DoubleSpinSlider::DoubleSpinBoxChanged(double value)
{
    {
        const QSignalBlocker blocker(m_slider);
        m_slider->setValue(Thousandths(value));
    }
    emit SliderUpdate(value, HXDownsampleFactor0);
}

void DoubleSpinSlider::SpinBoxEditingFinished()
{
    InvalidatePreviewCache(renderLevel);
}

void DoubleSpinSlider::SliderStepped(int value)
{
    {
        const QSignalBlocker spinBoxBlocker(m_spinBox);
        const QSignalBlocker sliderBlocker(m_slider);
        m_spinBox->setValue(value / 1000.0);
        m_slider->setValue(Thousandths(m_spinBox->value()));
    }
    SliderChangedUpdate();
}

} // namespace lumo::ui
