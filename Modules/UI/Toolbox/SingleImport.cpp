#include "Toolbox/SingleImport.h"

#include "Canvas/CanvasView.h"
#include "Controls/ButtonPopupMenu.h"
#include "Controls/Buttons.h"
#include "Controls/Container.h"
#include "Controls/ThumbnailPreview.h"
#include "Shell/Application.h"
#include "Shell/OverrideCursor.h"
#include "Shell/Settings.h"
#include "Toolbox/ImageFileChoice.h"
#include "Toolbox/PanelSupport.h"

#include "ForegroundImageLayer.h"
#include "ItemLists.h"
#include "LayerManager.h"
#include "LayerSettings.h"
#include "Project.h"
#include "TransformItems.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMimeData>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumo::ui {

using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

namespace {

constexpr int kSpacing = 10;

} // namespace

SingleImport::SingleImport(const QString& title, int kind, QWidget* parent) : QWidget(parent), m_kind(kind)
{
    switch (m_kind) {
    case app::LayerTypeBackground:
        m_kindName = tr("Background");
        break;
    case app::LayerTypeForeground:
        m_kindName = tr("Foreground");
        break;
    case app::LayerTypeOverlay:
        m_kindName = tr("Overlay");
        break;
    default:
        break;
    }
    m_container = new Container(title, ContainerFeatureCollapse | ContainerFeatureEnable, this);
    m_thumbnail = new ThumbnailPreview(m_container->Body());
    m_thumbnail->setAcceptDrops(true);
    m_change = new ButtonPopupMenu(QIcon(QStringLiteral(":Icons/Plus.png")), tr("Add"),
                                   KindKey(), m_container->Body());
    m_remove = new ButtonDefault(QIcon(QStringLiteral(":Icons/Minus.png")),
                                 tr("Remove"), m_container->Body());

    auto* buttons = new QHBoxLayout();
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(kSpacing);
    buttons->addWidget(m_change);
    buttons->addWidget(m_remove);
    auto* body = new QVBoxLayout(m_container->Body());
    body->setContentsMargins(kSpacing, kSpacing, kSpacing, kSpacing);
    body->setSpacing(kSpacing);
    body->addLayout(buttons);
    body->addWidget(m_thumbnail);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_container);
    // Never taller than its content: room a page has to spare (a neighbour folded) goes to the
    // page's stretch below, not into a blank band inside the box.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);

    connect(m_thumbnail, &ThumbnailPreview::DragDropDataAdded, this, &SingleImport::SlotReplaceImage);
    connect(m_thumbnail, &ThumbnailPreview::MousePressDetected, this, &SingleImport::SlotRelinkImage);
    connect(m_change, &ButtonPopupMenu::PopupMenuItemChosen, this, [this](const QString& path) { SlotChangeImage(path); });
    connect(m_remove, &QPushButton::clicked, this, &SingleImport::SlotRemoveImage);
    connect(m_container, &Container::SignalExpandBody, this, &SingleImport::SlotExpandBody);
    connect(m_container, &Container::SignalEnableBody, this, &SingleImport::SlotEnableBody);
    if (Application* app = Application::Instance())
        connect(app, &Application::SignalCheckOfflineImages, this, &SingleImport::SlotIsImageOffline);
}

SingleImport::~SingleImport() = default;

QString SingleImport::KindKey() const
{
    // Fixed words: the settings key and the messages' word must not follow a translation.
    switch (m_kind) {
    case app::LayerTypeBackground:
        return QStringLiteral("background");
    case app::LayerTypeForeground:
        return QStringLiteral("foreground");
    case app::LayerTypeOverlay:
        return QStringLiteral("overlay");
    default:
        return QString();
    }
}

bool SingleImport::HasKind() const
{
    return m_kind == app::LayerTypeBackground || m_kind == app::LayerTypeForeground || m_kind == app::LayerTypeOverlay;
}

app::ImageLayerPtr SingleImport::Layer() const
{
    const app::LayerManagerPtr manager = CurrentLayerManager();
    if (!manager)
        return nullptr;
    switch (m_kind) {
    case app::LayerTypeBackground:
        return manager->GetBackground();
    case app::LayerTypeForeground:
        return manager->CurrentForegroundId().isNull() ? nullptr : manager->GetForeground(manager->CurrentForegroundId());
    case app::LayerTypeOverlay:
        return manager->GetOverlay();
    default:
        return nullptr;
    }
}

app::ImageLayerPtr SingleImport::ShownLayer() const
{
    const app::LayerManagerPtr manager = CurrentLayerManager();
    if (!manager || m_layerId.isNull() || !HasKind())
        return nullptr;
    if (m_kind == app::LayerTypeForeground)
        return manager->GetForeground(m_layerId);
    return manager->GetLayer(m_layerId);
}

QString SingleImport::StartFolder() const
{
    const QString sub = m_kind == app::LayerTypeForeground ? QStringLiteral("Green Screen")
                        : m_kind == app::LayerTypeBackground ? QStringLiteral("Background")
                                                             : QStringLiteral("Overlay");
    const QString samples = QDir(ApplicationDirectory()).filePath(QStringLiteral("Sample Images/") + sub);
    return QFileInfo(samples).isDir() ? QFileInfo(samples).absoluteFilePath() : DesktopFolder();
}

