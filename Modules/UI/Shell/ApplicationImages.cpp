// The Application's operations on the image layers of the open project: importing photographs,
// reloading a project's images, removing and clearing layers, the canvas size and the fits that
// follow from it.

#include "Shell/Application.h"

#include "Shell/Limits.h"
#include "Shell/OverrideCursor.h"

#include "Exif.h"
#include "ForegroundImageLayer.h"
#include "LayerManager.h"
#include "LayerSettings.h"
#include "PhotoReading.h"
#include "Project.h"
#include "TransformItems.h"
#include "TransformationFunctions.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QMainWindow>
#include <QTransform>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <deque>
#include <vector>

namespace lumo::ui {

using app::EXIF;
using app::ImageLayerPtr;
using app::LayerType;
using app::LMerr;
using app::ProjectPtr;
using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

namespace {

constexpr int kThumbnailWidth = 400;
// Reopening a project decodes this many photographs at a time.
constexpr std::size_t kPhotographsDecodedAhead = 2;
constexpr double kInchesPerMetre = 39.3700787;

unsigned int DotsPerInch(int dotsPerMetre)
{
    return dotsPerMetre > 0 ? static_cast<unsigned int>(dotsPerMetre / kInchesPerMetre + 0.5) : 0u;
}

// The parent of an import warning: the main window, or the active window while there is none.
QWidget* MainWindowOrActive()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<QMainWindow*>(widget))
            return window;
    return QApplication::activeWindow();
}

QString ShownPath(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

QString PhotoFailureText(PhotoFailure failure)
{
    switch (failure) {
    case PhotoFailure::NotFound:
        return Application::tr("not found");
    case PhotoFailure::NotAFile:
        return Application::tr("not a file");
    case PhotoFailure::TooLarge:
        return Application::tr("dimensions over the maximum supported");
    case PhotoFailure::Incomplete:
        return Application::tr("incomplete or damaged");
    case PhotoFailure::NotAnImage:
    case PhotoFailure::None:
        break;
    }
    return Application::tr("not a valid image, or of a type not supported");
}

} // namespace

bool TurnsQuarter(EXIF::Orientation orientation)
{
    return orientation == EXIF::OrientationRightTop || orientation == EXIF::OrientationLeftBottom;
}

std::shared_ptr<QImage> CreateOrientedThumbnail(const QImage& image, const QString& path)
{
    QImage thumbnail = image.scaledToWidth(kThumbnailWidth, Qt::SmoothTransformation);
    const EXIF::Orientation orientation = EXIF::CameraOrientation(path);
    if (TurnsQuarter(orientation)) {
        QTransform turn;
        turn.rotate(orientation == EXIF::OrientationRightTop ? 90.0 : -90.0);
        thumbnail = thumbnail.transformed(turn, Qt::SmoothTransformation);
    }
    return std::make_shared<QImage>(std::move(thumbnail));
}

// ---- Checks

bool Application::CheckImportImage(const QImage& image, const QString& path)
{
    if (image.isNull()) {
        RestoreOverrideCursor();
        Dialogs().Message({.parent = MainWindowOrActive(),
                           .icon = QMessageBox::Warning,
                           .text = tr("%1\n\nThis is not a valid image, or its type is not supported.").arg(ShownPath(path))});
        return false;
    }
    return CheckImportImageSize(image.size(), path);
}

bool Application::CheckImportImageSize(const QSize& size, const QString& path)
{
    if (static_cast<qint64>(size.width()) * size.height() <= MaximumImagePixels)
        return true;
    RestoreOverrideCursor();
    Dialogs().Message({.parent = activeWindow(),
                       .icon = QMessageBox::Warning,
                       .text = tr("%1\n\nThis image cannot be imported because its dimensions exceed the maximum that "
                                  "is supported.")
                                   .arg(ShownPath(path))});
    return false;
}

