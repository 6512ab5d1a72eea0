// The picture pane and the thumbnail cache: what the pane shows for a layer, its shape, drops,
// the cache's folder and file names, the thumbnails the workers make, the selection display over
// the Application's foreground list, and a pane destroyed while its job runs.

#include "Grabs.h"
#include "RenderTestImages.h"
#include "UiTest.h"

#include "Shell/BatchSortProxyModel.h"
#include "Controls/ThumbnailCache.h"
#include "Controls/ThumbnailPreview.h"

#include "ForegroundImageLayer.h"
#include "LayerManager.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>

namespace lumo::ui::testing {
namespace {

using app::testing::JpegWithOrientation;
using app::testing::TwoHalves;
using app::testing::WriteFile;

const QRgb kRed = qRgb(220, 30, 30);
const QRgb kBlue = qRgb(30, 30, 220);

QImage Resource(const char* name)
{
    return QImage(QStringLiteral(":/DragDropWindow/") + QLatin1String(name));
}

class ThumbnailTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(folder.isValid());
        pane = std::make_unique<ThumbnailPreview>();
        pane->resize(400, 300);
        pane->show();
    }

    void TearDown() override
    {
        pane.reset();
        App().ForegroundItemModel()->removeRows(0, App().ForegroundItemModel()->rowCount());
        UiTest::TearDown();
    }

    QString WriteImage(const QString& name, const QImage& image)
    {
        const QString path = folder.filePath(name);
        EXPECT_TRUE(image.save(path));
        return path;
    }

    app::LayerManagerPtr Layers() const { return CurrentProject()->GetLayerManager(); }

    // A foreground of the project naming path, as a batch import leaves it.
    app::ForegroundImageLayerPtr AddForeground(const QString& path)
    {
        auto layer = std::make_shared<app::ForegroundImageLayer>(QFileInfo(path).fileName(), path);
        EXPECT_EQ(Layers()->AddForegroundLayer(layer), app::LMerrSuccess);
        return layer;
    }

    // A row of the Application's foreground list: column 4 the offline flag, column 5 the path.
    QPersistentModelIndex AddListRow(const QString& path, bool offline)
    {
        QStandardItemModel* model = App().ForegroundItemModel();
        QList<QStandardItem*> row;
        for (int column = 0; column < model->columnCount(); ++column)
            row.append(new QStandardItem);
        row[4]->setData(offline, Qt::DisplayRole);
        row[5]->setData(path, Qt::DisplayRole);
        model->appendRow(row);
        return QPersistentModelIndex(model->index(model->rowCount() - 1, 0));
    }

    // The project's cache folder, with its trailing "/".
    QString CacheFolder() const
    {
        QString cache;
        EXPECT_TRUE(GetThumbnailCacheFolder(CurrentProject()->CurrentThumbnailFolder(), cache));
        return cache;
    }

    QTemporaryDir folder;
    std::unique_ptr<ThumbnailPreview> pane;
};

// ---- The single-image display

