#pragma once

// A mouse wheel turned over a widget as the window system delivers it: marked spontaneous, so that
// Qt gives the focus by the widgets' policies and passes an ignored event on to the parents (a
// scroll area around).

#include <QApplication>
#include <QSpontaneKeyEvent>
#include <QWheelEvent>
#include <QWidget>

namespace lumo::ui::testing {

// notches > 0 turns away from the user (up); 120 units a notch.
inline void TurnWheel(QWidget* target, int notches = 1, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const QPointF at = QRectF(target->rect()).center();
    QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    // Straight to notify, as QTest sends its input: sendEvent would clear the mark.
    QSpontaneKeyEvent::setSpontaneous(&event);
    qApp->notify(target, &event);
}

} // namespace lumo::ui::testing
