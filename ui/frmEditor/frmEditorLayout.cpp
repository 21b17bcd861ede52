// The editor's controls in their layouts, and its menus.

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "ui/CutPlayer.h"
#include "ui/frmEditor/EditModel.h"
#include "ui/frmEditor/WaveView.h"
#include "ui/frmEditor/frmEditor.h"

namespace quorvel::ui {

void frmEditor::CreateControls() {
    auto* client = new QWidget(this);
    setCentralWidget(client);
    const auto shown = [client](const char* name, const QString& accessibleName) {
        // Read-only and grey like the main window's boxes the user cannot type into; the
        // text can still be selected and copied.
        auto* box = new QLineEdit(client);
        box->setObjectName(QLatin1String(name));
        box->setReadOnly(true);
        box->setFocusPolicy(Qt::ClickFocus);
        box->setAccessibleName(accessibleName);
        QPalette palette = box->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Window));
        box->setPalette(palette);
        return box;
    };
    const auto button = [client](const char* name, const QString& caption) {
        auto* command = new QPushButton(caption, client);
        command->setObjectName(QLatin1String(name));
        command->setAutoDefault(false);
        return command;
    };

    // The source and where its parts go, two to a row.
    txtSource = shown("txtSource", tr("Source MP3 file"));
    txtSource->setText(source_.Path);
    txtFolder = shown("txtFolder", tr("Destination folder"));
    txtFolder->setText(source_.Folder);
    txtLength = shown("txtLength", tr("Length"));
    txtRule = shown("txtRule", tr("Cuts"));
    auto* places = new QGridLayout;
    const auto place = [&](int row, int column, const QString& label, QLineEdit* box) {
        places->addWidget(new QLabel(label, client), row, 2 * column);
        places->addWidget(box, row, 2 * column + 1);
    };
    place(0, 0, tr("Source MP3 file:"), txtSource);
    place(0, 1, tr("Length:"), txtLength);
    place(1, 0, tr("Destination folder:"), txtFolder);
    place(1, 1, tr("Cuts:"), txtRule);
    places->setColumnStretch(1, 1);
    // The rule's box as wide as the longer of its two texts.
    txtRule->setMinimumWidth(
        txtRule->fontMetrics().horizontalAdvance(tr("At the first safe frame from each start")) +
        txtRule->fontMetrics().averageCharWidth() * 2);

    // The waveform, its scroll bar, what its colours mean and where the cursor is.
    view_ = new WaveView(source_.Levels, client);
    view_->setObjectName(QStringLiteral("picWave"));
    view_->setAccessibleName(tr("Waveform"));
    view_->setAccessibleDescription(
        tr("The source's waveform, the cursor, the selection and the cuts"));
    hsbView = new QScrollBar(Qt::Horizontal, client);
    hsbView->setObjectName(QStringLiteral("hsbView"));
    // Each marker's name after a block of its colour, the lines broken only between them.
    const auto legend = [](const QColor& colour, const QString& name) {
        return QStringLiteral("<span style=\"color:%1\">&#9608;</span>&nbsp;%2")
            .arg(colour.name(), name.toHtmlEscaped().replace(u' ', QLatin1String("&nbsp;")));
    };
    const QString gap = QStringLiteral(" &nbsp; ");
    auto* lblLegend = new QLabel(legend(kTimeColour, tr("the cursor")) + gap +
                                     legend(kPartCutColour, tr("the list's cuts")) + gap +
                                     legend(kSafeFrameColour, tr("the frame rule's cut")) + gap +
                                     legend(kExactColour, tr("the exact cut")) + gap +
                                     legend(kSilenceColour, tr("silence")),
                                 client);
    lblLegend->setObjectName(QStringLiteral("lblLegend"));
    lblLegend->setWordWrap(true);
    lblPosition = new QLabel(client);
    lblPosition->setObjectName(QStringLiteral("lblPosition"));
    lblPosition->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblPosition->setWordWrap(true);
    // How to use it, where the mouse points at it: the room goes to the waves.
    view_->setToolTip(
        tr("Click to set the cursor, drag or Shift+click to select. Left "
           "and Right move the cursor by a frame, Ctrl+Left and "
           "Ctrl+Right to the silence before or after. The wheel or + "
           "and - zoom; Shift+wheel or the bar scrolls."));
    // Either side of the splitter: a pane of controls one above the other.
    const auto pane = [client] {
        auto* widget = new QWidget(client);
        auto* layout = new QVBoxLayout(widget);
        layout->setContentsMargins(0, 0, 0, 0);
        return std::pair{widget, layout};
    };
    const auto [wave, waveLayout] = pane();
    waveLayout->addWidget(view_, 1);
    waveLayout->addWidget(hsbView);
    waveLayout->addWidget(lblLegend);
    waveLayout->addWidget(lblPosition);

    grdParts = new QTableWidget(0, 4, client);
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

    txtCutAt = new QLineEdit(client);
    txtCutAt->setObjectName(QStringLiteral("txtCutAt"));
    txtCutAt->setAccessibleName(tr("Time of the cut to add"));
    txtCutAt->setToolTip(tr("Where a new part starts, as [h:]m:ss[.fff] (eg. 3:30)"));
    txtCutAt->setAccessibleDescription(txtCutAt->toolTip());
    txtCutAt->setPlaceholderText(tr("m:ss"));
    auto* lblCutAt = new QLabel(tr("C&ut at:"), client);
    lblCutAt->setBuddy(txtCutAt);
    cmdAdd = button("cmdAdd", tr("&Add"));
    cmdRemove = button("cmdRemove", tr("&Remove"));
    cmdRemove->setToolTip(tr("Remove the cut that starts the selected part"));
    cmdImportCue = button("cmdImportCue", tr("Import &Cue Sheet..."));
    cmdImportCue->setToolTip(tr("Cut where the tracks of a cue sheet start"));
    cmdChapters = button("cmdChapters", tr("Use the File's C&hapters"));
    cmdChapters->setToolTip(tr("Cut where the chapters of the source's tag start"));
    cmdEvery = button("cmdEvery", tr("Ever&y..."));
    cmdEvery->setToolTip(tr("Cut every so often from the start"));
    cmdEqualParts = button("cmdEqualParts", tr("E&qual Parts..."));
    cmdEqualParts->setToolTip(tr("Cut into a number of parts of equal length"));
    // Below the list: a cut typed in, and the lists from elsewhere two to a row.
    auto* cutAt = new QHBoxLayout;
    cutAt->addWidget(lblCutAt);
    cutAt->addWidget(txtCutAt, 1);
    cutAt->addWidget(cmdAdd);
    cutAt->addWidget(cmdRemove);
    auto* sources = new QGridLayout;
    sources->addWidget(cmdImportCue, 0, 0);
    sources->addWidget(cmdChapters, 0, 1);
    sources->addWidget(cmdEvery, 1, 0);
    sources->addWidget(cmdEqualParts, 1, 1);
    const auto [list, listLayout] = pane();
    listLayout->addWidget(grdParts, 1);
    listLayout->addLayout(cutAt);
    listLayout->addLayout(sources);
    auto* middle = new QSplitter(Qt::Horizontal, client);
    middle->setObjectName(QStringLiteral("splMiddle"));
    middle->setChildrenCollapsible(false);
    middle->addWidget(wave);
    middle->addWidget(list);
    middle->setStretchFactor(0, 3);
    middle->setStretchFactor(1, 2);
    // The waves take three fifths of the width at first, the list what is left.
    middle->setSizes({3000, 2000});
    // How the last run ended, and its log: the main window's log stands behind this window.
    lblResult = new QLabel(client);
    lblResult->setObjectName(QStringLiteral("lblResult"));
    lblResult->setWordWrap(true);
    lblResult->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    lblResult->setFocusPolicy(Qt::StrongFocus);
    lblResult->setAccessibleName(tr("Result"));
    lblResult->hide();  // until a split has ended
    txtLog = new QPlainTextEdit(client);
    txtLog->setObjectName(QStringLiteral("txtLog"));
    txtLog->setReadOnly(true);
    txtLog->setTabChangesFocus(true);
    txtLog->setAccessibleName(tr("Messages"));
    txtLog->setAccessibleDescription(tr("What the split or an edit does, step by step"));
    QPalette logPalette = txtLog->palette();
    logPalette.setColor(QPalette::Base, logPalette.color(QPalette::Window));
    txtLog->setPalette(logPalette);
    // A few lines, giving way down to two where the screen is short.
    const int line = txtLog->fontMetrics().lineSpacing();
    const int logRoom = 2 * txtLog->frameWidth() + 2 * int(txtLog->document()->documentMargin());
    txtLog->setMinimumHeight(2 * line + logRoom);
    txtLog->setMaximumHeight(3 * line + logRoom);
    auto* lblLog = new QLabel(tr("&Messages:"), client);
    lblLog->setBuddy(txtLog);
    auto* log = new QGridLayout;
    log->addWidget(lblLog, 0, 0, Qt::AlignTop);
    log->addWidget(txtLog, 0, 1);
    log->addWidget(lblResult, 1, 1);

    txtNamePattern = new QLineEdit(client);
    txtNamePattern->setObjectName(QStringLiteral("txtNamePattern"));
    txtNamePattern->setAccessibleName(tr("Names of the parts"));
    auto* lblNames = new QLabel(tr("&Names:"), client);
    lblNames->setBuddy(txtNamePattern);
    auto* lblCodes = new QLabel(
        tr("%n the part's number, %t its title, %b the source's name, %% a percent sign; "
           "empty: the source's name and the number"),
        client);
    lblCodes->setWordWrap(true);
    lblCodes->setEnabled(false);  // a hint, shown as such
    txtNamePattern->setAccessibleDescription(lblCodes->text());
    auto* names = new QGridLayout;
    names->addWidget(lblNames, 0, 0);
    names->addWidget(txtNamePattern, 0, 1);
    names->addWidget(lblCodes, 1, 1);
    // The labels of the names and of the log one above the other, their boxes in line.
    log->setColumnMinimumWidth(0,
                               std::max(lblNames->sizeHint().width(), lblLog->sizeHint().width()));
    names->setColumnMinimumWidth(
        0, std::max(lblNames->sizeHint().width(), lblLog->sizeHint().width()));

    progress_ = new QProgressBar(client);
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

    auto* whole = new QVBoxLayout(client);
    whole->addLayout(places);
    whole->addWidget(middle, 1);
    whole->addLayout(names);
    whole->addLayout(log);
    whole->addLayout(bottom);
    resize(fontMetrics().averageCharWidth() * 160, fontMetrics().height() * 44);

    setTabOrder(view_, grdParts);
    setTabOrder(grdParts, txtCutAt);
    setTabOrder(txtCutAt, cmdAdd);
    setTabOrder(cmdAdd, cmdRemove);
    setTabOrder(cmdRemove, cmdImportCue);
    setTabOrder(cmdImportCue, cmdChapters);
    setTabOrder(cmdChapters, cmdEvery);
    setTabOrder(cmdEvery, cmdEqualParts);
    setTabOrder(cmdEqualParts, txtNamePattern);
    setTabOrder(txtNamePattern, txtLog);
    setTabOrder(txtLog, lblResult);
    setTabOrder(lblResult, cmdSplit);
    setTabOrder(cmdSplit, cmdClose);

    connect(txtCutAt, &QLineEdit::returnPressed, this, &frmEditor::cmdAdd_Click);
    connect(cmdAdd, &QPushButton::clicked, this, &frmEditor::cmdAdd_Click);
    connect(cmdRemove, &QPushButton::clicked, this, &frmEditor::mnuRemoveCut_Click);
    connect(cmdImportCue, &QPushButton::clicked, this, &frmEditor::cmdImportCue_Click);
    connect(cmdChapters, &QPushButton::clicked, this, &frmEditor::cmdChapters_Click);
    connect(cmdEvery, &QPushButton::clicked, this, &frmEditor::cmdEvery_Click);
    connect(cmdEqualParts, &QPushButton::clicked, this, &frmEditor::cmdEqualParts_Click);
    connect(cmdSplit, &QPushButton::clicked, this, &frmEditor::cmdSplit_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmEditor::cmdClose_Click);
    connect(grdParts, &QTableWidget::itemChanged, this, &frmEditor::grdParts_ItemChanged);
    connect(grdParts, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int previousRow, int) {
                if (row != previousRow) grdParts_CurrentRowChanged();
            });
}

