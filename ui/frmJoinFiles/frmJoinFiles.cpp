#include "ui/frmJoinFiles/frmJoinFiles.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "engine/Join.h"
#include "platform/Dialogs.h"
#include "platform/Translations.h"
#include "ui/AppIcon.h"
#include "ui/Windows.h"
#include "ui/WorkResult.h"

namespace quorvel::ui {

// The join as its work reports to the window: its log, and its one question in a box.
class frmJoinFiles::JoinForm final : public WorkWindow {
  public:
    JoinForm(QWidget* window, QPlainTextEdit* log) : window_(window), log_(log) {}

    void ShowLine(const Message& line, bool first) override {
        lastLine_ = platform::Translated(line);
        if (first) log_->clear();
        log_->appendPlainText(lastLine_);
    }
    bool AskToGoOn(const Message& question, const std::vector<std::string>&) override {
        return platform::Dialogs::Current().Question(window_, platform::Translated(question),
                                                     platform::kApplicationTitle);
    }
    const QString& LastLine() const { return lastLine_; }

  private:
    QWidget* window_;
    QPlainTextEdit* log_;
    QString lastLine_;
};

frmJoinFiles::frmJoinFiles(QWidget* owner, const QString& folder)
    : QWidget(owner, Qt::Window), folder_(folder) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmJoinFiles"));
    setWindowTitle(tr("Join Files"));
    setWindowIcon(AppIcon());
    CreateControls();
    WindowKeys(this, true);
    form_ = std::make_unique<JoinForm>(this, txtLog);
    work_ = std::make_unique<BackgroundWork>(*form_, files_);
    connect(work_.get(), &BackgroundWork::Progress, progress_, &QProgressBar::setValue);
    connect(work_.get(), &BackgroundWork::Finished, this, &frmJoinFiles::BackgroundWork_Finished);
    UpdateCommands();
}

frmJoinFiles::~frmJoinFiles() = default;

bool frmJoinFiles::Working() const {
    return work_->Running();
}

