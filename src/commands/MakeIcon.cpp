#include "MakeIcon.h"

#include "Snapshot.h"
#include "views/AppIcon.h"

namespace MakeIconCommand {

void run(const QString& path) {
    const QImage image = AppIcon::image();
    if (!image.isNull())
        SnapshotCommand::writePng(image, path);
}

} // namespace MakeIconCommand
