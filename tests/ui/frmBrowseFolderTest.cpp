// Drives the real folder browser, opened from the main window, in temporary folder trees.

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMap>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <deque>
#include <functional>
#include <memory>

#include "FakeDialogs.h"
#include "platform/Dialogs.h"
#include "platform/Volumes.h"
#include "ui/frmBrowseFolder/FolderList.h"
#include "ui/frmBrowseFolder/frmBrowseFolder.h"
#include "ui/frmCopyFile/frmCopyFile.h"

using quorvel::ui::FolderList;
using quorvel::ui::frmBrowseFolder;
using quorvel::ui::frmCopyFile;

namespace {

using quorvel::test::FakeDialogs;

bool MakeFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("x") == 1;
}

// Everything in the desktop trash: original path -> where it lies in the trash now.
QMap<QString, QString> Trashed() {
    QMap<QString, QString> trashed;
    const QString trash = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Trash/");
    const QDir info(trash + QStringLiteral("info"));
    for (const QString& name :
         info.entryList({QStringLiteral("*.trashinfo")}, QDir::Files | QDir::Hidden)) {
        QFile file(info.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) continue;
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (!line.startsWith("Path=")) continue;
            trashed.insert(QUrl::fromPercentEncoding(line.mid(5)),
                           trash + QStringLiteral("files/") + name.chopped(10));
        }
    }
    return trashed;
}

// Waits for the next modal message box and hands it to `answer`, which must close it.
void AnswerBox(const std::function<void(QMessageBox*)>& answer) {
    QTimer::singleShot(10, [answer] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box && box->isVisible()) {
            answer(box);
        } else {
            AnswerBox(answer);
        }
    });
}

}  // namespace

class frmBrowseFolderTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();
    void cleanup();

    void currentFolderText();
    void clickHighlightsChangeOpens();
    void closing_data();
    void closing();
    void reopenStartsAtDestination();
    void createFolder();
    void deleteWithFiles();
    void deleteLinkOnly();
    void deleteWithoutOrdinaryFiles();
    void cancelDeletesNothing_data();
    void cancelDeletesNothing();
    void rootsRefused_data();
    void rootsRefused();
    void deleteOpenFolderAndAncestor();
    void driveNotReady();
    void keysPressNoButton();
    void realQuestionBox();

  private:
    template <typename T = QLineEdit>
    T* Find(const char* name) const {
        T* control = browser_->findChild<T*>(QLatin1String(name));
        Q_ASSERT(control);
        return control;
    }
    FolderList* List() const { return Find<FolderList>("dlbToFolder"); }
    QString Text() const { return Find("txtCurrentFolder")->text(); }
    QString ToFolder() const { return window_->findChild<QLineEdit*>("txtToFolder")->text(); }
    QString In(const QString& name) const { return root_ + '/' + name; }
    int RowOf(const QString& path) const;
    bool Open();
    bool Closed();
    // Cancels, then opens again from another destination.
    bool Reopen(const QString& directory) {
        Press("cmdCancel");
        if (!Closed()) return false;
        window_->findChild<QLineEdit*>("txtToFolder")->setText(directory);
        return Open();
    }
    void Press(const char* button) { QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton); }
    void ClickEntry(const QString& path);
    void OpenEntry(const QString& path);
    bool CaretAtEnd() const {
        const QLineEdit* text = Find("txtCurrentFolder");
        return text->cursorPosition() == text->text().size() && !text->hasSelectedText();
    }

    std::unique_ptr<QTemporaryDir> home_;
    std::unique_ptr<QTemporaryDir> tree_;
    QString root_;
    QString music_;
    QString startDirectory_;
    FakeDialogs fake_;
    QPointer<frmCopyFile> window_;
    QPointer<frmBrowseFolder> browser_;
};

int frmBrowseFolderTest::RowOf(const QString& path) const {
    for (int row = 0; row < List()->count(); ++row) {
        if (List()->List(row) == path) return row;
    }
    return -1;
}

