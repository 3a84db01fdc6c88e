#include "Accounts.h"

#include "RunningApp.h"
#include "prefs/AccountList.h"
#include "prefs/Settings.h"

#include <QCoreApplication>

namespace AccountsCommand {

namespace {

QString problems(const QStringList& lines) {
    QString err;
    for (const QString& line : lines)
        err += QStringLiteral("brimwatch: ") + line + u'\n';
    return err;
}

// Saves a change and tells the running app; what could not be done, on standard error.
Report saved(const AccountList::Change& c, const QString& done) {
    if (c.problem)
        return {{}, problems({*c.problem}), 1};
    AccountList::save(c.accounts);
    if (const auto problem = Settings::problem())
        return {{}, problems({QStringLiteral("the accounts can't be saved: ") + *problem}), 1};
    RunningApp::call(QStringLiteral("AccountsChanged"));
    return {done + u'\n', {}, 0};
}

} // namespace

Report list() {
    const AccountList::Checked c = AccountList::load();
    qsizetype width = 0;
    for (const Account& a : c.accounts)
        width = std::max(width, a.name.size());
    QString out;
    for (const Account& a : c.accounts)
        out += QStringLiteral("%1  %2\n").arg(a.name, -int(width)).arg(AccountList::shown(a));
    return {out, problems(c.problems), 0};
}

Report add(const QString& name, const QString& folder) {
    const AccountList::Change c = AccountList::added(AccountList::load().accounts, name, folder);
    return saved(
        c, c.problem
               ? QString()
               : QStringLiteral("Added %1: %2").arg(name, AccountList::shown(c.accounts.last())));
}

Report remove(const QString& name) {
    return saved(AccountList::removed(AccountList::load().accounts, name),
                 QStringLiteral("Removed %1.").arg(name));
}

int run(const Options::Invocation& args, int argc, char** argv) {
    QCoreApplication app(argc, argv); // for the bus
    switch (args.mode) {
    case Options::Mode::AddAccount:
        if (args.rest.isEmpty())
            return print(
                {{}, problems({QStringLiteral("--add-account takes a name and a folder")}), 2});
        return print(add(args.value, args.rest.first()));
    case Options::Mode::RemoveAccount:
        return print(remove(args.value));
    default:
        return print(list());
    }
}

} // namespace AccountsCommand
