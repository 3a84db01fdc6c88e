#include "Fmt.h"

#include "IcuTime.h"
#include "Text.h"

#include <QDateTime>
#include <QTimeZone>

#include <unicode/calendar.h>
#include <unicode/dtptngen.h>
#include <unicode/smpdtfmt.h>

#include <memory>

namespace Fmt {

namespace {

long long wholeSeconds(Instant from, Instant to) {
    // duration_cast truncates toward zero.
    return std::chrono::duration_cast<std::chrono::seconds>(to - from).count();
}

bool sameDay(UDate a, UDate b, const icu::Locale& locale, const icu::TimeZone& zone) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Calendar> cal(icu::Calendar::createInstance(zone, locale, status));
    if (U_FAILURE(status))
        return false;
    cal->setTime(a, status);
    const int era = cal->get(UCAL_ERA, status), year = cal->get(UCAL_YEAR, status);
    const int day = cal->get(UCAL_DAY_OF_YEAR, status);
    cal->setTime(b, status);
    return U_SUCCESS(status) && era == cal->get(UCAL_ERA, status) &&
           year == cal->get(UCAL_YEAR, status) && day == cal->get(UCAL_DAY_OF_YEAR, status);
}

} // namespace

QString countdown(Instant to, Instant now) {
    const long long s = wholeSeconds(now, to);
    if (s <= 0)
        return QStringLiteral("now");
    const long long m = (s + 59) / 60;
    if (m < 60)
        return QString::number(m) + u'm';
    if (m < 1440) {
        const long long h = m / 60, rest = m % 60;
        return rest == 0 ? QString::number(h) + u'h' : QStringLiteral("%1h %2m").arg(h).arg(rest);
    }
    const long long d = m / 1440, h = (m / 60) % 24;
    return h == 0 ? QString::number(d) + u'd' : QStringLiteral("%1d %2h").arg(d).arg(h);
}

QString ago(Instant date, Instant now) {
    const long long s = wholeSeconds(date, now);
    if (s < 60)
        return QStringLiteral("just now");
    if (s < 3600)
        return QString::number(s / 60) + QStringLiteral("m ago");
    return QString::number(s / 3600) + QStringLiteral("h ago");
}

// Pattern generators and formats are costly to make (they load locale data) and not safe
// to share between threads: each thread keeps the last ones it made.
class ClockFormats {
public:
    // Skeletons: a time, a weekday and a time, a date and a time.
    static constexpr const char16_t* kSkeletons[] = {u"jmm", u"EEEjmm", u"MMMdjmm"};

    icu::SimpleDateFormat* get(const icu::Locale& locale, int skeleton) {
        if (!generator_ || locale_ != locale) {
            UErrorCode status = U_ZERO_ERROR;
            generator_.reset(icu::DateTimePatternGenerator::createInstance(locale, status));
            if (U_FAILURE(status))
                generator_.reset();
            for (auto& f : formats_)
                f.reset();
            locale_ = locale;
        }
        std::unique_ptr<icu::SimpleDateFormat>& format = formats_[skeleton];
        if (!format && generator_) {
            UErrorCode status = U_ZERO_ERROR;
            const icu::UnicodeString pattern =
                generator_->getBestPattern(kSkeletons[skeleton], status);
            format = std::make_unique<icu::SimpleDateFormat>(pattern, locale, status);
            if (U_FAILURE(status))
                format.reset();
        }
        return format.get();
    }

private:
    icu::Locale locale_;
    std::unique_ptr<icu::DateTimePatternGenerator> generator_;
    std::unique_ptr<icu::SimpleDateFormat> formats_[3];
};

namespace {

QString formatted(UDate when, int skeleton, const icu::Locale& locale, const icu::TimeZone& zone) {
    thread_local ClockFormats cache;
    icu::SimpleDateFormat* format = cache.get(locale, skeleton);
    if (!format)
        return {};
    format->setTimeZone(zone);
    icu::UnicodeString out;
    format->format(when, out);
    return Text::fromIcu(out);
}

// The locale times are written in, and the system's zone.
icu::Locale timeLocale() {
    // ICU's default locale follows LC_MESSAGES; times follow LC_TIME.
    return icu::Locale(timeLocaleName(qEnvironmentVariable("LC_ALL"),
                                      qEnvironmentVariable("LC_TIME"), qEnvironmentVariable("LANG"))
                           .toLatin1()
                           .constData());
}

} // namespace

QString clock(Instant date, Instant now, const icu::Locale& locale, const icu::TimeZone& zone) {
    const UDate when = IcuTime::toUDate(date);
    return formatted(when, sameDay(when, IcuTime::toUDate(now), locale, zone) ? 0 : 1, locale,
                     zone);
}

QString dateTime(Instant date) {
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createDefault());
    return formatted(IcuTime::toUDate(date), 2, timeLocale(), *zone);
}

QString isoUtc(Instant t) {
    const auto s = std::chrono::floor<std::chrono::seconds>(t).time_since_epoch();
    return QDateTime::fromSecsSinceEpoch(s.count(), QTimeZone::utc())
        .toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
}

QString resetsIn(Instant at, Instant now) {
    if (at <= now)
        return QStringLiteral("Resetting now...");
    return QStringLiteral("Resets in ") + countdown(at, now) + QStringLiteral(" · ") +
           clock(at, now);
}

QString timeLocaleName(const QString& lcAll, const QString& lcTime, const QString& lang) {
    for (const QString* value : {&lcAll, &lcTime, &lang}) {
        if (value->isEmpty())
            continue;
        // language_TERRITORY.codeset@modifier: ICU wants the first part only.
        const QString name = value->section(u'.', 0, 0).section(u'@', 0, 0);
        if (name == u"C" || name == u"POSIX" || name.isEmpty())
            break;
        return name;
    }
    return QStringLiteral("en_US_POSIX");
}

QString clock(Instant date, Instant now) {
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createDefault());
    return clock(date, now, timeLocale(), *zone);
}

} // namespace Fmt
