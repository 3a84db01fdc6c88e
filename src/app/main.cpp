// The process entry: it only dispatches. The text modes run here; the tray application,
// --snapshot and --make-icon run in the desktop module, loaded only for them.

#include "commands/Accounts.h"
#include "commands/Breakdown.h"
#include "commands/Check.h"
#include "commands/History.h"
#include "commands/Options.h"
#include "commands/Output.h"
#include "commands/Parse.h"
#include "commands/Status.h"
#include "commands/StatusLine.h"
#include "commands/Waybar.h"

#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

namespace {

// The window system, the tray and the views live in a module loaded only for the modes
// that need them, so that the text modes start in a few milliseconds.
int runGui(const Options::Invocation& args, int argc, char** argv) {
    const QString dir = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    QString module = dir + QStringLiteral("/brimwatch-gui.so");
    if (!QFileInfo::exists(module))
        module = dir + QStringLiteral("/" BRIMWATCH_PRIVATE_FROM_BIN "/brimwatch-gui.so");
    void* handle = ::dlopen(QFile::encodeName(module).constData(), RTLD_NOW | RTLD_LOCAL);
    using GuiMain = int (*)(const Options::Invocation&, int, char**);
    auto* guiMain =
        handle ? reinterpret_cast<GuiMain>(::dlsym(handle, "brimwatchGuiMain")) : nullptr;
    if (!guiMain) {
        writeText(stderr, QStringLiteral("brimwatch: cannot load the desktop part: ") +
                              QString::fromLocal8Bit(::dlerror()) + u'\n');
        return 1;
    }
    return guiMain(args, argc, argv);
}

} // namespace

int main(int argc, char** argv) {
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    const Options::Invocation args = Options::parse(list);
    switch (args.mode) {
    case Options::Mode::Parse:
        return ParseCommand::run();
    case Options::Mode::Check:
        return CheckCommand::run(argc, argv);
    case Options::Mode::Status:
        return StatusCommand::run(args);
    case Options::Mode::Waybar:
        return WaybarCommand::run(args);
    case Options::Mode::StatusLine:
        return StatusLineCommand::run(args, argc, argv);
    case Options::Mode::History:
        return HistoryCommand::run(args, argc, argv);
    case Options::Mode::Breakdown:
        return BreakdownCommand::run(args, argc, argv);
    case Options::Mode::Accounts:
    case Options::Mode::AddAccount:
    case Options::Mode::RemoveAccount:
        return AccountsCommand::run(args, argc, argv);
    case Options::Mode::Help:
        writeText(stdout, Options::helpText());
        return 0;
    case Options::Mode::Version:
        writeText(stdout, Options::versionText());
        return 0;
    case Options::Mode::App:
        if (qEnvironmentVariableIsEmpty("DISPLAY") &&
            qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
            qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            writeText(stderr, QStringLiteral("brimwatch: no display to show the tray item on "
                                             "(neither DISPLAY nor WAYLAND_DISPLAY is set)\n"));
            return 1;
        }
        return runGui(args, argc, argv);
    case Options::Mode::MakeIcon:
    case Options::Mode::Snapshot:
        return runGui(args, argc, argv);
    }
    return 0;
}
