#pragma once

// The text layers shown live over the rendered canvas, and the dashed frame of the selected one
// with its scale handle. The render pipeline draws text only into exported and printed images;
// while the user works these items show it. The view places them (origin at the text position,
// turned by the angle, then the canvas transform) and turns drags on the frame into edits.

#include "Canvas/CanvasItemTypes.h"

#include <QByteArray>
#include <QColor>
#include <QGraphicsSimpleTextItem>
#include <QPen>
#include <QUuid>

namespace lumo::ui {

class TextScaleGraphicsItem;

// One line (or more) of text whose origin is the left edge, the centre or the right edge of its
// first line, at the top, as its alignment says. Both the text and its frame measure themselves
// this way, so the frame always fits the text.
class AlignedTextGraphicsItem : public QGraphicsSimpleTextItem {
public:
    const QUuid& TextItemId() const { return m_textItemId; }
    Qt::Alignment Alignment() const { return m_alignment; }
    void SetAlignment(Qt::Alignment alignment);
    double Angle() const { return m_angle; }
    // Whether the view has this item selected; a flag only.
    bool IsTextSelected() const { return m_selected; }
    void SetTextSelected(bool selected) { m_selected = selected; }
    // The text's font with the geometry change the bounding rectangle needs.
    void SetTextFont(const QFont& font);
    void SetTextString(const QString& text);

    // The text's size from the font's metrics, placed by the alignment: x is -w/2 centred, -w
    // right aligned, 0 otherwise.
    QRectF boundingRect() const override;
    QPainterPath shape() const override;

protected:
    AlignedTextGraphicsItem(const QUuid& textItemId, const QString& text, const QFont& font);

    void StoreAngle(double degrees) { m_angle = degrees; }

private:
    QUuid m_textItemId;
    Qt::Alignment m_alignment = Qt::AlignLeft;
    double m_angle = 0;
    bool m_selected = true;
};

// One text item of the current foreground as the user sees it on the canvas. Takes no part in
// selection; the view stacks the items by their index.
class TextLayerGraphicsItem final : public AlignedTextGraphicsItem {
public:
    // The stacking of the first item; item i lies at i + BaseZValue.
    static constexpr qreal BaseZValue = 2;

    // base64Text: Base64 of the text's UTF-8 bytes, as the model stores it.
    TextLayerGraphicsItem(const QUuid& textItemId, const QByteArray& base64Text, const QFont& font, int index);

    // Decodes as far as the bytes allow: invalid Base64 or UTF-8 shows what they decode to.
    void SetTextFromBase64(const QByteArray& base64Text);
    // The view turns the item through its transform; this only keeps the angle.
    void SetAngle(double degrees);
    int Index() const { return m_index; }
    // Also restacks the item at index + BaseZValue.
    void SetIndex(int index);
    const QColor& Color() const { return m_color; }
    void SetColor(const QColor& color);
    double TextOpacity() const { return m_textOpacity; }
    void SetTextOpacity(double opacity);

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
    int type() const override { return CanvasItemTextLayer; }

private:
    int m_index;
    QColor m_color{255, 255, 255, 255};
    double m_textOpacity = 1.0;
};

// The dashed frame round the selected text, carrying its scale handle at the text's origin. It
// takes no mouse buttons: the view finds it under the pointer and drives the drag itself. The
// text is not drawn, only measured.
class TextQuadGraphicsItem final : public AlignedTextGraphicsItem {
public:
    static constexpr qreal ZValue = 104;

    TextQuadGraphicsItem(const QUuid& textItemId, const QString& text, const QFont& font, Qt::Alignment alignment);

    // Turns the scale handle's square with the text.
    void SetAngle(double degrees);
    TextScaleGraphicsItem* ScaleHandle() const { return m_scaleHandle; }
    const QPen& FramePen() const { return m_framePen; }

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
    int type() const override { return CanvasItemTextQuad; }

private:
    QPen m_framePen;
    TextScaleGraphicsItem* m_scaleHandle;
};

} // namespace lumo::ui
