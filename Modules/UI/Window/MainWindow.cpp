#include "Window/MainWindow.h"
#include "Window/MainWindowPrivate.h"

#include "Canvas/CanvasActionsWidget.h"
#include "Canvas/CanvasScene.h"
#include "Canvas/CanvasView.h"
#include "Shell/AboutWidget.h"
#include "Shell/Application.h"
#include "Shell/DesktopServices.h"
#include "Shell/Identity.h"
#include "Shell/Settings.h"
#include "Window/StartupTrace.h"
#include "Toolbox/ToolboxDockWidget.h"
#include "Toolbox/ToolsetWidget.h"

#include "ImageLayer.h"
#include "LayerManager.h"
#include "Project.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QToolBar>
#include <QVBoxLayout>

#include <optional>

namespace lumo::ui {

using hvn::image::HXDownsampleFactor0;

namespace {

constexpr int kMenuFontPoints = 8;
constexpr int kToolsetTopSpace = 25;
constexpr int kRecentProjectCount = 5;
const QSize kMinimumWindowSize(800, 600);

const QString kWindowGroup = QStringLiteral("MainWindow");
const QString kGeometryKey = QStringLiteral("Geometry");
const QString kStateKey = QStringLiteral("State");
const QString kToolsetPositionKey = QStringLiteral("ToolsetPosition");
const QString kToolsetStateKey = QStringLiteral("ToolsetState");

// The maker's and the product's pages behind the Help and web menus.
const QString kWebSiteName = QStringLiteral("www.halvern.com");
const QString kHomePage = QStringLiteral("https://www.halvern.com/");
const QString kSupportPage = QStringLiteral("https://www.halvern.com/support/");
const QString kNewsPage = QStringLiteral("https://www.halvern.com/news/");
const QString kForumsPage = QStringLiteral("https://www.halvern.com/forums/");
const QString kLiveChatPage = QStringLiteral("https://www.halvern.com/support/chat/");
const QString kGalleryPage = QStringLiteral("https://www.halvern.com/lumora/gallery/");
const QString kSubmitPhotoPage = QStringLiteral("https://www.halvern.com/lumora/gallery/submit/");

QFont MenuFont()
{
    return QFont(DefaultFontFamily, kMenuFontPoints);
}


// A stored integer that is one of the two allowed values; the default otherwise (a damaged or
// hand-edited settings file must not put the toolset somewhere the interface cannot show).
int ReadBinaryChoice(const QSettings& settings, const QString& key, int defaultValue)
{
    bool ok = false;
    const int value = settings.value(key, defaultValue).toString().trimmed().toInt(&ok);
    return ok && (value == 0 || value == 1) ? value : defaultValue;
}

bool IsMatteViewToolset(app::ToolsetSections toolset)
{
    return toolset == app::ToolsetSectionImport || toolset == app::ToolsetSectionKey ||
           toolset == app::ToolsetSectionMasks;
}

// Dragging files over the window opens the import section, unless a section that takes dropped
// files itself is showing.
bool KeepsSectionOnFileDrag(app::ToolsetSections toolset)
{
    return toolset == app::ToolsetSectionImport || toolset == app::ToolsetSectionLayers ||
           toolset == app::ToolsetSectionOverlay;
}

} // namespace

MainWindow::MainWindow(const QString& projectPath, QWidget* parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags), d(std::make_unique<Private>())
{
    Application* app = Application::Instance();
    setObjectName(QStringLiteral("MainWindow"));
    d->model = std::make_shared<LumoModel>(app->GetDocument());
    d->view = new CanvasView(this);
    d->view->setObjectName(QStringLiteral("CanvasView"));
    d->scene = new CanvasScene(this);
    d->toolset = new ToolsetWidget(this);
    d->toolset->setObjectName(QStringLiteral("ToolsetWidget"));
    d->dock = new ToolboxDockWidget(tr("Toolbox"), this);
    d->actions = new CanvasActionsWidget(this);
    d->actions->setObjectName(QStringLiteral("CanvasActionsWidget"));
    setWindowIcon(QIcon(QStringLiteral(":/Icons/LumoIcon.png")));
    menuBar()->setFont(MenuFont());
    d->view->setScene(d->scene);
    CreateMenus();
    CreateCanvasToolbar();

    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setAcceptDrops(true);
    setFont(QFont(DefaultFontFamily, kMenuFontPoints));
    setStyleSheet(app->ApplicationStyleSheet());

    setCentralWidget(d->view);
    setDockOptions(QMainWindow::AnimatedDocks);
    addDockWidget(Qt::RightDockWidgetArea, d->dock);

    // The window first, so that it has set the bars' reserves before the view and the scene use them.
    SetModel(d->model, {DataTypeProject, DataTypeInterface, DataTypeCanvas});
    d->toolset->SetModel(d->model, {DataTypeProject, DataTypeInterface});
    d->view->SetModel(d->model, {DataTypeProject, DataTypeInterface, DataTypeCanvas});
    d->scene->SetModel(d->model, {DataTypeProject, DataTypeInterface, DataTypeCanvas});
    d->dock->SetModel(d->model);

    app->SetCanvasView(d->view);
    // The fatal road offers to save the project under a new name before the program ends.
    app->SetSaveProjectHandler([this] { return SlotSaveProjectAs(); });

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setMaximumSize(screen->geometry().size());
    setMinimumSize(kMinimumWindowSize);
    RestoreWindowSettings();
    ConnectFloatingToolbox();
    Notify(DataTypeProject, FieldTypeRefreshAll);
    // Last: it writes the recent projects in the background, which a later read of the settings
    // waits for.
    SetCurrentProjectPath(projectPath);
}

MainWindow::~MainWindow()
{
    // No notification may reach the views while they are taken down.
    for (LumoModelObserver* observer : QList<LumoModelObserver*>(d->model->Observers()))
        d->model->DetachObserver(observer);
    if (Application* app = Application::Instance()) {
        if (app->GetCanvasView() == d->view)
            app->SetCanvasView(nullptr);
        app->SetSaveProjectHandler({});
    }
    WaitForBackgroundSettings();
}

const QString& MainWindow::CurrentProjectPath() const
{
    return d->projectPath;
}

CanvasView* MainWindow::GetCanvasView() const
{
    return d->view;
}

CanvasScene* MainWindow::GetCanvasScene() const
{
    return d->scene;
}

ToolsetWidget* MainWindow::GetToolsetBar() const
{
    return d->toolset;
}

ToolboxDockWidget* MainWindow::GetToolboxDock() const
{
    return d->dock;
}

CanvasActionsWidget* MainWindow::GetCanvasActions() const
{
    return d->actions;
}

void MainWindow::Notify(DataType type, FieldType field)
{
    d->model->NotifyObservers(type, d->model->GetDocument()->Id(), field);
}

// ---- Menus and bars

void MainWindow::CreateMenus()
{
    CreateFileMenu();
    CreateViewMenu();
    CreateHelpMenu();
    CreateWebMenu();
}

void MainWindow::CreateFileMenu()
{
    QMenu* file = menuBar()->addMenu(tr("File"));
    file->setFont(MenuFont());
    connect(file, &QMenu::aboutToShow, this, &MainWindow::SlotCheckRecentProjectLinks);

    QMenu* newMenu = file->addMenu(tr("New"));
    newMenu->setFont(MenuFont());
    QAction* newProject = newMenu->addAction(tr("Project"), this, &MainWindow::SlotNewProject);
    newProject->setShortcut(QKeySequence::New);
    newMenu->addAction(tr("Greeting Card"), this, &MainWindow::SlotNewGreetingCard);

    QAction* open = file->addAction(tr("Open..."), this, &MainWindow::SlotOpenProject);
    open->setShortcut(QKeySequence::Open);

    d->recentMenu = file->addMenu(tr("Recent Projects"));
    d->recentMenu->setFont(MenuFont());
    d->recentMenu->setEnabled(false);
    for (int index = 0; index < kRecentProjectCount; ++index) {
        QAction* recent = d->recentMenu->addAction(QString(), this, &MainWindow::SlotOpenRecentProject);
        recent->setVisible(false);
        d->recentActions.append(recent);
    }
    file->addSeparator();

    QAction* save = file->addAction(tr("Save Project"), this, &MainWindow::SlotSaveProject);
    save->setShortcut(QKeySequence::Save);
    QAction* saveAs = file->addAction(tr("Save Project As..."), this, &MainWindow::SlotSaveProjectAs);
    saveAs->setShortcut(QKeySequence(tr("Ctrl+Shift+S")));
    d->revertAction = file->addAction(tr("Revert"), this, &MainWindow::SlotRevertProject);
    d->revertAction->setEnabled(false);
    file->addSeparator();

    QAction* canvasExport = file->addAction(tr("Canvas Export"));
    canvasExport->setShortcut(QKeySequence(tr("Ctrl+E")));
    connect(canvasExport, &QAction::triggered, Application::Instance(), &Application::SignalStandardQuickExportClicked);
    file->addSeparator();

    file->addAction(tr("Page Setup..."), this, &MainWindow::SlotDisplayPageSetupDialog);
    file->addAction(tr("Print Preview..."), this, &MainWindow::SlotDisplayPrintPreviewDialog);
    QAction* print = file->addAction(tr("Print..."), this, &MainWindow::SlotDisplayPrintDialog);
    print->setShortcut(QKeySequence::Print);
    file->addSeparator();

    file->addAction(tr("Exit"), this, &QWidget::close);
}

void MainWindow::CreateViewMenu()
{
    const app::ProjectPtr project = CurrentProject();
    QMenu* view = menuBar()->addMenu(tr("View"));
    view->setFont(MenuFont());

    QMenu* position = view->addMenu(tr("Toolset Position"));
    position->setFont(MenuFont());
    auto* positions = new QActionGroup(this);
    positions->setExclusive(true);
    d->leftAction = position->addAction(tr("Left"));
    d->rightAction = position->addAction(tr("Right"));
    for (QAction* action : {d->leftAction, d->rightAction}) {
        action->setCheckable(true);
        positions->addAction(action);
    }
    connect(d->leftAction, &QAction::triggered, this, [this] { SlotSetToolsetPosition(app::ToolsetPositionLeft); });
    connect(d->rightAction, &QAction::triggered, this, [this] { SlotSetToolsetPosition(app::ToolsetPositionRight); });
    const bool left = project && project->ToolsetPosition() == app::ToolsetPositionLeft;
    (left ? d->leftAction : d->rightAction)->setChecked(true);

    d->collapseAction = view->addAction(tr("Collapse Toolset"), this, &MainWindow::SlotToolsetState);
    d->collapseAction->setCheckable(true);
    d->collapseAction->setChecked(project && project->ToolsetState() == app::ToolsetStateCollapsed);
    view->addSeparator();

    d->undockAction = view->addAction(tr("Undock Toolbox"), this, &MainWindow::SlotDockUndockToolbox);
    d->undockAction->setCheckable(true);
}

void MainWindow::CreateHelpMenu()
{
    QMenu* help = menuBar()->addMenu(tr("Help"));
    help->setFont(MenuFont());
    QAction* contents = help->addAction(tr("Help Contents"), this, qOverload<>(&MainWindow::SlotOpenHelp));
    contents->setShortcut(QKeySequence::HelpContents);
    help->addAction(tr("Quickstart"), this, &MainWindow::SlotOpenQuickStart);
    help->addAction(tr("Support"), this, [this] { SlotOpenUrl(kSupportPage); });
    help->addSeparator();
    help->addAction(tr("Restore Default Settings"), this, &MainWindow::SlotRestoreDefaultSettings);
    help->addSeparator();
    help->addAction(tr("About Lumora 4"), this, &MainWindow::SlotShowAboutPage);
}

void MainWindow::CreateWebMenu()
{
    QMenu* web = menuBar()->addMenu(kWebSiteName);
    web->setFont(MenuFont());
    const auto addLink = [this, web](const QString& text, const QString& address) {
        web->addAction(text, this, [this, address] { SlotOpenUrl(address); });
    };
    addLink(tr("%1 Home").arg(kWebSiteName), kHomePage);
    addLink(tr("Halvern News"), kNewsPage);
    addLink(tr("Forums"), kForumsPage);
    addLink(tr("Live Chat"), kLiveChatPage);
    web->addSeparator();
    addLink(tr("Lumora Gallery"), kGalleryPage);
    addLink(tr("Submit my Photo"), kSubmitPhotoPage);
}

void MainWindow::CreateCanvasToolbar()
{
    connect(d->actions, &CanvasActionsWidget::SignalFocusButtonClicked, this, &MainWindow::SlotFocusButtonClicked);
    connect(d->actions, &CanvasActionsWidget::SignalCanvasZoomChanged, this, &MainWindow::SlotCanvasZoomChanged);
    auto* toolbar = new QToolBar(this);
    toolbar->setObjectName(QStringLiteral("CanvasToolbar"));
    toolbar->setFloatable(false);
    toolbar->setMovable(false);
    toolbar->addWidget(d->actions);

    d->toolsetLayout = new QGridLayout();
    d->toolsetLayout->setContentsMargins(0, 0, 0, 0);
    d->toolsetLayout->setSpacing(0);
    d->toolsetLayout->addWidget(d->toolset, 0, 0);
    ShowToolsetPosition();

    // The bars float over the top and the side of the canvas.
    auto* layout = new QVBoxLayout(d->view);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolbar);
    layout->addSpacing(kToolsetTopSpace);
    layout->addLayout(d->toolsetLayout);
    layout->addStretch();
}

