// Arbitrary bytes as Claude Code's status-line document, and as the settings file that
// --install and --uninstall edit: installing then uninstalling gives the file back byte for
// byte, and an installed file is the same object with the status line added.

#include "commands/StatusLineSetup.h"
#include "usage/StatusLine.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const Instant now = Instant(std::chrono::seconds(1760126400));
    const StatusLine::Document d = StatusLine::read(bytes, now);
    (void)StatusLine::line(d.windows, now, true);

    const QString command = QStringLiteral("/usr/bin/brimwatch --statusline");
    using Kind = StatusLineSetup::Edit::Kind;
    const StatusLineSetup::Edit in = StatusLineSetup::installed(bytes, true, command);
    const QByteArray body = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    if (in.kind != Kind::Changed || body.trimmed().isEmpty()) // a new file, not an edit
        return 0;
    QJsonObject expected = QJsonDocument::fromJson(bytes).object();
    expected.insert(QStringLiteral("statusLine"),
                    QJsonObject{{QStringLiteral("type"), QStringLiteral("command")},
                                {QStringLiteral("command"), command}});
    QJsonParseError error{};
    const QJsonDocument after = QJsonDocument::fromJson(in.text, &error);
    if (error.error != QJsonParseError::NoError || after.object() != expected)
        std::abort(); // the edit broke the file or changed what it says
    const StatusLineSetup::Edit out = StatusLineSetup::uninstalled(in.text, true, command);
    if (out.kind != Kind::Changed || out.text != bytes)
        std::abort(); // uninstall did not take out exactly what install put in
    return 0;
}
