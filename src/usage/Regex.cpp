#include "Regex.h"

#include <cstdio>
#include <cstdlib>

namespace Regex {

std::unique_ptr<icu::RegexPattern> compile(const char16_t* pattern, uint32_t flags) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError error;
    std::unique_ptr<icu::RegexPattern> p(
        icu::RegexPattern::compile(icu::UnicodeString(pattern), flags, error, status));
    if (U_FAILURE(status) || !p) {
        std::fprintf(stderr, "brimwatch: constant pattern failed to compile: %s\n",
                     u_errorName(status));
        std::abort();
    }
    return p;
}

std::unique_ptr<icu::RegexMatcher> matcher(const icu::RegexPattern& pattern) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> m(pattern.matcher(status));
    if (U_FAILURE(status) || !m)
        std::abort(); // only fails when out of memory
    return m;
}

icu::UnicodeString replaceAll(const icu::RegexPattern& pattern, const icu::UnicodeString& text,
                              const icu::UnicodeString& replacement) {
    auto m = matcher(pattern);
    m->reset(text);
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString out = m->replaceAll(replacement, status);
    return U_SUCCESS(status) ? out : text;
}

} // namespace Regex