DecodedImage DecodeImageFile(const QString& absolutePath, bool previewFirst)
{
    DecodedImage decoded;
    // Only a plain file is read: a fifo would block, a device stream without end.
    if (const QFileInfo file(absolutePath); !file.isFile()) {
        decoded.failure = file.exists() ? PhotoFailure::NotAFile : PhotoFailure::NotFound;
        return decoded;
    }
    const auto tooLarge = [](const QSize& size) {
        return static_cast<qint64>(size.width()) * size.height() > MaximumImagePixels;
    };
    try {
        QImageReader reader(absolutePath);
        reader.setDecideFormatFromContent(true);
        // The layer applies the EXIF orientation itself (render processor and thumbnail).
        reader.setAutoTransform(false);
        // Too large a photo is refused from its header, before it is decoded: decoding would take
        // the memory, or fail and be taken for a damaged file.
        decoded.headerSize = reader.size();
        if (decoded.headerSize.isValid() && tooLarge(decoded.headerSize)) {
            decoded.failure = PhotoFailure::TooLarge;
            return decoded;
        }
        if (previewFirst && app::HasQuickPreview(reader)) {
            decoded.image = app::ReadPhotoPreview(absolutePath).image;
            decoded.previewOnly = true;
        } else {
            decoded.image = app::ReadPhoto(absolutePath);
        }
    } catch (...) {
        // Out of memory while decoding: as an image that could not be read.
        decoded.image = QImage();
    }
    if (decoded.image.isNull()) {
        // The reads refuse a photo cut short; it is told apart only now, when it costs nothing.
        decoded.failure = app::IsWholePhotoFile(absolutePath) ? PhotoFailure::NotAnImage : PhotoFailure::Incomplete;
        decoded.previewOnly = false;
    } else if (!decoded.previewOnly && tooLarge(decoded.image.size())) {
        // A format whose header states no size.
        decoded.headerSize = decoded.image.size();
        decoded.image = QImage();
        decoded.failure = PhotoFailure::TooLarge;
    }
    return decoded;
}

bool Application::CheckDecodedImage(const DecodedImage& decoded, const QString& absolutePath)
{
    switch (decoded.failure) {
    case PhotoFailure::None:
        return true;
    case PhotoFailure::TooLarge:
        return CheckImportImageSize(decoded.headerSize, absolutePath);
    default:
        return CheckImportImage(QImage(), absolutePath);
    }
}

bool Application::ReadImportImage(const QString& absolutePath, DecodedImage& decoded)
{
    decoded = DecodeImageFile(absolutePath, true);
    // Remembered before the warning: closing it activates the window, whose offline checks must
    // find the failure known already.
    if (decoded.failure != PhotoFailure::None)
        RememberFailedPhoto(absolutePath);
    return CheckDecodedImage(decoded, absolutePath);
}

// ---- Photos that failed to load

PhotoFileStamp PhotoFileStamp::Of(const QString& path)
{
    const QFileInfo file(path);
    if (!file.isFile())
        return {};
    return {true, file.size(), file.lastModified(), file.metadataChangeTime()};
}

void Application::RememberFailedPhoto(const QString& absolutePath)
{
    FailedPhotos().insert(absolutePath, PhotoFileStamp::Of(absolutePath));
}

bool Application::IsUnchangedFailedPhoto(const QString& path) const
{
    if (path.isEmpty())
        return false;
    const QString absolutePath = QFileInfo(path).absoluteFilePath();
    const auto failed = FailedPhotos().constFind(absolutePath);
    return failed != FailedPhotos().constEnd() && *failed == PhotoFileStamp::Of(absolutePath);
}

// ---- Import

ImageLayerPtr Application::TargetLayer(LayerType kind, const QUuid& id) const
{
    if (kind == app::LayerTypeImage) {
        const ProjectPtr project = GetDocument()->GetProject();
        return project && !id.isNull() ? project->GetLayerManager()->GetLayer(id) : nullptr;
    }
    return LayerOfKind(kind);
}

