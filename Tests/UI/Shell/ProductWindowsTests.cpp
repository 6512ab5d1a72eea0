// The splash screen, the about box and the program's icon.

#include "Grabs.h"
#include "UiTest.h"

#include "Shell/AboutWidget.h"
#include "Shell/Identity.h"
#include "Shell/SplashScreen.h"

#include <QFontMetrics>
#include <QPainter>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

namespace lumo::ui::testing {
namespace {

TEST(ProductWindowPlacement, AWindowIsCentredOnTheScreenInWholePixels)
{
    struct Case {
        QRect screen;
        QSize window;
        QPoint position;
    };
    const std::vector<Case> cases = {
        {{0, 0, 1920, 1080}, {400, 300}, {760, 390}},
        {{0, 0, 1919, 1079}, {401, 301}, {759, 389}},
        // A primary screen right of another one.
        {{1920, 0, 1280, 1024}, {400, 300}, {2360, 362}},
        // Larger than the screen: it reaches past the top left.
        {{0, 0, 800, 800}, {1000, 600}, {-100, 100}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CentredWindowPosition(c.screen, c.window), c.position) << c.screen.width() << " x " << c.window.width();
    EXPECT_EQ(VersionTextOrigin(300), QPoint(40, 240));
}

// The part of a window's grab that differs from its picture over its backdrop: the text.
QRect DrawnTextBox(const QImage& grab, const ProductPicture& picture, QRgb* brightest)
{
    QImage plain(grab.size(), QImage::Format_ARGB32_Premultiplied);
    plain.fill(Qt::transparent);
    {
        QPainter painter(&plain);
        painter.drawPixmap(0, 0, picture.backdrop);
        painter.drawPixmap(0, 0, picture.image);
    }
    const QImage shown = grab.convertToFormat(QImage::Format_ARGB32);
    plain = plain.convertToFormat(QImage::Format_ARGB32);
    QRect box;
    *brightest = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            const QRgb a = shown.pixel(x, y), b = plain.pixel(x, y);
            if (std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))}) <= 32)
                continue;
            box |= QRect(x, y, 1, 1);
            if (qGray(a) > qGray(*brightest))
                *brightest = a;
        }
    }
    return box;
}

// The window shows its picture with the text at its place, in the version font.
void ExpectPictureWithText(QWidget& window, const ProductPicture& picture, const QString& text, const QString& grabName)
{
    ASSERT_FALSE(picture.image.isNull());
    EXPECT_EQ(window.size(), picture.image.size());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(window.pos(), CentredWindowPosition(screen, window.size()));
    EXPECT_EQ(picture.backdrop.size(), window.size());

    const QImage grab = window.grab().toImage();
    EXPECT_FALSE(SaveGrab(grab, grabName).isEmpty());
    QRgb brightest = 0;
    const QRect box = DrawnTextBox(grab, picture, &brightest);
    const QRect expected =
        QFontMetrics(VersionTextFont(), &window).tightBoundingRect(text).translated(VersionTextOrigin(window.height()));
    ASSERT_TRUE(box.isValid()) << "no text drawn";
    EXPECT_NEAR(box.left(), expected.left(), 2);
    EXPECT_NEAR(box.right(), expected.right(), 2);
    EXPECT_NEAR(box.top(), expected.top(), 2);
    EXPECT_NEAR(box.bottom(), expected.bottom(), 2);
    // White, nearly opaque.
    EXPECT_GE(qRed(brightest), 200);
    EXPECT_GE(qGreen(brightest), 200);
    EXPECT_GE(qBlue(brightest), 200);
}

using ProductWindowsTest = UiTest;

TEST_F(ProductWindowsTest, TheSplashScreenShowsThePictureWithTheVersion)
{
    SplashScreen splash;
    EXPECT_TRUE(splash.windowFlags().testFlag(Qt::FramelessWindowHint));
    ExpectPictureWithText(splash, splash.Picture(), ApplicationVersion, QStringLiteral("splash-screen"));
}

TEST_F(ProductWindowsTest, TheAboutBoxShowsTheVersionAndClosesOnALeftClickOnly)
{
    AboutWidget about;
    EXPECT_TRUE(about.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(AboutWidget::VersionText(), "Version 4.1.0004");
    ExpectPictureWithText(about, about.Picture(), AboutWidget::VersionText(), QStringLiteral("about-box"));

    about.show();
    QSignalSpy finished(&about, &QDialog::finished);
    QTest::mouseClick(&about, Qt::RightButton, Qt::NoModifier, QPoint(100, 100));
    QTest::mouseClick(&about, Qt::MiddleButton, Qt::NoModifier, QPoint(100, 100));
    EXPECT_TRUE(about.isVisible());
    EXPECT_EQ(finished.count(), 0);
    QTest::mouseClick(&about, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(finished.count(), 1);
}

TEST_F(ProductWindowsTest, TheProgramHasItsIconAtEachSize)
{
    const QIcon icon = QApplication::windowIcon();
    ASSERT_FALSE(icon.isNull());
    for (const int size : {16, 32, 48, 256}) {
        SCOPED_TRACE(size);
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size)));
    }
    EXPECT_FALSE(QPixmap(ApplicationIconPath).isNull());
}

} // namespace
} // namespace lumo::ui::testing
