#include "Shell/Application.h"

#include "Shell/BatchSortProxyModel.h"
#include "Shell/Identity.h"
#include "Shell/InterfaceConstants.h"
#include "Shell/Limits.h"
#include "Shell/OverrideCursor.h"
#include "Shell/ProductPicture.h"
#include "Shell/StandardUserDialogs.h"
#include "Shell/StoredProjectDefaults.h"

#include "ForegroundImageLayer.h"
#include "ImageLayer.h"
#include "LayerManager.h"
#include "LayerSettings.h"
#include "PhotoReading.h"
#include "Project.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHash>
#include <QIcon>
#include <QImageReader>
#include <QItemSelectionModel>
#include <QPrinter>
#include <QScreen>
#include <QStandardItemModel>
#include <QStyle>
#include <QStyleFactory>

#include <new>
#include <stdexcept>
#include <vector>
#include <utility>

// Resources compiled into a static library are registered by hand; outside any namespace.
static void RegisterUiResources()
{
    Q_INIT_RESOURCE(LumoraUI);
}

namespace lumo::ui {

using app::ImageLayerPtr;
using app::LMerr;
using app::ProjectPtr;
using app::RenderLevel;
using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

namespace {

// Photos up to the import limit (42,250,000 pixels, 4 bytes each) must decode; Qt refuses
// images over 128 MB by default.
constexpr int kImageAllocationLimitMegabytes = 1024;
constexpr int kForegroundItemColumns = 7;
const char* const kIconTheme = "Adwaita";
const char* const kSystemIconFolder = "/usr/share/icons";

// Qt finds no icon theme until one is named, and offscreen it searches only the resources.
void SetUpIconTheme()
{
    QIcon::setThemeName(QString::fromLatin1(kIconTheme));
    QStringList paths = QIcon::themeSearchPaths();
    if (!paths.contains(QString::fromLatin1(kSystemIconFolder))) {
        paths.append(QString::fromLatin1(kSystemIconFolder));
        QIcon::setThemeSearchPaths(paths);
    }
}

QString ReadResourceText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    return QString::fromUtf8(file.readAll());
}

// More masks or text items on a foreground (or in the shared settings), or more further layers,
// than the panels let a user add.
bool ExceedsPanelLimits(const app::Project& project)
{
    const app::LayerManagerPtr manager = project.GetLayerManager();
    if (!manager)
        return false;
    if (manager->Count(app::LayerTypeImage) > MaximumFurtherLayers)
        return true;
    const auto overfull = [](const app::ForegroundImageLayerSettingsPtr& settings) {
        return settings && (settings->Masks().Size() > static_cast<unsigned int>(MaximumMasks) ||
                            settings->TextItems().Size() > static_cast<unsigned int>(MaximumTextItems));
    };
    const std::shared_ptr<app::ForegroundImageLayerList> foregrounds = manager->ForegroundLayerList();
    if (overfull(manager->GetForegroundSettings(QUuid())))
        return true;
    for (auto it = foregrounds->ConstBegin(); it != foregrounds->ConstEnd(); ++it)
        if (it->second && overfull(it->second->ForegroundSettings()))
            return true;
    return false;
}

// A whole decode no longer awaited: its photo is dropped when it ends.
void DropPhotoDecode(QFutureWatcher<QImage>* watcher, QObject* receiver)
{
    watcher->disconnect(receiver);
    watcher->deleteLater();
}

bool IsCompositeLayerType(app::LayerType type)
{
    return type == app::LayerTypeBackground || type == app::LayerTypeOverlay || type == app::LayerTypeImage;
}

} // namespace

struct Application::Private {
    explicit Private(Application* owner)
        : document(std::make_shared<LumoDocument>()),
          foregroundItems(new QStandardItemModel(0, kForegroundItemColumns, owner)),
          foregroundSort(new BatchSortProxyModel(owner)), foregroundSelection(nullptr),
          dialogs(std::make_unique<StandardUserDialogs>())
    {
        foregroundSort->setSourceModel(foregroundItems);
        foregroundSort->setDynamicSortFilter(true);
        foregroundSelection = new QItemSelectionModel(foregroundSort, owner);
    }

    // A photo shown from its preview, decoded whole on a worker thread (the watcher has no future
    // while the decode is held).
    struct PhotoDecode {
        QString path;
        QFutureWatcher<QImage>* watcher = nullptr;
    };

