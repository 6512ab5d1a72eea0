#include "LayoutCheck.h"

#include "Canvas/CanvasOutlineGraphicsItem.h"
#include "Canvas/CanvasScene.h"
#include "Canvas/CanvasView.h"
#include "Controls/Container.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusFrame>
#include <QGraphicsScene>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRubberBand>
#include <QSizeGrip>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTabBar>
#include <QTextDocument>
#include <QToolButton>

#include <gtest/gtest.h>

namespace lumo::ui::testing {

namespace {

// A pixel of slack for rounding in the styles' own arithmetic.
constexpr int kSlack = 1;

QString Describe(const QWidget* widget)
{
    QString part = QString::fromLatin1(widget->metaObject()->className());
    if (!widget->objectName().isEmpty() && !widget->objectName().startsWith(QLatin1String("qt_")))
        part += QLatin1Char('#') + widget->objectName();
    if (const auto* label = qobject_cast<const QLabel*>(widget); label != nullptr && !label->text().isEmpty())
        part += QStringLiteral(" \"%1\"").arg(label->text().left(40));
    else if (const auto* button = qobject_cast<const QAbstractButton*>(widget); button != nullptr && !button->text().isEmpty())
        part += QStringLiteral(" \"%1\"").arg(button->text());
    return part;
}

QString Path(const QWidget* widget, const QWidget& root)
{
    QStringList parts;
    for (const QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
        parts.prepend(Describe(w));
        if (w == &root)
            break;
    }
    // The root and the widget itself, with at most two ancestors between them, read best.
    if (parts.size() > 4)
        parts = QStringList{parts.first(), QStringLiteral("..."), parts[parts.size() - 3], parts[parts.size() - 2], parts.last()};
    return parts.join(QStringLiteral(" > "));
}

QString Rect(const QRect& r)
{
    return QStringLiteral("(%1, %2, %3 x %4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

QString PlainText(const QString& text)
{
    QString plain = text;
    // A single ampersand marks a mnemonic and is not drawn.
    plain.replace(QLatin1String("&&"), QString(QChar(0x1)));
    plain.remove(QLatin1Char('&'));
    plain.replace(QChar(0x1), QLatin1Char('&'));
    return plain;
}

int TextWidth(const QWidget* widget, const QString& text)
{
    int widest = 0;
    for (const QString& line : PlainText(text).split(QLatin1Char('\n')))
        widest = std::max(widest, widget->fontMetrics().horizontalAdvance(line));
    return widest;
}

bool IsScrollViewport(const QWidget* widget)
{
    const auto* area = qobject_cast<const QAbstractScrollArea*>(widget->parentWidget());
    return area != nullptr && area->viewport() == widget;
}

// Names shortened with an ellipsis by design: the properties panels' titles.
bool MayElide(const QLabel* label)
{
    return label->text().endsWith(QLatin1String(" Properties"));
}

void CheckLabel(const QLabel* label, const QWidget& root, QStringList& faults)
{
    const QString text = label->text();
    if (text.isEmpty() || label->textFormat() == Qt::RichText ||
        (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text)))
        return;
    const QRect room = label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(), -label->margin());
    if (text.contains(QChar(0x2026)) && !MayElide(label))
        faults << QStringLiteral("text shortened: %1").arg(Path(label, root));
    if (label->wordWrap()) {
        if (label->heightForWidth(label->width()) > label->height() + kSlack)
            faults << QStringLiteral("wrapped text taller than its label (%1 > %2): %3")
                          .arg(label->heightForWidth(label->width()))
                          .arg(label->height())
                          .arg(Path(label, root));
        return;
    }
    const int need = TextWidth(label, text) + std::max(0, label->indent());
    const int lines = static_cast<int>(text.count(QLatin1Char('\n'))) + 1;
    const int height = lines * label->fontMetrics().height();
    if (need > room.width() + kSlack)
        faults << QStringLiteral("text wider than its label (%1 > %2): %3").arg(need).arg(room.width()).arg(Path(label, root));
    else if (height > room.height() + kSlack)
        faults << QStringLiteral("text taller than its label (%1 > %2): %3").arg(height).arg(room.height()).arg(Path(label, root));
}

void CheckButtonText(const QAbstractButton* button, const QWidget& root, QStringList& faults)
{
    const QString text = PlainText(button->text());
    if (text.isEmpty())
        return;
    int need = TextWidth(button, text);
    QRect room;
    if (const auto* push = qobject_cast<const QPushButton*>(button)) {
        QStyleOptionButton option;
        option.initFrom(push);
        option.text = push->text();
        option.icon = push->icon();
        option.iconSize = push->iconSize();
        if (push->isFlat())
            option.features |= QStyleOptionButton::Flat;
        if (push->menu() != nullptr)
            option.features |= QStyleOptionButton::HasMenu;
        room = push->style()->subElementRect(QStyle::SE_PushButtonContents, &option, push);
        if (!push->icon().isNull())
            need += push->iconSize().width() + 4;
    } else if (qobject_cast<const QCheckBox*>(button) != nullptr || qobject_cast<const QRadioButton*>(button) != nullptr) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const bool radio = qobject_cast<const QRadioButton*>(button) != nullptr;
        room = button->style()->subElementRect(radio ? QStyle::SE_RadioButtonContents : QStyle::SE_CheckBoxContents,
                                               &option, button);
    } else if (const auto* tool = qobject_cast<const QToolButton*>(button)) {
        if (tool->sizeHint().width() > tool->width() + kSlack)
            faults << QStringLiteral("text wider than its button (%1 > %2): %3")
                          .arg(tool->sizeHint().width())
                          .arg(tool->width())
                          .arg(Path(tool, root));
        return;
    } else {
        return;
    }
    if (need > room.width() + kSlack)
        faults << QStringLiteral("text wider than its button (%1 > %2): %3").arg(need).arg(room.width()).arg(Path(button, root));
}

void CheckButtonIcon(const QAbstractButton* button, const QWidget& root, QStringList& faults)
{
    const QString text = PlainText(button->text());
    const QString name = text.isEmpty() ? button->toolTip() : text;
    const bool hasIcon = !button->icon().isNull() && !button->icon().pixmap(QSize(16, 16)).isNull();
    if (hasIcon)
        return;
    if (qobject_cast<const QPushButton*>(button) != nullptr && text.isEmpty() && button->objectName().isEmpty() &&
        button->styleSheet().isEmpty()) {
        // Unnamed and unstyled: nothing at all is drawn on it. (Named buttons draw from the style sheet.)
        faults << QStringLiteral("button without text or icon: %1").arg(Path(button, root));
        return;
    }
    // A named button without text draws its picture from the style sheet (the title bars' buttons);
    // the list names the program's own buttons, not those of Qt's dialogs.
    if ((text.isEmpty() && !button->objectName().isEmpty()) ||
        !QByteArray(button->metaObject()->className()).startsWith("lumo::"))
        return;
    if (ButtonsWithIcons().contains(name))
        faults << QStringLiteral("button without its icon: %1").arg(Path(button, root));
}

void CheckTabs(const QTabBar* bar, const QWidget& root, QStringList& faults)
{
    for (int index = 0; index < bar->count(); ++index) {
        const QRect tab = bar->tabRect(index);
        const QString text = PlainText(bar->tabText(index));
        if (!bar->rect().contains(tab))
            faults << QStringLiteral("tab \"%1\" %2 outside its bar %3: %4").arg(text, Rect(tab), Rect(bar->rect()), Path(bar, root));
        else if (TextWidth(bar, text) > tab.width() + kSlack)
            faults << QStringLiteral("tab text \"%1\" wider than its tab: %2").arg(text, Path(bar, root));
    }
}

void CheckCombo(const QComboBox* combo, const QWidget& root, QStringList& faults)
{
    if (combo->isEditable() || combo->currentText().isEmpty())
        return;
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = false;
    option.currentText = combo->currentText();
    option.currentIcon = combo->itemIcon(combo->currentIndex());
    option.iconSize = combo->iconSize();
    const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
    int need = TextWidth(combo, combo->currentText());
    if (!option.currentIcon.isNull())
        need += combo->iconSize().width() + 4;
    if (need > field.width() + kSlack)
        faults << QStringLiteral("entry \"%1\" wider than its box (%2 > %3): %4")
                      .arg(combo->currentText())
                      .arg(need)
                      .arg(field.width())
                      .arg(Path(combo, root));
}

// A collapsible panel asks for the height its content needs; more shows as a blank band.
void CheckPanelHeight(const Container* panel, const QWidget& root, QStringList& faults)
{
    const int asked = panel->hasHeightForWidth() ? panel->heightForWidth(panel->width()) : panel->sizeHint().height();
    const int wanted = std::max(asked, panel->minimumHeight());
    if (panel->height() > wanted + kSlack)
        faults << QStringLiteral("panel taller than its content (%1 > %2): %3").arg(panel->height()).arg(wanted).arg(Path(panel, root));
}

// Widgets that are meant to lie over others, or that Qt places itself.
bool OverlapAllowed(const QWidget* widget)
{
    return qobject_cast<const QRubberBand*>(widget) != nullptr || qobject_cast<const QFocusFrame*>(widget) != nullptr ||
           qobject_cast<const QMenu*>(widget) != nullptr || qobject_cast<const QSizeGrip*>(widget) != nullptr;
}

void CheckChildren(const QWidget* parent, const QWidget& root, QStringList& faults)
{
    QList<const QWidget*> shown;
    for (const QObject* object : parent->children()) {
        const auto* child = qobject_cast<const QWidget*>(object);
        if (child == nullptr || child->isWindow() || !child->isVisible() || child->size().isEmpty())
            continue;
        shown.append(child);
    }
    for (const QWidget* child : shown) {
        if (!IsScrollViewport(parent) && !parent->rect().contains(child->geometry()) && !OverlapAllowed(child))
            faults << QStringLiteral("child %1 outside its parent %2: %3")
                          .arg(Rect(child->geometry()), Rect(parent->rect()), Path(child, root));
    }
    // Bars laid over a scroll area's viewport are meant to be there: the area keeps its content
    // clear of them (the canvas view's check below).
    const auto* area = qobject_cast<const QAbstractScrollArea*>(parent);
    const auto overlay = [area](const QWidget* a, const QWidget* b) {
        return area != nullptr && (a == area->viewport() || b == area->viewport());
    };
    for (int i = 0; i < shown.size(); ++i) {
        if (OverlapAllowed(shown[i]))
            continue;
        for (int j = i + 1; j < shown.size(); ++j) {
            if (!OverlapAllowed(shown[j]) && !overlay(shown[i], shown[j]) &&
                shown[i]->geometry().intersects(shown[j]->geometry()))
                faults << QStringLiteral("siblings overlap %1 %2: %3 and %4")
                              .arg(Rect(shown[i]->geometry()), Rect(shown[j]->geometry()), Path(shown[i], root),
                                   Describe(shown[j]));
        }
    }
}

// The canvas frame and the back of a card lie in the view's free area: inside the viewport and
// clear of every other widget of the window drawn over the view.
void CheckCanvasView(const CanvasView* view, const QWidget& root, QStringList& faults)
{
    const QGraphicsScene* scene = view->scene();
    if (scene == nullptr)
        return;
    const QWidget* viewport = view->viewport();
    const QWidget* window = view->window();
    QList<QRect> covers;
    for (const QWidget* other : window->findChildren<const QWidget*>()) {
        if (!other->isVisible() || other == view || view->isAncestorOf(other) || other->isAncestorOf(view) ||
            other->parentWidget() == nullptr || other->parentWidget()->isAncestorOf(view) == false)
            continue;
        // Siblings of the view or of one of its ancestors that are drawn over it.
        const QRect over(viewport->mapFrom(window, other->mapTo(window, QPoint(0, 0))), other->size());
        if (over.intersects(viewport->rect()))
            covers.append(over);
    }
    for (const QGraphicsItem* item : scene->items()) {
        if (item->type() != CanvasItemOutline || !item->isVisible())
            continue;
        const auto* outline = static_cast<const CanvasOutlineGraphicsItem*>(item);
        const QList<std::pair<QString, QRect>> frames = {{QStringLiteral("canvas"), CanvasRectInWorkspace()},
                                                          {QStringLiteral("back of card"), outline->BackOfCardRect()}};
        for (const auto& [name, sceneRect] : frames) {
            if (sceneRect.isNull())
                continue;
            const QRect shown = view->mapFromScene(QRectF(sceneRect)).boundingRect();
            if (!viewport->rect().contains(shown))
                faults << QStringLiteral("%1 %2 outside the view %3: %4").arg(name, Rect(shown), Rect(viewport->rect()), Path(view, root));
            for (const QRect& cover : covers)
                if (cover.intersects(shown))
                    faults << QStringLiteral("%1 %2 under a widget at %3: %4").arg(name, Rect(shown), Rect(cover), Path(view, root));
        }
        const QRect back = outline->BackOfCardRect();
        if (!back.isNull()) {
            const QFontMetrics metrics(CanvasOutlineGraphicsItem::BackOfCardFont());
            const int need = metrics.horizontalAdvance(CanvasOutlineGraphicsItem::BackOfCardText());
            const int room = view->mapFromScene(QRectF(back)).boundingRect().width();
            if (need > room)
                faults << QStringLiteral("\"Back of card\" wider than the back (%1 > %2): %3").arg(need).arg(room).arg(Path(view, root));
        }
    }
}

void CheckWidget(const QWidget* widget, const QWidget& root, QStringList& faults)
{
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        CheckLabel(label, root, faults);
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        CheckButtonText(button, root, faults);
        CheckButtonIcon(button, root, faults);
    }
    if (const auto* bar = qobject_cast<const QTabBar*>(widget))
        CheckTabs(bar, root, faults);
    if (const auto* combo = qobject_cast<const QComboBox*>(widget))
        CheckCombo(combo, root, faults);
    if (const auto* panel = qobject_cast<const Container*>(widget))
        CheckPanelHeight(panel, root, faults);
    if (const auto* view = qobject_cast<const CanvasView*>(widget))
        CheckCanvasView(view, root, faults);
    CheckChildren(widget, root, faults);
    for (const QObject* object : widget->children()) {
        const auto* child = qobject_cast<const QWidget*>(object);
        if (child != nullptr && !child->isWindow() && child->isVisible())
            CheckWidget(child, root, faults);
    }
}

} // namespace

