// Writes the sample images that ship beside the program, and a sample project over them:
//   <program folder>/Sample Images/Green Screen   generated green- and blue-screen photographs
//   <program folder>/Sample Images/Background     backgrounds drawn here
//   <program folder>/Sample Images/Overlay        frames drawn here, transparent inside
//   <program folder>/Sample Images/Sample Project.lumo4
// The photographs' true mattes go to the truth folder, which stays in the build tree for checks.
//
//   WriteSampleImages <program folder> <truth folder>     everything
//   WriteSampleImages --project <program folder>          the project alone (after installing)

#include "KeyingScenes.h"
#include "SampleProject.h"

#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QLinearGradient>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <vector>
#include <exception>
#include <stdexcept>

namespace {

using lumora::keying::SceneKind;

constexpr int kDpi = 300;
constexpr int kWidth = 2400; // backgrounds and overlays: 4:3, as the photographs
constexpr int kHeight = 1800;

struct Photo {
    const char* file;
    SceneKind kind;
    bool blue;
    unsigned seed;
    double megapixels;
};

// The photograph the sample project uses comes first.
const Photo kPhotos[] = {
    {"Portrait Green.jpg", SceneKind::Portrait, false, 3, 4.32}, // 2400 x 1800, as the backgrounds
    {"Wardrobe Blue.png", SceneKind::Wardrobe, true, 5, 2.0},
    {"Warm Green.png", SceneKind::Warm, false, 7, 2.0},
};

// JPEG at 90 as a camera writes it; PNG at the writer's default compression (a quality given to
// Qt's PNG writer lowers the compression, up to none at 100).
void Save(QImage image, const QString& path)
{
    const int quality = path.endsWith(QLatin1String(".jpg")) ? 90 : -1;
    const int dotsPerMetre = qRound(kDpi / 0.0254);
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    if (!image.save(path, nullptr, quality))
        throw std::runtime_error("cannot write " + path.toStdString());
}

// Soft random shapes, 0 to 255: value noise over a few octaves, each a coarse grid of random values
// eased between its points with a smoothstep (a plain bilinear scale-up draws diamonds).
QImage Clouds(int width, int height, int cells, unsigned seed)
{
    QRandomGenerator random(seed);
    std::vector<float> sum(static_cast<size_t>(width) * height, 0.0f);
    float amplitude = 1.0f, total = 0.0f;
    for (int octave = 0; octave < 4; ++octave, cells *= 2, amplitude *= 0.5f) {
        const int gw = cells + 2, gh = cells * height / width + 2;
        std::vector<float> grid(static_cast<size_t>(gw) * gh);
        for (float& value : grid)
            value = static_cast<float>(random.generateDouble());
        const float step = static_cast<float>(width) / cells;
        for (int y = 0; y < height; ++y) {
            const float gy = y / step;
            const int y0 = static_cast<int>(gy);
            float ty = gy - y0;
            ty = ty * ty * (3 - 2 * ty);
            for (int x = 0; x < width; ++x) {
                const float gx = x / step;
                const int x0 = static_cast<int>(gx);
                float tx = gx - x0;
                tx = tx * tx * (3 - 2 * tx);
                const float* r0 = &grid[static_cast<size_t>(y0) * gw + x0];
                const float* r1 = r0 + gw;
                const float top = r0[0] + (r0[1] - r0[0]) * tx;
                const float bottom = r1[0] + (r1[1] - r1[0]) * tx;
                sum[static_cast<size_t>(y) * width + x] += amplitude * (top + (bottom - top) * ty);
            }
        }
        total += amplitude;
    }
    QImage image(width, height, QImage::Format_Grayscale8);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.scanLine(y)[x] = static_cast<uchar>(std::clamp(sum[static_cast<size_t>(y) * width + x] / total * 255.0f, 0.0f, 255.0f));
    return image;
}

QImage EveningSky()
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, kHeight);
    sky.setColorAt(0.0, QColor(28, 48, 110));
    sky.setColorAt(0.55, QColor(120, 110, 170));
    sky.setColorAt(0.8, QColor(240, 150, 90));
    sky.setColorAt(1.0, QColor(250, 200, 120));
    painter.fillRect(image.rect(), sky);
    QRadialGradient sun(kWidth * 0.7, kHeight * 0.82, kHeight * 0.45);
    sun.setColorAt(0.0, QColor(255, 240, 200, 220));
    sun.setColorAt(1.0, QColor(255, 200, 120, 0));
    painter.fillRect(image.rect(), sun);
    // Soft clouds lit from below.
    const QImage clouds = Clouds(kWidth, kHeight, 6, 11);
    QImage layer(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < kHeight; ++y) {
        const uchar* c = clouds.constScanLine(y);
        auto* out = reinterpret_cast<QRgb*>(layer.scanLine(y));
        const double height = static_cast<double>(y) / kHeight;
        for (int x = 0; x < kWidth; ++x) {
            // Thinning out towards the horizon.
            const double fade = std::clamp((0.8 - height) / 0.3, 0.0, 1.0);
            const int a = static_cast<int>(qBound(0, (c[x] - 130) * 3, 170) * fade);
            out[x] = qPremultiply(qRgba(255, 210, 200, a));
        }
    }
    painter.drawImage(0, 0, layer);
    return image;
}

