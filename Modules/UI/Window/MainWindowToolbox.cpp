// The main window and its floating toolbox: where the toolbox goes when it is undocked, when it
// comes back floating at the next start, and when the window or the toolset bar moves under it.

#include "Window/MainWindow.h"
#include "Window/MainWindowPrivate.h"

#include "Canvas/CanvasView.h"
#include "Toolbox/ToolboxDockWidget.h"
#include "Toolbox/ToolsetWidget.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <algorithm>

namespace lumo::ui {

namespace {

// Between the toolbox and the toolset bar.
constexpr int kToolboxGap = 8;

// The toolbox's place beside the bar, on the canvas's side of it, inside the screen's free area; on
// the bar's other side when there is no room, and only where neither side has room, over it.
QRect PlaceBesideBar(QSize size, const QRect& bar, bool barOnRight, const QRect& area)
{
    size = size.boundedTo(area.size());
    const int inside = barOnRight ? bar.left() - kToolboxGap - size.width() : bar.right() + 1 + kToolboxGap;
    const int outside = barOnRight ? bar.right() + 1 + kToolboxGap : bar.left() - kToolboxGap - size.width();
    const auto fits = [&](int x) { return x >= area.left() && x + size.width() <= area.right() + 1; };
    int x = fits(inside) ? inside : fits(outside) ? outside : inside;
    x = std::clamp(x, area.left(), area.right() + 1 - size.width());
    const int y = std::clamp(bar.top(), area.top(), area.bottom() + 1 - size.height());
    return {QPoint(x, y), size};
}

} // namespace

void MainWindow::ConnectFloatingToolbox()
{
    // Restored floating before the window exists, the toolbox would show first and end up behind
    // it: it waits for the window (ShowRestoredFloatingToolbox).
    if (d->dock->isFloating())
        d->dock->hide();
    connect(d->dock, &QDockWidget::topLevelChanged, this, [this](bool floating) {
        // Undocked by the menu or the dock's button, it leaves the place where the bar will be; dragged
        // out by its title, it stays where it is dropped.
        if (floating && QGuiApplication::mouseButtons() == Qt::NoButton)
            ScheduleFloatingToolboxCheck(true);
    });
}

void MainWindow::ShowRestoredFloatingToolbox()
{
    if (!d->dock->isFloating() || !d->dock->isHidden())
        return;
    QTimer::singleShot(0, this, [this] {
        if (!isVisible() || !d->dock->isFloating() || !d->dock->isHidden())
            return;
        // Above the window for good: the window manager keeps a window over the one it belongs to.
        d->dock->winId();
        if (QWindow* handle = d->dock->windowHandle(); handle != nullptr && windowHandle() != nullptr)
            handle->setTransientParent(windowHandle());
        d->dock->show();
        d->dock->raise();
        KeepFloatingToolboxClear(false);
    });
}

void MainWindow::ScheduleFloatingToolboxCheck(bool besideBar)
{
    d->toolboxBesideBar = d->toolboxBesideBar || besideBar;
    if (d->toolboxCheckQueued)
        return;
    d->toolboxCheckQueued = true;
    QTimer::singleShot(0, this, [this] {
        const bool beside = d->toolboxBesideBar;
        d->toolboxCheckQueued = false;
        d->toolboxBesideBar = false;
        KeepFloatingToolboxClear(beside);
    });
}

void MainWindow::KeepFloatingToolboxClear(bool besideBar)
{
    if (!isVisible() || !d->dock->isFloating() || !d->dock->isVisible())
        return;
    // The bar stands where the layout puts it once the dock's place is given back to the canvas.
    if (layout() != nullptr)
        layout()->activate();
    if (d->view->layout() != nullptr)
        d->view->layout()->activate();
    const QScreen* screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect area = screen->availableGeometry();
    const QRect bar(d->toolset->mapToGlobal(QPoint(0, 0)), d->toolset->size());
    const QRect place = d->dock->frameGeometry();
    if (!besideBar && area.contains(place) && !place.intersects(bar))
        return;
    const app::ProjectPtr project = CurrentProject();
    const bool barOnRight = !project || project->ToolsetPosition() != app::ToolsetPositionLeft;
    const QRect beside = PlaceBesideBar(place.size(), bar, barOnRight, area);
    // The frame of the floating toolbox is its own title; a frame the window manager adds is kept.
    const QMargins frame(d->dock->geometry().left() - place.left(), d->dock->geometry().top() - place.top(),
                         place.right() - d->dock->geometry().right(), place.bottom() - d->dock->geometry().bottom());
    d->dock->setGeometry(beside.marginsRemoved(frame));
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    ShowRestoredFloatingToolbox();
}

void MainWindow::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    if (d->dock->isFloating())
        ScheduleFloatingToolboxCheck();
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (d->dock->isFloating())
        ScheduleFloatingToolboxCheck();
}

} // namespace lumo::ui