QMenu* MainWindow::createPopupMenu()
{
    return nullptr;
}

// ---- Settings of the window

void MainWindow::RestoreWindowSettings()
{
    ProgramSettings settings;
    settings.beginGroup(kWindowGroup);
    if (!restoreGeometry(settings.value(kGeometryKey).toByteArray()))
        setWindowState(windowState() | Qt::WindowMaximized);
    restoreState(settings.value(kStateKey).toByteArray(), 0);
    settings.endGroup();
    ReadToolsetSettings();
}

void MainWindow::ReadToolsetSettings()
{
    const app::ProjectPtr project = CurrentProject();
    if (!project)
        return;
    ProgramSettings settings;
    settings.beginGroup(kWindowGroup);
    project->SetToolsetPosition(
        static_cast<app::ToolsetPositionID>(ReadBinaryChoice(settings, kToolsetPositionKey, app::ToolsetPositionRight)));
    project->SetToolsetState(
        static_cast<app::ToolsetStateID>(ReadBinaryChoice(settings, kToolsetStateKey, app::ToolsetStateExpanded)));
}

void MainWindow::WriteWindowSettings()
{
    const app::ProjectPtr project = CurrentProject();
    ProgramSettings settings;
    settings.beginGroup(kWindowGroup);
    settings.setValue(kGeometryKey, saveGeometry());
    settings.setValue(kStateKey, saveState(0));
    if (!project)
        return;
    settings.setValue(kToolsetPositionKey, static_cast<int>(project->ToolsetPosition()));
    settings.setValue(kToolsetStateKey, static_cast<int>(project->ToolsetState()));
    settings.endGroup();

    const app::ExportSettings& exportSettings = project->GetExportSettings();
    settings.beginGroup(QStringLiteral("Export"));
    settings.setValue(QStringLiteral("Format"), static_cast<int>(exportSettings.Format()));
    settings.setValue(QStringLiteral("Quality"), exportSettings.Quality());
    settings.endGroup();

    // Only a preset page is worth offering to the next new project.
    const app::Canvas& canvas = project->GetCanvas();
    if (canvas.DimensionType() != app::CanvasDimensionPreset)
        return;
    settings.beginGroup(QStringLiteral("Canvas"));
    settings.setValue(QStringLiteral("ActualWidth"), canvas.ActualWidth());
    settings.setValue(QStringLiteral("ActualHeight"), canvas.ActualHeight());
    settings.setValue(QStringLiteral("Width"), canvas.Width());
    settings.setValue(QStringLiteral("Height"), canvas.Height());
    settings.setValue(QStringLiteral("Orientation"), static_cast<int>(canvas.Orientation()));
    settings.setValue(QStringLiteral("DPI"), canvas.DPI());
    settings.setValue(QStringLiteral("PrintAsCard"), canvas.PrintAsCard());
    settings.endGroup();
}

