#pragma once

#include <QString>

// --make-icon FILE: the 1024 x 1024 application icon into a PNG file.
namespace MakeIconCommand {
void run(const QString& path);
}
