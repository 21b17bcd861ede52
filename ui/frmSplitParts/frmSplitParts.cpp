#include "ui/frmSplitParts/frmSplitParts.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <variant>

#include "engine/CueSheet.h"
#include "engine/Numbers.h"
#include "engine/OutputNames.h"
#include "engine/PartLists.h"
#include "engine/SourceAnalysis.h"
#include "platform/CueSheetReader.h"
#include "platform/Dialogs.h"
#include "platform/Translations.h"
#include "ui/AppIcon.h"
#include "ui/Remembered.h"
#include "ui/Windows.h"
#include "ui/frmSplitParts/SplitPartsForm.h"

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

frmSplitParts::frmSplitParts(QWidget* owner) : QDialog(owner) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Split into Several Parts"));
    setWindowIcon(AppIcon());
    CreateControls();
    WindowKeys(this, false);  // Esc is the dialog's own
    form_ = std::make_unique<SplitPartsForm>(this, grdParts, txtLog);
    txtNamePattern->setText(Remembered().value(kNamePattern).toString());
    work_ = std::make_unique<BackgroundWork>(*form_, files_);
    connect(work_.get(), &BackgroundWork::Progress, this, &frmSplitParts::BackgroundWork_Progress);
    connect(work_.get(), &BackgroundWork::Finished, this, &frmSplitParts::BackgroundWork_Finished);
}

frmSplitParts::~frmSplitParts() = default;

void frmSplitParts::Open(const PartsSource& source) {
    source_ = source;
    played_ = source.Played.value_or(PlayedLength{});
    txtSource->setText(source.Path);
    txtFolder->setText(source.Folder);
    txtRule->setText(source.Exact ? tr("Exactly at each start")
                                  : tr("At the first safe frame from each start"));
    ShowParts({PartStart{}});
    UpdateCommands();
    FitWithinScreen(this);
    CentreOver(this, parentWidget());
    open();
    if (source_.Played) return;
    const std::string path = source.Path.toStdString();
    RunInBackground([this, path](Reporter& reporter, FileSystem& files) -> BackgroundWork::Done {
        auto analysis = std::make_shared<const Analysis>(
            AnalyseSource(files, path, reporter, {.Frames = true}));
        return [this, analysis] {
            if (const auto fields = Fields(*analysis, Separator())) form_->ShowFields(*fields);
            if (analysis->Problem) form_->MessageBox(analysis->Problem->Text);
            if (analysis->Outcome == AnalysisOutcome::FramesFound) {
                source_.Played = analysis->Played;
                source_.Walked = analysis->Walked;
            }
            played_ = source_.Played.value_or(PlayedLength{});
            ShowTimes();
        };
    });
}

void frmSplitParts::StopAndClose() {
    closeAfterWork_ = true;
    if (!work_->Running()) {
        close();
        return;
    }
    work_->Stop();
    // A box the work waits on is answered as cancelled, so that the work can end.
    if (QWidget* box = QApplication::activeModalWidget(); box && box != this) box->close();
}

void frmSplitParts::closeEvent(QCloseEvent* event) {
    // A split under way is stopped if the user agrees, leaving the folder as it was, and
    // the window closes once it has ended; an analysis is simply stopped.
    if (work_->Running()) {
        event->ignore();
        if (!closeAfterWork_) closeAfterWork_ = work_->StopToClose(this, splitting_);
        return;
    }
    event->accept();
    Remembered().setValue(kNamePattern, txtNamePattern->text());
    emit Unloaded();
}

void frmSplitParts::reject() {
    close();
}

void frmSplitParts::cmdAdd_Click() {
    const auto at = ReadTime(txtCutAt->text());
    if (!at) {
        Refuse(tr("Write the time as [h:]m:ss, with up to three decimals: %1.")
                   .arg(ClockTime(3723250)));
        return;
    }
    if (*at <= 0 || *at >= DurationMs()) {
        Refuse(tr("A cut at %1 lies outside the source, which lasts %2.")
                   .arg(ClockTime(*at), ClockTime(DurationMs())));
        return;
    }
    const std::chrono::microseconds start = std::chrono::milliseconds(*at);
    std::vector<PartStart> parts = Parts();
    const auto next =
        std::ranges::find_if(parts, [&](const PartStart& part) { return part.Start >= start; });
    if (next != parts.end() && next->Start == start) {
        Refuse(tr("There is a cut at %1 already.").arg(ClockTime(*at)));
        return;
    }
    const int row = static_cast<int>(next - parts.begin());
    parts.insert(next, PartStart{start, {}, {}});
    ShowParts(parts);
    grdParts->setCurrentCell(row, kTitle);
    txtCutAt->clear();
}

