#include "Controls/ColorPickerWidget.h"

#include "Shell/Application.h"

#include <QEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>

namespace lumo::ui {

namespace {

constexpr int kSwatchSize = 12;
// The dialog takes its dark look from its parent.
const QString kDialogParentStyleSheet = QStringLiteral("background: #333333;");

} // namespace

ColorPickerWidget::ColorPickerWidget(const QColor& initial, QWidget* parent) : QPushButton(parent)
{
    setObjectName(QStringLiteral("ColorPickerWidget"));
    setFocusPolicy(Qt::NoFocus);
    setFixedHeight(24);
    setText(tr("Change..."));
    SetColor(initial);
    connect(this, &QPushButton::clicked, this, &ColorPickerWidget::ColorPickerClicked);
}

void ColorPickerWidget::SetColor(const QColor& colour)
{
    m_colour = colour;
    QPixmap swatch(kSwatchSize, kSwatchSize);
    if (isEnabled()) {
        // A grey outline on pixels 0 to 10 around the colour; the last row and column stay clear.
        // Filled pixel by pixel: an antialiased outline would only blur the square's corners.
        swatch.fill(Qt::transparent);
        QPainter painter(&swatch);
        painter.fillRect(QRect(0, 0, kSwatchSize - 1, kSwatchSize - 1), QColor(66, 66, 66, 255));
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(QRect(1, 1, kSwatchSize - 3, kSwatchSize - 3), colour);
    } else {
        swatch.fill(colour);
    }
    // The same swatch in every mode: Qt would grey a disabled one.
    QIcon icon;
    icon.addPixmap(swatch, QIcon::Normal);
    icon.addPixmap(swatch, QIcon::Disabled);
    setIcon(icon);
}

void ColorPickerWidget::ColorPickerClicked()
{
    RunGuarded([this] {
        Application* application = Application::Instance();
        if (application == nullptr)
            return;
        // The panel may be rebuilt while the dialog is open: both may go meanwhile.
        const QPointer<ColorPickerWidget> self(this);
        QPointer<QWidget> darkParent = new QWidget(parentWidget());
        darkParent->hide();
        darkParent->setStyleSheet(kDialogParentStyleSheet);
        ColourRequest request;
        request.parent = darkParent;
        request.initial = m_colour;
        const QColor chosen = application->Dialogs().ChooseColour(request);
        delete darkParent;
        if (self == nullptr || !chosen.isValid())
            return;
        SetColor(chosen);
        emit ColorChanged();
    });
}

void ColorPickerWidget::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange)
        SetColor(m_colour);
    QPushButton::changeEvent(event);
}

} // namespace lumo::ui