void frmJoinFiles::CreateControls() {
    const auto button = [this](const char* name, const QString& caption) {
        auto* command = new QPushButton(caption, this);
        command->setObjectName(QLatin1String(name));
        command->setAutoDefault(false);
        return command;
    };
    lstFiles = new QListWidget(this);
    lstFiles->setObjectName(QStringLiteral("lstFiles"));
    lstFiles->setAccessibleName(tr("Files to join, in order"));
    lstFiles->setSelectionMode(QAbstractItemView::SingleSelection);
    lstFiles->setDragDropMode(QAbstractItemView::InternalMove);
    lstFiles->setDefaultDropAction(Qt::MoveAction);
    auto* lblFiles = new QLabel(tr("&Files, in the order they play:"), this);
    lblFiles->setBuddy(lstFiles);
    cmdAdd = button("cmdAdd", tr("&Add..."));
    cmdRemove = button("cmdRemove", tr("&Remove"));
    cmdUp = button("cmdUp", tr("Move &Up"));
    cmdDown = button("cmdDown", tr("Move &Down"));
    auto* commands = new QVBoxLayout;
    for (QPushButton* command : {cmdAdd, cmdRemove, cmdUp, cmdDown}) commands->addWidget(command);
    commands->addStretch(1);
    auto* list = new QHBoxLayout;
    list->addWidget(lstFiles, 1);
    list->addLayout(commands);

    chkChapters = new QCheckBox(tr("One &chapter for each file"), this);
    chkChapters->setObjectName(QStringLiteral("chkChapters"));
    chkChapters->setToolTip(tr("Each file's title tag names its chapter"));
    txtOutput = new QLineEdit(this);
    txtOutput->setObjectName(QStringLiteral("txtOutput"));
    txtOutput->setAccessibleName(tr("Output file"));
    auto* lblOutput = new QLabel(tr("&Output file:"), this);
    lblOutput->setBuddy(txtOutput);
    cmdBrowse = button("cmdBrowse", tr("Bro&wse..."));
    txtLog = new QPlainTextEdit(this);
    txtLog->setObjectName(QStringLiteral("txtLog"));
    txtLog->setReadOnly(true);
    txtLog->setTabChangesFocus(true);
    txtLog->setAccessibleName(tr("Messages"));
    txtLog->setAccessibleDescription(tr("What the join does, step by step"));
    txtLog->setMinimumHeight(4 * txtLog->fontMetrics().lineSpacing());
    // Grey, as the other windows' logs, which the user reads but does not type into.
    QPalette logPalette = txtLog->palette();
    logPalette.setColor(QPalette::Base, logPalette.color(QPalette::Window));
    txtLog->setPalette(logPalette);
    auto* lblLog = new QLabel(tr("&Messages:"), this);
    lblLog->setBuddy(txtLog);
    lblResult = new QLabel(this);
    lblResult->setObjectName(QStringLiteral("lblResult"));
    lblResult->setWordWrap(true);
    lblResult->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    lblResult->setAccessibleName(tr("Result"));
    lblResult->hide();  // until a join has ended
    auto* places = new QGridLayout;
    places->addWidget(lblOutput, 0, 0);
    places->addWidget(txtOutput, 0, 1);
    places->addWidget(cmdBrowse, 0, 2);
    places->addWidget(lblLog, 1, 0, Qt::AlignTop);
    places->addWidget(txtLog, 1, 1, 1, 2);
    places->addWidget(lblResult, 2, 1, 1, 2);

    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setAccessibleName(tr("Progress"));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    cmdJoin = button("cmdJoin", tr("&Join"));
    cmdClose = button("cmdClose", tr("Close"));
    // The button keeps its width when it reads Stop.
    cmdClose->setMinimumWidth(
        std::max(cmdClose->sizeHint().width(), QPushButton(tr("S&top")).sizeHint().width()));
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(progress_, 1);
    bottom->addWidget(cmdJoin);
    bottom->addWidget(cmdClose);

    auto* whole = new QVBoxLayout(this);
    whole->addWidget(lblFiles);
    whole->addLayout(list, 1);
    whole->addWidget(chkChapters);
    whole->addLayout(places);
    whole->addLayout(bottom);
    resize(fontMetrics().averageCharWidth() * 90, fontMetrics().height() * 26);

    connect(cmdAdd, &QPushButton::clicked, this, &frmJoinFiles::cmdAdd_Click);
    connect(cmdRemove, &QPushButton::clicked, this, &frmJoinFiles::cmdRemove_Click);
    connect(cmdUp, &QPushButton::clicked, this, [this] { Move(-1); });
    connect(cmdDown, &QPushButton::clicked, this, [this] { Move(1); });
    connect(cmdBrowse, &QPushButton::clicked, this, &frmJoinFiles::cmdBrowse_Click);
    connect(cmdJoin, &QPushButton::clicked, this, &frmJoinFiles::cmdJoin_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmJoinFiles::cmdClose_Click);
    connect(lstFiles, &QListWidget::currentRowChanged, this, &frmJoinFiles::UpdateCommands);
    // A file dragged to another place.
    connect(lstFiles->model(), &QAbstractItemModel::rowsMoved, this, &frmJoinFiles::UpdateCommands);
}

void frmJoinFiles::cmdAdd_Click() {
    const QString path = platform::Dialogs::Current().OpenFileName(
        this, tr("Add a File to Join"), tr("MPEG Audio Files (*.mp3)"), folder_);
    if (path.isEmpty()) return;
    const QFileInfo file(path);
    folder_ = file.absolutePath();
    lstFiles->addItem(path);
    lstFiles->setCurrentRow(lstFiles->count() - 1);
    // The output is proposed beside the first file.
    if (txtOutput->text().isEmpty()) {
        txtOutput->setText(QDir(folder_).filePath(tr("%1 (joined)").arg(file.completeBaseName()) +
                                                  u'.' + file.suffix()));
    }
    UpdateCommands();
}

