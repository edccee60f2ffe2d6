// Writes the programs' icon into a hicolor icon theme tree at the usual sizes, at build time, so
// the menu shows the same picture the windows and the tray draw.

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>

#include <cstdio>

#include "desktop/ui/Artwork.h"

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <icon theme folder>\n", argv[0]);
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    for (const int side : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("%1x%1/apps").arg(side);
        const QString file = root.filePath(folder + QStringLiteral("/tarnix.png"));
        if (!root.mkpath(folder) || !tarnix::DrawProgramIcon(side).save(file, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
