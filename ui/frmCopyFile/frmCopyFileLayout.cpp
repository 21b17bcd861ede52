// The main window's controls and menus at their designed places.

#include <QCheckBox>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <utility>

#include "ui/Twips.h"
#include "ui/frmCopyFile/frmCopyFile.h"

namespace quorvel::ui {

void frmCopyFile::CreateControls() {
    auto* client = new QWidget(this);
    setCentralWidget(client);

    const auto frame = [&](const char* name, const QString& caption) {
        auto* box = new QGroupBox(caption, client);
        box->setObjectName(QLatin1String(name));
        return box;
    };
    const auto edit = [](QWidget* parent, const char* name, const QString& tooltip) {
        auto* box = new QLineEdit(parent);
        box->setObjectName(QLatin1String(name));
        box->setToolTip(tooltip);
        box->setAcceptDrops(false);  // a dropped file is the window's to take
        box->installEventFilter(parent->window());
        return box;
    };
    const auto readOnly = [](QWidget* parent, const char* name, Qt::Alignment alignment) {
        auto* box = new QLineEdit(parent);
        box->setObjectName(QLatin1String(name));
        box->setReadOnly(true);
        // Tabbed to after the commands, so that a screen reader reaches what it shows.
        box->setFocusPolicy(Qt::StrongFocus);
        box->setAlignment(alignment | Qt::AlignVCenter);
        box->setAcceptDrops(false);
        QPalette palette = box->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Window));
        box->setPalette(palette);
        return box;
    };
    const auto button = [](QWidget* parent, const char* name, const QString& caption) {
        auto* command = new QPushButton(caption, parent);
        command->setObjectName(QLatin1String(name));
        command->setFocusPolicy(Qt::StrongFocus);
        command->setAutoDefault(false);
        return command;
    };
    const auto label = [](QWidget* parent, const char* name, const QString& caption) {
        auto* text = new QLabel(caption, parent);
        text->setObjectName(QLatin1String(name));
        return text;
    };

    fraDatabase = frame("fraDatabase", tr("Source MP3 file to open :"));
    txtMP3 = edit(fraDatabase, "txtMP3",
                  tr("Path and name of the MP3 you want to split (eg. ~/Music/mysong.mp3)"));
    cmdBrowse = button(fraDatabase, "cmdBrowse", tr("&Browse"));

    fraToFolder = frame("fraToFolder", tr("Destination folder :"));
    txtToFolder = edit(fraToFolder, "txtToFolder",
                       tr("Destination folder where you want the two resulting files "
                          "to reside (eg. ~/Music/Work)"));
    cmdBrowseTo = button(fraToFolder, "cmdBrowseTo", tr("B&rowse"));

    fraFileInfo = frame("fraFileInfo", tr("File Information"));
    auto* label2 = label(fraFileInfo, "Label2", tr("Size (Mb)            :"));
    txtSelectedFileSize = readOnly(fraFileInfo, "txtSelectedFileSize", Qt::AlignRight);
    auto* label9 = label(fraFileInfo, "Label9", tr("File type :"));
    txtSelectedType = readOnly(fraFileInfo, "txtSelectedType", Qt::AlignLeft);
    auto* label6 = label(fraFileInfo, "Label6", tr("Bit rate (bits)       :"));
    txtSelectedBitRate = readOnly(fraFileInfo, "txtSelectedBitRate", Qt::AlignRight);
    auto* label4 = label(fraFileInfo, "Label4", tr("No. of frames         :"));
    txtSelectedFrames = readOnly(fraFileInfo, "txtSelectedFrames", Qt::AlignRight);
    auto* label3 = label(fraFileInfo, "Label3", tr("Duration (mm:ss) :"));
    txtSelectedDuration = readOnly(fraFileInfo, "txtSelectedDuration", Qt::AlignRight);
    QFont bold = txtSelectedDuration->font();
    bold.setBold(true);
    txtSelectedDuration->setFont(bold);
    auto* label5 = label(fraFileInfo, "Label5", tr("Sampling rate (Hz) :"));
    txtSelectedSampling = readOnly(fraFileInfo, "txtSelectedSampling", Qt::AlignRight);
    auto* label7 = label(fraFileInfo, "Label7", tr("Split file at (mm:ss) :"));
    txtSplitMinute = edit(fraFileInfo, "txtSplitMinute",
                          tr("Which minute of the song that you want it to be split at "
                             "(eg. 3 = 3rd minute)"));
    txtSplitMinute->setText(QStringLiteral("3"));
    txtSplitMinute->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* label8 = label(fraFileInfo, "Label8", QStringLiteral(":"));
    txtSplitSecond = edit(fraFileInfo, "txtSplitSecond",
                          tr("Which second of the song that you want it to be split at "
                             "(eg. 30 = 30th second)"));
    txtSplitSecond->setText(QStringLiteral("00"));
    chkExactly = new QCheckBox(tr("E&xactly at this time"), fraFileInfo);
    chkExactly->setObjectName(QStringLiteral("chkExactly"));
    chkExactly->setToolTip(
        tr("Cut at the time given itself, to the sample, as File > Split "
           "Exactly at the Time Given does; otherwise at the first frame "
           "from it that the split can start at"));
    chkExactly->setAccessibleDescription(chkExactly->toolTip());
    // A click leaves the focus in the time box, as the menu command does; Tab still reaches it.
    chkExactly->setFocusPolicy(Qt::TabFocus);

    fraSplit = frame("fraSplit", tr("File Split"));
    cmdSplit = button(fraSplit, "cmdSplit", tr("&Split File !"));
    auto* label1 = label(fraSplit, "Label1", tr("System messages :"));
    txtSystemMessage = new QPlainTextEdit(fraSplit);
    txtSystemMessage->setObjectName(QStringLiteral("txtSystemMessage"));
    txtSystemMessage->setReadOnly(true);
    txtSystemMessage->setFocusPolicy(Qt::StrongFocus);
    txtSystemMessage->setTabChangesFocus(true);
    txtSystemMessage->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtSystemMessage->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    txtSystemMessage->setAcceptDrops(false);
    txtSystemMessage->viewport()->setAcceptDrops(false);
    // Read-only, so grey like the other boxes the user cannot type into.
    QPalette logPalette = txtSystemMessage->palette();
    logPalette.setColor(QPalette::Base, logPalette.color(QPalette::Window));
    txtSystemMessage->setPalette(logPalette);

    // Positions in twips, relative to the frame that holds each control. A label beside
    // a box starts at the box's top and, where no height is given, takes the box's, so
    // that its text stands level with the box's.
    const Twips twips = Twips::Layout(this, {
                                                {fraDatabase, 120, 120, 4695, 735},
                                                {txtMP3, 120, 240, 3495, 285},
                                                {cmdBrowse, 3720, 240, 855, 285},
                                                {fraToFolder, 120, 960, 4695, 735},
                                                {txtToFolder, 120, 240, 3495, 285},
                                                {cmdBrowseTo, 3720, 240, 855, 285},
                                                {fraFileInfo, 120, 1800, 4695, 1935},
                                                {label2, 120, 240, 1320, 285},
                                                {txtSelectedFileSize, 1440, 240, 735, 285},
                                                {label9, 2400, 240, 720, 285},
                                                {txtSelectedType, 3120, 240, 1455, 285},
                                                {label6, 120, 600, 1320, 285},
                                                {txtSelectedBitRate, 1440, 600, 735, 285},
                                                {label4, 2400, 600, 1440, 285},
                                                {txtSelectedFrames, 3840, 600, 735, 285},
                                                {label3, 120, 960, 1320, 285},
                                                {txtSelectedDuration, 1440, 960, 735, 285},
                                                {label5, 2400, 960, 1440, 285},
                                                {txtSelectedSampling, 3840, 960, 735, 285},
                                                {label7, 120, 1440, 1455, 255},
                                                {txtSplitMinute, 1680, 1440, 495, 285},
                                                {label8, 2280, 1440, 135, 255},
                                                {txtSplitSecond, 2400, 1440, 495, 285},
                                                {chkExactly, 3000, 1440, 1575, 285},
                                                {fraSplit, 120, 3840, 4695, 2295},
                                                {cmdSplit, 3600, 240, 975, 285},
                                                {label1, 120, 360, 1695, 255},
                                                {txtSystemMessage, 120, 600, 4455, 1575},
                                            });
    client->setFixedSize(twips.X(4950), twips.Y(6285));

    // What a screen reader says of each control. A box beside a label is named by it, its
    // buddy; the rest, named alike or not at all on screen, get names of their own.
    for (const auto& [caption, box] : {std::pair<QLabel*, QWidget*>{label2, txtSelectedFileSize},
                                       {label9, txtSelectedType},
                                       {label6, txtSelectedBitRate},
                                       {label4, txtSelectedFrames},
                                       {label3, txtSelectedDuration},
                                       {label5, txtSelectedSampling}}) {
        caption->setBuddy(box);
        QString name = caption->text().simplified();  // without its padding and closing ":"
        if (name.endsWith(u':')) name.chop(1);
        box->setAccessibleName(name.trimmed());
    }
    label7->setBuddy(txtSplitMinute);
    label1->setBuddy(txtSystemMessage);
    txtMP3->setAccessibleName(tr("Source MP3 file"));
    txtToFolder->setAccessibleName(tr("Destination folder"));
    txtSplitMinute->setAccessibleName(tr("Split minute"));
    txtSplitSecond->setAccessibleName(tr("Split second"));
    cmdBrowse->setAccessibleName(tr("Browse for the source MP3 file"));
    cmdBrowseTo->setAccessibleName(tr("Browse for the destination folder"));
    txtSystemMessage->setAccessibleName(tr("System messages"));
    txtSystemMessage->setAccessibleDescription(tr("What Quorvel does, step by step"));
    for (QLineEdit* box : {txtMP3, txtToFolder, txtSplitMinute, txtSplitSecond}) {
        box->setAccessibleDescription(box->toolTip());
    }

    setTabOrder(txtMP3, cmdBrowse);
    setTabOrder(cmdBrowse, txtToFolder);
    setTabOrder(txtToFolder, cmdBrowseTo);
    setTabOrder(cmdBrowseTo, txtSplitMinute);
    setTabOrder(txtSplitMinute, txtSplitSecond);
    setTabOrder(txtSplitSecond, cmdSplit);
    // What was added later comes after the commands, the order before them kept.
    QWidget* previous = cmdSplit;
    for (QWidget* next : std::initializer_list<QWidget*>{
             chkExactly, txtSelectedFileSize, txtSelectedType, txtSelectedBitRate,
             txtSelectedFrames, txtSelectedDuration, txtSelectedSampling, txtSystemMessage}) {
        setTabOrder(previous, next);
        previous = next;
    }

    connect(cmdBrowse, &QPushButton::clicked, this, &frmCopyFile::cmdBrowse_Click);
    connect(cmdBrowseTo, &QPushButton::clicked, this, &frmCopyFile::cmdBrowseTo_Click);
    connect(cmdSplit, &QPushButton::clicked, this, &frmCopyFile::cmdSplit_Click);
}