bool Application::ImportImage(const QString& path, const QUuid& layerId, LayerType kind)
{
    const ProjectPtr project = GetDocument()->GetProject();
    const RenderProcessorPtr processor = GetRenderProcessor();
    if (!project || !processor || kind < app::LayerTypeBackground || kind > app::LayerTypeImage)
        return false;
    const app::LayerManagerPtr manager = project->GetLayerManager();
    ImageLayerPtr target;
    if (kind != app::LayerTypeForeground) {
        target = TargetLayer(kind, layerId);
        if (!target)
            return false;
    }

    const QString absolutePath = QFileInfo(path).absoluteFilePath();
    DecodedImage decoded;
    if (!ReadImportImage(absolutePath, decoded))
        return false;

    if (kind == app::LayerTypeForeground) {
        // A new photograph replaces every foreground; its memory is freed before the new one is
        // decoded into the render caches.
        if (const ImageLayerPtr current = LayerOfKind(app::LayerTypeForeground)) {
            processor->RemoveLayer(current);
            Thumbnails().remove(current->Id());
        }
        manager->Clear(app::LayerTypeForeground);
        const auto foreground = std::make_shared<app::ForegroundImageLayer>(QString(), QString());
        if (const LMerr code = manager->AddForegroundLayer(foreground); code != app::LMerrSuccess) {
            RefreshCanvas();
            ReportLayerImageFailure(code, absolutePath);
            return false;
        }
        manager->SetCurrentForegroundId(foreground->Id());
        target = foreground;
    }

    if (const LMerr code = PlaceImageInLayer(target, std::move(decoded), absolutePath); code != app::LMerrSuccess) {
        // A foreground without pixels would claim to be there: it goes again.
        if (kind == app::LayerTypeForeground) {
            manager->RemoveForegroundLayer(target->Id());
            RemoveLayerFromRenderer(target);
        }
        ReportLayerImageFailure(code, absolutePath);
        return false;
    }
    RefreshAfterImport(target);
    return true;
}

LMerr Application::PlaceImageInLayer(const ImageLayerPtr& layer, DecodedImage decoded, const QString& absolutePath)
{
    QImage image = std::move(decoded.image);
    const bool preview = decoded.previewOnly;
    const QSize stored = preview ? decoded.headerSize : image.size();
    const QString oldPath = layer->Path();
    const QSize oldDimensions = layer->Dimensions();
    const unsigned int oldDpiX = layer->DpiX();
    const unsigned int oldDpiY = layer->DpiY();
    const bool oldValid = layer->IsValid();
    const bool oldOffline = layer->IsOffline();

    layer->SetPath(absolutePath);
    layer->SetDpiX(DotsPerInch(image.dotsPerMeterX()));
    layer->SetDpiY(DotsPerInch(image.dotsPerMeterY()));
    layer->SetDimensions(TurnsQuarter(EXIF::CameraOrientation(absolutePath)) ? stored.transposed() : stored);
    layer->SetIsValid(true);
    layer->SetOffline(false);
    // Made first: the image is handed to the render processor, which may keep its pixels.
    std::shared_ptr<QImage> thumbnail = CreateOrientedThumbnail(image, absolutePath);
    // The render processor reads the orientation from the layer's path, so it is set first.
    const RenderProcessorPtr processor = GetRenderProcessor();
    if (const LMerr code =
            preview ? processor->SetLayerPreview(layer, std::move(image), stored) : processor->SetLayer(layer, std::move(image));
        code != app::LMerrSuccess) {
        layer->SetPath(oldPath);
        layer->SetDimensions(oldDimensions);
        layer->SetDpiX(oldDpiX);
        layer->SetDpiY(oldDpiY);
        layer->SetIsValid(oldValid);
        layer->SetOffline(oldOffline);
        // Remembered before the caller's warning: an automatic reload must not warn again.
        RememberFailedPhoto(absolutePath);
        return code;
    }
    FailedPhotos().remove(absolutePath);
    Thumbnails().insert(layer->Id(), std::move(thumbnail));
    if (preview)
        DecodeWholePhoto(layer, absolutePath);
    return app::LMerrSuccess;
}

void Application::ReportLayerImageFailure(LMerr code, const QString& absolutePath)
{
    RestoreOverrideCursor();
    const QString text =
        code == app::LMerrRenderOutOfMemory || code == app::LMerrOutOfMemory
            ? tr("%1\n\nThere is not enough memory available to import this image.\n\n"
                 "Please close some other programs and try again.")
            : tr("%1\n\nThis image could not be loaded.");
    Dialogs().Message({.parent = activeWindow(), .icon = QMessageBox::Warning, .text = text.arg(ShownPath(absolutePath))});
}