    int canvasActionsHeight = 0;
    int toolsetWidth = -1;
    bool firstForegroundPending = true;
    bool exporting = false;
    // Made on first use: making one loads the print system's plugin, which start-up does not need.
    std::unique_ptr<QPrinter> printer;
    std::vector<std::pair<PrinterSetting, std::function<void(QPrinter&)>>> printerChanges;
    LumoDocumentPtr document;
    CanvasView* canvasView = nullptr;
    RenderProcessorPtr renderProcessor;
    QHash<QUuid, PhotoDecode> photoDecodes;
    bool photoDecodesHeld = false;
    bool heldDecodesStartPosted = false;
    QHash<QUuid, std::shared_ptr<QImage>> thumbnails;
    QHash<QString, PhotoFileStamp> failedPhotos;
    QString styleSheet;
    QStandardItemModel* foregroundItems;
    BatchSortProxyModel* foregroundSort;
    QItemSelectionModel* foregroundSelection;

    std::unique_ptr<UserDialogs> dialogs;
    std::function<bool()> saveProject;
    RenderProcessorFactory processorFactory;
    bool fatalErrorPending = false;
};

Application::Application(int& argc, char** argv) : QApplication(argc, argv), d(std::make_unique<Private>(this))
{
    RegisterUiResources();
    setApplicationName(ApplicationName);
    setApplicationVersion(ApplicationVersion);
    setOrganizationName(OrganisationName);
    QImageReader::setAllocationLimit(kImageAllocationLimitMegabytes);
    qRegisterMetaType<app::RenderLevel>();
    qRegisterMetaType<hvn::image::HXDownsampleFactor>();
    SetUpIconTheme();
    setWindowIcon(ApplicationIcon());
    d->styleSheet = ReadResourceText(QStringLiteral(":CSS/MainWindow.css"));
    // One look for every window, whatever style the desktop would choose: the palette reaches the
    // menus and the dialogs that the main window's style sheet does not.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        setStyle(fusion);
    setPalette(ApplicationPalette());
}

Application::~Application()
{
    ForgetPhotoDecodes();
}

Application* Application::Instance()
{
    return qobject_cast<Application*>(QCoreApplication::instance());
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        PostFatalError(std::current_exception());
        return false;
    }
}

// ---- The document and the project

LumoDocumentPtr Application::GetDocument() const
{
    return d->document;
}

LMerr Application::OpenProject(const QString& path)
{
    // A relative path must be resolved before loading moves the working directory.
    const QString absolutePath = path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
    const QString previousWorkingFolder = QDir::currentPath();
    LMerr code = app::LMerrSuccess;
    ProjectPtr project;
    bool takesStoredDefaults = true;
    if (absolutePath.isEmpty()) {
        project = std::make_shared<app::Project>(code);
    } else {
        project = std::make_shared<app::Project>(absolutePath, code);
        // More items than the panels let a user add: not a file the program wrote, and refused as
        // one with a value out of range (the panels would list them all, the canvas draw them all).
        if (code == app::LMerrSuccess && ExceedsPanelLimits(*project))
            code = app::LMerrInvalidData;
        if (code == app::LMerrSuccess) {
            takesStoredDefaults = false;
            project->SetPath(absolutePath);
        } else {
            RestoreOverrideCursor();
            Dialogs().Message({.parent = activeWindow(),
                               .icon = QMessageBox::Warning,
                               .text = tr("The project cannot be opened because its contents are invalid.\n\n%1\n\n"
                                          "An empty project will be created instead.")
                                           .arg(QDir::toNativeSeparators(absolutePath))});
            LMerr ignored = app::LMerrSuccess;
            project = std::make_shared<app::Project>(ignored);
        }
    }

    RenderProcessorPtr processor;
    if (const LMerr processorCode = MakeRenderProcessor(project, processor); processorCode != app::LMerrSuccess) {
        // The document and its processor stay in step: the previous project stays open.
        QDir::setCurrent(previousWorkingFolder);
        return processorCode;
    }

    d->document->RemoveTemporaryFiles();
    ForgetPhotoDecodes();
    d->document->SetProject(project);
    d->renderProcessor = processor;
    d->toolsetWidth = -1;
    d->firstForegroundPending = true;
    d->exporting = false;
    d->thumbnails.clear();
    d->foregroundItems->clear();
    d->foregroundItems->setRowCount(0);
    d->foregroundItems->setColumnCount(kForegroundItemColumns);
    d->foregroundSelection->clear();
    if (takesStoredDefaults)
        ApplyStoredDefaults(*project);
    return code;
}

