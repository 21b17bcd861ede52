#include <QApplication>

#include "platform/LocalFileSystem.h"
#include "ui/Version.h"
#include "ui/frmCopyFile/frmCopyFile.h"

int main(int argc, char** argv) {
    quorvel::platform::IgnoreFileSizeSignal();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setApplicationVersion(QLatin1String(quorvel::ui::kVersion));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quorvel.png")));
    quorvel::ui::frmCopyFile::Instance()->show();
    return QApplication::exec();
}
