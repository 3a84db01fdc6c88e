#include "Text.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>

#include <memory>

namespace Text {

// Whitespace and separators are all in the BMP, so UTF-16 units suffice.

QString trimBlank(QStringView s) {
    return trimIf(s, [](char16_t c) { return u_isblank(c) != 0; });
}

QString trimWhite(QStringView s) {
    return trimIf(s, [](char16_t c) { return u_isUWhiteSpace(c) != 0 || isLineEnd(c); });
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

QString capped(const QString& s, int n) {
    const QString head = firstCharacters(s, n);
    return head.size() < s.size() ? head + u'…' : head;
}

} // namespace Text
