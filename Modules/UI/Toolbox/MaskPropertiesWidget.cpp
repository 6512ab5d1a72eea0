#include "Toolbox/MaskPropertiesWidget.h"

#include "Canvas/CanvasView.h"
#include "Canvas/MaskGraphicsItems.h"
#include "Controls/Buttons.h"
#include "Controls/Container.h"
#include "Controls/SmallWidgets.h"
#include "Controls/ValueControls.h"
#include "Shell/Application.h"
#include "Toolbox/PanelSupport.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace lumo::ui {

using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;

namespace {

constexpr int kSpacing = 10;
constexpr int kMaximumFeather = 200;
// What the title leaves beside the name and " Properties" (the bar's margins and spacing).
constexpr int kTitleReserve = 21;

} // namespace

MaskPropertiesWidget::MaskPropertiesWidget(QWidget* parent) : QWidget(parent)
{
    m_container = new Container(QString(), 0, this);
    m_type = new ComboBox(m_container->Body());
    m_type->addItem(tr("Remove Alpha"));
    m_type->addItem(tr("Retain Alpha"));
    m_type->setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::Minimum);
    m_feather = new SpinSlider(0, 0, kMaximumFeather, m_container->Body());
    m_invert = new CheckBox(tr("Invert"), m_container->Body());
    m_invert->setEnabled(false);
    m_close = new ButtonDefault(tr("Close Mask"), m_container->Body());
    m_close->setEnabled(false);

    auto* grid = new QGridLayout();
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(kSpacing);
    grid->setVerticalSpacing(kSpacing);
    grid->addWidget(new ToolboxLabel(tr("Type"), m_container->Body()), 0, 0);
    grid->addWidget(m_type, 0, 1);
    grid->addWidget(new ToolboxLabel(tr("Feather"), m_container->Body()), 1, 0);
    grid->addWidget(m_feather, 1, 1);
    auto* buttons = new QHBoxLayout();
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(0);
    buttons->addStretch();
    buttons->addWidget(m_invert);
    buttons->addStretch();
    buttons->addWidget(m_close);
    buttons->addStretch();
    auto* body = new QVBoxLayout(m_container->Body());
    body->setContentsMargins(kSpacing, kSpacing, kSpacing, kSpacing);
    body->setSpacing(kSpacing);
    body->addLayout(grid);
    body->addLayout(buttons);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_container);

    connect(m_type, &QComboBox::currentIndexChanged, this, &MaskPropertiesWidget::SlotUpdateMaskKeepRemove);
    connect(m_feather, &SpinSlider::SliderUpdate, this, &MaskPropertiesWidget::SlotUpdateMaskFeather);
    connect(m_invert, &QCheckBox::stateChanged, this, &MaskPropertiesWidget::SlotUpdateMaskInvert);
    connect(m_close, &QPushButton::clicked, this, &MaskPropertiesWidget::SlotUpdateMaskClose);
    // Direct connections: the slots run inside the canvas calls that emit them.
    if (Application* app = Application::Instance()) {
        connect(app, &Application::SignalMaskDragDropClosed, this, &MaskPropertiesWidget::SlotMaskDragDropClosed,
                Qt::DirectConnection);
        connect(app, &Application::SignalMaskEnableClosed, this, &MaskPropertiesWidget::SlotMaskEnableClosed,
                Qt::DirectConnection);
    }
}

MaskPropertiesWidget::~MaskPropertiesWidget() = default;

app::MaskPtr MaskPropertiesWidget::CurrentMask() const
{
    return FindInList(CurrentMaskList(), m_maskId);
}

MaskShapeGraphicsItem* MaskPropertiesWidget::ShownOutline() const
{
    const CanvasView* view = CurrentCanvasView();
    MaskShapeGraphicsItem* outline = view != nullptr ? view->MaskShape() : nullptr;
    // Another mask's outline (shown before this panel's mask is) must keep its own values.
    return outline != nullptr && outline->MaskId() == m_maskId ? outline : nullptr;
}