void frmSplitParts::cmdRemove_Click() {
    // The part before takes over the removed part's time.
    const int row = grdParts->currentRow();
    if (row <= 0) return;
    grdParts->removeRow(row);
    ShowTimes();
    UpdateCommands();
}

void frmSplitParts::cmdImportCue_Click() {
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
    if (const auto refusal = CheckCueTracks(sheet, DurationMs())) {
        form_->MessageBox(*refusal);
        return;
    }
    if (const auto warning = CheckCueAudioFile(sheet, source_.Path.toStdString())) {
        form_->ShowLine(*warning, false);
        form_->ScrollLog();
    }
    ShowParts(CueStarts(sheet));
}

void frmSplitParts::cmdChapters_Click() {
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
        return part.Start >= std::chrono::milliseconds(DurationMs());
    });
    if (parts.empty()) {
        Refuse(tr("%1 has no chapters.").arg(source_.Path));
        return;
    }
    ShowParts(parts);
}

void frmSplitParts::cmdEvery_Click() {
    const QString text = platform::Dialogs::Current().InputText(
        this, tr("Cut every ([h:]m:ss[.fff]):"), windowTitle(),
        Remembered().value(kEvery, ClockTime(5 * 60 * 1000)).toString());
    if (text.isEmpty()) return;
    Remembered().setValue(kEvery, text);
    const auto step = ReadTime(text);
    if (!step) {
        Refuse(tr("Write the time as [h:]m:ss, with up to three decimals: %1.")
                   .arg(ClockTime(3723250)));
        return;
    }
    if (*step <= 0 || *step >= DurationMs()) {
        Refuse(tr("Cutting every %1 leaves the source whole: give a time shorter than its "
                  "length, %2.")
                   .arg(ClockTime(*step), ClockTime(DurationMs())));
        return;
    }
    const std::int64_t count = (DurationMs() + *step - 1) / *step;
    if (count > kMostParts) {
        Refuse(
            tr("Cutting every %1 makes more than %2 parts.").arg(ClockTime(*step)).arg(kMostParts));
        return;
    }
    ShowParts(EveryStarts(std::chrono::milliseconds(*step), played_));
}

void frmSplitParts::cmdEqualParts_Click() {
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
    ShowParts(EqualStarts(count, played_));
}

void frmSplitParts::cmdSplit_Click() {
    SplitRequest request;
    request.Source = source_.Path.toStdString();
    request.Folder = source_.Folder.toStdString();
    request.Parts = PartsAt(Parts());
    request.Parts.NamePattern = txtNamePattern->text().toStdString();
    request.Exact = source_.Exact;
    request.Walked = source_.Walked;
    request.Separator = Separator();
    request.ExactHint = SplitPartsForm::ExactHint();
    splitting_ = true;
    RunInBackground(
        [this, request](Reporter& reporter, FileSystem& files) -> BackgroundWork::Done {
            const SplitReport report = Split(request, files, tags_, decoder_, reporter);
            return [this, report] {
                ShowResult(report);
                if (report.Problem) form_->ShowProblem(*report.Problem);
                if (report.Scroll) form_->ScrollLog();
            };
        },
        // The walk to the cuts and the writing, which the seam check goes along with.
        2);
}

void frmSplitParts::ShowResult(const SplitReport& report) {
    // Why it changed nothing: the refusal's own text, or the log's last line that says so.
    const QString why =
        report.Problem ? platform::Translated(report.Problem->Text) : form_->LastLine();
    switch (report.Outcome) {
        case SplitOutcome::Completed:
            progress_->setValue(progress_->maximum());
            lblResult->setText(tr("Completed: %1 parts written to %2.")
                                   .arg(report.Paths.size())
                                   .arg(source_.Folder));
            break;
        case SplitOutcome::Stopped:
            lblResult->setText(tr("Stopped: nothing was changed."));
            break;
        case SplitOutcome::Failed:
            lblResult->setText(tr("Failed: %1").arg(why));
            break;
        case SplitOutcome::Refused:
        case SplitOutcome::NoSafePosition:
        case SplitOutcome::Declined:
            lblResult->setText(tr("Refused: %1").arg(why));
            break;
    }
}

