#pragma once

#include <QString>

#include <unicode/regex.h>

#include <memory>

// ICU regular expressions compiled once per pattern and shared between threads.
namespace Regex {

// Compiles a constant pattern; a pattern that does not compile is a programming error.
std::unique_ptr<icu::RegexPattern> compile(const char16_t* pattern, uint32_t flags = 0);

// A fresh matcher (matchers are not thread-safe; patterns are).
std::unique_ptr<icu::RegexMatcher> matcher(const icu::RegexPattern& pattern);

// Every match of pattern in text replaced by the template ("$1" names a group).
icu::UnicodeString replaceAll(const icu::RegexPattern& pattern, const icu::UnicodeString& text,
                              const icu::UnicodeString& replacement);

} // namespace Regex