void MainWindow::ShowToolsetPosition()
{
    const app::ProjectPtr project = CurrentProject();
    const bool right = !project || project->ToolsetPosition() != app::ToolsetPositionLeft;
    d->toolsetLayout->setAlignment(d->toolset, right ? Qt::AlignRight : Qt::AlignLeft);
    (right ? d->rightAction : d->leftAction)->setChecked(true);
}

void MainWindow::ShowToolsetState()
{
    const app::ProjectPtr project = CurrentProject();
    d->collapseAction->setChecked(project && project->ToolsetState() == app::ToolsetStateCollapsed);
}

// ---- Notifications

void MainWindow::ModelChanged(DataType type, const QUuid& id, FieldType field)
{
    Application* app = Application::Instance();
    const app::ProjectPtr project = CurrentProject();
    if (app == nullptr || !project)
        return;
    switch (type) {
    case DataTypeCanvas:
        if (field == FieldTypeCanvasScale)
            d->actions->SlotUpdateZoomSlider(project->GetCanvas().Scale());
        break;
    case DataTypeInterface:
        switch (field) {
        case FieldTypeCurrentToolset:
            d->actions->SetMatteViewEnabled(IsMatteViewToolset(project->CurrentToolset()));
            break;
        case FieldTypeToolsetState:
            ShowToolsetState();
            WriteSetting(kWindowGroup, kToolsetStateKey, QString::number(project->ToolsetState()));
            ScheduleFloatingToolboxCheck();
            break;
        case FieldTypeToolsetPosition:
            ShowToolsetPosition();
            WriteSetting(kWindowGroup, kToolsetPositionKey, QString::number(project->ToolsetPosition()));
            ScheduleFloatingToolboxCheck();
            break;
        case FieldTypeDockFloating:
            d->undockAction->setChecked(d->dock->isFloating());
            break;
        default:
            break;
        }
        break;
    case DataTypeProject:
        if (field == FieldTypeRefreshAll) {
            ReadToolsetSettings();
            ShowToolsetState();
            ShowToolsetPosition();
            d->toolset->ReserveWidth();
            d->view->UpdateCanvasCentre();
            d->actions->UpdateFromProject();
            d->undockAction->setChecked(d->dock->isFloating());
        } else if (field == FieldTypeImageAdded) {
            const app::LayerManagerPtr manager = project->GetLayerManager();
            const app::ImageLayerPtr layer = manager->GetLayer(id);
            if (id == manager->LayerList()->StaticForegroundId() ||
                (layer && layer->Type() == app::LayerTypeBackground)) {
                app->UpdateOverlayFit(HXDownsampleFactor0, true);
                app->UpdateLayerFits(HXDownsampleFactor0, true);
            }
        }
        break;
    }
}

