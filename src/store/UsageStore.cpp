#include "UsageStore.h"

#include "History.h"
#include "cli/AppInfo.h"
#include "cli/Updates.h"
#include "files/Diagnostics.h"
#include "platform/WakeSource.h"
#include "usage/Level.h"
#include "usage/UsageParser.h"

#include <malloc.h>

namespace {

constexpr double kTick = 20;              // the shared clock moves this often
constexpr double kFirstUpdateCheck = 15;  // after start
constexpr double kUpdateInterval = 86400; // then daily
constexpr double kSampleAge = 120;        // how old the sample reading looks
constexpr double kToolAtLeast = 1800;     // a tool run this often, even with reports coming
constexpr double kSameReport = 60; // a report that changes nothing is written down this often
constexpr double kReportEvery = 1; // seconds between reports taken

} // namespace

UsageStore::UsageStore(Deps deps, QObject* parent)
    : QObject(parent)
    , deps_(std::move(deps)) {
    now_ = deps_.time->now();
}

UsageStore::~UsageStore() = default;

std::optional<Limit> UsageStore::session() const {
    return sessionOf(limits_);
}

QList<Sample> UsageStore::samples(const QString& title) const {
    return deps_.history ? deps_.history->samples(title, deps_.account) : QList<Sample>();
}

void UsageStore::start() {
    // Timers belong to the store: when it goes, they go, and nothing fires into it.
    ticker_ = deps_.time->every(kTick, [this] {
        setNow(deps_.time->now());
        notifyShell();
    });
    if (deps_.wake)
        connect(deps_.wake, &WakeSource::woke, this, &UsageStore::refresh, Qt::QueuedConnection);
    refresh();
    firstUpdateCheck_ = deps_.time->after(kFirstUpdateCheck, [this] { checkForUpdate(); });
    updateTimer_ = deps_.time->every(kUpdateInterval, [this] { checkForUpdate(); });
}

void UsageStore::refresh() {
    if (isLoading_ || !deps_.read)
        return; // dropped, not queued: the running reading will do
    setIsLoading(true);
    notifyShell();
    // The answer is delivered only while the store exists.
    deps_.read(this, [this](Reading reading) { apply(reading); });
}

void UsageStore::refreshIfStale(double maxAge) {
    if (!updatedAt_) {
        refresh();
        return;
    }
    const double age = secondsBetween(*updatedAt_, deps_.time->now());
    if (maxAge > age && !error_)
        return;
    refresh();
}

void UsageStore::checkForUpdate() {
    if (!deps_.latestVersion)
        return;
    deps_.latestVersion(this, [this](std::optional<QString> version) {
        if (!version)
            return; // unreachable or malformed feed: keep what we knew
        setNewVersion(Updates::isNewer(*version, AppInfo::version()) ? version : std::nullopt);
        notifyShell();
    });
}

void UsageStore::loadSample(const QString& text) {
    setNow(deps_.time->now());
    setLimits(UsageParser::parse(text, now_));
    setUpdatedAt(now_ - kSampleAge);
}

void UsageStore::report(const StatusLine::Windows& windows) {
    if (windows.empty())
        Diagnostics::tellOnce(QStringLiteral("a status line's report held no window"));
    StatusLine::Windows w = windows;
    const Instant t = deps_.time->now();
    for (auto [name, window, ahead] : {std::tuple{"session", &w.session, StatusLine::kSessionAhead},
                                       {"week", &w.week, StatusLine::kWeekAhead}})
        if (*window)
            if (const auto problem = StatusLine::problemOf(**window, t, ahead)) {
                // Once for each kind of window: what a caller sends is not kept without bound.
                Diagnostics::tellOnce(QStringLiteral("a status line's %1 was dropped: %2")
                                          .arg(QLatin1String(name), *problem),
                                      QStringLiteral("report dropped ") + QLatin1String(name));
                window->reset();
            }
    if (w.empty())
        return; // nothing that makes sense: it takes the place of no waiting report either
    // Claude Code may run its status line many times a second: the latest window of each kind
    // in a second is taken, so the UI and usage.json change at most once a second.
    if (w.session)
        waitingReport_.session = w.session;
    if (w.week)
        waitingReport_.week = w.week;
    if (reportWaits_)
        return;
    const double wait = lastReport_ ? kReportEvery - secondsBetween(*lastReport_, t) : 0;
    if (wait <= 0)
        return takeReport();
    reportWaits_ = true;
    reportDue_ = deps_.time->after(wait, [this] {
        reportWaits_ = false;
        takeReport();
    });
}

