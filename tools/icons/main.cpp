// skyvane-icons ICON_DIR PICTURE_DIR [APP_ICON_DIR SIZE...]
// Writes the interface's icons (ICON_DIR/<name>.png), the product pictures
// (PICTURE_DIR/<model>.png, PICTURE_DIR/qzt_log.png) and, when asked, the application icon in the
// given sizes (APP_ICON_DIR/<n>x<n>/apps/skyvane.png, the hicolor theme's layout).
#include <QDir>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

#include "IconPainter.h"

namespace {

bool save(const QImage& image, const QString& path) {
    if (image.save(path, "PNG"))
        return true;
    std::fprintf(stderr, "skyvane-icons: cannot write %s\n", qPrintable(path));
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: skyvane-icons ICON_DIR PICTURE_DIR [APP_ICON_DIR SIZE...]\n");
        return 2;
    }
    const QString iconDir = QString::fromLocal8Bit(argv[1]);
    const QString pictureDir = QString::fromLocal8Bit(argv[2]);
    if (!QDir().mkpath(iconDir) || !QDir().mkpath(pictureDir)) {
        std::fprintf(stderr, "skyvane-icons: cannot create the output directories\n");
        return 1;
    }
    bool ok = true;
    for (const QString& name : IconPainter::iconNames())
        ok = save(IconPainter::icon(name), iconDir + "/" + name + ".png") && ok;
    for (const QString& product : IconPainter::productNames())
        ok = save(IconPainter::productPicture(product), pictureDir + "/" + product + ".png") && ok;
    ok = save(IconPainter::defaultPicture(), pictureDir + "/qzt_log.png") && ok;
    for (int i = 4; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        const QString dir = QString::fromLocal8Bit(argv[3]) + QStringLiteral("/%1x%1/apps").arg(size);
        const bool valid = size > 0 && size <= 1024;
        if (!valid)
            std::fprintf(stderr, "skyvane-icons: bad icon size %s\n", argv[i]);
        ok = valid && QDir().mkpath(dir) && save(IconPainter::applicationIcon(size), dir + "/skyvane.png") && ok;
    }
    return ok ? 0 : 1;
}
