// Writes the render road's seed corpus into a folder: the base project (kept when the folder
// holds one already, so the committed seeds keep their ids) and one file per case.
#include "RenderRoad.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    QFile baseFile(folder.filePath(QStringLiteral("base.lumo4")));
    QByteArray base;
    if (baseFile.open(QIODevice::ReadOnly)) {
        base = baseFile.readAll();
        baseFile.close();
    } else {
        base = lumo::fuzz::MakeBaseProject();
    }
    for (const lumo::fuzz::RoadCase& c : lumo::fuzz::RoadCases()) {
        const QByteArray bytes = lumo::fuzz::Mutated(base, c);
        QFile file(folder.filePath(QString::fromStdString(c.name) + QStringLiteral(".lumo4")));
        if (bytes.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "%s: cannot be written\n", c.name.c_str());
            return 1;
        }
    }
    return 0;
}