// Opens the browser as the user does, with a click on the main window's browse button.
bool frmBrowseFolderTest::Open() {
    QTest::mouseClick(window_->findChild<QPushButton*>("cmdBrowseTo"), Qt::LeftButton);
    browser_ = frmBrowseFolder::Instance();
    return browser_->isVisible() && !window_->isEnabled() && QTest::qWaitForWindowActive(browser_);
}

bool frmBrowseFolderTest::Closed() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return browser_.isNull();
}

void frmBrowseFolderTest::ClickEntry(const QString& path) {
    const int row = RowOf(path);
    QVERIFY2(row >= 0, qPrintable(path));
    List()->scrollToItem(List()->item(row));
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {},
                      List()->visualItemRect(List()->item(row)).center());
}

// A real double click: press and release, then the double click.
void frmBrowseFolderTest::OpenEntry(const QString& path) {
    ClickEntry(path);
    QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {},
                       List()->visualItemRect(List()->item(RowOf(path))).center());
}

void frmBrowseFolderTest::initTestCase() {
    // A home of its own, so that the trash starts empty and shares the volume of the
    // trees below it (elsewhere Qt would make a .Trash folder at that volume's top).
    home_ = std::make_unique<QTemporaryDir>();
    QVERIFY(home_->isValid());
    qputenv("HOME", home_->path().toUtf8());
    qputenv("XDG_DATA_HOME", (home_->path() + "/.local/share").toUtf8());
    startDirectory_ = QDir::currentPath();
    QApplication::setQuitOnLastWindowClosed(false);

    // This computer's own list: the home folder first, none of the system's mounts.
    const auto volumes = quorvel::platform::MountedVolumes();
    QVERIFY(volumes.size() > 1);
    QCOMPARE(volumes.front().RootPath, QDir::homePath());
    for (const auto& volume : volumes) {
        for (const char* system : {"/proc", "/sys", "/dev"}) {
            QVERIFY2(!volume.RootPath.startsWith(QLatin1String(system)),
                     qPrintable(volume.RootPath));
        }
    }
}

// Music holds a.mp3 and two sub-folders: Rock (song.mp3, .hidden, Sub/deep.txt) and Jazz
// (only .hidden and Sub/x.mp3). The drive list offers a volume that is not ready, the
// tree's own top folder and a volume whose root is gone.
void frmBrowseFolderTest::init() {
    fake_ = FakeDialogs();
    quorvel::platform::Dialogs::Install(&fake_);
    tree_ = std::make_unique<QTemporaryDir>(QDir::homePath() + "/tree-XXXXXX");
    QVERIFY(tree_->isValid());
    root_ = QDir(tree_->path()).canonicalPath();
    music_ = In("Music");
    for (const char* folder : {"Music/Rock/Sub", "Music/Jazz/Sub", "cd"}) {
        QVERIFY(QDir(root_).mkpath(folder));
    }
    for (const char* file :
         {"Music/a.mp3", "Music/Rock/song.mp3", "Music/Rock/.hidden", "Music/Rock/Sub/deep.txt",
          "Music/Jazz/.hidden", "Music/Jazz/Sub/x.mp3"}) {
        QVERIFY(MakeFile(In(file)));
    }
    quorvel::platform::SetVolumesForTesting(
        {{In("cd"), "CD", false}, {root_, "Tree", true}, {In("gone"), "Gone", true}});
    QVERIFY(QDir::setCurrent(music_));
    window_ = frmCopyFile::Instance();
    window_->show();
    QVERIFY(QTest::qWaitForWindowActive(window_));
    QVERIFY(Open());
}

void frmBrowseFolderTest::cleanup() {
    if (browser_) browser_->close();
    delete window_;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    quorvel::platform::Dialogs::Install(nullptr);
    QDir::setCurrent(startDirectory_);
    tree_.reset();
}