void Application::RefreshAfterImport(const ImageLayerPtr& layer)
{
    const RenderProcessorPtr processor = GetRenderProcessor();
    switch (layer->Type()) {
    case app::LayerTypeForeground:
        InvalidateShadowCache();
        processor->InvalidateAllMaskCache();
        // The first foreground after opening a project places every other layer: all redraw.
        if (IsFirstForegroundPending()) {
            InvalidateCompositeCaches(HXDownsampleFactor3);
            RefreshCanvas();
        } else {
            InvalidateLayerCache(app::LayerTypeForeground, app::RenderLevelKey, HXDownsampleFactor3);
            RequestLayerRefresh(app::LayerTypeForeground, app::RenderLevelKey, HXDownsampleFactor0);
        }
        SetFirstForegroundPending(false);
        break;
    case app::LayerTypeBackground:
        emit SignalCanvasRefreshRequested(layer->Id(), app::RenderLevelFilter, HXDownsampleFactor0);
        break;
    case app::LayerTypeOverlay:
    case app::LayerTypeImage:
        emit SignalCanvasRefreshRequested(layer->Id(), app::RenderLevelPostFilter, HXDownsampleFactor0);
        break;
    }
}

// ---- Reloading a project's images

bool Application::LoadLayerFile(const ImageLayerPtr& layer, const QString& path, bool chosen)
{
    if (path.isEmpty())
        return false;
    const QString absolutePath = QFileInfo(path).absoluteFilePath();
    // The layer's own file gone missing is no error: the layer waits offline to be relinked. Nor
    // is it tried again, and warned about again, while it stays as it was when it failed; a file
    // the user chose is always tried.
    if (!chosen && (!QFileInfo(absolutePath).isFile() || IsUnchangedFailedPhoto(absolutePath))) {
        layer->SetOffline(true);
        return false;
    }
    DecodedImage decoded;
    LMerr code = app::LMerrSuccess;
    const bool loaded =
        ReadImportImage(absolutePath, decoded) &&
        (code = PlaceImageInLayer(layer, std::move(decoded), absolutePath)) == app::LMerrSuccess;
    if (loaded)
        return true;
    // The layer's own photo that cannot be used leaves it offline: nothing of it is drawn, and it
    // is offered for relinking. A chosen file that cannot be used leaves the layer as it was.
    if (!chosen)
        layer->SetOffline(true);
    if (code != app::LMerrSuccess)
        ReportLayerImageFailure(code, absolutePath);
    return false;
}

bool Application::ReloadLayerImage(const QUuid& layerId)
{
    return ReloadLayerImage(layerId, QString());
}

bool Application::ReloadLayerImage(const QUuid& layerId, const QString& path)
{
    const ProjectPtr project = GetDocument()->GetProject();
    if (!project || !GetRenderProcessor())
        return false;
    const ImageLayerPtr layer = LayerWithId(layerId);
    // Only the current foreground has the render processor's foreground caches.
    if (!layer || (layer->Type() == app::LayerTypeForeground &&
                   layer->Id() != project->GetLayerManager()->CurrentForegroundId()))
        return false;
    if (!LoadLayerFile(layer, path.isEmpty() ? layer->Path() : path, !path.isEmpty()))
        return false;
    RefreshAfterImport(layer);
    return true;
}