// ---- View slots

void MainWindow::SlotSetToolsetPosition(int position)
{
    if (const app::ProjectPtr project = CurrentProject()) {
        project->SetToolsetPosition(static_cast<app::ToolsetPositionID>(position));
        Notify(DataTypeInterface, FieldTypeToolsetPosition);
    }
}

void MainWindow::SlotToolsetState()
{
    const auto* action = qobject_cast<const QAction*>(sender());
    const app::ProjectPtr project = CurrentProject();
    if (action == nullptr || !project)
        return;
    project->SetToolsetState(action->isChecked() ? app::ToolsetStateCollapsed : app::ToolsetStateExpanded);
    Notify(DataTypeInterface, FieldTypeToolsetState);
}

void MainWindow::SlotDockUndockToolbox()
{
    const auto* action = qobject_cast<const QAction*>(sender());
    if (action != nullptr && d->dock != nullptr)
        d->dock->setFloating(action->isChecked());
}

void MainWindow::SlotFocusButtonClicked()
{
    Notify(DataTypeCanvas, FieldTypeFocusCanvas);
}

void MainWindow::SlotCanvasZoomChanged()
{
    Notify(DataTypeCanvas, FieldTypeCanvasZoom);
}

void MainWindow::SlotOpenUrl(const QString& address)
{
    OpenUrl(address);
}

