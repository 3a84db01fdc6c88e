// Reading reset times such as "Oct 11 at 1:19am (Europe/Riga)", "Jan 2, 2027, 3pm (UTC)" or
// "9:59pm".

#include "UsageParser.h"

#include "IcuTime.h"
#include "Regex.h"
#include "Sense.h"
#include "Text.h"

#include <unicode/gregocal.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/uchar.h>

#include <array>
#include <map>
#include <memory>

namespace UsageParser {

namespace {

constexpr double kRolloverWindow = 172800; // a dated reset this far back belongs to next year
constexpr double kTimeOnlyLookBack = 60;   // a time-only reset this far back still means today

const icu::RegexPattern& zoneRegex() {
    // No parenthesis inside, taken possessively: a text of many "(" costs one pass, not
    // one pass per "(".
    static const auto p = Regex::compile(uR"(\(([^()]++)\)\s*$)");
    return *p;
}
const icu::RegexPattern& morningRegex() {
    static const auto p = Regex::compile(uR"((\d)\s*am\b)", UREGEX_CASE_INSENSITIVE);
    return *p;
}
const icu::RegexPattern& afternoonRegex() {
    static const auto p = Regex::compile(uR"((\d)\s*pm\b)", UREGEX_CASE_INSENSITIVE);
    return *p;
}

const icu::Locale& posixLocale() {
    static const icu::Locale locale("en_US_POSIX");
    return locale;
}

// Wall-clock fields a format read from the text; fields it does not name are zero.
struct WallTime {
    std::optional<int> year; // only when the text writes it
    int month = 0, day = 1, hour = 0, minute = 0;
};

// Date formats and calendars are costly to build and not safe to share between threads,
// so each thread keeps its own, built on first use.
class Readers {
public:
    Readers() {
        UErrorCode status = U_ZERO_ERROR;
        // One format, given each pattern in turn: every format holds the locale's symbols.
        format_ = std::make_unique<icu::SimpleDateFormat>(icu::UnicodeString(kPatterns[0]),
                                                          posixLocale(), status);
        format_->setLenient(false);
        // Fields are read in UTC in a leap year, so that no zone rule or short February
        // changes what the text names.
        fieldCal_ = std::make_unique<icu::GregorianCalendar>(icu::TimeZone::getGMT()->clone(),
                                                             posixLocale(), status);
        fieldCal_->setLenient(false);
        zoneCal_ = std::make_unique<icu::GregorianCalendar>(posixLocale(), status);
        zoneCal_->setLenient(true);
        zoneCal_->setSkippedWallTimeOption(UCAL_WALLTIME_NEXT_VALID);
        zoneCal_->setRepeatedWallTimeOption(UCAL_WALLTIME_FIRST);
        ok_ = U_SUCCESS(status);
    }

    bool ok() const { return ok_; }

    // Parses the whole text with pattern i; text left over fails.
    std::optional<WallTime> read(const icu::UnicodeString& text, size_t i) {
        icu::Calendar& cal = *fieldCal_;
        cal.clear();
        cal.set(UCAL_YEAR, 2000);
        icu::ParsePosition pos(0);
        format_->applyPattern(icu::UnicodeString(kPatterns[i]));
        format_->parse(text, cal, pos);
        if (pos.getErrorIndex() >= 0 || pos.getIndex() != text.length())
            return std::nullopt;
        UErrorCode status = U_ZERO_ERROR;
        WallTime w;
        w.month = cal.get(UCAL_MONTH, status);
        w.day = cal.get(UCAL_DATE, status);
        w.hour = cal.get(UCAL_HOUR_OF_DAY, status);
        w.minute = cal.get(UCAL_MINUTE, status);
        if (i < kWithYearCount)
            w.year = cal.get(UCAL_EXTENDED_YEAR, status);
        if (U_FAILURE(status))
            return std::nullopt;
        return w;
    }

    // A calendar in the given zone, for building instants from wall-clock fields.
    icu::Calendar& calendarIn(const icu::TimeZone& zone) {
        zoneCal_->setTimeZone(zone);
        return *zoneCal_;
    }

    // The zone named in a reset text, looked up once per thread; unknown names are not kept.
    const icu::TimeZone* zoneNamed(const QString& name) {
        if (auto it = zones_.find(name); it != zones_.end())
            return it->second.get();
        auto zone = IcuTime::knownZone(name);
        if (!zone)
            return nullptr;
        return zones_.emplace(name, std::move(zone)).first->second.get();
    }

    // The tool writes the year only when the reset falls in another year than today.
    static constexpr std::array<const char16_t*, 12> kPatterns = {
        u"MMM d, y, h:mma",
        u"MMM d, y, ha",
        u"MMM d, y 'at' h:mma",
        u"MMM d, y 'at' ha",
        u"MMM d 'at' h:mma",
        u"MMM d 'at' ha",
        u"MMM d, h:mma",
        u"MMM d, ha",
        u"MMM d h:mma",
        u"MMM d ha",
        u"h:mma",
        u"ha",
    };
    static constexpr size_t kWithYearCount = 4; // these name their year
    static constexpr size_t kDatedCount = 10;   // the rest name only a time of day

