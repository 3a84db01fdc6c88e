// How long reading one usage screen takes. Budget: parse of a 4 KB screen under 50 µs.

#include "usage/UsageParser.h"

#include <QString>

#include <benchmark/benchmark.h>

namespace {

const Instant kNow = Instant(std::chrono::seconds(1760126400)); // 2025-10-10 20:00 UTC

// A print-mode screen padded with ordinary paragraphs to 4 KB, colour codes included.
QString screen4k() {
    QString s = QStringLiteral(
        "\x1b[1mYou are currently using your subscription to power your Claude Code usage\x1b[0m\n"
        "\n"
        "\x1b[36mCurrent session: 82% used · resets Oct 11 at 1:19am (Europe/Riga)\x1b[39m\n"
        "\x1b[36mCurrent week (all models): 67% used · resets Oct 14 at 9:59pm "
        "(Europe/Riga)\x1b[39m\n"
        "\x1b[36mCurrent week (Fable): 96% used · resets 9:59pm (Europe/Riga)\x1b[39m\n"
        "\n");
    const QString filler =
        QStringLiteral("Weekly limits reset seven days after your first message; see the docs.\n");
    while (s.toUtf8().size() + filler.size() <= 4096)
        s += filler;
    return s;
}

void BM_Parse4K(benchmark::State& state) {
    const QString text = screen4k();
    for (auto _ : state)
        benchmark::DoNotOptimize(UsageParser::parse(text, kNow));
    state.SetBytesProcessed(int64_t(state.iterations()) * text.toUtf8().size());
}
BENCHMARK(BM_Parse4K);

void BM_Clean4K(benchmark::State& state) {
    const QString text = screen4k();
    for (auto _ : state)
        benchmark::DoNotOptimize(UsageParser::clean(text));
}
BENCHMARK(BM_Clean4K);

void BM_ResetDateDated(benchmark::State& state) {
    const QString text = QStringLiteral("Oct 14 at 9:59pm (Europe/Riga)");
    for (auto _ : state)
        benchmark::DoNotOptimize(UsageParser::resetDate(text, kNow));
}
BENCHMARK(BM_ResetDateDated);

void BM_ResetDateTimeOnly(benchmark::State& state) {
    const QString text = QStringLiteral("9:59pm (Europe/Riga)");
    for (auto _ : state)
        benchmark::DoNotOptimize(UsageParser::resetDate(text, kNow));
}
BENCHMARK(BM_ResetDateTimeOnly);

void BM_Explain4K(benchmark::State& state) {
    const QString text =
        QString(QStringLiteral("Something unexpected happened here.\n")).repeated(110);
    for (auto _ : state)
        benchmark::DoNotOptimize(UsageParser::explain(text));
}
BENCHMARK(BM_Explain4K);

} // namespace

BENCHMARK_MAIN();
