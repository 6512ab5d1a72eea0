#pragma once

// A button that shows a colour as a small swatch beside "Change..." and asks the user for another
// through the application's colour dialog.

#include <QColor>
#include <QPushButton>

namespace lumo::ui {

class ColorPickerWidget : public QPushButton {
    Q_OBJECT

public:
    ColorPickerWidget(const QColor& initial, QWidget* parent);

    // Stores the colour and redraws the swatch; announces nothing.
    void SetColor(const QColor& colour);
    QColor Color() const { return m_colour; }

signals:
    // The user chose a colour.
    void ColorChanged();
    // Never emitted; kept for the panels that connect it.
    void DisabledMousePress(QMouseEvent* event);

public slots:
    // Asks for a colour; a cancelled dialog changes nothing.
    void ColorPickerClicked();

protected:
    void changeEvent(QEvent* event) override;

private:
    QColor m_colour;
};

} // namespace lumo::ui