TEST_F(ThumbnailTest, ALayerShowsItsThumbnailAndSizeOrAPlaceholder)
{
    const QString path = WriteImage(QStringLiteral("wide.png"), TwoHalves(320, 160, kRed, kBlue));
    ASSERT_TRUE(App().ImportImage(path, QUuid(), app::LayerTypeForeground));
    const app::ImageLayerPtr layer = Layers()->GetForeground(Layers()->CurrentForegroundId());
    ASSERT_TRUE(layer);
    QLabel* size = pane->DimensionsLabel();

    pane->DisplaySingleImage(layer);
    EXPECT_EQ(pane->Images(), QList<QImage>{*App().GetThumbnail(layer->Id())});
    EXPECT_FALSE(size->isHidden());
    EXPECT_EQ(size->text(), QStringLiteral("320 x 160"));
    EXPECT_EQ(pane->ImageRects(), QList<QRectF>{QRectF(0, 50, 400, 200)});
    EXPECT_TRUE(pane->EnabledLook());

    // A layer of no size shows its image without the label; a switched-off one is veiled.
    layer->SetDimensions(QSize(0, 0));
    Layers()->ForegroundLayerList()->SetEnabled(false);
    pane->DisplaySingleImage(layer);
    EXPECT_EQ(pane->Images().size(), 1);
    EXPECT_TRUE(size->isHidden());
    EXPECT_FALSE(pane->EnabledLook());

    const struct {
        const char* name;
        std::function<void()> show;
        QImage shown;
    } placeholders[] = {
        {"no layer", [&] { pane->DisplaySingleImage(nullptr, ThumbnailPreview::ImageTypeEmpty); },
         Resource("DragAndDrop.png")},
        {"offline layer", [&] { pane->DisplaySingleImage(layer, ThumbnailPreview::ImageTypeOffline); },
         Resource("OfflinePreviewClick.png")},
        {"offline list entry", [&] { pane->DisplayOfflineImage(QModelIndex()); }, Resource("OfflinePreview.png")},
        {"project information", [&] { pane->DisplayProjectInfo(); }, Resource("DragAndDrop.png")},
    };
    for (const auto& c : placeholders) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.shown.isNull());
        pane->DisplaySingleImage(layer);
        c.show();
        EXPECT_EQ(pane->Images(), QList<QImage>{c.shown});
        EXPECT_TRUE(size->isHidden());
        EXPECT_TRUE(pane->CountLabel()->isHidden());
    }
    // The offline entry of the list is shown as it is, never veiled.
    pane->DisplaySingleImage(layer);
    ASSERT_FALSE(pane->EnabledLook());
    pane->DisplayOfflineImage(QModelIndex());
    EXPECT_TRUE(pane->EnabledLook());
}

TEST_F(ThumbnailTest, ThePaneStaysThreeQuartersAsHighAsWideAndFitsWholeImages)
{
    pane->resize(400, 100);
    EXPECT_EQ(pane->size(), QSize(400, 300));
    pane->resize(321, 300);
    EXPECT_EQ(pane->height(), 240);

    pane->resize(400, 300);
    const struct {
        QSize image;
        QRectF rect;
    } cases[] = {
        {{800, 400}, {0, 50, 400, 200}},   // wide: as wide as the pane
        {{300, 600}, {125, 0, 150, 300}},  // tall: as high
        {{500, 400}, {12.5, 0, 375, 300}}, // a little wider than high still fits in height
    };
    for (const auto& c : cases) {
        QImage image(c.image, QImage::Format_RGB32);
        image.fill(Qt::gray);
        const QString path = WriteImage(QStringLiteral("fit.png"), image);
        ASSERT_TRUE(App().ImportImage(path, QUuid(), app::LayerTypeForeground));
        pane->DisplaySingleImage(Layers()->GetForeground(Layers()->CurrentForegroundId()));
        EXPECT_EQ(pane->ImageRects(), QList<QRectF>{c.rect}) << c.image.width() << " x " << c.image.height();
    }
}

// ---- Drops and clicks