void frmBrowseFolderTest::currentFolderText() {
    QCOMPARE(List()->Path(), music_);
    QCOMPARE(List()->List(List()->ListIndex()), music_);
    QCOMPARE(Text(), music_ + '/');
    QCOMPARE(Find("txtCurrentFolder")->cursorPosition(), 0);  // load places no caret
    ClickEntry("/");
    QCOMPARE(Text(), QStringLiteral("/"));

    // Opened at "/" itself.
    QVERIFY(Reopen("/"));
    QCOMPARE(List()->Path(), QStringLiteral("/"));
    QCOMPARE(Text(), QStringLiteral("/"));

    // Blanks at the end of a folder name belong to it.
    const QString blanks = music_ + "/Ends in blanks  ";
    QVERIFY(QDir().mkdir(blanks));
    QVERIFY(Reopen(music_));
    ClickEntry(blanks);
    QCOMPARE(Text(), blanks + '/');
}

void frmBrowseFolderTest::clickHighlightsChangeOpens() {
    Find("txtCurrentFolder")->selectAll();
    ClickEntry(In("Music/Rock"));
    QCOMPARE(List()->Path(), music_);
    QCOMPARE(Text(), In("Music/Rock/"));
    QVERIFY(CaretAtEnd());

    QTest::keyClick(List(), Qt::Key_Up);  // Jazz sorts before Rock
    QCOMPARE(List()->Path(), music_);
    QCOMPARE(Text(), In("Music/Jazz/"));
    QVERIFY(CaretAtEnd());

    QTest::keyClick(List(), Qt::Key_Return);
    QCOMPARE(List()->Path(), In("Music/Jazz"));
    QCOMPARE(List()->List(List()->ListIndex()), In("Music/Jazz"));
    QCOMPARE(Text(), In("Music/Jazz/"));
    QVERIFY(CaretAtEnd());
    QVERIFY(RowOf(In("Music/Jazz/Sub")) >= 0);

    OpenEntry(music_);  // an ancestor
    QCOMPARE(List()->Path(), music_);
    OpenEntry(In("Music/Rock"));
    QCOMPARE(List()->Path(), In("Music/Rock"));
    QCOMPARE(Text(), In("Music/Rock/"));
    QVERIFY(CaretAtEnd());
}

void frmBrowseFolderTest::closing_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Ok") << "cmdOK";
    QTest::newRow("Cancel") << "cmdCancel";
    QTest::newRow("Esc") << "Esc";
    QTest::newRow("close button") << "";
}

void frmBrowseFolderTest::closing() {
    QFETCH(QString, how);
    const QString before = ToFolder();
    ClickEntry(In("Music/Rock"));

    // While the browser is open, the main window takes no clicks, and activating it
    // brings the browser back to the front.
    QVERIFY(!window_->isEnabled());
    window_->activateWindow();
    QTRY_VERIFY(browser_->isActiveWindow());
    QTest::mouseClick(window_->findChild<QPushButton*>("cmdBrowse"), Qt::LeftButton);
    QCOMPARE(fake_.openRequests.size(), 0);
    // Nor can it be closed: the browser hands its folder back to it.
    QVERIFY(!window_->close());
    QVERIFY(window_->isVisible());

    const auto close = [&] {
        if (how.isEmpty()) {
            browser_->close();
        } else if (how == "Esc") {
            QTest::keyClick(browser_, Qt::Key_Escape);
        } else {
            Press(how.toLatin1().constData());
        }
    };
    close();
    QVERIFY(Closed());
    QVERIFY(window_->isEnabled());
    QTRY_COMPARE(QApplication::focusWidget(), window_->findChild<QPushButton*>("cmdBrowseTo"));
    QCOMPARE(ToFolder(), how == "cmdOK" ? In("Music/Rock/") : before);

    // The browser tells only the window that opened it: with that window gone, closing
    // the browser brings no new main window.
    QVERIFY(Open());
    delete window_;
    close();
    QVERIFY(Closed());
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        QVERIFY(!qobject_cast<frmCopyFile*>(widget));
    }
}

