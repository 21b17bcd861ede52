#include "ui/frmCopyFile/frmCopyFile.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <algorithm>
#include <cmath>
#include <memory>

#include "engine/Numbers.h"
#include "engine/SourceAnalysis.h"
#include "engine/Split.h"
#include "engine/SplitTime.h"
#include "platform/Dialogs.h"
#include "platform/HelpViewer.h"
#include "ui/AppIcon.h"
#include "ui/Remembered.h"
#include "ui/Version.h"
#include "ui/Windows.h"
#include "ui/frmAbout/frmAbout.h"
#include "ui/frmBrowseFolder/frmBrowseFolder.h"
#include "ui/frmCopyFile/CopyFileForm.h"
#include "ui/frmCopyFile/FocusCheck.h"
#include "ui/frmCopyFile/ScreenFit.h"
#include "ui/frmEditor/EditorForm.h"
#include "ui/frmJoinFiles/frmJoinFiles.h"

// The icon and the help document live in this library; a static library must ask for
// its resources by name.
static void LoadResources() {
    Q_INIT_RESOURCE(quorvel);
}

namespace quorvel::ui {

QPointer<frmCopyFile> frmCopyFile::instance_;

namespace {

// The version as the caption shows it: V1.01 for major 1, minor 0, revision 1.
QString Caption() {
    return QCoreApplication::translate("frmCopyFile", "Quorvel V%1.%2%3  by the Quorvel project")
        .arg(kVersionMajor)
        .arg(kVersionMinor)
        .arg(kVersionRevision);
}

// The one local file or folder of a drop, or the empty text when the drop is anything else.
QString DroppedItem(const QMimeData* data) {
    if (!data->hasUrls() || data->urls().size() != 1 || !data->urls().front().isLocalFile()) {
        return {};
    }
    const QString path = data->urls().front().toLocalFile();
    const QFileInfo item(path);
    return item.isFile() || item.isDir() ? path : QString();
}

const QString kOpenFolder = QStringLiteral("openFolder");
const QString kDestination = QStringLiteral("destination");
const QString kSplitExactly = QStringLiteral("splitExactly");
const QString kPosition = QStringLiteral("position");
const QString kRecentFiles = QStringLiteral("recentFiles");
const QString kEditorSize = QStringLiteral("editorSize");
// File > Open Recent lists this many files.
constexpr int kMostRecent = 8;

// The files remembered as analysed last, newest first, without those no longer there.
QStringList RecentFiles() {
    QStringList files = Remembered().value(kRecentFiles).toStringList();
    files.removeIf([](const QString& path) { return !QFileInfo(path).isFile(); });
    return files.mid(0, kMostRecent);
}

}  // namespace

frmCopyFile* frmCopyFile::Instance() {
    if (!instance_) instance_ = new frmCopyFile;
    return instance_;
}

frmCopyFile::frmCopyFile() {
    LoadResources();
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(Caption());
    setWindowIcon(AppIcon());
    setAcceptDrops(true);
    PresentWindowsAsWindows();
    CreateControls();
    CreateMenus();
    new ScreenFit(this, txtSystemMessage);  // the log gives way on a screen too short
    form_ = std::make_unique<CopyFileForm>(
        this,
        CopyFileBoxes{txtMP3, txtToFolder, txtSplitSecond, txtSelectedFileSize, txtSelectedType,
                      txtSelectedBitRate, txtSelectedSampling, txtSelectedFrames,
                      txtSelectedDuration},
        txtSystemMessage);
    work_ = std::make_unique<BackgroundWork>(*form_, files_);
    connect(work_.get(), &BackgroundWork::Progress, this, &frmCopyFile::BackgroundWork_Progress);
    connect(work_.get(), &BackgroundWork::Finished, this, &frmCopyFile::BackgroundWork_Finished);
    // How far the work under way has read or written.
    progress_ = new QProgressBar;
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setAccessibleName(tr("Progress"));
    progress_->setAccessibleDescription(tr("How far the work under way has read or written"));
    progress_->setRange(0, 100);
    progress_->hide();
    statusBar()->setSizeGripEnabled(false);  // the window keeps its designed size
    statusBar()->addPermanentWidget(progress_, 1);
    // Stops the work under way, leaving the destination as it was.
    cmdStop = new QPushButton(tr("S&top"));
    cmdStop->setObjectName(QStringLiteral("cmdStop"));
    cmdStop->setToolTip(tr("Stop the work under way; nothing is changed"));
    cmdStop->hide();
    statusBar()->addPermanentWidget(cmdStop);
    connect(cmdStop, &QPushButton::clicked, this, [this] { work_->Stop(); });
    // Esc stops the work too, as in any window that waits; with no work it leaves the
    // window alone.
    stopKey_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    stopKey_->setEnabled(false);
    connect(stopKey_, &QShortcut::activated, this, [this] { work_->Stop(); });
    // The status bar is as tall from the start as with Stop in it, so that the window
    // keeps its height when work starts.
    statusBar()->setMinimumHeight(statusBar()->sizeHint().expandedTo(cmdStop->sizeHint()).height());
    // The check box beside the time boxes and the menu command are one setting.
    connect(chkExactly, &QCheckBox::toggled, mnuSplitExactly, &QAction::setChecked);
    connect(mnuSplitExactly, &QAction::toggled, chkExactly, &QCheckBox::setChecked);
    focusCheck_ = std::make_unique<FocusCheck>(
        txtSplitMinute, [this] { return txtSplitMinute_LostFocus(); }, txtSplitSecond,
        [this] { return txtSplitSecond_LostFocus(); });
    for (QPushButton* command : {cmdBrowse, cmdBrowseTo, cmdSplit}) {
        // The access key presses a button without moving the focus; moving it here lets
        // the box being left check its text first, as a click would.
        connect(command, &QPushButton::pressed, this,
                [command] { command->setFocus(Qt::ShortcutFocusReason); });
    }

    // Load: the destination starts as the current directory, or the one last used while
    // it is still there; the split rule and the window's place are the last ones too.
    const QSettings remembered = Remembered();
    const QString destination = remembered.value(kDestination).toString();
    txtToFolder->setText(!destination.isEmpty() && QFileInfo(destination).isDir()
                             ? destination
                             : QDir::currentPath());
    mnuSplitExactly->setChecked(RememberedFlag(remembered, kSplitExactly, false));
    const QPoint place = remembered.value(kPosition).toPoint();
    if (remembered.contains(kPosition) && QGuiApplication::screenAt(place)) {
        // The place is its client area's, which unlike its frame's is known before the
        // window manager frames the window: given as a frame's, it would creep by the
        // title bar's height with every run.
        adjustSize();
        setGeometry(QRect(place, size()));
    }
    txtMP3->setFocus(Qt::OtherFocusReason);
}

frmCopyFile::~frmCopyFile() = default;

bool frmCopyFile::Working() const {
    return work_->Running() || (editor_ && editor_->Working());
}

const std::string& frmCopyFile::LogText() const {
    return form_->LogText();
}

bool frmCopyFile::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::FocusIn:
            // Only the user moving into a box selects its text.
            if (!FocusCheck::IsUserFocusChange(static_cast<QFocusEvent*>(event)->reason())) {
                break;
            }
            if (watched == txtMP3) txtMP3_GotFocus();
            if (watched == txtToFolder) txtToFolder_GotFocus();
            if (watched == txtSplitMinute) txtSplitMinute_GotFocus();
            if (watched == txtSplitSecond) txtSplitSecond_GotFocus();
            break;
        case QEvent::KeyPress:
            if (watched == txtMP3) {
                const int key = static_cast<QKeyEvent*>(event)->key();
                if (key == Qt::Key_Return || key == Qt::Key_Enter) txtMP3_KeyPress(13);
            }
            break;
        default:
            break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmCopyFile::changeEvent(QEvent* event) {
    // A click on this window while the browser is open would bury the browser behind it:
    // the browser comes back to the front instead.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !isEnabled() && browser_) {
        browser_->raise();
        browser_->activateWindow();
    }
    QMainWindow::changeEvent(event);
}

