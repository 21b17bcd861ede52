// The about box offscreen: its texts and keys, its single instance beside the main window,
// and the system-information launcher over a fake registry and over the real search path.

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <map>
#include <stdexcept>
#include <utility>

#include "FakeDialogs.h"
#include "platform/Dialogs.h"
#include "platform/Registry.h"
#include "ui/frmAbout/frmAbout.h"
#include "ui/frmCopyFile/frmCopyFile.h"

using namespace quorvel::platform;
using quorvel::ui::frmAbout;
using quorvel::ui::frmCopyFile;
using Bytes = std::vector<std::uint8_t>;

namespace {

const std::string kToolKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const std::string kLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
const QStringList kFirstLookup{QString::fromStdString(kToolKey)};
const QStringList kBothLookups = kFirstLookup + QStringList{QString::fromStdString(kLocationKey)};
// Without the tool, System Info shows the program's own facts.
QString Facts() {
    return frmAbout::SystemFacts();
}

using quorvel::test::FakeDialogs;

// Values by key and name; notes every key asked for and every key left open.
class FakeRegistry : public Registry {
  public:
    std::map<std::pair<std::string, std::string>, std::pair<std::uint32_t, Bytes>> values;
    QStringList asked;  // every key an open was tried on, in order
    int openKeys = 0;
    bool accessOk = true;

    void Set(const std::string& key, const std::string& name, std::uint32_t type, Bytes bytes) {
        values[{key, name}] = {type, std::move(bytes)};
    }
    void SetText(const std::string& key, const std::string& name, const QString& text) {
        const QByteArray utf8 = text.toUtf8();
        Bytes bytes(utf8.begin(), utf8.end());
        bytes.push_back(0);
        Set(key, name, REG_SZ, bytes);
    }

    long OpenKey(std::uint32_t root, const std::string& keyName, std::uint32_t access,
                 KeyHandle& key) override {
        asked << QString::fromStdString(keyName);
        accessOk = accessOk && root == HKEY_LOCAL_MACHINE && access == KEY_ALL_ACCESS;
        for (const auto& [id, value] : values) {
            if (id.first != keyName) continue;
            keys_.push_back(keyName);
            key = keys_.size();
            ++openKeys;
            return ERROR_SUCCESS;
        }
        return ERROR_FILE_NOT_FOUND;
    }
    long QueryValue(KeyHandle key, const std::string& valueName, std::uint32_t& type, Bytes& data,
                    std::uint32_t& size) override {
        const auto it = values.find({keys_.at(key - 1), valueName});
        if (it == values.end()) return ERROR_FILE_NOT_FOUND;
        const Bytes& bytes = it->second.second;
        type = it->second.first;
        size = static_cast<std::uint32_t>(bytes.size());
        if (bytes.size() > data.size()) return ERROR_MORE_DATA;
        std::copy(bytes.begin(), bytes.end(), data.begin());
        return ERROR_SUCCESS;
    }
    long CloseKey(KeyHandle) override {
        --openKeys;
        return ERROR_SUCCESS;
    }

  private:
    std::vector<std::string> keys_;
};

// A tool that notes how it was called (its own path, its argument count) in a marker file.
bool WriteTool(const QString& path, const QString& marker) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(QStringLiteral("#!/bin/sh\necho \"$0 $#\" > '%1'\n").arg(marker).toUtf8());
    file.close();
    return file.setPermissions(file.permissions() | QFile::ExeOwner);
}

QString ReadMarker(const QString& marker) {
    QFile file(marker);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

QString Text(QWidget* window, const char* name) {
    auto* label = window->findChild<QLabel*>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
}

QString FocusName() {
    return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
}

// Closed windows delete themselves later; outside an event loop that is now.
void DeleteClosed() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

int VisibleAboutBoxes() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        count += qobject_cast<frmAbout*>(widget) && widget->isVisible();
    }
    return count;
}

}  // namespace

class frmAboutTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void texts();
    void darkTheme();
    void keyboard();
    void oneInstanceFreshAfterClose();
    void firstValueStartedUnchecked();
    void secondValueNeedsTheTool();
    void failuresShowTheMessage();
    void getKeyValueConversions_data();
    void getKeyValueConversions();
    void searchPathBackend();
    void programLivesWhileAboutIsOpen();

  private:
    frmAbout* OpenAbout();

    FakeDialogs dialogs_;
    FakeRegistry registry_;
    QTemporaryDir dir_;
    QString marker_;
};

void frmAboutTest::init() {
    dialogs_.messages.clear();
    dialogs_.titles.clear();
    registry_ = FakeRegistry();
    Dialogs::Install(&dialogs_);
    Registry::Install(&registry_);
    marker_ = dir_.filePath(QStringLiteral("marker"));
    QFile::remove(marker_);
}

