#include "ui/frmCopyFile/frmCopyFile.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>

#include "engine/InputChecks.h"
#include "engine/SourceAnalysis.h"
#include "engine/Split.h"
#include "platform/Dialogs.h"
#include "platform/HelpViewer.h"
#include "ui/Twips.h"
#include "ui/frmAbout/frmAbout.h"
#include "ui/frmBrowseFolder/frmBrowseFolder.h"
#include "ui/frmCopyFile/CopyFileForm.h"

// The icon and the help document live in this library; a static library must ask for
// its resources by name.
static void LoadResources() {
    Q_INIT_RESOURCE(quorvel);
}

namespace quorvel::ui {

QPointer<frmCopyFile> frmCopyFile::instance_;

namespace {

const QString kCaption = QStringLiteral("Quorvel V1.01  by the Quorvel project");

// Focus that comes and goes with the window's activation, a menu or a popup is not the
// user moving between boxes: such changes run no focus handler.
bool IsUserFocusChange(Qt::FocusReason reason) {
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
           reason != Qt::MenuBarFocusReason;
}

// The one local file of a drop, or the empty text when the drop is anything else.
QString DroppedFile(const QMimeData* data) {
    if (!data->hasUrls() || data->urls().size() != 1 || !data->urls().front().isLocalFile()) {
        return {};
    }
    const QString path = data->urls().front().toLocalFile();
    return QFileInfo(path).isFile() ? path : QString();
}

}  // namespace

frmCopyFile* frmCopyFile::Instance() {
    if (!instance_) instance_ = new frmCopyFile;
    return instance_;
}

frmCopyFile::frmCopyFile() {
    LoadResources();
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(kCaption);
    setWindowIcon(QIcon(QStringLiteral(":/icons/quorvel.png")));
    setAcceptDrops(true);
    CreateControls();
    CreateMenus();
    form_ = std::make_unique<CopyFileForm>(this,
                                           std::map<Control, QLineEdit*>{
                                               {Control::txtMP3, txtMP3},
                                               {Control::txtToFolder, txtToFolder},
                                               {Control::txtSplitMinute, txtSplitMinute},
                                               {Control::txtSplitSecond, txtSplitSecond},
                                               {Control::txtSelectedFileSize, txtSelectedFileSize},
                                               {Control::txtSelectedType, txtSelectedType},
                                               {Control::txtSelectedBitRate, txtSelectedBitRate},
                                               {Control::txtSelectedSampling, txtSelectedSampling},
                                               {Control::txtSelectedFrames, txtSelectedFrames},
                                               {Control::txtSelectedDuration, txtSelectedDuration},
                                           },
                                           txtSystemMessage);

    // Load: the destination starts as the current directory.
    txtToFolder->setText(QDir::currentPath());
    txtMP3->setFocus(Qt::OtherFocusReason);
}

frmCopyFile::~frmCopyFile() = default;

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
        box->setFocusPolicy(Qt::ClickFocus);  // can be selected from, never tabbed to
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

    fraDatabase = frame("fraDatabase", QStringLiteral("Source MP3 file to open :"));
    txtMP3 =
        edit(fraDatabase, "txtMP3",
             QStringLiteral("Path and name of the MP3 you want to split (eg. C:\\mysong.mp3)"));
    cmdBrowse = button(fraDatabase, "cmdBrowse", QStringLiteral("&Browse"));

    fraToFolder = frame("fraToFolder", QStringLiteral("Destination folder :"));
    txtToFolder = edit(fraToFolder, "txtToFolder",
                       QStringLiteral("Destination folder where you want the two resulting files "
                                      "to reside (eg. C:\\Work)"));
    cmdBrowseTo = button(fraToFolder, "cmdBrowseTo", QStringLiteral("B&rowse"));

