#pragma once

// Acting on a modal dialog once it shows, from the event loop it runs, as a user would.

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

namespace lumo::ui::testing {

// Runs act on the modal widget as soon as one is shown.
inline void WhenModalShows(std::function<void(QWidget*)> act)
{
    auto* timer = new QTimer(qApp);
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act = std::move(act)] {
        if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        }
    });
    timer->start();
}

// The same for a dialog of a known class; another modal widget fails the test and is closed.
template <typename Dialog>
void WhenDialogShows(std::function<void(Dialog*)> act)
{
    WhenModalShows([act = std::move(act)](QWidget* modal) {
        auto* dialog = qobject_cast<Dialog*>(modal);
        if (dialog == nullptr) {
            ADD_FAILURE() << "the modal widget is a " << modal->metaObject()->className() << ", not the dialog expected";
            modal->close();
            return;
        }
        act(dialog);
    });
}

} // namespace lumo::ui::testing
