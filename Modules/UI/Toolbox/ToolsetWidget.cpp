#include "Toolbox/ToolsetWidget.h"

#include "Canvas/CanvasView.h"
#include "Shell/Application.h"
#include "Shell/Identity.h"
#include "Shell/Settings.h"

#include "Project.h"

#include <QAction>
#include <QApplication>
#include <QEnterEvent>
#include <QHBoxLayout>
#include <QMainWindow>
#include <QPainter>
#include <QStyleOptionButton>
#include <QVBoxLayout>

#include <array>

namespace lumo::ui {

namespace {

constexpr int kReserveMargin = 4;
constexpr int kSectionCount = 11;
constexpr int kButtonHeight = 30;
constexpr int kSlideSide = 16;
const QString kWindowGroup = QStringLiteral("MainWindow");

struct SectionButton {
    const char* label;
    const char* icon;
};

// In section order.
constexpr std::array<SectionButton, kSectionCount> kSectionButtons = {{
    {QT_TRANSLATE_NOOP("lumo::ui::ToolsetWidget", "Canvas"), ":/Toolset/SectionCanvasSize.png"},
    {QT_TRANSLATE_NOOP("lumo::ui::ToolsetWidget", "Import"), ":/Toolset/SectionImport.png"},
    {QT_TRANSLATE_NOOP("lumo::ui::ToolsetWidget", "Key"), ":/Toolset/SectionKey.png"},
    {QT_TRANSLATE_NOOP("lumo::ui::ToolsetWidget", "Masks"), ":/Toolset/SectionMask.png"},
    {QT_TRANSLATE_NOOP("lumo::ui::ToolsetWidget", "Filters"), ":/Toolset/SectionFilters.png"},
    {QT_TRANSLATE_NOOP("lumo::ui::ToolsetWidget", "Position"), ":/Toolset/SectionPosition.png"},
    {QT_TRANSLATE_NOOP("lumo::ui::ToolsetWidget", "Layers"), ":/Toolset/SectionLayers.png"},
    {QT_TRANSLATE_NOOP("lumo::ui::ToolsetWidget", "Effects"), ":/Toolset/SectionEffects.png"},
    {QT_TRANSLATE_NOOP("lumo::ui::ToolsetWidget", "Overlay"), ":/Toolset/SectionOverlay.png"},
    {QT_TRANSLATE_NOOP("lumo::ui::ToolsetWidget", "Text"), ":/Toolset/SectionText.png"},
    {QT_TRANSLATE_NOOP("lumo::ui::ToolsetWidget", "Export"), ":/Toolset/SectionExport.png"},
}};

QFont BarFont()
{
    QFont font(DefaultFontFamily, 8, QFont::Bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

app::ProjectPtr CurrentProject()
{
    const Application* app = Application::Instance();
    return app != nullptr ? app->GetDocument()->GetProject() : nullptr;
}

// The side and state as stored; a value that is neither 0 nor 1 is the default.
int ReadToolsetSetting(const QString& key, int defaultValue)
{
    ProgramSettings settings;
    settings.beginGroup(kWindowGroup);
    return ReadIntSetting(settings, key, 0, 1).value_or(defaultValue);
}

// The program's one main window; found by its Qt class so the bar does not depend on the window
// that holds it.
QMainWindow* FindMainWindow(QWidget* widget)
{
    if (auto* window = qobject_cast<QMainWindow*>(widget != nullptr ? widget->window() : nullptr))
        return window;
    for (QWidget* topLevel : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<QMainWindow*>(topLevel))
            return window;
    return nullptr;
}

} // namespace

// ---- ToolsetTooltip

ToolsetTooltip::ToolsetTooltip(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    setFont(BarFont());
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedSize(QFontMetrics(font()).horizontalAdvance(text) + 20, 30);
}

void ToolsetTooltip::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(255, 255, 255, 45));
    painter.setBrush(QColor(0, 0, 0, 128));
    const QRect r = rect();
    painter.drawRoundedRect(QRectF(r.left() + 0.5, r.top() + 2.5, r.right() - r.left(), 25.0), 12.0, 12.0,
                            Qt::AbsoluteSize);
    painter.setPen(Qt::white);
    painter.drawText(r, Qt::AlignCenter, text());
}

// ---- ToolsetButton

ToolsetButton::ToolsetButton(const QIcon& icon, const QString& text, bool checkable, QWidget* parent)
    : QPushButton(icon, text, parent), m_label(text), m_icon(icon)
{
    setObjectName(QStringLiteral("ToolsetButton"));
    setFocusPolicy(Qt::NoFocus);
    setCheckable(checkable);
    setAutoExclusive(checkable);
    setIconSize(QSize(24, 24));
    setFixedHeight(kButtonHeight);
    setFlat(true);
    setFont(BarFont());
    m_mainWindow = FindMainWindow(parent);
    if (m_mainWindow != nullptr) {
        m_tooltip = new ToolsetTooltip(text, m_mainWindow);
        m_tooltip->hide();
    }
}

ToolsetButton::~ToolsetButton()
{
    delete m_tooltip;
}

void ToolsetButton::MinimiseToolset(bool minimise)
{
    setText(minimise ? QString() : m_label);
}

void ToolsetButton::ShowTooltip()
{
    const app::ProjectPtr project = CurrentProject();
    if (!project || project->ToolsetState() != app::ToolsetStateCollapsed || m_tooltip == nullptr ||
        m_mainWindow == nullptr)
        return;
    // Beside the button, on the side away from the window edge where the bar stands.
    if (project->ToolsetPosition() != app::ToolsetPositionLeft) {
        const QPoint corner = mapTo(m_mainWindow, rect().topLeft());
        m_tooltip->move(corner.x() - (m_tooltip->width() - 1) - 17, corner.y());
    } else {
        const QPoint corner = mapTo(m_mainWindow, rect().topRight());
        m_tooltip->move(corner.x() + 16, corner.y());
    }
    m_tooltip->show();
    m_tooltip->raise();
}

bool ToolsetButton::event(QEvent* event)
{
    if (event->type() == QEvent::Enter)
        ShowTooltip();
    else if (event->type() == QEvent::Leave && m_tooltip != nullptr)
        m_tooltip->hide();
    return QPushButton::event(event);
}

void ToolsetButton::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    QStyleOptionButton option;
    option.initFrom(this);
    option.state |= QStyle::State_Enabled | QStyle::State_Raised;
    option.features = QStyleOptionButton::Flat;
    option.text = text();
    option.icon = icon();
    option.iconSize = iconSize();
    const QColor colour(66, 66, 66, 180);
    const bool hovered = underMouse();
    if (isDown() || isChecked() || hovered) {
        painter.setRenderHint(QPainter::Antialiasing);
        if (!hovered || isChecked()) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(colour);
            painter.drawRect(rect());
        } else {
            painter.setPen(QPen(colour, 3.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(rect());
        }
    }
    style()->drawControl(QStyle::CE_PushButton, &option, &painter, this);
}

// ---- ToolsetWidget

ToolsetWidget::ToolsetWidget(QWidget* parent) : QFrame(parent)
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(10);
    m_frame = new QFrame(this);
    m_frame->setObjectName(QStringLiteral("ButtonWidget"));
    m_buttonLayout = new QVBoxLayout(m_frame);
    m_buttonLayout->setContentsMargins(5, 5, 5, 5);
    m_buttonLayout->setSpacing(5);
    outer->addWidget(m_frame);