void frmCopyFile::closeEvent(QCloseEvent* event) {
    // While the folder browser is open this window takes no input, its close box
    // included: the browser hands its folder back to it. A split under way is stopped
    // if the user agrees, leaving the destination as it was, and the window closes once
    // it has ended; an analysis changes nothing and is simply stopped.
    if (!isEnabled()) {
        event->ignore();
    } else if (editor_ && editor_->Working()) {
        // The editor's split is the editor's to stop: it asks there.
        event->ignore();
        editor_->raise();
        editor_->activateWindow();
        editor_->close();
    } else if (work_->Running()) {
        event->ignore();
        if (!closeAfterWork_)
            closeAfterWork_ = work_->StopToClose(
                this, splitting_ ? BackgroundWork::Writes::Parts : BackgroundWork::Writes::Nothing);
    } else if (editor_ && !closeAfterWork_ && !editor_->KeepsUnsavedEdits()) {
        // The user keeps the editor's audio edits not saved: nothing closes.
        event->ignore();
    } else {
        event->accept();
        if (editor_) editor_->close();
        if (joiner_) joiner_->close();
        QSettings remembered = Remembered();
        remembered.setValue(kDestination, txtToFolder->text());
        remembered.setValue(kSplitExactly, mnuSplitExactly->isChecked());
        remembered.setValue(kPosition, geometry().topLeft());
    }
}