// The browser opens at the destination; at the current directory where that is no folder.
void frmBrowseFolderTest::reopenStartsAtDestination() {
    OpenEntry(In("Music/Rock"));
    Press("cmdOK");
    QVERIFY(Closed());
    QCOMPARE(ToFolder(), In("Music/Rock/"));
    QVERIFY(Open());
    QCOMPARE(List()->Path(), In("Music/Rock"));
    QCOMPARE(Text(), In("Music/Rock/"));

    QVERIFY(Reopen(In("Music/Jazz")));
    QCOMPARE(Text(), In("Music/Jazz/"));
    QVERIFY(Reopen(In("no such folder")));
    QCOMPARE(Text(), music_ + '/');
}

void frmBrowseFolderTest::createFolder() {
    const auto folders = [this] {
        return QDir(music_).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    };
    fake_.names = {" New", "", "   ", QString(), "Rock", "Pop"};
    Press("cmdCreateFolder");
    QVERIFY(QFileInfo(In("Music/ New")).isDir());
    // The new folder is shown and highlighted at once.
    QVERIFY(RowOf(In("Music/ New")) >= 0);
    QCOMPARE(List()->ListIndex(), RowOf(In("Music/ New")));
    QCOMPARE(List()->Path(), music_);
    QCOMPARE(Text(), In("Music/ New/"));
    ClickEntry(music_);

    // Empty, blank and cancelled names make nothing and say nothing.
    const QStringList before = folders();
    for (int i = 0; i < 3; ++i) Press("cmdCreateFolder");
    QCOMPARE(folders(), before);
    QVERIFY(fake_.messages.isEmpty());

    Press("cmdCreateFolder");
    QCOMPARE(fake_.messages.size(), 1);
    QVERIFY2(fake_.messages[0].startsWith("Cannot create folder " + music_ + "/Rock: ") &&
                 fake_.messages[0].endsWith('.'),
             qPrintable(fake_.messages[0]));
    QCOMPARE(fake_.titles, QStringList{"Quorvel"});
    QVERIFY(browser_->isVisible());
    QCOMPARE(Text(), music_ + '/');

    Press("cmdCreateFolder");
    QVERIFY(QFileInfo(In("Music/Pop")).isDir());
    QCOMPARE(fake_.inputs,
             QStringList(6, QStringLiteral("Create new folder|Please enter new folder name :")));

    // Inside a highlighted sub-folder; the text is what the list yields afterwards.
    ClickEntry(In("Music/Rock"));
    fake_.names = {"Live"};
    Press("cmdCreateFolder");
    QVERIFY(QFileInfo(In("Music/Rock/Live")).isDir());
    QCOMPARE(List()->Path(), music_);
    QCOMPARE(Text(), List()->List(List()->ListIndex()) + '/');
}

void frmBrowseFolderTest::deleteWithFiles() {
    const QString rock = In("Music/Rock");
    ClickEntry(rock);
    fake_.answers = {true, true};
    Press("cmdDeleteFolder");
    QCOMPARE(fake_.questions,
             QStringList({"Are you sure you want to delete :\n" + rock + " ?",
                          "There are files in " + rock +
                              ". Are you sure you want to delete the folder and files inside "
                              "the folder?"}));
    QCOMPARE(fake_.titles, QStringList({"The folder will be moved to the trash", "Quorvel"}));
    QVERIFY(fake_.messages.isEmpty());
    QVERIFY(!QFileInfo::exists(rock));

    // One item in the trash, all it held inside it, so that restoring it gives it back.
    const auto trashed = Trashed();
    QVERIFY(trashed.contains(rock));
    QVERIFY(!trashed.contains(rock + "/song.mp3"));
    for (const char* inside : {"/song.mp3", "/.hidden", "/Sub/deep.txt"}) {
        QVERIFY2(QFileInfo::exists(trashed[rock] + inside), inside);
    }
    QCOMPARE(RowOf(rock), -1);
    QCOMPARE(List()->Path(), music_);
    QCOMPARE(Text(), music_ + '/');
}

