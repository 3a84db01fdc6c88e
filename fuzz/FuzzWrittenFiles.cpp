// What the app writes, its readers take; what install and uninstall write keeps the person's
// settings, whatever another program does to them meanwhile.
//  - The bytes as the tool's screen: the reading the app makes of them (the parser's caller's
//    rule included), for up to 200 accounts, written as usage.json; --status and --waybar must
//    read it back.
//  - The bytes, split at the first NUL, as Claude Code's settings.json and what an editor
//    writes over it between install's read and its rename: the file ends as the editor's
//    text untouched, or that text with Brimwatch's status line (and a backup of it).

#include "cli/Reading.h"
#include "commands/Status.h"
#include "commands/StatusLineSetup.h"
#include "commands/Waybar.h"
#include "files/Files.h"
#include "store/UsageFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

const Instant kNow = Instant(std::chrono::seconds(1760126400));

void put(const QString& path, const QByteArray& bytes) { // as an editor saves: a new file
    if (Files::write(path, bytes, 0644))
        std::abort();
}

void usageJson(const QByteArray& bytes, const QString& dir) {
    ToolRun run;
    run.result = QString::fromUtf8(bytes);
    const Reading r = Reading::of(run, kNow);
    const UsageFile::Snapshot s{kNow, kNow, r.error, r.limits};
    QList<UsageFile::AccountSnapshot> accounts;
    for (int i = 0; i < (bytes.isEmpty() ? 0 : uint8_t(bytes[0]) % 201); ++i)
        accounts << UsageFile::AccountSnapshot{QString::number(i), dir + QString::number(i), s};
    const QString path = dir + QStringLiteral("/usage.json");
    put(path, UsageFile::encode(s, accounts));
    const UsageFile::File f = UsageFile::read(path, kNow);
    if (!f.snapshot || !f.problem.isEmpty())
        std::abort(); // a reader refuses what the app wrote
    if (StatusCommand::report(f, kNow, false).status > 1 || WaybarCommand::line(f, kNow).isEmpty())
        std::abort();
}

void settings(const QByteArray& bytes, const QString& dir) {
    const qsizetype cut = bytes.indexOf('\0');
    const QByteArray before = cut < 0 ? bytes : bytes.left(cut);
    const std::optional<QByteArray> meanwhile =
        cut < 0 || cut + 1 == bytes.size() ? std::nullopt : std::optional(bytes.mid(cut + 1));
    if (before.isEmpty()) // read again for a while, as a file being saved: too slow here
        return;
    const QString file = dir + QStringLiteral("/settings.json");
    QFile::remove(file);
    QFile::remove(file + QStringLiteral(".bak-brimwatch"));
    put(file, before);
    const QString cmd = QStringLiteral("/usr/bin/brimwatch --statusline");
    bool rewritten = false;
    const Report in = StatusLineSetup::install(cmd, [&](int attempt) {
        if (meanwhile && attempt == 1)
            put(file, *meanwhile), rewritten = true;
    });
    const QByteArray latest = rewritten ? *meanwhile : before,
                     now = Files::readRegular(file, 1 << 24).data;
    const StatusLineSetup::Edit expected = StatusLineSetup::installed(latest, true, cmd);
    if (now != latest && !(in.status == 0 && now == expected.text))
        std::abort(); // the editor's text lost, or changed beyond the status line
    if (in.status == 0 && now != latest && !latest.isEmpty() &&
        Files::readRegular(file + QStringLiteral(".bak-brimwatch"), 1 << 24).data != latest)
        std::abort(); // the backup is not the file as it was
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    static const bool set = qputenv("CLAUDE_CONFIG_DIR", dir.path().toUtf8());
    (void)set;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    usageJson(bytes, dir.path());
    settings(bytes, dir.path());
    return 0;
}
