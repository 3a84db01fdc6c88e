#include "Updates.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <charconv>

namespace Updates {

namespace {

// Dotted pieces that read as signed 64-bit integers; other pieces take no position.
QList<qint64> numbers(const QString& version) {
    QList<qint64> out;
    for (const QString& piece : version.split(u'.', Qt::SkipEmptyParts)) {
        // An optional sign, then one or more ASCII digits, and nothing else.
        const qsizetype digitsFrom = (piece[0] == u'+' || piece[0] == u'-') ? 1 : 0;
        const bool wellFormed = piece.size() > digitsFrom &&
                                std::all_of(piece.begin() + digitsFrom, piece.end(),
                                            [](QChar c) { return c >= u'0' && c <= u'9'; });
        if (!wellFormed)
            continue;
        // from_chars takes a leading '-' but not a '+'.
        const QByteArray ascii = piece.mid(piece[0] == u'+' ? 1 : 0).toLatin1();
        qint64 value = 0;
        const auto [ptr, ec] =
            std::from_chars(ascii.constData(), ascii.constData() + ascii.size(), value);
        if (ec == std::errc() && ptr == ascii.constData() + ascii.size())
            out << value;
    }
    return out;
}

} // namespace

QString helperPath() {
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString& candidate :
         {dir + QStringLiteral("/brimwatch-version-check"),
          dir + QStringLiteral("/" BRIMWATCH_PRIVATE_FROM_BIN "/brimwatch-version-check")})
        if (QFileInfo(candidate).isExecutable())
            return QFileInfo(candidate).canonicalFilePath();
    return {};
}

void latestInHelper(QObject* context, std::function<void(std::optional<QString>)> done,
                    const QString& helper, const QUrl& feed) {
    if (helper.isEmpty()) { // an install without its helper does not check
        QTimer::singleShot(0, context, [done = std::move(done)] { done(std::nullopt); });
        return;
    }
    // The process belongs to context: if context goes, the check goes with it.
    auto* process = new QProcess(context);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    // A helper that hangs beyond its own time-out is stopped.
    auto* guard = new QTimer(process);
    guard->setSingleShot(true);
    QObject::connect(guard, &QTimer::timeout, process, &QProcess::kill);
    auto finish = [process, done = std::move(done)](std::optional<QString> version) {
        process->deleteLater();
        done(std::move(version));
    };
    QObject::connect(process, &QProcess::finished, process,
                     [process, finish](int code, QProcess::ExitStatus status) {
                         const QByteArray out = process->readAllStandardOutput();
                         finish(status == QProcess::NormalExit && code == 0
                                    ? std::optional(QString::fromUtf8(out))
                                    : std::nullopt);
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, finish](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart)
                             finish(std::nullopt);
                     });
    guard->start(2 * kFeedTimeout);
    process->start(helper, {feed.toString()});
}

bool isNewer(const QString& candidate, const QString& current) {
    const QList<qint64> a = numbers(candidate), b = numbers(current);
    for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
        const qint64 x = i < a.size() ? a[i] : 0, y = i < b.size() ? b[i] : 0;
        if (x != y)
            return x > y;
    }
    return false;
}

} // namespace Updates
