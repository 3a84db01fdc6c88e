#pragma once

#include "transcripts/Breakdown.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QThreadPool>
#include <QTimer>

#include <atomic>

class AccountStores;

// What used each account's session and week: Claude Code's transcripts indexed off the UI
// thread (after readings, at most once a minute, and at once when the panel opens), then each
// window's top projects. An estimate: the plan counts what its servers count. Lives on the
// main thread; the index is touched only on its own worker.
class Shares : public QObject {
    Q_OBJECT
public:
    static constexpr int kTop = 5;       // projects kept per window
    static constexpr int kGapMs = 60000; // between updates after readings

    struct Of {
        QList<Transcript::Row> session, week;
        // Those of the row with this title: the session's, the week's, or none.
        QList<Transcript::Row> ofRow(QStringView title) const {
            return title == QStringView(Transcript::kSessionTitle) ? session
                   : title == QStringView(Transcript::kWeekTitle)  ? week
                                                                   : QList<Transcript::Row>();
        }
    };

    Shares(AccountStores* stores, QString indexPath, QObject* parent = nullptr);
    ~Shares() override; // stops an update between two files, and waits for it

    // After a reading: an update within a minute. Now: at once (the panel opened).
    void refresh();
    void refreshNow();
    // The account's (its config folder's) windows, as of the last update.
    Of of(const QString& folder) const { return of_.value(folder); }

    // The tooltip of a window's line (Transcript::summary): the top five and how they are
    // estimated. Empty without rows.
    static QString tip(const QList<Transcript::Row>& rows);

signals:
    void changed();

private:
    void run();

    AccountStores* stores_;
    QString indexPath_;
    QHash<QString, Of> of_;
    QThreadPool pool_;
    QTimer later_;
    QElapsedTimer last_;
    bool running_ = false, again_ = false;
    std::atomic<bool> stopping_{false};
};
