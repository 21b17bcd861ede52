#include "ui/AppIcon.h"

namespace quorvel::ui {

QIcon AppIcon() {
    QIcon icon;
    for (const char* size : {"16", "48", "64", "128", "256"}) {
        icon.addFile(QStringLiteral(":/icons/quorvel-%1.png").arg(QLatin1String(size)));
    }
    icon.addFile(QStringLiteral(":/icons/quorvel.png"));
    return icon;
}

}  // namespace quorvel::ui