void frmAboutTest::cleanup() {
    QList<QPointer<QWidget>> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<frmAbout*>(widget) || qobject_cast<frmCopyFile*>(widget)) {
            windows << widget;
            widget->close();
        }
    }
    DeleteClosed();
    for (const auto& window : windows) QVERIFY2(!window, "a window did not close");
    Registry::Install(nullptr);
    Dialogs::Install(nullptr);
}

// Help > About in a shown main window, as the user chooses it.
frmAbout* frmAboutTest::OpenAbout() {
    frmCopyFile* window = frmCopyFile::Instance();
    window->show();
    window->findChild<QAction*>(QStringLiteral("mnuAbout"))->trigger();
    return frmAbout::Instance();
}

void frmAboutTest::texts() {
    frmAbout* about = OpenAbout();
    QCOMPARE(about->windowTitle(), QStringLiteral("About Quorvel"));
    QCOMPARE(Text(about, "lblTitle"), QStringLiteral("Quorvel"));
    QCOMPARE(Text(about, "lblVersion"), QStringLiteral("Version 1.0.0.1"));
    const QString description = Text(about, "lblDescription");
    QVERIFY2(description.contains(QLatin1String("Quorvel")), qPrintable(description));
    QVERIFY2(description.contains(QRegularExpression(QStringLiteral("\\b[\\w.-]+\\.example\\b"))),
             qPrintable(description));
    QVERIFY(description.contains(QLatin1String("MIT licence")));
    QVERIFY(Text(about, "lblDisclaimer").contains(QLatin1String("\"AS IS\"")));
    const QString facts = frmAbout::SystemFacts();
    for (const QString& fact :
         {QStringLiteral("Quorvel 1.0.0.1"), "Qt " + QLatin1String(qVersion()),
          QLocale::system().name(), QStringLiteral("Desktop module: ")}) {
        QVERIFY2(facts.contains(fact), qPrintable(facts));
    }
    QVERIFY(!about->findChild<QLabel*>(QStringLiteral("picIcon"))->pixmap().isNull());

    // The etched separator between description and disclaimer: grey over white.
    const QImage picture = about->grab().toImage();
    const int x = picture.width() / 2;
    int grey = -1;
    for (int y = 0; y + 1 < picture.height() && grey < 0; ++y) {
        if (picture.pixelColor(x, y) == QColor(128, 128, 128)) grey = y;
    }
    QVERIFY(grey >= 0);
    QCOMPARE(picture.pixelColor(x, grey + 1), QColor(Qt::white));
}

// Under a dark theme the texts take the theme's text colour and no white line glares.
void frmAboutTest::darkTheme() {
    const QPalette light = QApplication::palette();
    QPalette dark = light;
    dark.setColor(QPalette::Window, QColor(40, 40, 40));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Midlight, QColor(70, 70, 70));
    dark.setColor(QPalette::Shadow, QColor(10, 10, 10));
    QApplication::setPalette(dark);
    QPointer<frmAbout> about = OpenAbout();
    for (const char* name : {"lblTitle", "lblVersion", "lblDescription", "lblDisclaimer"}) {
        auto* label = about->findChild<QLabel*>(QLatin1String(name));
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(230, 230, 230));
    }
    const QImage picture = about->grab().toImage();
    for (int y = 0; y < picture.height(); ++y) {
        QVERIFY(picture.pixelColor(picture.width() / 2, y) != QColor(Qt::white));
    }
    about->close();
    QApplication::setPalette(light);
}

void frmAboutTest::keyboard() {
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QPointer<frmAbout> about = OpenAbout();
        QVERIFY(QTest::qWaitForWindowActive(about));
        QCOMPARE(FocusName(), QStringLiteral("cmdOK"));
        if (key == Qt::Key_Return) {
            for (const char* next : {"picIcon", "cmdSysInfo", "cmdOK"}) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QCOMPARE(FocusName(), QLatin1String(next));
            }
        }
        QTest::keyClick(QApplication::focusWidget(), key);
        DeleteClosed();
        QVERIFY2(!about, "the key did not close the about box");
        QVERIFY(dialogs_.messages.isEmpty());
    }
}

void frmAboutTest::oneInstanceFreshAfterClose() {
    QPointer<frmAbout> first = OpenAbout();
    QVERIFY(QTest::qWaitForWindowExposed(first));
    QCOMPARE(OpenAbout(), first.data());
    QCOMPARE(VisibleAboutBoxes(), 1);
    // Owner-less and modeless: the main window stays usable beside it.
    QVERIFY(!first->parentWidget());
    QVERIFY(!first->isModal());
    QVERIFY(frmCopyFile::Instance()->isEnabled());

    first->findChild<QLabel*>(QStringLiteral("lblVersion"))->setText(QStringLiteral("stale"));
    first->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
    DeleteClosed();
    QVERIFY2(!first, "OK did not close the about box");
    frmAbout* second = OpenAbout();
    QCOMPARE(Text(second, "lblVersion"), QStringLiteral("Version 1.0.0.1"));
    QCOMPARE(VisibleAboutBoxes(), 1);
}