void frmSplitParts::cmdClose_Click() {
    if (work_->Running()) {
        work_->Stop();
    } else {
        close();
    }
}

void frmSplitParts::BackgroundWork_Progress(int percent) {
    progress_->setValue(percent);
}

void frmSplitParts::BackgroundWork_Finished() {
    QApplication::restoreOverrideCursor();
    splitting_ = false;
    UpdateCommands();
    // Without a length there is nothing to cut: the analysis has said why.
    if (closeAfterWork_ || !source_.Played) {
        closeAfterWork_ = true;
        close();
    }
}

std::vector<PartStart> frmSplitParts::Parts() const {
    std::vector<PartStart> parts;
    for (int row = 0; row < grdParts->rowCount(); ++row) {
        parts.push_back({std::chrono::microseconds(
                             grdParts->item(row, kStart)->data(Qt::UserRole).toLongLong()),
                         grdParts->item(row, kTitle)->text().toStdString(),
                         grdParts->item(row, kPerformer)->text().toStdString()});
    }
    return parts;
}

void frmSplitParts::ShowParts(const std::vector<PartStart>& parts) {
    grdParts->setRowCount(static_cast<int>(parts.size()));
    for (int row = 0; row < grdParts->rowCount(); ++row) {
        const PartStart& part = parts[std::size_t(row)];
        for (const Column column : {kStart, kLength}) {
            auto* time = new QTableWidgetItem;
            time->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
            time->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grdParts->setItem(row, column, time);
        }
        grdParts->item(row, kStart)
            ->setData(Qt::UserRole, qint64(row == 0 ? 0 : part.Start.count()));
        grdParts->setItem(row, kTitle, new QTableWidgetItem(QString::fromStdString(part.Title)));
        grdParts->setItem(row, kPerformer,
                          new QTableWidgetItem(QString::fromStdString(part.Performer)));
    }
    ShowTimes();
    UpdateCommands();
}

void frmSplitParts::ShowTimes() {
    txtLength->setText(source_.Played ? ClockTime(DurationMs()) : QString());
    const int rows = grdParts->rowCount();
    // The starts are held in microseconds (PartStart).
    const auto startOf = [&](int row) {
        return std::chrono::microseconds(
            grdParts->item(row, kStart)->data(Qt::UserRole).toLongLong());
    };
    for (int row = 0; row < rows; ++row) {
        const std::chrono::microseconds end =
            row + 1 < rows ? startOf(row + 1) : std::chrono::milliseconds(DurationMs());
        grdParts->item(row, kStart)->setText(ClockTime(startOf(row)));
        grdParts->item(row, kLength)
            ->setText(ClockTime(std::max(end - startOf(row), std::chrono::microseconds(0))));
    }
    // The names the parts get where no pattern is given.
    const auto names = PartPaths({}, source_.Path.toStdString(), std::size_t(rows));
    const auto name = [](const std::string& path) {
        return QFileInfo(QString::fromStdString(path)).fileName();
    };
    txtNamePattern->setPlaceholderText(
        rows == 1 ? name(names.front())
                  : tr("%1 to %2").arg(name(names.front()), name(names.back())));
}

void frmSplitParts::UpdateCommands() {
    const bool idle = !work_->Running();
    for (QWidget* control :
         std::initializer_list<QWidget*>{grdParts, txtCutAt, cmdAdd, cmdImportCue, cmdChapters,
                                         cmdEvery, cmdEqualParts, txtNamePattern}) {
        control->setEnabled(idle);
    }
    cmdRemove->setEnabled(idle && grdParts->currentRow() > 0);
    cmdSplit->setEnabled(idle && grdParts->rowCount() > 1);
    cmdClose->setText(idle ? tr("Close") : tr("S&top"));
}

void frmSplitParts::RunInBackground(BackgroundWork::Work work, int phases) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
    progress_->setValue(0);
    lblResult->clear();
    work_->Start(std::move(work), phases);
    UpdateCommands();
}

void frmSplitParts::Refuse(const QString& text) {
    platform::Dialogs::Current().Message(this, text, platform::kApplicationTitle);
}

}  // namespace quorvel::ui