    m_slide = new QPushButton(m_frame);
    m_slide->setObjectName(QStringLiteral("ToolsetSlideButton"));
    m_slide->setCheckable(true);
    m_slide->setFixedSize(kSlideSide, kSlideSide);
    m_slideRow = new QHBoxLayout();
    m_slideRow->setContentsMargins(0, 0, 0, 0);
    m_slideRow->setSpacing(0);
    m_slideRow->addWidget(m_slide);
    m_buttonLayout->addLayout(m_slideRow);
    connect(m_slide, &QPushButton::clicked, this, &ToolsetWidget::SlotToolsetSlideClicked);

    for (int index = 0; index < kSectionCount; ++index) {
        const SectionButton& spec = kSectionButtons[index];
        auto* button = new ToolsetButton(QIcon(QString::fromLatin1(spec.icon)), tr(spec.label), true, m_frame);
        m_buttons.insert(index, button);
        m_buttonLayout->addWidget(button);
        connect(button, &QPushButton::clicked, this, &ToolsetWidget::SlotButtonChecked);
        connect(this, &ToolsetWidget::MinimiseToolset, button, &ToolsetButton::MinimiseToolset);
    }

    // Window-wide, so that they fire from text boxes, tables and the floating dock too.
    auto* down = new QAction(this);
    down->setShortcut(QKeySequence(QStringLiteral("Ctrl+Tab")));
    down->setShortcutContext(Qt::WindowShortcut);
    connect(down, &QAction::triggered, this, &ToolsetWidget::SlotCycleToolsetDown);
    addAction(down);
    auto* up = new QAction(this);
    up->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+Tab")));
    up->setShortcutContext(Qt::WindowShortcut);
    connect(up, &QAction::triggered, this, &ToolsetWidget::SlotCycleToolsetUp);
    addAction(up);

