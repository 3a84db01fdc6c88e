#pragma once

#include "Options.h"
#include "Output.h"
#include "store/UsageFile.h"
#include "usage/StatusLine.h"

// --statusline: Claude Code's status-line command. It reads the document Claude Code writes
// on standard input, prints one line under the prompt, and passes the plan's windows to the
// running app. It never fails loudly: whatever it prints stays under the prompt.
namespace StatusLineCommand {

// The line for an input at now, and the windows to pass on. Without windows in the input,
// the line is the app's last reading when that is good and fresh, or a short neutral one.
struct Outcome {
    Report report; // always exit status 0; why parts were left out on standard error
    StatusLine::Windows send;
};
Outcome outcome(const QByteArray& input, const UsageFile::File& file, Instant now, bool colour);

int run(const Options::Invocation& args, int argc, char** argv);

} // namespace StatusLineCommand