LMerr Application::MakeRenderProcessor(const ProjectPtr& project, RenderProcessorPtr& processor) const
{
    try {
        LMerr code = app::LMerrSuccess;
        RenderProcessorPtr made =
            d->processorFactory
                ? d->processorFactory(project, ScreenGeometry(), code)
                : std::make_shared<app::RenderProcessor>(project, hvn::image::HXPixelChannelOrderBGRA, ScreenGeometry(),
                                                         code);
        if (code != app::LMerrSuccess)
            return code;
        if (!made)
            return app::LMerrRenderFailed;
        processor = std::move(made);
        return app::LMerrSuccess;
    } catch (const std::bad_alloc&) {
        return app::LMerrRenderOutOfMemory;
    } catch (...) {
        return app::LMerrRenderFailed;
    }
}

// ---- Shared state of the views

Application::RenderProcessorPtr Application::GetRenderProcessor() const
{
    return d->renderProcessor;
}

CanvasView* Application::GetCanvasView() const
{
    return d->canvasView;
}

void Application::SetCanvasView(CanvasView* view)
{
    d->canvasView = view;
}

int Application::ToolsetWidth() const
{
    return d->toolsetWidth;
}

void Application::SetToolsetWidth(int width)
{
    d->toolsetWidth = width;
}

int Application::CanvasActionsHeight() const
{
    return d->canvasActionsHeight;
}

void Application::SetCanvasActionsHeight(int height)
{
    d->canvasActionsHeight = height;
}

bool Application::IsExporting() const
{
    return d->exporting;
}

void Application::SetExporting(bool exporting)
{
    d->exporting = exporting;
}

bool Application::IsFirstForegroundPending() const
{
    return d->firstForegroundPending;
}

void Application::SetFirstForegroundPending(bool pending)
{
    d->firstForegroundPending = pending;
}

QPrinter& Application::GetPrinter() const
{
    if (!d->printer) {
        d->printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        for (const auto& [setting, change] : std::exchange(d->printerChanges, {}))
            change(*d->printer);
    }
    return *d->printer;
}

void Application::ChangePrinter(PrinterSetting setting, std::function<void(QPrinter&)> change)
{
    if (d->printer) {
        change(*d->printer);
        return;
    }
    std::erase_if(d->printerChanges, [setting](const auto& kept) { return kept.first == setting; });
    d->printerChanges.emplace_back(setting, std::move(change));
}

const QString& Application::ApplicationStyleSheet() const
{
    return d->styleSheet;
}

QStandardItemModel* Application::ForegroundItemModel() const
{
    return d->foregroundItems;
}

BatchSortProxyModel* Application::ForegroundSortModel() const
{
    return d->foregroundSort;
}

QItemSelectionModel* Application::ForegroundSelectionModel() const
{
    return d->foregroundSelection;
}

std::shared_ptr<QImage> Application::GetThumbnail(const QUuid& layerId) const
{
    return d->thumbnails.value(layerId);
}

QHash<QUuid, std::shared_ptr<QImage>>& Application::Thumbnails()
{
    return d->thumbnails;
}

QHash<QString, PhotoFileStamp>& Application::FailedPhotos()
{
    return d->failedPhotos;
}

const QHash<QString, PhotoFileStamp>& Application::FailedPhotos() const
{
    return d->failedPhotos;
}

// ---- Screen

QRect Application::ScreenGeometry() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->geometry() : QRect();
}

QRect Application::WindowCacheRect() const
{
    return d->renderProcessor ? d->renderProcessor->WindowCacheRect() : QRect();
}

// ---- Layers by kind

ImageLayerPtr Application::LayerWithId(const QUuid& id) const
{
    const ProjectPtr project = d->document->GetProject();
    if (!project || id.isNull())
        return nullptr;
    const app::LayerManagerPtr manager = project->GetLayerManager();
    if (const ImageLayerPtr layer = manager->GetLayer(id))
        return layer;
    if (const app::ForegroundImageLayerPtr foreground = manager->GetForeground(id))
        return foreground;
    if (manager->LayerList()->IsForegroundId(id))
        return manager->GetForeground(manager->CurrentForegroundId());
    return nullptr;
}

