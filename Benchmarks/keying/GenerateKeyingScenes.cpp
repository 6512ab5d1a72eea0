// Writes the keying test photographs: for each scene <name>-photo.png, <name>-alpha.png (the true
// matte) and <name>-foreground.png (the true foreground colour; its alpha byte holds the region).
// Usage: GenerateKeyingScenes <folder> [megapixels, default 12]

#include "KeyingScenes.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QImage>

#include <cstdio>
#include <cstdlib>

using namespace lumora::keying;

namespace {

bool Save(const QImage& image, const QString& path)
{
    if (image.save(path, "PNG", 1)) // fast compression: the files are scratch data
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <folder> [megapixels]\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const double megapixels = argc > 2 ? std::atof(argv[2]) : 12.0;
    if (!(megapixels > 0.0) || !QDir().mkpath(folder)) {
        std::fprintf(stderr, "bad folder or size\n");
        return 2;
    }
    for (const SceneSpec& spec : StandardScenes()) {
        Scene scene = MakeScene(spec, megapixels);
        QImage photo(scene.photo.data(), scene.width, scene.height, scene.width * 4, QImage::Format_ARGB32);
        QImage stored = photo.copy();
        if (spec.jpeg) {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            if (!photo.save(&buffer, "JPG", 85)) {
                std::fprintf(stderr, "no JPEG writer\n");
                return 1;
            }
            stored = QImage::fromData(bytes, "JPG").convertToFormat(QImage::Format_ARGB32);
        }
        const QImage alpha(scene.alpha.data(), scene.width, scene.height, scene.width, QImage::Format_Grayscale8);
        const QImage foreground(scene.foreground.data(), scene.width, scene.height, scene.width * 4,
                                QImage::Format_ARGB32);
        const QString base = folder + "/" + QString::fromStdString(spec.name);
        if (!Save(stored, base + "-photo.png") || !Save(alpha, base + "-alpha.png") ||
            !Save(foreground, base + "-foreground.png"))
            return 1;
        std::printf("%s: %d x %d\n", spec.name.c_str(), scene.width, scene.height);
    }
    return 0;
}
