#pragma once

#include <QFrame>

class QSpinBox;
class QToolButton;

namespace lumo::ui {

// The bar of canvas actions along the top of the canvas view: the project buttons (connected to
// the main window's slots), the canvas export, the zoom, fit to window, matte view and help. Its
// height is the canvas's top reserve, which it gives the Application when it is built.
class CanvasActionsWidget : public QFrame {
    Q_OBJECT

public:
    explicit CanvasActionsWidget(QWidget* parent = nullptr);
    ~CanvasActionsWidget() override;

    // Shows the project's zoom, switches matte view off and enables it only in the import, key and
    // masks toolsets.
    void UpdateFromProject();
    // Switches matte view off when it is on.
    void ResetMatteView();
    // Offers matte view or not; when it is no longer offered it is switched off.
    void SetMatteViewEnabled(bool enabled);

signals:
    void SignalFocusButtonClicked();
    void SignalCanvasZoomChanged();

public slots:
    // Shows zoom x 100, truncated, without announcing a change.
    void SlotUpdateZoomSlider(float zoom);

private:
    void ApplyMatteView(bool on);

    QToolButton* m_matteView = nullptr;
    QSpinBox* m_zoom = nullptr;
};

} // namespace lumo::ui
