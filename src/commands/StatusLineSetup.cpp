#include "StatusLineSetup.h"

#include "files/Files.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace StatusLineSetup {

namespace {

constexpr qint64 kMaxBytes = 4 << 20; // a settings file is a few kilobytes
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
        const QJsonArray key = QJsonDocument::fromJson("[" + t.mid(i, keyEnd - i) + "]").array();
        m.key = key.isEmpty() ? QString() : key.at(0).toString();
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

qsizetype statusLines(const QByteArray& body) {
    const Layout l = layout(body);
    return std::count_if(l.members.begin(), l.members.end(),
                         [](const Member& m) { return m.key == kKey; });
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
    if (statusLines(text) > 1)
        return {K::Refused, {}, twice() + byHand(command, "keep one, this, in")};
    if (o->contains(kKey)) {
        if (ours(o->value(kKey), command))
            return {K::Unchanged,
                    {},
                    QStringLiteral("Brimwatch is already Claude Code's status line.\n")};
        return {K::Refused,
                {},
                QStringLiteral("Claude Code already has a status line, left as it is: %1\n")
                        .arg(existing(o->value(kKey))) +
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
    if (!o->contains(kKey))
        return {K::Unchanged, {}, nothing};
    if (statusLines(text) > 1)
        return {K::Refused, {}, twice()};
    if (!ours(o->value(kKey), command))
        return {K::Refused,
                {},
                QStringLiteral("Claude Code's status line is not Brimwatch's, left as it is: %1\n")
                    .arg(existing(o->value(kKey)))};
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

QString settingsPath() {
    const QString dir = qEnvironmentVariable("CLAUDE_CONFIG_DIR");
    return (dir.isEmpty() ? QDir::homePath() + QStringLiteral("/.claude") : dir) +
           QStringLiteral("/settings.json");
}

namespace {

constexpr int kTries = 3;       // edits started again when the file changed meanwhile
constexpr int kEmptyReads = 5;  // a file read empty is read again this often,
constexpr int kEmptyWait = 100; // this many ms apart: it may be being rewritten

// The file as read, and what tells whether it is still that file.
struct Seen {
    Files::Read read;
    struct stat st {};
    bool exists = false;
};

Seen look(const QString& path) {
    Seen s;
    for (int i = 0;; ++i) {
        s.exists = ::stat(QFile::encodeName(path).constData(), &s.st) == 0;
        s.read = Files::readRegular(path, kMaxBytes + 1);
        // An editor saving in place truncates first: empty is only believed when it stays so.
        if (!s.exists || s.read.problem || !s.read.data.isEmpty() || i + 1 == kEmptyReads)
            return s;
        ::usleep(kEmptyWait * 1000);
    }
}

bool same(const Seen& a, const Seen& b) {
    return a.exists == b.exists && a.read.data == b.read.data &&
           (!a.exists ||
            (a.st.st_ino == b.st.st_ino && a.st.st_dev == b.st.st_dev &&
             a.st.st_size == b.st.st_size && a.st.st_mtim.tv_sec == b.st.st_mtim.tv_sec &&
             a.st.st_mtim.tv_nsec == b.st.st_mtim.tv_nsec));
}

// The new text in a file beside the target, with its mode and owner: its name, or why not.
std::optional<QString> prepare(const QString& path, const QByteArray& text, const Seen& was,
                               QByteArray& temp) {
    const QFileInfo target(path);
    temp = QFile::encodeName(target.path() + QStringLiteral("/.") + target.fileName() +
                             QStringLiteral(".XXXXXX"));
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    bool ok = ::fchmod(fd, was.exists ? was.st.st_mode & 07777 : 0600) == 0;
    if (ok && was.exists && (was.st.st_uid != ::geteuid() || was.st.st_gid != ::getegid()))
        (void)!::fchown(fd, was.st.st_uid, was.st.st_gid); // only root may; others own theirs
    for (qsizetype done = 0; ok && done < text.size();) {
        const ssize_t n = ::write(fd, text.constData() + done, size_t(text.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        done += std::max<ssize_t>(n, 0);
    }
    ok = ok && ::fsync(fd) == 0;
    const int error = ok ? 0 : errno ? errno : EIO;
    ::close(fd);
    if (ok)
        return std::nullopt;
    ::unlink(temp.constData());
    return QString::fromLocal8Bit(std::strerror(error));
}

Report apply(Edit (*edit)(const QByteArray&, bool, const QString&), const QString& command,
             const QString& done, const std::function<void(int)>& meanwhile) {
    const auto refused = [&](const QString& why) {
        return Report{{}, QStringLiteral("brimwatch: %1\n").arg(why) + byHand(command), 1};
    };
    QString path = settingsPath();
    const QFileInfo link(path);
    if (link.isSymLink()) {
        // The file the link stands for is edited; the link stays.
        if (!QFileInfo::exists(path))
            return refused(QStringLiteral("%1 is a link to %2, which is not there: fix the link, "
                                          "or remove it.")
                               .arg(path, link.symLinkTarget()));
        path = link.canonicalFilePath();
    }
    for (int attempt = 1; attempt <= kTries; ++attempt) {
        const Seen was = look(path);
        const Files::Read& r = was.read;
        if (r.problem || r.data.size() > kMaxBytes)
            return {{},
                    QStringLiteral("brimwatch: can't read %1: %2\n")
                        .arg(path, r.problem.value_or(QStringLiteral("it is over 4 MB"))),
                    1};
        const Edit e = edit(r.data, !r.missing, command);
        if (e.kind == Edit::Kind::Refused)
            return {{}, e.message, 1};
        if (e.kind == Edit::Kind::Unchanged)
            return {e.message, {}, 0};
        if (was.exists && ::access(QFile::encodeName(path).constData(), W_OK) != 0)
            return refused(QStringLiteral("%1 can't be written (%2), so it was left as it is.")
                               .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        if (was.exists && !(was.st.st_mode & S_IWUSR))
            return refused(QStringLiteral("%1 is read-only, so it was left as it is.").arg(path));
        const QString backup = path + QStringLiteral(".bak-brimwatch");
        std::optional<QString> problem = Files::makeFolder(QFileInfo(path).path());
        if (!problem && !r.data.isEmpty())
            problem = Files::write(backup, r.data, int(was.st.st_mode & 07777));
        QByteArray temp;
        if (!problem)
            problem = prepare(path, e.text, was, temp);
        if (problem)
            return {{}, QStringLiteral("brimwatch: can't write %1: %2\n").arg(path, *problem), 1};
        if (meanwhile)
            meanwhile(attempt);
        // Right before the rename: still the file that was read, or start again from the new.
        if (!same(was, look(path))) {
            ::unlink(temp.constData());
            continue;
        }
        if (::rename(temp.constData(), QFile::encodeName(path).constData()) != 0) {
            const int error = errno;
            ::unlink(temp.constData());
            return {{},
                    QStringLiteral("brimwatch: can't write %1: %2\n")
                        .arg(path, QString::fromLocal8Bit(std::strerror(error))),
                    1};
        }
        return {done.arg(path) + (r.data.isEmpty()
                                      ? QString()
                                      : QStringLiteral("The file as it was is in %1.\n")
                                            .arg(QFileInfo(backup).fileName())),
                {},
                0};
    }
    return refused(QStringLiteral("%1 kept changing while Brimwatch edited it, so it was left as "
                                  "it is. Try again in a moment.")
                       .arg(path));
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
