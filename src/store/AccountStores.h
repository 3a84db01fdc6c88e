#pragma once

#include "UsageStore.h"
#include "files/Account.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <deque>
#include <functional>
#include <optional>

// One store per account, read in turn (never two runs of the tool at once), the account the
// tray shows, and "usage.json" for all of them. With one account it is that account's store
// and nothing more. Lives on the main thread.
class Shares;

class AccountStores : public QObject {
    Q_OBJECT
public:
    // Starts one reading of an account; done is called once, later, on context's thread.
    using ReadAccount =
        std::function<void(QObject* context, const Account& account, UsageStore::ReadDone done)>;

    // base: what every store shares (the clock, the wake signal, the history); the first
    // account's store also checks for new versions and writes the status file. usage.json
    // (base.usageFile) is written here, for all accounts.
    AccountStores(UsageStore::Deps base, ReadAccount read, const QList<Account>& accounts,
                  QObject* parent = nullptr);
    // A store made elsewhere as the one account, the tool's default (renderings and tests).
    explicit AccountStores(UsageStore* only, QObject* parent = nullptr);
    ~AccountStores() override;

    const QList<Account>& accounts() const { return accounts_; }
    const QList<UsageStore*>& stores() const { return stores_; }
    UsageStore* first() const { return stores_.first(); }
    // The store of the account of that name.
    UsageStore* named(const QString& name) const;

    // Takes a new list: stores of folders still there stay (renamed if need be), others go,
    // new ones start reading (after start()).
    void setAccounts(const QList<Account>& accounts);

    // The account the tray shows: the one of this name, else (empty, or gone) the one whose
    // session is highest.
    void setTrayAccount(const QString& name);
    qsizetype trayIndex() const;
    UsageStore* trayStore() const { return stores_.at(trayIndex()); }
    const Account& trayAccount() const { return accounts_.at(trayIndex()); }
    // The rule: the pinned index when there is one, else the highest session (the first of
    // equals; the first when none has one).
    static qsizetype trayIndex(const QList<std::optional<double>>& sessions,
                               std::optional<qsizetype> pinned);

    // What used each account's windows; none unless base.transcripts names the index.
    Shares* shares() const { return shares_; }

    void start();
    // Every account, in turn.
    void refresh();
    // A status line's report, for the account whose folder is configDir (empty: the tool's
    // default). Dropped, and told once, when no account has that folder.
    void report(const QString& configDir, const StatusLine::Windows& windows);

signals:
    // The list of accounts changed: views rebuild their sections.
    void accountsChanged();
    // Any store changed, or which one the tray shows.
    void changed();

private:
    std::optional<qsizetype> indexOfFolder(const QString& configDir) const;
    UsageStore* make(const Account& account, bool first);
    void enqueue(QObject* context, const Account& account, UsageStore::ReadDone done);
    void readNext();
    void writeUsageFile();

    struct Waiting {
        QPointer<QObject> context;
        Account account;
        UsageStore::ReadDone done;
    };

    UsageStore::Deps base_;
    ReadAccount read_;
    QList<Account> accounts_;
    QList<UsageStore*> stores_;
    QString trayName_;
    std::deque<Waiting> waiting_;
    bool reading_ = false;
    bool started_ = false;
    Shares* shares_ = nullptr;
};
