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

// Tells the running app of a saved change; what could not be done, on standard error.
Report saved(const AccountList::Change& c, const QString& done) {
    if (c.problem)
        return {{}, problems({*c.problem}), 1};
    if (const auto problem = Settings::problem())
        return {{}, problems({QStringLiteral("the accounts can't be saved: ") + *problem}), 1};
    RunningApp::call(QStringLiteral("AccountsChanged"));
    return {done + u'\n', {}, 0};
}

// A name or folder on one line: control characters written as escapes ("\n", "\x1b").
QString oneLine(const QString& text) {
    QString out;
    for (const QChar c : text) {
        if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\t')
            out += QStringLiteral("\\t");
        else if (c.category() == QChar::Other_Control)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QChar(u'0'));
        else
            out += c;
    }
    return out;
}

} // namespace

Report list() {
    const AccountList::Checked c = AccountList::load();
    qsizetype width = 0;
    for (const Account& a : c.accounts)
        width = std::max(width, a.name.size());
    QString out;
    for (const Account& a : c.accounts)
        out +=
            QStringLiteral("%1  %2\n").arg(a.name, -int(width)).arg(oneLine(AccountList::shown(a)));
    return {out, problems(c.problems), 0};
}

Report add(const QString& name, const QString& folder) {
    const AccountList::Change c = AccountList::apply(
        [&](QList<Account> list) { return AccountList::added(list, name, folder); });
    return saved(c, c.problem ? QString()
                              : QStringLiteral("Added %1: %2")
                                    .arg(name, oneLine(AccountList::shown(c.accounts.last()))));
}

Report remove(const QString& name) {
    return saved(
        AccountList::apply([&](QList<Account> list) { return AccountList::removed(list, name); }),
        QStringLiteral("Removed %1.").arg(name));
}

int run(const Options::Invocation& args, int argc, char** argv) {
    QCoreApplication app(argc, argv); // for the bus
    switch (args.mode) {
    case Options::Mode::AddAccount:
        if (args.rest.isEmpty())
            return print(
                {{}, problems({QStringLiteral("--add-account takes a name and a folder")}), 2});
        RunningApp::end(print(add(args.value, args.rest.first())));
    case Options::Mode::RemoveAccount:
        RunningApp::end(print(remove(args.value)));
    default:
        return print(list());
    }
}

} // namespace AccountsCommand