bool Application::LoadProjectImages()
{
    const ProjectPtr project = GetDocument()->GetProject();
    const RenderProcessorPtr processor = GetRenderProcessor();
    if (!project || !processor)
        return false;
    const app::LayerManagerPtr manager = project->GetLayerManager();
    std::vector<ImageLayerPtr> layers = {manager->GetBackground()};
    for (const QUuid& id : manager->LayerList()->CompositeOrder())
        if (const ImageLayerPtr layer = manager->GetLayer(id); layer && layer->Type() == app::LayerTypeImage)
            layers.push_back(layer);
    layers.push_back(manager->GetOverlay());
    layers.push_back(LayerOfKind(app::LayerTypeForeground));

    // A photo that cannot be used keeps its layer and path, offline (drawn by nobody, offered for
    // relinking); the user hears of all of them in one message at the end.
    QStringList unread;
    const auto setAside = [&](const ImageLayerPtr& layer, const QString& absolutePath, const QString& reason) {
        layer->SetOffline(true);
        RememberFailedPhoto(absolutePath);
        unread.append(tr("%1 (%2)").arg(ShownPath(absolutePath), reason));
    };
    struct File {
        ImageLayerPtr layer;
        QString path;
    };
    std::vector<File> files;
    for (const ImageLayerPtr& layer : layers) {
        if (!layer || !layer->IsValid() || layer->Path().isEmpty())
            continue;
        const QString absolutePath = QFileInfo(layer->Path()).absoluteFilePath();
        if (const QFileInfo file(absolutePath); !file.isFile()) {
            setAside(layer, absolutePath, PhotoFailureText(file.exists() ? PhotoFailure::NotAFile : PhotoFailure::NotFound));
            continue;
        }
        files.push_back({layer, absolutePath});
    }

    // The photographs are decoded on the thread pool, one ahead of the one being placed, so a
    // project's decoding time is about its largest photograph's rather than their sum, and at most
    // two decoded photographs are held at a time. Placing stays in order here.
    std::deque<QFuture<DecodedImage>> decoding;
    std::size_t next = 0;
    const auto decodeAhead = [&](std::size_t count) {
        while (decoding.size() < count && next < files.size())
            decoding.push_back(QtConcurrent::run(DecodeImageFile, files[next++].path, true));
    };
    decodeAhead(kPhotographsDecodedAhead);
    bool foregroundLoaded = false;
    for (const File& file : files) {
        DecodedImage decoded = decoding.front().result();
        decoding.pop_front();
        decodeAhead(kPhotographsDecodedAhead - 1);
        if (decoded.failure != PhotoFailure::None) {
            setAside(file.layer, file.path, PhotoFailureText(decoded.failure));
            continue;
        }
        if (const LMerr code = PlaceImageInLayer(file.layer, std::move(decoded), file.path); code != app::LMerrSuccess) {
            setAside(file.layer, file.path,
                     code == app::LMerrRenderOutOfMemory || code == app::LMerrOutOfMemory ? tr("not enough memory")
                                                                                         : tr("not loaded"));
            continue;
        }
        foregroundLoaded = foregroundLoaded || file.layer->Type() == app::LayerTypeForeground;
    }
    if (foregroundLoaded) {
        InvalidateShadowCache();
        processor->InvalidateAllMaskCache();
        SetFirstForegroundPending(false);
    }
    RefreshCanvas();
    if (!unread.isEmpty()) {
        RestoreOverrideCursor();
        Dialogs().Message({.parent = MainWindowOrActive(),
                           .icon = QMessageBox::Warning,
                           .text = tr("These images of the project could not be loaded:\n\n%1\n\nThe project keeps "
                                      "their places: relink them from their panels to show them again.")
                                       .arg(unread.join(QLatin1Char('\n')))});
    }
    return unread.isEmpty();
}

// ---- Removing and clearing layers

void Application::RemoveLayerFromRenderer(const ImageLayerPtr& layer)
{
    if (const RenderProcessorPtr processor = GetRenderProcessor(); processor && layer)
        processor->RemoveLayer(layer);
    emit SignalCanvasRefreshRequested(HXDownsampleFactor0);
}

void Application::RemoveImageLayer(const QUuid& layerId, LayerType kind)
{
    const ProjectPtr project = GetDocument()->GetProject();
    if (!project)
        return;
    const ImageLayerPtr layer = TargetLayer(kind, layerId);
    if (!layer)
        return;
    Thumbnails().remove(layer->Id());
    emit SignalLayerHandlesObsolete(kind == app::LayerTypeForeground);
    RemoveLayerFromRenderer(layer);
    const app::LayerManagerPtr manager = project->GetLayerManager();
    if (kind == app::LayerTypeForeground)
        manager->RemoveForegroundLayer(layer->Id());
    else
        manager->RemoveLayer(layer->Id());
    // The text items follow the settings in force once the layer is gone.
    emit SignalTextItemsObsolete();
}

