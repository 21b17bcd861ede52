// Drives the real main window with keys and clicks, offscreen.

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCryptographicHash>
#include <QDialog>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QStorageInfo>
#include <QStyleOption>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <csignal>
#include <deque>
#include <memory>

#include "FakeDialogs.h"
#include "platform/Dialogs.h"
#include "platform/EndingSignals.h"
#include "platform/Translations.h"
#include "ui/CutPlayer.h"
#include "ui/frmCopyFile/frmCopyFile.h"
#include "ui/frmEditor/WaveView.h"
#include "ui/frmEditor/frmEditor.h"
#include "ui/frmJoinFiles/frmJoinFiles.h"

using namespace Qt::StringLiterals;
using quorvel::ui::CutPlayer;
using quorvel::ui::frmCopyFile;
using quorvel::ui::frmEditor;
using quorvel::ui::frmJoinFiles;
using quorvel::ui::WaveView;

namespace {

const QString kMinuteNumeric = u"Minute value has to be numeric"_s;
const QString kSecondNumeric = u"Second value has to be numeric"_s;
const QString kSecondRange = u"Valid second value range is 0 to 59"_s;
const QString kSplitTime = u"Split time cannot be <= 0 and >= Source duration"_s;

using quorvel::test::FakeDialogs;

// Answers the real message boxes as they open: notes each one and presses its OK button.
class BoxClicker : public QObject {
  public:
    QStringList texts;
    bool plain = true;  // every box so far: captioned "Quorvel", no icon, OK only

    BoxClicker() {
        connect(&timer_, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            texts << box->text();
            plain = plain && box->windowTitle() == QLatin1String("Quorvel") &&
                    box->icon() == QMessageBox::NoIcon && box->buttons().size() == 1;
            box->button(QMessageBox::Ok)->click();
            // As the window manager does: the window under the closed box is active again.
            if (QWidget* owner = box->parentWidget()) owner->activateWindow();
        });
        timer_.start(10);
    }

  private:
    QTimer timer_;
};

// Frames of 417 bytes: header FF FB 90 64 (MPEG1 Layer 3, 128 kbit/s, 44100 Hz, no
// padding, main data begin 0), then zeros. Each plays 1152 / 44100 s.
QByteArray SyntheticMp3(int frames) {
    return (QByteArray::fromHex("FFFB9064") + QByteArray(413, '\0')).repeated(frames);
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QString Lines(const QStringList& lines) {
    return lines.join(QLatin1String("\r\n"));
}

QString AnalysisLog(const QString& path) {
    return Lines({"Analysing chosen file " + path + "... Please wait for a few seconds.",
                  "File information updated."});
}

}  // namespace

class frmCopyFileTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        // The tests close and reopen the window; that is no reason to end the program here.
        QApplication::setQuitOnLastWindowClosed(false);
        // Replaced outputs go to the trash: a home of its own keeps them out of the user's.
        QVERIFY(home_.isValid());
        qputenv("HOME", home_.path().toUtf8());
        qputenv("XDG_DATA_HOME", (home_.path() + "/.local/share").toUtf8());
        qputenv("XDG_CONFIG_HOME", (home_.path() + "/.config").toUtf8());
        quorvel::platform::InstallTranslations(*QCoreApplication::instance());
    }

    void init() {
        // Each test starts as the first run does.
        QFile::remove(Settings());
        fake_ = FakeDialogs();
        quorvel::platform::Dialogs::Install(&fake_);
        temp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(temp_->isValid());
        window_ = frmCopyFile::Instance();
        window_->show();
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_));
    }

    void cleanup() {
        delete window_;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        quorvel::platform::Dialogs::Install(nullptr);
        temp_.reset();
    }

    void startUp() {
        QCOMPARE(window_->windowTitle(), u"Quorvel V1.01  by the Quorvel project"_s);
        QCOMPARE(Find("txtToFolder")->text(), QDir::currentPath());
        QCOMPARE(Find("txtSplitMinute")->text(), u"3"_s);
        QCOMPARE(Find("txtSplitSecond")->text(), u"00"_s);
        QCOMPARE(Fields(), u"|||||"_s);
        QCOMPARE(Find("txtMP3")->text(), QString());
        QCOMPARE(Log(), QString());
        QCOMPARE(Focus(), u"txtMP3"_s);
    }

    void tabOrderSelectsWholeText() {
        Type("txtMP3", u"some/path.mp3"_s);
        QStringList order{Focus()};
        for (int i = 0; i < 14; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order << Focus();
            if (auto* box = qobject_cast<QLineEdit*>(QApplication::focusWidget())) {
                QCOMPARE(box->selectedText(), box->text());
            }
        }
        // Then what a screen reader is to reach too: the split rule, what the analysis
        // found and the log.
        QCOMPARE(order,
                 QStringList({"txtMP3", "cmdBrowse", "txtToFolder", "cmdBrowseTo", "txtSplitMinute",
                              "txtSplitSecond", "cmdSplit", "chkExactly", "txtSelectedFileSize",
                              "txtSelectedType", "txtSelectedBitRate", "txtSelectedFrames",
                              "txtSelectedDuration", "txtSelectedSampling", "txtSystemMessage"}));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(Focus(), u"txtMP3"_s);
        QCOMPARE(Find("txtMP3")->selectedText(), u"some/path.mp3"_s);
    }

    // A layout that clips a caption or a shown value shows in these measurements.
    void captionsFit() {
        const auto plain = [](QString text) { return text.remove('&'); };
        for (const auto* label : window_->findChildren<QLabel*>()) {
            const QFontMetrics metrics = label->fontMetrics();
            QVERIFY2(metrics.horizontalAdvance(label->text()) <= label->contentsRect().width() &&
                         metrics.height() <= label->contentsRect().height(),
                     qPrintable(label->objectName()));
        }
        for (auto* button : window_->findChildren<QPushButton*>()) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            const QRect room =
                button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
            QVERIFY2(button->fontMetrics().horizontalAdvance(plain(button->text())) <= room.width(),
                     qPrintable(button->objectName()));
        }
        for (auto* frame : window_->findChildren<QGroupBox*>()) {
            QStyleOptionGroupBox option;
            option.initFrom(frame);
            option.text = frame->title();
            option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
            option.textAlignment = frame->alignment();
            const QRect title = frame->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                               QStyle::SC_GroupBoxLabel, frame);
            QVERIFY2(title.width() >= frame->fontMetrics().horizontalAdvance(frame->title()) &&
                         frame->rect().contains(title),
                     qPrintable(frame->objectName()));
            // The controls of a frame stand inside it and below its caption.
            for (const auto* child : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                QVERIFY2(frame->rect().contains(child->geometry()) &&
                             child->geometry().top() > title.bottom(),
                         qPrintable(child->objectName()));
            }
        }
        // The widest values the boxes show in practice.
        const std::pair<const char*, QString> values[] = {
            {"txtSelectedFileSize", "999.999"}, {"txtSelectedType", "MPEG2.5 Layer 3"},
            {"txtSelectedBitRate", "320000"},   {"txtSelectedSampling", "44100"},
            {"txtSelectedFrames", "999999"},    {"txtSelectedDuration", "99:59"},
            {"txtSplitMinute", "1000"},         {"txtSplitSecond", "59"},
        };
        for (const auto& [name, text] : values) {
            const QLineEdit* box = Find(name);
            const int frame = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, box);
            // QLineEdit keeps 2 pixels on each side of its text inside the frame.
            const int room = box->contentsRect().width() - 2 * frame - 4;
            QVERIFY2(box->fontMetrics().horizontalAdvance(text) <= room, name);
        }
        QMenuBar* bar = window_->menuBar();
        for (QAction* menu : bar->actions()) {
            QVERIFY(bar->fontMetrics().horizontalAdvance(plain(menu->text())) <=
                    bar->actionGeometry(menu).width());
            for (QAction* item : menu->menu()->actions()) {
                QVERIFY(menu->menu()->fontMetrics().horizontalAdvance(plain(item->text())) <=
                        menu->menu()->actionGeometry(item).width());
            }
        }
    }

    // On a screen too short for the window the log gives way, down to two lines, and the
    // window stays within the screen's available area wherever it was last put. Run with
    // the screens of frmCopyFileTest_screens, at twice the scale.
    void fitsShortScreens() {
        if (QGuiApplication::screens().size() != 3) {
            QSKIP("needs the screens of frmCopyFileTest_screens");
        }
        const auto named = [](const QString& name) {
            const QList<QScreen*> screens = QGuiApplication::screens();
            return *std::find_if(screens.cbegin(), screens.cend(),
                                 [&](const QScreen* screen) { return screen->name() == name; });
        };
        int designed = 0, below = 0, belowBox = 0;
        for (const QString& name : {u"tall"_s, u"short"_s, u"shorter"_s}) {
            QScreen* screen = named(name);
            // Last put with its corner near the screen's, most of it beyond the screen.
            const QRect area = screen->availableGeometry();
            window_->move(area.bottomRight() - QPoint(40, 40));
            window_->close();
            QTRY_VERIFY(window_.isNull());
            window_ = frmCopyFile::Instance();
            window_->show();
            QVERIFY(QTest::qWaitForWindowExposed(window_));
            QCOMPARE(window_->screen(), screen);
            const auto* log = Find<QPlainTextEdit>("txtSystemMessage");
            const QWidget* box = log->parentWidget();
            const QWidget* client = window_->centralWidget();
            const QRect frame = window_->frameGeometry();
            const int margins = 2 * static_cast<int>(log->document()->documentMargin());
            const int lines =
                (log->viewport()->height() - margins) / log->fontMetrics().lineSpacing();
            if (name == u"tall") {
                // Tall enough for the window as designed.
                QVERIFY(area.contains(frame));
                designed = log->height();
                below = box->height() - log->geometry().bottom();
                belowBox = client->height() - box->geometry().bottom();
                continue;
            }
            QVERIFY2(log->height() <= designed, qPrintable(name));
            // Only the log gave way: what stands below it keeps its place beneath it.
            QCOMPARE(box->height() - log->geometry().bottom(), below);
            QCOMPARE(client->height() - box->geometry().bottom(), belowBox);
            if (name == u"short") {
                // As tall as a 1920 by 1080 screen: the whole window fits, the status bar
                // as tall as with Stop in it, the log giving way no further than it must.
                QVERIFY(area.contains(frame));
                QVERIFY(frame.height() == area.height() || log->height() == designed);
                QVERIFY(window_->statusBar()->height() >=
                        Find<QPushButton>("cmdStop")->sizeHint().height());
                QVERIFY(lines >= 2);
            } else {
                // Too short even for two lines: they stay, and the title bar within reach.
                QCOMPARE(lines, 2);
                QCOMPARE(frame.top(), area.top());
                QVERIFY(area.contains(QRect(frame.topLeft(), QSize(frame.width(), 1))));
            }
        }
        // Taken to a tall screen, the log has its designed height again.
        window_->setScreen(named(u"tall"_s));
        QTRY_COMPARE(Find<QPlainTextEdit>("txtSystemMessage")->height(), designed);
    }

    void analysisByEnter_data() {
        QTest::addColumn<QString>("path");  // %1 stands for the temporary folder
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("fields");
        const QString analyse = u"Please choose a source MP3 file to analyse."_s;
        const QString none = u"|||||"_s;
        QTest::newRow("frames") << u"%1/hundred.mp3"_s << SyntheticMp3(100) << QString()
                                << u"0.04|MPEG1 Layer 3|128000|44100|100|0:2"_s;
        QTest::newRow("no frames")
            << u"%1/notes.mp3"_s << QByteArray(1000, 'x')
            << u"File selected is not a valid MP3 file. Please select another."_s
            << u"0.001|Unknown||||"_s;
        QTest::newRow("empty") << QString() << QByteArray() << analyse << none;
        QTest::newRow("blanks") << u"   "_s << QByteArray() << analyse << none;
        QTest::newRow("missing") << u"%1/gone.mp3"_s << QByteArray()
                                 << u"Cannot read %1/gone.mp3: No such file or directory."_s
                                 << none;
        QTest::newRow("folder") << u"%1"_s << QByteArray() << u"Cannot read %1: it is a folder."_s
                                << none;
    }

    // What Enter in the source box shows; a path that names nothing readable leaves no
    // result of the file analysed before it, in the fields or in the log, which says why.
    void analysisByEnter() {
        QFETCH(QString, path);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        QFETCH(QString, fields);
        const QString earlier = Song(u"earlier.mp3"_s, 50);
        Analyse(earlier);
        path.replace("%1", temp_->path());
        QVERIFY(bytes.isEmpty() || WriteAll(path, bytes));
        Analyse(path);
        const QStringList messages{message.replace("%1", temp_->path())};
        QCOMPARE(fake_.messages, message.isEmpty() ? QStringList() : messages);
        QCOMPARE(Fields(), fields);
        const QString log = fields == u"|||||"_s ? message
                            : message.isEmpty()  ? AnalysisLog(path)
                                                 : AnalysisLog(path).replace(
                                                       u"File information updated."_s, message);
        QCOMPARE(Log(), log);
        QCOMPARE(Find<QPlainTextEdit>("txtSystemMessage")->toPlainText(),
                 Log().replace("\r\n", "\n"));
        QCOMPARE(Focus(), u"txtMP3"_s);
        QCOMPARE(Find("txtMP3")->text(), path);
        if (!message.isEmpty()) QCOMPARE(Find("txtMP3")->selectedText(), path);
    }

    void fileDialog() {
        const QString path = Song(u"chosen.mp3"_s, 100);
        const QString request = u"Open MP3 file|MPEG Audio Files (*.MP3)"_s;

        fake_.chosenFile = path;
        QTest::mouseClick(Find<QPushButton>("cmdBrowse"), Qt::LeftButton);
        WaitIdle();
        QCOMPARE(fake_.openRequests, QStringList{request});
        QCOMPARE(Find("txtMP3")->text(), path);
        QCOMPARE(Log(), AnalysisLog(path));
        QCOMPARE(Fields(), u"0.04|MPEG1 Layer 3|128000|44100|100|0:2"_s);

        // The menu runs the same choice, and Ctrl+O, and the same file is analysed again.
        QVERIFY(WriteAll(path, SyntheticMp3(50)));
        QTest::keyClick(window_, Qt::Key_O, Qt::ControlModifier);
        WaitIdle();
        QCOMPARE(fake_.openRequests, QStringList({request, request}));
        QCOMPARE(Fields(), u"0.02|MPEG1 Layer 3|128000|44100|50|0:1"_s);

        // Cancel, or a name of blanks only, changes nothing but the focus.
        for (const QString& answer : {QString(), u"  "_s}) {
            QTest::mouseClick(Find("txtToFolder"), Qt::LeftButton);
            fake_.chosenFile = answer;
            Find<QAction>("mnuOpen")->trigger();
            QCOMPARE(Focus(), u"txtMP3"_s);
            QCOMPARE(Find("txtMP3")->text(), path);
            QCOMPARE(Log(), AnalysisLog(path));
            QCOMPARE(Fields(), u"0.02|MPEG1 Layer 3|128000|44100|50|0:1"_s);
        }
        QCOMPARE(fake_.messages, QStringList());
    }

    // A dropped file is the source, a dropped folder the destination.
    void dropOneFileOrFolder() {
        const QString path = Song(u"dropped.mp3"_s, 100);
        const QUrl file = QUrl::fromLocalFile(path);
        const auto drop = [this](const QList<QUrl>& urls, const QString& text = {}) {
            QMimeData data;
            if (!urls.isEmpty()) data.setUrls(urls);
            if (!text.isEmpty()) data.setText(text);
            QDragEnterEvent enter({20, 20}, Qt::CopyAction, &data, Qt::LeftButton, {});
            QCoreApplication::sendEvent(window_, &enter);
            QDropEvent dropped(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, {});
            QCoreApplication::sendEvent(window_, &dropped);
            return enter.isAccepted();
        };
        QVERIFY(!drop({file, file}));
        QVERIFY(!drop({}, path));
        QCOMPARE(Find("txtMP3")->text(), QString());
        QCOMPARE(Log(), QString());
        QVERIFY(drop({QUrl::fromLocalFile(temp_->path())}));
        QCOMPARE(Find("txtToFolder")->text(), temp_->path());
        QVERIFY(drop({file}));
        WaitIdle();
        QCOMPARE(Find("txtMP3")->text(), path);
        QCOMPARE(Log(), AnalysisLog(path));
        QCOMPARE(Fields(), u"0.04|MPEG1 Layer 3|128000|44100|100|0:2"_s);
    }

    void splitRefusals_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("minute");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        const QString song = u"%1/song.mp3"_s;
        const auto row = [](const char* name, const QString& source, const QString& folder,
                            const char* minute, const char* second, const QString& message,
                            const char* focus) {
            QTest::newRow(name) << source << folder << QString(minute) << QString(second) << message
                                << QString(focus);
        };
        row("blank source and folder", u"  "_s, {}, "0", "2",
            u"Please choose a source MP3 file to split."_s, "txtMP3");
        row("blank folder", song, u"  "_s, "0", "2",
            u"Please enter/choose the destination folder."_s, "txtToFolder");
        row("missing folder", song, u"%1/nowhere"_s, "0", "2",
            u"Please create destination folder."_s, "txtToFolder");
        row("folder is a file", song, song, "0", "2",
            u"Cannot write to %1/song.mp3: it is a file, not a folder."_s, "txtToFolder");
        row("missing source", u"%1/gone.mp3"_s, u"%1"_s, "0", "2", u"Source MP3 file not found"_s,
            "cmdSplit");
        row("source is a folder", u"%1"_s, u"%1"_s, "0", "2", u"Source MP3 file not found"_s,
            "cmdSplit");
        row("zero", song, u"%1"_s, "0", "00", kSplitTime, "txtSplitSecond");
        row("at the duration", song, u"%1"_s, "0", "5", kSplitTime, "txtSplitSecond");
        row("start-up time", song, u"%1"_s, "3", "00", kSplitTime, "txtSplitSecond");
        row("beyond 32 bits", song, u"%1"_s, "99999999", "0", kSplitTime, "txtSplitSecond");
    }

    // Each refusal names the field to correct and leaves the log and the disk as they were.
    void splitRefusals() {
        QFETCH(QString, source);
        QFETCH(QString, folder);
        QFETCH(QString, minute);
        QFETCH(QString, second);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        const QString song = Song(u"song.mp3"_s);
        PrepareSplit(song, minute, second);
        QCOMPARE(Find("txtSelectedDuration")->text(), u"0:5"_s);
        Find("txtMP3")->setText(source.replace("%1", temp_->path()));
        Find("txtToFolder")->setText(folder.replace("%1", temp_->path()));
        ClickSplit();
        RunQueued();
        QCOMPARE(fake_.messages, QStringList{QString(message).replace("%1", temp_->path())});
        QCOMPARE(fake_.titles, QStringList{"Quorvel"});
        QCOMPARE(Focus(), focus);
        QCOMPARE(Log(), AnalysisLog(song));
        QCOMPARE(QDir(temp_->path()).entryList(QDir::Files), QStringList{"song.mp3"});
    }

    // The whole run from the window on a name with a non-ASCII letter and a blank.
    void completeSplitReplaceAndDecline() {
        const QString source = Temp(u"chanson é.mp3"_s);
        const QByteArray bytes = SyntheticMp3(200);
        QVERIFY(WriteAll(source, bytes));
        PrepareSplit(source, u"0"_s, u"2"_s);
        const QString first = Temp(u"chanson é1.mp3"_s);
        const QString second = Temp(u"chanson é2.mp3"_s);
        // Frame 77 is the first to start at or after 2 s (77 * 1152 / 44100 = 2.011).
        const QStringList found{"Finding safe point to split file...",
                                "Found safe position to split at byte 32109 (frame 77)",
                                "Beginning to split files now."};
        // Silent frames join exactly wherever they are cut.
        const QStringList summary{
            "Seam check: the parts join the source exactly (0 of 22,050 samples differ)",
            "==========================================",
            "Source file size      : 83400 bytes.",
            "Total bytes written : 83400 bytes.",
            "==========================================",
            "MP3 splitting completed."};
        const auto outputsAreTheSourceCut = [&] {
            return ReadAll(first) == bytes.left(32109) && ReadAll(second) == bytes.mid(32109);
        };

        ClickSplit();
        QCOMPARE(fake_.messages, QStringList());
        QCOMPARE(Log(), Lines(found + QStringList{"Writing to " + first, "Writing to " + second} +
                              summary));
        QVERIFY(outputsAreTheSourceCut());

        fake_.answers = {true};
        ClickSplit();
        QCOMPARE(
            fake_.questions,
            QStringList(u"Output files %1, %2 already exist. Do you want to replace them?"_s.arg(
                first, second)));
        QCOMPARE(Log(), Lines(found +
                              QStringList{"Writing to " + first, "Writing to " + second,
                                          "Moved the older " + first + " to the trash.",
                                          "Moved the older " + second + " to the trash."} +
                              summary));
        QVERIFY(outputsAreTheSourceCut());

        // The question comes first, and declining it keeps what is on disk; one older
        // output is asked about alone.
        QVERIFY(WriteAll(first, "old first") && WriteAll(second, "old second"));
        for (const bool both : {true, false}) {
            if (!both) QVERIFY(QFile::remove(first));
            fake_.questions.clear();
            fake_.answers = {false};
            ClickSplit();
            QCOMPARE(fake_.questions.size(), 1);
            QCOMPARE(Log(), Lines(found + QStringList{"Aborting split file now.",
                                                      both ? "Nothing was changed: " + first +
                                                                 ", " + second + " were kept."
                                                           : "Nothing was changed: " + second +
                                                                 " was kept."}));
            QCOMPARE(ReadAll(first), both ? QByteArray("old first") : QByteArray());
            QCOMPARE(ReadAll(second), QByteArray("old second"));
        }
        QCOMPARE(fake_.messages, QStringList());
    }

    // A lame file whose split frame borrows main data from the frame before it.
    void splitFixtureWithAddedFrame() {
        const QString source = QStringLiteral(QUORVEL_FIXTURES "/cbr128.mp3");
        const QByteArray bytes = ReadAll(source);
        PrepareSplit(source, u"0"_s, u"2"_s);
        QCOMPARE(Fields(), u"0.07|MPEG1 Layer 3|128000|44100|175|0:4"_s);
        ClickSplit();
        QCOMPARE(fake_.messages, QStringList());

        const QStringList log = Log().split(u"\r\n"_s);
        QCOMPARE(log.size(), 12);
        QVERIFY(log[1].startsWith(u"Found safe position to split at byte "_s));
        QVERIFY(log[5].startsWith(u"Seam check: "_s));
        QVERIFY(log[9].startsWith(u"(added 1 new frame of "_s));
        const qsizetype at = log[1].section(' ', 7, 7).toLongLong();
        const qsizetype length = log[9].section(' ', 5, 5).toLongLong();
        QVERIFY((bytes[at + 1] & 1) == 1);  // no CRC: main data begin in bytes 4 and 5
        const int borrowed = (quint8(bytes[at + 4]) << 1) | (quint8(bytes[at + 5]) >> 7);
        QVERIFY(borrowed > 0);
        const QString first = temp_->path() + "/cbr1281.mp3";
        const QString second = temp_->path() + "/cbr1282.mp3";
        const QString total = QString::number(QFileInfo(first).size() + QFileInfo(second).size());
        QCOMPARE(
            Log(),
            Lines({"Finding safe point to split file...", log[1], "Beginning to split files now.",
                   "Writing to " + first, "Writing to " + second, log[5],
                   "==========================================",
                   "Source file size      : " + QString::number(bytes.size()) + " bytes.",
                   "Total bytes written : " + total + " bytes.", log[9],
                   "==========================================", "MP3 splitting completed."}));

        // Past its own 417-byte Info frame, the first part is the source up to the cut with
        // the borrowed bytes zeroed; the second ends with the source from the split frame,
        // after its Info frame and the added frame.
        const qsizetype info = 417;
        QByteArray expectedFirst = bytes.mid(info, at - info);
        expectedFirst.replace(at - info - borrowed, borrowed, QByteArray(borrowed, '\0'));
        QCOMPARE(ReadAll(first).mid(info), expectedFirst);
        QCOMPARE(ReadAll(second).size(), info + length + bytes.size() - at);
        QVERIFY(ReadAll(second).endsWith(bytes.mid(at)));
    }

    // A path typed over after an analysis, without Enter, is analysed when Split is
    // pressed: the split time is checked against the file the box names.
    void splitAnalysesATypedOverPathFirst() {
        PrepareSplit(QStringLiteral(QUORVEL_FIXTURES "/cbr128.mp3"), u"0"_s, u"8"_s);
        const QString longer = Song(u"longer.mp3"_s, 400);  // 10.4 s
        Type("txtMP3", longer);
        ClickSplit();
        QCOMPARE(fake_.messages, QStringList());
        QCOMPARE(Fields(), u"0.159|MPEG1 Layer 3|128000|44100|400|0:10"_s);
        QVERIFY2(Log().endsWith(u"MP3 splitting completed."_s), qPrintable(Log()));
        QVERIFY(QFileInfo::exists(Temp(u"longer2.mp3"_s)));
    }

    // A file rewritten after its analysis is analysed again when Split is pressed, and the
    // split waits: its time was chosen for the file as it was; the box that says so comes
    // once the window has left its work. Pressed again, it splits.
    void splitAnalysesAChangedFileAgainAndWaits() {
        const QString song = Song(u"song.mp3"_s, 200);  // 5.2 s
        PrepareSplit(song, u"0"_s, u"2"_s);
        QVERIFY(WriteAll(song, SyntheticMp3(400)));  // 10.4 s
        bool stopShown = true;
        fake_.whileShown = [&] { stopShown = Find<QPushButton>("cmdStop")->isVisible(); };
        ClickSplit();
        fake_.whileShown = {};
        QVERIFY(!stopShown);
        QCOMPARE(fake_.messages,
                 QStringList(song + u" changed after it was analysed, and has been analysed again. "
                                    "Check the split time, then split it."_s));
        QCOMPARE(Fields(), u"0.159|MPEG1 Layer 3|128000|44100|400|0:10"_s);
        QCOMPARE(Log(), AnalysisLog(song));
        QCOMPARE(Focus(), u"txtSplitSecond"_s);
        QVERIFY(!QFileInfo::exists(Temp(u"song1.mp3"_s)));
        ClickSplit();
        QVERIFY2(Log().endsWith(u"MP3 splitting completed."_s), qPrintable(Log()));
        QCOMPARE(fake_.messages.size(), 1);
    }

    // A large source (1 GiB of nothing before its frames) is analysed and split while the
    // window keeps answering; closed during a split, the window stops it, asks nothing
    // and leaves no partial output.
    void longWorkLeavesTheWindowResponsive() {
        if (QStorageInfo(temp_->path()).bytesAvailable() < (qint64(3) << 30)) {
            QSKIP("no room for a 1 GiB output");
        }
        const QString source = Temp(u"large.mp3"_s);
        {
            QFile file(source);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.seek(qint64(1) << 30));
            QVERIFY(file.write(SyntheticMp3(200)) > 0);
        }
        // A window frozen for the work sees one tick at most, however long it takes.
        int ticksDuringWork = 0;
        QTimer ticks;
        QObject::connect(&ticks, &QTimer::timeout, [&] { ticksDuringWork += window_->Working(); });
        ticks.start(10);
        PrepareSplit(source, u"0"_s, u"2"_s);
        QCOMPARE(Find("txtSelectedFrames")->text(), u"200"_s);
        ClickSplit();
        ticks.stop();
        QVERIFY2(Log().endsWith(u"MP3 splitting completed."_s), qPrintable(Log()));
        QVERIFY2(ticksDuringWork >= 3, qPrintable(QString::number(ticksDuringWork)));

        // Stop leaves the older pair as it was; while the work runs the boxes it reads
        // keep their texts.
        const auto pair = [&] {
            return QCryptographicHash::hash(
                ReadAll(Temp(u"large1.mp3"_s)) + ReadAll(Temp(u"large2.mp3"_s)),
                QCryptographicHash::Sha256);
        };
        const QByteArray before = pair();
        auto* stop = Find<QPushButton>("cmdStop");
        QVERIFY(!stop->isVisible());
        fake_.answers = {true, true};
        QTest::mouseClick(Find<QPushButton>("cmdSplit"), Qt::LeftButton);
        QVERIFY(window_->Working() && stop->isVisible());
        for (const char* box : {"txtMP3", "txtToFolder", "txtSplitMinute", "txtSplitSecond"}) {
            QVERIFY2(Find(box)->isReadOnly(), box);
        }
        // Esc stops it as Stop does.
        QTest::keyClick(window_, Qt::Key_Escape);
        WaitIdle();
        QVERIFY2(Log().endsWith(u"\r\nNothing was changed: the split was stopped."_s),
                 qPrintable(Log()));
        QVERIFY(!stop->isVisible() && !Find("txtMP3")->isReadOnly());
        QCOMPARE(pair(), before);
        fake_.answers.clear();

        // Closing during a split asks first (before the split's own questions, which wait
        // for the window), and the split, done writing, waits to name its parts until the
        // answer: declined, the split goes on; agreed, it stops and the window closes,
        // leaving the folder as it was. The split's own question is answered while the close
        // question waits, before it.
        const QString closing = u"A split is running. Stop it and close?"_s;
        fake_.whileAsked = [&] {
            if (fake_.questions.last() != closing) return;
            QTRY_VERIFY_WITH_TIMEOUT(window_->WaitingToName(), 60000);
        };
        fake_.questions.clear();
        fake_.answers = {true, false};
        QTest::mouseClick(Find<QPushButton>("cmdSplit"), Qt::LeftButton);
        QVERIFY(!window_->close());
        WaitIdle();
        QCOMPARE(fake_.questions.first(), closing);
        QVERIFY(window_->isVisible());
        QVERIFY(Log().endsWith(u"MP3 splitting completed."_s));
        const QByteArray completed = pair();
        fake_.answers = {true, true};
        QTest::mouseClick(Find<QPushButton>("cmdSplit"), Qt::LeftButton);
        QVERIFY(!window_->close());
        QTRY_VERIFY_WITH_TIMEOUT(window_.isNull() || !window_->isVisible(), 60000);
        QCOMPARE(fake_.messages, QStringList());
        QCOMPARE(pair(), completed);
        fake_.whileAsked = {};
        QCOMPARE(QDir(temp_->path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"large.mp3", "large1.mp3", "large2.mp3"}));

        // SIGTERM stops the split as Stop does, answers the question it waits on as
        // cancelled, and closes the window without asking.
        window_ = frmCopyFile::Instance();
        window_->show();
        quorvel::platform::OnEndingSignals(window_, [this] { window_->StopAndClose(); });
        PrepareSplit(source, u"0"_s, u"2"_s);
        fake_.questions.clear();
        QTest::mouseClick(Find<QPushButton>("cmdSplit"), Qt::LeftButton);
        ::raise(SIGTERM);
        QTRY_VERIFY_WITH_TIMEOUT(window_.isNull() || !window_->isVisible(), 60000);
        QVERIFY(!fake_.questions.contains(u"A split is running. Stop it and close?"_s));
        QCOMPARE(pair(), completed);

        // It closes the window as well where the folder browser holds it.
        window_ = frmCopyFile::Instance();
        window_->show();
        quorvel::platform::OnEndingSignals(window_, [this] { window_->StopAndClose(); });
        QTest::mouseClick(Find<QPushButton>("cmdBrowseTo"), Qt::LeftButton);
        QTRY_VERIFY(!window_->isEnabled());
        ::raise(SIGTERM);
        QTRY_VERIFY_WITH_TIMEOUT(window_.isNull() || !window_->isVisible(), 60000);
        const auto open = QApplication::topLevelWidgets();
        QVERIFY(std::none_of(open.begin(), open.end(), [](QWidget* w) { return w->isVisible(); }));
        window_ = frmCopyFile::Instance();
    }

    // SIGTERM while a box of the editor is open closes the box, then both windows.
    void endingSignalWhileABoxIsOpen() {
        Type("txtMP3", QStringLiteral(QUORVEL_FIXTURES "/cbr128.mp3"));
        Type("txtToFolder", temp_->path());
        QPointer<frmEditor> editor = OpenSplitParts();
        QVERIFY(editor);
        QTRY_VERIFY_WITH_TIMEOUT(!editor->Working(), 60000);
        quorvel::platform::OnEndingSignals(window_, [this] { window_->StopAndClose(); });
        // The box as the real one is: modal, its own loop running in the editor's method.
        fake_.whileShown = [&] {
            QDialog box(editor);
            box.setModal(true);
            QTimer::singleShot(0, [] { ::raise(SIGTERM); });
            box.exec();
        };
        auto* cutAt = Find<QLineEdit>(editor, "txtCutAt");
        TypeInto(cutAt, u"3"_s);
        QTest::keyClick(cutAt, Qt::Key_Return);
        fake_.whileShown = {};
        QTRY_VERIFY_WITH_TIMEOUT(window_.isNull() && editor.isNull(), 60000);
        window_ = frmCopyFile::Instance();
    }

    // File > Split into Several Parts opens the editor over the main window's source and
    // folder, analysing a source typed in without Enter first. Its list takes cuts typed in, a
    // cue sheet's tracks (a sheet refused leaves it as it was) and equal parts; its split
    // writes each part under the name the pattern gives and tells its run in the main
    // window's log, and a split stopped leaves the folder as it was.
    void splitIntoSeveralParts() {
        const QString source = QStringLiteral(QUORVEL_FIXTURES "/cbr128.mp3");
        Type("txtMP3", source);
        Type("txtToFolder", temp_->path());
        QPointer<frmEditor> parts = OpenSplitParts();
        QVERIFY(parts);
        QTRY_VERIFY_WITH_TIMEOUT(!parts->Working(), 60000);
        QCOMPARE(Fields(), u"0.07|MPEG1 Layer 3|128000|44100|175|0:4"_s);
        QCOMPARE(Table(parts), u"0:00 0:04.500"_s);  // as it plays, its Info frame left out
        QVERIFY(!Find<QPushButton>(parts, "cmdSplit")->isEnabled());

        auto* cutAt = Find<QLineEdit>(parts, "txtCutAt");
        const auto add = [&](const QString& time) {
            TypeInto(cutAt, time);
            QTest::keyClick(cutAt, Qt::Key_Return);
        };
        add(u"0:03"_s);
        TypeInto(cutAt, u"0:01.5"_s);
        PressAccessKey(parts, Qt::Key_A, "cmdAdd");
        add(u"0:09"_s);
        add(u"0:03"_s);
        add(u"3"_s);
        QCOMPARE(fake_.messages,
                 QStringList({u"A cut at 0:09 lies outside the source, which lasts 0:04.500."_s,
                              u"There is a cut at 0:03 already."_s,
                              u"Write the time as [h:]m:ss, with up to three decimals: "
                              "1:02:03.250."_s}));
        QCOMPARE(Table(parts), u"0:00 0:01.500|0:01.500 0:01.500|0:03 0:01.500"_s);
        // The first part cannot be removed; another gives its time to the part before.
        auto* table = Find<QTableWidget>(parts, "grdParts");
        const auto click = [&](int row) {
            QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                              table->visualItemRect(table->item(row, 0)).center());
        };
        click(0);
        QVERIFY(!Find<QPushButton>(parts, "cmdRemove")->isEnabled());
        click(1);
        PressAccessKey(parts, Qt::Key_R, "cmdRemove");
        QCOMPARE(Table(parts), u"0:00 0:03|0:03 0:01.500"_s);

        fake_.messages.clear();
        const QString refused = Temp(u"refused.cue"_s);
        QVERIFY(WriteAll(refused,
                         "FILE \"cbr128.mp3\" MP3\n  TRACK 01 AUDIO\n    INDEX 01 "
                         "00:00:00\n  TRACK 02 AUDIO\n    INDEX 01 00:09:00\n"));
        fake_.chosenFile = refused;
        PressAccessKey(parts, Qt::Key_C, "cmdImportCue");
        QCOMPARE(fake_.messages.size(), 1);
        QVERIFY2(fake_.messages[0].startsWith(u"Line 5 of the cue sheet: "_s),
                 qPrintable(fake_.messages[0]));
        QCOMPARE(Table(parts), u"0:00 0:03|0:03 0:01.500"_s);
        // A first track that starts late still begins the first part at 0:00.
        const QString sheet = Temp(u"album.cue"_s);
        QVERIFY(WriteAll(sheet,
                         "FILE \"other.mp3\" MP3\n  TRACK 01 AUDIO\n    TITLE \"One\"\n"
                         "    PERFORMER \"Ann\"\n    INDEX 01 00:00:30\n  TRACK 02 AUDIO\n"
                         "    TITLE \"Two\"\n    INDEX 01 00:02:00\n"));
        fake_.chosenFile = sheet;
        const QString logBefore = Log();
        PressAccessKey(parts, Qt::Key_C, "cmdImportCue");
        QCOMPARE(fake_.openRequests.last(), u"Import Cue Sheet|Cue Sheets (*.cue)"_s);
        QCOMPARE(fake_.messages.size(), 1);
        QCOMPARE(Table(parts), u"0:00 0:02 One Ann|0:02 0:02.500 Two"_s);
        QVERIFY2(Log().startsWith(logBefore + u"\r\n"_s) && Log().contains(u"other.mp3"_s),
                 qPrintable(Log()));

        TypeInto(Find<QLineEdit>(parts, "txtNamePattern"), u"%n %t"_s);
        PressAccessKey(parts, Qt::Key_S, "cmdSplit");
        QTRY_VERIFY_WITH_TIMEOUT(!parts->Working(), 60000);
        QCOMPARE(fake_.messages.size(), 1);
        const QString one = Temp(u"1 One.mp3"_s), two = Temp(u"2 Two.mp3"_s);
        QVERIFY2(Log().startsWith(u"Finding safe point to split file...\r\n"_s) &&
                     Log().contains("\r\nWriting to " + one + "\r\nWriting to " + two + "\r\n") &&
                     Log().endsWith(u"\r\nMP3 splitting completed."_s),
                 qPrintable(Log()));
        QVERIFY(QFileInfo(one).size() > 0 && QFileInfo(two).size() > 0);
        // The window itself tells the run and its end, the main window's log behind it.
        QVERIFY(Find<QPlainTextEdit>(parts, "txtLog")
                    ->toPlainText()
                    .endsWith(u"\nMP3 splitting completed."_s));
        QCOMPARE(Find<QLabel>(parts, "lblResult")->text(),
                 "Completed: 2 parts written to " + temp_->path() + '.');
        QCOMPARE(Find<QProgressBar>(parts, "progress")->value(), 100);

        // Stopped while it asks about the parts it would replace, the split changes nothing;
        // meanwhile the table and the commands take no input, nor do the main window's.
        const QStringList entries = QDir(temp_->path()).entryList(QDir::Files | QDir::Hidden);
        const QByteArray older = ReadAll(one) + ReadAll(two);
        bool tableTookInput = true;
        fake_.answers = {true};
        fake_.whileAsked = [&] {
            tableTookInput =
                table->isEnabled() || Find<QPushButton>(parts, "cmdAdd")->isEnabled() ||
                Find<QPushButton>("cmdSplit")->isEnabled() || Find<QAction>("mnuOpen")->isEnabled();
            auto* stop = Find<QPushButton>(parts, "cmdClose");
            if (stop->text() == u"S&top"_s) QTest::mouseClick(stop, Qt::LeftButton);
        };
        PressAccessKey(parts, Qt::Key_S, "cmdSplit");
        QTRY_VERIFY_WITH_TIMEOUT(!parts->Working(), 60000);
        fake_.whileAsked = nullptr;
        QVERIFY(!tableTookInput);
        QVERIFY2(Log().endsWith(u"\r\nNothing was changed: the split was stopped."_s),
                 qPrintable(Log()));
        QCOMPARE(QDir(temp_->path()).entryList(QDir::Files | QDir::Hidden), entries);
        QCOMPARE(ReadAll(one) + ReadAll(two), older);
        QVERIFY(table->isEnabled());
        QCOMPARE(Find<QLabel>(parts, "lblResult")->text(), u"Stopped: nothing was changed."_s);

        // Equal parts of the time it plays; the count is asked for.
        fake_.names = {u"3"_s};
        PressAccessKey(parts, Qt::Key_Q, "cmdEqualParts");
        QCOMPARE(fake_.inputs.last(), u"Edit cbr128.mp3|Number of parts:"_s);
        QCOMPARE(Table(parts), u"0:00 0:01.500|0:01.500 0:01.500|0:03 0:01.500"_s);

        // Esc closes the window; without a source the main window says so and opens none.
        QTest::keyClick(parts, Qt::Key_Escape);
        QTRY_VERIFY(parts.isNull());
        Find("txtMP3")->clear();
        OpenSplitParts();
        QTRY_COMPARE(fake_.messages.last(), u"Please choose a source MP3 file to analyse."_s);
        QTRY_VERIFY(!window_->findChild<frmEditor*>());
        QVERIFY(window_->isEnabled());
    }

    // File > Split Exactly at the Time Given, off at start, cuts at the time given where
    // the default rule finds no frame one added frame suffices for, and says so: on a
    // source without gapless information, at the nearest frame boundary.
    void splitExactlyFromTheFileMenu() {
        auto* exactly = Find<QAction>("mnuSplitExactly");
        QCOMPARE(exactly->text(), u"Split E&xactly at the Time Given"_s);
        QVERIFY(exactly->isCheckable());
        QVERIFY(!exactly->isChecked());
        PrepareSplit(QStringLiteral(QUORVEL_FIXTURES "/noinfo.mp3"), u"0"_s, u"1"_s);
        ClickSplit();
        QVERIFY(
            Log().endsWith(u"File splitting aborted.\r\nTo split at the time given itself, "
                           "choose File > Split Exactly at the Time Given."_s));

        QTest::keyClick(window_, Qt::Key_F, Qt::AltModifier);
        auto* menu = window_->findChild<QMenu*>(u"mnuFile"_s);
        QTRY_VERIFY(menu->isVisible());
        QTest::keyClick(menu, Qt::Key_X);
        QTRY_VERIFY(exactly->isChecked());
        // The check box beside the time boxes shows the same setting and changes it too.
        auto* beside = Find<QCheckBox>("chkExactly");
        QVERIFY(beside->isChecked());
        QTest::keyClick(window_, Qt::Key_X, Qt::AltModifier);
        QTRY_VERIFY(!exactly->isChecked());
        QTest::mouseClick(beside, Qt::LeftButton);
        QVERIFY(exactly->isChecked());
        ClickSplit();
        QVERIFY2(
            Log().contains(u"\r\nCutting at 0:00.993 (sample 43,776), the frame boundary "
                           "nearest the time: the source carries no gapless information.\r\n"_s),
            qPrintable(Log()));
        QVERIFY(Log().endsWith(u"MP3 splitting completed."_s));
    }

    // View > Waveform, off until a source is analysed, opens the editor, which shows the
    // source at once and decoded: a click and Left and Right set the time in the main
    // window's boxes (to the millisecond in the exact mode, to the second by the frame
    // rule), the wheel and + and - zoom, and the boxes set its time. A source analysed anew
    // closes it, and a long decoding leaves both windows responsive.
    void waveformWindow() {
        auto* waveform = Find<QAction>("mnuWaveform");
        QVERIFY(!waveform->isEnabled());
        Analyse(QStringLiteral(QUORVEL_FIXTURES "/cbr128.mp3"));
        QTest::keyClick(window_, Qt::Key_F, Qt::AltModifier);
        QTRY_VERIFY(window_->findChild<QMenu*>(u"mnuFile"_s)->isVisible());
        QTest::keyClick(window_->findChild<QMenu*>(u"mnuFile"_s), Qt::Key_X);
        QPointer<frmEditor> shown;
        const auto open = [&] { shown = OpenWaveform(); };
        open();
        QVERIFY(shown);
        auto* view = shown->findChild<WaveView*>(u"picWave"_s);
        QTRY_VERIFY_WITH_TIMEOUT(view->Decoded(), 60000);
        // The whole source, its middle drawn.
        QCOMPARE(view->First(), 0.0);
        QVERIFY(view->VisibleEnd() == view->Samples());
        const QImage drawn = view->grab().toImage();
        QVERIFY(drawn.pixel(drawn.width() / 2, drawn.height() / 2 - 2) !=
                view->palette().color(QPalette::Base).rgb());

        const auto boxes = [&] {
            return Find("txtSplitMinute")->text() + ':' + Find("txtSplitSecond")->text();
        };
        const auto exactText = [&] {
            return u"0:"_s +
                   QString::number(double(std::llround(view->Time() * 1000.0 / 44100)) / 1000, 'f',
                                   3);
        };
        QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(view->width() / 2, view->height() / 2));
        const std::int64_t clicked = view->Time();
        QVERIFY(std::abs(clicked - view->Samples() / 2) <= view->SamplesPerPixel());
        QCOMPARE(boxes(), exactText());
        QTRY_VERIFY(
            Find<QLabel>(shown, "lblPosition")->text().contains(u"The exact mode cuts at"_s));
        QTest::keyClick(view, Qt::Key_Right);
        QCOMPARE(view->Time(), clicked + 1152);
        QCOMPARE(boxes(), exactText());
        QTest::keyClick(view, Qt::Key_Left);
        QTest::keyClick(view, Qt::Key_Left);
        QCOMPARE(view->Time(), clicked - 1152);
        QCOMPARE(boxes(), exactText());

        const double whole = view->SamplesPerPixel();
        QWheelEvent wheel(QPointF(10, 10), view->mapToGlobal(QPointF(10, 10)), {}, {0, 120},
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &wheel);
        QCOMPARE(view->SamplesPerPixel(), whole / 2);
        QTest::keyClick(view, Qt::Key_Plus);
        QCOMPARE(view->SamplesPerPixel(), whole / 4);
        QTest::keyClick(view, Qt::Key_Minus);
        QCOMPARE(view->SamplesPerPixel(), whole / 2);

        // The boxes' time, typed, moves the time here; by the frame rule a click gives whole
        // seconds.
        Type("txtSplitSecond", u"1.5"_s);
        QCOMPARE(view->Time(), 66150);
        QTRY_VERIFY(Find<QLabel>(shown, "lblPosition")
                        ->text()
                        .contains(u"The exact mode cuts at 0:01.500"_s));
        window_->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), window_.data());
        QTest::keyClick(window_, Qt::Key_F, Qt::AltModifier);
        QTRY_VERIFY(window_->findChild<QMenu*>(u"mnuFile"_s)->isVisible());
        QTest::keyClick(window_->findChild<QMenu*>(u"mnuFile"_s), Qt::Key_X);
        QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(view->width() - 2, view->height() / 2));
        QCOMPARE(boxes(), u"0:"_s + QString::number(std::llround(view->Time() / 44100.0)));

        // A long source decodes while both windows take keys.
        Analyse(Song(u"long.mp3"_s, 50000));
        QTRY_VERIFY(shown.isNull());
        open();
        QVERIFY(shown);
        view = shown->findChild<WaveView*>(u"picWave"_s);
        int ticksWhileDecoding = 0;
        QTimer ticks;
        QObject::connect(&ticks, &QTimer::timeout, [&] { ticksWhileDecoding += !view->Decoded(); });
        ticks.start(10);
        QTest::keyClick(view, Qt::Key_Plus);
        Type("txtSplitMinute", u"7"_s);
        QTRY_VERIFY_WITH_TIMEOUT(view->Decoded(), 120000);
        QVERIFY2(ticksWhileDecoding >= 3, qPrintable(QString::number(ticksWhileDecoding)));
        QCOMPARE(view->Time(), (7 * 60 + Find("txtSplitSecond")->text().toInt()) * 44100);

        // Its frames are silent: one silence, the whole source. Snap takes the time to its
        // middle, and there is no silence before that; Space plays across the cut and stops.
        auto* snap = Find<QAction>(shown, "mnuSnap");
        QTRY_VERIFY_WITH_TIMEOUT(snap->isEnabled(), 120000);
        shown->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), shown.data());
        QTest::keyClick(view, Qt::Key_J, Qt::ControlModifier);
        QCOMPARE(view->Time(), view->Samples() / 2);
        QCOMPARE(boxes(), u"10:53"_s);
        QTest::keyClick(view, Qt::Key_Left, Qt::ControlModifier);
        QCOMPARE(view->Time(), view->Samples() / 2);
        shown->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), shown.data());
        auto* player = shown->findChild<CutPlayer*>();
        QTest::keyClick(view, Qt::Key_Space);
        QVERIFY(player->Active());
        QTest::keyClick(view, Qt::Key_Space);
        QTRY_VERIFY_WITH_TIMEOUT(!player->Active(), 30000);

        // A window to a screen reader, its view named; F1 opens the help here too, and Esc
        // closes the window.
        QCOMPARE(QAccessible::queryAccessibleInterface(shown)->role(), QAccessible::Window);
        QCOMPARE(QAccessible::queryAccessibleInterface(view)->text(QAccessible::Name),
                 u"Waveform"_s);
        QTest::keyClick(view, Qt::Key_F1);
        QPointer<QTextBrowser> help = VisibleHelp();
        QVERIFY(help);
        help->close();
        shown->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), shown.data());
        QTest::keyClick(view, Qt::Key_Escape);
        QTRY_VERIFY(shown.isNull());
    }

    // The run's last act scrolls the log; refusals before the time check do not.
    void waveformMarksTheCutTheSplitMakes_data() {
        QTest::addColumn<QString>("second");  // after minute 1
        QTest::addColumn<bool>("exact");
        QTest::newRow("1:.5, 1:00 by the frame rule") << u".5"_s << false;
        QTest::newRow("1:30.5 exactly") << u"30.5"_s << true;
        QTest::newRow("1:07.125 exactly") << u"7.125"_s << true;
    }

    // The waveform marks the cut at the boxes' time where the split then makes it: the log
    // names that frame or that time and sample, and the first part plays up to it, to the
    // frame by the frame rule and to the sample in the exact mode.
    void waveformMarksTheCutTheSplitMakes() {
        QFETCH(QString, second);
        QFETCH(bool, exact);
        const QString source = Temp(u"tone.mp3"_s);
        // lame writes its Info frame, with the delay and padding, only into a file it can
        // go back in.
        const QString wave = Temp(u"tone.wav"_s);
        QCOMPARE(QProcess::execute(u"sox"_s, {u"-n"_s, u"-r"_s, u"44100"_s, u"-c"_s, u"1"_s, wave,
                                              u"synth"_s, u"92"_s, u"sine"_s, u"300-3000"_s}),
                 0);
        QCOMPARE(QProcess::execute(u"lame"_s, {u"--quiet"_s, u"-b"_s, u"128"_s, u"--resample"_s,
                                               u"44.1"_s, wave, source}),
                 0);
        Find<QAction>("mnuSplitExactly")->setChecked(exact);
        PrepareSplit(source, u"1"_s, second);
        QPointer<frmEditor> shown = OpenWaveform();
        QVERIFY(shown);
        auto* position = Find<QLabel>(shown, "lblPosition");
        const QRegularExpression marked(exact ? u"exact mode cuts at (\\d+):(\\d\\d)\\D(\\d{3})"_s
                                              : u"frame rule cuts at (\\d+):(\\d\\d)\\D(\\d{3})"_s);
        QTRY_VERIFY2_WITH_TIMEOUT(position->text().contains(marked), qPrintable(position->text()),
                                  60000);
        const auto ms = [](const QRegularExpressionMatch& m) {
            return (m.captured(1).toLongLong() * 60 + m.captured(2).toLongLong()) * 1000 +
                   m.captured(3).toLongLong();
        };
        const std::int64_t marker = ms(marked.match(position->text()));
        if (!exact) {
            QVERIFY2(position->text().contains(QRegularExpression(u"^Time 1:00\\D000\\."_s)),
                     qPrintable(position->text()));
        }
        shown->close();
        ClickSplit();
        QVERIFY2(Log().endsWith(u"MP3 splitting completed."_s), qPrintable(Log()));
        const std::int64_t played = GaplessSamples(Temp(u"tone1.mp3"_s));
        if (exact) {
            const std::int64_t asked = 60000 + std::llround(second.toDouble() * 1000);
            const auto told =
                QRegularExpression(
                    u"Cutting exactly at (\\d+):(\\d\\d)\\D(\\d{3}) \\(sample ([\\d.,]+)\\)"_s)
                    .match(Log());
            QVERIFY2(told.hasMatch(), qPrintable(Log()));
            QCOMPARE(ms(told), asked);
            QCOMPARE(marker, asked);
            const std::int64_t sample =
                told.captured(4).remove(QRegularExpression(u"\\D"_s)).toLongLong();
            QCOMPARE(sample, (asked * 44100 + 500) / 1000);
            QCOMPARE(played, sample);
        } else {
            // 1:00, not 1:01: the half goes to the even second. The frame rule times the
            // frames from the Info frame on, and the played samples start after lame's and
            // the decoder's delays: the cut plays up to two frames early.
            QVERIFY2(std::abs(marker - 60000) <= 2 * 27, qPrintable(QString::number(marker)));
            const auto told = QRegularExpression(u"\\(frame (\\d+)\\)"_s).match(Log());
            QVERIFY2(told.hasMatch(), qPrintable(Log()));
            // The frame's start in the played samples: past the Info frame, less lame's and
            // the decoder's delays, which together are less than a frame.
            const std::int64_t frameStart = (told.captured(1).toLongLong() - 1) * 1152;
            const std::int64_t markerSample = marker * 44100 / 1000;
            QVERIFY2(frameStart - markerSample >= -44 && frameStart - markerSample <= 1152 + 44,
                     qPrintable(Log()));
            QVERIFY2(std::abs(played - markerSample) <= 1152, qPrintable(QString::number(played)));
        }
    }

    // The editor: a click sets the cursor, a drag or a shift+click from the cursor selects;
    // Ctrl+M adds a cut at the cursor, Delete removes the selected one, and Ctrl+Z and
    // Ctrl+Shift+Z undo and redo each edit, a title's too. The waveform's markers follow the
    // list, and a row chosen there takes the cursor to its part's start. The zoom keys zoom
    // about the cursor, to the selection and out to the whole file. Split writes the list's
    // parts, each cut where the cursor was.
    void editorEditsTheCutList() {
        const QString source = Temp(u"tone.mp3"_s);
        const QString wave = Temp(u"tone.wav"_s);
        QCOMPARE(QProcess::execute(u"sox"_s, {u"-n"_s, u"-r"_s, u"44100"_s, u"-c"_s, u"1"_s, wave,
                                              u"synth"_s, u"12"_s, u"sine"_s, u"300-3000"_s}),
                 0);
        QCOMPARE(QProcess::execute(u"lame"_s, {u"--quiet"_s, u"-b"_s, u"128"_s, wave, source}), 0);
        Find<QAction>("mnuSplitExactly")->setChecked(true);
        Analyse(source);
        Type("txtToFolder", temp_->path());
        QPointer<frmEditor> editor = OpenWaveform();
        QVERIFY(editor);
        // Both menu entries open the one editor, which follows the main window's rule.
        QCOMPARE(OpenSplitParts(), editor.data());
        auto* rule = Find<QLineEdit>(editor, "txtRule");
        QCOMPARE(rule->text(), u"Exactly at each start"_s);
        Find<QAction>("mnuSplitExactly")->setChecked(false);
        QCOMPARE(rule->text(), u"At the first safe frame from each start"_s);
        Find<QAction>("mnuSplitExactly")->setChecked(true);
        editor->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), editor.data());
        auto* view = Find<WaveView>(editor, "picWave");
        auto* table = Find<QTableWidget>(editor, "grdParts");
        const double whole = view->SamplesPerPixel();
        const auto at = [&](double share) {
            return QPoint(int(view->width() * share), view->height() / 2);
        };
        const auto sampleAt = [&](double share) { return std::llround(at(share).x() * whole); };
        const auto near = [&](std::int64_t sample, std::int64_t expected) {
            return std::abs(sample - expected) <= std::llround(whole);
        };

        QTest::mousePress(view, Qt::LeftButton, {}, at(0.2));
        QTest::mouseMove(view, at(0.3));
        QTest::mouseMove(view, at(0.4));
        QTest::mouseRelease(view, Qt::LeftButton, {}, at(0.4));
        QVERIFY(near(view->Time(), sampleAt(0.2)));
        QVERIFY(near(view->Selection().From, sampleAt(0.2)));
        QVERIFY(near(view->Selection().End, sampleAt(0.4)));
        // A shift+click selects from the cursor, on either side of it.
        QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, at(0.1));
        QVERIFY(near(view->Selection().From, sampleAt(0.1)));
        QVERIFY(near(view->Selection().End, sampleAt(0.2)));
        QVERIFY(near(view->Time(), sampleAt(0.2)));
        QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, at(0.6));
        const quorvel::ui::SampleSpan selected = view->Selection();
        QVERIFY(near(selected.From, sampleAt(0.2)) && near(selected.End, sampleAt(0.6)));

        QTest::keyClick(view, Qt::Key_E, Qt::ControlModifier);
        QVERIFY(view->First() <= double(selected.From) && view->VisibleEnd() >= selected.End);
        QVERIFY(view->SamplesPerPixel() < whole / 2);
        const double zoomed = view->SamplesPerPixel();
        QTest::keyClick(view, Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(view->SamplesPerPixel(), zoomed / 2);
        QTest::keyClick(view, Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(view->SamplesPerPixel(), zoomed);
        QTest::keyClick(view, Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(view->SamplesPerPixel(), whole);
        QCOMPARE(view->First(), 0.0);

        // Cuts at the cursor, in the list's order whatever order they came in.
        const auto starts = [&] {
            QStringList texts;
            for (int row = 0; row < table->rowCount(); ++row) texts << table->item(row, 0)->text();
            return texts.join(' ');
        };
        const auto inStep = [&] {
            // A marker a cut, at its start, the selected row's marked as such.
            if (view->PartCuts().size() != std::size_t(table->rowCount() - 1)) return false;
            for (int row = 1; row < table->rowCount(); ++row) {
                const QStringList clock = table->item(row, 0)->text().split(u':');
                const std::int64_t ms =
                    std::llround((clock[0].toInt() * 60 + clock[1].toDouble()) * 1000);
                if (std::abs(view->PartCuts()[std::size_t(row - 1)] - ms * 441 / 10) > 1)
                    return false;
            }
            return view->CurrentCut() == table->currentRow() - 1;
        };
        QTest::mouseClick(view, Qt::LeftButton, {}, at(0.5));
        const std::int64_t half = view->Time();
        QTest::keyClick(view, Qt::Key_M, Qt::ControlModifier);
        QTest::mouseClick(view, Qt::LeftButton, {}, at(0.25));
        QTest::keyClick(view, Qt::Key_M, Qt::ControlModifier);
        QCOMPARE(table->rowCount(), 3);
        QCOMPARE(table->currentRow(), 1);
        QVERIFY(inStep());
        const QString two = starts();
        // The same cut once more is refused, and changes nothing.
        QTest::keyClick(view, Qt::Key_M, Qt::ControlModifier);
        QVERIFY2(fake_.messages.last().startsWith(u"There is a cut at 0:0"_s),
                 qPrintable(fake_.messages.last()));
        QCOMPARE(starts(), two);

        // A title typed into the list, then undone and redone with the cuts.
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                          table->visualItemRect(table->item(2, 2)).center());
        QTest::keyClick(table, Qt::Key_F2);
        QLineEdit* typing = nullptr;
        QTRY_VERIFY((typing = table->viewport()->findChild<QLineEdit*>()) && typing->isVisible());
        QTest::keyClicks(typing, u"Second"_s);
        QTest::keyClick(typing, Qt::Key_Return);
        QTRY_COMPARE(table->item(2, 2)->text(), u"Second"_s);
        // The row chosen took the cursor to its start.
        QCOMPARE(table->currentRow(), 2);
        QVERIFY(std::abs(view->Time() - half) <= 44);
        QVERIFY(inStep());
        QTest::keyClick(table, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(table->item(2, 2)->text(), QString());
        QTest::keyClick(table, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(table->rowCount(), 2);
        QVERIFY(inStep());
        QTest::keyClick(table, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(starts(), two);
        QTest::keyClick(table, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(table->item(2, 2)->text(), u"Second"_s);
        QVERIFY(inStep());
        // Delete removes the selected cut: the part before takes its time.
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                          table->visualItemRect(table->item(1, 0)).center());
        QTest::keyClick(table, Qt::Key_Delete);
        QCOMPARE(table->rowCount(), 2);
        QCOMPARE(table->item(1, 2)->text(), u"Second"_s);
        QVERIFY(inStep());

        // The split cuts where the cursor was, to the sample, and writes the title.
        PressAccessKey(editor, Qt::Key_S, "cmdSplit");
        QTRY_VERIFY_WITH_TIMEOUT(!editor->Working(), 60000);
        QVERIFY2(Log().endsWith(u"MP3 splitting completed."_s), qPrintable(Log()));
        const QString first = Temp(u"tone1.mp3"_s);
        const auto cut =
            QRegularExpression(u"Cutting exactly at .* \\(sample ([\\d.,]+)\\)"_s).match(Log());
        QVERIFY2(cut.hasMatch(), qPrintable(Log()));
        const std::int64_t sample =
            cut.captured(1).remove(QRegularExpression(u"\\D"_s)).toLongLong();
        QVERIFY(std::abs(sample - half) <= 44);
        QCOMPARE(GaplessSamples(first), sample);
        QCOMPARE(GaplessSamples(first) + GaplessSamples(Temp(u"tone2.mp3"_s)), 12 * 44100);
    }

    void editorEditsThenSavesAs_data() {
        QTest::addColumn<QString>("entry");  // the Edit menu entry's object name
        QTest::addColumn<int>("key");        // with Ctrl
        QTest::addColumn<bool>("select");
        QTest::addColumn<int>("spans");  // the stretches it removes
        QTest::newRow("cut out") << u"mnuCutOut"_s << int(Qt::Key_X) << true << 1;
        QTest::newRow("keep only") << u"mnuKeepOnly"_s << int(Qt::Key_K) << true << 2;
        QTest::newRow("trim silence") << u"mnuTrim"_s << int(Qt::Key_T) << false << 2;
    }

    // Cut Out, Keep Only and Trim Silence remove the selection, what lies around it or the
    // silent ends as a step undone and redone by its keys, writing nothing; Save As asks for
    // a new file, proposed in the destination, and writes the source without what is
    // removed, as long as the user chose (to the sample where only the ends go), leaving the
    // source as it was. The source itself is refused as the output, an output already there
    // is kept unless the user agrees to replace it, and closing with edits not saved asks.
    void editorEditsThenSavesAs() {
        QFETCH(QString, entry);
        QFETCH(int, key);
        QFETCH(bool, select);
        QFETCH(int, spans);
        // Two seconds of silence on either side of eight of sound.
        const QString source = Temp(u"tone.mp3"_s);
        const QString wave = Temp(u"tone.wav"_s);
        QCOMPARE(QProcess::execute(u"sox"_s,
                                   {u"-n"_s, u"-r"_s, u"44100"_s, u"-c"_s, u"1"_s, wave, u"synth"_s,
                                    u"8"_s, u"sine"_s, u"300-3000"_s, u"pad"_s, u"2"_s, u"2"_s}),
                 0);
        QCOMPARE(QProcess::execute(u"lame"_s, {u"--quiet"_s, u"-b"_s, u"128"_s, wave, source}), 0);
        const QByteArray before = ReadAll(source);
        QPointer<frmEditor> editor = ActiveEditorOn(source);
        QVERIFY(editor);
        auto* view = Find<WaveView>(editor, "picWave");
        auto* action = Find<QAction>(editor, entry.toLatin1().constData());
        auto* saveAs = Find<QAction>(editor, "mnuSaveAs");
        QCOMPARE(action->isEnabled(), !select);
        QVERIFY(!saveAs->isEnabled());
        if (select) {
            const auto at = [&](double share) {
                return QPoint(int(view->width() * share), view->height() / 2);
            };
            QTest::mousePress(view, Qt::LeftButton, {}, at(0.3));
            QTest::mouseMove(view, at(0.5));
            QTest::mouseMove(view, at(0.7));
            QTest::mouseRelease(view, Qt::LeftButton, {}, at(0.7));
            QVERIFY(action->isEnabled());
        }
        const std::int64_t played = GaplessSamples(source);
        const std::int64_t selected = view->Selection().End - view->Selection().From;
        QTest::keyClick(view, Qt::Key(key), Qt::ControlModifier);
        QTRY_COMPARE(int(view->Removed().size()), spans);
        QTRY_VERIFY(!editor->Working());
        QVERIFY(fake_.saveRequests.isEmpty());
        QCOMPARE(QDir(temp_->path()).entryList({u"*.mp3"_s}), QStringList{u"tone.mp3"_s});
        QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(view->Removed().empty());
        QVERIFY(!saveAs->isEnabled());
        QTest::keyClick(view, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(int(view->Removed().size()), spans);
        QVERIFY(saveAs->isEnabled());

        const QString output = Temp(u"tone (edited).mp3"_s);
        fake_.savedFile = output;
        const auto save = [&] {
            QTest::keyClick(view, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
            QTRY_VERIFY_WITH_TIMEOUT(!editor->Working(), 60000);
            QTRY_VERIFY(saveAs->isEnabled());
        };
        save();
        QCOMPARE(fake_.saveRequests.last(), u"Save As|"_s + output);
        auto* result = Find<QLabel>(editor, "lblResult");
        QCOMPARE(result->text(), u"Completed: "_s + output + u" written."_s);
        QVERIFY2(Log().endsWith(u"MP3 cutting completed."_s), qPrintable(Log()));
        const std::int64_t written = GaplessSamples(output);
        if (entry == u"mnuKeepOnly"_s) {
            QCOMPARE(written, selected);
        } else {
            const std::int64_t expected = entry == u"mnuCutOut"_s ? played - selected
                                                                  // a quarter second kept
                                                                  : (8 * 4 + 2) * 44100 / 4;
            QVERIFY2(std::abs(written - expected) <= 1152,
                     qPrintable(u"%1 samples, %2 expected"_s.arg(written).arg(expected)));
        }
        QVERIFY(ReadAll(source) == before);

        // An output there already: kept where the user does not agree.
        const QByteArray made = ReadAll(output);
        save();
        QVERIFY2(fake_.questions.last().contains(u"already exists"_s),
                 qPrintable(fake_.questions.last()));
        QVERIFY2(result->text().startsWith(u"Refused: Nothing was changed"_s),
                 qPrintable(result->text()));
        QVERIFY(ReadAll(output) == made);
        // The source as its own output.
        fake_.savedFile = source;
        save();
        QVERIFY2(fake_.messages.last().contains(u"is the input file"_s),
                 qPrintable(fake_.messages.last()));
        QVERIFY(ReadAll(source) == before);
        // Saved once, the window closes without a word; undone since, it asks first.
        const int asked = int(fake_.questions.size());
        QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(view, Qt::Key_Escape);
        QCOMPARE(int(fake_.questions.size()), asked + 1);
        QVERIFY2(fake_.questions.last().contains(u"not saved"_s),
                 qPrintable(fake_.questions.last()));
        QVERIFY(editor);
        // So do the main window's closing and its analysing another file, which the answer no
        // leaves as they were.
        window_->close();
        QCOMPARE(int(fake_.questions.size()), asked + 2);
        QVERIFY(window_->isVisible() && editor);
        Type("txtMP3", Temp(u"other.mp3"_s));
        QTest::keyClick(Find<QLineEdit>(window_, "txtMP3"), Qt::Key_Return);
        QCOMPARE(int(fake_.questions.size()), asked + 3);
        QVERIFY(!window_->Working() && editor);
        Type("txtMP3", source);
        QTest::keyClick(view, Qt::Key_Y, Qt::ControlModifier);
        QTest::keyClick(view, Qt::Key_Escape);
        QTRY_VERIFY(!editor);
        QCOMPARE(int(fake_.questions.size()), asked + 3);
    }

    // The selection measured, then made two steps louder by its key, which Save As writes:
    // within it the file decodes to the source's samples times 2^(1/2), within a step of
    // rounding, and outside it to the source's very samples, a granule or two at its ends
    // aside.
    void editorChangesTheLevelOfTheSelection() {
        const QString source = Temp(u"quiet.mp3"_s);
        const QString wave = Temp(u"quiet.wav"_s);
        QCOMPARE(QProcess::execute(u"sox"_s,
                                   {u"-n"_s, u"-r"_s, u"44100"_s, u"-c"_s, u"2"_s, wave, u"synth"_s,
                                    u"6"_s, u"sine"_s, u"300-900"_s, u"gain"_s, u"-12"_s}),
                 0);
        QCOMPARE(QProcess::execute(u"lame"_s, {u"--quiet"_s, u"-b"_s, u"192"_s, wave, source}), 0);
        QPointer<frmEditor> editor = ActiveEditorOn(source);
        QVERIFY(editor);
        auto* view = Find<WaveView>(editor, "picWave");
        const auto at = [&](double share) {
            return QPoint(int(view->width() * share), view->height() / 2);
        };
        QTest::mousePress(view, Qt::LeftButton, {}, at(0.3));
        QTest::mouseMove(view, at(0.7));
        QTest::mouseRelease(view, Qt::LeftButton, {}, at(0.7));
        const auto selected = view->Selection();
        // Measured first: a tone 12 dB below full scale plays some 13 LUFS below it.
        QTest::keyClick(view, Qt::Key_L, Qt::ControlModifier);
        auto* result = Find<QLabel>(editor, "lblResult");
        QTRY_VERIFY_WITH_TIMEOUT(result->text().startsWith(u"integrated: "_s), 60000);
        const double lufs = result->text().section(u' ', 1, 1).toDouble();
        QVERIFY2(lufs > -25 && lufs < -5, qPrintable(result->text()));
        QTRY_VERIFY(!editor->Working());
        QTest::keyClick(view, Qt::Key_Up, Qt::ControlModifier);
        QTest::keyClick(view, Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(int(view->LevelEdits().size()), 1);
        QCOMPARE(view->LevelEdits().front().Steps, 2);
        // Measured again, the selection plays 3 dB louder.
        QTest::keyClick(view, Qt::Key_L, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(result->text().startsWith(u"integrated: "_s), 60000);
        QTRY_VERIFY(!editor->Working());
        const double louder = result->text().section(u' ', 1, 1).toDouble();
        QVERIFY2(std::abs(louder - lufs - 3) < 0.2, qPrintable(result->text()));
        const QString output = Temp(u"louder.mp3"_s);
        fake_.savedFile = output;
        QTRY_VERIFY(Find<QAction>(editor, "mnuSaveAs")->isEnabled());
        QTest::keyClick(view, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_VERIFY_WITH_TIMEOUT(!editor->Working(), 60000);
        QVERIFY2(Log().endsWith(u"MP3 cutting completed."_s), qPrintable(Log()));
        const auto decode = [](const QString& path) {
            QProcess ffmpeg;
            ffmpeg.start(u"ffmpeg"_s,
                         {u"-v"_s, u"error"_s, u"-i"_s, path, u"-f"_s, u"s16le"_s, u"-"_s});
            ffmpeg.waitForFinished(60000);
            const QByteArray bytes = ffmpeg.readAllStandardOutput();
            std::vector<qint16> samples(std::size_t(bytes.size()) / 2);
            std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
            return samples;
        };
        const auto before = decode(source), after = decode(output);
        QCOMPARE(after.size(), before.size());
        // Two granules of room at either end of the selection, in samples of two channels.
        const std::int64_t room = 2 * 576;
        int inside = 0, outside = 0;
        for (std::size_t i = 0; i < before.size(); ++i) {
            const std::int64_t frame = std::int64_t(i / 2);
            if (frame > selected.From + room && frame < selected.End - room) {
                inside = std::max(
                    inside, std::abs(int(std::lround(before[i] * std::sqrt(2.0))) - after[i]));
            } else if (frame < selected.From - room || frame > selected.End + room) {
                outside = std::max(outside, std::abs(before[i] - after[i]));
            }
        }
        QVERIFY2(inside <= 2, qPrintable(QString::number(inside)));
        QCOMPARE(outside, 0);
        editor->close();
    }

    // File > Join Files: two files added, the second moved before the first by its key, are
    // joined in that order into the output, which plays both and the gap their encoders left
    // between them, sample for sample.
    void joinFilesInOrder() {
        const auto encode = [&](const QString& name, const QString& seconds) {
            const QString wave = Temp(name + u".wav"_s), mp3 = Temp(name + u".mp3"_s);
            if (QProcess::execute(u"sox"_s, {u"-n"_s, u"-r"_s, u"44100"_s, u"-c"_s, u"1"_s, wave,
                                             u"synth"_s, seconds, u"sine"_s, u"440"_s}) != 0 ||
                QProcess::execute(u"lame"_s, {u"--quiet"_s, u"-b"_s, u"128"_s, wave, mp3}) != 0) {
                qFatal("cannot encode %s", qPrintable(mp3));
            }
            return mp3;
        };
        const QString first = encode(u"first"_s, u"2"_s), second = encode(u"second"_s, u"3"_s);
        QTest::keyClick(window_, Qt::Key_F, Qt::AltModifier);
        auto* menu = window_->findChild<QMenu*>(u"mnuFile"_s);
        QTRY_VERIFY(menu->isVisible());
        QTest::keyClick(menu, Qt::Key_J);
        QPointer<frmJoinFiles> joiner;
        QTRY_VERIFY((joiner = window_->findChild<frmJoinFiles*>()) && joiner->isVisible());
        joiner->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), joiner.data());
        auto* join = Find<QPushButton>(joiner, "cmdJoin");
        auto* list = Find<QListWidget>(joiner, "lstFiles");
        for (const QString& path : {first, second}) {
            QVERIFY(!join->isEnabled());
            fake_.chosenFile = path;
            PressAccessKey(joiner, Qt::Key_A, "cmdAdd");
        }
        QVERIFY(join->isEnabled());
        // The output is proposed beside the first file added.
        QCOMPARE(Find<QLineEdit>(joiner, "txtOutput")->text(), Temp(u"first (joined).mp3"_s));
        PressAccessKey(joiner, Qt::Key_U, "cmdUp");
        QCOMPARE(list->item(0)->text(), second);
        QCOMPARE(list->item(1)->text(), first);
        QVERIFY(!Find<QPushButton>(joiner, "cmdUp")->isEnabled());
        const QString output = Temp(u"joined.mp3"_s);
        TypeInto(Find<QLineEdit>(joiner, "txtOutput"), output);
        PressAccessKey(joiner, Qt::Key_J, "cmdJoin");
        QTRY_VERIFY_WITH_TIMEOUT(!joiner->Working(), 60000);
        const QString log = Find<QPlainTextEdit>(joiner, "txtLog")->toPlainText();
        QVERIFY2(log.endsWith(u"MP3 joining completed."_s), qPrintable(log));
        QCOMPARE(Find<QLabel>(joiner, "lblResult")->text(),
                 u"Completed: "_s + output + u" written."_s);
        const auto gap = QRegularExpression(
                             u"Between (.+) and (.+) the gap their encoders left plays: "
                             u"([\\d.,]+) samples"_s)
                             .match(log);
        QVERIFY2(gap.hasMatch(), qPrintable(log));
        QCOMPARE(gap.captured(1), second);
        QCOMPARE(gap.captured(2), first);
        const std::int64_t gapSamples =
            gap.captured(3).remove(QRegularExpression(u"\\D"_s)).toLongLong();
        QCOMPARE(GaplessSamples(output),
                 GaplessSamples(first) + GaplessSamples(second) + gapSamples);
        joiner->close();
        QTRY_VERIFY(joiner.isNull());
    }

    void logScrolledAtRunEnd() {
        // A long destination wraps the log's lines past what the box shows.
        const QString folder = Temp(QString(200, u'f') + u'/' + QString(200, u'g'));
        QVERIFY(QDir().mkpath(folder));
        const QString source = Song(u"song.mp3"_s);
        PrepareSplit(source, u"0"_s, u"2"_s);
        Type("txtToFolder", folder);
        QScrollBar* bar = Find<QPlainTextEdit>("txtSystemMessage")->verticalScrollBar();
        QCOMPARE(bar->value(), 0);
        ClickSplit();
        QVERIFY2(Log().endsWith(u"MP3 splitting completed."_s), qPrintable(Log()));
        QVERIFY(bar->maximum() > 10);
        QCOMPARE(bar->value(), bar->maximum());

        bar->setValue(0);
        Find("txtSplitSecond")->setText(u"00"_s);
        ClickSplit();
        QCOMPARE(fake_.messages.size(), 1);
        QCOMPARE(bar->value(), bar->maximum());

        bar->setValue(0);
        Find("txtToFolder")->setText(QString());
        ClickSplit();
        QCOMPARE(fake_.messages.size(), 2);
        QCOMPARE(bar->value(), 0);
    }

    void timeChecks_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("exact");
        // What each text means is SplitTime's to say (SplitTimeTest); here, that each box
        // asks it under the mode the menu sets, with one text of each outcome.
        QTest::addRow("exact second 30.250") << "txtSplitSecond"
                                             << "30.250" << QString() << true;
        QTest::addRow("exact second 60")
            << "txtSplitSecond"
            << "60" << u"Valid second value range is 0 to 59.999"_s << true;
        QTest::addRow("second 05") << "txtSplitSecond"
                                   << "05" << QString() << false;
        QTest::addRow("second 7.5") << "txtSplitSecond"
                                    << "7.5" << kSecondRange << false;
        QTest::addRow("second ''") << "txtSplitSecond"
                                   << "" << kSecondNumeric << false;
        QTest::addRow("minute 2.5") << "txtSplitMinute"
                                    << "2.5" << QString() << false;
        QTest::addRow("minute 'abc'") << "txtSplitMinute"
                                      << "abc" << kMinuteNumeric << false;
    }

    // Leaving the box by Tab and by a click elsewhere; a refused text stays, selected.
    void timeChecks() {
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(QString, message);
        QFETCH(bool, exact);
        Find<QAction>("mnuSplitExactly")->setChecked(exact);
        QLineEdit* edit = Find(qPrintable(box));
        for (const bool byMouse : {false, true}) {
            Type(qPrintable(box), text);
            fake_.messages.clear();
            if (byMouse) {
                QTest::mouseClick(Find("txtToFolder"), Qt::LeftButton);
            } else {
                QTest::keyClick(edit, Qt::Key_Tab);
            }
            RunQueued();
            if (message.isEmpty()) {
                QCOMPARE(fake_.messages, QStringList());
                QVERIFY(Focus() != box);
            } else {
                QCOMPARE(fake_.messages, QStringList{message});
                QCOMPARE(Focus(), box);
                QCOMPARE(edit->text(), text);
                QCOMPARE(edit->selectedText(), text);
            }
        }
    }

    // Both time boxes hold bad values: each user action earns one message, of the box left.
    void twoBadBoxesNeverChain() {
        Find("txtSplitSecond")->setText(u"75"_s);
        Type("txtSplitMinute", u"abc"_s);
        const QString minute = kMinuteNumeric, second = kSecondRange;

        QTest::keyClick(Find("txtSplitMinute"), Qt::Key_Tab);
        RunQueued();
        QCOMPARE(fake_.messages, QStringList{minute});
        QCOMPARE(Focus(), u"txtSplitMinute"_s);

        QTest::mouseClick(Find("txtSplitSecond"), Qt::LeftButton);
        RunQueued();
        QCOMPARE(fake_.messages, QStringList({minute, minute}));
        QCOMPARE(Focus(), u"txtSplitMinute"_s);

        // From the second box back to the minute box, the other way round.
        Find("txtSplitMinute")->setText(u"1"_s);
        QTest::keyClick(Find("txtSplitMinute"), Qt::Key_Tab);
        RunQueued();
        Find("txtSplitMinute")->setText(u"abc"_s);
        QTest::keyClick(Find("txtSplitSecond"), Qt::Key_Backtab, Qt::ShiftModifier);
        RunQueued();
        QCOMPARE(fake_.messages, QStringList({minute, minute, second}));
        QCOMPARE(Focus(), u"txtSplitSecond"_s);
        QCOMPARE(Find("txtSplitSecond")->selectedText(), u"75"_s);
    }

    // A press of the split command while the second box holds 75 checks the box instead.
    void splitCommandChecksTheBoxFirst() {
        const QString source = Song(u"song.mp3"_s);
        PrepareSplit(source, u"0"_s, u"2"_s);
        auto* split = Find<QPushButton>("cmdSplit");
        const QStringList refused{kSecondRange};

        Type("txtSplitSecond", u"75"_s);
        QTest::mouseClick(split, Qt::LeftButton);
        RunQueued();
        QCOMPARE(fake_.messages, refused);
        QCOMPARE(Focus(), u"txtSplitSecond"_s);

        // The same with the check running between press and release, as for a person.
        fake_.messages.clear();
        QTest::mousePress(split, Qt::LeftButton);
        RunQueued();
        QTest::mouseRelease(split, Qt::LeftButton);
        RunQueued();
        QCOMPARE(fake_.messages, refused);
        QCOMPARE(Focus(), u"txtSplitSecond"_s);
        QCOMPARE(Log(), AnalysisLog(source));

        fake_.messages.clear();
        PressAccessKey(Qt::Key_S, "cmdSplit");
        QCOMPARE(fake_.messages, refused);
        QCOMPARE(Focus(), u"txtSplitSecond"_s);
        QCOMPARE(Log(), AnalysisLog(source));

        // With a time the box accepts, the access key runs the split.
        fake_.messages.clear();
        Type("txtSplitSecond", u"2"_s);
        PressAccessKey(Qt::Key_S, "cmdSplit");
        QCOMPARE(fake_.messages, QStringList());
        QVERIFY(Log().endsWith(u"\r\nMP3 splitting completed."_s));
    }

    // The browse commands, by click or access key, act only once the box being left
    // accepts its text.
    void browseCommandsCheckTheBoxFirst() {
        Type("txtSplitMinute", u"abc"_s);
        PressAccessKey(Qt::Key_B, "cmdBrowse");
        QTest::mouseClick(Find<QPushButton>("cmdBrowseTo"), Qt::LeftButton);
        RunQueued();
        QCOMPARE(fake_.messages, QStringList(2, kMinuteNumeric));
        QCOMPARE(fake_.openRequests, QStringList());
        QVERIFY(window_->isEnabled());
        QCOMPARE(Focus(), u"txtSplitMinute"_s);

        Type("txtSplitMinute", u"4"_s);
        PressAccessKey(Qt::Key_B, "cmdBrowse");
        QCOMPARE(fake_.openRequests.size(), 1);
        QCOMPARE(fake_.messages.size(), 2);
    }

    // Another window taking the activation, a menu or a focus event of the window's own
    // activation is no leaving of the box.
    void noCheckWithoutUserFocusChange() {
        Type("txtSplitSecond", u"75"_s);
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        RunQueued();
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_));
        RunQueued();
        QCOMPARE(Focus(), u"txtSplitSecond"_s);

        auto* menu = window_->findChild<QMenu*>(u"mnuFile"_s);
        menu->popup(window_->mapToGlobal(QPoint(10, 10)));
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        QTest::keyClick(menu, Qt::Key_Escape);
        RunQueued();

        for (const auto reason : {Qt::ActiveWindowFocusReason, Qt::MenuBarFocusReason}) {
            QFocusEvent out(QEvent::FocusOut, reason);
            QCoreApplication::sendEvent(Find("txtSplitSecond"), &out);
        }
        RunQueued();
        QCOMPARE(fake_.messages, QStringList());

        QTest::keyClick(Find("txtSplitSecond"), Qt::Key_Tab);
        RunQueued();
        QCOMPARE(fake_.messages, QStringList{kSecondRange});
    }

    // The boxes as a person sees them: real, modal, taking the activation while they show.
    void realMessageBoxes() {
        quorvel::platform::Dialogs::Install(nullptr);
        BoxClicker clicker;
        const QString minute = kMinuteNumeric, second = kSecondRange;
        Type("txtSplitMinute", u"abc"_s);
        Find("txtSplitSecond")->setText(u"75"_s);

        QTest::keyClick(Find("txtSplitMinute"), Qt::Key_Tab);
        QTRY_COMPARE(clicker.texts, QStringList{minute});
        // The window is active again once the box has gone.
        QTRY_COMPARE(Focus(), u"txtSplitMinute"_s);
        QCOMPARE(Find("txtSplitMinute")->selectedText(), u"abc"_s);

        Type("txtSplitMinute", u"1"_s);
        QTest::keyClick(Find("txtSplitMinute"), Qt::Key_Tab);
        RunQueued();
        ClickSplit();
        QCOMPARE(clicker.texts, QStringList({minute, second}));
        QTRY_COMPARE(Focus(), u"txtSplitSecond"_s);
        QCOMPARE(Find("txtSplitSecond")->selectedText(), u"75"_s);
        QCOMPARE(Log(), QString());
        QVERIFY(clicker.plain);
    }

    // A screen reader tells every box, button and list apart, in the window and in the
    // folder browser: a box beside a label by the label's text.
    void accessibleNames() {
        const auto said = [](QWidget* widget) {
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
            return accessible ? accessible->text(QAccessible::Name) : QString();
        };
        const std::pair<const char*, QString> names[] = {
            {"txtMP3", u"Source MP3 file"_s},
            {"cmdBrowse", u"Browse for the source MP3 file"_s},
            {"txtToFolder", u"Destination folder"_s},
            {"cmdBrowseTo", u"Browse for the destination folder"_s},
            {"txtSelectedFileSize", u"Size (Mb)"_s},
            {"txtSelectedType", u"File type"_s},
            {"txtSelectedBitRate", u"Bit rate (bits)"_s},
            {"txtSelectedFrames", u"No. of frames"_s},
            {"txtSelectedDuration", u"Duration (mm:ss)"_s},
            {"txtSelectedSampling", u"Sampling rate (Hz)"_s},
            {"txtSplitMinute", u"Split minute"_s},
            {"txtSplitSecond", u"Split second"_s},
            {"txtSystemMessage", u"System messages"_s},
            {"progress", u"Progress"_s},
        };
        for (const auto& [name, expected] : names) {
            QCOMPARE(said(Find<QWidget>(name)), expected);
        }
        QVERIFY(!Find<QWidget>("progress")->accessibleDescription().isEmpty());

        QTest::mouseClick(Find<QPushButton>("cmdBrowseTo"), Qt::LeftButton);
        QPointer<QWidget> browser;
        QTRY_VERIFY((browser = QApplication::activeWindow()) && browser != window_.data());
        QStringList seen;
        // A combo box's accessible name is its text on Linux: the name set is what its
        // label relation and the other desktops give.
        for (const char* name : {"drvToDrive", "dlbToFolder", "txtCurrentFolder"}) {
            seen << browser->findChild<QWidget*>(QLatin1String(name))->accessibleName();
        }
        QCOMPARE(seen, QStringList({u"Volume"_s, u"Folders"_s, u"Current folder"_s}));
        QCOMPARE(QAccessible::queryAccessibleInterface(browser)->role(), QAccessible::Dialog);
        QTest::mouseClick(browser->findChild<QPushButton*>(u"cmdCancel"_s), Qt::LeftButton);
        QTRY_VERIFY(browser.isNull() || !browser->isVisible());
    }

    // The destination, the split rule and the window's place come back with the window; a
    // settings file that cannot be read gives the defaults.
    void remembersBetweenRuns() {
        Find("txtToFolder")->setText(temp_->path());
        Find<QAction>("mnuSplitExactly")->setChecked(true);
        window_->move(40, 30);
        const QPoint place = window_->pos();
        window_->close();
        QTRY_VERIFY(window_.isNull());
        window_ = frmCopyFile::Instance();
        QCOMPARE(Find("txtToFolder")->text(), temp_->path());
        QVERIFY(Find<QAction>("mnuSplitExactly")->isChecked());
        // Where it was, frame and all, not shifted by its frame.
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_));
        QCOMPARE(window_->pos(), place);

        delete window_;
        QFile damaged(Settings());
        QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.write("[General\ndestination=\x01\xff\n=\n[[");
        damaged.close();
        window_ = frmCopyFile::Instance();
        QCOMPARE(Find("txtToFolder")->text(), QDir::currentPath());
        QVERIFY(!Find<QAction>("mnuSplitExactly")->isChecked());

        // A yes-or-no setting is true or false, 1 or 0; any other text is the default.
        delete window_;
        QVERIFY(WriteAll(Settings(), "[General]\nsplitExactly=perhaps\n"));
        window_ = frmCopyFile::Instance();
        QVERIFY(!Find<QAction>("mnuSplitExactly")->isChecked());
    }

    // F1 opens the help, Ctrl+Q closes the window, as the menu commands do.
    // Run a second time under LANG=de_DE.UTF-8, the window speaks German: its captions, its
    // numbers, its refusals and the engine's log, placeholders filled in.
    void speaksTheUsersLanguage() {
        if (QLocale().language() != QLocale::German) QSKIP("for the run under LANG=de_DE.UTF-8");
        QCOMPARE(window_->windowTitle(), u"Quorvel V1.01  vom Quorvel-Projekt"_s);
        QCOMPARE(Find<QGroupBox>("fraFileInfo")->title(), u"Dateiinformationen"_s);
        QCOMPARE(Find<QPushButton>("cmdSplit")->text(), u"Datei &teilen !"_s);
        QCOMPARE(window_->menuBar()->actions().constFirst()->text(), u"&Datei"_s);
        const QString song = Song(u"lied.mp3"_s, 100);
        Analyse(song);
        QCOMPARE(Log(), "Die gewählte Datei " + song +
                            u" wird analysiert... Bitte warten Sie einige Sekunden.\r\n"
                            u"Dateiinformationen aktualisiert."_s);
        QCOMPARE(Fields(), u"0,04|MPEG1 Layer 3|128000|44100|100|0:2"_s);
        Type("txtSplitMinute", u"x"_s);
        QTest::mouseClick(Find("txtMP3"), Qt::LeftButton);
        RunQueued();
        QCOMPARE(fake_.messages, QStringList{u"Der Minutenwert muss eine Zahl sein"_s});
    }

    void exitAndHelp() {
        QTest::keyClick(window_, Qt::Key_F1);
        QPointer<QTextBrowser> help = VisibleHelp();
        QVERIFY(help);
        QVERIFY(help->document()->toPlainText().contains("Quorvel"));
        // Esc closes the help; How To opens it again.
        QTest::keyClick(help, Qt::Key_Escape);
        QTRY_VERIFY(help.isNull() || !help->isVisible());
        Find<QAction>("mnuHowTo")->trigger();
        const QPointer<QTextBrowser> viewer = VisibleHelp();
        QVERIFY(viewer);

        // Exit while a time box holds a refused value: the window goes without a word.
        Type("txtSplitMinute", u"7"_s);
        Find("txtSplitSecond")->setText(u"75"_s);
        QTest::mouseClick(Find("txtSplitSecond"), Qt::LeftButton);
        window_->activateWindow();
        QTRY_VERIFY(window_->isActiveWindow());
        QTest::keyClick(window_, Qt::Key_Q, Qt::ControlModifier);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(window_.isNull());
        QVERIFY(viewer.isNull() || !viewer->isVisible());  // the help goes with the window
        QCOMPARE(fake_.messages, QStringList());

        window_ = frmCopyFile::Instance();
        QCOMPARE(Find("txtSplitMinute")->text(), u"3"_s);
    }

  private:
    QString Settings() const { return home_.path() + u"/.config/Quorvel/Quorvel.conf"_s; }
    static QTextBrowser* VisibleHelp() {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* help = qobject_cast<QTextBrowser*>(window);
            if (help && help->isVisible()) return help;
        }
        return nullptr;
    }
    template <typename T = QLineEdit>
    T* Find(const char* name) const {
        T* control = window_->findChild<T*>(QLatin1String(name));
        Q_ASSERT(control);
        return control;
    }
    // Opens File > Split into Several Parts by its access keys; the window, once open.
    frmEditor* OpenSplitParts() {
        // As the window manager does once a window over it has closed.
        window_->activateWindow();
        if (!QTest::qWaitForWindowActive(window_)) return nullptr;
        QTest::keyClick(window_, Qt::Key_F, Qt::AltModifier);
        auto* menu = window_->findChild<QMenu*>(u"mnuFile"_s);
        if (!QTest::qWaitFor([&] { return menu->isVisible(); })) return nullptr;
        QTest::keyClick(menu, Qt::Key_P);
        const auto open = [this] { return window_->findChild<frmEditor*>(); };
        return QTest::qWaitFor([&] { return open() != nullptr; }) ? open() : nullptr;
    }
    template <typename T>
    static T* Find(QWidget* window, const char* name) {
        T* control = window->findChild<T*>(QLatin1String(name));
        Q_ASSERT(control);
        return control;
    }
    // The parts' rows, each its cells but the empty ones.
    static QString Table(frmEditor* parts) {
        auto* table = Find<QTableWidget>(parts, "grdParts");
        QStringList rows;
        for (int row = 0; row < table->rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < table->columnCount(); ++column) {
                if (!table->item(row, column)->text().isEmpty()) {
                    cells << table->item(row, column)->text();
                }
            }
            rows << cells.join(' ');
        }
        return rows.join('|');
    }
    QString Log() const { return QString::fromStdString(window_->LogText()); }
    QString Focus() const {
        return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
    }
    QString Temp(const QString& name) const { return temp_->filePath(name); }
    // Runs the work the window queued, such as the check of a time box just left.
    static void RunQueued() { QCoreApplication::sendPostedEvents(); }
    // An access key shows its button pressed for a moment, then clicks it.
    void PressAccessKey(Qt::Key key, const char* command) {
        PressAccessKey(window_, key, command);
        WaitIdle();
    }
    static void PressAccessKey(QWidget* window, Qt::Key key, const char* command) {
        QSignalSpy clicked(Find<QPushButton>(window, command), &QPushButton::clicked);
        QTest::keyClick(window, key, Qt::AltModifier);
        QTRY_COMPARE(clicked.size(), 1);
    }
    QTemporaryDir home_;
    void ClickSplit() {
        QTest::mouseClick(Find<QPushButton>("cmdSplit"), Qt::LeftButton);
        WaitIdle();
    }
    // The samples mpg123 plays of a mono file, gaplessly.
    static std::int64_t GaplessSamples(const QString& path) {
        QProcess mpg123;
        mpg123.start(u"mpg123"_s, {u"--gapless"_s, u"-q"_s, u"-s"_s, path});
        mpg123.waitForFinished(60000);
        return mpg123.readAllStandardOutput().size() / 2;
    }
    // The editor on `source` analysed, the destination the temporary folder, once it is the
    // active window; none where it did not open or become active.
    QPointer<frmEditor> ActiveEditorOn(const QString& source) {
        Analyse(source);
        Type("txtToFolder", temp_->path());
        QPointer<frmEditor> editor = OpenWaveform();
        if (!editor) return editor;
        editor->activateWindow();
        if (!QTest::qWaitFor([&] { return QApplication::activeWindow() == editor.data(); })) {
            return nullptr;
        }
        return editor;
    }
    // Waits until the analysis or the split under way has ended.
    void WaitIdle() {
        QTRY_VERIFY_WITH_TIMEOUT(!window_->Working(), 60000);
        QCoreApplication::sendPostedEvents();
    }
    // A synthetic MP3 in the temporary folder.
    QString Song(const QString& name, int frames = 200) const {
        const QString path = Temp(name);
        if (!WriteAll(path, SyntheticMp3(frames))) qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    QString Fields() const {
        QStringList texts;
        for (const char* name :
             {"txtSelectedFileSize", "txtSelectedType", "txtSelectedBitRate", "txtSelectedSampling",
              "txtSelectedFrames", "txtSelectedDuration"}) {
            texts << Find(name)->text();
        }
        return texts.join('|');
    }

    // Clicks into the box, selects what it holds and types over it.
    void Type(const char* box, const QString& text) { TypeInto(Find(box), text); }
    static void TypeInto(QLineEdit* edit, const QString& text) {
        QTest::mouseClick(edit, Qt::LeftButton);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Backspace);
        for (const QChar letter : text) {
            // QTest maps ASCII letters to keys; any other letter goes in as key text.
            if (letter.unicode() < 0x80) {
                QTest::keyClick(edit, letter.toLatin1());
            } else {
                QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(letter),
                                    Qt::NoModifier);
            }
        }
        QCOMPARE(edit->text(), text);
    }

    // View > Waveform, by its keys.
    frmEditor* OpenWaveform() {
        window_->activateWindow();
        if (!QTest::qWaitFor([&] { return QApplication::activeWindow() == window_.data(); })) {
            return nullptr;
        }
        QTest::keyClick(window_, Qt::Key_V, Qt::AltModifier);
        auto* menu = window_->findChild<QMenu*>(u"mnuView"_s);
        if (!QTest::qWaitFor([&] { return menu->isVisible(); })) return nullptr;
        QTest::keyClick(menu, Qt::Key_W);
        frmEditor* shown = nullptr;
        const bool visible = QTest::qWaitFor(
            [&] { return (shown = window_->findChild<frmEditor*>()) && shown->isVisible(); });
        return visible ? shown : nullptr;
    }

    void Analyse(const QString& path) {
        Type("txtMP3", path);
        QTest::keyClick(Find("txtMP3"), Qt::Key_Return);
        WaitIdle();
    }

    void PrepareSplit(const QString& source, const QString& minute, const QString& second) {
        Analyse(source);
        Type("txtToFolder", temp_->path());
        Type("txtSplitMinute", minute);
        Type("txtSplitSecond", second);
        QTest::mouseClick(Find("txtMP3"), Qt::LeftButton);
        RunQueued();
    }

    QPointer<frmCopyFile> window_;
    FakeDialogs fake_;
    std::unique_ptr<QTemporaryDir> temp_;
};

QTEST_MAIN(frmCopyFileTest)
#include "frmCopyFileTest.moc"