// A link to a folder goes alone: the folder it leads to keeps all it holds.
void frmBrowseFolderTest::deleteLinkOnly() {
    const QString jazz = In("Music/Jazz");
    const QString link = In("Music/Link");
    QVERIFY(QFile::link(jazz, link));
    List()->Refresh();
    ClickEntry(link);
    fake_.answers = {true, true};
    Press("cmdDeleteFolder");
    QVERIFY(!QFileInfo(link).isSymLink());
    QVERIFY(QFileInfo::exists(jazz + "/.hidden"));
    QVERIFY(QFileInfo::exists(jazz + "/Sub/x.mp3"));
}

void frmBrowseFolderTest::deleteWithoutOrdinaryFiles() {
    const QString jazz = In("Music/Jazz");
    ClickEntry(jazz);
    fake_.answers = {true};
    Press("cmdDeleteFolder");
    QCOMPARE(fake_.questions, QStringList{"Are you sure you want to delete :\n" + jazz + " ?"});
    QVERIFY(!QFileInfo::exists(jazz));
    const QString inTrash = Trashed().value(jazz);
    QVERIFY(QFileInfo::exists(inTrash + "/.hidden"));
    QVERIFY(QFileInfo::exists(inTrash + "/Sub/x.mp3"));
    QCOMPARE(RowOf(jazz), -1);
}

void frmBrowseFolderTest::cancelDeletesNothing_data() {
    QTest::addColumn<QList<bool>>("answers");
    QTest::newRow("first box") << QList<bool>{false};
    QTest::newRow("second box") << QList<bool>{true, false};
}

void frmBrowseFolderTest::cancelDeletesNothing() {
    QFETCH(QList<bool>, answers);
    const QString rock = In("Music/Rock");
    ClickEntry(rock);
    const auto trashed = Trashed();
    fake_.answers.assign(answers.begin(), answers.end());
    Press("cmdDeleteFolder");
    QCOMPARE(fake_.questions.size(), answers.size());
    for (const char* kept : {"/song.mp3", "/.hidden", "/Sub/deep.txt"}) {
        QVERIFY(QFileInfo::exists(rock + kept));
    }
    QCOMPARE(Trashed(), trashed);
    QCOMPARE(Text(), rock + '/');
    QVERIFY(RowOf(rock) >= 0);
}

void frmBrowseFolderTest::rootsRefused_data() {
    QTest::addColumn<QString>("root");
    QTest::newRow("/") << "/";
    QTest::newRow("volume in the drive list") << "volume";
    QTest::newRow("link to /") << "link";
}

// Refused before any question; the questions would be answered Cancel here anyway.
void frmBrowseFolderTest::rootsRefused() {
    QFETCH(QString, root);
    QString named = root;
    if (root == "/") {
        ClickEntry("/");
    } else if (root == "volume") {
        // The drive list shows the current folder's volume; the list opens its root.
        QCOMPARE(Find<QComboBox>("drvToDrive")->currentData().toString(), root_);
        OpenEntry(root_);
        QCOMPARE(List()->Path(), root_);
        QCOMPARE(Text(), root_ + '/');
        named = root_;
    } else {
        named = In("Music/toRoot");
        QVERIFY(QFile::link("/", named));
        List()->Refresh();
        ClickEntry(named);
    }
    Press("cmdDeleteFolder");
    QCOMPARE(fake_.questions, QStringList());
    QCOMPARE(fake_.messages, QStringList{"The folder " + named +
                                         " is the root of a volume and cannot be deleted."});
    QVERIFY(QFileInfo::exists(In("Music/a.mp3")));
}

void frmBrowseFolderTest::deleteOpenFolderAndAncestor() {
    const QString rock = In("Music/Rock");
    OpenEntry(rock);
    fake_.answers = {true, true};
    Press("cmdDeleteFolder");
    QVERIFY(!QFileInfo::exists(rock));
    QCOMPARE(List()->Path(), music_);
    QCOMPARE(Text(), music_ + '/');

    // An ancestor of the open folder, highlighted in the list.
    OpenEntry(In("Music/Jazz"));
    OpenEntry(In("Music/Jazz/Sub"));
    ClickEntry(music_);
    fake_.answers = {true, true};
    Press("cmdDeleteFolder");
    QCOMPARE(fake_.questions.size(), 4);
    QVERIFY(!QFileInfo::exists(music_));
    QCOMPARE(List()->Path(), root_);
    QCOMPARE(Text(), root_ + '/');
    QVERIFY(fake_.messages.isEmpty());
}

