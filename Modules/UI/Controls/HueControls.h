#pragma once

// The hue of the colourise filter: a slider whose groove shows the colour wheel, beside a spin box
// in degrees. The pair follows the change protocol of the value pairs (ValueControls.h), but a
// press announces its value before it marks the preview cache stale, and the slider's keys and
// wheel stay with the slider (a degree a step, ten a page), each step announced as a release.

#include "Controls/ValueControls.h"

#include <QPixmap>
#include <QRgb>

#include <array>

namespace lumo::ui {

// A slider of thousandths of a degree (0 to 360000) that paints the colour wheel in its groove
// and its handle from the skin images.
class HueSlider : public ResettableSlider {
    Q_OBJECT

public:
    HueSlider(int defaultValue, QWidget* parent);

    // The groove's colours, one per whole degree of hue: fully saturated, at half lightness.
    static const std::array<QRgb, 360>& HueTable();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_handle;
    QPixmap m_handleOver;
    QPixmap m_handleDisabled;
};

// The hue slider beside a spin box of degrees (0 to 360, two decimals).
class HueSpinSlider : public DoubleSpinSlider {
    Q_OBJECT

public:
    HueSpinSlider(QWidget* parent, double defaultValue);
};

} // namespace lumo::ui
