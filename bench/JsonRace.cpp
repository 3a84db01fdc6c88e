// A reader that parses usage.json in a tight loop while the app's writer rewrites it a
// thousand times: the reader must never see a half-written file. Prints what it saw.
//   json_race FOLDER

#include "files/Files.h"
#include "store/UsageFile.h"

#include <QFile>
#include <QJsonDocument>

#include <atomic>
#include <cstdio>
#include <thread>

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/usage.json");
    QList<Limit> limits;
    for (int i = 0; i < 12; ++i)
        limits << Limit{QStringLiteral("Limit %1").arg(i), QStringLiteral("Limit %1").arg(i), 42.5,
                        std::nullopt, QStringLiteral("Jan 2, 2027, 3pm (Europe/Riga)")};
    const Instant now = std::chrono::system_clock::now();
    Files::write(path, UsageFile::encode({now, now, std::nullopt, limits}));
    std::atomic<bool> done{false};
    long reads = 0, invalid = 0;
    std::thread reader([&] {
        while (!done) {
            QFile f(path);
            if (!f.open(QIODevice::ReadOnly))
                continue;
            ++reads;
            if (QJsonDocument::fromJson(f.readAll()).isNull())
                ++invalid;
        }
    });
    for (int i = 0; i < 1000; ++i) {
        limits[i % 12].percent = i % 100;
        Files::write(path, UsageFile::encode(
                               {now, now, i % 2 ? std::optional(QStringLiteral("x")) : std::nullopt,
                                limits}));
    }
    done = true;
    reader.join();
    std::printf("1000 rewrites, %ld reads, %ld of them not valid JSON\n", reads, invalid);
    return invalid == 0 ? 0 : 1;
}