void frmEditor::CreateMenus() {
    const auto add = [this](QMenu* menu, const char* name, const QString& text,
                            const QKeySequence& keys, auto slot) {
        QAction* action = menu->addAction(text, this, slot);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(keys);
        return action;
    };
    QMenu* mnuFile = menuBar()->addMenu(tr("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuSaveAs = add(mnuFile, "mnuSaveAs", tr("Save &As..."),
                    QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), &frmEditor::mnuSaveAs_Click);
    mnuFile->addSeparator();
    add(mnuFile, "mnuClose", tr("&Close"), QKeySequence(Qt::CTRL | Qt::Key_W),
        &frmEditor::cmdClose_Click);
    QMenu* mnuEdit = menuBar()->addMenu(tr("&Edit"));
    mnuEdit->setObjectName(QStringLiteral("mnuEdit"));
    QUndoStack& history = model_->History();
    mnuUndo = add(mnuEdit, "mnuUndo", tr("&Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z),
                  [&history] { history.undo(); });
    mnuRedo = add(mnuEdit, "mnuRedo", tr("&Redo"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                  [&history] { history.redo(); });
    // Ctrl+Y too, as on other desktops.
    mnuRedo->setShortcuts({mnuRedo->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    mnuEdit->addSeparator();
    mnuAddCut = add(mnuEdit, "mnuAddCut", tr("&Add a Cut at the Cursor"),
                    QKeySequence(Qt::CTRL | Qt::Key_M), &frmEditor::mnuAddCut_Click);
    mnuRemoveCut = add(mnuEdit, "mnuRemoveCut", tr("&Remove the Selected Cut"),
                       QKeySequence::Delete, &frmEditor::mnuRemoveCut_Click);
    mnuEdit->addSeparator();
    mnuSnap = add(mnuEdit, "mnuSnap", tr("&Snap the Cursor to Silence"),
                  QKeySequence(Qt::CTRL | Qt::Key_J), [this] { view_->MoveToSilence(0); });
    mnuSnap->setEnabled(false);  // until silences are found
    // Save As writes what they leave, into a new file, never the source.
    mnuEdit->addSeparator();
    mnuCutOut = add(mnuEdit, "mnuCutOut", tr("Cut &Out the Selection"),
                    QKeySequence(Qt::CTRL | Qt::Key_X), [this] { mnuCut_Click(false); });
    mnuKeepOnly = add(mnuEdit, "mnuKeepOnly", tr("&Keep Only the Selection"),
                      QKeySequence(Qt::CTRL | Qt::Key_K), [this] { mnuCut_Click(true); });
    mnuTrim = add(mnuEdit, "mnuTrim", tr("&Trim Silence"), QKeySequence(Qt::CTRL | Qt::Key_T),
                  &frmEditor::mnuTrim_Click);
    // The selection's level, a step of 1.5 dB at a time, as Save As writes it.
    mnuEdit->addSeparator();
    mnuLouder = add(mnuEdit, "mnuLouder", tr("&Louder by 1.5 dB"),
                    QKeySequence(Qt::CTRL | Qt::Key_Up), [this] { model_->ChangeLevel(1); });
    mnuQuieter = add(mnuEdit, "mnuQuieter", tr("&Quieter by 1.5 dB"),
                     QKeySequence(Qt::CTRL | Qt::Key_Down), [this] { model_->ChangeLevel(-1); });
    mnuFadeIn =
        add(mnuEdit, "mnuFadeIn", tr("Fade &In the Selection"), QKeySequence(Qt::CTRL | Qt::Key_I),
            [this] { model_->Fade(LevelChange::Shape::FadeIn); });
    mnuMeasure = add(mnuEdit, "mnuMeasure", tr("&Measure the Selection"),
                     QKeySequence(Qt::CTRL | Qt::Key_L), &frmEditor::mnuMeasure_Click);
    mnuFadeOut = add(mnuEdit, "mnuFadeOut", tr("&Fade Out the Selection"),
                     QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I),
                     [this] { model_->Fade(LevelChange::Shape::FadeOut); });

    QMenu* mnuPlay = menuBar()->addMenu(tr("&Play"));
    mnuPlay->setObjectName(QStringLiteral("mnuPlay"));
    const auto play = [this](CutPlayer::Side side) { return [this, side] { PlayCut(side); }; };
    mnuPlaySelection =
        add(mnuPlay, "mnuPlaySelection", tr("Play the &Selection"),
            QKeySequence(Qt::SHIFT | Qt::Key_Space), [this] {
                player_->PlaySpan(source_.Path, model_->Selection().From, model_->Selection().End);
            });
    mnuPlayBefore = add(mnuPlay, "mnuPlayBefore", tr("Play &Before the Cut"),
                        QKeySequence(Qt::CTRL | Qt::Key_1), play(CutPlayer::Side::Before));
    // Space plays across and, while anything plays, stops it.
    mnuPlayAcross =
        add(mnuPlay, "mnuPlayAcross", tr("Play Acr&oss the Cut"), QKeySequence(Qt::Key_Space),
            [this, across = play(CutPlayer::Side::Across)] {
                if (player_->Active()) {
                    player_->Stop();
                } else {
                    across();
                }
            });
    mnuPlayAfter = add(mnuPlay, "mnuPlayAfter", tr("Play &After the Cut"),
                       QKeySequence(Qt::CTRL | Qt::Key_2), play(CutPlayer::Side::After));
    mnuPlay->addSeparator();
    mnuStop = add(mnuPlay, "mnuStop", tr("S&top Playing"), QKeySequence(Qt::CTRL | Qt::Key_Period),
                  [this] { player_->Stop(); });

    QMenu* mnuView = menuBar()->addMenu(tr("&View"));
    mnuView->setObjectName(QStringLiteral("mnuView"));
    mnuZoomIn = add(mnuView, "mnuZoomIn", tr("Zoom &In"), QKeySequence(Qt::CTRL | Qt::Key_Plus),
                    [this] { view_->ZoomAtTime(2); });
    mnuZoomOut = add(mnuView, "mnuZoomOut", tr("Zoom &Out"), QKeySequence(Qt::CTRL | Qt::Key_Minus),
                     [this] { view_->ZoomAtTime(0.5); });
    mnuZoomSelection =
        add(mnuView, "mnuZoomSelection", tr("Zoom to the &Selection"),
            QKeySequence(Qt::CTRL | Qt::Key_E), [this] { view_->ShowSpan(model_->Selection()); });
    mnuZoomAll =
        add(mnuView, "mnuZoomAll", tr("&Whole File"), QKeySequence(Qt::CTRL | Qt::Key_0), [this] {
            view_->ShowSpan({0, view_->Samples()});
        });
}

}  // namespace quorvel::ui