void SingleImport::SetChangeText(bool loaded)
{
    m_change->TextButton()->setText(loaded ? tr("Change") : tr("Add"));
}

void SingleImport::ShowLoaded(const app::ImageLayerPtr& layer)
{
    m_layerId = layer->Id();
    m_offline = false;
    m_thumbnail->setCursor(Qt::ArrowCursor);
    m_thumbnail->DisplaySingleImage(layer, ThumbnailPreview::ImageTypeLayer);
    SetChangeText(true);
}

void SingleImport::ShowAdded(const app::ImageLayerPtr& layer)
{
    ShowLoaded(layer);
    const app::LayerManagerPtr manager = CurrentLayerManager();
    emit SignalNewImageAdded(m_kind == app::LayerTypeForeground && manager ? manager->LayerList()->StaticForegroundId()
                                                                            : layer->Id());
}

void SingleImport::ShowOffline(const app::ImageLayerPtr& layer)
{
    m_layerId = layer->Id();
    m_offline = true;
    m_thumbnail->DisplaySingleImage(layer, ThumbnailPreview::ImageTypeOffline);
    m_thumbnail->setCursor(Qt::PointingHandCursor);
    SetChangeText(true);
    layer->SetOffline(true);
}

void SingleImport::ShowEmpty()
{
    m_layerId = QUuid();
    m_offline = false;
    m_thumbnail->setCursor(Qt::ArrowCursor);
    m_thumbnail->DisplaySingleImage(nullptr, ThumbnailPreview::ImageTypeEmpty);
    SetChangeText(false);
}

bool SingleImport::SetImage(const QString& path)
{
    Application* app = Application::Instance();
    if (!HasKind() || app == nullptr)
        return false;
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    const bool imported = app->ImportImage(path, QUuid(), static_cast<app::LayerType>(m_kind));
    RestoreOverrideCursor();
    const app::ImageLayerPtr layer = imported ? Layer() : nullptr;
    if (!layer)
        return false;
    ShowAdded(layer);
    // The import has refreshed the foreground itself; the background's filters start again.
    if (m_kind == app::LayerTypeBackground) {
        app->InvalidateLayerCache(app::LayerTypeBackground, app::RenderLevelFilter, HXDownsampleFactor3);
        app->RequestLayerRefresh(app::LayerTypeBackground, app::RenderLevelFilter, HXDownsampleFactor0);
    }
    return true;
}

bool SingleImport::ReloadImage(const app::ImageLayerPtr& layer, const QString& path)
{
    Application* app = Application::Instance();
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    const bool loaded = app->ReloadLayerImage(layer->Id(), path);
    RestoreOverrideCursor();
    if (loaded)
        ShowAdded(layer);
    return loaded;
}

void SingleImport::SlotChangeImage(const QString& filePath)
{
    if (!HasKind())
        return;
    const QString file = ChooseImageFile(this, tr("Import %1 image").arg(KindKey()), filePath, StartFolder());
    if (file.isEmpty())
        return;
    SetImage(file);
    // A refused file is listed all the same: the user chose it.
    AddRecentPlace(KindKey(), file);
}

void SingleImport::SlotReplaceImage(const QMimeData* mimeData)
{
    const QStringList files = DroppedFiles(mimeData);
    if (files.isEmpty() || !HasKind())
        return;
    if (files.size() > 1 && !AcceptFirstOfSeveral(this, tr("The %1 layer only supports one image.").arg(KindKey())))
        return;
    SetImage(files.first());
}

void SingleImport::SlotRemoveImage()
{
    const app::ImageLayerPtr layer = ShownLayer();
    if (!layer || layer->Path().isEmpty() || !ConfirmImageRemoval(this))
        return;
    Application* app = Application::Instance();
    app->RemoveImageLayer(QUuid(), static_cast<app::LayerType>(m_kind));
    if (CanvasView* view = app->GetCanvasView())
        view->RemoveLayerHandles();
    ShowEmpty();
}

void SingleImport::SlotIsImageOffline()
{
    const app::ImageLayerPtr layer = ShownLayer();
    if (!layer || layer->Path().isEmpty())
        return;
    if (!IsImageFileReadable(layer->Path())) {
        ShowOffline(layer);
        Application::Instance()->RequestLayerRefresh(m_kind, app::RenderLevelPostFilter, HXDownsampleFactor0);
    } else if (m_offline) {
        // The file came back: the same layer takes it again.
        ReloadImage(layer, QString());
    }
}

void SingleImport::SlotRelinkImage()
{
    const app::ImageLayerPtr layer = m_offline ? ShownLayer() : nullptr;
    if (!layer)
        return;
    const QString text = tr("The %1 image cannot be found in its original location.\n\n%2\n\nWould you like to "
                            "relocate it?")
                             .arg(KindKey(), QDir::toNativeSeparators(layer->Path()));
    if (!AskToRelocate(this, text))
        return;
    const QString file = ChooseRelinkedFile(this, tr("Relink %1 image").arg(KindKey()), layer->Path());
    if (!file.isEmpty())
        ReloadImage(layer, file);
}

