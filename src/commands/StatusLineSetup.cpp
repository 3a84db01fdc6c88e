#include "StatusLineSetup.h"

#include "files/CarefulEdit.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace StatusLineSetup {

namespace {

const QString kKey = QStringLiteral("statusLine");

// A top-level member of the object, as spans of the text: from its key's opening quote to
// the end of its value.
struct Member {
    QString key;
    qsizetype start = 0, end = 0;
};

// The object's braces and members. The text is known to be one valid JSON object.
struct Layout {
    qsizetype open = 0, close = 0;
    QList<Member> members;
};

qsizetype skipBlank(const QByteArray& t, qsizetype i) {
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t' || t[i] == '\n' || t[i] == '\r'))
        ++i;
    return i;
}

qsizetype skipString(const QByteArray& t, qsizetype i) { // i at the opening quote
    for (++i; i < t.size() && t[i] != '"'; ++i)
        if (t[i] == '\\')
            ++i;
    return i + 1;
}

qsizetype skipValue(const QByteArray& t, qsizetype i) {
    if (t[i] == '"')
        return skipString(t, i);
    int depth = 0;
    for (; i < t.size(); ++i) {
        const char c = t[i];
        if (c == '"') {
            i = skipString(t, i) - 1;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            if (depth == 0)
                return i; // the end of a number or literal at the object's close
            if (--depth == 0)
                return i + 1;
        } else if (depth == 0 && (c == ',' || c == ' ' || c == '\t' || c == '\n' || c == '\r')) {
            return i;
        }
    }
    return i;
}

Layout layout(const QByteArray& t) {
    Layout l;
    l.open = skipBlank(t, 0);
    qsizetype i = skipBlank(t, l.open + 1);
    while (i < t.size() && t[i] != '}') {
        Member m;
        m.start = i;
        const qsizetype keyEnd = skipString(t, i);
        // Read as a key, the way the whole object's are read (Qt treats a BOM in a key of an
        // object and in a string of an array differently).
        m.key =
            QJsonDocument::fromJson("{" + t.mid(i, keyEnd - i) + ":0}").object().keys().value(0);
        m.end = skipValue(t, skipBlank(t, skipBlank(t, keyEnd) + 1));
        l.members << m;
        i = skipBlank(t, m.end);
        if (i < t.size() && t[i] == ',')
            i = skipBlank(t, i + 1);
    }
    l.close = i;
    return l;
}

QByteArray member(const QString& command) {
    const QByteArray quoted = QJsonDocument(QJsonArray{command}).toJson(QJsonDocument::Compact);
    return "\"statusLine\": {\"type\": \"command\", \"command\": " +
           quoted.mid(1, quoted.size() - 2) + "}";
}

QString byHand(const QString& command, const char* how = "add this to") {
    return QStringLiteral("To set it by hand, %1 Claude Code's settings.json:\n  ")
               .arg(QLatin1String(how)) +
           QString::fromUtf8(member(command)) + u'\n';
}

// The command of a status line that is set, as its JSON when it is not one.
QString existing(const QJsonValue& v) {
    const QJsonValue c = v.toObject().value(QStringLiteral("command"));
    return c.isString()
               ? c.toString()
               : QString::fromUtf8(QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact));
}

// Ours: the same command, or Brimwatch's from another place (a build tree, before a move).
bool ours(const QJsonValue& v, const QString& command) {
    const QString c = existing(v);
    return c == command || (c.endsWith(QStringLiteral(" --statusline")) &&
                            QFileInfo(c.section(u' ', 0, 0).remove(u'\'')).fileName() ==
                                QStringLiteral("brimwatch"));
}

// The object, or why the text is not one.
std::optional<QJsonObject> object(const QByteArray& text, QString& problem) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    if (text.startsWith("\xEF\xBB\xBF")) // the first was taken off: Qt would take another
        problem = QStringLiteral("it starts with two byte-order marks");
    else if (error.error != QJsonParseError::NoError)
        problem = QStringLiteral("it is not valid JSON (%1 at byte %2)")
                      .arg(error.errorString())
                      .arg(error.offset);
    else if (!doc.isObject())
        problem = QStringLiteral("it is not a JSON object");
    else
        return doc.object();
    return std::nullopt;
}

bool blank(const QByteArray& text) {
    return text.trimmed().isEmpty();
}

const QByteArray kBom = "\xEF\xBB\xBF";