void frmCopyFile::StopAndClose() {
    // A box open in a window's method closes first, and the windows once that method has
    // returned: closed within the box's own loop, a window would be deleted beneath it.
    if (QWidget* box = QApplication::activeModalWidget(); box && box->close()) {
        QMetaObject::invokeMethod(this, &frmCopyFile::StopAndClose, Qt::QueuedConnection);
        return;
    }
    closeAfterWork_ = true;
    // The editor goes first, its split stopped: this window closes once it has.
    if (editor_) {
        editor_->StopAndClose();
        return;
    }
    if (!work_->Running()) {
        // The folder browser goes first: while it is open this window refuses to close.
        if (browser_) browser_->close();
        close();
        return;
    }
    work_->Stop();
    // A box the work waits on is answered as cancelled, so that the work can end.
    if (QWidget* box = QApplication::activeModalWidget()) box->close();
}

void frmCopyFile::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedItem(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

// A dropped file is the source; a dropped folder, never one, the destination.
void frmCopyFile::dropEvent(QDropEvent* event) {
    const QString path = DroppedItem(event->mimeData());
    if (path.isEmpty() || Working()) return;
    event->acceptProposedAction();
    if (QFileInfo(path).isDir()) {
        txtToFolder->setText(path);
        return;
    }
    AnalyseChosenFile(path);
}

void frmCopyFile::Open(const QString& path) {
    AnalyseChosenFile(path);
}

void frmCopyFile::cmdBrowse_Click() {
    if (focusCheck_->CommandMayAct(cmdBrowse)) ChooseSourceFile();
}

void frmCopyFile::mnuOpen_Click() {
    ChooseSourceFile();
}

void frmCopyFile::mnuRecent_AboutToShow() {
    mnuRecent->clear();
    const QStringList files = RecentFiles();
    for (int i = 0; i < files.size(); ++i) {
        QString shown = files[i];
        QAction* entry = mnuRecent->addAction(
            QStringLiteral("&%1 %2").arg(i + 1).arg(shown.replace(u'&', QLatin1String("&&"))));
        connect(entry, &QAction::triggered, this,
                [this, path = files[i]] { AnalyseChosenFile(path); });
    }
    mnuRecent->addSeparator();
    QAction* clear =
        mnuRecent->addAction(tr("&Clear List"), this, [] { Remembered().remove(kRecentFiles); });
    clear->setObjectName(QStringLiteral("mnuRecentClear"));
    clear->setEnabled(!files.isEmpty());
}

void frmCopyFile::mnuSplitParts_Click() {
    // A source typed over since its analysis, or never analysed, is analysed first.
    if (editor_ || (!analysed_.isEmpty() && txtMP3->text() == analysed_)) {
        OpenEditor();
    } else {
        AnalyseInBackground(std::nullopt, true);
    }
}

void frmCopyFile::mnuWaveform_Click() {
    OpenEditor();
}

void frmCopyFile::mnuJoinFiles_Click() {
    if (!joiner_) {
        joiner_ = new frmJoinFiles(this, txtToFolder->text());
        CentreOver(joiner_, this);
    }
    joiner_->show();
    joiner_->raise();
    joiner_->activateWindow();
}

void frmCopyFile::OpenEditor() {
    if (editor_) {
        editor_->raise();
        editor_->activateWindow();
        return;
    }
    // A window of its own beside this one: the boxes stay in use, and it follows them. Its
    // split is told in this log.
    editor_ = new frmEditor(this, {analysed_, txtToFolder->text(), mnuSplitExactly->isChecked(),
                                   played_, levels_, walked_, SplitTimeMs()});
    const EditorForm* told = &editor_->Form();
    connect(told, &EditorForm::LineShown, this,
            [this](const Message& line, bool first) { form_->ShowLine(line, first); });
    connect(told, &EditorForm::LogScrolled, this, [this] { form_->ScrollLog(); });
    connect(editor_, &frmEditor::TimeChosen, this, &frmCopyFile::frmEditor_TimeChosen);
    connect(editor_, &frmEditor::WorkChanged, this, &frmCopyFile::frmEditor_WorkChanged);
    connect(editor_, &frmEditor::Unloaded, this, &frmCopyFile::frmEditor_Unloaded);
    for (QLineEdit* box : {txtSplitMinute, txtSplitSecond}) {
        connect(box, &QLineEdit::textEdited, editor_, [this] { editor_->SetTime(SplitTimeMs()); });
    }
    connect(txtToFolder, &QLineEdit::textChanged, editor_, &frmEditor::SetFolder);
    connect(mnuSplitExactly, &QAction::toggled, editor_, &frmEditor::SetExact);
    RememberSize(editor_, kEditorSize);
    CentreOver(editor_, this);
    editor_->show();
}

void frmCopyFile::frmEditor_TimeChosen(qint64 ms) {
    if (Working()) return;  // the work reads the boxes as they were
    const SplitTimeTexts texts =
        WriteSplitTime(ms, mnuSplitExactly->isChecked(), CopyFileForm::DecimalSeparator());
    txtSplitMinute->setText(QString::fromStdString(texts.Minute));
    txtSplitSecond->setText(QString::fromStdString(texts.Second));
}

void frmCopyFile::frmEditor_WorkChanged(bool working) {
    SetCommandsEnabled(!working);
}

std::int64_t frmCopyFile::SplitTimeMs() const {
    return std::max<std::int64_t>(
        0, ReadSplitTime(txtSplitMinute->text().toStdString(), txtSplitSecond->text().toStdString(),
                         mnuSplitExactly->isChecked(), CopyFileForm::DecimalSeparator()));
}

void frmCopyFile::frmEditor_Unloaded() {
    if (closeAfterWork_) close();
}

void frmCopyFile::mnuExit_Click() {
    close();
}

void frmCopyFile::mnuHowTo_Click() {
    platform::ShowHelp(this);
}

void frmCopyFile::mnuAbout_Click() {
    // Modeless and without an owner: this window stays usable beside it. It opens over
    // this window, where the user looks.
    frmAbout* about = frmAbout::Instance();
    if (!about->isVisible()) CentreOver(about, this);
    about->show();
    about->raise();
    about->activateWindow();
}

void frmCopyFile::cmdSplit_Click() {
    if (!focusCheck_->CommandMayAct(cmdSplit)) return;
    // The fields must describe the file the source box names: one typed over since its
    // analysis, or never analysed, is analysed first, as Enter would. A name that is no
    // file is left to the split's own checks, which say so.
    const bool stale =
        txtMP3->text() != analysed_ && files_.RegularFileExists(txtMP3->text().toStdString());
    // The file analysed, changed since (rewritten, replaced), is analysed again, and the split
    // waits for the user to look at a time chosen for the file as it was.
    if (const auto now = files_.StampOf(txtMP3->text().toStdString());
        !stale && !analysed_.isEmpty() && txtMP3->text() == analysed_ && stamp_ && now &&
        *now != *stamp_) {
        if (editor_) editor_->close();
        AnalyseInBackground(Tr("CopyFileForm",
                               "%1 changed after it was analysed, and has been analysed again. "
                               "Check the split time, then split it.")
                                .Arg(analysed_.toStdString()));
        return;
    }
    const SplitRequest request = Request();
    const std::string minute = txtSplitMinute->text().toStdString();
    const std::string second = txtSplitSecond->text().toStdString();
    const double seconds = analysedSeconds_;
    splitting_ = true;
    if (stale) form_->ClearFields();
    RunInBackground(
        [this, stale, request, minute, second, seconds](Reporter& reporter,
                                                        FileSystem& files) -> BackgroundWork::Done {
            std::shared_ptr<const Analysis> analysis;
            SplitRequest asked = request;
            double length = seconds;
            if (stale) {
                analysis = std::make_shared<Analysis>(
                    AnalyseSource(files, asked.Source, reporter, {.Levels = true, .Frames = true}));
                const QString path = QString::fromStdString(asked.Source);
                if (analysis->Outcome != AnalysisOutcome::FramesFound) {
                    return [this, analysis, path] { ShowAnalysis(*analysis, path); };
                }
                length = analysis->Scan.TotalSeconds;
                asked.Walked = analysis->Walked;
            }
            auto checked = SplitInTwoAt(asked, minute, second, length, files);
            auto* refused = std::get_if<SplitReport>(&checked);
            const SplitReport report =
                refused ? *refused
                        : Split(std::get<SplitRequest>(checked), files, tags_, decoder_, reporter);
            return [this, analysis, report, path = QString::fromStdString(asked.Source)] {
                if (analysis) ShowAnalysis(*analysis, path);
                if (report.Problem) ShowProblemOnceDone(*report.Problem);
                if (report.Scroll) form_->ScrollLog();
            };
        },
        // The walk to the cut and the writing, which the seam check goes along with, after
        // the analysis where there is one.
        stale ? 3 : 2);
}

SplitRequest frmCopyFile::Request() const {
    SplitRequest request;
    request.Source = txtMP3->text().toStdString();
    request.Folder = txtToFolder->text().toStdString();
    request.Exact = mnuSplitExactly->isChecked();
    request.Walked = txtMP3->text() == analysed_ ? walked_ : nullptr;
    request.Separator = CopyFileForm::DecimalSeparator();
    request.ExactHint =
        Tr("CopyFileForm",
           "To split at the time given itself, choose File > Split Exactly at the Time Given.");
    return request;
}

void frmCopyFile::cmdBrowseTo_Click() {
    if (!focusCheck_->CommandMayAct(cmdBrowseTo)) return;
    // The browser has no owner; disabling this window makes it act as a modal dialog
    // until it closes, which enables this window again.
    frmBrowseFolder* browser = frmBrowseFolder::Instance();
    if (!browser->isVisible()) {
        browser->OpenAt(txtToFolder->text());
        CentreOver(browser, this);
    }
    connect(browser, &frmBrowseFolder::FolderChosen, this,
            &frmCopyFile::frmBrowseFolder_FolderChosen, Qt::UniqueConnection);
    connect(browser, &frmBrowseFolder::Unloaded, this, &frmCopyFile::frmBrowseFolder_Unloaded,
            Qt::UniqueConnection);
    browser_ = browser;
    browser->show();
    browser->raise();
    browser->activateWindow();
    setEnabled(false);
}

void frmCopyFile::frmBrowseFolder_FolderChosen(const QString& folder) {
    txtToFolder->setText(folder);
}

void frmCopyFile::frmBrowseFolder_Unloaded() {
    // Whichever way the browser closes, this window takes input again, at the command
    // that opened the browser.
    setEnabled(true);
    cmdBrowseTo->setFocus(Qt::OtherFocusReason);
}

void frmCopyFile::txtMP3_GotFocus() {
    txtMP3->selectAll();
}

void frmCopyFile::txtMP3_KeyPress(int keyAscii) {
    if (keyAscii == 13 && !Working()) AnalyseInBackground();
}

void frmCopyFile::txtToFolder_GotFocus() {
    txtToFolder->selectAll();
}

void frmCopyFile::txtSplitMinute_GotFocus() {
    txtSplitMinute->selectAll();
}

bool frmCopyFile::txtSplitMinute_LostFocus() {
    const auto refusal = CheckSplitMinute(txtSplitMinute->text().toStdString());
    return !refusal || RefuseInput(txtSplitMinute, *refusal);
}

void frmCopyFile::txtSplitSecond_GotFocus() {
    txtSplitSecond->selectAll();
}

bool frmCopyFile::txtSplitSecond_LostFocus() {
    const auto refusal =
        CheckSplitSecond(txtSplitSecond->text().toStdString(), mnuSplitExactly->isChecked(),
                         CopyFileForm::DecimalSeparator());
    return !refusal || RefuseInput(txtSplitSecond, *refusal);
}

void frmCopyFile::ChooseSourceFile() {
    QSettings remembered = Remembered();
    const QString chosen = platform::Dialogs::Current().OpenFileName(
        this, tr("Open MP3 file"), tr("MPEG Audio Files (*.MP3)"),
        remembered.value(kOpenFolder).toString());
    if (chosen.trimmed().isEmpty()) {
        txtMP3->setFocus(Qt::OtherFocusReason);
        return;
    }
    remembered.setValue(kOpenFolder, QFileInfo(chosen).absolutePath());
    AnalyseChosenFile(chosen);
}

void frmCopyFile::AnalyseChosenFile(const QString& path) {
    txtMP3->setText(path);
    AnalyseInBackground();
}

void frmCopyFile::AnalyseInBackground(const std::optional<Message>& then, bool edit) {
    const QString path = txtMP3->text();
    // Another file closes the editor: its audio edits not saved are lost only where the
    // user agrees.
    if (editor_ && editor_->Path() != path && !editor_->KeepsUnsavedEdits()) return;
    // The fields of the file before would stand beside the new file's name meanwhile.
    form_->ClearFields();
    RunInBackground(
        [this, path, then, edit](Reporter& reporter, FileSystem& files) -> BackgroundWork::Done {
            auto analysis = std::make_shared<const Analysis>(AnalyseSource(
                files, path.toStdString(), reporter, {.Levels = true, .Frames = true}));
            return [this, analysis, path, then, edit] {
                ShowAnalysis(*analysis, path);
                if (analysis->Outcome != AnalysisOutcome::FramesFound) return;
                if (then) ShowProblemOnceDone({*then, Field::Time});
                // Opened once this window takes input again.
                if (edit)
                    QMetaObject::invokeMethod(this, &frmCopyFile::OpenEditor, Qt::QueuedConnection);
            };
        });
}

void frmCopyFile::ShowAnalysis(const Analysis& analysis, const QString& path) {
    if (const auto fields = Fields(analysis, CopyFileForm::DecimalSeparator())) {
        form_->ShowFields(*fields);
    }
    if (analysis.Problem) ShowProblemOnceDone(*analysis.Problem);
    const bool found = analysis.Outcome == AnalysisOutcome::FramesFound;
    if (found) {
        QStringList recent = RecentFiles();
        const QString file = QFileInfo(path).absoluteFilePath();
        recent.removeAll(file);
        recent.prepend(file);
        Remembered().setValue(kRecentFiles, recent.mid(0, kMostRecent));
    }
    analysed_ = found ? path : QString();
    analysedSeconds_ = found ? analysis.Scan.TotalSeconds : 0;
    played_ = analysis.Played;
    stamp_ = found ? analysis.Stamp : std::nullopt;
    levels_ = found ? analysis.Levels : FrameLevels{};
    walked_ = found ? analysis.Walked : nullptr;
    // The editor shows the file analysed, or none.
    if (editor_ && editor_->Path() != analysed_) editor_->close();
}

void frmCopyFile::ShowProblemOnceDone(const Refusal& problem) {
    // Shown once the work has finished, so that its box does not stand beside a progress
    // bar and a Stop button that no longer mean anything.
    QMetaObject::invokeMethod(
        this, [this, problem] { form_->ShowProblem(problem); }, Qt::QueuedConnection);
}

void frmCopyFile::RunInBackground(BackgroundWork::Work work, int phases) {
    // Disabling the commands takes the focus from them; it goes back where it was unless
    // the work itself moves it.
    focusedBeforeWork_ = focusWidget();
    form_->TakeFocusMoved();
    SetCommandsEnabled(false);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    progress_->setValue(0);
    progress_->show();
    cmdStop->show();
    stopKey_->setEnabled(true);
    if (editor_) editor_->SetOwnerWorking(true);
    work_->Start(std::move(work), phases);
}

void frmCopyFile::SetCommandsEnabled(bool enabled) {
    for (QWidget* command : std::initializer_list<QWidget*>{cmdBrowse, cmdBrowseTo, cmdSplit}) {
        command->setEnabled(enabled);
    }
    for (QAction* action : {mnuOpen, mnuRecent->menuAction(), mnuSplitExactly, mnuSplitParts}) {
        action->setEnabled(enabled);
    }
    chkExactly->setEnabled(enabled);
    mnuWaveform->setEnabled(enabled && !analysed_.isEmpty());
    // The work reads these boxes as it goes: they keep the texts it started with.
    for (QLineEdit* box : {txtMP3, txtToFolder, txtSplitMinute, txtSplitSecond}) {
        box->setReadOnly(!enabled);
    }
}

void frmCopyFile::BackgroundWork_Progress(int percent) {
    progress_->setValue(percent);
}

void frmCopyFile::BackgroundWork_Finished() {
    progress_->hide();
    cmdStop->hide();
    stopKey_->setEnabled(false);
    splitting_ = false;
    QApplication::restoreOverrideCursor();
    SetCommandsEnabled(true);
    if (editor_) editor_->SetOwnerWorking(false);
    if (!form_->TakeFocusMoved() && focusedBeforeWork_) {
        focusedBeforeWork_->setFocus(Qt::OtherFocusReason);
    }
    if (closeAfterWork_) close();
}

bool frmCopyFile::RefuseInput(QLineEdit* box, const Message& message) {
    focusCheck_->Refuse(box, [&] { form_->MessageBox(message); });
    return false;
}

}  // namespace quorvel::ui
