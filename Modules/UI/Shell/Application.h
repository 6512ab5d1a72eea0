#pragma once

#include "Shell/LumoDocument.h"
#include "Shell/MetaTypes.h"
#include "Shell/UserDialogs.h"

#include "Exif.h"
#include "LMerr.h"
#include "RenderProcessor.h"

#include <hvn/image/HXTypes.h>

#include <QApplication>
#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QUuid>

#include <exception>
#include <functional>
#include <memory>

class QItemSelectionModel;
class QPrinter;
class QStandardItemModel;

namespace lumo::ui {

class BatchSortProxyModel;
class CanvasView;
struct DecodedImage;
struct PhotoFileStamp;

// The program's QApplication and the hub between the interface, the document and the render
// pipeline. Every view reaches the project through GetDocument()->GetProject() at each call, asks
// here to invalidate render caches and to refresh the canvas (which ends in the canvas scene through
// the two refresh signals), and the canvas scene renders through RenderLayerToCanvas and
// RenderAllLayersToCanvas. Exceptions that escape an event handler end on the fatal road.
// GUI thread only.
class Application : public QApplication {
    Q_OBJECT

public:
    using RenderProcessorPtr = std::shared_ptr<app::RenderProcessor>;
    // Makes the render processor of a project for the screen rectangle; throws or sets code on
    // failure.
    using RenderProcessorFactory =
        std::function<RenderProcessorPtr(const app::ProjectPtr& project, const QRect& screen, app::LMerr& code)>;

    // argc is kept by reference by QApplication: it must outlive the application.
    Application(int& argc, char** argv);
    ~Application() override;

    // The running application (null before it is built and in programs without one).
    static Application* Instance();

    bool notify(QObject* receiver, QEvent* event) override;

    // ---- The document and the project
    LumoDocumentPtr GetDocument() const;
    // Opens the project file at path, or a new project from the built-in default for an empty path,
    // and makes its render processor. A file that cannot be loaded is reported to the user and
    // replaced by a new project; its code is returned. A file with more masks, text items or further
    // layers than the panels let a user add (Shell/Limits.h) counts as invalid (4). New and
    // replacing projects take the export
    // and canvas defaults stored in the settings. When the render processor cannot be made its code
    // is returned (55 out of memory, 44 otherwise) and the previous project and processor stay.
    app::LMerr OpenProject(const QString& path);

    // ---- Shared state of the views
    RenderProcessorPtr GetRenderProcessor() const;
    CanvasView* GetCanvasView() const;
    void SetCanvasView(CanvasView* view);
    // The side reserve of the canvas (toolset bar width + 4); -1 after opening a project until
    // the toolset bar sets it.
    int ToolsetWidth() const;
    void SetToolsetWidth(int width);
    // The top reserve of the canvas (canvas actions bar height + 4); 0 until the bar sets it.
    int CanvasActionsHeight() const;
    void SetCanvasActionsHeight(int height);
    // Set by export and printing around their full-resolution render: the canvas renders refuse
    // meanwhile (43).
    bool IsExporting() const;
    void SetExporting(bool exporting);
    // True after opening a project until the first foreground is imported.
    bool IsFirstForegroundPending() const;
    void SetFirstForegroundPending(bool pending);
    QPrinter& GetPrinter() const;
    // A change of the printer's page: made at once when the printer exists, else kept until its
    // first use (making it loads the print system, which the start has no need of). Of the kept
    // changes the latest of each setting counts, in the order they were asked for.
    enum class PrinterSetting { Resolution, PageSize, PageOrientation };
    void ChangePrinter(PrinterSetting setting, std::function<void(QPrinter&)> change);
    // Renders the current foreground's page for printing into a temporary PNG and hands it to the
    // print service; false without a current foreground or when the page could not be made or
    // painted (a cancelled print dialog is not a failure).
    bool PrintImage();
    // The text of ":CSS/MainWindow.css"; empty when it cannot be read.
    const QString& ApplicationStyleSheet() const;
    // The list of foreground images (7 columns), its sorting proxy and the selection over the
    // proxy; emptied by every OpenProject.
    QStandardItemModel* ForegroundItemModel() const;
    BatchSortProxyModel* ForegroundSortModel() const;
    QItemSelectionModel* ForegroundSelectionModel() const;
    // The thumbnail kept for a layer; empty when there is none.
    std::shared_ptr<QImage> GetThumbnail(const QUuid& layerId) const;

    // ---- Screen
    // The primary screen's rectangle; the render processor's window images have its size.
    QRect ScreenGeometry() const;
    // Where the canvas scene draws the rendered canvas image.
    QRect WindowCacheRect() const;

