#include "Controls/HueControls.h"

#include "Shell/Application.h"

#include <QPainter>
#include <QStyleOptionSlider>

namespace lumo::ui {

namespace {

// HSL to RGB on a 0..360 scale for hue, saturation and lightness, in integers (every division
// truncates), so that the wheel's colours are exact: entry 0 is pure red, 120 pure green.
QRgb HslColour(int hue, int saturation, int lightness)
{
    if (saturation == 0) {
        if (hue != -1)
            return qRgb(0, 0, 0);
        const int grey = lightness * 255 / 360;
        return qRgb(grey, grey, grey);
    }
    const int m2 = lightness <= 180 ? (lightness * (saturation + 360) + 180) / 360
                                    : lightness + saturation - (lightness * saturation + 180) / 360;
    const int m1 = 2 * lightness - m2;
    const auto value = [m1, m2](int t) {
        if (t < 0)
            t += 360;
        else if (t > 360)
            t -= 360;
        if (t < 60)
            return m1 + ((m2 - m1) * t + 30) / 60;
        if (t < 180)
            return m2;
        if (t < 240)
            return m1 + ((m2 - m1) * (240 - t) + 30) / 60;
        return m1;
    };
    const auto channel = [&value](int t) { return (value(t) * 255 + 180) / 360; };
    return qRgb(channel(hue + 120), channel(hue), channel(hue - 120));
}

std::array<QRgb, 360> MakeHueTable()
{
    std::array<QRgb, 360> table{};
    for (int i = 0; i < 360; ++i)
        table[static_cast<std::size_t>(i)] = HslColour(i, 360, 180);
    return table;
}

} // namespace

// ---- HueSlider

HueSlider::HueSlider(int defaultValue, QWidget* parent)
    : ResettableSlider(defaultValue, parent), m_handle(QStringLiteral(":Slider/SliderHandle.png")),
      m_handleOver(QStringLiteral(":Slider/SliderHandleOver.png")),
      m_handleDisabled(QStringLiteral(":Slider/SliderHandleDisabled.png"))
{
    setAttribute(Qt::WA_Hover);
}

const std::array<QRgb, 360>& HueSlider::HueTable()
{
    static const std::array<QRgb, 360> table = MakeHueTable();
    return table;
}

void HueSlider::paintEvent(QPaintEvent*)
{
    RunGuarded([this] {
        QPainter painter(this);
        const int n = width() - 1;
        // Through the centres of the outermost pixels: columns 0 and n, rows 4 and 11.
        const QRectF groove(0.5, 4.5, n, 7);
        if (isEnabled()) {
            const std::array<QRgb, 360>& table = HueTable();
            for (int i = 0; i <= n - 2; ++i) {
                // Rounded ends: the outermost columns are shorter.
                int inset = 0;
                if (i == 0 || i == n - 2)
                    inset = 3;
                else if (i == 1 || i == n - 3)
                    inset = 1;
                const auto entry = static_cast<std::size_t>(static_cast<double>(i) / n * 360.0);
                painter.setPen(QColor(table[std::min<std::size_t>(entry, 359)]));
                painter.drawLine(i + 1, 4 + inset, i + 1, 11 - inset);
            }
        } else {
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(49, 49, 49));
            painter.drawRoundedRect(groove, 4, 4);
        }
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QColor(70, 70, 70));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(groove, 4, 4);

        QStyleOptionSlider option;
        initStyleOption(&option);
        const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
        const QRect target(handle.left() - 2, handle.top(), 16, 16);
        const QPixmap& image = !isEnabled() ? m_handleDisabled : (underMouse() ? m_handleOver : m_handle);
        painter.drawPixmap(target, image);
    });
}

// ---- HueSpinSlider

HueSpinSlider::HueSpinSlider(QWidget* parent, double defaultValue)
    : DoubleSpinSlider(parent, new HueSlider(Thousandths(defaultValue), nullptr),
                       new DoubleSpinBox(defaultValue, 0.0, 360.0, 0.01, 1.0, 5.0, nullptr),
                       ClickAnnouncement::BeforeCacheStep)
{
    GetSlider()->setRange(0, 360000);
    GetSlider()->setValue(Thousandths(defaultValue));
    // The slider keeps its keys and the wheel: a whole degree a step, ten a page (the toolkit's
    // thousandth would not show in the box's two decimals).
    GetSlider()->setSingleStep(1000);
    GetSlider()->setPageStep(10000);
    GetSpinBox()->setSingleStep(0.01);
    GetSpinBox()->setSuffix(QString(QChar(0x00B0)));
}

} // namespace lumo::ui
