// Projects whose photographs cannot be used, opened by each road (command line, File > Open, the
// recent list): one message lists them, the window goes on working with its canvas painting
// throughout, and the activations of the window that follow say nothing more until a file
// changes. A project with more items than the panels allow is refused as invalid.

#include "GreenScreenProject.h"
#include "RenderTestImages.h"
#include "UiTest.h"

#include "Canvas/CanvasScene.h"
#include "Canvas/CanvasView.h"
#include "Controls/TableWidget.h"
#include "Shell/Limits.h"
#include "Window/MainWindow.h"
#include "Window/StartUp.h"
#include "Toolbox/MasksWidget.h"

#include "ForegroundImageLayer.h"
#include "LayerManager.h"
#include "LayerSettings.h"
#include "Mask.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <memory>

namespace lumo::ui::testing {
namespace {

using app::testing::Jpeg;
using app::testing::JpegClaimingSize;
using app::testing::WriteFile;

enum class Damage { ClaimsHugeSize, HugePng, CutJpeg, Missing, Folder, Fifo, Device };
enum class Road { CommandLine, FileOpen, RecentList };

QImage SmallPhoto()
{
    QImage photo(320, 240, QImage::Format_RGB32);
    photo.fill(qRgb(40, 160, 90));
    return photo;
}

// Puts a photo that cannot be used where path was.
void DamagePhoto(const QString& path, Damage damage)
{
    ASSERT_TRUE(QFile::remove(path));
    switch (damage) {
    case Damage::ClaimsHugeSize:
        ASSERT_TRUE(WriteFile(path, JpegClaimingSize(Jpeg(SmallPhoto()), 65535, 65535)));
        break;
    case Damage::HugePng: {
        // A true 15000 x 15000 photo: 225 megapixels.
        QImage huge(15000, 15000, QImage::Format_Mono);
        huge.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
        huge.fill(1);
        ASSERT_TRUE(huge.save(path, "PNG"));
        break;
    }
    case Damage::CutJpeg: {
        const QByteArray whole = Jpeg(SmallPhoto());
        ASSERT_TRUE(WriteFile(path, whole.left(whole.size() / 2)));
        break;
    }
    case Damage::Missing:
        break;
    case Damage::Folder:
        ASSERT_TRUE(QDir().mkdir(path));
        break;
    case Damage::Fifo:
        ASSERT_EQ(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        break;
    case Damage::Device:
        ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path));
        break;
    }
}

struct OpenCase {
    const char* name;
    Damage damage;
    Road road;
    const char* reason; // as the message gives it after the path
};

void PrintTo(const OpenCase& c, std::ostream* out)
{
    *out << c.name;
}

class PhotoWindowTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(folder.isValid());
        written = WriteGreenScreenProject(folder.path(), 0.05);
    }

    void TearDown() override
    {
        window.reset();
        UiTest::TearDown();
    }

    // Starts as the program does, with the project on the command line, and shows the window.
    void Start(const QString& project)
    {
        QString path;
        ASSERT_TRUE(StartApplication(App(), {"Lumora4", project}, path, nullptr));
        window = std::make_unique<MainWindow>(path);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_TRUE(QTest::qWaitFor([this] { return window->GetCanvasScene()->IsDrawingEnabled(); }, 10000));
        Paint();
    }

    // The canvas painted as the screen would: a pending render is carried out.
    QImage Paint() const { return window->GetCanvasView()->grab().toImage(); }

    // What the window manager does when the window comes to the front again, as after every
    // closed message box.
    void Activate(int times)
    {
        for (int i = 0; i < times; ++i) {
            QEvent activate(QEvent::WindowActivate);
            QApplication::sendEvent(window.get(), &activate);
            ProcessEvents();
        }
    }

    std::size_t Messages() { return Dialogs().RequestsOf(DialogRequest::Message).size(); }

    app::ImageLayerPtr Foreground() const
    {
        const app::LayerManagerPtr manager = CurrentProject()->GetLayerManager();
        return manager->GetForeground(manager->CurrentForegroundId());
    }

    // The window still works: the canvas renders and paints what it rendered, pixels that are the
    // scene's to read.
    void ExpectWorkingCanvas()
    {
        QImage rendered;
        EXPECT_EQ(App().RenderAllLayersToCanvas(rendered, hvn::image::HXDownsampleFactor0), app::LMerrSuccess);
        App().RefreshCanvas();
        EXPECT_FALSE(Paint().isNull());
        const QImage& shown = window->GetCanvasScene()->CanvasImage();
        ASSERT_FALSE(shown.isNull());
        qint64 sum = 0;
        for (int y = 0; y < shown.height(); y += 7)
            for (const uchar* byte = shown.constScanLine(y); byte < shown.constScanLine(y) + shown.bytesPerLine(); byte += 13)
                sum += *byte;
        EXPECT_GE(sum, 0);
    }

    QTemporaryDir folder;
    GreenScreenProject written;
    std::unique_ptr<MainWindow> window;
};

