// The history's costs: recording one reading (in memory, and in the file), the pace of a
// week's window with readings every five minutes, and the file's size after 35 days.
// Budgets: a reading recorded in the file under 10 ms; the pace of a week under 1 ms.

#include "store/History.h"
#include "store/HistoryDb.h"
#include "store/Pace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

const Instant kNow = Instant(std::chrono::seconds(1760126400)); // 2025-10-10 20:00 UTC
const Instant kReset = kNow + 3 * 86400.0;

QList<Limit> reading(int i) {
    return {Limit{QStringLiteral("Current session"), QStringLiteral("Session"), i % 100 * 1.0,
                  kNow + 3600.0, QStringLiteral("9:59pm (Europe/Riga)")},
            Limit{QStringLiteral("Current week (all models)"), QStringLiteral("Week · all models"),
                  i % 100 * 0.5, kReset, QStringLiteral("Oct 14 at 9:59pm (Europe/Riga)")},
            Limit{QStringLiteral("Current week (Fable)"), QStringLiteral("Week · Fable"),
                  i % 100 * 0.7, kReset, QStringLiteral("Oct 14 at 9:59pm (Europe/Riga)")}};
}

// A week of 5-minute readings kept in memory, then one more: what the store does at each.
void BM_RecordInMemory(benchmark::State& state) {
    History history;
    for (int i = 0; i < 2016; ++i)
        history.record(kNow - 300.0 * (2016 - i), reading(i));
    int i = 0;
    for (auto _ : state)
        ++i, history.record(kNow + 300.0 * i, reading(i));
}
BENCHMARK(BM_RecordInMemory);

// What the history's thread does at each reading: one transaction of three rows, in a file
// that already holds 35 days.
void BM_RecordInFile(benchmark::State& state) {
    QTemporaryDir dir;
    HistoryDb db(dir.filePath(QStringLiteral("history.sqlite")));
    for (int i = 0; i < 35 * 288; ++i)
        db.append(kNow - 300.0 * (35 * 288 - i), reading(i));
    int i = 0;
    for (auto _ : state)
        ++i, db.append(kNow + 300.0 * i, reading(i));
}
BENCHMARK(BM_RecordInFile)->Unit(benchmark::kMicrosecond);

// The week's window, 2,016 readings, climbing: its current window and where its pace leads.
void BM_PaceOfAWeek(benchmark::State& state) {
    QList<Sample> samples;
    for (int i = 0; i < 2016; ++i)
        samples << Sample{kReset - 7 * 86400.0 + 300.0 * i,
                          QStringLiteral("Week · all models"),
                          QStringLiteral("Current week (all models)"),
                          i / 25.0,
                          kReset,
                          {},
                          {}};
    const Instant now = samples.last().at;
    const Limit week{QStringLiteral("Current week (all models)"),
                     QStringLiteral("Week · all models"),
                     samples.last().percent,
                     kReset,
                     {}};
    for (auto _ : state) {
        benchmark::DoNotOptimize(Pace::runsOut(week, samples, now));
        benchmark::DoNotOptimize(Pace::currentWindow(week, samples, now));
    }
}
BENCHMARK(BM_PaceOfAWeek)->Unit(benchmark::kMicrosecond);

// 35 days of readings every five minutes, three limits each, as the app leaves the file.
void reportSize() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("history.sqlite"));
    {
        HistoryDb db(file);
        for (int i = 0; i < 35 * 288; ++i)
            db.append(kNow + 300.0 * i, reading(i));
    }
    qint64 bytes = 0;
    for (const QFileInfo& f : QDir(dir.path()).entryInfoList(QDir::Files))
        bytes += f.size();
    std::printf("history.sqlite after 35 days (%d readings, 3 limits each): %.2f MB\n", 35 * 288,
                bytes / 1e6);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv); // the SQLite driver is a plugin
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    reportSize();
}