void frmJoinFiles::cmdRemove_Click() {
    delete lstFiles->takeItem(lstFiles->currentRow());
    UpdateCommands();
}

void frmJoinFiles::Move(int step) {
    const int row = lstFiles->currentRow();
    const int to = row + step;
    if (row < 0 || to < 0 || to >= lstFiles->count()) return;
    lstFiles->insertItem(to, lstFiles->takeItem(row));
    lstFiles->setCurrentRow(to);
}

void frmJoinFiles::cmdBrowse_Click() {
    const QString path = platform::Dialogs::Current().SaveFileName(
        this, tr("Join Files"), tr("MPEG Audio Files (*.mp3)"),
        txtOutput->text().isEmpty() ? folder_ : txtOutput->text());
    if (!path.isEmpty()) txtOutput->setText(path);
}

void frmJoinFiles::cmdJoin_Click() {
    JoinRequest request;
    for (int row = 0; row < lstFiles->count(); ++row) {
        request.Files.Sources.push_back(lstFiles->item(row)->text().toStdString());
    }
    request.Files.Output = txtOutput->text().trimmed().toStdString();
    request.Files.Existing = ExistingOutputs::Ask;
    request.Chapters = chkChapters->isChecked();
    QApplication::setOverrideCursor(Qt::BusyCursor);
    progress_->setValue(0);
    lblResult->hide();
    work_->Start(
        [this, request](Reporter& reporter, FileSystem& files) -> BackgroundWork::Done {
            const EditReport report = Join(request, files, tags_, reporter);
            return [this, report] {
                ShowResult(report);
                if (report.Problem) {
                    platform::Dialogs::Current().Message(this,
                                                         platform::Translated(report.Problem->Text),
                                                         platform::kApplicationTitle);
                }
                txtLog->verticalScrollBar()->setValue(txtLog->verticalScrollBar()->maximum());
            };
        },
        // The sources walked, then the output written.
        2);
    UpdateCommands();
}

void frmJoinFiles::ShowResult(const EditReport& report) {
    const Ended ended = EndOf(report.Outcome);
    if (ended == Ended::Completed) progress_->setValue(progress_->maximum());
    // Why it changed nothing: the refusal's own text, or the log's last line that says so.
    const QString why =
        report.Problem ? platform::Translated(report.Problem->Text) : form_->LastLine();
    lblResult->setText(ResultText(ended, EditWritten(report), why));
    lblResult->show();
}

void frmJoinFiles::cmdClose_Click() {
    if (work_->Running()) {
        work_->Stop();
    } else {
        close();
    }
}

void frmJoinFiles::BackgroundWork_Finished() {
    QApplication::restoreOverrideCursor();
    UpdateCommands();
    if (closeAfterWork_) close();
}

void frmJoinFiles::closeEvent(QCloseEvent* event) {
    // A join under way is stopped if the user agrees, and the window closes once it has
    // ended.
    if (work_->Running()) {
        event->ignore();
        if (!closeAfterWork_) {
            closeAfterWork_ = work_->StopToClose(this, BackgroundWork::Writes::Output);
        }
        return;
    }
    event->accept();
}

void frmJoinFiles::UpdateCommands() {
    const bool idle = !work_ || !work_->Running();
    const int row = lstFiles->currentRow();
    for (QWidget* control :
         std::initializer_list<QWidget*>{lstFiles, cmdAdd, chkChapters, txtOutput, cmdBrowse}) {
        control->setEnabled(idle);
    }
    cmdRemove->setEnabled(idle && row >= 0);
    cmdUp->setEnabled(idle && row > 0);
    cmdDown->setEnabled(idle && row >= 0 && row + 1 < lstFiles->count());
    cmdJoin->setEnabled(idle && lstFiles->count() >= 2);
    cmdClose->setText(idle ? tr("Close") : tr("S&top"));
}

}  // namespace quorvel::ui