void frmAboutTest::firstValueStartedUnchecked() {
    // A hidden name is no ordinary file, yet the first value's path is run as it stands.
    const QString tool = dir_.filePath(QStringLiteral(".sysinfo tool"));
    QVERIFY(WriteTool(tool, marker_));
    registry_.SetText(kToolKey, "PATH", tool);
    registry_.SetText(kLocationKey, "MSINFO", dir_.path());
    frmAbout* about = OpenAbout();
    about->findChild<QPushButton*>(QStringLiteral("cmdSysInfo"))->click();
    QTRY_COMPARE(ReadMarker(marker_), tool + " 0");
    QCOMPARE(dialogs_.messages, QStringList());
    QCOMPARE(registry_.asked, kFirstLookup);
    QCOMPARE(registry_.openKeys, 0);
    QVERIFY(registry_.accessOk);

    registry_.SetText(kToolKey, "PATH", dir_.filePath(QStringLiteral("no such tool")));
    about->StartSysInfo();
    QCOMPARE(dialogs_.messages, QStringList{Facts()});
    QCOMPARE(dialogs_.titles, QStringList{QStringLiteral("System Information")});
    QVERIFY(about->isVisible());
}

void frmAboutTest::secondValueNeedsTheTool() {
    QTemporaryDir folder;
    const QString tool = folder.filePath(QStringLiteral("MSINFO32.EXE"));
    frmAbout* about = OpenAbout();

    registry_.SetText(kLocationKey, "MSINFO", folder.path());
    about->StartSysInfo();  // no tool in the folder
    QCOMPARE(registry_.asked, kBothLookups);
    QCOMPARE(dialogs_.messages, QStringList{Facts()});

    QVERIFY(WriteTool(tool, marker_));
    about->StartSysInfo();
    QTRY_COMPARE(ReadMarker(marker_), tool + " 0");
    QFile::remove(marker_);
    // A folder value that already ends in the separator keeps both.
    registry_.SetText(kLocationKey, "MSINFO", folder.path() + '/');
    about->StartSysInfo();
    QTRY_COMPARE(ReadMarker(marker_), folder.path() + "//MSINFO32.EXE 0");
    QCOMPARE(dialogs_.messages.size(), 1);
    QCOMPARE(registry_.openKeys, 0);
}

void frmAboutTest::failuresShowTheMessage() {
    frmAbout* about = OpenAbout();
    about->StartSysInfo();  // neither value
    QCOMPARE(registry_.asked, kBothLookups);
    QCOMPARE(dialogs_.messages, QStringList{Facts()});

    // A usable second value stands behind the first in both cases below.
    QTemporaryDir folder;
    QVERIFY(WriteTool(folder.filePath(QStringLiteral("MSINFO32.EXE")), marker_));
    registry_.SetText(kLocationKey, "MSINFO", folder.path());
    registry_.asked.clear();
    // Another type counts as found, with an empty path that cannot start.
    registry_.Set(kToolKey, "PATH", 3, {'/', 'b', 'i', 'n', 0});
    about->StartSysInfo();
    // No bytes at all is an error of the lookup itself: the message at once.
    registry_.Set(kToolKey, "PATH", REG_SZ, {});
    about->StartSysInfo();
    QCOMPARE(dialogs_.messages, (QStringList{Facts(), Facts(), Facts()}));
    QCOMPARE(registry_.asked, kFirstLookup + kFirstLookup);
    QCOMPARE(registry_.openKeys, 0);
    QVERIFY(about->isVisible());
}

void frmAboutTest::getKeyValueConversions_data() {
    QTest::addColumn<uint>("type");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("entry");  // what KeyVal holds before the call
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("keyVal");

    const QString stale = QStringLiteral("stale");
    QTest::newRow("text with zero") << uint(REG_SZ) << QByteArray("/usr/bin/x\0", 11) << stale
                                    << true << QStringLiteral("/usr/bin/x");
    QTest::newRow("text without zero")
        << uint(REG_SZ) << QByteArray("abc") << stale << true << QStringLiteral("abc");
    QTest::newRow("zero inside text")
        << uint(REG_SZ) << QByteArray("a\0b", 3) << stale << true << QString::fromLatin1("a\0b", 3);
    QTest::newRow("dword 1") << uint(REG_DWORD) << QByteArray("\x01\0\0\0", 4) << QString() << true
                             << QStringLiteral("&h001");
    QTest::newRow("dword 528") << uint(REG_DWORD) << QByteArray("\x10\x02\0\0", 4) << QString()
                               << true << QStringLiteral("&h0210");
    QTest::newRow("dword high byte") << uint(REG_DWORD) << QByteArray("\x1A\0\0\xFF", 4)
                                     << QString() << true << QStringLiteral("&hFF001A");
    QTest::newRow("other type left as is") << 3u << QByteArray("abc") << stale << true << stale;
    QTest::newRow("1024 bytes") << uint(REG_SZ) << QByteArray(1024, 'x') << stale << true
                                << QString(1024, 'x');
    QTest::newRow("1025 bytes") << uint(REG_SZ) << QByteArray(1025, 'x') << stale << false
                                << QString();
}