class UnreadablePhotoTest : public PhotoWindowTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(UnreadablePhotoTest, IsListedOnceAndTheWindowGoesOnWorking)
{
    const OpenCase& c = GetParam();
    const QString photo = written.photoPath;
    if (c.road == Road::CommandLine) {
        DamagePhoto(photo, c.damage);
        Dialogs().AnswerMessage(QMessageBox::Ok);
        Start(written.projectPath);
    } else {
        // The canvas shows the project as it was; it is opened again over it, and the canvas
        // paints while the message is open.
        Start(written.projectPath);
        DamagePhoto(photo, c.damage);
        bool painted = false;
        const auto paintMeanwhile = [&] { painted = !Paint().isNull(); };
        if (c.road == Road::FileOpen) {
            Dialogs().AnswerFiles({written.projectPath}).AnswerMessage(QMessageBox::Ok, paintMeanwhile);
            ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), "SlotOpenProject"));
        } else {
            Dialogs().AnswerMessage(QMessageBox::Ok, paintMeanwhile);
            QAction* newest = nullptr;
            for (QMenu* menu : window->menuBar()->findChildren<QMenu*>())
                if (menu->title().remove('&') == "Recent Projects")
                    newest = menu->actions().value(0);
            ASSERT_NE(newest, nullptr);
            ASSERT_EQ(newest->data().toString(), written.projectPath);
            newest->trigger();
        }
        EXPECT_TRUE(painted);
    }

    ASSERT_EQ(Messages(), 1u);
    const MessageRequest message = Dialogs().RequestsOf(DialogRequest::Message).front().message;
    EXPECT_EQ(message.icon, QMessageBox::Warning);
    EXPECT_TRUE(message.text.contains(QStringLiteral("%1 (%2)").arg(QDir::toNativeSeparators(photo), c.reason)))
        << message.text.toStdString();
    EXPECT_FALSE(message.text.contains(written.backgroundPath));

    // The project keeps the photo's layer and path, offline; the other layers are there.
    EXPECT_EQ(window->CurrentProjectPath(), written.projectPath);
    ASSERT_TRUE(Foreground());
    EXPECT_EQ(Foreground()->Path(), photo);
    EXPECT_TRUE(Foreground()->IsOffline());
    EXPECT_TRUE(App().GetThumbnail(CurrentProject()->GetLayerManager()->GetBackground()->Id()));

    // Every closed message activates the window, whose offline checks find the photo as it was.
    Activate(3);
    EXPECT_EQ(Messages(), 1u);
    EXPECT_TRUE(Foreground()->IsOffline());
    ExpectWorkingCanvas();
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Roads, UnreadablePhotoTest, ::testing::Values(
    //       name                              damage                  road                reason
    // Qt's JPEG reader refuses sides over 65500 in the header already: no image to it.
    OpenCase{"ClaimsHugeSizeByCommandLine",    Damage::ClaimsHugeSize, Road::CommandLine, "not a valid image, or of a type not supported"},
    OpenCase{"ClaimsHugeSizeByFileOpen",       Damage::ClaimsHugeSize, Road::FileOpen,    "not a valid image, or of a type not supported"},
    OpenCase{"ClaimsHugeSizeByRecentList",     Damage::ClaimsHugeSize, Road::RecentList,  "not a valid image, or of a type not supported"},
    OpenCase{"HugePngByCommandLine",           Damage::HugePng,        Road::CommandLine, "dimensions over the maximum supported"},
    OpenCase{"HugePngByFileOpen",              Damage::HugePng,        Road::FileOpen,    "dimensions over the maximum supported"},
    OpenCase{"CutJpegByFileOpen",              Damage::CutJpeg,        Road::FileOpen,    "incomplete or damaged"},
    OpenCase{"MissingByFileOpen",              Damage::Missing,        Road::FileOpen,    "not found"},
    OpenCase{"FolderByFileOpen",               Damage::Folder,         Road::FileOpen,    "not a file"},
    OpenCase{"FifoByFileOpen",                 Damage::Fifo,           Road::FileOpen,    "not a file"},
    OpenCase{"DeviceByFileOpen",               Damage::Device,         Road::FileOpen,    "not a file"}),
    [](const ::testing::TestParamInfo<OpenCase>& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(PhotoWindowTest, AFailedPhotoIsWarnedAboutAgainOnlyWhenItsFileChanges)
{
    const QString photo = written.photoPath;
    DamagePhoto(photo, Damage::CutJpeg);
    Dialogs().AnswerMessage(QMessageBox::Ok);
    Start(written.projectPath);
    Activate(2);
    ASSERT_EQ(Messages(), 1u);

    // Still damaged, but another file: the next activation tries it and warns, once.
    const QByteArray whole = Jpeg(SmallPhoto());
    ASSERT_TRUE(WriteFile(photo, whole.left(whole.size() / 3)));
    Dialogs().AnswerMessage(QMessageBox::Ok);
    Activate(3);
    ASSERT_EQ(Messages(), 2u);
    EXPECT_EQ(Dialogs().RequestsOf(DialogRequest::Message).back().message.text,
              QStringLiteral("%1\n\nThis is not a valid image, or its type is not supported.")
                  .arg(QDir::toNativeSeparators(photo)));
    EXPECT_TRUE(Foreground()->IsOffline());

    // Mended: the next activation loads it into the same foreground, without a word.
    const app::ImageLayerPtr foreground = Foreground();
    ASSERT_TRUE(WriteFile(photo, whole));
    Activate(1);
    EXPECT_EQ(Messages(), 2u);
    EXPECT_EQ(Foreground(), foreground);
    EXPECT_FALSE(foreground->IsOffline());
    EXPECT_TRUE(App().GetThumbnail(foreground->Id()));
    ExpectWorkingCanvas();

    // A photo the user chooses is always tried: relinking to the damaged file again warns again.
    ASSERT_TRUE(WriteFile(folder.filePath("cut.jpg"), whole.left(whole.size() / 2)));
    Dialogs().AnswerMessage(QMessageBox::Ok).AnswerMessage(QMessageBox::Ok);
    EXPECT_FALSE(App().ReloadLayerImage(foreground->Id(), folder.filePath("cut.jpg")));
    EXPECT_FALSE(App().ReloadLayerImage(foreground->Id(), folder.filePath("cut.jpg")));
    EXPECT_EQ(Messages(), 4u);
    EXPECT_EQ(foreground->Path(), photo);
}

// A project with more masks than a user can add (a file this program never writes) is refused as
// invalid at once, through the window, and the masks panel never lists more than a user can add.
TEST_F(PhotoWindowTest, TenThousandMasksAreRefusedAsInvalidAndTheMasksPanelStaysWithinItsLimit)
{
    Start(written.projectPath);
    {
        app::LMerr code = app::LMerrSuccess;
        const auto project = std::make_shared<app::Project>(written.projectPath, code);
        ASSERT_EQ(code, app::LMerrSuccess);
        app::MaskList& masks = project->GetLayerManager()->GetForegroundSettings()->Masks();
        for (int i = 0; i < 10'000; ++i) {
            auto mask = std::make_shared<app::Mask>();
            for (const QPointF& point : {QPointF(10, 10), QPointF(60, 12), QPointF(30, 50)})
                mask->Add(std::make_shared<app::MaskHandle>(point + QPointF(i % 100, i / 100)));
            ASSERT_EQ(masks.Add(mask), app::LMerrSuccess);
        }
        ASSERT_EQ(project->SaveToXml(folder.filePath("masks.lumo4"), "test", "4.0"), app::LMerrSuccess);
    }
    Dialogs().AnswerFiles({folder.filePath("masks.lumo4")}).AnswerMessage(QMessageBox::Ok);
    ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), "SlotOpenProject"));
    ASSERT_EQ(Messages(), 1u);
    EXPECT_TRUE(Dialogs().RequestsOf(DialogRequest::Message).front().message.text.startsWith(
        "The project cannot be opened because its contents are invalid."));
    EXPECT_TRUE(window->CurrentProjectPath().isEmpty());
    auto* masksPanel = window->findChild<MasksWidget*>();
    ASSERT_NE(masksPanel, nullptr);
    for (const TableWidget* table : masksPanel->findChildren<TableWidget*>())
        EXPECT_LE(table->rowCount(), MaximumMasks);
    ExpectWorkingCanvas();
}

} // namespace
} // namespace lumo::ui::testing
