#include "Canvas/TextGraphicsItems.h"

#include "Canvas/HandleGraphicsItems.h"
#include "Shell/InterfaceConstants.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

namespace lumo::ui {

// ---- Aligned text

AlignedTextGraphicsItem::AlignedTextGraphicsItem(const QUuid& textItemId, const QString& text, const QFont& font)
    : QGraphicsSimpleTextItem(text), m_textItemId(textItemId)
{
    setFont(font);
}

void AlignedTextGraphicsItem::SetAlignment(Qt::Alignment alignment)
{
    prepareGeometryChange();
    m_alignment = alignment;
    update();
}

void AlignedTextGraphicsItem::SetTextFont(const QFont& font)
{
    prepareGeometryChange();
    setFont(font);
}

void AlignedTextGraphicsItem::SetTextString(const QString& text)
{
    prepareGeometryChange();
    setText(text);
}

QRectF AlignedTextGraphicsItem::boundingRect() const
{
    const QSizeF size = QFontMetricsF(font()).size(0, text());
    double x = 0;
    if (m_alignment == Qt::AlignCenter)
        x = -size.width() / 2;
    else if (m_alignment == Qt::AlignRight)
        x = -size.width();
    return {x, 0, size.width(), size.height()};
}

QPainterPath AlignedTextGraphicsItem::shape() const
{
    QPainterPath path;
    path.addRect(boundingRect());
    return path;
}

// ---- Text layer

TextLayerGraphicsItem::TextLayerGraphicsItem(const QUuid& textItemId, const QByteArray& base64Text,
                                             const QFont& font, int index)
    : AlignedTextGraphicsItem(textItemId, QString(), font), m_index(index)
{
    setFlag(QGraphicsItem::ItemIsSelectable, false);
    setZValue(index + BaseZValue);
    SetTextFromBase64(base64Text);
}

void TextLayerGraphicsItem::SetTextFromBase64(const QByteArray& base64Text)
{
    SetTextString(QString::fromUtf8(QByteArray::fromBase64(base64Text)));
}

void TextLayerGraphicsItem::SetAngle(double degrees)
{
    StoreAngle(degrees);
    update();
}

void TextLayerGraphicsItem::SetIndex(int index)
{
    m_index = index;
    setZValue(index + BaseZValue);
}

void TextLayerGraphicsItem::SetColor(const QColor& color)
{
    m_color = color;
    update();
}

void TextLayerGraphicsItem::SetTextOpacity(double opacity)
{
    m_textOpacity = opacity;
    update();
}

void TextLayerGraphicsItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* /*option*/, QWidget* /*widget*/)
{
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setRenderHint(QPainter::TextAntialiasing, true);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(m_color, 1, Qt::SolidLine));
    painter->setOpacity(m_textOpacity);
    painter->setFont(font());
    painter->drawText(boundingRect(), static_cast<int>(Alignment()), text());
}

// ---- Text frame

TextQuadGraphicsItem::TextQuadGraphicsItem(const QUuid& textItemId, const QString& text, const QFont& font,
                                           Qt::Alignment alignment)
    : AlignedTextGraphicsItem(textItemId, text, font),
      m_framePen(canvascolors::Accent, 1, Qt::DashLine, Qt::SquareCap, Qt::BevelJoin)
{
    // Qt wants an even-length pattern: 5, 8, 5 alone is refused with a warning.
    m_framePen.setDashPattern({5, 8, 5, 1});
    m_framePen.setCosmetic(true);
    SetAlignment(alignment);
    setAcceptedMouseButtons(Qt::NoButton);
    setZValue(ZValue);
    m_scaleHandle = new TextScaleGraphicsItem(mapFromScene(QPointF(0, 0)), this);
}

void TextQuadGraphicsItem::SetAngle(double degrees)
{
    StoreAngle(degrees);
    m_scaleHandle->setTransform(QTransform().rotate(degrees, Qt::ZAxis));
    update();
}

void TextQuadGraphicsItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* /*option*/, QWidget* /*widget*/)
{
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setRenderHint(QPainter::TextAntialiasing, true);
    painter->setBrush(Qt::NoBrush);
    if (!IsTextSelected() || text().isEmpty())
        return;
    painter->setPen(m_framePen);
    painter->setOpacity(1.0);
    painter->drawRect(boundingRect());
}

} // namespace lumo::ui