void frmAboutTest::getKeyValueConversions() {
    QFETCH(uint, type);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, entry);
    QFETCH(bool, found);
    QFETCH(QString, keyVal);
    registry_.Set("Key", "Value", type, Bytes(bytes.begin(), bytes.end()));
    std::string value = entry.toStdString();
    QCOMPARE(frmAbout::GetKeyValue(HKEY_LOCAL_MACHINE, "Key", "Value", value), found);
    QCOMPARE(QString::fromLatin1(value.data(), qsizetype(value.size())), keyVal);
    QCOMPARE(registry_.openKeys, 0);

    // A missing value or key fails with an empty text; an empty value is an error.
    value = "before";
    QVERIFY(!frmAbout::GetKeyValue(HKEY_LOCAL_MACHINE, "Key", "Other", value));
    QCOMPARE(value, std::string());
    value = "before";
    QVERIFY(!frmAbout::GetKeyValue(HKEY_LOCAL_MACHINE, "Other", "Value", value));
    QCOMPARE(value, std::string());
    registry_.Set("Key", "Empty", type, {});
    QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                             frmAbout::GetKeyValue(HKEY_LOCAL_MACHINE, "Key", "Empty", value));
    QCOMPARE(registry_.openKeys, 0);
    QVERIFY(registry_.accessOk);
}

void frmAboutTest::searchPathBackend() {
    Registry::Install(nullptr);
    const QByteArray path = qgetenv("PATH");
    const auto restore = qScopeGuard([&] { qputenv("PATH", path); });
    if (!QStandardPaths::findExecutable(QStringLiteral("hardinfo2")).isEmpty()) {
        QSKIP("hardinfo2 is installed and comes before hardinfo");
    }
    QTemporaryDir tools;
    const QString tool = tools.filePath(QStringLiteral("hardinfo"));
    QVERIFY(WriteTool(tool, marker_));
    qputenv("PATH", tools.path().toUtf8() + ':' + path);

    std::string value;
    QVERIFY(frmAbout::GetKeyValue(HKEY_LOCAL_MACHINE, kToolKey, "PATH", value));
    QCOMPARE(QString::fromStdString(value), tool);
    QVERIFY(!frmAbout::GetKeyValue(HKEY_LOCAL_MACHINE, kLocationKey, "MSINFO", value));
    frmAbout* about = OpenAbout();
    about->StartSysInfo();
    QTRY_COMPARE(ReadMarker(marker_), tool + " 0");
    QCOMPARE(dialogs_.messages, QStringList());

    // Without any of the tools on the path, the message.
    QTemporaryDir empty;
    qputenv("PATH", empty.path().toUtf8());
    about->StartSysInfo();
    QCOMPARE(dialogs_.messages, QStringList{Facts()});
}

// Run inside the application's own event loop: closing the main window must not end it
// while the about box is open, and closing the about box then must.
void frmAboutTest::programLivesWhileAboutIsOpen() {
    QPointer<frmCopyFile> window = frmCopyFile::Instance();
    QPointer<frmAbout> about = OpenAbout();
    QVERIFY(QTest::qWaitForWindowExposed(about));

    bool quitAsked = false;
    bool aboutOutlivedWindow = false;
    struct QuitWatch : QObject {
        bool& asked;
        explicit QuitWatch(bool& flag) : asked(flag) {}
        bool eventFilter(QObject*, QEvent* event) override {
            asked = asked || event->type() == QEvent::Quit;
            return false;
        }
    } watch(quitAsked);
    qApp->installEventFilter(&watch);
    QTimer::singleShot(0, qApp, [&] {
        window->close();
        QTimer::singleShot(0, qApp, [&] {
            aboutOutlivedWindow = about && about->isVisible() && !quitAsked;
            if (about) about->close();
        });
    });
    QTimer stuck;  // ends the loop should the program never end by itself
    connect(&stuck, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
    stuck.start(10000);
    const int result = QApplication::exec();
    qApp->removeEventFilter(&watch);
    QCOMPARE(result, 0);
    QVERIFY(aboutOutlivedWindow);
    for (QWidget* widget : QApplication::topLevelWidgets()) QVERIFY(!widget->isVisible());
}

QTEST_MAIN(frmAboutTest)
#include "frmAboutTest.moc"
