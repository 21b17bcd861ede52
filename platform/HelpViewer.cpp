#include "platform/HelpViewer.h"

#include <QPointer>
#include <QTextBrowser>
#include <QUrl>

namespace quorvel::platform {

void ShowHelp(QWidget* owner) {
    static QPointer<QTextBrowser> viewer;
    if (!viewer) {
        // A window of its own, usable while the owner is disabled, closed with it.
        viewer = new QTextBrowser;
        QObject::connect(owner, &QObject::destroyed, viewer, &QWidget::close);
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