QImage StudioGrey()
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    QRadialGradient light(kWidth * 0.5, kHeight * 0.42, kWidth * 0.7);
    light.setColorAt(0.0, QColor(168, 170, 172));
    light.setColorAt(0.6, QColor(98, 100, 104));
    light.setColorAt(1.0, QColor(40, 41, 44));
    painter.fillRect(image.rect(), light);
    // The mottle of a painted canvas backdrop.
    const QImage mottle = Clouds(kWidth, kHeight, 12, 23);
    for (int y = 0; y < kHeight; ++y) {
        const uchar* m = mottle.constScanLine(y);
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            const int d = (m[x] - 128) / 6;
            row[x] = qRgb(qBound(0, qRed(row[x]) + d, 255), qBound(0, qGreen(row[x]) + d, 255),
                          qBound(0, qBlue(row[x]) + d, 255));
        }
    }
    return image;
}

QImage CityLights()
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient night(0, 0, 0, kHeight);
    night.setColorAt(0.0, QColor(8, 12, 30));
    night.setColorAt(1.0, QColor(40, 24, 50));
    painter.fillRect(image.rect(), night);
    // Out-of-focus lights: discs brighter at the rim, as a wide-open lens draws them.
    QRandomGenerator random(31);
    const QColor colours[] = {QColor(255, 190, 90), QColor(255, 120, 80), QColor(120, 180, 255),
                              QColor(255, 230, 170), QColor(200, 120, 255)};
    painter.setPen(Qt::NoPen);
    painter.setCompositionMode(QPainter::CompositionMode_Plus);
    for (int i = 0; i < 140; ++i) {
        const double r = 30 + random.bounded(110);
        const QPointF centre(random.bounded(kWidth), kHeight * (0.25 + 0.75 * random.generateDouble()));
        QColor colour = colours[random.bounded(5)];
        QRadialGradient disc(centre, r);
        colour.setAlpha(40 + random.bounded(40));
        disc.setColorAt(0.0, colour);
        colour.setAlpha(colour.alpha() + 30);
        disc.setColorAt(0.92, colour);
        colour.setAlpha(0);
        disc.setColorAt(1.0, colour);
        painter.setBrush(disc);
        painter.drawEllipse(centre, r, r);
    }
    return image;
}

QImage Transparent()
{
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QPainterPath Opening(double inset, double radius)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(inset, inset, kWidth - 2 * inset, kHeight - 2 * inset), radius, radius);
    return path;
}

QImage WhiteFrame()
{
    QImage image = Transparent();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath frame;
    frame.addRect(image.rect());
    frame = frame.subtracted(Opening(kHeight * 0.07, 24));
    painter.fillPath(frame, QColor(250, 248, 242));
    painter.setPen(QPen(QColor(150, 146, 138), 4));
    painter.drawPath(Opening(kHeight * 0.07, 24));
    return image;
}

QImage GoldFrame()
{
    QImage image = Transparent();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const double inset = kHeight * 0.09;
    QPainterPath frame;
    frame.addRect(image.rect());
    frame = frame.subtracted(Opening(inset, 6));
    QLinearGradient gold(0, 0, kWidth, kHeight);
    gold.setColorAt(0.0, QColor(250, 220, 130));
    gold.setColorAt(0.35, QColor(180, 130, 40));
    gold.setColorAt(0.6, QColor(240, 200, 100));
    gold.setColorAt(1.0, QColor(140, 95, 25));
    painter.fillPath(frame, gold);
    // A bevel: a dark line on the opening, a light one on the outer edge.
    painter.setPen(QPen(QColor(90, 60, 10, 220), 10));
    painter.drawPath(Opening(inset, 6));
    painter.setPen(QPen(QColor(255, 240, 190, 200), 8));
    painter.drawRect(QRectF(4, 4, kWidth - 8, kHeight - 8));
    return image;
}

