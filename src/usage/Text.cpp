#include "Text.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>

#include <memory>

namespace Text {

namespace {

template <typename Pred> QString trimBy(QStringView s, Pred strip) {
    qsizetype b = 0, e = s.size();
    // Whitespace and separators are all in the BMP, so UTF-16 units suffice.
    while (b < e && strip(s[b].unicode()))
        ++b;
    while (e > b && strip(s[e - 1].unicode()))
        --e;
    return s.mid(b, e - b).toString();
}

} // namespace

QString trimBlank(QStringView s) {
    return trimBy(s, [](char16_t c) { return u_isblank(c) != 0; });
}

QString trimWhite(QStringView s) {
    return trimBy(s, [](char16_t c) { return u_isUWhiteSpace(c) != 0 || isLineEnd(c); });
}

QString lower(QStringView s) {
    icu::UnicodeString u = toIcu(s);
    u.toLower(icu::Locale::getRoot());
    return fromIcu(u);
}

QString firstCharacters(const QString& s, int n) {
    if (s.size() <= n)
        return s; // n code units never hold more than n characters
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> it(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status))
        return s.left(n);
    const icu::UnicodeString u = aliasIcu(s);
    it->setText(u);
    int32_t end = it->first();
    for (int i = 0; i < n; ++i) {
        const int32_t next = it->next();
        if (next == icu::BreakIterator::DONE)
            break;
        end = next;
    }
    return s.left(end);
}

} // namespace Text
