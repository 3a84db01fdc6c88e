#pragma once

#include <QString>
#include <QStringView>

#include <unicode/unistr.h>

// Small text helpers shared by the parser and the status file.
namespace Text {

inline icu::UnicodeString toIcu(QStringView s) {
    return icu::UnicodeString(reinterpret_cast<const UChar*>(s.utf16()), int32_t(s.size()));
}
// A read-only ICU view of s, valid while s lives.
inline icu::UnicodeString aliasIcu(QStringView s) {
    return icu::UnicodeString(false, reinterpret_cast<const UChar*>(s.utf16()), int32_t(s.size()));
}
inline QString fromIcu(const icu::UnicodeString& u) {
    return u.isBogus() ? QString()
                       : QString(reinterpret_cast<const QChar*>(u.getBuffer()), u.length());
}

// Line ends: LF, VT, FF, CR, NEL, LS, PS. Each ends a line on its own.
inline bool isLineEnd(char16_t c) {
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

// Calls f(QStringView line) for each line of s.
template <typename F> void forEachLine(QStringView s, F&& f) {
    qsizetype start = 0;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (isLineEnd(s[i].unicode())) {
            f(s.mid(start, i - start));
            start = i + 1;
        }
    }
    f(s.mid(start));
}

// s without the characters at both ends for which strip(char16_t) holds.
template <typename Pred> QString trimIf(QStringView s, Pred strip) {
    qsizetype b = 0, e = s.size();
    while (b < e && strip(s[b].unicode()))
        ++b;
    while (e > b && strip(s[e - 1].unicode()))
        --e;
    return s.mid(b, e - b).toString();
}

// Spaces, tabs and other space separators removed from both ends.
QString trimBlank(QStringView s);
// Every Unicode white space and line end removed from both ends.
QString trimWhite(QStringView s);
// Unicode default lower-casing, independent of the user's locale.
QString lower(QStringView s);
// The first n user-perceived characters of s (s itself when shorter).
QString firstCharacters(const QString& s, int n);
// The same, with "…" after when something was cut.
QString capped(const QString& s, int n);

} // namespace Text