void MainWindow::SlotShowAboutPage()
{
    AboutWidget about(this);
    about.exec();
}

// ---- Events

bool MainWindow::event(QEvent* event)
{
    // The import and layer panels look again whether their image files still exist.
    if (event->type() == QEvent::WindowActivate)
        if (Application* app = Application::Instance())
            emit app->SignalCheckOfflineImages();
    return QMainWindow::event(event);
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    const app::ProjectPtr project = CurrentProject();
    if (project && event->modifiers().testFlag(Qt::ShiftModifier)) {
        std::optional<app::ToolsetSections> toolset;
        switch (event->key()) {
        case Qt::Key_A:
            toolset = app::ToolsetSectionImport;
            break;
        case Qt::Key_Z:
            toolset = app::ToolsetSectionKey;
            break;
        case Qt::Key_X:
            toolset = app::ToolsetSectionPosition;
            break;
        case Qt::Key_C:
            toolset = app::ToolsetSectionLayers;
            break;
        default:
            break;
        }
        if (toolset) {
            project->SetCurrentToolset(*toolset);
            Notify(DataTypeInterface, FieldTypeCurrentToolset);
        }
    }
    QMainWindow::keyPressEvent(event);
}

void MainWindow::SlotCloseOnRequest()
{
    d->closingOnRequest = true;
    // Already closed, the program is on its way out: the settings are not written twice.
    if (isVisible())
        close();
    else
        QCoreApplication::quit();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Nobody may be there to answer when the system ends the program.
    if (!d->closingOnRequest && !MaybeSaveChanges()) {
        event->ignore();
        return;
    }
    if (!d->defaultsRestored) {
        WriteWindowSettings();
        startuptrace::Mark("settings-written");
    }
    if (d->projectPath.isEmpty())
        SlotDeleteProjectCache();
    event->accept();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    const app::ProjectPtr project = CurrentProject();
    if (project && event->mimeData()->hasUrls() && !KeepsSectionOnFileDrag(project->CurrentToolset())) {
        project->SetCurrentToolset(app::ToolsetSectionImport);
        Notify(DataTypeInterface, FieldTypeCurrentToolset);
    }
    // The drop targets are the panels of the sections, not the window.
    QMainWindow::dragEnterEvent(event);
}

} // namespace lumo::ui