    ApplyToolsetPosition(ReadToolsetSetting(QStringLiteral("ToolsetPosition"), app::ToolsetPositionRight));
    ApplyToolsetState(ReadToolsetSetting(QStringLiteral("ToolsetState"), app::ToolsetStateExpanded));
    ReserveWidth();
}

ToolsetWidget::~ToolsetWidget() = default;

int ToolsetWidget::ToolsetWidth() const
{
    return m_buttonLayout->sizeHint().width();
}

void ToolsetWidget::ReserveWidth()
{
    if (Application* app = Application::Instance())
        app->SetToolsetWidth(ToolsetWidth() + kReserveMargin);
}

int ToolsetWidget::CurrentSection()
{
    const app::ProjectPtr project = CurrentProject();
    const int current = project ? static_cast<int>(project->CurrentToolset()) : 0;
    return current >= 0 && current < kSectionCount ? current : 0;
}

void ToolsetWidget::Notify(DataType type, FieldType field)
{
    if (const LumoModelPtr model = Model())
        model->NotifyObservers(type, model->GetDocument()->Id(), field);
}

void ToolsetWidget::SetCurrentToolset(int index)
{
    const app::ProjectPtr project = CurrentProject();
    if (!project)
        return;
    project->SetCurrentToolset(static_cast<app::ToolsetSections>(index));
    Notify(DataTypeInterface, FieldTypeCurrentToolset);
}

void ToolsetWidget::SetToolsetState(int state)
{
    const app::ProjectPtr project = CurrentProject();
    if (!project)
        return;
    project->SetToolsetState(static_cast<app::ToolsetStateID>(state));
    Notify(DataTypeInterface, FieldTypeToolsetState);
}

void ToolsetWidget::ApplyToolsetState(int state)
{
    if (!m_buttonLayout->isEmpty())
        ReserveWidth();
    emit MinimiseToolset(state == app::ToolsetStateCollapsed);
    m_slide->setChecked(state == app::ToolsetStateCollapsed);
}

