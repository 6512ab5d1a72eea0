#include "Controls/DialControls.h"

#include "Controls/Buttons.h"
#include "Controls/ValueControls.h"
#include "Shell/Application.h"

#include <QHBoxLayout>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyleOptionSlider>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace lumo::ui {

using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

namespace {

constexpr double kPi = std::numbers::pi;

int DialValue(double value)
{
    return Thousandths(value + 0.5);
}

double ValueOfDial(int dialValue)
{
    return dialValue / 1000.0 - 0.5;
}

double Degrees(double radians)
{
    return radians * 180.0 / kPi;
}

// The direction from the knob's centre to the arrow's tip in degrees, by the rule that picks the
// arrow's lit edges.
double TipDirection(const QPointF& centre, const QPointF& tip)
{
    if (tip.x() == centre.x())
        return tip.y() > centre.y() ? 270.0 : 90.0;
    const QPointF& first = tip.x() < centre.x() ? tip : centre;
    const QPointF& second = tip.x() < centre.x() ? centre : tip;
    const double m = Degrees(std::atan(-(second.y() - first.y()) / (second.x() - first.x())));
    return tip.x() > centre.x() ? 180.0 - m : -m;
}

} // namespace

// ---- Dial

Dial::Dial(int defaultValue, QWidget* parent) : QDial(parent), m_defaultValue(defaultValue)
{
    setTracking(false);
    setAttribute(Qt::WA_Hover);
}

int Dial::ValueFromPoint(const QPointF& point) const
{
    const double dx = point.x() - width() / 2.0;
    const double dy = point.y() - height() / 2.0;
    double angle = 0.0;
    if (std::abs(dx) < 0.1)
        angle = dy > 0 ? kPi : 0.0;
    else
        angle = std::atan(dy / dx) + (dx < 0 ? 3.0 * kPi / 2.0 : kPi / 2.0);
    return static_cast<int>(Degrees(angle) * (m_thousandths ? 1000.0 : 1.0));
}

void Dial::mousePressEvent(QMouseEvent* event)
{
    if (minimum() == maximum() || event->button() != Qt::LeftButton || event->buttons() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    setSliderPosition(ValueFromPoint(event->position()));
    setSliderDown(true);
}

void Dial::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        event->ignore();
        return;
    }
    event->accept();
    setSliderPosition(ValueFromPoint(event->position()));
}

void Dial::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        setValue(m_defaultValue);
    } else {
        event->accept();
        setSliderPosition(ValueFromPoint(event->position()));
        setSliderDown(false);
    }
}

void Dial::paintEvent(QPaintEvent*)
{
    RunGuarded([this] {
        QStyleOptionSlider option;
        initStyleOption(&option);
        QPainter painter(this);
        if (painter.paintEngine()->hasFeature(QPaintEngine::Antialiasing))
            painter.setRenderHint(QPainter::Antialiasing);

        const int w = option.rect.width();
        const int h = option.rect.height();
        const double r = std::min(w, h) / 2.0;
        const int x = static_cast<int>((w - 2 * r) / 2 + r / 6 + option.rect.left() + 1);
        const int y = static_cast<int>((h - 2 * r) / 2 + r / 6 + option.rect.top() + 1);
        const int side = static_cast<int>(2 * r - 2 * (r / 6) - 2) - 1;
        // Through the centres of the knob's first and last pixels.
        const QRectF knob(x + 0.5, y + 0.5, side, side);

        if (isEnabled()) {
            QLinearGradient gradient(0, 0, 0, h);
            gradient.setColorAt(0.2, QColor(26, 26, 26));
            gradient.setColorAt(1.0, QColor(37, 37, 37));
            painter.setBrush(gradient);
        } else {
            painter.setBrush(QColor(49, 49, 49));
        }
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(knob);
        painter.setPen(QColor(77, 77, 77));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(knob);

        // The arrow.
        const double xc = w / 2 + 0.5;
        const double yc = h / 2 + 0.5;
        const int d = std::min(w, h);
        const int big = std::min(std::max(d / 12, 4), d / 4);
        const int length = std::max(d / 2 - big - 5, 5);
        const int back = length / 2;
        double a = kPi / 2;
        if (option.minimum != option.maximum) {
            const int position = option.upsideDown ? option.sliderPosition : option.maximum - option.sliderPosition;
            const double p = position - option.minimum;
            const double span = option.maximum - option.minimum;
            a = option.dialWrapping ? 3 * kPi / 2 - 2 * kPi * p / span : (8 * kPi - 10 * kPi * p / span) / 6;
        }
        const QPointF tip(xc - length * std::cos(a), yc + length * std::sin(a));
        const QPointF back1(xc - back * std::cos(a + 5 * kPi / 6), yc + back * std::sin(a + 5 * kPi / 6));
        const QPointF back2(xc - back * std::cos(a - 5 * kPi / 6), yc + back * std::sin(a - 5 * kPi / 6));
        painter.setPen(Qt::NoPen);
        painter.setBrush(isEnabled() && underMouse() ? QColor(98, 98, 98) : QColor(55, 55, 55));
        painter.drawPolygon(QPolygonF({tip, back1, back2}));

        // A bevel: the edges facing the light from the upper left are lighter.
        const QColor light(83, 83, 83);
        const QColor dark(60, 60, 60);
        const double theta = TipDirection(QPointF(w / 2.0, h / 2.0), tip);
        // Edges: 1 from the tip to the first back corner, 2 from the second back corner to the tip,
        // 3 between the back corners.
        struct Edges {
            QColor first, second, third;
        };
        Edges edges{dark, light, light};
        if (theta > 0 && theta < 45)
            edges = {dark, light, dark};
        else if (theta >= 45 && theta < 135)
            edges = {light, dark, dark};
        else if (theta >= 135 && theta <= 200)
            edges = {light, dark, light};
        painter.setBrush(Qt::NoBrush);
        painter.setPen(edges.first);
        painter.drawLine(tip, back1);
        painter.setPen(edges.second);
        painter.drawLine(back2, tip);
        painter.setPen(edges.third);
        painter.drawLine(back1, back2);
    });
}

