#include <QApplication>
#include <QCommandLineParser>
#include <utility>

#include "platform/EndingSignals.h"
#include "platform/LocalFileSystem.h"
#include "platform/Translations.h"
#include "ui/AppIcon.h"
#include "ui/Version.h"
#include "ui/frmCopyFile/frmCopyFile.h"

namespace {

// The command line the program takes: a FILE to open, --help, --version.
void Describe(QCommandLineParser& arguments) {
    arguments.setApplicationDescription(QCoreApplication::translate(
        "main", "Cuts, splits and checks MP3 files without re-encoding."));
    arguments.addHelpOption();
    arguments.addVersionOption();
    arguments.addPositionalArgument(QCoreApplication::translate("main", "file"),
                                    QCoreApplication::translate("main", "The MP3 file to split."),
                                    QCoreApplication::translate("main", "[file]"));
}

void Name(QCoreApplication& application) {
    quorvel::platform::InstallTranslations(application);
    QCoreApplication::setApplicationName(QStringLiteral("Quorvel"));
    QCoreApplication::setApplicationVersion(QLatin1String(quorvel::ui::kVersion));
}

}  // namespace

int main(int argc, char** argv) {
    quorvel::platform::IgnoreFileSizeSignal();
    {
        // --help, --version and a wrong call are answered before a display is needed, so
        // that they work where there is none.
        QCoreApplication core(argc, argv);
        Name(core);
        QCommandLineParser arguments;
        Describe(arguments);
        arguments.process(core);
    }
    QApplication application(argc, argv);
    Name(application);
    QApplication::setWindowIcon(quorvel::ui::AppIcon());
    // The desktop entry the window belongs to, which Wayland matches it with.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.quorvel.quorvel"));
    QCommandLineParser arguments;
    Describe(arguments);
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
