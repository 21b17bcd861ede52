// The split into several parts' controls in their layouts.

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/frmSplitParts/frmSplitParts.h"

namespace quorvel::ui {

void frmSplitParts::CreateControls() {
    const auto shown = [this](const char* name, const QString& accessibleName) {
        // Read-only and grey like the main window's boxes the user cannot type into; the
        // text can still be selected and copied.
        auto* box = new QLineEdit(this);
        box->setObjectName(QLatin1String(name));
        box->setReadOnly(true);
        box->setFocusPolicy(Qt::ClickFocus);
        box->setAccessibleName(accessibleName);
        QPalette palette = box->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Window));
        box->setPalette(palette);
        return box;
    };
    const auto button = [this](const char* name, const QString& caption) {
        auto* command = new QPushButton(caption, this);
        command->setObjectName(QLatin1String(name));
        command->setAutoDefault(false);
        return command;
    };

    txtSource = shown("txtSource", tr("Source MP3 file"));
    txtFolder = shown("txtFolder", tr("Destination folder"));
    txtLength = shown("txtLength", tr("Length"));
    txtRule = shown("txtRule", tr("Cuts"));
    auto* places = new QFormLayout;
    places->addRow(tr("Source MP3 file:"), txtSource);
    places->addRow(tr("Destination folder:"), txtFolder);
    places->addRow(tr("Length:"), txtLength);
    places->addRow(tr("Cuts:"), txtRule);

    grdParts = new QTableWidget(0, 4, this);
    grdParts->setObjectName(QStringLiteral("grdParts"));
    grdParts->setAccessibleName(tr("Parts"));
    grdParts->setHorizontalHeaderLabels({tr("Start"), tr("Length"), tr("Title"), tr("Performer")});
    grdParts->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdParts->setSelectionMode(QAbstractItemView::SingleSelection);
    grdParts->setTabKeyNavigation(false);  // Tab leaves the table for the commands
    QHeaderView* header = grdParts->horizontalHeader();
    header->setSectionResizeMode(kStart, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(kLength, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(kTitle, QHeaderView::Stretch);
    header->setSectionResizeMode(kPerformer, QHeaderView::Stretch);
    // The rows' numbers are the parts'.
    grdParts->verticalHeader()->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);

    txtCutAt = new QLineEdit(this);
    txtCutAt->setObjectName(QStringLiteral("txtCutAt"));
    txtCutAt->setAccessibleName(tr("Time of the cut to add"));
    txtCutAt->setToolTip(tr("Where a new part starts, as [h:]m:ss[.fff] (eg. 3:30)"));
    txtCutAt->setAccessibleDescription(txtCutAt->toolTip());
    txtCutAt->setPlaceholderText(tr("m:ss"));
    auto* lblCutAt = new QLabel(tr("C&ut at:"), this);
    lblCutAt->setBuddy(txtCutAt);
    cmdAdd = button("cmdAdd", tr("&Add"));
    cmdRemove = button("cmdRemove", tr("&Remove"));
    cmdRemove->setToolTip(tr("Remove the cut that starts the selected part"));
    cmdImportCue = button("cmdImportCue", tr("Import &Cue Sheet..."));
    cmdImportCue->setToolTip(tr("Cut where the tracks of a cue sheet start"));
    cmdChapters = button("cmdChapters", tr("Use the File's C&hapters"));
    cmdChapters->setToolTip(tr("Cut where the chapters of the source's tag start"));
    cmdEvery = button("cmdEvery", tr("&Every..."));
    cmdEvery->setToolTip(tr("Cut every so often from the start"));
    cmdEqualParts = button("cmdEqualParts", tr("E&qual Parts..."));
    cmdEqualParts->setToolTip(tr("Cut into a number of parts of equal length"));
    auto* cutAt = new QHBoxLayout;
    cutAt->addWidget(txtCutAt, 1);
    cutAt->addWidget(cmdAdd);
    auto* commands = new QVBoxLayout;
    commands->addWidget(lblCutAt);
    commands->addLayout(cutAt);
    commands->addWidget(cmdRemove);
    commands->addSpacing(fontMetrics().height());
    for (QPushButton* command : {cmdImportCue, cmdChapters, cmdEvery, cmdEqualParts}) {
        commands->addWidget(command);
    }
    commands->addStretch(1);
    // How the last run ended, and its log: the main window's log stands behind this window.
    lblResult = new QLabel(this);
    lblResult->setObjectName(QStringLiteral("lblResult"));
    lblResult->setWordWrap(true);
    lblResult->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    lblResult->setFocusPolicy(Qt::StrongFocus);
    lblResult->setAccessibleName(tr("Result"));
    txtLog = new QPlainTextEdit(this);
    txtLog->setObjectName(QStringLiteral("txtLog"));
    txtLog->setReadOnly(true);
    txtLog->setTabChangesFocus(true);
    txtLog->setAccessibleName(tr("Messages"));
    txtLog->setAccessibleDescription(tr("What the split does, step by step"));
    QPalette logPalette = txtLog->palette();
    logPalette.setColor(QPalette::Base, logPalette.color(QPalette::Window));
    txtLog->setPalette(logPalette);
    // A few lines, giving way down to two where the screen is short.
    const int line = txtLog->fontMetrics().lineSpacing();
    const int logRoom = 2 * txtLog->frameWidth() + 2 * int(txtLog->document()->documentMargin());
    txtLog->setMinimumHeight(2 * line + logRoom);
    txtLog->setMaximumHeight(5 * line + logRoom);
    auto* lblLog = new QLabel(tr("&Messages:"), this);
    lblLog->setBuddy(txtLog);
    auto* left = new QVBoxLayout;
    left->addWidget(grdParts, 3);
    left->addWidget(lblLog);
    left->addWidget(txtLog, 1);
    left->addWidget(lblResult);
    auto* middle = new QHBoxLayout;
    middle->addLayout(left, 1);
    middle->addLayout(commands);

    txtNamePattern = new QLineEdit(this);
    txtNamePattern->setObjectName(QStringLiteral("txtNamePattern"));
    txtNamePattern->setAccessibleName(tr("Names of the parts"));
    auto* lblNames = new QLabel(tr("&Names:"), this);
    lblNames->setBuddy(txtNamePattern);
    auto* lblCodes = new QLabel(
        tr("%n the part's number, %t its title, %b the source's name, %% a percent sign; "
           "empty: the source's name and the number"),
        this);
    lblCodes->setWordWrap(true);
    lblCodes->setEnabled(false);  // a hint, shown as such
    txtNamePattern->setAccessibleDescription(lblCodes->text());
    auto* names = new QGridLayout;
    names->addWidget(lblNames, 0, 0);
    names->addWidget(txtNamePattern, 0, 1);
    names->addWidget(lblCodes, 1, 1);

    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setAccessibleName(tr("Progress"));
    progress_->setAccessibleDescription(tr("How far the work under way has read or written"));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    cmdSplit = button("cmdSplit", tr("&Split"));
    cmdClose = button("cmdClose", tr("Close"));
    // The button keeps its width when it reads Stop.
    cmdClose->setMinimumWidth(
        std::max(cmdClose->sizeHint().width(), QPushButton(tr("S&top")).sizeHint().width()));
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(progress_, 1);
    bottom->addWidget(cmdSplit);
    bottom->addWidget(cmdClose);

    auto* whole = new QVBoxLayout(this);
    whole->addLayout(places);
    whole->addLayout(middle, 1);
    whole->addLayout(names);
    whole->addLayout(bottom);
    resize(fontMetrics().averageCharWidth() * 120, fontMetrics().height() * 36);

    setTabOrder(grdParts, txtCutAt);
    setTabOrder(txtCutAt, cmdAdd);
    setTabOrder(cmdAdd, cmdRemove);
    setTabOrder(cmdRemove, cmdImportCue);
    setTabOrder(cmdImportCue, cmdChapters);
    setTabOrder(cmdChapters, cmdEvery);
    setTabOrder(cmdEvery, cmdEqualParts);
    setTabOrder(cmdEqualParts, txtNamePattern);
    setTabOrder(txtNamePattern, cmdSplit);
    setTabOrder(cmdSplit, cmdClose);
    setTabOrder(cmdClose, txtLog);
    setTabOrder(txtLog, lblResult);

    connect(txtCutAt, &QLineEdit::returnPressed, this, &frmSplitParts::cmdAdd_Click);
    connect(cmdAdd, &QPushButton::clicked, this, &frmSplitParts::cmdAdd_Click);
    connect(cmdRemove, &QPushButton::clicked, this, &frmSplitParts::cmdRemove_Click);
    connect(cmdImportCue, &QPushButton::clicked, this, &frmSplitParts::cmdImportCue_Click);
    connect(cmdChapters, &QPushButton::clicked, this, &frmSplitParts::cmdChapters_Click);
    connect(cmdEvery, &QPushButton::clicked, this, &frmSplitParts::cmdEvery_Click);
    connect(cmdEqualParts, &QPushButton::clicked, this, &frmSplitParts::cmdEqualParts_Click);
    connect(cmdSplit, &QPushButton::clicked, this, &frmSplitParts::cmdSplit_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmSplitParts::cmdClose_Click);
    connect(grdParts, &QTableWidget::itemSelectionChanged, this, &frmSplitParts::UpdateCommands);
}

}  // namespace quorvel::ui
