// brimwatch-version-check [FEED_URL]: fetches the version feed once and prints the newest
// published version (exit status 0), or nothing (exit status 1). The tray app runs it once a
// day, so that TLS and the network stack never stay in the app's own memory.

#include "cli/Feed.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Updates::FeedOptions options;
    if (argc > 1)
        options.url = QUrl(QString::fromLocal8Bit(argv[1]));
    int status = 1;
    Updates::latest(
        &app,
        [&status](std::optional<QString> version) {
            if (version) {
                const QByteArray utf8 = version->toUtf8();
                std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
                status = 0;
            }
            QCoreApplication::quit();
        },
        options);
    QCoreApplication::exec();
    return status;
}
