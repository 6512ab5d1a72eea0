#include "Toolbox/ToolboxDockWidget.h"

#include "Shell/Application.h"
#include "Shell/Identity.h"
#include "Toolbox/EffectSections.h"
#include "Toolbox/OverlaySection.h"
#include "Toolbox/ToolboxSections.h"

#include "Project.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <array>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>

namespace lumo::ui {

namespace {

constexpr int kStackMinimumWidth = 330;
constexpr int kStackMaximumWidth = 450;
constexpr int kTitleBarHeight = 27;
constexpr int kFloatButtonSide = 16;

QFont TitleFont()
{
    QFont font(DefaultFontFamily, 8, QFont::Bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

} // namespace

// ---- ToolboxSectionStack

ToolboxSectionStack::ToolboxSectionStack(QWidget* parent)
{
    m_stack = new QStackedWidget(parent);
    m_stack->setMinimumWidth(kStackMinimumWidth);
    m_stack->setMaximumWidth(kStackMaximumWidth);
    const std::array<AbstractToolboxSection*, 11> sections = {
        new CanvasSizeSection(parent), new ImportSection(parent), new KeySection(parent),
        new MasksSection(parent),      new FiltersSection(parent), new PositionSection(parent),
        new LayersSection(parent),     new EffectsSection(parent), new OverlaySection(parent),
        new TextSection(parent),       new ExportSection(parent),
    };
    for (AbstractToolboxSection* section : sections) {
        m_sections.insert(section->Index(), section);
        m_stack->addWidget(section);
    }
}

// ---- ToolboxDockTitleBar

ToolboxDockTitleBar::ToolboxDockTitleBar(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ToolboxDockTitleBar"));
    m_label = new QLabel(tr("Toolbox"), this);
    m_label->setFont(TitleFont());
    m_float = new QPushButton(this);
    m_float->setObjectName(QStringLiteral("ToolboxFloatButton"));
    m_float->setFlat(true);
    m_float->setFixedSize(kFloatButtonSide, kFloatButtonSide);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_float);
    layout->addWidget(m_label);
    layout->addStretch();
    connect(m_float, &QPushButton::clicked, this, &ToolboxDockTitleBar::FloatDock);
}

QSize ToolboxDockTitleBar::minimumSizeHint() const
{
    return {m_label->sizeHint().height() + m_float->sizeHint().height(), kTitleBarHeight};
}

QSize ToolboxDockTitleBar::sizeHint() const
{
    return minimumSizeHint();
}

void ToolboxDockTitleBar::FloatDock()
{
    if (auto* dock = qobject_cast<QDockWidget*>(parentWidget()))
        dock->setFloating(!dock->isFloating());
}

void ToolboxDockTitleBar::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, QColor(77, 77, 77));
    gradient.setColorAt(0.5, QColor(52, 52, 52));
    gradient.setColorAt(0.51, QColor(38, 38, 38));
    painter.setBrush(gradient);
    painter.drawRect(rect());
}

// ---- ToolboxDockWidget

ToolboxDockWidget::ToolboxDockWidget(const QString& title, QWidget* parent) : QDockWidget(title, parent)
{
    setObjectName(QStringLiteral("ToolboxDockWidget"));
    m_stack = std::make_unique<ToolboxSectionStack>(this);
    m_titleBar = new ToolboxDockTitleBar(this);
    setTitleBarWidget(m_titleBar);
    setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    setAcceptDrops(true);
    connect(this, &QDockWidget::topLevelChanged, this, &ToolboxDockWidget::SlotDockIsFloating);
    connect(this, &QDockWidget::visibilityChanged, this, &ToolboxDockWidget::SlotDockVisibilityChanged);
    setWidget(m_stack->Stack());
    setContentsMargins(0, 0, 0, 0);
}

ToolboxDockWidget::~ToolboxDockWidget() = default;

void ToolboxDockWidget::SetModel(const LumoModelPtr& model)
{
    LumoModelObserver::SetModel(model, {DataTypeProject, DataTypeInterface});
    for (int index = 0; index < m_stack->Sections().size(); ++index)
        m_stack->Sections().value(index)->SetModel(model, {DataTypeProject, DataTypeInterface, DataTypeCanvas});
}

QStackedWidget* ToolboxDockWidget::Stack() const
{
    return m_stack->Stack();
}

AbstractToolboxSection* ToolboxDockWidget::Section(int index) const
{
    return m_stack->Sections().value(index, nullptr);
}

void ToolboxDockWidget::ModelChanged(DataType type, const QUuid& /*id*/, FieldType field)
{
    if ((type == DataTypeInterface && field == FieldTypeCurrentToolset) ||
        (type == DataTypeProject && field == FieldTypeRefreshAll))
        ShowCurrentToolset();
}

void ToolboxDockWidget::ShowCurrentToolset()
{
    const Application* app = Application::Instance();
    const app::ProjectPtr project = app != nullptr ? app->GetDocument()->GetProject() : nullptr;
    // A toolset outside the stack leaves the page shown (the stack ignores such an index).
    if (project)
        m_stack->Stack()->setCurrentIndex(project->CurrentToolset());
}

void ToolboxDockWidget::SlotDockIsFloating(bool /*floating*/)
{
    if (const LumoModelPtr model = Model())
        model->NotifyObservers(DataTypeInterface, model->GetDocument()->Id(), FieldTypeDockFloating);
}

void ToolboxDockWidget::SlotDockVisibilityChanged(bool /*visible*/)
{
    // Minimising the window also reports the dock invisible; only a real hide is undone, and only
    // while the window stays up: showing it again while the program closes its windows would
    // have the closing go round for ever.
    const QWidget* owner = OwnerWindow();
    if (isHidden() && !m_closed && (owner == nullptr || owner->isVisible()))
        show();
}

QWidget* ToolboxDockWidget::OwnerWindow() const
{
    return parentWidget() != nullptr ? parentWidget()->window() : nullptr;
}

void ToolboxDockWidget::closeEvent(QCloseEvent* event)
{
    // Floating, the dock is a window of its own that the window manager or the program's ending may
    // close: that closes the window it belongs to, with its question about unsaved changes. Docked,
    // it is not closed on its own.
    if (QWidget* owner = OwnerWindow(); owner != nullptr && owner->isVisible() && (!isFloating() || !owner->close())) {
        event->ignore();
        return;
    }
    m_closed = true;
    QDockWidget::closeEvent(event);
}

void ToolboxDockWidget::showEvent(QShowEvent* event)
{
    m_closed = false;
    QDockWidget::showEvent(event);
}

void ToolboxDockWidget::dragEnterEvent(QDragEnterEvent* event)
{
    const Application* app = Application::Instance();
    const app::ProjectPtr project = app != nullptr ? app->GetDocument()->GetProject() : nullptr;
    if (project && event->mimeData()->hasUrls()) {
        const app::ToolsetSections toolset = project->CurrentToolset();
        if (toolset != app::ToolsetSectionImport && toolset != app::ToolsetSectionLayers &&
            toolset != app::ToolsetSectionOverlay) {
            project->SetCurrentToolset(app::ToolsetSectionImport);
            if (const LumoModelPtr model = Model())
                model->NotifyObservers(DataTypeInterface, model->GetDocument()->Id(), FieldTypeCurrentToolset);
        }
    }
}

void ToolboxDockWidget::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(77, 77, 77), 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(QColor(26, 26, 26));
    painter.drawRect(rect());
}

} // namespace lumo::ui