void MaskPropertiesWidget::SetCurrentMask(const QUuid& id, bool show)
{
    if (isHidden() && show)
        this->show();
    m_maskId = id;
    const app::MaskPtr mask = CurrentMask();
    if (!mask)
        return;
    m_maskName = mask->MaskName();
    UpdateTitle();
    m_feather->SetValue(mask->Feather());
    m_type->setCurrentIndex(mask->IsRemove() ? 0 : 1);
    m_invert->setChecked(mask->IsInverted());
    ShowClosed(mask->IsClosed());
}

void MaskPropertiesWidget::SetMaskName(const QUuid& id, const QString& name)
{
    if (id != m_maskId)
        return;
    m_maskName = name;
    UpdateTitle();
}

void MaskPropertiesWidget::UpdateTitle()
{
    if (QLabel* label = m_container->Title()->TitleLabel())
        SetPropertiesTitle(*label, m_maskName, width(), kTitleReserve);
}

void MaskPropertiesWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    UpdateTitle();
}

void MaskPropertiesWidget::ShowClosed(bool closed)
{
    m_close->setText(closed ? tr("Open Mask") : tr("Close Mask"));
    m_invert->setEnabled(closed);
}

void MaskPropertiesWidget::SlotUpdateMaskKeepRemove(int index)
{
    const app::MaskPtr mask = CurrentMask();
    if (!mask)
        return;
    const bool remove = index == 0;
    if (MaskShapeGraphicsItem* outline = ShownOutline()) {
        outline->SetRemove(remove);
        outline->update();
    }
    mask->SetRemove(remove);
    RequestMaskRefresh(m_maskId);
}

void MaskPropertiesWidget::SlotUpdateMaskInvert(int state)
{
    const app::MaskPtr mask = CurrentMask();
    if (!mask)
        return;
    const bool inverted = state == Qt::Checked;
    if (MaskShapeGraphicsItem* outline = ShownOutline())
        outline->SetInverted(inverted);
    mask->SetInverted(inverted);
    RequestMaskRefresh(m_maskId);
}

void MaskPropertiesWidget::SlotUpdateMaskFeather(int value, HXDownsampleFactor factor)
{
    const app::MaskPtr mask = CurrentMask();
    if (!mask)
        return;
    mask->SetFeather(value);
    if (MaskShapeGraphicsItem* outline = ShownOutline(); outline != nullptr && value >= 0)
        outline->SetFeather(value);
    // While the slider is dragged only the outline follows; the release renders.
    if (factor == HXDownsampleFactor0)
        RequestMaskRefresh(m_maskId);
}

void MaskPropertiesWidget::SlotUpdateMaskClose()
{
    const app::MaskPtr mask = CurrentMask();
    if (!mask)
        return;
    const bool close = !mask->IsClosed();
    // Closing or opening the outline tells this panel (SlotMaskDragDropClosed) before the outline
    // is written back; the one redraw follows here.
    if (MaskShapeGraphicsItem* outline = ShownOutline()) {
        m_closing = true;
        outline->SetClosed(true, close);
        m_closing = false;
        if (CanvasView* view = CurrentCanvasView())
            view->StoreMaskHandles();
    }
    ShowMaskClosed(*mask, close);
    RequestMaskRefresh(m_maskId);
}

void MaskPropertiesWidget::SlotMaskDragDropClosed(bool closed)
{
    const app::MaskPtr mask = CurrentMask();
    if (!mask)
        return;
    // Showing a closed mask tells this too: then nothing changes and nothing is redrawn.
    const bool changes = mask->IsClosed() != closed || (!closed && mask->IsInverted());
    ShowMaskClosed(*mask, closed);
    if (changes && !m_closing)
        RequestMaskRefresh(m_maskId);
}

void MaskPropertiesWidget::ShowMaskClosed(app::Mask& mask, bool closed)
{
    mask.SetClosed(closed);
    if (!closed) {
        // An open outline has no inside to invert. Invert's own slot would redraw once more.
        mask.SetInverted(false);
        if (MaskShapeGraphicsItem* outline = ShownOutline())
            outline->SetInverted(false);
        const QSignalBlocker blocker(m_invert);
        m_invert->setChecked(false);
    }
    ShowClosed(closed);
}

void MaskPropertiesWidget::SlotMaskEnableClosed(bool enable)
{
    m_close->setEnabled(enable);
}

} // namespace lumo::ui
