#include "ClaudeCLI.h"

#include "ProcessGroup.h"
#include "Stopping.h"
#include "usage/Placeholder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <algorithm>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ClaudeCLI {

namespace {

// Exists, is a regular file (links followed) and this user may execute it.
bool isExecutableFile(const QString& path) {
    if (path.isEmpty())
        return false;
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    return ::stat(native.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(native.constData(), X_OK) == 0;
}

QString expandTilde(const QString& path) {
    if (path == u"~")
        return QDir::homePath();
    if (path.startsWith(u"~/"))
        return QDir::homePath() + path.mid(1);
    return path;
}

QString userShell() {
    struct passwd pw {};
    struct passwd* found = nullptr;
    char buf[4096];
    if (::getpwuid_r(::getuid(), &pw, buf, sizeof buf, &found) == 0 && found && found->pw_shell &&
        *found->pw_shell)
        return QFile::decodeName(found->pw_shell);
    return QStringLiteral("/bin/sh");
}

std::optional<QString> fromNodeVersions() {
    const QDir dir(QDir::homePath() + QStringLiteral("/.nvm/versions/node"));
    if (!dir.exists())
        return std::nullopt;
    QStringList names = dir.entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    // Plain code-unit order, walked from the end: "v9..." comes before "v20...".
    std::sort(names.begin(), names.end());
    for (auto it = names.crbegin(); it != names.crend(); ++it) {
        const QString candidate = dir.path() + u'/' + *it + QStringLiteral("/bin/claude");
        if (isExecutableFile(candidate))
            return candidate;
    }
    return std::nullopt;
}

// The app's own PATH: fnm, volta, asdf, mise or pnpm put the tool there when Brimwatch starts
// from a terminal or a session that has them. Empty and relative entries name the current
// folder, which is nowhere in particular for a tray app: they are skipped.
std::optional<QString> fromOwnPath() {
    for (const QString& folder : qEnvironmentVariable("PATH").split(u':', Qt::SkipEmptyParts)) {
        if (!folder.startsWith(u'/'))
            continue;
        const QString candidate = folder + QStringLiteral("/claude");
        if (isExecutableFile(candidate))
            return candidate;
    }
    return std::nullopt;
}

// Asks the login shell, which knows the PATH of the user's profile.
std::optional<QString> fromLoginShell(const Options& options) {
    QProcess shell;
    shell.setProgram(options.loginShell.isEmpty() ? userShell() : options.loginShell);
    shell.setArguments({QStringLiteral("-lc"), QStringLiteral("command -v claude")});
    shell.setStandardInputFile(QProcess::nullDevice());
    shell.setStandardErrorFile(QProcess::nullDevice());
    ProcessGroup::startOwnGroup(shell);
    shell.start();
    if (!shell.waitForStarted(-1))
        return std::nullopt;
    if (!Stopping::waitForFinished(shell, options.shellTimeout)) {
        ProcessGroup::signal(shell, SIGKILL);
        shell.waitForFinished(1000);
        return std::nullopt;
    }
    QString out = QString::fromUtf8(shell.readAllStandardOutput()).trimmed();
    // Inner line breaks stay: several lines never name a file.
    if (isExecutableFile(out))
        return out;
    return std::nullopt;
}

} // namespace

QString placeholderModel() {
    return QString::fromUtf16(kPlaceholderModel);
}

const QStringList& searchPaths() {
    static const QStringList paths = [] {
        QStringList p;
        for (const char* folder : {"~/.local/bin", "~/.claude/local", "/usr/local/bin",
                                   "/opt/homebrew/bin", "~/.npm-global/bin", "~/.bun/bin"})
            p << expandTilde(QString::fromLatin1(folder));
        return p;
    }();
    return paths;
}

std::optional<QString> find(const Options& options) {
    for (const QString& folder : searchPaths()) {
        const QString candidate = folder + QStringLiteral("/claude");
        if (isExecutableFile(candidate))
            return candidate;
    }
    if (auto nvm = fromNodeVersions())
        return nvm;
    if (auto onPath = fromOwnPath())
        return onPath;
    return fromLoginShell(options);
}

} // namespace ClaudeCLI
