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

// What Claude Code writes on a descriptor: to its end; or, when a whole JSON document has come
// and nothing more for `quiet` ms, that; or what came within `atMost` ms. A status line that
// waited on an input without end would hold up the prompt of whoever runs it.
inline constexpr int kQuiet = 100, kAtMost = 1000; // ms
QByteArray readDocument(int fd, qint64 maxBytes, int quiet = kQuiet, int atMost = kAtMost);

int run(const Options::Invocation& args, int argc, char** argv);

} // namespace StatusLineCommand
