#pragma once

#include "HistoryDb.h"
#include "TimeSource.h"
#include "UsageFile.h"
#include "cli/Reading.h"
#include "usage/Limit.h"
#include "usage/StatusLine.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class History;
class WakeSource;

// The single source of truth for what the user sees: the limits of the last good reading,
// the last error, whether a reading runs, the shared clock, and a newer release if any.
// Every assignment to a published property emits its signal and changed(), even when the
// value is the same. Lives on the main thread.
class UsageStore : public QObject {
    Q_OBJECT
public:
    using ReadDone = std::function<void(Reading)>;
    using VersionDone = std::function<void(std::optional<QString>)>;

    // What the store reads with and writes to, chosen by whoever makes it: the application
    // gives the real tool, feed, clock and files; tests and renderings give their own.
    struct Deps {
        TimeSource* time = nullptr;
        // Starts one reading (the tool's run and its parsing, off the UI thread); done must be
        // called once, later, on context's thread.
        std::function<void(QObject* context, ReadDone done)> read;
        // Fetches the newest published version; done is called once, later.
        std::function<void(QObject* context, VersionDone done)> latestVersion;
        WakeSource* wake = nullptr; // no wake refresh without one
        QString statusFile;         // "status.txt", if written
        QString usageFile;          // "usage.json", if written
        History* history = nullptr; // where good readings are remembered, if anywhere
        QString account;            // its config folder, as the history knows it
        QString transcripts;        // the transcripts' index, if kept (AccountStores)
    };

    // Where the rows of the last good reading came from: a run of the tool, or a report of
    // Claude Code's status line (the session and week rows; the others from the last run).
    enum class Source { Tool, StatusLine };

    explicit UsageStore(Deps deps, QObject* parent = nullptr);
    ~UsageStore() override;

    const QList<Limit>& limits() const { return limits_; }
    std::optional<Instant> updatedAt() const { return updatedAt_; }
    const std::optional<QString>& error() const { return error_; }
    Source source() const { return source_; }
    bool isLoading() const { return isLoading_; }
    Instant now() const { return now_; }
    const std::optional<QString>& newVersion() const { return newVersion_; }
    // Why the support folder could not be used at the last reading, if it could not.
    const std::optional<QString>& folderProblem() const { return folderProblem_; }
    // The readings remembered for the pace and the charts; none without a history.
    History* history() const { return deps_.history; }
    // The recent samples of one of its limits, from the history; none without one.
    QList<Sample> samples(const QString& title) const;
    // What usage.json says of this store's last reading.
    UsageFile::Snapshot snapshot() const;
    // Consecutive readings that ended in an error.
    qint64 failures() const { return failures_; }

    // The limit titled "Session", else the first one; absent with no limits.
    std::optional<Limit> session() const;

    // Called after readings, clock ticks and version checks, for the application shell.
    std::function<void()> onChange;

    void start();
    void refresh();
    void refreshIfStale(double maxAge = 60);
    void checkForUpdate();
    void loadSample(const QString& text);
    // A status line's report: windows that make sense update the session and week rows like
    // a good reading, and put off the next tool run; others are dropped, and told once. One a
    // second is taken (the latest); the history gets a row a minute unless a level or a reset
    // changes.
    void report(const StatusLine::Windows& windows);

    // Seconds until the next automatic reading after one that left this state.
    static double nextDelay(bool failed, qint64 failures, const QList<Limit>& limits, Instant now);
    // Seconds until the next tool run after a status line's report at now: the regular
    // delay, but no later than 30 minutes after the last tool run (for the other rows).
    static double delayAfterReport(const QList<Limit>& limits, Instant now,
                                   std::optional<Instant> lastToolRun);

    // The status file's text for this state; raw is the tool's output ("" after a failure).
    static QString statusText(Instant now, const std::optional<QString>& error,
                              const QList<Limit>& limits, const QString& raw);

signals:
    void changed(); // after any published assignment
    void limitsChanged();
    void updatedAtChanged();
    void errorChanged();
    void sourceChanged();
    void isLoadingChanged();
    void nowChanged();
    void newVersionChanged();
    void folderProblemChanged();
    void recorded(); // a reading or report was written down

private:
    void takeReport();
    void apply(const Reading& reading);
    // Writes the status file and usage.json; raw is the tool's output.
    void record(const QString& raw);
    void scheduleNext();
    void notifyShell() {
        if (onChange)
            onChange();
    }

    template <typename T> void publish(T& field, T value, void (UsageStore::*signal)());
    void setLimits(QList<Limit> v);
    void setUpdatedAt(std::optional<Instant> v);
    void setError(std::optional<QString> v);
    void setSource(Source v);
    void setIsLoading(bool v);
    void setNow(Instant v);
    void setNewVersion(std::optional<QString> v);
    void setFolderProblem(std::optional<QString> v);

    Deps deps_;
    QList<Limit> limits_;
    std::optional<Instant> updatedAt_;
    std::optional<QString> error_;
    Source source_ = Source::Tool;
    std::optional<Instant> lastToolRun_;
    std::optional<Instant> checkedAt_; // the last reading or report
    bool isLoading_ = false;
    Instant now_;
    std::optional<QString> newVersion_;
    std::optional<QString> folderProblem_;
    std::unique_ptr<Timer> nextFetch_;
    StatusLine::Windows waitingReport_; // the latest report, until its second comes
    bool reportWaits_ = false;
    std::unique_ptr<Timer> reportDue_;
    std::optional<Instant> lastReport_; // when the last report was taken
    std::optional<std::pair<Instant, QList<Limit>>> lastReportRow_; // the last in the history
    std::unique_ptr<Timer> ticker_;
    std::unique_ptr<Timer> firstUpdateCheck_;
    std::unique_ptr<Timer> updateTimer_;
    qint64 failures_ = 0;
};