    fraFileInfo = frame("fraFileInfo", QStringLiteral("File Information"));
    auto* label2 = label(fraFileInfo, "Label2", QStringLiteral("Size (Mb)            :"));
    txtSelectedFileSize = readOnly(fraFileInfo, "txtSelectedFileSize", Qt::AlignRight);
    auto* label9 = label(fraFileInfo, "Label9", QStringLiteral("File type :"));
    txtSelectedType = readOnly(fraFileInfo, "txtSelectedType", Qt::AlignLeft);
    auto* label6 = label(fraFileInfo, "Label6", QStringLiteral("Bit rate (bits)       :"));
    txtSelectedBitRate = readOnly(fraFileInfo, "txtSelectedBitRate", Qt::AlignRight);
    auto* label4 = label(fraFileInfo, "Label4", QStringLiteral("No. of frames         :"));
    txtSelectedFrames = readOnly(fraFileInfo, "txtSelectedFrames", Qt::AlignRight);
    auto* label3 = label(fraFileInfo, "Label3", QStringLiteral("Duration (mm:ss) :"));
    txtSelectedDuration = readOnly(fraFileInfo, "txtSelectedDuration", Qt::AlignRight);
    QFont bold = txtSelectedDuration->font();
    bold.setBold(true);
    txtSelectedDuration->setFont(bold);
    auto* label5 = label(fraFileInfo, "Label5", QStringLiteral("Sampling rate (Hz) :"));
    txtSelectedSampling = readOnly(fraFileInfo, "txtSelectedSampling", Qt::AlignRight);
    auto* label7 = label(fraFileInfo, "Label7", QStringLiteral("Split file at (mm:ss) :"));
    txtSplitMinute = edit(fraFileInfo, "txtSplitMinute",
                          QStringLiteral("Which minute of the song that you want it to be split at "
                                         "(eg. 3 = 3rd minute)"));
    txtSplitMinute->setText(QStringLiteral("3"));
    txtSplitMinute->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* label8 = label(fraFileInfo, "Label8", QStringLiteral(":"));
    txtSplitSecond = edit(fraFileInfo, "txtSplitSecond",
                          QStringLiteral("Which second of the song that you want it to be split at "
                                         "(eg. 30 = 30th second)"));
    txtSplitSecond->setText(QStringLiteral("00"));

    fraSplit = frame("fraSplit", QStringLiteral("File Split"));
    cmdSplit = button(fraSplit, "cmdSplit", QStringLiteral("&Split File !"));
    auto* label1 = label(fraSplit, "Label1", QStringLiteral("System messages :"));
    txtSystemMessage = new QPlainTextEdit(fraSplit);
    txtSystemMessage->setObjectName(QStringLiteral("txtSystemMessage"));
    txtSystemMessage->setReadOnly(true);
    txtSystemMessage->setFocusPolicy(Qt::ClickFocus);
    txtSystemMessage->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtSystemMessage->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    txtSystemMessage->setAcceptDrops(false);
    txtSystemMessage->viewport()->setAcceptDrops(false);

    // Positions in twips, relative to the frame that holds each control. A label beside
    // a box reaches up to the box.
    const Twips twips = Twips::Layout(this, {
                                                {fraDatabase, 120, 120, 4695, 735},
                                                {txtMP3, 120, 240, 3495, 285},
                                                {cmdBrowse, 3720, 240, 855, 285},
                                                {fraToFolder, 120, 960, 4695, 735},
                                                {txtToFolder, 120, 240, 3495, 285},
                                                {cmdBrowseTo, 3720, 240, 855, 285},
                                                {fraFileInfo, 120, 1800, 4695, 1935},
                                                {label2, 120, 255, 1320, 255},
                                                {txtSelectedFileSize, 1440, 240, 735, 285},
                                                {label9, 2400, 255, 720, 255},
                                                {txtSelectedType, 3120, 240, 1455, 285},
                                                {label6, 120, 615, 1320, 255},
                                                {txtSelectedBitRate, 1440, 600, 735, 285},
                                                {label4, 2400, 615, 1440, 255},
                                                {txtSelectedFrames, 3840, 600, 735, 285},
                                                {label3, 120, 975, 1320, 255},
                                                {txtSelectedDuration, 1440, 960, 735, 285},
                                                {label5, 2400, 975, 1440, 255},
                                                {txtSelectedSampling, 3840, 960, 735, 285},
                                                {label7, 120, 1455, 1455, 255},
                                                {txtSplitMinute, 1680, 1440, 495, 285},
                                                {label8, 2280, 1455, 135, 255},
                                                {txtSplitSecond, 2400, 1440, 495, 285},
                                                {fraSplit, 120, 3840, 4695, 2295},
                                                {cmdSplit, 3600, 240, 975, 285},
                                                {label1, 120, 360, 1695, 255},
                                                {txtSystemMessage, 120, 600, 4455, 1575},
                                            });
    client->setFixedSize(twips.Pixels(4950), twips.Pixels(6285));