QImage SoftVignette()
{
    QImage image = Transparent();
    QPainter painter(&image);
    QRadialGradient shade(kWidth / 2.0, kHeight / 2.0, kWidth * 0.62);
    shade.setColorAt(0.0, QColor(0, 0, 0, 0));
    shade.setColorAt(0.6, QColor(0, 0, 0, 0));
    shade.setColorAt(1.0, QColor(0, 0, 0, 210));
    painter.fillRect(image.rect(), shade);
    return image;
}

QSize SizeOf(const QString& path)
{
    const QSize size = QImageReader(path).size();
    if (!size.isValid())
        throw std::runtime_error("cannot read " + path.toStdString());
    return size;
}

void WriteProject(const QDir& samples)
{
    const QString photo = samples.filePath(QStringLiteral("Green Screen/") + QString::fromUtf8(kPhotos[0].file));
    const QString background = samples.filePath(QStringLiteral("Background/Evening Sky.jpg"));
    lumora::samples::WriteCompositeProject(samples.filePath(QStringLiteral("Sample Project.lumo4")),
                                           {photo, SizeOf(photo), background, SizeOf(background), QString(), QSize()});
}

void WriteAll(const QString& programFolder, const QString& truthFolder)
{
    const QDir program(programFolder);
    for (const char* folder : {"Sample Images/Green Screen", "Sample Images/Background", "Sample Images/Overlay"})
        if (!program.mkpath(QString::fromUtf8(folder)))
            throw std::runtime_error(std::string("cannot make ") + folder);
    if (!QDir().mkpath(truthFolder))
        throw std::runtime_error("cannot make the truth folder");
    const QDir samples(program.filePath(QStringLiteral("Sample Images")));
    const QDir truths(truthFolder);

    for (const Photo& photo : kPhotos) {
        const QString file = QString::fromUtf8(photo.file);
        const auto scene = lumora::keying::MakeScene({photo.file, photo.blue, false, photo.seed, photo.kind},
                                                     photo.megapixels);
        const QImage pixels(scene.photo.data(), scene.width, scene.height, scene.width * 4, QImage::Format_ARGB32);
        Save(pixels.convertToFormat(QImage::Format_RGB32), samples.filePath(QStringLiteral("Green Screen/") + file));
        const QImage alpha(scene.alpha.data(), scene.width, scene.height, scene.width, QImage::Format_Grayscale8);
        const QString base = file.section('.', 0, 0);
        Save(alpha.copy(), truths.filePath(base + QStringLiteral(" alpha.png")));
        const QImage foreground(scene.foreground.data(), scene.width, scene.height, scene.width * 4,
                                QImage::Format_RGB32);
        Save(foreground.copy(), truths.filePath(base + QStringLiteral(" foreground.png")));
    }
    Save(EveningSky(), samples.filePath(QStringLiteral("Background/Evening Sky.jpg")));
    Save(StudioGrey(), samples.filePath(QStringLiteral("Background/Studio Grey.jpg")));
    Save(CityLights(), samples.filePath(QStringLiteral("Background/City Lights.jpg")));
    Save(WhiteFrame(), samples.filePath(QStringLiteral("Overlay/White Frame.png")));
    Save(GoldFrame(), samples.filePath(QStringLiteral("Overlay/Gold Frame.png")));
    Save(SoftVignette(), samples.filePath(QStringLiteral("Overlay/Soft Vignette.png")));
    WriteProject(samples);
}

} // namespace

int main(int argc, char** argv)
{
    // Qt refuses images over 128 MB by default; these are well under it, but a 42-megapixel run
    // of this tool should not fail for it.
    QImageReader::setAllocationLimit(0);
    try {
        if (argc == 3 && QByteArray(argv[1]) == "--project") {
            WriteProject(QDir(QString::fromLocal8Bit(argv[2])).filePath(QStringLiteral("Sample Images")));
            return 0;
        }
        if (argc != 3) {
            std::fprintf(stderr, "usage: WriteSampleImages <program folder> <truth folder>\n"
                                 "       WriteSampleImages --project <program folder>\n");
            return 2;
        }
        WriteAll(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "WriteSampleImages: %s\n", error.what());
        return 1;
    }
    return 0;
}
