// Several accounts: read in turn, each with its own state, the tray's account, and the file
// that holds them all.

#include "store/AccountStores.h"
#include "store/UsageFile.h"
#include "support/StoreFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QSignalSpy>

using namespace Qt::StringLiterals;

namespace {

TEST(TrayAccount, HighestSessionOrThePinnedOne) {
    using S = std::optional<double>;
    const struct {
        QList<S> sessions;
        std::optional<qsizetype> pinned;
        qsizetype want;
    } rows[] = {
        {{S(40)}, {}, 0},
        {{S(40), S(82), S(10)}, {}, 1},
        {{S(82), S(82)}, {}, 0},       // the first of equals
        {{std::nullopt, S(5)}, {}, 1}, // one without a reading
        {{std::nullopt, std::nullopt}, {}, 0},
        {{S(40), S(82)}, 0, 0}, // pinned, though lower
        {{S(40), S(82)}, 5, 1}, // a pin past the list: the highest
    };
    for (const auto& r : rows)
        EXPECT_EQ(AccountStores::trayIndex(r.sessions, r.pinned), r.want);
}

class Accounts : public StoreFixture {
protected:
    struct Asked {
        Account account;
        UsageStore::ReadDone done;
    };
    std::unique_ptr<AccountStores> make(const QList<Account>& accounts) {
        QDir().mkpath(Paths::supportDir());
        UsageStore::Deps d = deps();
        return std::make_unique<AccountStores>(
            d,
            [this](QObject*, const Account& a, UsageStore::ReadDone done) {
                asked.push_back({a, std::move(done)});
            },
            accounts);
    }
    // Answers the oldest reading asked for with a session at that percentage.
    QString answerNext(int percent) {
        EXPECT_FALSE(asked.empty());
        Asked a = std::move(asked.front());
        asked.erase(asked.begin());
        ToolRun run;
        run.result = u"Current session: %1% used · resets 11pm (UTC)"_s.arg(percent);
        a.done(Reading::of(run, time.now()));
        return a.account.name;
    }
    // The names in usage.json: the top level's session, then each account's.
    QString file() {
        const UsageFile::File f = UsageFile::read(Paths::usageJson(), time.now());
        QStringList out{f.snapshot ? QString::number(f.snapshot->limits.value(0).percent) : u"-"_s};
        for (const auto& a : f.accounts)
            out << a.name + u'=' +
                       (a.reading.error ? u"error"_s
                        : a.reading.limits.isEmpty()
                            ? u"-"_s
                            : QString::number(a.reading.limits[0].percent));
        return out.join(u' ');
    }
    std::vector<Asked> asked;
    const QList<Account> three{{u"Claude"_s, {}}, {u"Work"_s, u"/w"_s}, {u"Client"_s, u"/c"_s}};
};

TEST_F(Accounts, ReadInTurnEachWithItsOwnState) {
    auto all = make(three);
    all->start();
    ASSERT_EQ(asked.size(), 1u); // one run at a time
    EXPECT_EQ(answerNext(40), u"Claude"_s);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked.front().account.configDir, u"/w"_s);
    Asked work = std::move(asked.front());
    asked.clear();
    ToolRun failed;
    failed.result = CLIError{u"boom"_s};
    work.done(Reading::of(failed, time.now()));
    EXPECT_EQ(answerNext(82), u"Client"_s);
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(file(), u"82 Claude=40 Work=error Client=82"_s);
    EXPECT_EQ(all->trayAccount().name, u"Client"_s);
    EXPECT_EQ(*all->named(u"Work"_s)->error(), u"boom"_s);
    EXPECT_EQ(all->named(u"Claude"_s)->limits().size(), 1); // one's failure hides nothing
    all->setTrayAccount(u"Claude"_s);
    EXPECT_EQ(file(), u"40 Claude=40 Work=error Client=82"_s);

    // A refresh reads them all again, in turn; a store removed while it waits is skipped.
    all->refresh();
    ASSERT_EQ(asked.size(), 1u);
    all->setAccounts({three[0], three[1]});
    EXPECT_EQ(answerNext(41), u"Claude"_s);
    EXPECT_EQ(answerNext(60), u"Work"_s);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(file(), u"41 Claude=41 Work=60"_s);
    // One added while the app runs is read at once.
    all->setAccounts({three[0], three[1], {u"Home"_s, u"/h"_s}});
    EXPECT_EQ(answerNext(7), u"Home"_s);
    EXPECT_EQ(file(), u"41 Claude=41 Work=60 Home=7"_s); // the tray is still pinned
}

TEST_F(Accounts, ARenameKeepsTheStoreAndReportsFindTheirFolder) {
    auto all = make(three);
    UsageStore* work = all->named(u"Work"_s);
    all->setAccounts({three[0], {u"Job"_s, u"/w"_s}, three[2]});
    EXPECT_EQ(all->named(u"Job"_s), work);
    QSignalSpy changes(all.get(), &AccountStores::accountsChanged);
    all->setAccounts({});              // never none
    all->setAccounts(all->accounts()); // nothing new: nothing to rebuild
    EXPECT_EQ(all->stores().size(), 3);
    EXPECT_EQ(changes.count(), 0);
    StatusLine::Windows w;
    w.session = StatusLine::Window{55, time.now() + 3600.0};
    all->report(u"/w"_s, w);
    all->report(u"/elsewhere"_s, w);
    EXPECT_EQ(work->session()->percent, 55);
    EXPECT_TRUE(all->first()->limits().isEmpty());
    EXPECT_EQ(file(), u"55 Claude=- Job=55 Client=-"_s);
}

} // namespace