TEST_F(ThumbnailTest, AcceptsDragsOfFilesButNotOfOneFolder)
{
    const QString file = WriteImage(QStringLiteral("a.png"), TwoHalves(8, 8, kRed, kBlue));
    const QString other = WriteImage(QStringLiteral("b.png"), TwoHalves(8, 8, kRed, kBlue));
    const QUrl folderUrl = QUrl::fromLocalFile(folder.path());
    const struct {
        const char* name;
        QList<QUrl> urls;
        bool accepted;
    } cases[] = {
        {"one folder", {folderUrl}, false},
        {"one file", {QUrl::fromLocalFile(file)}, true},
        {"two files", {QUrl::fromLocalFile(file), QUrl::fromLocalFile(other)}, true},
        // Several entries are handed on as they are: the import sorts them out.
        {"a folder and a file", {folderUrl, QUrl::fromLocalFile(file)}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QMimeData data;
        data.setUrls(c.urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        enter.setAccepted(false);
        QCoreApplication::sendEvent(pane.get(), &enter);
        EXPECT_EQ(enter.isAccepted(), c.accepted);
        EXPECT_EQ(pane->backgroundRole(), c.accepted ? QPalette::Midlight : QPalette::Shadow);
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(pane.get(), &leave);
        EXPECT_EQ(pane->backgroundRole(), QPalette::Shadow);
    }
    QMimeData text;
    text.setText(file);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, {});
    enter.setAccepted(false);
    QCoreApplication::sendEvent(pane.get(), &enter);
    EXPECT_FALSE(enter.isAccepted()) << "only file drags";
}

TEST_F(ThumbnailTest, ADropHandsTheFilesOnAndALeftClickIsReported)
{
    std::vector<const QMimeData*> dropped;
    QObject::connect(pane.get(), &ThumbnailPreview::DragDropDataAdded,
                     [&](const QMimeData* data) { dropped.push_back(data); });
    QSignalSpy clicked(pane.get(), &ThumbnailPreview::MousePressDetected);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(folder.filePath(QStringLiteral("a.png"))),
                  QUrl::fromLocalFile(folder.filePath(QStringLiteral("b.png")))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(pane.get(), &enter);
    // The file manager proposes a move; the files are copied.
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    drop.setDropAction(Qt::MoveAction);
    QCoreApplication::sendEvent(pane.get(), &drop);

    EXPECT_EQ(dropped, std::vector<const QMimeData*>{&data});
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(pane->backgroundRole(), QPalette::Shadow);

    QTest::mouseClick(pane.get(), Qt::RightButton);
    EXPECT_EQ(clicked.count(), 0);
    QTest::mouseClick(pane.get(), Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
}

// ---- The cache on disk

TEST_F(ThumbnailTest, TheCacheFolderIsOnePlainFolderUnderTheRoot)
{
    QString root;
    ASSERT_TRUE(GetThumbnailCacheRoot(root));
    EXPECT_EQ(root, qEnvironmentVariable("XDG_CACHE_HOME") + QStringLiteral("/Halvern/Halvern Lumora 4/cache"));
    const QString name = NewThumbnailFolderName();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{17}$")).match(name).hasMatch()) << name.toStdString();
    QString cache;
    ASSERT_TRUE(GetThumbnailCacheFolder(name, cache));
    EXPECT_EQ(cache, root + QLatin1Char('/') + name + QLatin1Char('/'));
    EXPECT_TRUE(QFileInfo(cache).isDir());

    // A project file names the folder: nothing outside the root, and nothing for no name.
    for (const QString& unsafe : {QString(), QStringLiteral("."), QStringLiteral(".."), QStringLiteral("../elsewhere"),
                                  QStringLiteral("a/b"), QStringLiteral("a\\b")}) {
        QString untouched = QStringLiteral("as it was");
        EXPECT_FALSE(GetThumbnailCacheFolder(unsafe, untouched)) << unsafe.toStdString();
        EXPECT_EQ(untouched, QStringLiteral("as it was"));
    }
    EXPECT_FALSE(QFileInfo::exists(root + QStringLiteral("/../elsewhere")));
}

TEST_F(ThumbnailTest, CacheNamesFollowThePathTheTimeAndTheSize)
{
    const QString path = WriteImage(QStringLiteral("photo.png"), TwoHalves(16, 8, kRed, kBlue));
    const QString name = ThumbnailCacheFileName(path);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{32}\\.png$")).match(name).hasMatch())
        << name.toStdString();
    EXPECT_EQ(ThumbnailCacheFileName(path), name);
    EXPECT_TRUE(ThumbnailCacheFileName(folder.filePath(QStringLiteral("missing.png"))).isEmpty());

    // Touched: a new modification time, a new name.
    QFile touched(path);
    ASSERT_TRUE(touched.open(QIODevice::ReadWrite));
    ASSERT_TRUE(touched.setFileTime(QFileInfo(path).lastModified().addSecs(-3600), QFileDevice::FileModificationTime));
    touched.close();
    EXPECT_NE(ThumbnailCacheFileName(path), name);

    // Two names in a script beyond Latin-1, of the same length, time and size: as ASCII both
    // would read "????1.png".
    const QImage same = TwoHalves(16, 8, kRed, kBlue);
    const QString first = WriteImage(QStringLiteral("фото1.png"), same);
    const QString sameLength = WriteImage(QStringLiteral("фата1.png"), same);
    QFile other(sameLength);
    ASSERT_TRUE(other.open(QIODevice::ReadWrite));
    ASSERT_TRUE(other.setFileTime(QFileInfo(first).lastModified(), QFileDevice::FileModificationTime));
    other.close();
    ASSERT_EQ(QFileInfo(first).size(), QFileInfo(sameLength).size());
    EXPECT_NE(ThumbnailCacheFileName(first), ThumbnailCacheFileName(sameLength));
}

TEST_F(ThumbnailTest, TheWorkerMakesATurnedThumbnailOrAnEmptyResult)
{
    QString cache;
    ASSERT_TRUE(GetThumbnailCacheFolder(NewThumbnailFolderName(), cache));
    const CheckAndCreateThumbnail make(cache);

    // Held on its side (EXIF orientation 6): 400 wide as stored, turned a quarter clockwise, so the
    // left half is on top; the same picture as the in-memory thumbnail.
    const QString turned = folder.filePath(QStringLiteral("turned.jpg"));
    ASSERT_TRUE(WriteFile(turned, JpegWithOrientation(TwoHalves(640, 320, kRed, kBlue), 6)));
    const QString file = make({turned, QString()});
    ASSERT_EQ(file, cache + ThumbnailCacheFileName(turned));
    const QImage thumbnail(file);
    ASSERT_EQ(thumbnail.size(), QSize(200, 400));
    EXPECT_NEAR(qRed(thumbnail.pixel(100, 40)), qRed(kRed), 40);
    EXPECT_NEAR(qBlue(thumbnail.pixel(100, 360)), qBlue(kBlue), 40);
    EXPECT_EQ(thumbnail.convertToFormat(QImage::Format_RGB32),
              CreateOrientedThumbnail(QImage(turned), turned)->convertToFormat(QImage::Format_RGB32));

    // A cache file the layer remembers is used as it is.
    QFile remembered(file);
    ASSERT_TRUE(remembered.open(QIODevice::WriteOnly));
    remembered.write("kept");
    remembered.close();
    EXPECT_EQ(make({turned, file}), file);
    EXPECT_EQ(QFileInfo(file).size(), 4);
    // Not remembered: made again.
    EXPECT_EQ(make({turned, QString()}), file);
    EXPECT_EQ(QImage(file).size(), QSize(200, 400));

    // Nothing to make, nothing readable, nowhere to write: no file.
    const QString text = folder.filePath(QStringLiteral("notes.png"));
    ASSERT_TRUE(WriteFile(text, "not an image"));
    const QString blocked = WriteImage(QStringLiteral("blocked.png"), TwoHalves(16, 8, kRed, kBlue));
    ASSERT_TRUE(QDir().mkpath(cache + ThumbnailCacheFileName(blocked))); // a folder where the file would go
    const struct {
        const char* name;
        ThumbnailRequest request;
    } empty[] = {
        {"unknown to the project", {}},
        {"missing", {folder.filePath(QStringLiteral("missing.png")), QString()}},
        {"not an image", {text, QString()}},
        {"cannot be saved", {blocked, QString()}},
    };
    for (const auto& c : empty)
        EXPECT_TRUE(make(c.request).isEmpty()) << c.name;
    EXPECT_TRUE(CheckAndCreateThumbnail(QString())({turned, QString()}).isEmpty()) << "no cache folder";
    EXPECT_EQ(QDir(cache).entryList(QDir::Files), QStringList{QFileInfo(file).fileName()});
}

// ---- The selection display

TEST_F(ThumbnailTest, ASelectionShowsTheThumbnailsOfTheListsLastFourEntries)
{
    const QString sky = WriteImage(QStringLiteral("sky.png"), TwoHalves(320, 160, kBlue, kBlue));
    const QString portrait = WriteImage(QStringLiteral("portrait.png"), TwoHalves(160, 320, kRed, kRed));
    const QString unknown = WriteImage(QStringLiteral("unknown.png"), TwoHalves(160, 160, kRed, kBlue));
    const app::ForegroundImageLayerPtr skyLayer = AddForeground(sky);
    const app::ForegroundImageLayerPtr portraitLayer = AddForeground(portrait);
    AddForeground(folder.filePath(QStringLiteral("gone.png")));
    ASSERT_TRUE(CurrentProject()->CurrentThumbnailFolder().isEmpty());

    // Selected through the sorting proxy, as the list view hands it on; the last entry comes first.
    const QList<QPersistentModelIndex> rows = {AddListRow(sky, false), AddListRow(portrait, false),
                                               AddListRow(folder.filePath(QStringLiteral("gone.png")), true),
                                               AddListRow(unknown, false)};
    QList<QPersistentModelIndex> selection;
    for (const QPersistentModelIndex& row : rows)
        selection.append(App().ForegroundSortModel()->mapFromSource(row));
    QSignalSpy shown(pane.get(), &ThumbnailPreview::SelectionDisplayed);
    pane->DisplaySelection(selection);
    ASSERT_TRUE(shown.wait(10000));

    const QString folderName = CurrentProject()->CurrentThumbnailFolder();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{17}$")).match(folderName).hasMatch());
    const QString cache = CacheFolder();
    EXPECT_EQ(pane->Mode(), ThumbnailPreview::DisplayModeSelection);
    EXPECT_FALSE(pane->CountLabel()->isHidden());
    EXPECT_EQ(pane->CountLabel()->text(), QStringLiteral("4"));
    EXPECT_TRUE(pane->DimensionsLabel()->isHidden());
    const QList<QImage> images = pane->Images();
    ASSERT_EQ(images.size(), 4);
    EXPECT_TRUE(images[0].isNull()) << "a file the project does not know gets no thumbnail";
    EXPECT_EQ(images[1], Resource("OfflinePreview.png"));
    EXPECT_EQ(images[2].size(), QSize(400, 800));
    EXPECT_EQ(images[3].size(), QSize(400, 200));
    EXPECT_EQ(portraitLayer->ThumbnailFilename(), cache + ThumbnailCacheFileName(portrait));
    EXPECT_EQ(skyLayer->ThumbnailFilename(), cache + ThumbnailCacheFileName(sky));
    // A quarter of the pane each: the portrait 75 x 150.
    EXPECT_EQ(pane->ImageRects()[2], QRectF(62.5, 0, 75, 150));

    // One entry: its size, no count. The layer remembers its file, which is used as it is.
    QImage marked(400, 200, QImage::Format_RGB32);
    marked.fill(Qt::green);
    ASSERT_TRUE(marked.save(skyLayer->ThumbnailFilename(), "PNG"));
    pane->DisplaySelection({selection[0]});
    ASSERT_TRUE(shown.wait(10000));
    EXPECT_EQ(pane->Mode(), ThumbnailPreview::DisplayModeSingle);
    EXPECT_TRUE(pane->CountLabel()->isHidden());
    EXPECT_FALSE(pane->DimensionsLabel()->isHidden());
    EXPECT_EQ(pane->DimensionsLabel()->text(), QStringLiteral("320 x 160"));
    ASSERT_EQ(pane->Images().size(), 1);
    EXPECT_EQ(pane->Images()[0].pixel(200, 100), QColor(Qt::green).rgb());

    // The offline entry alone hides the size.
    pane->DisplaySelection({selection[2]});
    ASSERT_TRUE(shown.wait(10000));
    EXPECT_TRUE(pane->DimensionsLabel()->isHidden());

    // A project file naming a folder outside the cache gets no cache: placeholders only.
    CurrentProject()->SetCurrentThumbnailFolder(QStringLiteral("../outside"));
    shown.clear();
    pane->DisplaySelection(selection);
    EXPECT_EQ(shown.count(), 1);
    EXPECT_FALSE(pane->IsMakingThumbnails());
    const QList<QImage> placeholders = pane->Images();
    ASSERT_EQ(placeholders.size(), 4);
    EXPECT_TRUE(placeholders[0].isNull() && placeholders[2].isNull() && placeholders[3].isNull());
    EXPECT_EQ(placeholders[1], Resource("OfflinePreview.png"));
    EXPECT_EQ(pane->CountLabel()->text(), QStringLiteral("4"));
    QString root;
    ASSERT_TRUE(GetThumbnailCacheRoot(root));
    EXPECT_FALSE(QFileInfo::exists(root + QStringLiteral("/../outside")));
}

// Destroyed while the workers still read and write: the pane waits for them, and what they leave
// in the cache is whole. Run under the sanitizer and ThreadSanitizer builds too.
TEST_F(ThumbnailTest, APaneDestroyedDuringAJobWaitsForItsWorkers)
{
    QList<QPersistentModelIndex> selection;
    QImage large(2400, 1800, QImage::Format_RGB32);
    for (int i = 0; i < 4; ++i) {
        large.fill(QColor(40 * i, 120, 200 - 40 * i));
        const QString path = folder.filePath(QStringLiteral("large-%1.bmp").arg(i));
        ASSERT_TRUE(large.save(path, "BMP"));
        AddForeground(path);
        selection.append(AddListRow(path, false));
    }
    pane->DisplaySelection(selection);
    ASSERT_TRUE(pane->IsMakingThumbnails());
    pane.reset();

    const QString cache = CacheFolder();
    for (const QFileInfo& file : QDir(cache).entryInfoList(QDir::Files | QDir::Hidden)) {
        EXPECT_TRUE(file.fileName().endsWith(QStringLiteral(".png"))) << file.fileName().toStdString();
        EXPECT_EQ(QImage(file.filePath()).size(), QSize(400, 300)) << file.fileName().toStdString();
    }
    // No result reached the project: it is read and written on the GUI thread only.
    for (const QPersistentModelIndex& row : selection) {
        const auto layer = Layers()->GetForegroundFromPath(QModelIndex(row).siblingAtColumn(5).data().toString());
        ASSERT_TRUE(layer);
        EXPECT_TRUE(layer->ThumbnailFilename().isEmpty());
    }
    ProcessEvents();
}

// ---- For a person to look at

TEST_F(ThumbnailTest, GrabsOfThePane)
{
    const QString path = WriteImage(QStringLiteral("halves.png"), TwoHalves(600, 400, kRed, kBlue));
    ASSERT_TRUE(App().ImportImage(path, QUuid(), app::LayerTypeForeground));
    const app::ImageLayerPtr layer = Layers()->GetForeground(Layers()->CurrentForegroundId());
    const QString tall = WriteImage(QStringLiteral("tall.png"), TwoHalves(300, 500, kBlue, kRed));
    AddForeground(tall);
    QList<QPersistentModelIndex> selection = {AddListRow(path, false), AddListRow(tall, false),
                                              AddListRow(folder.filePath(QStringLiteral("gone.png")), true)};

    const std::vector<std::function<void(ThumbnailPreview&)>> states = {
        [&](ThumbnailPreview& p) { p.DisplaySingleImage(layer); },
        [&](ThumbnailPreview& p) { p.DisplayDragAndDropImage(); },
        [&](ThumbnailPreview& p) { p.DisplaySingleImage(layer, ThumbnailPreview::ImageTypeOffline); },
        [&](ThumbnailPreview& p) {
            QSignalSpy shown(&p, &ThumbnailPreview::SelectionDisplayed);
            p.DisplaySelection(selection);
            ASSERT_TRUE(shown.wait(10000));
        },
        [&](ThumbnailPreview& p) {
            p.DisplaySingleImage(layer);
            p.SetEnabledLook(false);
        },
    };
    QImage sheet(static_cast<int>(states.size()) * 330 + 10, 260, QImage::Format_RGB32);
    sheet.fill(QColor(26, 26, 26));
    QPainter painter(&sheet);
    for (std::size_t i = 0; i < states.size(); ++i) {
        ThumbnailPreview shownPane;
        shownPane.setStyleSheet(App().ApplicationStyleSheet());
        shownPane.resize(320, 240);
        shownPane.show();
        states[i](shownPane);
        ProcessEvents();
        painter.drawImage(QPoint(10 + static_cast<int>(i) * 330, 10), shownPane.grab().toImage());
    }
    painter.end();
    EXPECT_FALSE(SaveGrab(sheet, QStringLiteral("thumbnail-pane")).isEmpty());
}

} // namespace
} // namespace lumo::ui::testing
