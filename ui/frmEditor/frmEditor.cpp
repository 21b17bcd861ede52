#include "ui/frmEditor/frmEditor.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTableWidget>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <variant>

#include "engine/CueSheet.h"
#include "engine/Cut.h"
#include "engine/Loudness.h"
#include "engine/Numbers.h"
#include "engine/OutputNames.h"
#include "engine/PartLists.h"
#include "engine/R128Meter.h"
#include "engine/SourceAnalysis.h"
#include "engine/SplitTime.h"
#include "platform/CueSheetReader.h"
#include "platform/Dialogs.h"
#include "platform/Translations.h"
#include "ui/AppIcon.h"
#include "ui/CutPlayer.h"
#include "ui/Remembered.h"
#include "ui/Windows.h"
#include "ui/WorkResult.h"
#include "ui/frmEditor/EditModel.h"
#include "ui/frmEditor/EditorForm.h"
#include "ui/frmEditor/WaveView.h"

namespace quorvel::ui {

namespace {

// What the window remembers between runs: the names and the rules' last values.
const QString kNamePattern = QStringLiteral("partsNamePattern");
const QString kEvery = QStringLiteral("partsEvery");
const QString kCount = QStringLiteral("partsCount");

// More parts than this are no list anyone reads; a rule that makes more is refused.
constexpr std::int64_t kMostParts = 999;

std::string Separator() {
    return QLocale::system().decimalPoint().toStdString();
}

QString ClockTime(std::int64_t milliseconds) {
    return QString::fromStdString(FormatClockTime(milliseconds, Separator()));
}

QString ClockTime(std::chrono::microseconds time) {
    return ClockTime(std::chrono::round<std::chrono::milliseconds>(time).count());
}

std::optional<std::int64_t> ReadTime(const QString& text) {
    return ReadClockTime(text.trimmed().toStdString(), Separator());
}

}  // namespace

frmEditor::frmEditor(QWidget* owner, EditorSource source)
    : QMainWindow(owner, Qt::Window), source_(std::move(source)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmEditor"));
    setWindowTitle(tr("Edit %1").arg(QFileInfo(source_.Path).fileName()));
    setWindowIcon(AppIcon());
    model_ = new EditModel(source_.Levels.SamplingRate,
                           std::chrono::milliseconds(source_.Played.Ms()), this);
    player_ = new CutPlayer(this);
    CreateControls();
    CreateMenus();
    WindowKeys(this, false);  // Esc goes to the list's editing first
    form_ = std::make_unique<EditorForm>(this, grdParts, txtLog);
    txtNamePattern->setText(Remembered().value(kNamePattern).toString());
    work_ = std::make_unique<BackgroundWork>(*form_, files_);
    connect(work_.get(), &BackgroundWork::Progress, this, &frmEditor::BackgroundWork_Progress);
    connect(work_.get(), &BackgroundWork::Finished, this, &frmEditor::BackgroundWork_Finished);
    connect(player_, &CutPlayer::Failed, this, [this](const QString& message) {
        platform::Dialogs::Current().Message(this, message, windowTitle());
    });
    connect(model_, &EditModel::PartsChanged, this, &frmEditor::ShowParts);
    connect(model_, &EditModel::CursorChanged, this, [this] {
        view_->SetTime(model_->Cursor());
        view_->SetSelection(model_->Selection());
        ShowPosition();
        UpdateCommands();
    });
    connect(&model_->History(), &QUndoStack::indexChanged, this, &frmEditor::UpdateCommands);
    StartDecoding();
    ShowParts();
    ShowRule();
    SetTime(source_.TimeMs);
}

frmEditor::~frmEditor() = default;

bool frmEditor::Working() const {
    return work_->Running();
}

void frmEditor::StartDecoding() {
    connect(view_, &WaveView::ViewChanged, this, &frmEditor::View_ViewChanged);
    connect(view_, &WaveView::TimeChosen, this, &frmEditor::View_TimeChosen);
    connect(view_, &WaveView::SelectionChosen, this,
            [this](qint64 from, qint64 to) { model_->Select(from, to); });
    connect(hsbView, &QScrollBar::valueChanged, this,
            [this](int block) { view_->ScrollTo(double(block) * view_->BlockSamples()); });
    WaveDecoding::Results results;
    results.Blocks = [this](std::int64_t first, const std::vector<Peak>& peaks) {
        view_->AddBlocks(first, peaks);
    };
    results.Samples = [this](std::int64_t from, const std::vector<Peak>& samples) {
        view_->SetSamples(from, samples);
    };
    results.Cuts = [this](const CutMarks& marks) {
        if (marks.Ms != SplitMs(Ms(model_->Cursor()))) return;  // the cursor has moved on since
        cuts_ = marks;
        view_->SetCuts(marks);
        ShowPosition();
    };
    results.Silences = [this](const std::vector<Silence>& more) {
        view_->AddSilences(more);
        mnuSnap->setEnabled(true);
    };
    results.Failed = [this](const Message& why) {
        failure_ = platform::Translated(why);
        ShowPosition();
    };
    decoding_ = std::make_unique<WaveDecoding>(this, std::move(results), source_.Path,
                                               source_.Levels.SamplesPerFrame,
                                               std::int64_t(source_.Levels.Levels.size()));
}

std::int64_t frmEditor::Ms(std::int64_t sample) const {
    return std::llround(double(sample) * 1000 / std::max(1, source_.Levels.SamplingRate));
}

std::int64_t frmEditor::Sample(std::int64_t ms) const {
    return std::llround(double(ms) * source_.Levels.SamplingRate / 1000);
}

std::int64_t frmEditor::SplitMs(std::int64_t ms) const {
    return RuledTime(ms, source_.Exact);
}

void frmEditor::PlayCut(CutPlayer::Side side) {
    // A stretch removed where the cursor is, unless a part of the list is chosen: where the
    // audio goes on after it once saved.
    if (grdParts->currentRow() <= 0) {
        const std::int64_t at = model_->Cursor();
        for (const SampleSpan& gone : model_->Removed()) {
            if (gone.From <= at && at <= gone.End) {
                return player_->PlayRemoved(side, source_.Path, model_->RemovedTimes(),
                                            model_->LevelTimes(), gone.From);
            }
        }
    }
    const auto play = side == CutPlayer::Side::Before  ? &CutPlayer::PlayBefore
                      : side == CutPlayer::Side::After ? &CutPlayer::PlayAfter
                                                       : &CutPlayer::PlayAcross;
    (player_->*play)(source_.Path, PlayedCutMs(), source_.Exact);
}

std::int64_t frmEditor::PlayedCutMs() const {
    const int row = grdParts->currentRow();
    if (row > 0) {
        return std::chrono::round<std::chrono::milliseconds>(
                   model_->Parts()[std::size_t(row)].Start)
            .count();
    }
    return SplitMs(Ms(model_->Cursor()));
}

void frmEditor::SetTime(std::int64_t ms) {
    model_->SetCursor(Sample(ms));
    cuts_ = {};
    view_->SetCuts(cuts_);
    decoding_->WantCuts(SplitMs(Ms(model_->Cursor())));
    ShowPosition();
}

void frmEditor::SetExact(bool exact) {
    source_.Exact = exact;
    ShowRule();
    SetTime(Ms(model_->Cursor()));
}

void frmEditor::SetFolder(const QString& folder) {
    source_.Folder = folder;
    txtFolder->setText(folder);
}

void frmEditor::SetOwnerWorking(bool working) {
    ownerWorking_ = working;
    UpdateCommands();
}

void frmEditor::View_TimeChosen(qint64 sample) {
    model_->SetCursor(sample);
    CursorChosen();
}

void frmEditor::CursorChosen() {
    const std::int64_t ms = Ms(model_->Cursor());
    emit TimeChosen(ms);
    cuts_ = {};
    view_->SetCuts(cuts_);
    decoding_->WantCuts(SplitMs(ms));
    ShowPosition();
}

void frmEditor::View_ViewChanged() {
    const std::int32_t block = view_->BlockSamples();
    const auto first = static_cast<std::int64_t>(view_->First()) / block;
    const std::int64_t end = (view_->VisibleEnd() + block - 1) / block;
    {
        const QSignalBlocker quiet(hsbView);
        hsbView->setRange(0,
                          int(std::max<std::int64_t>(0, view_->Samples() / block - (end - first))));
        hsbView->setPageStep(int(std::max<std::int64_t>(1, end - first)));
        hsbView->setValue(int(first));
    }
    decoding_->WantBlocks(first, end);
    // Less than a frame a column: the single samples around the view, three views wide.
    if (view_->SamplesPerPixel() < block) {
        const auto from = static_cast<std::int64_t>(view_->First());
        const std::int64_t span = view_->VisibleEnd() - from;
        if (from < samplesFrom_ || view_->VisibleEnd() > samplesEnd_) {
            samplesFrom_ = std::max<std::int64_t>(0, from - span);
            samplesEnd_ = std::min(view_->Samples(), from + 2 * span);
            decoding_->WantSamples(samplesFrom_, samplesEnd_ - samplesFrom_);
        }
    }
    UpdateCommands();
}

void frmEditor::ShowPosition() {
    const std::string separator = Separator();
    const auto time = [&](std::int64_t ms) {
        return QString::fromStdString(FormatExactTime(ms, separator));
    };
    const std::int64_t ms = Ms(model_->Cursor());
    QString text = SplitMs(ms) == ms ? tr("Time %1.").arg(time(ms))
                                     : tr("Time %1, split at %2.").arg(time(ms), time(SplitMs(ms)));
    if (cuts_.SafeFrame) {
        text += "   " + tr("The frame rule cuts at %1.").arg(time(Ms(*cuts_.SafeFrame)));
    }
    if (cuts_.Exact) text += "   " + tr("The exact mode cuts at %1.").arg(time(Ms(*cuts_.Exact)));
    if (const SampleSpan& selected = model_->Selection(); !selected.Empty()) {
        text += "   " + tr("Selected from %1 to %2, %3 long.")
                            .arg(time(Ms(selected.From)), time(Ms(selected.End)),
                                 time(Ms(selected.End - selected.From)));
    }
    if (!failure_.isEmpty()) text += "   " + failure_;
    lblPosition->setText(text);
}

void frmEditor::ShowRule() {
    txtRule->setText(source_.Exact ? tr("Exactly at each start")
                                   : tr("At the first safe frame from each start"));
}

void frmEditor::StopAndClose() {
    closeAfterWork_ = true;
    if (!work_->Running()) {
        close();
        return;
    }
    work_->Stop();
    // A box the work waits on is answered as cancelled, so that the work can end.
    if (QWidget* box = QApplication::activeModalWidget(); box && box != this) box->close();
}

void frmEditor::closeEvent(QCloseEvent* event) {
    // A split or an edit under way is stopped if the user agrees, leaving the folder as it
    // was, and the window closes once it has ended.
    if (work_->Running()) {
        event->ignore();
        if (!closeAfterWork_) closeAfterWork_ = work_->StopToClose(this, writes_);
        return;
    }
    // The user closing it is asked before audio edits not saved are lost; the main window
    // closing it (another file, the end) is not.
    if (event->spontaneous() && !KeepsUnsavedEdits()) {
        event->ignore();
        return;
    }
    event->accept();
    player_->Stop();
    Remembered().setValue(kNamePattern, txtNamePattern->text());
    emit Unloaded();
}

void frmEditor::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (KeepsUnsavedEdits()) close();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

bool frmEditor::KeepsUnsavedEdits() {
    return !model_->Unsaved() ||
           platform::Dialogs::Current().Question(
               this, tr("The audio edits are not saved. Close the editor and lose them?"),
               windowTitle());
}

void frmEditor::AddCut(std::chrono::microseconds at) {
    EditModel::Refused refused = EditModel::Refused::None;
    const int row = model_->AddCut(at, refused);
    switch (refused) {
        case EditModel::Refused::Outside:
            return Refuse(tr("A cut at %1 lies outside the source, which lasts %2.")
                              .arg(ClockTime(at), ClockTime(source_.Played.Ms())));
        case EditModel::Refused::Taken:
            return Refuse(tr("There is a cut at %1 already.").arg(ClockTime(at)));
        case EditModel::Refused::None:
            break;
    }
    grdParts->setCurrentCell(row, kTitle);
}

void frmEditor::cmdAdd_Click() {
    const auto at = ReadTime(txtCutAt->text());
    if (!at) {
        Refuse(tr("Write the time as [h:]m:ss, with up to three decimals: %1.")
                   .arg(ClockTime(3723250)));
        return;
    }
    AddCut(std::chrono::milliseconds(*at));
    txtCutAt->clear();
}

void frmEditor::mnuAddCut_Click() {
    AddCut(std::chrono::milliseconds(Ms(model_->Cursor())));
}

void frmEditor::mnuRemoveCut_Click() {
    // The part before takes over the removed part's time.
    model_->RemoveCut(grdParts->currentRow());
}

void frmEditor::cmdImportCue_Click() {
    const QString path = platform::Dialogs::Current().OpenFileName(
        this, tr("Import Cue Sheet"), tr("Cue Sheets (*.cue)"),
        QFileInfo(source_.Path).absolutePath());
    if (path.isEmpty()) return;
    const auto read = platform::ReadCueSheet(path.toStdString());
    if (const auto* refusal = std::get_if<Message>(&read)) {
        form_->MessageBox(*refusal);
        return;
    }
    const CueSheet& sheet = std::get<CueSheet>(read);
    if (const auto refusal = CheckCueTracks(sheet, source_.Played.Ms())) {
        form_->MessageBox(*refusal);
        return;
    }
    if (const auto warning = CheckCueAudioFile(sheet, source_.Path.toStdString())) {
        form_->ShowLine(*warning, false);
        form_->ScrollLog();
    }
    model_->ReplaceParts(CueStarts(sheet), tr("Cue Sheet"));
}

void frmEditor::cmdChapters_Click() {
    std::vector<PartStart> parts;
    try {
        const auto source = files_.OpenSource(source_.Path.toStdString());
        auto read = ChapterStarts(*source, tags_, Separator());
        if (const auto* refusal = std::get_if<Message>(&read)) {
            form_->MessageBox(*refusal);
            return;
        }
        parts = std::get<std::vector<PartStart>>(std::move(read));
    } catch (const FileError& error) {
        form_->MessageBox(error.Message());
        return;
    }
    // A chapter past the end of the audio starts no part.
    std::erase_if(parts, [&](const PartStart& part) {
        return part.Start >= std::chrono::milliseconds(source_.Played.Ms());
    });
    if (parts.empty()) {
        Refuse(tr("%1 has no chapters.").arg(source_.Path));
        return;
    }
    model_->ReplaceParts(parts, tr("Chapters"));
}

void frmEditor::cmdEvery_Click() {
    const QString text = platform::Dialogs::Current().InputText(
        this, tr("Cut every ([h:]m:ss[.fff]):"), windowTitle(),
        Remembered().value(kEvery, ClockTime(5 * 60 * 1000)).toString());
    if (text.isEmpty()) return;
    Remembered().setValue(kEvery, text);
    const auto step = ReadTime(text);
    const std::int64_t length = source_.Played.Ms();
    if (!step) {
        Refuse(tr("Write the time as [h:]m:ss, with up to three decimals: %1.")
                   .arg(ClockTime(3723250)));
        return;
    }
    if (*step <= 0 || *step >= length) {
        Refuse(tr("Cutting every %1 leaves the source whole: give a time shorter than its "
                  "length, %2.")
                   .arg(ClockTime(*step), ClockTime(length)));
        return;
    }
    if ((length + *step - 1) / *step > kMostParts) {
        Refuse(
            tr("Cutting every %1 makes more than %2 parts.").arg(ClockTime(*step)).arg(kMostParts));
        return;
    }
    model_->ReplaceParts(EveryStarts(std::chrono::milliseconds(*step), source_.Played),
                         tr("Every %1").arg(ClockTime(*step)));
}

void frmEditor::cmdEqualParts_Click() {
    const QString text = platform::Dialogs::Current().InputText(
        this, tr("Number of parts:"), windowTitle(),
        Remembered().value(kCount, QString::number(grdParts->rowCount() + 1)).toString());
    if (text.isEmpty()) return;
    Remembered().setValue(kCount, text);
    bool number = false;
    const int count = text.trimmed().toInt(&number);
    if (!number || count < 2 || count > kMostParts) {
        Refuse(tr("Give a number of parts from 2 to %1.").arg(kMostParts));
        return;
    }
    model_->ReplaceParts(EqualStarts(count, source_.Played), tr("%n Equal Parts", "", count));
}

void frmEditor::cmdSplit_Click() {
    if (model_->AudioEdited()) {
        return Refuse(
            tr("The split writes the parts of the file as it is, without the audio "
               "edits made here: save the edited file with File > Save As, then split "
               "that file."));
    }
    SplitRequest request;
    request.Source = source_.Path.toStdString();
    request.Folder = source_.Folder.toStdString();
    request.Parts = PartsAt(model_->Parts());
    request.Parts.NamePattern = txtNamePattern->text().toStdString();
    request.Exact = source_.Exact;
    request.Walked = source_.Walked;
    request.Separator = Separator();
    request.ExactHint = EditorForm::ExactHint();
    StartWork(
        [this, request](Reporter& reporter, FileSystem& files) -> BackgroundWork::Done {
            const SplitReport report = Split(request, files, tags_, decoder_, reporter);
            return [this, report] {
                ShowResult(report);
                if (report.Problem) form_->ShowProblem(*report.Problem);
                if (report.Scroll) form_->ScrollLog();
            };
        },
        // The walk to the cuts and the writing, which the seam check goes along with.
        2, BackgroundWork::Writes::Parts);
}

void frmEditor::mnuCut_Click(bool keepOnly) {
    TellRemoval(model_->RemoveSelection(keepOnly, source_.Played.Samples));
}

void frmEditor::TellRemoval(EditModel::Removal removal) {
    switch (removal) {
        case EditModel::Removal::Nothing:
            return Refuse(tr("That is removed already: there is nothing more to remove."));
        case EditModel::Removal::Everything:
            return Refuse(tr("That would remove all the audio: nothing would be left."));
        case EditModel::Removal::Removed:
            break;
    }
}

void frmEditor::mnuTrim_Click() {
    const std::string path = source_.Path.toStdString();
    StartWork(
        [this, path](Reporter& reporter, FileSystem& files) -> BackgroundWork::Done {
            reporter.Begin(Tr("Trim", "Looking for the silence at either end of %1").Arg(path));
            TrimRequest rule;
            // Any silence longer than what is kept of it is worth trimming.
            rule.Silence.MinSeconds = rule.KeepSeconds;
            const FileSilences silences = FindSilences(decoder_, files, path, rule.Silence);
            const auto sound = SoundOf(silences);
            if (!sound) {
                reporter.Log(Tr("Trim", "%1 is silence alone: nothing would be left.").Arg(path));
                return [this] { ShowEnd(Ended::Refused, std::nullopt, {}); };
            }
            const PlayedSpan kept = KeptAround(*sound, rule.KeepSeconds, silences);
            reporter.Log(Tr("Trim", "The sound plays from %1 to %2: the edit keeps %3 to %4.")
                             .Arg(FormatExactTime(Ms(sound->From), Separator()))
                             .Arg(FormatExactTime(Ms(sound->End), Separator()))
                             .Arg(FormatExactTime(Ms(kept.From), Separator()))
                             .Arg(FormatExactTime(Ms(kept.End), Separator())));
            return [this, kept] {
                TellRemoval(model_->KeepOnly({kept.From, kept.End}, source_.Played.Samples,
                                             tr("Trim Silence")));
            };
        },
        // The silences searched from the start to the end.
        1, BackgroundWork::Writes::Nothing);
}

void frmEditor::mnuMeasure_Click() {
    const SampleSpan selected = model_->Selection();
    const std::string path = source_.Path.toStdString();
    // The selection as it plays with the levels changed so far.
    const std::vector<LevelChange> levels = model_->LevelTimes();
    StartWork(
        [this, path, selected, levels](Reporter& reporter,
                                       FileSystem& files) -> BackgroundWork::Done {
            const auto time = [this](std::int64_t sample) {
                return FormatExactTime(Ms(sample), Separator());
            };
            reporter.Begin(Tr("Loudness", "Measuring the loudness of %1 from %2 to %3")
                               .Arg(path)
                               .Arg(time(selected.From))
                               .Arg(time(selected.End)));
            R128Meter meter;
            const Loudness loudness = MeasureStretch(decoder_, meter, files, path, selected.From,
                                                     selected.End, true, levels);
            const auto decibels = [](double value) {
                return std::isfinite(value) ? FormatNumber(std::round(value * 10) / 10, ".")
                                            : std::string("-inf");
            };
            const Message said = Tr("Loudness", "integrated: %1 LUFS, range: %2 LU, peak: %3 dBFS")
                                     .Arg(decibels(loudness.IntegratedLufs))
                                     .Arg(decibels(loudness.RangeLu))
                                     .Arg(decibels(loudness.PeakDbfs()));
            reporter.Log(said);
            return [this, said] {
                ShowEnd(Ended::Completed, std::nullopt, platform::Translated(said));
            };
        },
        // The selection decoded.
        1, BackgroundWork::Writes::Nothing);
}

void frmEditor::mnuSaveAs_Click() {
    const QString output = AskOutput(tr("Save As"), tr("%1 (edited)"));
    if (output.isEmpty()) return;
    CutOutRequest request;
    request.Files = {{source_.Path.toStdString()}, output.toStdString(), ExistingOutputs::Ask};
    request.Remove = model_->RemovedTimes();
    request.Levels = model_->LevelTimes();
    const auto saved = std::pair{model_->Removed(), model_->Levels()};
    StartWork(
        [this, request, saved](Reporter& reporter, FileSystem& files) -> BackgroundWork::Done {
            const EditReport report = CutOut(request, files, tags_, decoder_, reporter);
            return [this, report, saved] {
                if (report.Outcome == EditOutcome::Completed &&
                    std::pair{model_->Removed(), model_->Levels()} == saved) {
                    model_->MarkSaved();
                }
                ShowResult(report);
                if (report.Problem) form_->ShowProblem(*report.Problem);
                form_->ScrollLog();
            };
        },
        // The walk over the frames and the writing, then the seams decoded.
        3, BackgroundWork::Writes::Output);
}

QString frmEditor::AskOutput(const QString& title, const QString& name) {
    const QFileInfo source(source_.Path);
    const QString proposed =
        QDir(source_.Folder).filePath(name.arg(source.completeBaseName()) + u'.' + source.suffix());
    return platform::Dialogs::Current().SaveFileName(this, title, tr("MPEG Audio Files (*.mp3)"),
                                                     proposed);
}

void frmEditor::StartWork(BackgroundWork::Work work, int phases, BackgroundWork::Writes writes) {
    writes_ = writes;
    QApplication::setOverrideCursor(Qt::BusyCursor);
    progress_->setValue(0);
    lblResult->clear();
    lblResult->hide();
    work_->Start(std::move(work), phases);
    UpdateCommands();
    emit WorkChanged(true);
}

void frmEditor::ShowResult(const SplitReport& report) {
    const auto ended = [&] {
        switch (report.Outcome) {
            case SplitOutcome::Completed:
                return Ended::Completed;
            case SplitOutcome::Stopped:
                return Ended::Stopped;
            case SplitOutcome::Failed:
                return Ended::Failed;
            case SplitOutcome::Refused:
            case SplitOutcome::NoSafePosition:
            case SplitOutcome::Declined:
                break;
        }
        return Ended::Refused;
    };
    ShowEnd(ended(), report.Problem,
            tr("Completed: %1 parts written to %2.").arg(report.Paths.size()).arg(source_.Folder));
}

void frmEditor::ShowResult(const EditReport& report) {
    ShowEnd(EndOf(report.Outcome), report.Problem, EditWritten(report));
}

void frmEditor::ShowEnd(Ended ended, const std::optional<Refusal>& problem,
                        const QString& completed) {
    // Why it changed nothing: the refusal's own text, or the log's last line that says so.
    const QString why = problem ? platform::Translated(problem->Text) : form_->LastLine();
    if (ended == Ended::Completed) progress_->setValue(progress_->maximum());
    lblResult->setText(ResultText(ended, completed, why));
    lblResult->show();
}

void frmEditor::cmdClose_Click() {
    if (work_->Running()) {
        work_->Stop();
    } else if (KeepsUnsavedEdits()) {
        close();
    }
}

void frmEditor::BackgroundWork_Progress(int percent) {
    progress_->setValue(percent);
}

void frmEditor::BackgroundWork_Finished() {
    QApplication::restoreOverrideCursor();
    UpdateCommands();
    emit WorkChanged(false);
    if (closeAfterWork_) close();
}

void frmEditor::grdParts_ItemChanged(QTableWidgetItem* item) {
    if (item->column() == kTitle) model_->SetTitle(item->row(), item->text());
    if (item->column() == kPerformer) model_->SetPerformer(item->row(), item->text());
}

void frmEditor::grdParts_CurrentRowChanged() {
    ShowCutsOnView();
    UpdateCommands();
    const int row = grdParts->currentRow();
    if (row < 0 || row >= int(model_->Parts().size())) return;
    // A part chosen in the list: the cursor goes to its start.
    model_->SetCursor(model_->Sample(model_->Parts()[std::size_t(row)].Start));
    CursorChosen();
}

void frmEditor::ShowParts() {
    const std::vector<PartStart>& parts = model_->Parts();
    const int rows = static_cast<int>(parts.size());
    {
        // The table shows the model: its own signals would edit the model back.
        const QSignalBlocker quiet(grdParts);
        const int current = std::min(grdParts->currentRow(), rows - 1);
        grdParts->setRowCount(rows);
        const auto cell = [this](int row, Column column, bool editable) {
            QTableWidgetItem* item = grdParts->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                if (!editable) {
                    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
                    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                }
                grdParts->setItem(row, column, item);
            }
            return item;
        };
        const std::chrono::microseconds length = std::chrono::milliseconds(source_.Played.Ms());
        for (int row = 0; row < rows; ++row) {
            const PartStart& part = parts[std::size_t(row)];
            const std::chrono::microseconds end =
                row + 1 < rows ? parts[std::size_t(row) + 1].Start : length;
            cell(row, kStart, false)->setText(ClockTime(part.Start));
            cell(row, kLength, false)
                ->setText(ClockTime(std::max(end - part.Start, std::chrono::microseconds(0))));
            cell(row, kTitle, true)->setText(QString::fromStdString(part.Title));
            cell(row, kPerformer, true)->setText(QString::fromStdString(part.Performer));
        }
        if (current >= 0 && grdParts->currentRow() != current) {
            grdParts->setCurrentCell(current, std::max(0, grdParts->currentColumn()));
        }
    }
    view_->SetRemoved(model_->Removed());
    view_->SetLevelEdits(model_->Levels());
    txtLength->setText(model_->Removed().empty()
                           ? ClockTime(source_.Played.Ms())
                           : tr("%1, %2 once edited")
                                 .arg(ClockTime(source_.Played.Ms()),
                                      ClockTime(Ms(model_->KeptSamples(source_.Played.Samples)))));
    // The names the parts get where no pattern is given.
    const auto names = PartPaths({}, source_.Path.toStdString(), std::size_t(rows));
    const auto name = [](const std::string& path) {
        return QFileInfo(QString::fromStdString(path)).fileName();
    };
    txtNamePattern->setPlaceholderText(
        rows == 1 ? name(names.front())
                  : tr("%1 to %2").arg(name(names.front()), name(names.back())));
    ShowCutsOnView();
    UpdateCommands();
}