    // The range of patterns worth trying on a text.
    static std::pair<size_t, size_t> candidates(const icu::UnicodeString& text) {
        if (text.isEmpty())
            return {0, 0};
        if (u_isdigit(text.charAt(0)))
            return {kDatedCount, kPatterns.size()};
        int run = 0;
        for (int32_t i = 0; i < text.length() && run < 4; ++i)
            run = u_isdigit(text.charAt(i)) ? run + 1 : 0;
        return run == 4 ? std::pair{size_t(0), kWithYearCount}
                        : std::pair{kWithYearCount, kDatedCount};
    }

private:
    std::unique_ptr<icu::SimpleDateFormat> format_;
    std::unique_ptr<icu::GregorianCalendar> fieldCal_, zoneCal_;
    std::map<QString, std::unique_ptr<icu::TimeZone>> zones_;
    bool ok_ = false;
};

Readers& readers() {
    thread_local Readers r;
    return r;
}

// The instant the zone's wall clock shows the given date and time, if that date exists.
std::optional<Instant> build(icu::Calendar& cal, int year, int month, int day, int hour,
                             int minute) {
    UErrorCode status = U_ZERO_ERROR;
    cal.clear();
    cal.set(year, month, day, hour, minute, 0);
    const UDate when = cal.getTime(status);
    if (U_FAILURE(status) || !Sense::instant(when / 1000)) // a year past what readers hold
        return std::nullopt;
    // A day that the month does not have (Feb 29 in a common year) cannot be built.
    if (cal.get(UCAL_MONTH, status) != month || cal.get(UCAL_DATE, status) != day ||
        U_FAILURE(status))
        return std::nullopt;
    return IcuTime::toInstant(when);
}

std::optional<Instant> dated(const WallTime& w, icu::Calendar& cal, Instant now) {
    if (w.year) // a written year is taken as it stands
        return build(cal, *w.year, w.month, w.day, w.hour, w.minute);
    UErrorCode status = U_ZERO_ERROR;
    cal.setTime(IcuTime::toUDate(now), status);
    const int year = cal.get(UCAL_YEAR, status);
    if (U_FAILURE(status))
        return std::nullopt;
    const auto candidate = build(cal, year, w.month, w.day, w.hour, w.minute);
    if (!candidate)
        return std::nullopt;
    if (*candidate < now - kRolloverWindow) {
        if (auto next = build(cal, year + 1, w.month, w.day, w.hour, w.minute))
            return next;
    }
    return candidate;
}

// The first instant after now minus the look-back at which the wall clock shows w's time.
std::optional<Instant> nextTime(const WallTime& w, icu::Calendar& cal, Instant now) {
    const Instant after = now - kTimeOnlyLookBack;
    UErrorCode status = U_ZERO_ERROR;
    cal.setTime(IcuTime::toUDate(after), status);
    const int year = cal.get(UCAL_YEAR, status);
    const int month = cal.get(UCAL_MONTH, status);
    const int day = cal.get(UCAL_DATE, status);
    if (U_FAILURE(status))
        return std::nullopt;
    // Two days always reach the time; a few more cover zones that skip a whole day.
    for (int offset = 0; offset < 4; ++offset) {
        cal.clear();
        cal.set(year, month, day + offset, w.hour, w.minute, 0);
        const UDate when = cal.getTime(status);
        if (U_FAILURE(status))
            return std::nullopt;
        const Instant t = IcuTime::toInstant(when);
        if (t > after)
            return t;
    }
    return std::nullopt;
}

} // namespace

std::optional<Instant> resetDate(const QString& text, Instant now) {
    icu::UnicodeString body = Text::toIcu(Text::trimBlank(text));
    std::unique_ptr<icu::TimeZone> systemZone(icu::TimeZone::createDefault());
    const icu::TimeZone* zone = systemZone.get();

    auto m = Regex::matcher(zoneRegex());
    m->reset(body);
    if (m->find()) {
        UErrorCode status = U_ZERO_ERROR;
        const QString name = Text::trimIf(Text::fromIcu(m->group(status)), [](char16_t c) {
            return c == u'(' || c == u')' || c == u' ';
        });
        if (const icu::TimeZone* named = readers().zoneNamed(name))
            zone = named;
        const int32_t start = m->start(status);
        body = Text::toIcu(Text::trimBlank(Text::fromIcu(body.tempSubString(0, start))));
    }
    body = Regex::replaceAll(morningRegex(), body, u"$1AM");
    body = Regex::replaceAll(afternoonRegex(), body, u"$1PM");

    Readers& r = readers();
    if (!r.ok())
        return std::nullopt;
    icu::Calendar& cal = r.calendarIn(*zone);
    // Only the formats that can match: a time alone starts with its digit, a date with
    // its month, and a year is four digits. A failed parse is the costly part.
    const auto [first, last] = Readers::candidates(body);
    for (size_t i = first; i < last; ++i) {
        const auto w = r.read(body, i);
        if (!w)
            continue;
        if (i >= Readers::kDatedCount)
            return nextTime(*w, cal, now);
        if (auto t = dated(*w, cal, now))
            return t;
    }
    return std::nullopt;
}

} // namespace UsageParser
