#include "AccountStores.h"

#include "Shares.h"
#include "files/Diagnostics.h"
#include "files/Files.h"

AccountStores::AccountStores(UsageStore::Deps base, ReadAccount read,
                             const QList<Account>& accounts, QObject* parent)
    : QObject(parent)
    , base_(std::move(base))
    , read_(std::move(read)) {
    if (!base_.transcripts.isEmpty()) {
        shares_ = new Shares(this, base_.transcripts, this);
        connect(shares_, &Shares::changed, this, [this] {
            writeUsageFile();
            emit changed();
        });
    }
    setAccounts(accounts.isEmpty() ? QList<Account>{Account{}} : accounts);
}

AccountStores::AccountStores(UsageStore* only, QObject* parent)
    : QObject(parent)
    , accounts_{Account{QStringLiteral("Claude"), {}}}
    , stores_{only} {
    connect(only, &UsageStore::changed, this, &AccountStores::changed);
}

AccountStores::~AccountStores() = default;

UsageStore* AccountStores::make(const Account& account, bool first) {
    UsageStore::Deps deps = base_;
    deps.account = account.configDir;
    deps.usageFile.clear();
    if (!first) { // one check for new versions, one status file
        deps.latestVersion = nullptr;
        deps.statusFile.clear();
    }
    deps.read = [this, account](QObject* context, UsageStore::ReadDone done) {
        const auto at = indexOfFolder(account.configDir); // its name may have changed
        enqueue(context, at ? accounts_.at(*at) : account, std::move(done));
    };
    auto* store = new UsageStore(deps, this);
    connect(store, &UsageStore::recorded, this, &AccountStores::writeUsageFile);
    if (shares_)
        connect(store, &UsageStore::recorded, shares_, &Shares::refresh);
    connect(store, &UsageStore::changed, this, &AccountStores::changed);
    return store;
}

void AccountStores::setAccounts(const QList<Account>& accounts) {
    if (accounts.isEmpty() || accounts == accounts_)
        return;
    QList<UsageStore*> stores, made;
    for (const Account& a : accounts) {
        const auto at = indexOfFolder(a.configDir);
        UsageStore* store = at ? stores_.at(*at) : nullptr;
        if (!store)
            made << (store = make(a, stores.isEmpty()));
        stores << store;
    }
    for (UsageStore* old : std::as_const(stores_))
        if (!stores.contains(old)) {
            std::erase_if(waiting_, [old](const Waiting& w) { return w.context == old; });
            old->deleteLater(); // a reading of it that runs is dropped when it ends
        }
    accounts_ = accounts;
    stores_ = stores;
    if (started_) // once the list is whole: their readings look their accounts up in it
        for (UsageStore* store : std::as_const(made))
            store->start();
    emit accountsChanged();
    emit changed();
    writeUsageFile();
}

UsageStore* AccountStores::named(const QString& name) const {
    for (qsizetype i = 0; i < accounts_.size(); ++i)
        if (accounts_[i].name == name)
            return stores_[i];
    return nullptr;
}

std::optional<qsizetype> AccountStores::indexOfFolder(const QString& configDir) const {
    for (qsizetype i = 0; i < accounts_.size(); ++i)
        if (accounts_[i].configDir == configDir)
            return i;
    return std::nullopt;
}

void AccountStores::setTrayAccount(const QString& name) {
    if (name == trayName_)
        return;
    trayName_ = name;
    emit changed();
    writeUsageFile();
}

qsizetype AccountStores::trayIndex() const {
    QList<std::optional<double>> sessions;
    std::optional<qsizetype> pinned;
    for (qsizetype i = 0; i < stores_.size(); ++i) {
        const auto session = stores_[i]->session();
        sessions << (session ? std::optional(session->percent) : std::nullopt);
        if (!trayName_.isEmpty() && accounts_[i].name == trayName_)
            pinned = i;
    }
    return trayIndex(sessions, pinned);
}

qsizetype AccountStores::trayIndex(const QList<std::optional<double>>& sessions,
                                   std::optional<qsizetype> pinned) {
    if (pinned && *pinned >= 0 && *pinned < sessions.size())
        return *pinned;
    qsizetype best = 0;
    for (qsizetype i = 0; i < sessions.size(); ++i)
        if (sessions[i] && (!sessions[best] || *sessions[i] > *sessions[best]))
            best = i;
    return best;
}

void AccountStores::start() {
    started_ = true;
    for (UsageStore* store : std::as_const(stores_))
        store->start();
}

void AccountStores::refresh() {
    for (UsageStore* store : std::as_const(stores_))
        store->refresh();
}

void AccountStores::report(const QString& configDir, const StatusLine::Windows& windows) {
    if (const auto at = indexOfFolder(configDir))
        return stores_.at(*at)->report(windows);
    Diagnostics::tellOnce(QStringLiteral("a status line's report for %1 was dropped: no account "
                                         "has that folder")
                              .arg(configDir.isEmpty() ? QStringLiteral("~/.claude") : configDir),
                          QStringLiteral("report for another folder")); // said once, kept once
}

void AccountStores::enqueue(QObject* context, const Account& account, UsageStore::ReadDone done) {
    waiting_.push_back({context, account, std::move(done)});
    readNext();
}

void AccountStores::readNext() {
    while (!reading_ && !waiting_.empty()) {
        Waiting next = std::move(waiting_.front());
        waiting_.pop_front();
        if (!next.context) // its account was removed while it waited
            continue;
        reading_ = true;
        read_(this, next.account,
              [this, context = next.context, done = std::move(next.done)](Reading reading) {
                  reading_ = false;
                  if (context)
                      done(std::move(reading));
                  readNext();
              });
    }
}

void AccountStores::writeUsageFile() {
    if (base_.usageFile.isEmpty() || stores_.isEmpty())
        return;
    const auto snapshot = [this](qsizetype i) {
        UsageFile::Snapshot s = stores_[i]->snapshot();
        if (shares_) {
            const Shares::Of of = shares_->of(accounts_[i].folder());
            for (auto [rows, to] :
                 {std::pair{&of.session, &s.projects.session}, {&of.week, &s.projects.week}})
                for (const Transcript::Row& r : *rows)
                    to->append({r.name, r.key, r.share, r.limitPercent});
        }
        return s;
    };
    QList<UsageFile::AccountSnapshot> all;
    for (qsizetype i = 0; i < stores_.size(); ++i)
        all << UsageFile::AccountSnapshot{accounts_[i].name, accounts_[i].configDir, snapshot(i)};
    Files::write(base_.usageFile, UsageFile::encode(snapshot(trayIndex()), all));
}
