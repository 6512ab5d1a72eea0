#include "Controls/ThumbnailPreview.h"

#include "Controls/ThumbnailCache.h"
#include "Shell/Application.h"
#include "Shell/Identity.h"

#include "Exif.h"
#include "ForegroundImageLayer.h"
#include "LayerManager.h"
#include "Project.h"

#include <QDragEnterEvent>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHash>
#include <QImageReader>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <optional>
#include <utility>

namespace lumo::ui {

namespace {

constexpr int kMaximumSelectionShown = 4;
constexpr int kOfflineColumn = 4;
constexpr int kPathColumn = 5;
const QColor kShadow(26, 26, 26);
const QColor kMidlight(38, 38, 38);
const QColor kFrame(77, 77, 77);
const QColor kVeil(77, 77, 77, 200);
const QString kDragAndDrop = QStringLiteral(":/DragDropWindow/DragAndDrop.png");
const QString kOffline = QStringLiteral(":/DragDropWindow/OfflinePreview.png");
const QString kOfflineClick = QStringLiteral(":/DragDropWindow/OfflinePreviewClick.png");
const QString kLabelStyle = QStringLiteral(
    "#%1 { background-image: url(:/DragDropWindow/ThumbnailInfoBackground.png); background-repeat: repeat-xy;"
    " padding: 2px; color: #cbcbcb; }");

app::ProjectPtr CurrentProject()
{
    const Application* application = Application::Instance();
    return application != nullptr ? application->GetDocument()->GetProject() : nullptr;
}

// A placeholder decoded once for every pane: the panes of a new project show theirs several times
// each while the toolbox is built, and the images are shared, not copied.
QImage PlaceholderImage(const QString& resource)
{
    static QHash<QString, QImage> decoded;
    auto it = decoded.constFind(resource);
    if (it == decoded.constEnd())
        it = decoded.insert(resource, QImage(resource));
    return *it;
}

// The one enabled flag of all foregrounds (true without a project).
bool ForegroundsEnabled()
{
    const app::ProjectPtr project = CurrentProject();
    const auto list = project ? project->GetLayerManager()->ForegroundLayerList() : nullptr;
    return !list || list->IsEnabled();
}

QString SizeText(const QSize& size)
{
    return QStringLiteral("%1 x %2").arg(size.width()).arg(size.height());
}

// The size of an image file as seen: turned for the camera held on its side, as the import does.
QSize ShownSizeOfFile(const QString& path)
{
    // Only a plain file is opened: a fifo would block the reader.
    const QSize size = QFileInfo(path).isFile() ? QImageReader(path).size() : QSize();
    return TurnsQuarter(app::EXIF::CameraOrientation(path)) ? size.transposed() : size;
}

// Where image i of count is centred in selection mode (W x H pane); none: at its own rectangle.
std::optional<QPointF> SelectionCentre(int i, int count, double width, double height)
{
    const double w = width;
    const double h = height;
    switch (count) {
    case 2:
        return i == 1 ? QPointF(w / 4, h / 2) : QPointF(3 * w / 4, h / 2);
    case 3:
        if (i == 2)
            return std::nullopt;
        return i == 1 ? QPointF(3 * w / 4, h / 4) : QPointF(w / 2, 3 * h / 4);
    case 4: {
        const QPointF centres[] = {{3 * w / 4, 3 * h / 4}, {w / 4, 3 * h / 4}, {3 * w / 4, h / 4}, {w / 4, h / 4}};
        return centres[i];
    }
    default:
        return std::nullopt;
    }
}

} // namespace

struct ThumbnailPreview::Private {
    DisplayMode mode = DisplayModeSingle;
    bool enabledLook = true;
    QLabel* dimensions = nullptr;
    QLabel* count = nullptr;
    std::vector<QImage> images;
    std::vector<QRectF> rects;
    QList<QPersistentModelIndex> selection;
    // The file of each shown entry of a selection (empty when offline).
    QStringList paths;
    // The running job's watcher; a new one for each job, so that nothing of a stopped job arrives.
    QFutureWatcher<QString>* watcher = nullptr;
};

ThumbnailPreview::ThumbnailPreview(QWidget* parent) : QFrame(parent), d(std::make_unique<Private>())
{
    QPalette colours = palette();
    colours.setColor(QPalette::Shadow, kShadow);
    colours.setColor(QPalette::Midlight, kMidlight);
    setPalette(colours);
    setBackgroundRole(QPalette::Shadow);
    setAutoFillBackground(true);
    setAcceptDrops(true);
    setMinimumHeight(static_cast<int>(width() * 0.75));

    d->dimensions = new QLabel(this);
    d->dimensions->setObjectName(QStringLiteral("DimensionsText"));
    d->dimensions->setStyleSheet(kLabelStyle.arg(d->dimensions->objectName()));
    d->dimensions->hide();
    d->count = new QLabel(this);
    d->count->setObjectName(QStringLiteral("MultiCountText"));
    d->count->setFont(QFont(DefaultFontFamily, 16, QFont::Bold));
    d->count->setStyleSheet(kLabelStyle.arg(d->count->objectName()));
    d->count->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    layout->addWidget(d->count, 1, Qt::AlignCenter);
    layout->addWidget(d->dimensions, 0, Qt::AlignRight | Qt::AlignBottom);
}

ThumbnailPreview::~ThumbnailPreview()
{
    // No worker may still be reading or writing when the pane's data goes.
    StopJob();
}

ThumbnailPreview::DisplayMode ThumbnailPreview::Mode() const
{
    return d->mode;
}

bool ThumbnailPreview::EnabledLook() const
{
    return d->enabledLook;
}

QLabel* ThumbnailPreview::DimensionsLabel() const
{
    return d->dimensions;
}

QLabel* ThumbnailPreview::CountLabel() const
{
    return d->count;
}

QList<QImage> ThumbnailPreview::Images() const
{
    return QList<QImage>(d->images.begin(), d->images.end());
}

QList<QRectF> ThumbnailPreview::ImageRects() const
{
    return QList<QRectF>(d->rects.begin(), d->rects.end());
}

bool ThumbnailPreview::IsMakingThumbnails() const
{
    return d->watcher != nullptr && d->watcher->isRunning();
}

void ThumbnailPreview::SetEnabledLook(bool enabled)
{
    d->enabledLook = enabled;
    update();
}

// ---- Displays

void ThumbnailPreview::DisplaySingleImage(const app::ImageLayerPtr& layer, ImageType type)
{
    StopJob();
    d->mode = DisplayModeSingle;
    d->count->hide();
    if (layer && type != ImageTypeOffline) {
        d->enabledLook = layer->Type() == app::LayerTypeForeground ? ForegroundsEnabled() : layer->IsEnabled();
        const Application* application = Application::Instance();
        const std::shared_ptr<QImage> thumbnail =
            application != nullptr ? application->GetThumbnail(layer->Id()) : nullptr;
        if (thumbnail && !thumbnail->isNull()) {
            const QSize size = layer->Dimensions();
            d->dimensions->setText(SizeText(size));
            d->dimensions->setVisible(size.width() >= 1 && size.height() >= 1);
            d->images.assign(1, *thumbnail);
            d->rects.assign(1, QRectF());
            RecomputeRects();
            update();
            return;
        }
        // A layer without a thumbnail (nothing imported yet) looks empty, rather than showing
        // what was there before.
    }
    ShowPlaceholder(type == ImageTypeOffline ? kOfflineClick : kDragAndDrop);
}

void ThumbnailPreview::DisplayDragAndDropImage()
{
    StopJob();
    d->mode = DisplayModeSingle;
    d->count->hide();
    ShowPlaceholder(kDragAndDrop);
}

void ThumbnailPreview::DisplayOfflineImage(const QModelIndex&)
{
    StopJob();
    d->mode = DisplayModeSingle;
    d->count->hide();
    d->enabledLook = true;
    ShowPlaceholder(kOffline);
}

void ThumbnailPreview::DisplayProjectInfo()
{
    DisplayDragAndDropImage();
}

void ThumbnailPreview::ShowPlaceholder(const QString& resource)
{
    d->dimensions->hide();
    d->images.assign(1, PlaceholderImage(resource));
    d->rects.assign(1, QRectF());
    RecomputeRects();
    update();
}

void ThumbnailPreview::DisplaySelection(const QList<QPersistentModelIndex>& selection)
{
    StopJob();
    d->selection = selection;
    d->images.clear();
    d->rects.clear();
    d->paths.clear();
    for (int i = static_cast<int>(selection.size()) - 1, shown = 0; i >= 0 && shown < kMaximumSelectionShown;
         --i, ++shown) {
        const QModelIndex index = selection.at(i);
        const bool offline = index.siblingAtColumn(kOfflineColumn).data().toBool();
        d->paths.append(offline ? QString() : index.siblingAtColumn(kPathColumn).data().toString());
        d->images.push_back(offline ? PlaceholderImage(kOffline) : QImage());
        d->rects.emplace_back();
    }
    RecomputeRects();
    update();

    const app::ProjectPtr project = CurrentProject();
    if (project && project->CurrentThumbnailFolder().isEmpty())
        project->SetCurrentThumbnailFolder(NewThumbnailFolderName());
    QString folder;
    if (!project || !GetThumbnailCacheFolder(project->CurrentThumbnailFolder(), folder)) {
        // No cache: the entries keep their placeholders.
        AllThumbnailsReady();
        return;
    }
    // What the workers need of the project, read here: they touch files only.
    QList<ThumbnailRequest> requests;
    const app::LayerManagerPtr layers = project->GetLayerManager();
    for (const QString& path : std::as_const(d->paths)) {
        const app::ForegroundImageLayerPtr layer = path.isEmpty() ? nullptr : layers->GetForegroundFromPath(path);
        requests.append(layer ? ThumbnailRequest{path, layer->ThumbnailFilename()} : ThumbnailRequest{});
    }
    d->watcher = new QFutureWatcher<QString>(this);
    connect(d->watcher, &QFutureWatcherBase::resultReadyAt, this, &ThumbnailPreview::ThumbnailReadyToDisplay);
    connect(d->watcher, &QFutureWatcherBase::finished, this, &ThumbnailPreview::AllThumbnailsReady);
    d->watcher->setFuture(QtConcurrent::mapped(QThreadPool::globalInstance(), requests,
                                               CheckAndCreateThumbnail(folder)));
}

void ThumbnailPreview::ThumbnailReadyToDisplay(int index)
{
    RunGuarded([&] {
        if (d->watcher == nullptr || index < 0 || index >= static_cast<int>(d->images.size()))
            return;
        d->enabledLook = ForegroundsEnabled();
        const QString file = d->watcher->resultAt(index);
        if (file.isEmpty())
            return;
        d->images[static_cast<std::size_t>(index)] = QImage(file);
        // The layer remembers its cache file, so that the next job finds it made.
        const app::ProjectPtr project = CurrentProject();
        const QString& path = d->paths.at(index);
        if (const auto layer = project ? project->GetLayerManager()->GetForegroundFromPath(path) : nullptr)
            layer->SetThumbnailFilename(file);
        RecomputeRects();
        update();
    });
}

void ThumbnailPreview::AllThumbnailsReady()
{
    RunGuarded([&] {
        if (d->watcher != nullptr) {
            d->watcher->deleteLater();
            d->watcher = nullptr;
        }
        if (d->selection.isEmpty())
            return;
        const bool single = d->selection.size() == 1;
        d->mode = single ? DisplayModeSingle : DisplayModeSelection;
        d->count->setText(QStringLiteral("%1").arg(d->selection.size()));
        d->count->setVisible(!single);
        d->dimensions->hide();
        if (single) {
            const QString& path = d->paths.value(0);
            d->dimensions->setText(SizeText(ShownSizeOfFile(path)));
            d->dimensions->setVisible(!path.isEmpty());
        }
        RecomputeRects();
        update();
        emit SelectionDisplayed();
    });
}

void ThumbnailPreview::StopJob()
{
    QFutureWatcher<QString>* watcher = std::exchange(d->watcher, nullptr);
    if (watcher == nullptr)
        return;
    watcher->disconnect(this);
    watcher->cancel();
    watcher->waitForFinished();
    watcher->deleteLater();
}

void ThumbnailPreview::RecomputeRects()
{
    const double fraction = d->mode == DisplayModeSingle ? 1.0 : 0.5;
    const int boxWidth = static_cast<int>(width() * fraction);
    const int boxHeight = static_cast<int>(height() * fraction);
    d->rects.resize(d->images.size());
    for (std::size_t i = 0; i < d->images.size(); ++i) {
        const QImage& image = d->images[i];
        if (image.isNull() || boxWidth < 1 || boxHeight < 1) {
            d->rects[i] = QRectF();
            continue;
        }
        // The whole image inside the box, whatever its shape.
        const double scale = std::min(static_cast<double>(boxWidth) / image.width(),
                                      static_cast<double>(boxHeight) / image.height());
        const int w = static_cast<int>(image.width() * scale);
        const int h = static_cast<int>(image.height() * scale);
        d->rects[i] = QRectF((boxWidth - w) / 2.0, (boxHeight - h) / 2.0, w, h);
    }
}

// ---- Events

void ThumbnailPreview::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit MousePressDetected();
    QFrame::mousePressEvent(event);
}