    // ---- Cache invalidation and refresh requests. A layer kind is a LayerType: 0 background,
    // 1 the current foreground, 2 overlay, 3 the selected layer of the layer list; other values do
    // nothing. A level that names no cache of the layer changes nothing.
    // Does nothing while the Effects toolset is current.
    void InvalidateLayerCache(int layerKind, int level, hvn::image::HXDownsampleFactor factor);
    // The layer, further layer or foreground with the id; the foreground slot's id means the
    // current foreground.
    void InvalidateCacheOfLayer(const QUuid& layerId, int level, hvn::image::HXDownsampleFactor factor);
    // Every layer of the composite, foreground from keying, the others from their placement.
    void InvalidateCompositeCaches(hvn::image::HXDownsampleFactor factor);
    // Both factors, or one.
    void InvalidateShadowCache();
    void InvalidateShadowCache(hvn::image::HXDownsampleFactor factor);
    // Emits the one-layer refresh signal with the layer's id (the foreground slot's fixed id for
    // kind 1); nothing when the layer is absent.
    void RequestLayerRefresh(int layerKind, app::RenderLevel level, hvn::image::HXDownsampleFactor factor);
    // Invalidates the composite caches at the factor (0 without one), then asks for a whole-canvas
    // redraw at full resolution.
    void RefreshCanvas();
    void RefreshCanvas(hvn::image::HXDownsampleFactor factor);

    // ---- Rendering for the canvas scene: 0, 43 while exporting (image untouched), 55 out of
    // memory, or another code of the render pipeline.
    // Re-renders one layer from the level (the foreground slot's id means the current foreground),
    // then composes the canvas into image.
    app::LMerr RenderLayerToCanvas(QImage& image, const QUuid& layerId, app::RenderLevel level,
                                   hvn::image::HXDownsampleFactor factor);
    // Re-renders every layer from its placement, then composes the canvas into image.
    app::LMerr RenderAllLayersToCanvas(QImage& image, hvn::image::HXDownsampleFactor factor);

    // ---- Images and layers
    // Loads an image file into a layer of the open project: kind 0 the background, 2 the overlay,
    // 3 the further layer with the id; kind 1 replaces every foreground by a new current one. The
    // image is checked first (its size from the file's header, before it is decoded); the layer
    // then takes the absolute path, the resolution, the size as the camera held it (turned for
    // EXIF orientations 6 and 8) and a thumbnail, and the render processor the pixels; the refresh
    // follows (the first foreground after opening a project redraws the whole canvas). False, with
    // nothing changed, after a warning for an image that cannot be read or is too large, and for
    // another kind or a missing layer. When the render processor cannot take the image (memory) the
    // user is told, a background, overlay or further layer keeps its previous image and a new
    // foreground is removed again.
    bool ImportImage(const QString& path, const QUuid& layerId, app::LayerType kind);
    // False, after a warning naming the path, for a null image or one of more than
    // MaximumImagePixels pixels. The warnings restore an override cursor the caller set.
    bool CheckImportImage(const QImage& image, const QString& path);
    // The same size check, from a size read without decoding.
    bool CheckImportImageSize(const QSize& size, const QString& path);
    // Loads the file a layer of the open project already names (background, overlay, further layer
    // or foreground, by id; the foreground slot's id means the current foreground), keeping the
    // layer with its id and settings, with an import's checks and refresh. A file that cannot be
    // found, or that failed to load and has not changed since, marks the layer offline without a
    // message; one that cannot be used is warned about and marks it offline too. False when the
    // layer is missing, names no file, or its file is offline or cannot be used.
    bool ReloadLayerImage(const QUuid& layerId);
    // The reload form of the import: loads the file at path (a relinked or returned file) into that
    // same layer, which keeps its id, name and settings, where ImportImage of kind 1 would make a
    // new foreground. A chosen file that cannot be used is warned about; the layer is then as it was.
    bool ReloadLayerImage(const QUuid& layerId, const QString& path);
    // Reloads the images of every layer of the open project that names a file (background,
    // further layers, overlay, current foreground), as reopening a project needs, then redraws the
    // whole canvas once. A photo that cannot be used (missing, not a plain file, too large, not an
    // image, cut short) leaves its layer offline with its path, and one message lists them all.
    // True when each of them loaded.
    bool LoadProjectImages();
    // True when the photo at path failed to load and its file has not changed since (the same
    // size and times, or still not a plain file): loading it again would fail and warn again. The
    // panels' offline checks, which run at every activation of the window, leave it offline, and
    // a reload of a layer's own file does not try it; a file the user chooses is always tried.
    bool IsUnchangedFailedPhoto(const QString& path) const;
    // A large JPEG is shown from a preview decoded at the preview's size, and decoded whole on a
    // worker thread meanwhile, which then completes its layer and redraws the canvas at full
    // resolution; until then the canvas shows the preview. True while a layer of the open project
    // waits for its whole photo.
    bool AwaitsWholePhotos() const;
    // Waits for every whole decode under way and completes the layers (export and printing, which
    // need the whole photos). A photo that cannot be decoded whole after all is warned about and its
    // layer is marked offline, to be relinked.
    void FinishPhotoDecodes();
    // From now on whole decodes wait, their photos shown from the previews, until a render for the
    // canvas has drawn them: they start once that paint is done (or when FinishPhotoDecodes needs
    // them). At start-up, so that the previews' decode, the window and the first render of the
    // canvas do not share the processors with them.
    void HoldPhotoDecodes();
    // Removes a layer from the canvas view, the render processor and the project: kind 0 the
    // background and 2 the overlay (emptied in their slots), 1 the current foreground, 3 the further
    // layer with the id. Other kinds and missing layers: nothing.
    void RemoveImageLayer(const QUuid& layerId, app::LayerType kind);
    // Empties the background, overlay or further layer with the id but keeps it in the project.
    void ClearLayer(const QUuid& layerId);
    // Frees the layer's render caches and asks for a whole-canvas redraw.
    void RemoveLayerFromRenderer(const app::ImageLayerPtr& layer);
    // The file of the current foreground; empty when there is none.
    QString CurrentForegroundPath() const;
    // Sets the printed sheet to width x height pixels and the canvas to it, or to one face of it
    // when it is printed as a folded card; then refits the overlay and the further layers.
    void SetCanvasDimensions(int width, int height);
    // Applies the overlay's fit mode to its placement; when it changed, or always at factor 0, and
    // refresh is asked for, the overlay is redrawn from its placement.
    void UpdateOverlayFit(hvn::image::HXDownsampleFactor factor, bool refresh);
    // The same for every further layer, with one whole-canvas redraw.
    void UpdateLayerFits(hvn::image::HXDownsampleFactor factor, bool refresh);

