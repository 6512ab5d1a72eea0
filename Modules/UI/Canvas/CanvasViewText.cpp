#include "Canvas/CanvasViewPrivate.h"

namespace lumo::ui {

using namespace canvasview;

Qt::Alignment TextAlignmentFlags(app::TextAlignmentMethod alignment)
{
    switch (alignment) {
    case app::TextAlignmentCentre:
        return Qt::AlignCenter;
    case app::TextAlignmentRight:
        return Qt::AlignRight;
    default:
        return Qt::AlignLeft;
    }
}

// ---- Text items

TextLayerGraphicsItem* CanvasView::TextLayerItem(const QUuid& id) const
{
    return d->textItems.value(id, nullptr);
}

TextQuadGraphicsItem* CanvasView::TextQuad() const
{
    return d->textQuad;
}

TextRotateGraphicsItem* CanvasView::TextRotate() const
{
    return d->textRotateItem;
}

void CanvasView::AddTextItem(const QUuid& id, const QByteArray& text, const QFont& font, bool selected, bool enabled)
{
    if (scene() == nullptr || d->textItems.contains(id))
        return;
    auto* item = new TextLayerGraphicsItem(id, text, font, static_cast<int>(d->textItems.size()));
    scene()->addItem(item);
    d->textItems.insert(id, item);
    UpdateTextItemsZOrder();
    item->setEnabled(enabled);
    item->setVisible(enabled && !d->textHidden);
    // An item added unselected leaves the selection of the others as it is.
    if (selected && InTextToolset())
        SelectTextItem(id, true);
    else
        item->SetTextSelected(false);
    UpdateAllTextItemTransforms();
}

void CanvasView::CreateTextItems()
{
    RemoveAllTextItems();
    const app::TextList* list = CurrentTextList();
    if (list == nullptr)
        return;
    const QUuid& selected = list->CurrentlySelectedTextItem();
    const bool textToolset = InTextToolset();
    for (auto it = list->Begin(); it != list->End(); ++it) {
        const app::TextItem& text = **it;
        AddTextItem(text.Id(), ShownText(text), ShownFont(text, text.FontSize()), textToolset && text.Id() == selected,
                    text.IsEnabled());
        SetTextItemAlignment(text.Id(), TextAlignmentFlags(text.TextAlignment()));
        SetTextItemColor(text.Id(), text.FontColor());
        SetTextItemOpacity(text.Id(), app::drawable::Opacity(text.Opacity()));
    }
}

void CanvasView::RemoveTextItem(const QUuid& id)
{
    TextLayerGraphicsItem* item = d->textItems.take(id);
    if (item == nullptr)
        return;
    if (d->textQuad != nullptr && d->textQuad->TextItemId() == id)
        RemoveTextHandles();
    RemoveCanvasItem(item);
}

void CanvasView::RemoveAllTextItems()
{
    for (TextLayerGraphicsItem* item : std::as_const(d->textItems))
        RemoveCanvasItem(item);
    d->textItems.clear();
    RemoveTextHandles();
}

void CanvasView::RemoveTextHandles()
{
    RemoveCanvasItem(d->textQuad);
    RemoveCanvasItem(d->textRotateItem);
    // A drag of handles that are gone ends here; its release has nothing left to write.
    d->textMove = d->textScale = d->textRotate = false;
}

void CanvasView::SelectTextItem(const QUuid& id, bool selected)
{
    TextLayerGraphicsItem* item = TextLayerItem(id);
    if (item == nullptr)
        return;
    RemoveTextHandles();
    for (auto it = d->textItems.cbegin(); it != d->textItems.cend(); ++it)
        it.value()->SetTextSelected(selected && it.key() == id);
    const app::TextItemPtr text = FindTextItem(id);
    if (selected && text && text->IsEnabled() && scene() != nullptr) {
        d->textQuad = new TextQuadGraphicsItem(id, item->text(), item->font(), item->Alignment());
        d->textRotateItem = new TextRotateGraphicsItem(QPointF(0, 0));
        scene()->addItem(d->textQuad);
        scene()->addItem(d->textRotateItem);
        UpdateTextItemTransform(id);
    }
    viewport()->update();
}

void CanvasView::UpdateTextItemTransform(const QUuid& id)
{
    TextLayerGraphicsItem* item = TextLayerItem(id);
    const app::TextItemPtr text = FindTextItem(id);
    const app::ProjectPtr project = CurrentProject();
    if (item == nullptr || !text || !project)
        return;
    const app::Canvas& canvas = project->GetCanvas();
    const int halfWidth = static_cast<int>(canvas.Width() * 0.5);
    const int halfHeight = static_cast<int>(canvas.Height() * 0.5);
    // A file may hold any numbers; they are drawn as the export draws them.
    const double angle = app::drawable::Degrees(text->Angle());
    const QTransform placement = QTransform()
                                     .translate(halfWidth * app::drawable::CanvasFraction(text->Position().x()),
                                                halfHeight * app::drawable::CanvasFraction(text->Position().y()))
                                     .rotate(angle, Qt::ZAxis);
    // The text's own placement applies first, then the canvas transform.
    const QTransform transform = placement * canvas.GetTransform();
    if (d->textQuad != nullptr && d->textQuad->TextItemId() == id) {
        d->textQuad->setTransform(transform);
        if (d->textRotateItem != nullptr) {
            d->textRotateItem->setTransform(QTransform().rotate(angle, Qt::ZAxis));
            d->textRotateItem->setPos(d->textQuad->scenePos());
        }
        d->textQuad->SetAngle(angle);
    }
    item->setTransform(transform);
    item->SetAngle(angle);
}

void CanvasView::UpdateAllTextItemTransforms()
{
    for (auto it = d->textItems.cbegin(); it != d->textItems.cend(); ++it)
        UpdateTextItemTransform(it.key());
}

void CanvasView::UpdateTextItemsZOrder()
{
    const app::TextList* list = CurrentTextList();
    if (list == nullptr || !InTextToolset())
        return;
    int index = 0;
    for (auto it = list->Begin(); it != list->End(); ++it, ++index)
        if (TextLayerGraphicsItem* item = TextLayerItem((*it)->Id()))
            item->SetIndex(index);
}

void CanvasView::SetTextItemsVisible(bool visible)
{
    // A disabled item stays hidden when the others are shown again.
    for (TextLayerGraphicsItem* item : std::as_const(d->textItems))
        item->setVisible(visible && item->isEnabled());
}

void CanvasView::SetTextItemsHidden(bool hidden)
{
    d->textHidden = hidden;
    SetTextItemsVisible(!hidden);
}

bool CanvasView::AreTextItemsHidden() const
{
    return d->textHidden;
}

void CanvasView::SetTextItemEnabled(const QUuid& id, bool enabled)
{
    if (TextLayerGraphicsItem* item = TextLayerItem(id)) {
        item->setEnabled(enabled);
        item->setVisible(enabled && !d->textHidden);
    }
}

void CanvasView::SetTextItemText(const QUuid& id, const QByteArray& text)
{
    TextLayerGraphicsItem* item = TextLayerItem(id);
    if (item == nullptr)
        return;
    item->SetTextFromBase64(text);
    if (d->textQuad != nullptr && d->textQuad->TextItemId() == id)
        d->textQuad->SetTextString(item->text());
}

void CanvasView::SetTextItemFont(const QUuid& id, const QFont& font)
{
    TextLayerGraphicsItem* item = TextLayerItem(id);
    if (item == nullptr)
        return;
    item->SetTextFont(font);
    if (d->textQuad != nullptr && d->textQuad->TextItemId() == id)
        d->textQuad->SetTextFont(font);
}

void CanvasView::SetTextItemAlignment(const QUuid& id, Qt::Alignment alignment)
{
    TextLayerGraphicsItem* item = TextLayerItem(id);
    if (item == nullptr)
        return;
    item->SetAlignment(alignment);
    if (d->textQuad != nullptr && d->textQuad->TextItemId() == id)
        d->textQuad->SetAlignment(alignment);
}

void CanvasView::SetTextItemColor(const QUuid& id, const QColor& color)
{
    if (TextLayerGraphicsItem* item = TextLayerItem(id))
        item->SetColor(color);
}

void CanvasView::SetTextItemOpacity(const QUuid& id, double opacity)
{
    if (TextLayerGraphicsItem* item = TextLayerItem(id))
        item->SetTextOpacity(opacity);
}

void CanvasView::SetTextPosition(QPointF position, const QUuid& id)
{
    const app::TextItemPtr text = FindTextItem(id);
    if (TextLayerItem(id) != nullptr && text)
        text->SetPosition(position);
}

void CanvasView::SetTextFontSize(const QUuid& id, int size)
{
    const app::TextItemPtr text = FindTextItem(id);
    if (TextLayerItem(id) == nullptr || !text)
        return;
    text->SetFontSize(size);
    SetTextItemFont(id, ShownFont(*text, size));
    if (const LumoModelPtr model = Model())
        model->NotifyObservers(DataTypeCanvas, id, FieldTypeTextItem);
}

void CanvasView::SetTextAngle(const QUuid& id, double degrees)
{
    const app::TextItemPtr text = FindTextItem(id);
    if (TextLayerItem(id) == nullptr || !text)
        return;
    text->SetAngle(degrees);
    if (const LumoModelPtr model = Model())
        model->NotifyObservers(DataTypeCanvas, id, FieldTypeTextItem);
}

// The drags of the text frame edit the text it frames; they write the model and move the canvas
// items, and ask for no render.
void CanvasView::PressTextHandle(QGraphicsItem* item, QMouseEvent* event)
{
    if (d->textQuad == nullptr)
        return;
    const QUuid id = d->textQuad->TextItemId();
    if (event->buttons() == Qt::RightButton) {
        // The right button alone resets what the handle edits: the size or the turn.
        d->textQuad->ScaleHandle()->setSelected(false);
        if (d->textRotateItem != nullptr)
            d->textRotateItem->setSelected(false);
        if (item->type() == CanvasItemTextScale) {
            SetTextFontSize(id, app::TextItem::DefaultTextItemSize);
            UpdateTextItemTransform(id);
            d->pressReset = true;
        } else if (item->type() == CanvasItemTextRotate) {
            SetTextAngle(id, 0);
            UpdateTextItemTransform(id);
            d->pressReset = true;
        }
        return;
    }
    const app::TextItemPtr text = FindTextItem(id);
    if (d->spaceHeld || d->panning || !text)
        return;
    d->pressPosition = event->position();
    d->textXAtPress = app::drawable::CanvasFraction(text->Position().x());
    d->textYAtPress = app::drawable::CanvasFraction(text->Position().y());
    d->textFontSizeAtPress = app::drawable::FontSize(text->FontSize());
    d->textAngleAtPress = app::drawable::Degrees(text->Angle());
    switch (item->type()) {
    case CanvasItemTextQuad:
        if (!d->textScale && !d->textRotate)
            d->textMove = true;
        break;
    case CanvasItemTextScale:
        d->textQuad->ScaleHandle()->setSelected(true);
        d->textScale = true;
        break;
    case CanvasItemTextRotate:
        if (d->textRotateItem != nullptr)
            d->textRotateItem->setSelected(true);
        d->textRotate = true;
        break;
    default:
        break;
    }
}

void CanvasView::DragTextHandle(QMouseEvent* event)
{
    if (d->textQuad == nullptr)
        return;
    if (d->textMove)
        MoveText(event->position(), event->modifiers());
    if (d->textScale)
        ScaleText(event->position());
    if (d->textRotate)
        RotateText(event->position(), event->modifiers());
}

void CanvasView::ReleaseTextHandle(QMouseEvent* event)
{
    // The last value once more.
    DragTextHandle(event);
    if (d->textQuad != nullptr)
        d->textQuad->ScaleHandle()->setSelected(false);
    if (d->textRotateItem != nullptr)
        d->textRotateItem->setSelected(false);
    d->textMove = d->textScale = d->textRotate = false;
    d->textXLocked = d->textYLocked = false;
}

void CanvasView::MoveText(const QPointF& at, Qt::KeyboardModifiers modifiers)
{
    const app::ProjectPtr project = CurrentProject();
    if (!project)
        return;
    FollowAxisLock(d->pressPosition, at, modifiers, d->textXLocked, d->textYLocked);
    const QPointF delta = LockedDelta(d->pressPosition, at, d->textXLocked, d->textYLocked);
    const app::Canvas& canvas = project->GetCanvas();
    const double scale = canvas.Scale();
    const int halfWidth = static_cast<int>(canvas.Width() * 0.5);
    const int halfHeight = static_cast<int>(canvas.Height() * 0.5);
    QPointF position(d->textXAtPress, d->textYAtPress);
    // An empty canvas, or one shown at no scale, leaves the text where it was rather than
    // writing an infinity into the project.
    if (halfWidth * scale > 0)
        position.rx() += delta.x() / (halfWidth * scale);
    if (halfHeight * scale > 0)
        position.ry() += delta.y() / (scale * halfHeight);
    const QUuid id = d->textQuad->TextItemId();
    SetTextPosition(position, id);
    UpdateTextItemTransform(id);
}

void CanvasView::ScaleText(const QPointF& at)
{
    // One point per pixel; dragging down enlarges.
    const int size = std::clamp(static_cast<int>(d->textFontSizeAtPress + (at.y() - d->pressPosition.y())),
                                app::drawable::kMinFontSize, app::drawable::kMaxFontSize);
    const QUuid id = d->textQuad->TextItemId();
    SetTextFontSize(id, size);
    UpdateTextItemTransform(id);
}

void CanvasView::RotateText(const QPointF& at, Qt::KeyboardModifiers modifiers)
{
    const QUuid id = d->textQuad->TextItemId();
    SetTextAngle(id, DragAngle(d->pressPosition, at, d->textQuad->scenePos(), d->textAngleAtPress, modifiers));
    UpdateTextItemTransform(id);
}

} // namespace lumo::ui
