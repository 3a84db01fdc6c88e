#include "AccountList.h"

#include "Keys.h"
#include "Settings.h"

#include <QFileInfo>
#include <QVariantMap>

namespace AccountList {

namespace {

const QString kGroup = QLatin1String(Keys::kAccounts);

QString key(int i, const char* field) {
    return kGroup + QStringLiteral("/%1/").arg(i + 1) + QLatin1String(field);
}

// One folder, however it is written: a trailing slash, "..", a link.
QString same(const QString& folder) {
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(folder) : canonical;
}

std::optional<QString> problemWithName(const QList<Account>& accounts, const QString& name) {
    if (name.trimmed().isEmpty())
        return QStringLiteral("An account needs a name.");
    if (name != name.trimmed() || name.size() > kMaxName ||
        std::any_of(name.begin(), name.end(),
                    [](QChar c) { return c.category() == QChar::Other_Control; }))
        return QStringLiteral("An account's name is at most %1 characters, without line breaks "
                              "or spaces at its ends.")
            .arg(kMaxName);
    if (named(accounts, name))
        return QStringLiteral("There is already an account named %1.").arg(name);
    return std::nullopt;
}

int storedSize() {
    return Settings::value(kGroup + QStringLiteral("/size")).toInt();
}

QString tooMany() {
    return QStringLiteral("The settings list more than %1 accounts, and Brimwatch reads the "
                          "first %1.")
        .arg(kMaxAccounts);
}

} // namespace

Checked check(const QList<Account>& entries) {
    Checked c;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Account& a = entries[i];
        const QString where = QStringLiteral("Account %1 in the settings").arg(i + 1);
        if (a.name.trimmed().isEmpty())
            c.problems << where + QStringLiteral(" has no name: it is left out.");
        else if (named(c.accounts, a.name.trimmed()))
            c.problems << where + QStringLiteral(" has the name %1 again: it is left out.")
                                      .arg(a.name.trimmed());
        else if (ofFolder(c.accounts, a.configDir))
            c.problems << where + QStringLiteral(" has the folder of %1: it is left out.")
                                      .arg(ofFolder(c.accounts, a.configDir)->name);
        else
            c.accounts << Account{a.name.trimmed(), a.configDir};
    }
    if (c.accounts.isEmpty())
        c.accounts << Account{QString::fromLatin1(kDefaultName), {}};
    return c;
}

Checked load() {
    QList<Account> entries;
    const int size = storedSize();
    for (int i = 0; i < std::min(size, kMaxAccounts); ++i)
        entries << Account{Settings::value(key(i, "name")).toString(),
                           Settings::value(key(i, "configDir")).toString()};
    Checked c = check(entries);
    if (size > kMaxAccounts)
        c.problems << tooMany();
    return c;
}

void save(const QList<Account>& accounts) {
    QVariantMap values;
    values.insert(kGroup, QVariant()); // the group whole goes first (keys are written in order)
    for (int i = 0; i < accounts.size(); ++i) {
        values.insert(key(i, "name"), accounts[i].name);
        values.insert(key(i, "configDir"), accounts[i].configDir);
    }
    values.insert(kGroup + QStringLiteral("/size"), int(accounts.size()));
    Settings::setValues(values);
}

std::optional<QString> problemWithFolder(QString& folder) {
    if (folder == u"~" || folder.startsWith(QStringLiteral("~/")))
        folder.replace(0, 1, QDir::homePath());
    folder = QDir::cleanPath(QDir::current().absoluteFilePath(folder));
    const QFileInfo info(folder);
    if (!info.isDir())
        return QStringLiteral("%1 is not a folder.").arg(folder);
    for (const char* file : {".credentials.json", "settings.json"})
        if (QFileInfo::exists(folder + u'/' + QLatin1String(file)))
            return std::nullopt;
    return QStringLiteral("%1 holds no login of Claude Code (no .credentials.json or "
                          "settings.json). Run CLAUDE_CONFIG_DIR=%1 claude and log in first.")
        .arg(folder);
}

Change added(QList<Account> accounts, const QString& name, QString folder) {
    if (accounts.size() >= kMaxAccounts)
        return {accounts, QStringLiteral("Brimwatch reads at most %1 accounts: remove one first.")
                              .arg(kMaxAccounts)};
    if (auto problem = problemWithName(accounts, name))
        return {accounts, problem};
    if (auto problem = problemWithFolder(folder))
        return {accounts, problem};
    if (const auto other = ofFolder(accounts, folder))
        return {accounts,
                QStringLiteral("%1 is already the folder of %2.").arg(folder, other->name)};
    accounts << Account{name, same(folder) == same(Account{}.folder()) ? QString() : folder};
    return {accounts, std::nullopt};
}

Change removed(QList<Account> accounts, const QString& name) {
    if (!named(accounts, name))
        return {accounts, QStringLiteral("There is no account named %1.").arg(name)};
    if (accounts.size() == 1)
        return {accounts,
                QStringLiteral("%1 is the only account: Brimwatch needs one to read.").arg(name)};
    accounts.removeIf([&](const Account& a) { return a.name == name; });
    return {accounts, std::nullopt};
}

Change renamed(QList<Account> accounts, const QString& name, const QString& to) {
    if (!named(accounts, name))
        return {accounts, QStringLiteral("There is no account named %1.").arg(name)};
    if (to == name)
        return {accounts, std::nullopt};
    if (auto problem = problemWithName(accounts, to))
        return {accounts, problem};
    for (Account& a : accounts)
        if (a.name == name)
            a.name = to;
    return {accounts, std::nullopt};
}

QString shown(const Account& account) {
    const QString home = QDir::homePath();
    QString folder = account.folder();
    if (folder == home || folder.startsWith(home + u'/'))
        folder.replace(0, home.size(), u'~');
    return account.isDefault() ? folder + QStringLiteral(" (default)") : folder;
}

std::optional<Account> named(const QList<Account>& accounts, const QString& name) {
    for (const Account& a : accounts)
        if (a.name == name)
            return a;
    return std::nullopt;
}

std::optional<Account> ofFolder(const QList<Account>& accounts, const QString& folder) {
    const QString wanted = same(folder.isEmpty() ? Account{}.folder() : folder);
    for (const Account& a : accounts)
        if (same(a.folder()) == wanted)
            return a;
    return std::nullopt;
}

Change apply(const std::function<Change(QList<Account>)>& change, int waitMs) {
    const Settings::Lock lock(waitMs);
    if (!lock.held())
        return {load().accounts, lock.problem()};
    if (storedSize() > kMaxAccounts) // what is not read would be lost
        return {load().accounts, tooMany() + QStringLiteral(" Edit the list by hand.")};
    Change c = change(load().accounts);
    if (!c.problem)
        save(c.accounts);
    return c;
}

} // namespace AccountList
