#pragma once

#include <QMainWindow>
#include <QPointer>
#include <memory>
#include <optional>
#include <string>

#include "engine/FrameHeader.h"
#include "engine/SourceAnalysis.h"
#include "engine/SplitRequest.h"
#include "platform/LocalFileSystem.h"
#include "platform/Mpg123Decoder.h"
#include "platform/TagLibEditor.h"
#include "ui/BackgroundWork.h"
#include "ui/frmEditor/frmEditor.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QShortcut;

namespace quorvel::ui {

class CopyFileForm;
class FocusCheck;

// The main window: the source, the destination, the split time, what the analysis
// found and the message log.
class frmCopyFile : public QMainWindow {
    Q_OBJECT

  public:
    // The one main window, created on first use.
    static frmCopyFile* Instance();
    ~frmCopyFile() override;

    // The message log as one text, lines separated by CR LF.
    const std::string& LogText() const;
    // Whether an analysis or a split is under way, here or in the editor.
    bool Working() const;
    // Whether a split waits to name its outputs while the user decides whether to stop it.
    bool WaitingToName() const { return work_->WaitingToName(); }
    // Stops the work under way without asking and closes the window once it has ended,
    // as a signal that ends the program asks.
    void StopAndClose();
    // Analyses the file as if its path were typed into the source box and entered.
    void Open(const QString& path);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    frmCopyFile();
    // In frmCopyFileLayout.cpp: the controls at their designed places, and the menus.
    void CreateControls();
    void CreateMenus();

    void cmdBrowse_Click();
    void mnuOpen_Click();
    // File > Open Recent: the files analysed last, newest first, those gone left out.
    void mnuRecent_AboutToShow();
    // Both open the editor, File > Split into Several Parts analysing the source first
    // where it is not the file analysed.
    void mnuSplitParts_Click();
    void mnuWaveform_Click();
    void OpenEditor();
    // File > Join Files: a window of its own, raised where it is open already.
    void mnuJoinFiles_Click();
    void mnuExit_Click();
    void mnuHowTo_Click();
    void mnuAbout_Click();
    void cmdSplit_Click();
    void cmdBrowseTo_Click();
    void frmBrowseFolder_FolderChosen(const QString& folder);
    void frmBrowseFolder_Unloaded();
    void frmEditor_Unloaded();
    // The editor's split started or ended: this window's work waits for it.
    void frmEditor_WorkChanged(bool working);
    // The editor's time, into the boxes as the split reads them.
    void frmEditor_TimeChosen(qint64 ms);
    // The boxes' time as the split reads them, for the editor.
    std::int64_t SplitTimeMs() const;
    void txtMP3_GotFocus();
    void txtMP3_KeyPress(int keyAscii);
    void txtToFolder_GotFocus();
    void txtSplitMinute_GotFocus();
    bool txtSplitMinute_LostFocus();
    void txtSplitSecond_GotFocus();
    bool txtSplitSecond_LostFocus();

    void ChooseSourceFile();
    // Analyses the source box's file; `then` is shown in a box over the time where it has
    // frames, and the editor opens on it where `edit` asks.
    void AnalyseInBackground(const std::optional<Message>& then = std::nullopt, bool edit = false);
    // Shows the analysis of `path` and remembers it, its length and its frames' levels when
    // frames were found.
    void ShowAnalysis(const Analysis& analysis, const QString& path);
    // Shows a refusal in its box once the window has left its work.
    void ShowProblemOnceDone(const Refusal& problem);
    // What the main window's split asks for besides its time.
    SplitRequest Request() const;
    // Runs work off the window's thread, the commands that would start more work
    // disabled and a busy cursor shown until it ends.
    // `phases`: the passes the work reads or writes its files in, for one progress bar.
    void RunInBackground(BackgroundWork::Work work, int phases = 1);
    // The commands that start work: Browse, B&rowse, Split, File > Open, the split rule.
    void SetCommandsEnabled(bool enabled);
    void BackgroundWork_Progress(int percent);
    void BackgroundWork_Finished();
    void AnalyseChosenFile(const QString& path);
    // Shows the message and gives the box the focus back; always false.
    bool RefuseInput(QLineEdit* box, const Message& message);

    QGroupBox* fraDatabase;
    QLineEdit* txtMP3;
    QPushButton* cmdBrowse;
    QGroupBox* fraToFolder;
    QLineEdit* txtToFolder;
    QPushButton* cmdBrowseTo;
    QGroupBox* fraFileInfo;
    QLineEdit* txtSelectedFileSize;
    QLineEdit* txtSelectedType;
    QLineEdit* txtSelectedBitRate;
    QLineEdit* txtSelectedFrames;
    QLineEdit* txtSelectedDuration;
    QLineEdit* txtSelectedSampling;
    QLineEdit* txtSplitMinute;
    QLineEdit* txtSplitSecond;
    QCheckBox* chkExactly;  // the split rule, as File > Split Exactly at the Time Given
    QGroupBox* fraSplit;
    QPushButton* cmdSplit;
    QPlainTextEdit* txtSystemMessage;
    QAction* mnuOpen;
    QAction* mnuSplitExactly;
    QMenu* mnuRecent;
    QAction* mnuSplitParts;
    QAction* mnuJoinFiles;
    QAction* mnuExit;
    QAction* mnuWaveform;
    QAction* mnuHowTo;
    QAction* mnuAbout;

    std::unique_ptr<CopyFileForm> form_;
    platform::LocalFileSystem files_;
    platform::TagLibEditor tags_;
    platform::Mpg123Decoder decoder_;
    QString analysed_;                           // the source text whose analysis the fields show
    double analysedSeconds_ = 0;                 // how long the last analysis found its frames play
    PlayedLength played_;                        // and how long they play gaplessly
    std::optional<FileStamp> stamp_;             // how the file stood when it was analysed
    FrameLevels levels_;                         // its frames' levels
    std::shared_ptr<const ChainRecord> walked_;  // and its frames, for the split
    QPointer<QWidget> browser_;                  // the folder browser while it is open
    QPointer<frmEditor> editor_;                 // the editor while it is open
    QPointer<QWidget> joiner_;                   // File > Join Files while it is open
    QProgressBar* progress_;
    QPushButton* cmdStop;
    QShortcut* stopKey_;      // Esc, while work runs
    bool splitting_ = false;  // the work under way is a split
    bool closeAfterWork_ = false;
    QPointer<QWidget> focusedBeforeWork_;
    // Last, so that it stops and ends before the form and the files it uses go.
    std::unique_ptr<BackgroundWork> work_;
    std::unique_ptr<FocusCheck> focusCheck_;

    static QPointer<frmCopyFile> instance_;
};

}  // namespace quorvel::ui