    setTabOrder(txtMP3, cmdBrowse);
    setTabOrder(cmdBrowse, txtToFolder);
    setTabOrder(txtToFolder, cmdBrowseTo);
    setTabOrder(cmdBrowseTo, txtSplitMinute);
    setTabOrder(txtSplitMinute, txtSplitSecond);
    setTabOrder(txtSplitSecond, cmdSplit);

    for (QPushButton* command : {cmdBrowse, cmdBrowseTo, cmdSplit}) {
        // The access key presses a button without moving the focus; moving it here lets
        // the box being left check its text first, as a click would.
        connect(command, &QPushButton::pressed, this,
                [command] { command->setFocus(Qt::ShortcutFocusReason); });
    }
    connect(cmdBrowse, &QPushButton::clicked, this, &frmCopyFile::cmdBrowse_Click);
    connect(cmdBrowseTo, &QPushButton::clicked, this, &frmCopyFile::cmdBrowseTo_Click);
    connect(cmdSplit, &QPushButton::clicked, this, &frmCopyFile::cmdSplit_Click);
}

void frmCopyFile::CreateMenus() {
    QMenu* mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuOpen = mnuFile->addAction(QStringLiteral("&Open"), this, &frmCopyFile::mnuOpen_Click);
    mnuOpen->setObjectName(QStringLiteral("mnuOpen"));
    mnuExit = mnuFile->addAction(QStringLiteral("&Exit"), this, &frmCopyFile::mnuExit_Click);
    mnuExit->setObjectName(QStringLiteral("mnuExit"));
    QMenu* mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuHowTo = mnuHelp->addAction(QStringLiteral("&How To"), this, &frmCopyFile::mnuHowTo_Click);
    mnuHowTo->setObjectName(QStringLiteral("mnuHowTo"));
    mnuAbout = mnuHelp->addAction(QStringLiteral("&About"), this, &frmCopyFile::mnuAbout_Click);
    mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
}

const std::string& frmCopyFile::LogText() const {
    return form_->LogText();
}

bool frmCopyFile::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::FocusIn:
            if (!IsUserFocusChange(static_cast<QFocusEvent*>(event)->reason())) break;
            if (watched == txtMP3) txtMP3_GotFocus();
            if (watched == txtToFolder) txtToFolder_GotFocus();
            if (watched == txtSplitMinute) txtSplitMinute_GotFocus();
            if (watched == txtSplitSecond) txtSplitSecond_GotFocus();
            break;
        case QEvent::FocusOut:
            // The focus that a refused box takes back is no reason to check the box it
            // leaves: two boxes holding bad values must not pass the focus to and fro.
            if (!IsUserFocusChange(static_cast<QFocusEvent*>(event)->reason()) || returningFocus_) {
                break;
            }
            if (watched == txtSplitMinute || watched == txtSplitSecond) {
                pendingCheck_ =
                    watched == txtSplitMinute ? Control::txtSplitMinute : Control::txtSplitSecond;
                QMetaObject::invokeMethod(this, &frmCopyFile::RunPendingCheck,
                                          Qt::QueuedConnection);
            }
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

void frmCopyFile::closeEvent(QCloseEvent* event) {
    // While the folder browser is open this window takes no input, its close box
    // included: the browser hands its folder back to it.
    if (isEnabled()) {
        event->accept();
    } else {
        event->ignore();
    }
}