    // ---- Dialogs and the fatal road
    UserDialogs& Dialogs() const;
    // Replaces the dialogs (tests); null returns to the standard ones.
    void SetDialogs(std::unique_ptr<UserDialogs> dialogs);
    // What the fatal road runs when the user asks to save before the program ends (the main
    // window's Save As); none: no question.
    void SetSaveProjectHandler(std::function<bool()> save);
    // Reports an exception that must end the program, from a queued call, so that it never
    // unwinds through Qt. While one report is pending or showing, further ones are dropped.
    void PostFatalError(std::exception_ptr error);

    // Replaces how render processors are made (tests); empty returns to the standard one.
    void SetRenderProcessorFactory(RenderProcessorFactory factory);

signals:
    void SignalStandardQuickExportClicked();
    void SignalCheckOfflineImages();
    void SignalCanvasRefreshRequested(const QUuid& layerId, lumo::app::RenderLevel level,
                                      hvn::image::HXDownsampleFactor factor);
    void SignalCanvasRefreshRequested(hvn::image::HXDownsampleFactor factor);
    void SignalMaskDragDropClosed(bool closed);
    void SignalMaskEnableClosed(bool enable);
    // For the canvas view in use (GetCanvasView): a layer is about to leave the renderer, so its
    // handles go, and with the foreground also the shadow quad.
    void SignalLayerHandlesObsolete(bool foregroundRemoved);
    // A layer was removed: the text items are made again from the settings now in force.
    void SignalTextItemsObsolete();

private:
    void ReportFatalError(const std::exception_ptr& error);
    app::LMerr MakeRenderProcessor(const app::ProjectPtr& project, RenderProcessorPtr& processor) const;
    // The layer of a kind in the current project; kind 3 takes id, or the selected layer without one.
    app::ImageLayerPtr LayerOfKind(int layerKind, const QUuid& id = QUuid()) const;
    app::ImageLayerPtr LayerWithId(const QUuid& id) const;
    // Images and layers
    QHash<QUuid, std::shared_ptr<QImage>>& Thumbnails();
    // The layer an import or removal of the kind acts on: kind 3 only by its id.
    app::ImageLayerPtr TargetLayer(app::LayerType kind, const QUuid& id) const;
    // Reads and checks the image file (size first, from its header), with the warnings; a large
    // JPEG as its preview. A file that cannot be used is remembered as failed first.
    bool ReadImportImage(const QString& absolutePath, DecodedImage& decoded);
    // The warnings for a decoded file that is too large or no image; true when it can be used.
    bool CheckDecodedImage(const DecodedImage& decoded, const QString& absolutePath);
    // Puts a checked image, or a photo's preview, into the layer and the render processor (a
    // preview's whole decode is started) and forgets an earlier failure of the file; on failure
    // the layer is as it was and the render processor's code is returned, for the caller to tell.
    app::LMerr PlaceImageInLayer(const app::ImageLayerPtr& layer, DecodedImage decoded, const QString& absolutePath);
    // Photos that failed to load, by absolute path, with their files as they were then.
    QHash<QString, PhotoFileStamp>& FailedPhotos();
    const QHash<QString, PhotoFileStamp>& FailedPhotos() const;
    void RememberFailedPhoto(const QString& absolutePath);
    void DecodeWholePhoto(const app::ImageLayerPtr& layer, const QString& absolutePath);
    // Gives the layer its whole photo once decoded (the decode taken off the list), or warns.
    void CompletePhotoDecode(const QUuid& layerId);
    void ForgetPhotoDecodes();
    // Ends the hold: the held whole decodes start; at once, or from the event loop (after the paint
    // that asked for a render).
    void StartHeldPhotoDecodes();
    void StartHeldPhotoDecodesLater();
    // The factor a canvas render can be made at: full resolution falls back to the preview while
    // a photo waits for its whole decode.
    hvn::image::HXDownsampleFactor RenderableFactor(hvn::image::HXDownsampleFactor factor);
    // Reads the file at path into the layer, with the warnings.
    // chosen: the user chose the file; otherwise it is the layer's own, left offline without a try
    // while it is missing or unchanged since it failed.
    bool LoadLayerFile(const app::ImageLayerPtr& layer, const QString& path, bool chosen);
    void RefreshAfterImport(const app::ImageLayerPtr& layer);
    void ReportLayerImageFailure(app::LMerr code, const QString& absolutePath);

