#pragma once

#include "Instant.h"
#include "Limit.h"

#include <QList>
#include <QString>

#include <optional>

#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class RegexPattern;
U_NAMESPACE_END

namespace UsageParser {

// Messages of the failure diagnosis, returned exactly as written.
inline constexpr char16_t kNoAnswer[] =
    u"Claude Code gave no answer. It will try again in a moment.";
inline constexpr char16_t kLoggedOut[] =
    u"Claude Code is logged out. Open Terminal, type claude, log in, then press Refresh.";
inline constexpr char16_t kApiKey[] =
    u"Claude Code is using an API key, so there are no plan limits to show.";
// The tool prints its cost summary instead of limits when it is not on a plan.
inline constexpr char16_t kNoPlan[] =
    u"Claude Code is not using a Claude plan, so it has no plan limits to show. Open Terminal, "
    u"type claude, run /login with your Claude account, then press Refresh.";
// The tool prints its plan's line alone when it has no figures to show. From the text alone
// there are two causes; where its settings can be read, Reading names the one that holds.
inline constexpr char16_t kNoFigures[] =
    u"Claude Code showed no usage figures: it could not get them from Claude's servers this "
    u"time (Brimwatch will try again), or CLAUDE_CODE_DISABLE_NONESSENTIAL_TRAFFIC is set in "
    u"its settings.json, which stops it from fetching usage.";

// The text with terminal control sequences (ESC [ params letter) removed.
QString clean(const QString& text);

// Longer lines are never usage lines (the tool's are under a hundred characters); reading
// them would only let a hostile tool make parsing slow.
inline constexpr qsizetype kMaxLineLength = 4096;

// Every usage line of the text as a Limit, in text order; the first of two equal labels wins.
QList<Limit> parse(const QString& text, Instant now = std::chrono::system_clock::now());

// Short display title for a usage label ("Current week (Fable)" -> "Week · Fable").
QString title(const QString& label);

// One plain sentence saying why a text held no usage line. Never empty. The tool's notice
// about the placeholder model is never the reason: a text of that notice alone is no answer.
QString explain(const QString& text);

// Whether the text says why it holds no usage line: a login problem, an API key, the no-plan
// cost summary, or a network error. A tool stopped for hanging keeps such an explanation;
// anything else it printed (nothing, progress, a banner) explains nothing.
bool explains(const QString& text);

// The instant a reset text names, resolved against now; absent when unreadable.
std::optional<Instant> resetDate(const QString& text, Instant now);

// The usage-line pattern, compiled once and shared by all threads.
const icu::RegexPattern& lineRegex();

} // namespace UsageParser
