// Arbitrary bytes through everything that reads the tool's text.

#include "usage/Fmt.h"
#include "usage/UsageParser.h"

#include <QString>

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first four bytes move `now` by up to about 68 years either way.
    int32_t shift = 0;
    if (size >= sizeof shift)
        std::memcpy(&shift, data, sizeof shift);
    const Instant now = Instant(std::chrono::seconds(1760126400)) + std::chrono::seconds(shift);

    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const Limit& l : UsageParser::parse(text, now)) {
        if (l.resetsAt)
            (void)Fmt::countdown(*l.resetsAt, now);
    }
    (void)UsageParser::explain(text);
    if (auto t = UsageParser::resetDate(text, now))
        (void)Fmt::ago(*t, now);
    return 0;
}