void frmCopyFile::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void frmCopyFile::dropEvent(QDropEvent* event) {
    const QString path = DroppedFile(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    AnalyseChosenFile(path);
}

void frmCopyFile::cmdBrowse_Click() {
    if (ButtonMayAct(cmdBrowse)) ChooseSourceFile();
}

void frmCopyFile::mnuOpen_Click() {
    ChooseSourceFile();
}

void frmCopyFile::mnuExit_Click() {
    close();
}

void frmCopyFile::mnuHowTo_Click() {
    platform::ShowHelp(this);
}

void frmCopyFile::mnuAbout_Click() {
    // Modeless and without an owner: this window stays usable beside it.
    frmAbout* about = frmAbout::Instance();
    about->show();
    about->raise();
    about->activateWindow();
}

void frmCopyFile::cmdSplit_Click() {
    if (ButtonMayAct(cmdSplit)) SplitFile(*form_, files_, info_);
}

void frmCopyFile::cmdBrowseTo_Click() {
    if (!ButtonMayAct(cmdBrowseTo)) return;
    // The browser has no owner; disabling this window makes it act as a modal dialog
    // until it closes, which enables this window again.
    frmBrowseFolder* browser = frmBrowseFolder::Instance();
    connect(browser, &frmBrowseFolder::FolderChosen, this,
            &frmCopyFile::frmBrowseFolder_FolderChosen, Qt::UniqueConnection);
    connect(browser, &frmBrowseFolder::Unloaded, this, &frmCopyFile::frmBrowseFolder_Unloaded,
            Qt::UniqueConnection);
    browser->show();
    browser->raise();
    browser->activateWindow();
    setEnabled(false);
}

void frmCopyFile::frmBrowseFolder_FolderChosen(const QString& folder) {
    txtToFolder->setText(folder);
}

void frmCopyFile::frmBrowseFolder_Unloaded() {
    // Whichever way the browser closes, this window takes input again.
    setEnabled(true);
}

void frmCopyFile::txtMP3_GotFocus() {
    txtMP3->selectAll();
}

void frmCopyFile::txtMP3_KeyPress(int keyAscii) {
    if (keyAscii == 13) AnalyseSourceFile(*form_, files_, info_);
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
    const auto refusal = CheckSplitSecond(txtSplitSecond->text().toStdString());
    return !refusal || RefuseInput(txtSplitSecond, *refusal);
}

void frmCopyFile::ChooseSourceFile() {
    const QString chosen = platform::Dialogs::Current().OpenFileName(
        this, QStringLiteral("Open MP3 file"), QStringLiteral("MPEG Audio Files (*.MP3)"));
    if (chosen.trimmed().isEmpty()) {
        txtMP3->setFocus(Qt::OtherFocusReason);
        return;
    }
    AnalyseChosenFile(chosen);
}

void frmCopyFile::AnalyseChosenFile(const QString& path) {
    txtMP3->setText(path);
    AnalyseSourceFile(*form_, files_, info_);
}

bool frmCopyFile::ButtonMayAct(QPushButton* command) {
    // A press that reaches the button only after a time box refused its text (and took
    // the focus back) does nothing.
    return !checkShowing_ && RunPendingCheck() && focusWidget() == command;
}

bool frmCopyFile::RunPendingCheck() {
    if (!pendingCheck_) return true;
    const Control box = *std::exchange(pendingCheck_, std::nullopt);
    return box == Control::txtSplitMinute ? txtSplitMinute_LostFocus() : txtSplitSecond_LostFocus();
}

bool frmCopyFile::RefuseInput(QLineEdit* box, const std::string& message) {
    checkShowing_ = true;
    form_->MessageBox(message);
    checkShowing_ = false;
    returningFocus_ = true;
    box->setFocus(Qt::OtherFocusReason);
    box->selectAll();
    returningFocus_ = false;
    return false;
}

}  // namespace quorvel::ui