void ToolsetWidget::ApplyToolsetPosition(int position)
{
    const bool right = position != app::ToolsetPositionLeft;
    if (right) {
        m_frame->setStyleSheet(QStringLiteral("#ButtonWidget { border-image: url(:Toolset/ToolsetBackgroundRight.png) "
                                              "5px 0px 5px 5px; border-width: 4px 0px 4px 4px; }"));
        m_slide->setStyleSheet(QStringLiteral(
            "QPushButton#ToolsetSlideButton { border-image: url(:Toolset/ToolsetCollapsed.png) 0px 0px 0px 0px; }"
            "QPushButton#ToolsetSlideButton:checked { border-image: url(:Toolset/ToolsetExpanded.png) 0px 0px 0px "
            "0px; }"));
    } else {
        m_frame->setStyleSheet(QStringLiteral("#ButtonWidget { border-image: url(:Toolset/ToolsetBackgroundLeft.png) "
                                              "5px 5px 5px 0px; border-width: 4px 4px 4px 0px; }"));
        m_slide->setStyleSheet(QStringLiteral(
            "QPushButton#ToolsetSlideButton { border-image: url(:Toolset/ToolsetExpanded.png) 0px 0px 0px 0px; }"
            "QPushButton#ToolsetSlideButton:checked { border-image: url(:Toolset/ToolsetCollapsed.png) 0px 0px 0px "
            "0px; }"));
    }
    m_slideRow->setAlignment(m_slide, right ? Qt::AlignLeft : Qt::AlignRight);
    m_slideRow->update();
}

void ToolsetWidget::CheckCurrentButton()
{
    const app::ProjectPtr project = CurrentProject();
    // A toolset outside the sections (an edited project file) has no button to check.
    if (ToolsetButton* button = project ? Button(project->CurrentToolset()) : nullptr)
        button->setChecked(true);
}

void ToolsetWidget::RecentreCanvas()
{
    if (const Application* app = Application::Instance())
        if (CanvasView* view = app->GetCanvasView())
            view->UpdateCanvasCentre();
}

void ToolsetWidget::SlotCycleToolsetDown()
{
    const int current = CurrentSection();
    SetCurrentToolset(current == kSectionCount - 1 ? 0 : current + 1);
}

void ToolsetWidget::SlotCycleToolsetUp()
{
    const int current = CurrentSection();
    SetCurrentToolset(current == 0 ? kSectionCount - 1 : current - 1);
}

void ToolsetWidget::SlotButtonChecked()
{
    for (int index = 0; index < kSectionCount; ++index)
        if (m_buttons.value(index)->isChecked()) {
            SetCurrentToolset(index);
            return;
        }
}

void ToolsetWidget::SlotToolsetSlideClicked()
{
    SetToolsetState(m_slide->isChecked() ? app::ToolsetStateCollapsed : app::ToolsetStateExpanded);
}

void ToolsetWidget::ModelChanged(DataType type, const QUuid& /*id*/, FieldType field)
{
    const app::ProjectPtr project = CurrentProject();
    if (!project)
        return;
    if (type == DataTypeInterface && field == FieldTypeCurrentToolset) {
        CheckCurrentButton();
    } else if (type == DataTypeInterface && field == FieldTypeToolsetState) {
        ApplyToolsetState(project->ToolsetState());
        ReserveWidth();
        RecentreCanvas();
        Notify(DataTypeCanvas, FieldTypeFocusCanvas);
    } else if (type == DataTypeInterface && field == FieldTypeToolsetPosition) {
        ApplyToolsetPosition(project->ToolsetPosition());
        RecentreCanvas();
        Notify(DataTypeCanvas, FieldTypeFocusCanvas);
    } else if (type == DataTypeProject && field == FieldTypeRefreshAll) {
        CheckCurrentButton();
        ApplyToolsetPosition(ReadToolsetSetting(QStringLiteral("ToolsetPosition"), app::ToolsetPositionRight));
        ApplyToolsetState(ReadToolsetSetting(QStringLiteral("ToolsetState"), app::ToolsetStateExpanded));
        ReserveWidth();
        RecentreCanvas();
    }
}

} // namespace lumo::ui
