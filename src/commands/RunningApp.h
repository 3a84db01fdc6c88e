#pragma once

#include <QString>
#include <QVariantList>

// The running app on the session bus, called by the text modes that hand it something.
namespace RunningApp {

// Calls a method of the running app, waiting for it no longer than the bus timeout. No app,
// no bus: nothing happens. The bus never starts an app for it. Needs a QCoreApplication.
void call(const QString& method, const QVariantList& arguments = {});

// Ends the process after a call: Qt's bus thread may still be reading while the program's
// static objects are torn down, and says so on standard error ("Trying to construct an
// instance of an invalid type"). Everything printed is flushed first.
[[noreturn]] void end(int status);

} // namespace RunningApp
