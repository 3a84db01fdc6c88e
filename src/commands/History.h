#pragma once

#include "Options.h"
#include "Output.h"
#include "files/Account.h"
#include "usage/Instant.h"

#include <QList>
#include <optional>

// --history [--days N] [--csv] [--account NAME]: the readings the app has kept, oldest
// first, as aligned columns or as CSV with a header line. Readings of several accounts have
// a column more, the account's name.
namespace HistoryCommand {

// "no history yet" (status 1) when there is no file, the reason on standard error (status 2)
// when it cannot be read. The file is opened read-only: nothing of it is changed or added.
// accounts name the folders the rows hold; only: that account's rows alone.
Report text(const QString& file, int days, bool csv, Instant now,
            const QList<Account>& accounts = {}, const std::optional<Account>& only = {});

int run(const Options::Invocation& args, int argc, char** argv);

} // namespace HistoryCommand
