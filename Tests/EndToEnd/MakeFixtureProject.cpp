// Writes the projects the end-to-end run opens into a folder:
//   portrait.lumo4   a generated green-screen photograph (portrait.png) over a background (sky.png)
//   damaged.lumo4    the same project cut off half-way, as a crash while copying leaves it
// Usage: MakeFixtureProject FOLDER [MEGAPIXELS [PNG|JPG]]   (0.5 megapixels, PNG by default)

#include "SampleProject.h"

#include <QDir>
#include <QFile>
#include <QCoreApplication>

#include <cstdio>
#include <exception>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() < 2 || arguments.at(1).startsWith(QLatin1Char('-'))) {
        std::fprintf(stderr, "usage: MakeFixtureProject FOLDER [MEGAPIXELS [PNG|JPG]]\n");
        return 2;
    }
    const QString folder = arguments.at(1);
    const double megapixels = arguments.size() > 2 ? arguments.at(2).toDouble() : 0.5;
    const QByteArray format = arguments.size() > 3 ? arguments.at(3).toUpper().toLatin1() : QByteArray("PNG");
    if (!QDir().mkpath(folder) || megapixels <= 0 || (format != "PNG" && format != "JPG")) {
        std::fprintf(stderr, "cannot use the folder %s, the size or the format\n", qPrintable(folder));
        return 2;
    }
    try {
        const auto written = lumora::samples::WriteGreenScreenProject(
            folder, {.megapixels = megapixels, .imageFormat = format.constData()});
        QFile project(written.projectPath);
        QFile damaged(QDir(folder).filePath(QStringLiteral("damaged.lumo4")));
        if (!project.open(QIODevice::ReadOnly) || !damaged.open(QIODevice::WriteOnly))
            throw std::runtime_error("cannot write the damaged project");
        const QByteArray text = project.readAll();
        damaged.write(text.left(text.size() / 2));
        std::printf("%s\n", qPrintable(written.projectPath));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
