// Looks at the X screen for the end-to-end run. Grabs go through QScreen::grabWindow(0), which
// under X takes the whole screen with the window manager's frames.
//   ScreenCheck grab OUT.png
//       saves the screen.
//   ScreenCheck keyed-file IMAGE SAME_SIZE_AS DOTS_PER_METRE
//       an exported picture of the fixture project: the size of another image (the photograph),
//       the resolution, keyed over the sky
//   ScreenCheck keyed-canvas OUT.png X Y WIDTH HEIGHT [TIMEOUT_SECONDS]
//       grabs until the rectangle shows a keyed render of the fixture project (much of the sky
//       background, next to none of the green backdrop) or the time is up; saves the last grab
//       and answers 0 when it was seen, 1 when not.
//   ScreenCheck settled OUT.png X Y WIDTH HEIGHT [TIMEOUT_SECONDS]
//       grabs until the rectangle stays the same over two grabs in a row (a render finished), saves it.
//   ScreenCheck changed BEFORE.png OUT.png X Y WIDTH HEIGHT [TIMEOUT_SECONDS]
//       grabs until the rectangle differs from the one in BEFORE.png in at least 1 % of its pixels
//       and then stays the same; saves it.
//   ScreenCheck same-pixels IMAGE OTHER
//       the two pictures have the same size and the same pixels.
//   ScreenCheck dark OUT.png X Y WIDTH HEIGHT
//       grabs the screen, saves it, and answers 0 when the rectangle is drawn mostly dark (the
//       program's colours), 1 when it is light (a window left in the desktop's default look).

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImageReader>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// The fixture's sky runs from (60, 90, 200) at the top to (210, 150, 110) at the horizon.
bool IsSky(QRgb pixel)
{
    const double r = qRed(pixel), g = qGreen(pixel), b = qBlue(pixel);
    // The closest point of the gradient line, by its red, then the distance to it.
    const double t = std::clamp((r - 60.0) / 150.0, 0.0, 1.0);
    const double dr = r - (60 + 150 * t), dg = g - (90 + 60 * t), db = b - (200 - 90 * t);
    return std::sqrt(dr * dr + dg * dg + db * db) <= 30.0;
}

// The generated backdrop: strongly green, whatever its uneven light.
bool IsBackdrop(QRgb pixel)
{
    const int r = qRed(pixel), g = qGreen(pixel), b = qBlue(pixel);
    return g >= 90 && g > r * 1.4 && g > b * 1.4;
}

struct Census {
    qint64 total = 0;
    qint64 sky = 0;
    qint64 backdrop = 0;
    bool Keyed() const { return total > 0 && sky * 10 >= total && backdrop * 200 <= total; }
};

Census Count(const QImage& image, const QRect& area)
{
    Census census;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = inside.left(); x <= inside.right(); ++x) {
            ++census.total;
            census.sky += IsSky(row[x]) ? 1 : 0;
            census.backdrop += IsBackdrop(row[x]) ? 1 : 0;
        }
    }
    return census;
}

QImage GrabScreen()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32) : QImage();
}

// The share of the rectangle's pixels that differ between two screens.
double DifferentShare(const QImage& a, const QImage& b, const QRect& area)
{
    const QRect inside = area.intersected(a.rect()).intersected(b.rect());
    if (inside.isEmpty())
        return 0.0;
    qint64 different = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        const auto* rowA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* rowB = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = inside.left(); x <= inside.right(); ++x)
            different += (rowA[x] & 0xffffff) != (rowB[x] & 0xffffff) ? 1 : 0;
    }
    return static_cast<double>(different) / (static_cast<double>(inside.width()) * inside.height());
}

// Grabs every 150 ms until the rectangle holds still (and, given a screen before, differs from
// it) or the time is up; saves the last grab. 0 when it did.
int WaitForStillArea(const QImage& before, const QString& out, const QRect& area, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QImage previous = GrabScreen();
    bool done = false;
    while (!done && clock.elapsed() < timeoutMs) {
        QThread::msleep(150);
        const QImage image = GrabScreen();
        done = DifferentShare(previous, image, area) == 0.0 &&
               (before.isNull() || DifferentShare(before, image, area) >= 0.01);
        previous = image;
    }
    previous.save(out);
    if (!before.isNull())
        std::printf("%.1f %% of the area changed\n", 100.0 * DifferentShare(before, previous, area));
    return done ? 0 : 1;
}

// The share of the rectangle's pixels that are light (a luma over 160 of 255).
double LightShare(const QImage& image, const QRect& area)
{
    const QRect inside = area.intersected(image.rect());
    if (inside.isEmpty())
        return 1.0;
    qint64 light = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = inside.left(); x <= inside.right(); ++x)
            light += qGray(row[x]) > 160 ? 1 : 0;
    }
    return static_cast<double>(light) / (static_cast<double>(inside.width()) * inside.height());
}

