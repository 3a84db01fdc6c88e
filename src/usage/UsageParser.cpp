#include "UsageParser.h"
#include "Sense.h"

#include "Placeholder.h"
#include "Regex.h"
#include "Text.h"

#include <QHash>
#include <QSet>

#include <charconv>
#include <cmath>
#include <string>

namespace UsageParser {

namespace {

const icu::RegexPattern& escapeRegex() {
    static const auto p = Regex::compile(uR"(\u001B\[[0-9;?]*[A-Za-z])");
    return *p;
}

// Group 2 of a usage line: ASCII digits read as a double; other digits read as 0.
double readPercent(QStringView s) {
    std::string ascii;
    ascii.reserve(size_t(s.size()));
    for (QChar c : s) {
        if (c.unicode() > 0x7F)
            return 0;
        ascii.push_back(char(c.unicode()));
    }
    double value = 0;
    const auto [ptr, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Too many digits: a huge number overflows, a tiny fraction underflows.
        const bool big = ascii.find_first_of("123456789") < ascii.find('.');
        return big ? HUGE_VAL : 0.0;
    }
    return ec == std::errc() && ptr == ascii.data() + ascii.size() ? value : 0.0;
}

QString group(icu::RegexMatcher& m, int n) {
    UErrorCode status = U_ZERO_ERROR;
    return Text::fromIcu(m.group(n, status));
}

} // namespace

const icu::RegexPattern& lineRegex() {
    // Linear in the line: white space is never handed back one character at a time (a
    // long run of it would cost its square), and the reset text ends at its last non-space
    // character, which also means it is never white space alone.
    static const auto p = Regex::compile(
        uR"(^\s*+(.+?):\s*(\d+(?:\.\d+)?)%\s*used(?:\s*[·•|-]\s*resets\s++(.*?\S))?\s*$)");
    return *p;
}

QString clean(const QString& text) {
    if (!text.contains(QChar(0x1B)))
        return text;
    return Text::fromIcu(Regex::replaceAll(escapeRegex(), Text::aliasIcu(text), {}));
}

QList<Limit> parse(const QString& text, Instant now) {
    const QString cleaned = clean(text);
    QList<Limit> result;
    QSet<QString> labels;
    QHash<QString, std::optional<Instant>> resets; // limits often share their reset
    auto m = Regex::matcher(lineRegex());
    Text::forEachLine(cleaned, [&](QStringView line) {
        // Cheap tests first: a usage line is short, and always holds "%" and "used".
        if (line.size() > kMaxLineLength || !line.contains(u'%') || !line.contains(u"used"))
            return;
        const icu::UnicodeString u = Text::aliasIcu(line);
        m->reset(u);
        if (!m->find())
            return;
        const QString label = Text::trimBlank(group(*m, 1));
        if (labels.contains(label))
            return; // the first of two equal labels wins
        labels.insert(label);
        Limit limit;
        limit.rawLabel = label.left(Sense::kMaxText);
        limit.title = title(limit.rawLabel);
        limit.percent = readPercent(group(*m, 2));
        UErrorCode status = U_ZERO_ERROR;
        if (m->start(3, status) >= 0) {
            limit.resetText = group(*m, 3).left(Sense::kMaxText);
            auto known = resets.find(*limit.resetText);
            if (known == resets.end())
                known = resets.insert(*limit.resetText, resetDate(*limit.resetText, now));
            limit.resetsAt = *known;
        }
        result.append(std::move(limit));
    });
    return result;
}

QString title(const QString& label) {
    const QString low = Text::lower(label);
    if (low.startsWith(u"current session"))
        return QStringLiteral("Session");
    if (low.startsWith(u"current week")) {
        const qsizetype open = label.indexOf(u'(');
        const qsizetype close = label.lastIndexOf(u')');
        if (open >= 0 && close >= 0 && open < close)
            return QStringLiteral("Week · ") + label.mid(open + 1, close - open - 1);
        return QStringLiteral("Week");
    }
    return label;
}

namespace {

// Since 2.1.3xx the tool tells everyone that it does not know the placeholder model, which
// the usage check passes on purpose: the notice says nothing about the person's set-up.
bool isModelNotice(QStringView line) {
    return line.contains(u"recognize the model \"") &&
           line.contains(QStringView(kPlaceholderModel));
}

// What the tool printed, without its colours and without the model notice, trimmed.
QString meaningful(const QString& text) {
    const QString cleaned = clean(text);
    if (!cleaned.contains(QStringView(kPlaceholderModel)))
        return Text::trimWhite(cleaned);
    QStringList kept;
    Text::forEachLine(cleaned, [&](QStringView line) {
        if (!isModelNotice(line))
            kept << line.toString();
    });
    return Text::trimWhite(kept.join(u'\n'));
}

// Someone without a plan (an API key, no login, a cloud provider) gets the session's cost
// summary and nothing about limits. Its block is known by all of its lines, in any order:
// the cost line's label has changed between versions ("Total cost:", "Estimated cost:").
bool isCostSummary(const QString& text) {
    enum { Cost = 1, Duration = 2, Changes = 4, Tokens = 8, All = 15 };
    int seen = 0;
    Text::forEachLine(text, [&](QStringView line) {
        const QString l = Text::trimBlank(line);
        if (l.startsWith(u"Total cost:") || l.startsWith(u"Estimated cost:"))
            seen |= Cost;
        else if (l.startsWith(u"Total duration (API):"))
            seen |= Duration;
        else if (l.startsWith(u"Total code changes:"))
            seen |= Changes;
        else if (l.startsWith(u"Usage:"))
            seen |= Tokens;
    });
    return seen == All;
}

// The plan's line: "You are currently using your subscription to power your Claude Code
// usage", or its overage wording. It says nothing about why there are no figures.
bool isPlanLine(QStringView line) {
    return Text::trimBlank(line).startsWith(u"You are currently using your ");
}

// The plan's line and nothing else: what the tool prints when it fetched no figures.
bool isPlanLineAlone(const QString& trimmed) {
    bool alone = true;
    Text::forEachLine(trimmed, [&](QStringView line) {
        if (!isPlanLine(line) && !Text::trimBlank(line).isEmpty())
            alone = false;
    });
    return alone;
}

// The first line that holds more than spaces and tabs, leaving out those that name the
// placeholder model and the plan's line; the whole text when there is none.
QString excerpt(const QString& trimmed) {
    QString line;
    bool found = false;
    Text::forEachLine(trimmed, [&](QStringView l) {
        if (found || l.contains(QStringView(kPlaceholderModel)) || isPlanLine(l))
            return;
        for (QChar c : l) {
            if (c != u' ' && c != u'\t') {
                line = l.toString();
                found = true;
                return;
            }
        }
    });
    return Text::firstCharacters(found ? line : trimmed, 160);
}

// A fixed message for what the person can act on or should wait out, if the text is one.
const char16_t* fixedMessage(const QString& trimmed) {
    if (trimmed.isEmpty())
        return kNoAnswer;
    if (isCostSummary(trimmed))
        return kNoPlan;
    if (isPlanLineAlone(trimmed))
        return kNoFigures;
    const QString low = Text::lower(trimmed);
    for (const char16_t* phrase :
         {u"not logged in", u"/login", u"log in", u"authenticat", u"expired"})
        if (low.contains(QStringView(phrase)))
            return kLoggedOut;
    for (const char16_t* phrase : {u"api key", u"api usage"})
        if (low.contains(QStringView(phrase)))
            return kApiKey;
    return nullptr;
}

} // namespace

QString explain(const QString& text) {
    const QString trimmed = meaningful(text);
    if (const char16_t* message = fixedMessage(trimmed))
        return QString::fromUtf16(message);
    return excerpt(trimmed);
}

bool explains(const QString& text) {
    const QString trimmed = meaningful(text);
    if (const char16_t* message = fixedMessage(trimmed))
        return message != kNoAnswer;
    const QString low = Text::lower(excerpt(trimmed));
    for (const char16_t* phrase :
         {u"connection", u"network", u"offline", u"enotfound", u"econnrefused", u"econnreset",
          u"etimedout", u"getaddrinfo", u"unable to connect", u"fetch failed"})
        if (low.contains(QStringView(phrase)))
            return true;
    return false;
}

} // namespace UsageParser
