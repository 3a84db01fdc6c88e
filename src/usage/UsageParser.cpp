#include "UsageParser.h"

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
        limit.rawLabel = label;
        limit.title = title(label);
        limit.percent = readPercent(group(*m, 2));
        UErrorCode status = U_ZERO_ERROR;
        if (m->start(3, status) >= 0) {
            limit.resetText = group(*m, 3);
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

QString explain(const QString& text) {
    const QString trimmed = Text::trimWhite(clean(text));
    if (trimmed.isEmpty())
        return QString::fromUtf16(kNoAnswer);

    // Someone without a plan (an API key, no login, a cloud provider) gets the session's
    // cost summary and nothing about limits.
    if (trimmed.contains(u"Total cost:"))
        return QString::fromUtf16(kNoPlan);

    const QString low = Text::lower(trimmed);
    for (const char16_t* phrase :
         {u"not logged in", u"/login", u"log in", u"authenticat", u"expired"})
        if (low.contains(QStringView(phrase)))
            return QString::fromUtf16(kLoggedOut);
    for (const char16_t* phrase : {u"api key", u"api usage"})
        if (low.contains(QStringView(phrase)))
            return QString::fromUtf16(kApiKey);

    QString excerpt;
    bool found = false;
    Text::forEachLine(trimmed, [&](QStringView line) {
        if (found || line.contains(QStringView(kPlaceholderModel)))
            return;
        for (QChar c : line) {
            if (c != u' ' && c != u'\t') {
                excerpt = line.toString();
                found = true;
                return;
            }
        }
    });
    return Text::firstCharacters(found ? excerpt : trimmed, 160);
}

} // namespace UsageParser