ImageLayerPtr Application::LayerOfKind(int layerKind, const QUuid& id) const
{
    const ProjectPtr project = d->document->GetProject();
    if (!project)
        return nullptr;
    const app::LayerManagerPtr manager = project->GetLayerManager();
    switch (layerKind) {
    case app::LayerTypeBackground:
        return manager->GetBackground();
    case app::LayerTypeForeground:
        return manager->CurrentForegroundId().isNull() ? nullptr : manager->GetForeground(manager->CurrentForegroundId());
    case app::LayerTypeOverlay:
        return manager->GetOverlay();
    case app::LayerTypeImage: {
        const QUuid layerId = id.isNull() ? manager->LayerList()->CurrentlySelectedLayer() : id;
        return layerId.isNull() ? nullptr : manager->GetLayer(layerId);
    }
    default:
        return nullptr;
    }
}

// ---- Cache invalidation and refresh requests

void Application::InvalidateLayerCache(int layerKind, int level, HXDownsampleFactor factor)
{
    const ProjectPtr project = d->document->GetProject();
    if (!project || !d->renderProcessor || project->CurrentToolset() == app::ToolsetSectionEffects)
        return;
    if (const ImageLayerPtr layer = LayerOfKind(layerKind))
        d->renderProcessor->SetCacheValid(layer, level, factor, false);
}

void Application::InvalidateCacheOfLayer(const QUuid& layerId, int level, HXDownsampleFactor factor)
{
    if (!d->renderProcessor)
        return;
    if (const ImageLayerPtr layer = LayerWithId(layerId))
        d->renderProcessor->SetCacheValid(layer, level, factor, false);
}

void Application::InvalidateCompositeCaches(HXDownsampleFactor factor)
{
    const ProjectPtr project = d->document->GetProject();
    if (!project || !d->renderProcessor)
        return;
    const app::LayerManagerPtr manager = project->GetLayerManager();
    const std::shared_ptr<app::ImageLayerList> layers = manager->LayerList();
    for (const QUuid& id : layers->CompositeOrder()) {
        if (layers->IsForegroundId(id)) {
            if (!manager->CurrentForegroundId().isNull())
                if (const ImageLayerPtr foreground = manager->GetForeground(manager->CurrentForegroundId()))
                    d->renderProcessor->SetCacheValid(foreground, app::RenderLevelKey, factor, false);
        } else if (const ImageLayerPtr layer = manager->GetLayer(id); layer && IsCompositeLayerType(layer->Type())) {
            d->renderProcessor->SetCacheValid(layer, app::RenderLevelPostFilter, factor, false);
        }
    }
    if (const ImageLayerPtr overlay = manager->GetOverlay())
        d->renderProcessor->SetCacheValid(overlay, app::RenderLevelPostFilter, factor, false);
}

void Application::InvalidateShadowCache()
{
    InvalidateShadowCache(HXDownsampleFactor0);
    InvalidateShadowCache(HXDownsampleFactor3);
}

void Application::InvalidateShadowCache(HXDownsampleFactor factor)
{
    if (d->renderProcessor)
        d->renderProcessor->InvalidateShadowCache(factor);
}

void Application::RequestLayerRefresh(int layerKind, RenderLevel level, HXDownsampleFactor factor)
{
    const ProjectPtr project = d->document->GetProject();
    if (!project)
        return;
    QUuid id;
    if (layerKind == app::LayerTypeForeground) {
        id = project->GetLayerManager()->LayerList()->StaticForegroundId();
    } else if (const ImageLayerPtr layer = LayerOfKind(layerKind)) {
        id = layer->Id();
    }
    if (!id.isNull())
        emit SignalCanvasRefreshRequested(id, level, factor);
}

void Application::RefreshCanvas()
{
    RefreshCanvas(HXDownsampleFactor0);
}

void Application::RefreshCanvas(HXDownsampleFactor factor)
{
    InvalidateCompositeCaches(factor);
    emit SignalCanvasRefreshRequested(HXDownsampleFactor0);
}

// ---- Rendering for the canvas scene

