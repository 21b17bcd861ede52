#include "platform/HelpViewer.h"

#include <QPointer>
#include <QTextBrowser>
#include <QUrl>

namespace quorvel::platform {

void ShowHelp(QWidget* owner) {
    static QPointer<QTextBrowser> viewer;
    if (!viewer) {
        viewer = new QTextBrowser(owner);
        viewer->setWindowFlag(Qt::Window);
        viewer->setAttribute(Qt::WA_DeleteOnClose);
        viewer->setWindowTitle(QStringLiteral("Quorvel Help"));
        viewer->setOpenExternalLinks(true);
        viewer->resize(640, 560);
    }
    viewer->setSource(QUrl(QStringLiteral("qrc:/help/Quorvel.html")));
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
}

}  // namespace quorvel::platform
