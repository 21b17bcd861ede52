#pragma once

#include <QDialog>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "engine/ChainRecord.h"
#include "engine/FrameHeader.h"
#include "engine/PartLists.h"
#include "engine/Split.h"
#include "platform/LocalFileSystem.h"
#include "platform/Mpg123Decoder.h"
#include "platform/TagLibEditor.h"
#include "ui/BackgroundWork.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace quorvel::ui {

class SplitPartsForm;

// What the window cuts, as the main window has it when it opens the window.
struct PartsSource {
    QString Path;
    QString Folder;
    bool Exact = false;                         // File > Split Exactly at the Time Given
    std::optional<PlayedLength> Played;         // none: the window analyses the source first
    std::shared_ptr<const ChainRecord> Walked;  // its frames, where the analysis kept them
};

// The split into several parts: a table of the parts, filled by hand, from a cue sheet, from
// the source's chapters or by a rule, and split on a thread of its own. It works over the
// main window's source, folder and mode, and tells its run in the main window's log through
// its signals.
class frmSplitParts : public QDialog {
    Q_OBJECT

  public:
    explicit frmSplitParts(QWidget* owner);
    ~frmSplitParts() override;

    // Whether an analysis or a split is under way.
    bool Working() const { return work_->Running(); }
    // Shows the window over this source, as one part, the whole of it; where the source's
    // length is not given, it is analysed first, and the window closes where it has none.
    void Open(const PartsSource& source);
    // Stops the work under way without asking and closes the window once it has ended.
    void StopAndClose();

    // The form its work reports through: its signals carry what the main window's fields
    // and log are to show (the window's own analysis fills the main window's fields).
    const SplitPartsForm& Form() const { return *form_; }

  signals:
    // The window is closing.
    void Unloaded();

  protected:
    void closeEvent(QCloseEvent* event) override;
    // Esc closes the window as its close box does, asking first while a split runs.
    void reject() override;

  private:
    // The columns of the table of parts.
    enum Column { kStart, kLength, kTitle, kPerformer };

    // In frmSplitPartsLayout.cpp: the controls in their layouts.
    void CreateControls();

    void cmdAdd_Click();
    void cmdRemove_Click();
    void cmdImportCue_Click();
    void cmdChapters_Click();
    void cmdEvery_Click();
    void cmdEqualParts_Click();
    void cmdSplit_Click();
    void cmdClose_Click();
    void BackgroundWork_Progress(int percent);
    // Tells in the window how the split ended, and why where it changed nothing.
    void ShowResult(const SplitReport& report);
    void BackgroundWork_Finished();

    // The parts as the table holds them, in order.
    std::vector<PartStart> Parts() const;
    // Fills the table with these parts, which must be in order and start before the
    // source's end; the first begins at 0:00 wherever its own start lies.
    void ShowParts(const std::vector<PartStart>& parts);
    // Shows each part's start and length, and the names the parts get without a pattern.
    void ShowTimes();
    // Replaces the table with parts that start every `step` from the start. Returns
    // whether they were few enough to list.
    bool ShowEvery(std::int64_t step, std::int64_t count);
    void UpdateCommands();
    // `phases`: the passes the work reads or writes its files in, for one progress bar.
    void RunInBackground(BackgroundWork::Work work, int phases = 1);
    void Refuse(const QString& text);
    std::int64_t DurationMs() const { return played_.Ms(); }

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

    PartsSource source_;
    PlayedLength played_;
    std::unique_ptr<SplitPartsForm> form_;
    platform::LocalFileSystem files_;
    platform::TagLibEditor tags_;
    platform::Mpg123Decoder decoder_;
    bool splitting_ = false;  // the work under way is a split
    bool closeAfterWork_ = false;
    // Last, so that it stops and ends before the form and the files it uses go.
    std::unique_ptr<BackgroundWork> work_;
};

}  // namespace quorvel::ui