// The text without a byte-order mark, which the edit puts back in front.
struct Text {
    QByteArray bom, body, newline;
    explicit Text(const QByteArray& text)
        : bom(text.startsWith(kBom) ? kBom : QByteArray())
        , body(text.mid(bom.size()))
        , newline(body.contains("\r\n") ? "\r\n" : "\n") {}
    QByteArray nl(const char* s) const { return QByteArray(s).replace("\n", newline); }
};

// The values of the statusLine members, as the text has them: QJsonObject's lookup is not
// used, as it disagrees with its own keys() over a key holding a byte-order mark.
QList<QJsonValue> statusLines(const QByteArray& body) {
    QList<QJsonValue> values;
    for (const Member& m : layout(body).members) {
        if (m.key != kKey)
            continue;
        const qsizetype at = skipBlank(body, skipBlank(body, skipString(body, m.start)) + 1);
        values << QJsonDocument::fromJson("[" + body.mid(at, m.end - at) + "]").array().at(0);
    }
    return values;
}

QString twice() {
    return QStringLiteral("Claude Code's settings were left as they are: they hold statusLine more "
                          "than once, and Claude Code reads only the last.\n");
}

} // namespace

Edit installed(const QByteArray& file, bool exists, const QString& command) {
    using K = Edit::Kind;
    const Text t(file);
    const QByteArray& text = t.body;
    if (!exists || blank(text))
        return {K::Changed, t.bom + t.nl("{\n  ") + member(command) + t.nl("\n}\n"), {}};
    QString problem;
    const auto o = object(text, problem);
    if (!o)
        return {K::Refused,
                {},
                QStringLiteral("Claude Code's settings were left as they are: %1.\n").arg(problem) +
                    byHand(command)};
    const QList<QJsonValue> set = statusLines(text);
    if (set.size() > 1)
        return {K::Refused, {}, twice() + byHand(command, "keep one, this, in")};
    if (!set.isEmpty()) {
        if (ours(set[0], command))
            return {K::Unchanged,
                    {},
                    QStringLiteral("Brimwatch is already Claude Code's status line.\n")};
        return {K::Refused,
                {},
                QStringLiteral("Claude Code already has a status line, left as it is: %1\n")
                        .arg(existing(set[0])) +
                    byHand(command, "put this in its place in")};
    }
    const Layout l = layout(text);
    QByteArray out = text;
    if (l.members.isEmpty()) {
        // On a line of its own when the braces are on lines of their own; what stood between
        // them stays after it.
        const bool lines = text.mid(l.open, l.close - l.open).contains('\n');
        out.insert(l.open + 1, (lines ? t.nl("\n  ") : QByteArray()) + member(command));
    } else {
        // The new member goes after the last, on a line of its own when the members are.
        const Member& last = l.members.last();
        const qsizetype lineStart = text.lastIndexOf('\n', last.start) + 1;
        const QByteArray before = text.mid(lineStart, last.start - lineStart);
        const bool ownLine = lineStart > l.open && before.trimmed().isEmpty();
        out.insert(last.end, (ownLine ? t.nl(",\n") + before : QByteArray(", ")) + member(command));
    }
    return {K::Changed, t.bom + out, {}};
}

Edit uninstalled(const QByteArray& file, bool exists, const QString& command) {
    using K = Edit::Kind;
    const Text t(file);
    const QByteArray& text = t.body;
    const QString nothing =
        QStringLiteral("Brimwatch is not Claude Code's status line: nothing to take out.\n");
    if (!exists || blank(text))
        return {K::Unchanged, {}, nothing};
    QString problem;
    const auto o = object(text, problem);
    if (!o)
        return {K::Refused,
                {},
                QStringLiteral("Claude Code's settings were left as they are: %1.\n").arg(problem)};
    const QList<QJsonValue> set = statusLines(text);
    if (set.isEmpty())
        return {K::Unchanged, {}, nothing};
    if (set.size() > 1)
        return {K::Refused, {}, twice()};
    if (!ours(set[0], command))
        return {K::Refused,
                {},
                QStringLiteral("Claude Code's status line is not Brimwatch's, left as it is: %1\n")
                    .arg(existing(set[0]))};
    const Layout l = layout(text);
    const qsizetype i = std::find_if(l.members.begin(), l.members.end(),
                                     [](const Member& m) { return m.key == kKey; }) -
                        l.members.begin();
    QByteArray out = text;
    if (i > 0) // from the end of the member before it
        out.remove(l.members[i - 1].end, l.members[i].end - l.members[i - 1].end);
    else if (l.members.size() > 1) // up to the member after it
        out.remove(l.members[0].start, l.members[1].start - l.members[0].start);
    else // what install put before it, and it
        out.remove(l.open + 1, l.members[0].end - l.open - 1);
    return {K::Changed, t.bom + out, {}};
}