void UsageStore::takeReport() {
    const StatusLine::Windows w = std::exchange(waitingReport_, {});
    setNow(deps_.time->now());
    lastReport_ = now_;
    QList<Limit> rows = StatusLine::merged(limits_, w);
    // Claude Code may run its status line every second: the same figures again only put
    // off the tool, and are written down once a minute.
    const bool same = source_ == Source::StatusLine && !error_ && rows == limits_ && updatedAt_ &&
                      secondsBetween(*updatedAt_, now_) < kSameReport;
    if (!same) {
        // Into the history once a minute, or when a level or a reset changes: a figure that
        // moves at every call would add two rows a call.
        const QList<Limit> read = StatusLine::merged({}, w);
        const auto levels = [](const QList<Limit>& rows) {
            QList<std::pair<Level, std::optional<Instant>>> out;
            for (const Limit& l : rows)
                out << std::pair{levelOf(l.percent), l.resetsAt};
            return out;
        };
        if (deps_.history && (!lastReportRow_ || levels(read) != levels(lastReportRow_->second) ||
                              secondsBetween(lastReportRow_->first, now_) >= kSameReport)) {
            deps_.history->record(now_, read, deps_.account);
            lastReportRow_ = {now_, read};
        }
        setLimits(std::move(rows));
        setUpdatedAt(now_);
        setError(std::nullopt);
        setSource(Source::StatusLine);
        failures_ = 0;
        record(QString());
    }
    if (!isLoading_) { // a running tool schedules the next when it ends
        nextFetch_.reset();
        nextFetch_ =
            deps_.time->after(delayAfterReport(limits_, now_, lastToolRun_), [this] { refresh(); });
    }
    notifyShell();
}

void UsageStore::apply(const Reading& reading) {
    setIsLoading(false);
    setNow(deps_.time->now());
    lastToolRun_ = now_;
    if (!reading.limits.isEmpty()) {
        if (deps_.history)
            deps_.history->record(now_, reading.limits, deps_.account); // off this thread
        setLimits(reading.limits);
        setUpdatedAt(now_);
        setError(std::nullopt);
        setSource(Source::Tool);
    } else {
        setError(reading.error.value_or(QString::fromUtf16(UsageParser::kNoAnswer)));
    }
    if (reading.folderProblem != folderProblem_)
        setFolderProblem(reading.folderProblem);
    failures_ = error_ ? failures_ + 1 : 0;
    record(reading.output);
    scheduleNext();
    notifyShell();
    // A reading passes megabytes through the heap at most once every few minutes: give
    // the freed memory back rather than hold it until the next one.
    malloc_trim(0);
}

void UsageStore::scheduleNext() {
    nextFetch_.reset();
    const double delay = nextDelay(error_.has_value(), failures_, limits_, now_);
    nextFetch_ = deps_.time->after(delay, [this] { refresh(); });
}

double UsageStore::nextDelay(bool failed, qint64 failures, const QList<Limit>& limits,
                             Instant now) {
    constexpr double kRegular = 300, kFirstRetries = 120, kBackOff = 900;
    constexpr double kResetMargin = 20, kMinimum = 30;
    double delay = !failed ? kRegular : failures < 3 ? kFirstRetries : kBackOff;
    std::optional<Instant> earliest;
    for (const Limit& l : limits)
        if (l.resetsAt && *l.resetsAt > now && (!earliest || *l.resetsAt < *earliest))
            earliest = l.resetsAt;
    if (earliest)
        delay = std::min(secondsBetween(now, *earliest) + kResetMargin, delay);
    return std::max(delay, kMinimum);
}

double UsageStore::delayAfterReport(const QList<Limit>& limits, Instant now,
                                    std::optional<Instant> lastToolRun) {
    const double regular = nextDelay(false, 0, limits, now);
    if (!lastToolRun)
        return regular;
    return std::clamp(kToolAtLeast - secondsBetween(*lastToolRun, now), 0.0, regular);
}

// Published properties: every assignment notifies, even with the same value.
template <typename T> void UsageStore::publish(T& field, T value, void (UsageStore::*signal)()) {
    field = std::move(value);
    emit(this->*signal)();
    emit changed();
}

void UsageStore::setLimits(QList<Limit> v) {
    publish(limits_, std::move(v), &UsageStore::limitsChanged);
}
void UsageStore::setUpdatedAt(std::optional<Instant> v) {
    publish(updatedAt_, v, &UsageStore::updatedAtChanged);
}
void UsageStore::setError(std::optional<QString> v) {
    publish(error_, std::move(v), &UsageStore::errorChanged);
}
void UsageStore::setSource(Source v) {
    publish(source_, v, &UsageStore::sourceChanged);
}
void UsageStore::setIsLoading(bool v) {
    publish(isLoading_, v, &UsageStore::isLoadingChanged);
}
void UsageStore::setNow(Instant v) {
    publish(now_, v, &UsageStore::nowChanged);
}
void UsageStore::setNewVersion(std::optional<QString> v) {
    publish(newVersion_, std::move(v), &UsageStore::newVersionChanged);
}
void UsageStore::setFolderProblem(std::optional<QString> v) {
    publish(folderProblem_, std::move(v), &UsageStore::folderProblemChanged);
}
