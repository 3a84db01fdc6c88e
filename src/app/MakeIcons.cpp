// Build-time helper: the application icon at the icon theme's sizes, for installation.
//   make_icons FOLDER   writes FOLDER/<size>x<size>/apps/brimwatch.png

#include "views/AppIcon.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QImage icon = AppIcon::image();
    for (int size : {512, 256, 128, 64, 48, 32, 24, 22, 16}) {
        const QString dir = root + QStringLiteral("/%1x%1/apps").arg(size);
        if (!QDir().mkpath(dir) ||
            !icon.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                 .save(dir + QStringLiteral("/brimwatch.png")))
            return 1;
    }
    return 0;
}