QString commandFor(const QString& executable) {
    const bool plain = std::all_of(executable.begin(), executable.end(), [](QChar c) {
        return c.isLetterOrNumber() || QStringLiteral("/._-+,:@").contains(c);
    });
    const QString quoted =
        plain ? executable
              : u'\'' + QString(executable).replace(u'\'', QStringLiteral("'\\''")) + u'\'';
    return quoted + QStringLiteral(" --statusline");
}

QString command() {
    return commandFor(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath());
}

std::optional<QString> buildTree(const QString& executable) {
    for (QDir dir = QFileInfo(executable).absoluteDir(); !dir.isRoot();) {
        if (QFileInfo(dir.filePath(QStringLiteral("CMakeCache.txt"))).isFile())
            return dir.path();
        if (!dir.cdUp())
            break;
    }
    return std::nullopt;
}

QString fromBuildTree(const QString& tree) {
    return QStringLiteral(
               "brimwatch: this brimwatch is in the build tree %1, so Claude Code's status line "
               "would point into it and stop working once the tree is moved or cleaned. Install "
               "Brimwatch's package first and run brimwatch --statusline --install from it, or "
               "run this again with --force to use this build anyway.\n")
        .arg(tree);
}

QString settingsPath() {
    const QString dir = qEnvironmentVariable("CLAUDE_CONFIG_DIR");
    return (dir.isEmpty() ? QDir::homePath() + QStringLiteral("/.claude") : dir) +
           QStringLiteral("/settings.json");
}

namespace {

Report apply(Edit (*edit)(const QByteArray&, bool, const QString&), const QString& command,
             const QString& done, const std::function<void(int)>& meanwhile) {
    Edit e;
    const CarefulEdit::Result r = CarefulEdit::apply(
        settingsPath(), QStringLiteral(".bak-brimwatch"),
        [&](const QByteArray& bytes, bool exists, QByteArray& out) {
            e = edit(bytes, exists, command);
            out = e.text;
            return e.kind == Edit::Kind::Changed;
        },
        meanwhile);
    const auto fail = [&](const QString& why, bool snippet = true) {
        return Report{{},
                      QStringLiteral("brimwatch: %1\n").arg(why) +
                          (snippet ? byHand(command) : QString()),
                      1};
    };
    using O = CarefulEdit::Result::Outcome;
    switch (r.outcome) {
    case O::Written:
        return {done.arg(r.path) + (r.backup ? QStringLiteral("The file as it was is in %1.\n")
                                                   .arg(QFileInfo(r.path).fileName() +
                                                        QStringLiteral(".bak-brimwatch"))
                                             : QString()),
                {},
                0};
    case O::Left:
        return e.kind == Edit::Kind::Refused ? Report{{}, e.message, 1} : Report{e.message, {}, 0};
    case O::Unreadable:
        return fail(QStringLiteral("can't read %1: %2").arg(r.path, r.why));
    case O::DanglingLink:
        return fail(QStringLiteral("%1 is a link to %2, which is not there: fix the link, or "
                                   "remove it.")
                        .arg(r.path, r.why));
    case O::ReadOnly:
        return fail(QStringLiteral("%1 can't be written (%2), so it was left as it is.")
                        .arg(r.path, r.why));
    case O::KeptChanging:
        return fail(QStringLiteral("%1 kept changing while Brimwatch edited it, so it was left "
                                   "as it is. Try again in a moment.")
                        .arg(r.path));
    case O::NotWritten:
        return fail(QStringLiteral("can't write %1: %2").arg(r.path, r.why), false);
    }
    return {};
}

} // namespace

Report install(const QString& command, const std::function<void(int)>& meanwhile) {
    return apply(&installed, command,
                 QStringLiteral("Brimwatch is now Claude Code's status line, in %1.\n"), meanwhile);
}

Report uninstall(const QString& command, const std::function<void(int)>& meanwhile) {
    return apply(&uninstalled, command,
                 QStringLiteral("Brimwatch is no longer Claude Code's status line, in %1.\n"),
                 meanwhile);
}

} // namespace StatusLineSetup
