#pragma once

#include <QMainWindow>
#include <cstdint>
#include <memory>
#include <optional>

#include "engine/ChainRecord.h"
#include "engine/Edit.h"
#include "engine/FrameHeader.h"
#include "engine/PartLists.h"
#include "engine/SourceAnalysis.h"
#include "engine/Split.h"
#include "platform/LocalFileSystem.h"
#include "platform/Mpg123Decoder.h"
#include "platform/TagLibEditor.h"
#include "ui/BackgroundWork.h"
#include "ui/CutPlayer.h"
#include "ui/WorkResult.h"
#include "ui/frmEditor/EditModel.h"
#include "ui/frmEditor/WaveDecoding.h"

class QAction;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QScrollBar;
class QTableWidget;
class QTableWidgetItem;

namespace quorvel::ui {

class EditModel;
class EditorForm;
class WaveView;

// The analysed source the editor opens on, as the main window has it.
struct EditorSource {
    QString Path;
    QString Folder;
    bool Exact = false;  // File > Split Exactly at the Time Given
    PlayedLength Played;
    FrameLevels Levels;
    std::shared_ptr<const ChainRecord> Walked;  // its frames, where the analysis kept them
    std::int64_t TimeMs = 0;                    // the main window's time
};

// The editor: the source's waveform beside its list of parts. The waveform shows the
// cursor, the selection, the list's cuts, the stretches the edits remove and, decoded on a
// thread of its own, the peaks down to single frames and the silences; the list holds each
// part's start, title and performer, filled by hand, at the cursor, from a cue sheet, from
// the chapters or by a rule. Every edit of the list and every stretch cut out, kept around
// or trimmed is a step of the model's history, undone and redone there; nothing is written
// until the split writes the parts of the source or Save As the source without what is
// removed, each on a thread of its own. The cursor follows the main window's time and hands
// it back; the main window's log tells the split.
class frmEditor final : public QMainWindow {
    Q_OBJECT

  public:
    frmEditor(QWidget* owner, EditorSource source);
    ~frmEditor() override;

    const QString& Path() const { return source_.Path; }
    // Whether a split or an edit is under way.
    bool Working() const;
    // The main window's time, split rule or destination as the user changed them there.
    void SetTime(std::int64_t ms);
    void SetExact(bool exact);
    void SetFolder(const QString& folder);
    // Whether the main window's own work runs: the split waits for it.
    void SetOwnerWorking(bool working);
    // Stops the split under way without asking and closes the window once it has ended.
    void StopAndClose();
    // Whether the window may close: no audio edits are unsaved, or the user agrees to lose
    // them.
    bool KeepsUnsavedEdits();

    // The form its work reports through: its signals carry the log's lines.
    const EditorForm& Form() const { return *form_; }

  signals:
    // The time the user chose here, for the main window's boxes.
    void TimeChosen(qint64 ms);
    // A split started or ended.
    void WorkChanged(bool working);
    // The window is closing.
    void Unloaded();

  protected:
    void closeEvent(QCloseEvent* event) override;
    // Esc closes the window once the list's editing has not taken it.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // The columns of the table of parts.
    enum Column { kStart, kLength, kTitle, kPerformer };

    // In frmEditorLayout.cpp: the controls in their layouts, and the menus.
    void CreateControls();
    void CreateMenus();
    // The waveform and its decoding.
    void StartDecoding();

