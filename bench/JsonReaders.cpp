// The transcripts' reply lines read by Qt's JSON parser (what the index uses) and by
// simdjson's on-demand parser, for the numbers the index keeps: the choice of reader, by
// measurement. Built only where libsimdjson-dev is installed.
//   build/bench/json_readers FILE     (FILE: reply lines, one per line)

#include "transcripts/Line.h"

#include <QElapsedTimer>
#include <QFile>

#include <simdjson.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    QFile f(QString::fromLocal8Bit(argv[1]));
    if (!f.open(QIODevice::ReadOnly))
        return 2;
    const QByteArray all = f.readAll();
    QList<QByteArrayView> lines;
    for (qsizetype at = 0; at < all.size();) {
        qsizetype end = all.indexOf('\n', at);
        if (end < 0)
            end = all.size();
        lines << QByteArrayView(all.constData() + at, end - at);
        at = end + 1;
    }
    const double mb = double(all.size()) / (1 << 20);

    QElapsedTimer clock;
    clock.start();
    qint64 qt = 0;
    for (QByteArrayView line : lines)
        qt += Transcript::read(line).message.output;
    const double qtSeconds = clock.nsecsElapsed() / 1e9;

    clock.restart();
    simdjson::ondemand::parser parser;
    simdjson::padded_string padded;
    qint64 simd = 0;
    for (QByteArrayView line : lines) {
        padded = simdjson::padded_string(line.data(), size_t(line.size()));
        simdjson::ondemand::document doc;
        if (parser.iterate(padded).get(doc))
            continue;
        // The same fields, in the order Claude Code writes them.
        std::string_view cwd, session, id, model, request, type, time;
        int64_t counts[4] = {};
        (void)doc["cwd"].get(cwd);
        (void)doc["sessionId"].get(session);
        auto message = doc["message"];
        (void)message["id"].get(id);
        (void)message["model"].get(model);
        auto usage = message["usage"];
        (void)usage["input_tokens"].get(counts[0]);
        (void)usage["output_tokens"].get(counts[1]);
        (void)usage["cache_creation_input_tokens"].get(counts[2]);
        (void)usage["cache_read_input_tokens"].get(counts[3]);
        (void)doc["requestId"].get(request);
        (void)doc["type"].get(type);
        (void)doc["timestamp"].get(time);
        simd += counts[1];
    }
    const double simdSeconds = clock.nsecsElapsed() / 1e9;
    std::printf("%lld reply lines, %.0f MB\n", static_cast<long long>(lines.size()), mb);
    std::printf("Qt:       %.2f s, %.0f MB/s (output tokens %lld)\n", qtSeconds, mb / qtSeconds,
                static_cast<long long>(qt));
    std::printf("simdjson: %.2f s, %.0f MB/s (output tokens %lld)\n", simdSeconds, mb / simdSeconds,
                static_cast<long long>(simd));
    return 0;
}