void frmBrowseFolderTest::driveNotReady() {
    QComboBox* drives = Find<QComboBox>("drvToDrive");
    ClickEntry(In("Music/Rock"));
    // Picking the drive already shown changes nothing.
    emit drives->activated(drives->currentIndex());
    QCOMPARE(List()->Path(), music_);
    QCOMPARE(Text(), In("Music/Rock/"));
    // A root that is gone, then a volume that is not ready: one message each.
    QTest::keyClick(drives, Qt::Key_End);
    QCOMPARE(drives->currentData().toString(), In("gone"));
    QCOMPARE(fake_.messages, QStringList{"Nothing in the drive!"});
    QTest::keyClick(drives, Qt::Key_Home);
    QCOMPARE(drives->currentData().toString(), In("cd"));
    QCOMPARE(fake_.messages, QStringList(2, "Nothing in the drive!"));
    QCOMPARE(fake_.titles, QStringList(2, "Quorvel"));
    QCOMPARE(List()->Path(), music_);
    QCOMPARE(Text(), In("Music/Rock/"));
    Press("cmdOK");
    QVERIFY(Closed());
    QCOMPARE(ToFolder(), In("Music/Rock/"));
}

void frmBrowseFolderTest::keysPressNoButton() {
    QCOMPARE(QApplication::focusWidget(), Find<QComboBox>("drvToDrive"));
    QLineEdit* text = Find("txtCurrentFolder");
    QTest::mouseClick(text, Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), text);
    QTest::keyClicks(text, "abc");
    QTest::keyClick(text, Qt::Key_Backspace);
    QCOMPARE(Text(), music_ + '/');
    QTest::keyClick(text, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(text->selectedText(), music_ + '/');
    QTest::keyClick(text, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(Text(), music_ + '/');

    const QString before = ToFolder();
    for (const char* name : {"drvToDrive", "txtCurrentFolder", "cmdCreateFolder", "cmdOK",
                             "cmdCancel", "cmdDeleteFolder"}) {
        auto* control = Find<QWidget>(name);
        control->setFocus();
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
            QTest::keyClick(control, key);
        }
        QVERIFY2(!Closed() && browser_->isVisible(), name);
    }
    QCOMPARE(ToFolder(), before);
    QVERIFY(fake_.inputs.isEmpty() && fake_.questions.isEmpty() && fake_.messages.isEmpty());
    QVERIFY(!window_->isEnabled());
}

// The real box: no icon, OK and Cancel with OK the default, Esc answers Cancel.
void frmBrowseFolderTest::realQuestionBox() {
    quorvel::platform::Dialogs::Install(nullptr);
    const QString jazz = In("Music/Jazz");
    ClickEntry(jazz);
    QStringList seen;
    AnswerBox([&seen](QMessageBox* box) {
        seen << box->windowTitle() << box->text()
             << QString::number(box->icon() == QMessageBox::NoIcon)
             << QString::number(box->standardButtons() == (QMessageBox::Ok | QMessageBox::Cancel))
             << QString::number(box->defaultButton() == box->button(QMessageBox::Ok));
        QTest::keyClick(box, Qt::Key_Escape);
    });
    Press("cmdDeleteFolder");
    QCOMPARE(seen,
             QStringList({"The folder will be moved to the trash",
                          "Are you sure you want to delete :\n" + jazz + " ?", "1", "1", "1"}));
    QVERIFY(QFileInfo::exists(jazz + "/.hidden"));

    AnswerBox([](QMessageBox* box) { box->button(QMessageBox::Ok)->click(); });
    Press("cmdDeleteFolder");
    QVERIFY(!QFileInfo::exists(jazz));
    QVERIFY(Trashed().contains(jazz));
}

QTEST_MAIN(frmBrowseFolderTest)
#include "frmBrowseFolderTest.moc"
