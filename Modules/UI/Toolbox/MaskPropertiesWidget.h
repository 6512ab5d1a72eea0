#pragma once

#include "Shell/MetaTypes.h"

#include "Mask.h"

#include <hvn/image/HXTypes.h>

#include <QUuid>
#include <QWidget>

namespace lumo::ui {

class ButtonDefault;
class CheckBox;
class ComboBox;
class Container;
class MaskShapeGraphicsItem;
class SpinSlider;

// The properties of the mask selected in the masks panel: whether it removes or retains alpha,
// its feather, whether it is inverted and whether its outline is closed. Every change is written
// into the mask and the masked foreground redrawn; the outline on the canvas shows the feather,
// type and inversion at once. The canvas tells the panel when the outline was closed or opened
// and whether it can be (two Application signals, arriving inside the canvas calls).
class MaskPropertiesWidget : public QWidget {
    Q_OBJECT

public:
    explicit MaskPropertiesWidget(QWidget* parent);
    ~MaskPropertiesWidget() override;

    // Shows the mask (and the panel, when show is set). The type and Invert are set with their
    // signals on: a mask that differs from the one shown before stores its own value and is
    // redrawn through their slots.
    void SetCurrentMask(const QUuid& id, bool show);
    const QUuid& MaskId() const { return m_maskId; }
    // Forgets the mask shown (the masks panel cleared its table).
    void ClearMask() { m_maskId = QUuid(); }
    // The masks panel renamed a mask: the title follows when it is the one shown.
    void SetMaskName(const QUuid& id, const QString& name);
    void UpdateTitle();

    Container* GetContainer() const { return m_container; }
    ComboBox* TypeCombo() const { return m_type; }
    SpinSlider* FeatherControl() const { return m_feather; }
    CheckBox* InvertCheckBox() const { return m_invert; }
    ButtonDefault* CloseButton() const { return m_close; }

public slots:
    void SlotUpdateMaskKeepRemove(int index);
    void SlotUpdateMaskFeather(int value, hvn::image::HXDownsampleFactor factor);
    void SlotUpdateMaskInvert(int state);
    void SlotUpdateMaskClose();
    void SlotMaskDragDropClosed(bool closed);
    void SlotMaskEnableClosed(bool enable);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // The mask shown; null without one or when the list no longer holds it.
    app::MaskPtr CurrentMask() const;
    // The outline on the canvas when it shows this panel's mask; null otherwise.
    MaskShapeGraphicsItem* ShownOutline() const;
    // The button names the action it performs next; Invert is offered for a closed mask only.
    void ShowClosed(bool closed);
    // Writes the mask closed or opened (which clears its inversion) and shows it.
    void ShowMaskClosed(app::Mask& mask, bool closed);

    QUuid m_maskId;
    QString m_maskName;
    // Set while the close button closes or opens the outline, which tells this panel again.
    bool m_closing = false;
    Container* m_container = nullptr;
    ComboBox* m_type = nullptr;
    SpinSlider* m_feather = nullptr;
    CheckBox* m_invert = nullptr;
    ButtonDefault* m_close = nullptr;
};

} // namespace lumo::ui