LMerr Application::RenderLayerToCanvas(QImage& image, const QUuid& layerId, RenderLevel level,
                                       HXDownsampleFactor factor)
{
    if (d->exporting)
        return app::LMerrCanvasRender;
    StartHeldPhotoDecodesLater();
    if (RenderableFactor(factor) != factor)
        return RenderAllLayersToCanvas(image, HXDownsampleFactor3);
    const ProjectPtr project = d->document->GetProject();
    if (!project || !d->renderProcessor)
        return app::LMerrRenderFailed;
    const app::LayerManagerPtr manager = project->GetLayerManager();
    if (manager->LayerList()->IsForegroundId(layerId)) {
        if (const ImageLayerPtr foreground = LayerOfKind(app::LayerTypeForeground))
            if (const LMerr code = d->renderProcessor->RenderLayer(foreground, level, factor))
                return code;
    } else if (const ImageLayerPtr layer = manager->GetLayer(layerId);
               layer && IsCompositeLayerType(layer->Type()) && layer->IsValid()) {
        if (const LMerr code = d->renderProcessor->RenderLayer(layer, level, factor))
            return code;
    }
    return d->renderProcessor->RenderCanvasImage(factor, image);
}

LMerr Application::RenderAllLayersToCanvas(QImage& image, HXDownsampleFactor factor)
{
    if (d->exporting)
        return app::LMerrCanvasRender;
    StartHeldPhotoDecodesLater();
    factor = RenderableFactor(factor);
    const ProjectPtr project = d->document->GetProject();
    if (!project || !d->renderProcessor)
        return app::LMerrRenderFailed;
    const app::LayerManagerPtr manager = project->GetLayerManager();
    const std::shared_ptr<app::ImageLayerList> layers = manager->LayerList();
    for (const QUuid& id : layers->CompositeOrder()) {
        ImageLayerPtr layer;
        if (layers->IsForegroundId(id))
            layer = LayerOfKind(app::LayerTypeForeground);
        else if (const ImageLayerPtr candidate = manager->GetLayer(id);
                 candidate && IsCompositeLayerType(candidate->Type()) && candidate->IsValid())
            layer = candidate;
        if (layer)
            if (const LMerr code = d->renderProcessor->RenderLayer(layer, app::RenderLevelPostFilter, factor))
                return code;
    }
    if (const ImageLayerPtr overlay = manager->GetOverlay(); overlay && overlay->IsValid())
        if (const LMerr code = d->renderProcessor->RenderLayer(overlay, app::RenderLevelPostFilter, factor))
            return code;
    return d->renderProcessor->RenderCanvasImage(factor, image);
}

HXDownsampleFactor Application::RenderableFactor(HXDownsampleFactor factor)
{
    if (factor != HXDownsampleFactor0 || !AwaitsWholePhotos())
        return factor;
    // What changed was marked stale at full resolution only: the preview is made afresh.
    InvalidateCompositeCaches(HXDownsampleFactor3);
    InvalidateShadowCache(HXDownsampleFactor3);
    return HXDownsampleFactor3;
}

// ---- Photos shown from their previews

bool Application::AwaitsWholePhotos() const
{
    return d->renderProcessor && d->renderProcessor->AwaitsWholePhoto();
}

void Application::DecodeWholePhoto(const ImageLayerPtr& layer, const QString& absolutePath)
{
    const QUuid id = layer->Id();
    // A decode started for an earlier photo of the layer no longer counts.
    if (const auto earlier = d->photoDecodes.constFind(id); earlier != d->photoDecodes.constEnd()) {
        DropPhotoDecode(earlier->watcher, this);
        d->photoDecodes.erase(earlier);
    }
    auto* watcher = new QFutureWatcher<QImage>(this);
    d->photoDecodes.insert(id, {absolutePath, watcher});
    connect(watcher, &QFutureWatcherBase::finished, this, [this, id] { RunGuarded([&] { CompletePhotoDecode(id); }); });
    if (!d->photoDecodesHeld)
        watcher->setFuture(app::ReadPhotoInBackground(absolutePath));
}

void Application::HoldPhotoDecodes()
{
    d->photoDecodesHeld = true;
}

void Application::StartHeldPhotoDecodes()
{
    d->heldDecodesStartPosted = false;
    if (!d->photoDecodesHeld)
        return;
    d->photoDecodesHeld = false;
    // Only the decodes the hold kept back: one begun before the hold is not begun again.
    for (const Private::PhotoDecode& decode : std::as_const(d->photoDecodes))
        if (!decode.watcher->future().isValid())
            decode.watcher->setFuture(app::ReadPhotoInBackground(decode.path));
}

void Application::StartHeldPhotoDecodesLater()
{
    if (!d->photoDecodesHeld || d->heldDecodesStartPosted)
        return;
    d->heldDecodesStartPosted = true;
    QMetaObject::invokeMethod(this, [this] { RunGuarded([&] { StartHeldPhotoDecodes(); }); }, Qt::QueuedConnection);
}

