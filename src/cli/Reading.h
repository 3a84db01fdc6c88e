#pragma once

#include "CLIError.h"
#include "usage/Instant.h"
#include "usage/Limit.h"

#include <QList>
#include <QString>

#include <optional>

// What one run of the tool gave.
struct ToolRun {
    CLIResult result;                     // what it printed (the first megabyte), or the failure
    bool stopped = false;                 // the watchdog ended it
    std::optional<QString> folderProblem; // why it could not run in the support folder
    QString configDir;                    // the account's CLAUDE_CONFIG_DIR, if it had one
};

// One reading, parsed where the tool ran, off the UI thread.
struct Reading {
    QList<Limit> limits;                  // in the tool's order; empty when the reading failed
    std::optional<QString> error;         // why it failed; absent when there are limits
    QString output;                       // what the tool printed, for the status file
    std::optional<QString> folderProblem; // as in ToolRun

    // The limits of a run at now, or the one sentence that says why there are none.
    static Reading of(const ToolRun& run, Instant now);

    friend bool operator==(const Reading&, const Reading&) = default;
};

// Said when the tool printed no figures and its settings don't switch the request off.
inline constexpr char16_t kUsageNotFetched[] =
    u"Claude Code could not get your usage from Claude's servers this time. Brimwatch will try "
    u"again in a moment.";
// The setting that keeps the tool from asking for usage.
inline constexpr char16_t kTrafficSwitch[] = u"CLAUDE_CODE_DISABLE_NONESSENTIAL_TRAFFIC";

// Said when the watchdog stopped a tool whose output held no usage line and no reason.
inline constexpr char16_t kNoAnswerInTime[] =
    u"Claude Code did not answer within 60 seconds and was stopped.";