    void cmdAdd_Click();
    void mnuAddCut_Click();
    void mnuRemoveCut_Click();
    void cmdImportCue_Click();
    void cmdChapters_Click();
    void cmdEvery_Click();
    void cmdEqualParts_Click();
    void cmdSplit_Click();
    // Edit > Cut Out the Selection and Keep Only the Selection: the selection, or what lies
    // around it, removed, as a step of the history.
    void mnuCut_Click(bool keepOnly);
    // Says why nothing was removed where nothing was.
    void TellRemoval(EditModel::Removal removal);
    // Edit > Trim Silence: the silences found off the window's thread, then the leading and
    // trailing silence removed but for a quarter second, as a step of the history.
    void mnuTrim_Click();
    // Edit > Measure the Selection: its loudness as EBU R128 measures it, off the window's
    // thread, told in the log and the result line.
    void mnuMeasure_Click();
    // File > Save As: the source without what the edits remove, written into a new file off
    // the window's thread, as the split runs.
    void mnuSaveAs_Click();
    // The new file Save As writes, chosen in the save dialog, proposed in the destination
    // folder under the source's name as `name` gives it; empty when cancelled.
    QString AskOutput(const QString& title, const QString& name);
    // Plays before, across or after the cut chosen, or the stretch removed at the cursor.
    void PlayCut(CutPlayer::Side side);
    // Runs the split or an edit, the commands off and the progress and result anew.
    void StartWork(BackgroundWork::Work work, int phases, BackgroundWork::Writes writes);
    void cmdClose_Click();
    void grdParts_ItemChanged(QTableWidgetItem* item);
    void grdParts_CurrentRowChanged();
    void View_ViewChanged();
    void View_TimeChosen(qint64 sample);
    void BackgroundWork_Progress(int percent);
    void BackgroundWork_Finished();
    // Tells in the window how the split ended, and why where it changed nothing.
    void ShowResult(const SplitReport& report);
    // Tells in the window how an edit ended, as a split's end is told.
    void ShowResult(const EditReport& report);
    // The result line: `completed` once it has, otherwise why it changed nothing.
    void ShowEnd(Ended ended, const std::optional<Refusal>& problem, const QString& completed);

    // Adds a cut at `at` (microseconds), or says why not; the new part's title is selected.
    void AddCut(std::chrono::microseconds at);
    // Fills the table from the model, the current row kept where it still is.
    void ShowParts();
    // The list's cuts and the selected one on the waveform.
    void ShowCutsOnView();
    void ShowPosition();
    void ShowRule();
    void UpdateCommands();
    void Refuse(const QString& text);
    std::int64_t Ms(std::int64_t sample) const;
    std::int64_t Sample(std::int64_t ms) const;
    // The time the main window's split takes for `ms` (RuledTime): whole seconds by the
    // frame rule.
    std::int64_t SplitMs(std::int64_t ms) const;
    // Where the play buttons cut: at the selected part's start, or at the cursor as the
    // main window's split would.
    std::int64_t PlayedCutMs() const;
    // The cursor moved by the user: the marks and the main window's boxes follow.
    void CursorChosen();

    EditorSource source_;
    EditModel* model_;
    WaveView* view_;
    QScrollBar* hsbView;
    QLabel* lblPosition;
    QLineEdit* txtSource;
    QLineEdit* txtFolder;
    QLineEdit* txtLength;
    QLineEdit* txtRule;
    QTableWidget* grdParts;
    QLineEdit* txtCutAt;
    QPushButton* cmdAdd;
    QPushButton* cmdRemove;
    QPushButton* cmdImportCue;
    QPushButton* cmdChapters;
    QPushButton* cmdEvery;
    QPushButton* cmdEqualParts;
    QLineEdit* txtNamePattern;
    QLabel* lblResult;
    QPlainTextEdit* txtLog;
    QProgressBar* progress_;
    QPushButton* cmdSplit;
    QPushButton* cmdClose;
    QAction* mnuSaveAs;
    QAction* mnuUndo;
    QAction* mnuRedo;
    QAction* mnuAddCut;
    QAction* mnuRemoveCut;
    QAction* mnuSnap;
    QAction* mnuCutOut;
    QAction* mnuKeepOnly;
    QAction* mnuTrim;
    QAction* mnuLouder;
    QAction* mnuQuieter;
    QAction* mnuFadeIn;
    QAction* mnuFadeOut;
    QAction* mnuMeasure;
    QAction* mnuPlaySelection;
    QAction* mnuPlayBefore;
    QAction* mnuPlayAcross;
    QAction* mnuPlayAfter;
    QAction* mnuStop;
    QAction* mnuZoomIn;
    QAction* mnuZoomOut;
    QAction* mnuZoomSelection;
    QAction* mnuZoomAll;

    CutPlayer* player_;
    CutMarks cuts_;
    QString failure_;
    std::int64_t samplesFrom_ = 0, samplesEnd_ = 0;  // the single samples asked for
    std::unique_ptr<EditorForm> form_;
    platform::LocalFileSystem files_;
    platform::TagLibEditor tags_;
    platform::Mpg123Decoder decoder_;
    bool ownerWorking_ = false;
    bool closeAfterWork_ = false;
    BackgroundWork::Writes writes_ = BackgroundWork::Writes::Parts;  // what the work writes
    // Last, so that they stop and end before the form, the files and the view they use go.
    std::unique_ptr<BackgroundWork> work_;
    std::unique_ptr<WaveDecoding> decoding_;
};

}  // namespace quorvel::ui
