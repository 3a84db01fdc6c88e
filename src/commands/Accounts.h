#pragma once

#include "Options.h"
#include "Output.h"

// --accounts, --add-account NAME DIR, --remove-account NAME: the accounts in the settings
// file, listed and changed; the running app is told at once.
namespace AccountsCommand {

// The list: a line per account, its name and its folder.
Report list();
Report add(const QString& name, const QString& folder);
Report remove(const QString& name);

int run(const Options::Invocation& args, int argc, char** argv);

} // namespace AccountsCommand
