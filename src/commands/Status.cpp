#include "Status.h"

#include "Parse.h"
#include "files/Paths.h"
#include "usage/Fmt.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace StatusCommand {

using UsageFile::File;
using UsageFile::Snapshot;

QString age(const Snapshot& s, Instant now) {
    return s.updatedAt ? QStringLiteral("updated ") + Fmt::ago(*s.updatedAt, now) : QString();
}

Report report(const File& file, Instant now, bool json) {
    const QString path = QFileInfo(Paths::usageJson()).filePath();
    if (file.missing)
        return {QStringLiteral("no reading yet: is Brimwatch running?\n"), {}, 1};
    if (!file.snapshot)
        return {{}, QStringLiteral("brimwatch: can't read %1: %2\n").arg(path, file.problem), 2};
    const Snapshot& s = *file.snapshot;
    const int code = UsageFile::fresh(s, now) ? 0 : 1;
    if (json)
        return {QString::fromUtf8(file.json), {}, code};
    QString out = ParseCommand::limitLines(s.limits, now);
    if (s.updatedAt)
        out += age(s, now) + u'\n';
    if (s.error)
        out += QStringLiteral("error: ") + *s.error + u'\n';
    return {out, {}, code};
}

int run(const Options::Invocation& args) {
    const Instant now = std::chrono::system_clock::now();
    const File file =
        UsageFile::forAccount(UsageFile::read(Paths::usageJson(), now), args.after(u"--account"_s));
    return print(report(file, now, args.has(u"--json"_s)));
}

} // namespace StatusCommand
