#include "Shell/AboutWidget.h"

#include "Shell/Identity.h"

#include <QMouseEvent>

namespace lumo::ui {

AboutWidget::AboutWidget(QWidget* parent) : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    m_picture.SetUp(*this);
}

AboutWidget::~AboutWidget() = default;

QString AboutWidget::VersionText()
{
    return tr("Version %1").arg(ApplicationVersion);
}

void AboutWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        close();
}

void AboutWidget::paintEvent(QPaintEvent* /*event*/)
{
    m_picture.Paint(*this, QRect(QPoint(0, 0), m_picture.image.size()), VersionText());
}

} // namespace lumo::ui