    struct Private;
    std::unique_ptr<Private> d;
};

// Why an image file gave no pixels.
enum class PhotoFailure {
    None,
    NotFound,   // nothing at the path
    NotAFile,   // a folder, a fifo or a device: never opened
    TooLarge,   // more pixels than the import limit (from the header, or once decoded)
    NotAnImage, // no decoder reads it
    Incomplete, // its data stops short: a JPEG cut off before its end
};

// An image file as read: the size its header states (invalid when it states none; for an image
// over the import limit without one, its decoded size) and its pixels, which are null whenever
// failure is not None. previewOnly: the pixels are only the photo's preview; headerSize is then
// the photo's size.
struct DecodedImage {
    QSize headerSize;
    QImage image;
    bool previewOnly = false;
    PhotoFailure failure = PhotoFailure::None;
};

// Reads an image file for a layer, without messages; safe on any thread. Only a plain file is
// opened. previewFirst: a photo that decodes much faster at the preview's size (a large JPEG) is
// read at that size only.
DecodedImage DecodeImageFile(const QString& absolutePath, bool previewFirst = false);

// A photo's file as it was when the photo failed to load from it; another stamp means the file
// changed.
struct PhotoFileStamp {
    bool isFile = false;
    qint64 size = -1;
    QDateTime modified;
    QDateTime statusChanged;
    bool operator==(const PhotoFileStamp&) const = default;

    static PhotoFileStamp Of(const QString& path);
};

// The camera was held on its side (EXIF orientation 6 or 8): the picture as seen is the file's
// pixels turned a quarter, its width and height swapped.
bool TurnsQuarter(app::EXIF::Orientation orientation);

// The thumbnail of an image read from path: scaled to 400 pixels wide, then turned by the file's
// EXIF orientation (6 a quarter turn clockwise, 8 anticlockwise, so those are 400 pixels high).
std::shared_ptr<QImage> CreateOrientedThumbnail(const QImage& image, const QString& path);

// Runs f; an exception it throws goes to the application's fatal road instead of through Qt. For
// paint handlers and slots, where an exception must not unwind into Qt.
template <typename F>
void RunGuarded(F&& f) noexcept
{
    try {
        f();
    } catch (...) {
        if (Application* app = Application::Instance())
            app->PostFatalError(std::current_exception());
    }
}

} // namespace lumo::ui