void ThumbnailPreview::SetHovered(bool hovered)
{
    setBackgroundRole(hovered ? QPalette::Midlight : QPalette::Shadow);
    update();
}

void ThumbnailPreview::dragEnterEvent(QDragEnterEvent* event)
{
    const QMimeData* data = event->mimeData();
    if (data == nullptr || !data->hasUrls())
        return;
    const QList<QUrl> urls = data->urls();
    // One folder is no image; of several files the import sorts out what it can use.
    const bool acceptable = urls.size() > 1 || (urls.size() == 1 && !QFileInfo(urls.first().toLocalFile()).isDir());
    if (!acceptable)
        return;
    event->acceptProposedAction();
    SetHovered(true);
}

void ThumbnailPreview::dragMoveEvent(QDragMoveEvent* event)
{
    SetHovered(true);
    event->acceptProposedAction();
}

void ThumbnailPreview::dragLeaveEvent(QDragLeaveEvent* event)
{
    SetHovered(false);
    event->accept();
}

void ThumbnailPreview::dropEvent(QDropEvent* event)
{
    event->setDropAction(Qt::CopyAction);
    emit DragDropDataAdded(event->mimeData());
    SetHovered(false);
    event->accept();
}

void ThumbnailPreview::resizeEvent(QResizeEvent* event)
{
    const int height = static_cast<int>(width() * 0.75);
    if (this->height() != height)
        setFixedHeight(height);
    RecomputeRects();
    if (layout() != nullptr)
        layout()->update();
    update();
    QFrame::resizeEvent(event);
}

void ThumbnailPreview::paintEvent(QPaintEvent*)
{
    RunGuarded([&] {
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        bool drawn = false;
        const int count = static_cast<int>(d->images.size());
        if (d->mode == DisplayModeSingle) {
            if (count > 0 && !d->images[0].isNull() && !d->rects[0].isEmpty()) {
                painter.drawImage(d->rects[0], d->images[0]);
                drawn = true;
            }
        } else {
            for (int i = 0; i < count; ++i) {
                const QImage& image = d->images[static_cast<std::size_t>(i)];
                QRectF target = d->rects[static_cast<std::size_t>(i)];
                if (image.isNull() || target.isEmpty())
                    continue;
                if (const std::optional<QPointF> centre = SelectionCentre(i, count, width(), height()))
                    target.moveCenter(*centre);
                painter.drawImage(target, image);
            }
        }
        if (!d->enabledLook && (d->mode == DisplayModeSelection || drawn))
            painter.fillRect(rect(), kVeil);
        QPen pen(kFrame, 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    });
}

} // namespace lumo::ui