void frmEditor::ShowCutsOnView() {
    std::vector<std::int64_t> cuts;
    for (std::size_t row = 1; row < model_->Parts().size(); ++row) {
        cuts.push_back(model_->Sample(model_->Parts()[row].Start));
    }
    view_->SetPartCuts(std::move(cuts), grdParts->currentRow() - 1);
}

void frmEditor::UpdateCommands() {
    const bool idle = !work_->Running();
    for (QWidget* control :
         std::initializer_list<QWidget*>{grdParts, txtCutAt, cmdAdd, cmdImportCue, cmdChapters,
                                         cmdEvery, cmdEqualParts, txtNamePattern}) {
        control->setEnabled(idle);
    }
    QUndoStack& history = model_->History();
    mnuUndo->setEnabled(idle && history.canUndo());
    mnuUndo->setText(history.canUndo() ? tr("&Undo %1").arg(history.undoText()) : tr("&Undo"));
    mnuRedo->setEnabled(idle && history.canRedo());
    mnuRedo->setText(history.canRedo() ? tr("&Redo %1").arg(history.redoText()) : tr("&Redo"));
    mnuAddCut->setEnabled(idle);
    const bool cut = idle && grdParts->currentRow() > 0;
    cmdRemove->setEnabled(cut);
    mnuRemoveCut->setEnabled(cut);
    const bool selected = !model_->Selection().Empty();
    mnuPlaySelection->setEnabled(selected);
    // Like the split, the edits wait for the main window's work.
    const bool free = idle && !ownerWorking_;
    mnuCutOut->setEnabled(idle && selected);
    mnuKeepOnly->setEnabled(idle && selected);
    mnuTrim->setEnabled(idle);
    mnuSaveAs->setEnabled(free && model_->AudioEdited());
    for (QAction* level : {mnuLouder, mnuQuieter, mnuFadeIn, mnuFadeOut, mnuMeasure}) {
        level->setEnabled(idle && selected);
    }
    mnuZoomSelection->setEnabled(selected);
    cmdSplit->setEnabled(free && grdParts->rowCount() > 1);
    cmdClose->setText(idle ? tr("Close") : tr("S&top"));
}

void frmEditor::Refuse(const QString& text) {
    platform::Dialogs::Current().Message(this, text, platform::kApplicationTitle);
}

}  // namespace quorvel::ui
