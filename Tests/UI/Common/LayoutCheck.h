#pragma once

// One check of how a page, a panel or a dialog is laid out, over every visible widget below a
// root: what a person would see as broken in a grab.
// - Text that does not fit: a label, a button, a check box, a tab or a combo box whose text is
//   wider (or, wrapped, taller) than the room it has, or a label shortened with an ellipsis where
//   the program does not shorten names by design.
// - A child that reaches outside its parent, unless the parent is the viewport of a scroll area.
// - Two visible siblings over each other.
// - A collapsible panel taller than its content asks for: a blank band in the panel.
// - A button the program draws with an icon that has none, and a button with neither text nor icon.
// - In a canvas view: the canvas frame, or the back of a card beside it, outside the view's free
//   area (off the view or under the bars over it), or the back's label wider than the back.

#include <QString>
#include <QStringList>

class QWidget;

namespace lumo::ui::testing {

// The faults below root, one line each, naming the widget by its path of classes, object names and
// texts. Root itself must be visible (shown, or inside a shown window).
QStringList LayoutFaults(const QWidget& root);

// Adds one test failure per fault, each under what.
void ExpectSoundLayout(const QWidget& root, const QString& what);

// The buttons that are drawn with an icon, by text (or, without text, by tooltip).
const QStringList& ButtonsWithIcons();

} // namespace lumo::ui::testing
