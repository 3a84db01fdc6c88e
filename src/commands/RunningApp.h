#pragma once

#include <QString>
#include <QVariantList>

// The running app on the session bus, called by the text modes that hand it something.
namespace RunningApp {

// Calls a method of the running app, waiting for it no longer than the bus timeout. No app,
// no bus: nothing happens. The bus never starts an app for it. Needs a QCoreApplication.
void call(const QString& method, const QVariantList& arguments = {});

} // namespace RunningApp
