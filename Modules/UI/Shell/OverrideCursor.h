#pragma once

// The override cursor around long operations and before messages.

#include <QApplication>
#include <QCursor>

namespace lumo::ui {

// Restores one override cursor, as a message does before it shows over a busy cursor the caller
// set; nothing when none is set.
inline void RestoreOverrideCursor()
{
    if (QApplication::overrideCursor() != nullptr)
        QApplication::restoreOverrideCursor();
}

// Shows the wait cursor while it lives; restored on every way out.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace lumo::ui
