#pragma once

// Angles: a round knob with an arrow beside a spin box of degrees, with optional buttons that
// turn by quarter turns. The pair announces DialUpdate(value, factor): 3 while the knob is
// pressed and dragged, 0 when it is released or right-clicked back to its default, when the spin box changes
// and when a rotate button is pressed. Only the end of typing marks the preview cache stale.

#include "Controls/ChangeProtocol.h"

#include <QDial>
#include <QWidget>

namespace lumo::ui {

class ButtonDefault;
class DoubleSpinBox;

// A knob whose value follows the pointer's direction from its centre: 0 straight up, growing
// clockwise, in thousandths of a degree. A right click returns it to its default when the button
// is released. Commits its value on release only. The wheel turns it only while it has the focus.
class Dial : public QDial {
    Q_OBJECT

public:
    Dial(int defaultValue, QWidget* parent);

    int DefaultValue() const { return m_defaultValue; }
    // The value the pointer at point asks for (before the range limits it).
    int ValueFromPoint(const QPointF& point) const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    // Only while focused (TakesWheel).
    void wheelEvent(QWheelEvent* event) override;

private:
    int m_defaultValue;
    bool m_thousandths = true;
};

// A dial beside a spin box of degrees. The dial works in thousandths with an offset of half a
// degree: dial = truncate((value + 0.5) x 1000), value = dial / 1000 - 0.5.
class DoubleSpinDial : public QWidget {
    Q_OBJECT

public:
    DoubleSpinDial(bool rotateButtons, QWidget* parent, bool showDial, double minimum, double maximum,
                   double defaultValue);

    // Sets both without announcing anything.
    void SetValue(double value);
    void SetSuffix(const QString& suffix);

    Dial* GetDial() const { return m_dial; }
    DoubleSpinBox* GetSpinBox() const { return m_spinBox; }
    // Null without rotate buttons.
    ButtonDefault* RotateLeftButton() const { return m_rotateLeft; }
    ButtonDefault* RotateRightButton() const { return m_rotateRight; }

    app::RenderLevel renderLevel = NoRenderLevel;

signals:
    void DialUpdate(double value, hvn::image::HXDownsampleFactor factor);

public slots:
    void DialDragging(int value);
    void DialChanged();
    void DoubleSpinBoxChanged(double value);
    void SpinBoxEditingFinished();
    // To the previous or next multiple of 90 degrees, wrapping.
    void RotateLeft();
    void RotateRight();

private:
    void Rotate(double value);

    Dial* m_dial;
    DoubleSpinBox* m_spinBox;
    ButtonDefault* m_rotateLeft = nullptr;
    ButtonDefault* m_rotateRight = nullptr;
};

} // namespace lumo::ui
