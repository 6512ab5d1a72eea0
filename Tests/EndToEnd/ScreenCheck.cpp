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

int Usage()
{
    std::fprintf(stderr, "usage: ScreenCheck grab OUT.png\n"
                         "       ScreenCheck keyed-canvas OUT.png X Y WIDTH HEIGHT [TIMEOUT_SECONDS]\n"
                         "       ScreenCheck keyed-file IMAGE SAME_SIZE_AS DOTS_PER_METRE\n");
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
    if (command != QLatin1String("keyed-canvas") || arguments.size() < 7)
        return Usage();
    const QRect area(arguments.at(3).toInt(), arguments.at(4).toInt(), arguments.at(5).toInt(), arguments.at(6).toInt());
    const int timeoutMs = static_cast<int>((arguments.size() > 7 ? arguments.at(7).toDouble() : 20.0) * 1000);

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
