#pragma once

#include "files/Account.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The accounts Brimwatch reads, kept in the settings file as the array group "Accounts"
// ("name", "configDir"). A file without the group means one account: the tool's default,
// named "Claude". The one place that reads, checks and changes the list.
namespace AccountList {

inline constexpr char kDefaultName[] = "Claude";
inline constexpr int kMaxName = 40;      // characters: a name fits a panel header and a bubble
inline constexpr int kMaxAccounts = 200; // far more than anyone reads; a list stays quick

// The usable accounts among entries as stored, in their order, and a line for each entry
// left out: one without a name, or a name or folder already taken. Nothing usable left: the
// default account alone.
struct Checked {
    QList<Account> accounts;
    QStringList problems;
};
Checked check(const QList<Account>& entries);

// The settings file's accounts, checked; past kMaxAccounts, a line says the rest are not read.
Checked load();
// Writes the group whole.
void save(const QList<Account>& accounts);

// Why a folder cannot be an account's: it is not there, or holds none of the tool's files
// (".credentials.json" or "settings.json"). The folder is made absolute and clean first ("~"
// for the home folder understood).
std::optional<QString> problemWithFolder(QString& folder);

// The changes, each checked against the list: the new list, or why not.
struct Change {
    QList<Account> accounts;
    std::optional<QString> problem;
};
Change added(QList<Account> accounts, const QString& name, QString folder);
Change removed(QList<Account> accounts, const QString& name);
Change renamed(QList<Account> accounts, const QString& name, const QString& to);
// A change made on the file's list as it is now, by one process at a time (waiting up to
// waitMs for another), and saved.
Change apply(const std::function<Change(QList<Account>)>& change, int waitMs = 5000);

// An account's folder as people read it: "~" for the home folder, "(default)" after the
// default account's.
QString shown(const Account& account);

// The account of that name, if any.
std::optional<Account> named(const QList<Account>& accounts, const QString& name);
// The account whose folder is this one (a CLAUDE_CONFIG_DIR; empty or ~/.claude for the
// default account), if any.
std::optional<Account> ofFolder(const QList<Account>& accounts, const QString& folder);

} // namespace AccountList
