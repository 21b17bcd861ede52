#include <QApplication>
#include <QCommandLineParser>
#include <utility>

#include "platform/EndingSignals.h"
#include "platform/LocalFileSystem.h"
#include "platform/Translations.h"
#include "ui/AppIcon.h"
#include "ui/Version.h"
#include "ui/frmCopyFile/frmCopyFile.h"

int main(int argc, char** argv) {
    quorvel::platform::IgnoreFileSizeSignal();
    QApplication application(argc, argv);
    quorvel::platform::InstallTranslations(application);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setApplicationVersion(QLatin1String(quorvel::ui::kVersion));
    QApplication::setWindowIcon(quorvel::ui::AppIcon());
    // The desktop entry the window belongs to, which Wayland matches it with.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.quorvel.quorvel"));
    QCommandLineParser arguments;
    arguments.setApplicationDescription(
        QCoreApplication::translate("main", "Cuts an MP3 file in two without re-encoding."));
    arguments.addHelpOption();
    arguments.addVersionOption();
    arguments.addPositionalArgument(QCoreApplication::translate("main", "file"),
                                    QCoreApplication::translate("main", "The MP3 file to split."),
                                    QCoreApplication::translate("main", "[file]"));
    arguments.process(application);
    auto* window = quorvel::ui::frmCopyFile::Instance();
    window->show();
    if (!arguments.positionalArguments().isEmpty()) {
        window->Open(arguments.positionalArguments().front());
    }
    // Asked to end, the program stops its work as the Stop command would, then ends with
    // the main window, whatever other window is open.
    bool ending = false;
    quorvel::platform::OnEndingSignals(window, [window, &application, &ending] {
        if (!std::exchange(ending, true)) {
            QObject::connect(window, &QObject::destroyed, &application, &QApplication::quit);
        }
        window->StopAndClose();
    });
    return QApplication::exec();
}