QRect AreaOf(const QStringList& arguments, int first)
{
    return QRect(arguments.at(first).toInt(), arguments.at(first + 1).toInt(), arguments.at(first + 2).toInt(),
                 arguments.at(first + 3).toInt());
}

int TimeoutOf(const QStringList& arguments, int index)
{
    return static_cast<int>((arguments.size() > index ? arguments.at(index).toDouble() : 20.0) * 1000);
}

int Usage()
{
    std::fprintf(stderr, "usage: ScreenCheck grab OUT.png\n"
                         "       ScreenCheck keyed-canvas OUT.png X Y WIDTH HEIGHT [TIMEOUT_SECONDS]\n"
                         "       ScreenCheck keyed-file IMAGE SAME_SIZE_AS DOTS_PER_METRE\n"
                         "       ScreenCheck settled OUT.png X Y WIDTH HEIGHT [TIMEOUT_SECONDS]\n"
                         "       ScreenCheck changed BEFORE.png OUT.png X Y WIDTH HEIGHT [TIMEOUT_SECONDS]\n"
                         "       ScreenCheck same-pixels IMAGE OTHER\n"
                         "       ScreenCheck dark OUT.png X Y WIDTH HEIGHT\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() < 3)
        return Usage();
    const QString command = arguments.at(1);
    const QString out = arguments.at(2);

    if (command == QLatin1String("grab") && arguments.size() == 3) {
        const QImage image = GrabScreen();
        return !image.isNull() && image.save(out) ? 0 : 1;
    }
    if (command == QLatin1String("keyed-file") && arguments.size() == 5) {
        QImageReader reader(out);
        const QImage image = reader.read().convertToFormat(QImage::Format_RGB32);
        if (image.isNull()) {
            std::printf("cannot read %s: %s\n", qPrintable(out), qPrintable(reader.errorString()));
            return 1;
        }
        const Census census = Count(image, image.rect());
        std::printf("%d x %d, %d dots per metre, sky %.1f %%, green backdrop %.2f %%\n", image.width(),
                    image.height(), image.dotsPerMeterX(), census.total > 0 ? 100.0 * census.sky / census.total : 0.0,
                    census.total > 0 ? 100.0 * census.backdrop / census.total : 0.0);
        const QSize expected = QImageReader(arguments.at(3)).size();
        return census.Keyed() && image.size() == expected && image.dotsPerMeterX() == arguments.at(4).toInt() ? 0 : 1;
    }
    if (command == QLatin1String("same-pixels") && arguments.size() == 4) {
        const QImage image = QImage(out).convertToFormat(QImage::Format_ARGB32);
        const QImage other = QImage(arguments.at(3)).convertToFormat(QImage::Format_ARGB32);
        return !image.isNull() && image == other ? 0 : 1;
    }
    if (command == QLatin1String("dark") && arguments.size() == 7) {
        const QImage image = GrabScreen();
        const double light = LightShare(image, AreaOf(arguments, 3));
        std::printf("%.1f %% of the area is light\n", 100.0 * light);
        // Text, icons and a bright field or two are light; a window in a light look is most of it.
        return image.save(out) && light < 0.25 ? 0 : 1;
    }
    if (command == QLatin1String("settled") && arguments.size() >= 7)
        return WaitForStillArea(QImage(), out, AreaOf(arguments, 3), TimeoutOf(arguments, 7));
    if (command == QLatin1String("changed") && arguments.size() >= 8) {
        const QImage before = QImage(out).convertToFormat(QImage::Format_RGB32);
        if (before.isNull())
            return Usage();
        return WaitForStillArea(before, arguments.at(3), AreaOf(arguments, 4), TimeoutOf(arguments, 8));
    }
    if (command != QLatin1String("keyed-canvas") || arguments.size() < 7)
        return Usage();
    const QRect area = AreaOf(arguments, 3);
    const int timeoutMs = TimeoutOf(arguments, 7);

    QElapsedTimer clock;
    clock.start();
    QImage image;
    Census census;
    // The render comes a moment after the window shows: look again until it is there or time is up.
    for (;;) {
        image = GrabScreen();
        census = Count(image, area);
        if (census.Keyed() || clock.elapsed() >= timeoutMs)
            break;
        QThread::msleep(200);
    }
    image.save(out);
    std::printf("pixels %lld, sky %.1f %%, green backdrop %.2f %%\n", census.total,
                census.total > 0 ? 100.0 * census.sky / census.total : 0.0,
                census.total > 0 ? 100.0 * census.backdrop / census.total : 0.0);
    return census.Keyed() ? 0 : 1;
}
