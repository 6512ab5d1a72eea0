#pragma once

#include "Shell/MetaTypes.h"

#include <hvn/image/HXTypes.h>

#include <QFrame>

class QAction;
class QPushButton;

namespace lumo::ui {

class ButtonToolBar;
class SpinSlider;

// The bar of canvas actions along the top of the canvas view: the project buttons (connected to
// the main window's slots), the canvas export, the zoom, fit to window, matte view and help. It
// zooms the canvas itself and tells the main window when the zoom changed or a fit is wanted. Its
// height is the canvas's top reserve, which it gives the Application when it is built.
class CanvasActionsWidget : public QFrame {
    Q_OBJECT

public:
    // The main window's New, Open, Save, Print and Help connect to every top-level main window
    // there is; without one the buttons do nothing.
    explicit CanvasActionsWidget(QWidget* parent = nullptr);
    ~CanvasActionsWidget() override;

    // For a new or reloaded project: shows its zoom, switches matte view off and offers it only in
    // the import, key and masks toolsets, and shows the text items.
    void UpdateFromProject();
    // Switches matte view off when it is on.
    void ResetMatteView();
    // Offers matte view or not (the main window follows the toolset); when it is no longer
    // offered it is switched off.
    void SetMatteViewEnabled(bool enabled);

    // The parts, for the main window and tests.
    SpinSlider* ZoomControl() const { return m_zoom; }
    QPushButton* MatteViewButton() const;
    // The button with that tool tip ("New Project", "Canvas Export", ...); null when none.
    QPushButton* Button(const QString& toolTip) const;
    // The height of the bar's layout when it was built.
    int LayoutHeight() const { return m_layoutHeight; }

signals:
    void SignalFocusButtonClicked();
    void SignalCanvasZoomChanged();

public slots:
    // Shows scale x 100, truncated, without announcing a change.
    void SlotUpdateZoomSlider(float scale);
    // Zooms the canvas to value percent: a preview while the slider is dragged (factor 3), in
    // full otherwise.
    void SlotZoomSliderChanged(int value, hvn::image::HXDownsampleFactor downsample);
    // 5 percent more or less, within 1 to 400.
    void SlotZoomIn();
    void SlotZoomOut();
    void SlotFitToWindowButtonClicked();
    // As a click on the matte view button, while it is offered.
    void SlotToggleMatteViewButton();
    void SlotMatteViewButtonClicked();

private:
    // Shows the zoom and zooms to it in full.
    void ZoomTo(int percent);
    void ShowMatteViewState(bool on);

    SpinSlider* m_zoom = nullptr;
    ButtonToolBar* m_matteView = nullptr;
    int m_layoutHeight = 0;
};

} // namespace lumo::ui
