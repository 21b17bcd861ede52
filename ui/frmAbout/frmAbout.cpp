#include "ui/frmAbout/frmAbout.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QSysInfo>
#include <stdexcept>

#include "platform/DesktopServices.h"
#include "platform/Dialogs.h"
#include "platform/LocalFileSystem.h"
#include "platform/Registry.h"
#include "ui/AppIcon.h"
#include "ui/Twips.h"
#include "ui/Version.h"
#include "ui/Windows.h"

namespace quorvel::ui {

QPointer<frmAbout> frmAbout::instance_;

namespace {

const char* const kSysInfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const char* const kSysInfoValue = "PATH";
const char* const kSysInfoLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
const char* const kSysInfoLocationValue = "MSINFO";

// The etched separator: a grey line with a white one a step below it, in twips.
struct Line {
    int x1, y1, x2, y2, width;
    QColor color;
};
// The white line is drawn first, so that the grey one stays whole where they touch.
const Line kSeparator[] = {
    {105, 1860, 5654, 1860, 2, QColor(255, 255, 255)},
    {90, 1845, 5654, 1845, 1, QColor(128, 128, 128)},
};

}  // namespace

frmAbout* frmAbout::Instance() {
    if (!instance_) instance_ = new frmAbout;
    return instance_;
}

frmAbout::frmAbout()
    : QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setAttribute(Qt::WA_DeleteOnClose);
    // Load: the caption and the four labels.
    setWindowTitle(tr("About %1").arg(platform::kApplicationTitle));
    setWindowIcon(AppIcon());

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    // 32 pixels of the layout, drawn from the size the screen's scale needs.
    picIcon->setPixmap(AppIcon().pixmap(QSize(32, 32), devicePixelRatioF()));
    picIcon->setFocusPolicy(Qt::TabFocus);
    picIcon->setAccessibleName(tr("%1 icon").arg(platform::kApplicationTitle));
    lblTitle = new QLabel(platform::kApplicationTitle, this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    // The version as the program gives it (--version), the one the user reports.
    lblVersion = new QLabel(tr("Version %1").arg(QLatin1String(kVersion)), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblDescription = new QLabel(tr("Quorvel is free software under the MIT licence, brought to "
                                   "you by the Quorvel project (quorvel.example).\n\nVisit the "
                                   "Quorvel homepage at quorvel.example for more information."),
                                this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setWordWrap(true);
    lblDisclaimer =
        new QLabel(tr("Warning: this program is provided \"AS IS\", without warranty of any "
                      "kind. You use it at your own risk."),
                   this);
    lblDisclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    lblDisclaimer->setWordWrap(true);
    cmdOK = new QPushButton(tr("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton(tr("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));

    const Twips twips = Twips::Layout(this, {
                                                {picIcon, 240, 240, 540, 540},
                                                {lblTitle, 1050, 240, 765, 480},
                                                {lblVersion, 1920, 240, 1245, 225},
                                                {lblDescription, 1050, 720, 3885, 1050},
                                                {lblDisclaimer, 255, 2025, 3870, 825},
                                                {cmdOK, 4245, 2025, 1260, 345},
                                                {cmdSysInfo, 4260, 2475, 1245, 345},
                                            });
    lblTitle->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblVersion->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblDisclaimer->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFixedSize(twips.X(5730), twips.Y(3060));
    for (std::size_t i = 0; i < std::size(kSeparator); ++i) {
        const Line& line = kSeparator[i];
        separator_[i] =
            QLine(twips.X(line.x1), twips.Y(line.y1), twips.X(line.x2), twips.Y(line.y2));
    }

    setTabOrder(cmdOK, picIcon);
    setTabOrder(picIcon, cmdSysInfo);
    cmdOK->setFocus(Qt::OtherFocusReason);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
    WindowKeys(this, false);
}

frmAbout::~frmAbout() = default;

void frmAbout::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    // On a dark theme the etching takes the theme's own shadow and light, so that it
    // does not glare.
    const bool dark = palette().color(QPalette::Window).lightness() < 128;
    for (std::size_t i = 0; i < std::size(kSeparator); ++i) {
        QColor color = kSeparator[i].color;
        if (dark) {
            color = palette().color(color == Qt::white ? QPalette::Midlight : QPalette::Shadow);
        }
        painter.setPen(QPen(color, kSeparator[i].width));
        painter.drawLine(separator_[i]);
    }
}

void frmAbout::cmdOK_Click() {
    close();
}

void frmAbout::cmdSysInfo_Click() {
    StartSysInfo();
}

void frmAbout::StartSysInfo() {
    try {
        std::string path;
        if (!GetKeyValue(platform::HKEY_LOCAL_MACHINE, kSysInfoKey, kSysInfoValue, path)) {
            // The tool's folder: started only when the tool is found there.
            std::string folder;
            if (!GetKeyValue(platform::HKEY_LOCAL_MACHINE, kSysInfoLocationKey,
                             kSysInfoLocationValue, folder) ||
                !platform::OrdinaryFileExists(folder + "/MSINFO32.EXE")) {
                throw std::runtime_error("no system-information tool");
            }
            path = folder + "/MSINFO32.EXE";
        }
        if (!platform::StartProgram(path)) throw std::runtime_error("cannot start " + path);
    } catch (const std::exception&) {
        // Without the tool, what a report of a problem needs to say about the program.
        platform::Dialogs::Current().Message(this, SystemFacts(), tr("System Information"));
    }
}

QString frmAbout::SystemFacts() {
    const auto module = platform::DesktopUnavailable();
    return tr("Quorvel %1\nQt %2 (built with %3)\nSystem: %4, %5\nLocale: %6\nDesktop "
              "module: %7")
        .arg(QLatin1String(kVersion), QLatin1String(qVersion()), QLatin1String(QT_VERSION_STR),
             QSysInfo::prettyProductName(), QGuiApplication::platformName(),
             QLocale::system().name(),
             module ? tr("not loaded: %1").arg(QString::fromStdString(*module)) : tr("loaded"));
}

bool frmAbout::GetKeyValue(std::uint32_t KeyRoot, const std::string& KeyName,
                           const std::string& SubKeyRef, std::string& KeyVal) {
    platform::Registry& registry = platform::Registry::Current();
    platform::KeyHandle key = 0;
    if (registry.OpenKey(KeyRoot, KeyName, platform::KEY_ALL_ACCESS, key) !=
        platform::ERROR_SUCCESS) {
        KeyVal.clear();
        return false;
    }
    // The key is closed on every way out, the error of an empty value included.
    struct Closer {
        platform::Registry& registry;
        platform::KeyHandle key;
        ~Closer() { registry.CloseKey(key); }
    } closer{registry, key};

    std::vector<std::uint8_t> buffer(1024, 0);
    std::uint32_t type = 0;
    std::uint32_t size = static_cast<std::uint32_t>(buffer.size());
    if (registry.QueryValue(key, SubKeyRef, type, buffer, size) != platform::ERROR_SUCCESS) {
        KeyVal.clear();
        return false;
    }
    if (size == 0) throw std::runtime_error("the value " + SubKeyRef + " is empty");
    // Cut the value at its terminating zero, if it has one.
    const std::string value(buffer.begin(),
                            buffer.begin() + (buffer[size - 1] == 0 ? size - 1 : size));

    if (type == platform::REG_SZ) {
        KeyVal = value;
    } else if (type == platform::REG_DWORD) {
        static const char kHex[] = "0123456789ABCDEF";
        for (auto it = value.rbegin(); it != value.rend(); ++it) {
            const auto code = static_cast<unsigned char>(*it);
            if (code >= 16) KeyVal += kHex[code >> 4];
            KeyVal += kHex[code & 15];
        }
        KeyVal = "&h" + KeyVal;
    }
    return true;
}

}  // namespace quorvel::ui