// ---- DoubleSpinDial

DoubleSpinDial::DoubleSpinDial(bool rotateButtons, QWidget* parent, bool showDial, double minimum, double maximum,
                               double defaultValue)
    : QWidget(parent), m_dial(new Dial(DialValue(defaultValue), this)),
      m_spinBox(new DoubleSpinBox(defaultValue, minimum, maximum, 0.01, 1.0, 5.0, this))
{
    m_dial->setRange(DialValue(minimum), DialValue(maximum));
    m_dial->setWrapping(true);
    m_dial->setFixedSize(64, 64);
    m_dial->setValue(DialValue(defaultValue));
    // Until the first arrow key picks the step by its modifiers.
    m_spinBox->setSingleStep(0.5);
    m_spinBox->setWrapping(true);

    auto* knob = new QHBoxLayout;
    knob->setContentsMargins(0, 0, 0, 0);
    knob->setSpacing(0);
    if (rotateButtons) {
        m_rotateLeft = new ButtonDefault(QIcon(QStringLiteral(":Icons/ArrowLeft.png")),
                                         QString(), this);
        m_rotateLeft->setToolTip(tr("Rotate 90 degrees anticlockwise"));
        m_rotateRight = new ButtonDefault(QIcon(QStringLiteral(":Icons/ArrowRight.png")),
                                          QString(), this);
        m_rotateRight->setToolTip(tr("Rotate 90 degrees clockwise"));
        knob->addWidget(m_rotateLeft);
        knob->addWidget(m_dial);
        knob->addWidget(m_rotateRight);
        connect(m_rotateLeft, &QPushButton::clicked, this, &DoubleSpinDial::RotateLeft);
        connect(m_rotateRight, &QPushButton::clicked, this, &DoubleSpinDial::RotateRight);
    } else {
        knob->addWidget(m_dial);
    }
    m_dial->setVisible(showDial);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    layout->addStretch();
    layout->addLayout(knob);
    layout->addStretch();
    layout->addWidget(m_spinBox);

    connect(m_spinBox, &QDoubleSpinBox::valueChanged, this, &DoubleSpinDial::DoubleSpinBoxChanged);
    connect(m_spinBox, &QAbstractSpinBox::editingFinished, this, &DoubleSpinDial::SpinBoxEditingFinished);
    connect(m_dial, &QAbstractSlider::valueChanged, this, &DoubleSpinDial::DialChanged);
    connect(m_dial, &QAbstractSlider::sliderReleased, this, &DoubleSpinDial::DialChanged);
    connect(m_dial, &QAbstractSlider::sliderMoved, this, &DoubleSpinDial::DialDragging);
}

void DoubleSpinDial::SetValue(double value)
{
    const QSignalBlocker spinBoxBlocker(m_spinBox);
    const QSignalBlocker dialBlocker(m_dial);
    m_spinBox->setValue(value);
    m_dial->setValue(DialValue(value));
}

void DoubleSpinDial::SetSuffix(const QString& suffix)
{
    m_spinBox->setSuffix(suffix);
}

void DoubleSpinDial::DialDragging(int value)
{
    const double x = ValueOfDial(value);
    {
        const QSignalBlocker blocker(m_spinBox);
        m_spinBox->setValue(x);
    }
    emit DialUpdate(x, HXDownsampleFactor3);
}

void DoubleSpinDial::DialChanged()
{
    const double x = ValueOfDial(m_dial->value());
    {
        const QSignalBlocker blocker(m_spinBox);
        m_spinBox->setValue(x);
    }
    emit DialUpdate(x, HXDownsampleFactor0);
}

void DoubleSpinDial::DoubleSpinBoxChanged(double value)
{
    {
        const QSignalBlocker blocker(m_dial);
        m_dial->setValue(DialValue(value));
    }
    emit DialUpdate(value, HXDownsampleFactor0);
}

void DoubleSpinDial::SpinBoxEditingFinished()
{
    InvalidatePreviewCache(renderLevel);
}

void DoubleSpinDial::RotateLeft()
{
    // The fraction is dropped before the comparison: 90.5 turns to 0.
    const int n = static_cast<int>(m_spinBox->value());
    int value = 270; // for n <= 0 (wrapping) and n > 270
    if (n >= 1 && n <= 90)
        value = 0;
    else if (n >= 91 && n <= 180)
        value = 90;
    else if (n >= 181 && n <= 270)
        value = 180;
    Rotate(value);
}

void DoubleSpinDial::RotateRight()
{
    const int n = static_cast<int>(m_spinBox->value());
    int value = 0;
    if (n < 90)
        value = 90;
    else if (n < 180)
        value = 180;
    else if (n < 270)
        value = 270;
    Rotate(value);
}

void DoubleSpinDial::Rotate(double value)
{
    SetValue(value);
    emit DialUpdate(value, HXDownsampleFactor0);
}

} // namespace lumo::ui