const QStringList& ButtonsWithIcons()
{
    static const QStringList buttons = {
        // The canvas actions bar, by tooltip.
        QStringLiteral("New Project"), QStringLiteral("Open Project"), QStringLiteral("Save Project"),
        QStringLiteral("Print"), QStringLiteral("Canvas Export"), QStringLiteral("Fit To Window"),
        QStringLiteral("Matte View"), QStringLiteral("Help"),
        // The dials' quarter turns, by tooltip.
        QStringLiteral("Rotate 90 degrees anticlockwise"), QStringLiteral("Rotate 90 degrees clockwise"),
        // The vignette's presets.
        QStringLiteral("Light"), QStringLiteral("Normal"), QStringLiteral("Bold"),
        // Import boxes, layers, masks and text.
        QStringLiteral("Add"), QStringLiteral("Change"), QStringLiteral("Remove"), QStringLiteral("Add Layer"),
        QStringLiteral("Remove Layer"), QStringLiteral("Add Mask"), QStringLiteral("Remove Mask"),
        QStringLiteral("Add Text"), QStringLiteral("Remove Text"), QStringLiteral("Create"), QStringLiteral("Select"),
        QStringLiteral("Make all selected handles straight"), QStringLiteral("Make all selected handles curved"),
        // Flips and resets of the position, overlay, layer and canvas size panels and the lists.
        QStringLiteral("Flip Horizontal"), QStringLiteral("Flip Vertical"), QStringLiteral("Reset"),
        QStringLiteral("Portrait"), QStringLiteral("Landscape"), QStringLiteral("Export"),
    };
    return buttons;
}

QStringList LayoutFaults(const QWidget& root)
{
    QStringList faults;
    CheckWidget(&root, root, faults);
    return faults;
}

void ExpectSoundLayout(const QWidget& root, const QString& what)
{
    for (const QString& fault : LayoutFaults(root))
        ADD_FAILURE() << what.toStdString() << ": " << fault.toStdString();
}

} // namespace lumo::ui::testing