void Application::ClearLayer(const QUuid& layerId)
{
    const ProjectPtr project = GetDocument()->GetProject();
    const ImageLayerPtr layer = project && !layerId.isNull() ? project->GetLayerManager()->GetLayer(layerId) : nullptr;
    if (!layer)
        return;
    Thumbnails().remove(layer->Id());
    emit SignalLayerHandlesObsolete(false);
    RemoveLayerFromRenderer(layer);
    layer->ClearData();
}

QString Application::CurrentForegroundPath() const
{
    const ImageLayerPtr foreground = LayerOfKind(app::LayerTypeForeground);
    return foreground ? foreground->Path() : QString();
}

// ---- Canvas size and fits

void Application::SetCanvasDimensions(int width, int height)
{
    const ProjectPtr project = GetDocument()->GetProject();
    if (!project)
        return;
    const unsigned int sheetWidth = static_cast<unsigned int>(std::max(0, width));
    const unsigned int sheetHeight = static_cast<unsigned int>(std::max(0, height));
    app::Canvas& canvas = project->GetCanvas();
    canvas.SetActualDimensions(sheetWidth, sheetHeight);
    // A folded card prints its face on half the sheet, turned a quarter.
    const bool cardFace = canvas.PrintAsCard() && (canvas.DimensionType() == app::CanvasDimensionPreset ||
                                                   canvas.DimensionType() == app::CanvasDimensionCustom);
    if (!cardFace)
        canvas.SetDimensions(sheetWidth, sheetHeight);
    else if (canvas.Orientation() == app::CanvasOrientationPortrait)
        canvas.SetDimensions(sheetHeight / 2, sheetWidth);
    else
        canvas.SetDimensions(sheetHeight, sheetWidth / 2);
    UpdateOverlayFit(HXDownsampleFactor0, true);
    UpdateLayerFits(HXDownsampleFactor0, true);
}

void Application::UpdateOverlayFit(HXDownsampleFactor factor, bool refresh)
{
    const ProjectPtr project = GetDocument()->GetProject();
    if (!project)
        return;
    const app::ImageLayerSettingsPtr settings = project->GetLayerManager()->GetLayerSettings(app::LayerTypeOverlay);
    if (!settings)
        return;
    app::TransformList::Pointer item;
    if (settings->Transforms().GetFilterByType(app::TransformItemTypeFit, item) != app::LMerrSuccess)
        return;
    const auto fit = std::dynamic_pointer_cast<app::FitTransformItem>(item);
    if (!fit || fit->Fit() == app::FitToNone)
        return;
    const bool changed = app::FitOverlayToTransform(project, fit->Fit());
    if ((changed || factor == HXDownsampleFactor0) && refresh) {
        InvalidateLayerCache(app::LayerTypeOverlay, app::RenderLevelPostFilter, factor);
        RequestLayerRefresh(app::LayerTypeOverlay, app::RenderLevelPostFilter, factor);
    }
}

void Application::UpdateLayerFits(HXDownsampleFactor factor, bool refresh)
{
    const ProjectPtr project = GetDocument()->GetProject();
    if (!project)
        return;
    const std::shared_ptr<app::ImageLayerList> layers = project->GetLayerManager()->LayerList();
    bool invalidated = false;
    for (auto it = layers->ConstBegin(); it != layers->ConstEnd(); ++it) {
        const ImageLayerPtr& layer = it->second;
        if (!layer || layer->Type() != app::LayerTypeImage)
            continue;
        const bool changed = app::FitLayerToTransform(project, layer);
        if ((changed || factor == HXDownsampleFactor0) && refresh) {
            InvalidateCacheOfLayer(layer->Id(), app::RenderLevelPostFilter, factor);
            invalidated = true;
        }
    }
    if (invalidated && refresh)
        emit SignalCanvasRefreshRequested(factor);
}

} // namespace lumo::ui