void frmCopyFile::CreateMenus() {
    QMenu* mnuFile = menuBar()->addMenu(tr("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuOpen = mnuFile->addAction(tr("&Open"), this, &frmCopyFile::mnuOpen_Click);
    mnuOpen->setObjectName(QStringLiteral("mnuOpen"));
    mnuOpen->setShortcut(QKeySequence::Open);
    mnuRecent = mnuFile->addMenu(tr("Open &Recent"));
    mnuRecent->setObjectName(QStringLiteral("mnuRecent"));
    connect(mnuRecent, &QMenu::aboutToShow, this, &frmCopyFile::mnuRecent_AboutToShow);
    // Off at start: the split waits for a frame that one added frame suffices for, unless
    // the user asks for the time given itself.
    mnuSplitExactly = mnuFile->addAction(tr("Split E&xactly at the Time Given"));
    mnuSplitExactly->setObjectName(QStringLiteral("mnuSplitExactly"));
    mnuSplitExactly->setCheckable(true);
    mnuSplitParts = mnuFile->addAction(tr("Split into Several &Parts..."), this,
                                       &frmCopyFile::mnuSplitParts_Click);
    mnuSplitParts->setObjectName(QStringLiteral("mnuSplitParts"));
    mnuJoinFiles = mnuFile->addAction(tr("&Join Files..."), this, &frmCopyFile::mnuJoinFiles_Click);
    mnuJoinFiles->setObjectName(QStringLiteral("mnuJoinFiles"));
    mnuExit = mnuFile->addAction(tr("&Exit"), this, &frmCopyFile::mnuExit_Click);
    mnuExit->setObjectName(QStringLiteral("mnuExit"));
    mnuExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));  // not every desktop binds Quit
    QMenu* mnuView = menuBar()->addMenu(tr("&View"));
    mnuView->setObjectName(QStringLiteral("mnuView"));
    mnuWaveform = mnuView->addAction(tr("&Waveform..."), this, &frmCopyFile::mnuWaveform_Click);
    mnuWaveform->setObjectName(QStringLiteral("mnuWaveform"));
    mnuWaveform->setEnabled(false);  // until a source is analysed
    QMenu* mnuHelp = menuBar()->addMenu(tr("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuHowTo = mnuHelp->addAction(tr("&How To"), this, &frmCopyFile::mnuHowTo_Click);
    mnuHowTo->setObjectName(QStringLiteral("mnuHowTo"));
    mnuHowTo->setShortcut(QKeySequence::HelpContents);
    mnuAbout = mnuHelp->addAction(tr("&About"), this, &frmCopyFile::mnuAbout_Click);
    mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
}

}  // namespace quorvel::ui
