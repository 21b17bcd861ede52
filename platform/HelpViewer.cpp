#include "platform/HelpViewer.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>

namespace quorvel::platform {
namespace {

// The help in a browser of its own that Esc closes, as it closes the program's dialogs.
class HelpBrowser final : public QTextBrowser {
  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
            close();
            return;
        }
        QTextBrowser::keyPressEvent(event);
    }
};

}  // namespace

void ShowHelp(QWidget* owner) {
    static QPointer<QTextBrowser> viewer;
    if (!viewer) {
        // A window of its own, usable while the owner is disabled, closed with it.
        viewer = new HelpBrowser;
        QObject::connect(owner, &QObject::destroyed, viewer, &QWidget::close);
        viewer->setAttribute(Qt::WA_DeleteOnClose);
        viewer->setWindowTitle(QCoreApplication::translate("HelpViewer", "Quorvel Help"));
        viewer->setOpenExternalLinks(true);
        viewer->resize(640, 560);
    }
    // The help in the window's language: each translation names the document written in it.
    const QString page = QCoreApplication::translate(
        "HelpViewer", "Quorvel.html", "the help document's name in this language's resources");
    viewer->setSource(QUrl(QStringLiteral("qrc:/help/") + page));
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
}

}  // namespace quorvel::platform
