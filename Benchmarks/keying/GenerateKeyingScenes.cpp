// Writes the keying test photographs: for each scene <name>-photo.png, <name>-alpha.png (the true
// matte) and <name>-foreground.png (the true foreground colour; its alpha byte holds the region).
// Usage: GenerateKeyingScenes <folder> [megapixels, default 12]

#include "KeyingScenes.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QImage>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

using namespace lumora::keying;

namespace {

bool Save(const QImage& image, const QString& path)
{
    // The PNG writer maps quality 0..100 to zlib levels 9..0; 80 is level 1, several times faster
    // than the default and the files are scratch data.
    if (image.save(path, "PNG", 80))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

// Makes one scene and writes its three files; `line` receives the summary.
bool WriteScene(const SceneSpec& spec, double megapixels, const QString& folder, std::string& line)
{
    Scene scene = MakeScene(spec, megapixels);
    QImage photo(scene.photo.data(), scene.width, scene.height, scene.width * 4, QImage::Format_ARGB32);
    QImage stored = photo.copy();
    if (spec.jpeg) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!photo.save(&buffer, "JPG", 85)) {
            std::fprintf(stderr, "no JPEG writer\n");
            return false;
        }
        stored = QImage::fromData(bytes, "JPG").convertToFormat(QImage::Format_ARGB32);
    }
    const QImage alpha(scene.alpha.data(), scene.width, scene.height, scene.width, QImage::Format_Grayscale8);
    const QImage foreground(scene.foreground.data(), scene.width, scene.height, scene.width * 4,
                            QImage::Format_ARGB32);
    const QString base = folder + "/" + QString::fromStdString(spec.name);
    if (!Save(stored, base + "-photo.png") || !Save(alpha, base + "-alpha.png") ||
        !Save(foreground, base + "-foreground.png"))
        return false;
    line = spec.name + ": " + std::to_string(scene.width) + " x " + std::to_string(scene.height);
    return true;
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
    // One thread a scene: making and writing a scene runs on one core, and the scenes are
    // independent. Lines are printed in the scenes' order once all are written.
    const std::vector<SceneSpec> specs = StandardScenes();
    std::vector<std::string> lines(specs.size());
    std::atomic<bool> failed{false};
    std::vector<std::thread> workers;
    for (std::size_t i = 0; i < specs.size(); ++i)
        workers.emplace_back([&, i] {
            if (!WriteScene(specs[i], megapixels, folder, lines[i]))
                failed = true;
        });
    for (std::thread& worker : workers)
        worker.join();
    for (const std::string& line : lines)
        if (!line.empty())
            std::printf("%s\n", line.c_str());
    if (failed)
        return 1;
    return 0;
}