void Application::CompletePhotoDecode(const QUuid& layerId)
{
    const auto found = d->photoDecodes.constFind(layerId);
    if (found == d->photoDecodes.constEnd())
        return;
    const Private::PhotoDecode decode = *found;
    d->photoDecodes.erase(found);
    DropPhotoDecode(decode.watcher, this);
    QImage whole;
    try {
        // Taken, not shared with the future: the render processor then keeps these pixels.
        whole = decode.watcher->future().takeResult();
    } catch (...) {
        // Out of memory while decoding: as a photo that could not be read.
    }
    const ImageLayerPtr layer = LayerWithId(layerId);
    // The layer may have gone, or taken another photo, meanwhile; only the current foreground has
    // the foreground caches.
    if (!layer || !d->renderProcessor || !d->renderProcessor->AwaitsWholePhoto(*layer) ||
        QFileInfo(layer->Path()).absoluteFilePath() != decode.path ||
        (layer->Type() == app::LayerTypeForeground && layer != LayerOfKind(app::LayerTypeForeground)))
        return;
    const LMerr code = whole.isNull() ? app::LMerrRenderFailed : d->renderProcessor->SetLayer(layer, std::move(whole));
    if (code != app::LMerrSuccess) {
        // The preview cannot stand in for the photo: the layer waits to be relinked, as for a
        // missing file, and the project keeps it.
        RememberFailedPhoto(decode.path);
        ReportLayerImageFailure(code, decode.path);
        Thumbnails().remove(layerId);
        d->renderProcessor->RemoveLayer(layer);
        layer->SetOffline(true);
    }
    emit SignalCanvasRefreshRequested(HXDownsampleFactor0);
}

void Application::FinishPhotoDecodes()
{
    StartHeldPhotoDecodes();
    while (!d->photoDecodes.isEmpty()) {
        const QUuid id = d->photoDecodes.constBegin().key();
        d->photoDecodes.constBegin()->watcher->waitForFinished();
        CompletePhotoDecode(id);
    }
}

void Application::ForgetPhotoDecodes()
{
    // The decodes under way finish on their threads; their photos are dropped.
    for (const Private::PhotoDecode& decode : std::as_const(d->photoDecodes))
        DropPhotoDecode(decode.watcher, this);
    d->photoDecodes.clear();
}

// ---- Dialogs and the fatal road

UserDialogs& Application::Dialogs() const
{
    return *d->dialogs;
}

void Application::SetDialogs(std::unique_ptr<UserDialogs> dialogs)
{
    d->dialogs = dialogs ? std::move(dialogs) : std::make_unique<StandardUserDialogs>();
}

void Application::SetSaveProjectHandler(std::function<bool()> save)
{
    d->saveProject = std::move(save);
}

void Application::SetRenderProcessorFactory(RenderProcessorFactory factory)
{
    d->processorFactory = std::move(factory);
}

void Application::PostFatalError(std::exception_ptr error)
{
    if (d->fatalErrorPending)
        return;
    d->fatalErrorPending = true;
    QMetaObject::invokeMethod(
        this, [this, error = std::move(error)] { ReportFatalError(error); }, Qt::QueuedConnection);
}

void Application::ReportFatalError(const std::exception_ptr& error)
{
    QString text;
    try {
        std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        text = tr("There is not enough memory available.\n\nPlease close some other programs and start Lumora again.");
    } catch (const std::exception& exception) {
        text = tr("The application has to exit because a problem occurred:\n\n%1").arg(QString::fromLocal8Bit(exception.what()));
    } catch (...) {
        text = tr("The application has to exit because a problem occurred:\n\n%1").arg(tr("Unknown error"));
    }

    // Nothing here may keep the program from ending: a failing message or save is passed over.
    try {
        RestoreOverrideCursor();
        if (d->saveProject) {
            text += tr("\n\nWould you like to save this project before exiting?");
            const QMessageBox::StandardButton answer =
                Dialogs().Message({.icon = QMessageBox::Critical,
                                   .text = text,
                                   .buttons = QMessageBox::Yes | QMessageBox::No,
                                   .defaultButton = QMessageBox::Yes});
            if (answer == QMessageBox::Yes)
                d->saveProject();
        } else {
            Dialogs().Message({.icon = QMessageBox::Critical, .text = text});
        }
    } catch (...) {
    }
    // A program that ends on an error says so to whoever started it.
    Dialogs().Exit(1);
    d->fatalErrorPending = false;
}

} // namespace lumo::ui
