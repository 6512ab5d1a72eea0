#pragma once

// The picture pane of the import boxes and the layer properties: a dark frame three quarters as high
// as it is wide that shows a layer's image with its pixel size, the drop invitation when there is
// none, or the offline picture, and that takes image files dropped on it. It can also show a
// selection of up to four images of the Application's foreground list, whose thumbnails are made on
// worker threads into the project's thumbnail cache (ThumbnailCache.h).

#include "ImageLayer.h"

#include <QFrame>
#include <QImage>
#include <QList>
#include <QPersistentModelIndex>
#include <QRectF>

#include <memory>
#include <vector>

class QLabel;
class QMimeData;

namespace lumo::ui {

class ThumbnailPreview : public QFrame {
    Q_OBJECT

public:
    // What DisplaySingleImage shows of a layer.
    enum ImageType {
        ImageTypeLayer = 0, // its thumbnail (the drop invitation without a layer)
        ImageTypeEmpty = 1, // the same; the import boxes pass it with no layer
        ImageTypeOffline = 2, // the offline picture that invites a click to find the file again
    };
    enum DisplayMode {
        DisplayModeSingle = 0,
        DisplayModeSelection = 1, // up to four images, a quarter of the pane each
    };

    explicit ThumbnailPreview(QWidget* parent = nullptr);
    // Cancels a running thumbnail job and waits for it.
    ~ThumbnailPreview() override;

    // The empty look: the drop invitation alone.
    void DisplayDragAndDropImage();
    // False paints a translucent veil over the pane (a switched-off layer).
    void SetEnabledLook(bool enabled);

    DisplayMode Mode() const;
    bool EnabledLook() const;
    // "W x H" of the shown image, shown in single mode.
    QLabel* DimensionsLabel() const;
    // The number of selected images, shown in selection mode.
    QLabel* CountLabel() const;
    // The shown images, in the order the selection display walks them (its last entry first), and
    // where each is drawn.
    QList<QImage> Images() const;
    QList<QRectF> ImageRects() const;
    // A selection's thumbnails are being made.
    bool IsMakingThumbnails() const;

signals:
    // Image files were dropped on the pane (a drag of one folder is refused).
    void DragDropDataAdded(const QMimeData* data);
    // A left click: the offline picture invites one to find the file again.
    void MousePressDetected();
    // The selection's thumbnails are made, or could not be: the pane shows them.
    void SelectionDisplayed();

public slots:
    // Shows the layer's thumbnail (dimmed when the layer is switched off) with its pixel size, or,
    // without a layer or thumbnail, the drop invitation; ImageTypeOffline shows the offline picture.
    void DisplaySingleImage(const lumo::app::ImageLayerPtr& layer, ImageType type = ImageTypeLayer);
    // Shows the last four entries of a selection of the Application's foreground list (column 4 the
    // offline flag, column 5 the file path; indices of the list or of its sorting proxy) and starts
    // making their thumbnails. The project gets a thumbnail folder name when it has none; without a
    // cache folder the entries keep their placeholders (SelectionDisplayed comes at once).
    void DisplaySelection(const QList<QPersistentModelIndex>& selection);
    void DisplayOfflineImage(const QModelIndex& index);
    void DisplayProjectInfo();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private slots:
    void ThumbnailReadyToDisplay(int index);
    void AllThumbnailsReady();

private:
    // Cancels the running job, waits for it, and lets none of its results reach the pane.
    void StopJob();
    void ShowPlaceholder(const QString& resource);
    void RecomputeRects();
    void SetHovered(bool hovered);

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace lumo::ui
