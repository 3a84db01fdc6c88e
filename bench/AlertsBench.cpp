// Saving and loading the alert marks, as the app does after a reading that changed them, with
// a settings file in a temporary home. Budget: 1,000 marks saved in under 50 ms.

#include "app/NearLimitAlerts.h"
#include "prefs/Settings.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

const Instant kNow = Instant(std::chrono::seconds(1760126400)); // 2025-10-10 20:00 UTC

Alerts::Marks marks(int n) {
    Alerts::Marks m;
    for (int i = 0; i < n; ++i)
        m.insert(QStringLiteral("Week · Model %1").arg(i), {80, kNow + 3600.0 * i});
    return m;
}

void BM_SaveMarks(benchmark::State& state) {
    Alerts::Marks m = marks(int(state.range(0)));
    int i = 0;
    for (auto _ : state) {
        m.first().band = ++i % 2 ? 95 : 80; // a change, as a reading makes it
        NearLimitAlerts::save(QStringLiteral("Alerts"), m);
    }
}
BENCHMARK(BM_SaveMarks)->Arg(12)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_LoadMarks(benchmark::State& state) {
    NearLimitAlerts::save(QStringLiteral("Alerts"), marks(int(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(NearLimitAlerts::load(QStringLiteral("Alerts")));
}
BENCHMARK(BM_LoadMarks)->Arg(12)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    Settings::reset();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