bool SingleImport::IsLayerEnabled(const app::ImageLayerPtr& layer) const
{
    if (m_kind == app::LayerTypeForeground) {
        const app::LayerManagerPtr manager = CurrentLayerManager();
        return !manager || manager->ForegroundLayerList()->IsEnabled();
    }
    return !layer || layer->IsEnabled();
}

bool SingleImport::IsLayerOpen(const app::ImageLayerPtr& layer) const
{
    if (m_kind == app::LayerTypeForeground) {
        const app::LayerManagerPtr manager = CurrentLayerManager();
        return !manager || manager->ForegroundLayerList()->IsCollapsed();
    }
    return !layer || layer->IsCollapsed();
}

void SingleImport::SlotEnableBody(bool enable)
{
    Application* app = Application::Instance();
    const app::LayerManagerPtr manager = CurrentLayerManager();
    if (app == nullptr || !manager || !HasKind())
        return;
    const app::ImageLayerPtr layer = Layer();
    const auto showImage = [&] {
        if (layer && !layer->IsOffline() && layer->IsValid())
            m_thumbnail->DisplaySingleImage(layer, ThumbnailPreview::ImageTypeLayer);
    };
    switch (m_kind) {
    case app::LayerTypeBackground:
        // Without a background layer there is nothing to switch, redraw or tell.
        if (!layer)
            return;
        layer->SetEnabled(enable);
        showImage();
        app->InvalidateLayerCache(app::LayerTypeBackground, app::RenderLevelFilter, HXDownsampleFactor3);
        app->RequestLayerRefresh(app::LayerTypeBackground, app::RenderLevelFilter, HXDownsampleFactor0);
        emit SignalBackgroundEnabled();
        break;
    case app::LayerTypeForeground:
        manager->ForegroundLayerList()->SetEnabled(enable);
        if (layer) {
            showImage();
            app->InvalidateLayerCache(app::LayerTypeForeground, app::RenderLevelKey, HXDownsampleFactor3);
            app->RequestLayerRefresh(app::LayerTypeForeground, app::RenderLevelKey, HXDownsampleFactor0);
        }
        emit SignalForegroundEnabled();
        break;
    case app::LayerTypeOverlay: {
        if (!layer)
            return;
        layer->SetEnabled(enable);
        showImage();
        CanvasView* view = app->GetCanvasView();
        if (view != nullptr && !enable) {
            view->SetLayerHandlesVisible(false);
        } else if (view != nullptr) {
            // Handles only for an overlay placed by hand.
            const app::ImageLayerSettingsPtr settings = manager->GetLayerSettings(app::LayerTypeOverlay);
            const auto fit = settings ? app::FindItemOfType<app::FitTransformItem>(settings->Transforms(),
                                                                                    app::TransformItemTypeFit)
                                      : nullptr;
            if (fit && fit->Fit() == app::FitToNone)
                view->SetLayerHandlesVisible(true);
        }
        app->InvalidateLayerCache(app::LayerTypeOverlay, app::RenderLevelPostFilter, HXDownsampleFactor3);
        app->RequestLayerRefresh(app::LayerTypeOverlay, app::RenderLevelPostFilter, HXDownsampleFactor0);
        break;
    }
    default:
        break;
    }
}

void SingleImport::SlotExpandBody(bool expand)
{
    const app::LayerManagerPtr manager = CurrentLayerManager();
    if (!manager)
        return;
    if (m_kind == app::LayerTypeForeground)
        manager->ForegroundLayerList()->SetCollapsed(expand);
    else if (const app::ImageLayerPtr layer = HasKind() ? Layer() : nullptr)
        layer->SetCollapsed(expand);
}

void SingleImport::UpdateFromModel()
{
    if (!HasKind())
        return;
    const app::ImageLayerPtr layer = Layer();
    const bool enabled = IsLayerEnabled(layer);
    const bool open = IsLayerOpen(layer);
    ShowEmpty();
    if (layer && !layer->Path().isEmpty()) {
        const Application* app = Application::Instance();
        if (!IsImageFileReadable(layer->Path()))
            ShowOffline(layer);
        else if (app->GetThumbnail(layer->Id()))
            ShowLoaded(layer); // the reopened project's images are loaded already
        else if (!ReloadImage(layer, QString()))
            ShowOffline(layer);
    }
    SlotEnableBody(enabled);
    SlotExpandBody(open);
    m_container->SetBodyState(enabled, open);
}

void SingleImport::UpdateLayer(app::LayerType type)
{
    if (type != m_kind || (type != app::LayerTypeBackground && type != app::LayerTypeForeground))
        return;
    const app::ImageLayerPtr layer = Layer();
    if (type == app::LayerTypeBackground && !layer)
        return;
    if (layer && !layer->IsOffline() && layer->IsValid())
        m_thumbnail->DisplaySingleImage(layer, ThumbnailPreview::ImageTypeLayer);
    const bool enabled = IsLayerEnabled(layer);
    m_container->SetBodyState(enabled, enabled);
}

} // namespace lumo::ui
