#include "Reading.h"

#include "usage/UsageParser.h"

Reading Reading::of(const ToolRun& run, Instant now) {
    Reading r;
    r.folderProblem = run.folderProblem;
    if (const auto* error = std::get_if<CLIError>(&run.result)) {
        r.error = error->message;
        return r;
    }
    r.output = std::get<QString>(run.result);
    r.limits = UsageParser::parse(r.output, now);
    // A tool stopped for hanging may still have said why (a login, a network error).
    if (r.limits.isEmpty())
        r.error = run.stopped && !UsageParser::explains(r.output)
                      ? QString::fromUtf16(kNoAnswerInTime)
                      : UsageParser::explain(r.output);
    // Another account logs in with its own folder: the advice says how.
    if (r.error && !run.configDir.isEmpty())
        r.error->replace(QStringLiteral("type claude,"),
                         QStringLiteral("type CLAUDE_CONFIG_DIR=%1 claude,").arg(run.configDir));
    return r;
}
