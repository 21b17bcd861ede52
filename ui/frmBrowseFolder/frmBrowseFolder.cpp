#include "ui/frmBrowseFolder/frmBrowseFolder.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "engine/Numbers.h"
#include "platform/Dialogs.h"
#include "platform/LocalFileSystem.h"
#include "platform/Translations.h"
#include "platform/Volumes.h"
#include "ui/Twips.h"
#include "ui/Windows.h"
#include "ui/frmBrowseFolder/FolderList.h"

namespace quorvel::ui {

QPointer<frmBrowseFolder> frmBrowseFolder::instance_;

namespace {

constexpr int kRootRole = Qt::UserRole;

}  // namespace

frmBrowseFolder* frmBrowseFolder::Instance() {
    if (!instance_) instance_ = new frmBrowseFolder;
    return instance_;
}

frmBrowseFolder::frmBrowseFolder() {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Browse destination folder"));
    CreateControls();
    WindowKeys(this, false);
    OpenAt(QDir::currentPath());
    drvToDrive->setFocus(Qt::OtherFocusReason);
}

frmBrowseFolder::~frmBrowseFolder() = default;

void frmBrowseFolder::OpenAt(const QString& folder) {
    const QFileInfo given(folder);
    const QString here =
        given.isDir() ? QDir::cleanPath(given.absoluteFilePath()) : QDir::currentPath();
    drvToDrive->clear();
    FillDrives(here);
    dlbToFolder->SetPath(here);
    UpdateCurrentFolder();
}

void frmBrowseFolder::CreateControls() {
    const auto button = [this](const char* name, const QString& caption) {
        auto* command = new QPushButton(caption, this);
        command->setObjectName(QLatin1String(name));
        command->setAutoDefault(false);
        command->setFocusPolicy(Qt::StrongFocus);
        return command;
    };
    lblDir = new QLabel(tr("Look in:"), this);
    lblDir->setObjectName(QStringLiteral("lblDir"));
    drvToDrive = new QComboBox(this);
    drvToDrive->setObjectName(QStringLiteral("drvToDrive"));
    dlbToFolder = new FolderList(this);
    dlbToFolder->setObjectName(QStringLiteral("dlbToFolder"));
    cmdCreateFolder = button("cmdCreateFolder", tr("&Create Folder"));
    cmdOK = button("cmdOK", tr("&Ok"));
    cmdCancel = button("cmdCancel", tr("Ca&ncel"));
    cmdDeleteFolder = button("cmdDeleteFolder", tr("&Delete Folder"));
    lblCurrentFolder = new QLabel(tr("Current Folder :"), this);
    lblCurrentFolder->setObjectName(QStringLiteral("lblCurrentFolder"));
    txtCurrentFolder = new QLineEdit(this);
    txtCurrentFolder->setObjectName(QStringLiteral("txtCurrentFolder"));
    txtCurrentFolder->setReadOnly(true);  // selectable, not editable
    QPalette palette = txtCurrentFolder->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    txtCurrentFolder->setPalette(palette);
    // What a screen reader says of the lists and the folder box.
    lblDir->setBuddy(drvToDrive);
    lblCurrentFolder->setBuddy(txtCurrentFolder);
    drvToDrive->setAccessibleName(tr("Volume"));
    drvToDrive->setAccessibleDescription(tr("The volume whose folders the list shows"));
    dlbToFolder->setAccessibleName(tr("Folders"));
    dlbToFolder->setAccessibleDescription(
        tr("The folders of the current folder and the folders above it"));
    txtCurrentFolder->setAccessibleName(tr("Current folder"));

    const Twips twips = Twips::Layout(this, {
                                                {lblDir, 240, 120, 975, 255},
                                                {drvToDrive, 1080, 80, 3135, 315},
                                                {dlbToFolder, 120, 600, 5775, 2340},
                                                {cmdCreateFolder, 120, 3720, 1455, 375},
                                                {cmdOK, 4440, 3120, 1455, 375},
                                                {cmdCancel, 4440, 3600, 1455, 375},
                                                {cmdDeleteFolder, 1800, 3720, 1455, 375},
                                                {lblCurrentFolder, 120, 3120, 1215, 255},
                                                {txtCurrentFolder, 120, 3360, 4095, 285},
                                            });
    resize(twips.X(6060), twips.Y(4170));

    setTabOrder(drvToDrive, dlbToFolder);
    setTabOrder(dlbToFolder, cmdCreateFolder);
    setTabOrder(cmdCreateFolder, cmdOK);
    setTabOrder(cmdOK, cmdCancel);
    setTabOrder(cmdCancel, cmdDeleteFolder);
    setTabOrder(cmdDeleteFolder, txtCurrentFolder);

    // Change comes only when the user picks another drive than the one shown.
    connect(drvToDrive, &QComboBox::activated, this, [this](int index) {
        if (index == shownDrive_) return;
        shownDrive_ = index;
        drvToDrive_Change();
    });
    connect(dlbToFolder, &FolderList::Change, this, &frmBrowseFolder::dlbToFolder_Change);
    connect(dlbToFolder, &FolderList::Click, this, &frmBrowseFolder::dlbToFolder_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmBrowseFolder::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmBrowseFolder::cmdCancel_Click);
    connect(cmdCreateFolder, &QPushButton::clicked, this, &frmBrowseFolder::cmdCreateFolder_Click);
    connect(cmdDeleteFolder, &QPushButton::clicked, this, &frmBrowseFolder::cmdDeleteFolder_Click);
}

void frmBrowseFolder::FillDrives(const QString& here) {
    // The folder's volume: the listed one whose root holds it most closely, or the
    // system's answer where none does.
    const auto volumes = platform::MountedVolumes();
    QString current;
    for (const platform::Volume& volume : volumes) {
        const QString root = volume.RootPath.endsWith(QLatin1Char('/'))
                                 ? volume.RootPath
                                 : volume.RootPath + QLatin1Char('/');
        if ((here == volume.RootPath || here.startsWith(root)) &&
            volume.RootPath.size() > current.size()) {
            current = volume.RootPath;
        }
    }
    if (current.isEmpty()) current = platform::VolumeRootOf(here);
    for (const platform::Volume& volume : volumes) {
        const QString shown = volume.Name.isEmpty() ? volume.RootPath
                                                    : volume.RootPath + QStringLiteral(" [") +
                                                          volume.Name + QLatin1Char(']');
        drvToDrive->addItem(shown, volume.RootPath);
        if (volume.RootPath == current) drvToDrive->setCurrentIndex(drvToDrive->count() - 1);
    }
    // The volume of the current folder is always there to pick, listed or not, so that
    // the drive shown is the one the folder list opens on.
    if (drvToDrive->findData(current, kRootRole) < 0) {
        drvToDrive->addItem(current, current);
        drvToDrive->setCurrentIndex(drvToDrive->count() - 1);
    }
    shownDrive_ = drvToDrive->currentIndex();
}

void frmBrowseFolder::closeEvent(QCloseEvent* event) {
    emit Unloaded();
    event->accept();
}

void frmBrowseFolder::reject() {
    cmdCancel_Click();
}

void frmBrowseFolder::drvToDrive_Change() {
    const QString root = drvToDrive->currentData(kRootRole).toString();
    const auto volumes = platform::MountedVolumes();
    const auto listed = std::find_if(volumes.begin(), volumes.end(),
                                     [&](const auto& volume) { return volume.RootPath == root; });
    // A volume missing from the list (the current folder's) is ready when it can be read.
    const bool ready = listed == volumes.end() ? QFileInfo(root).isDir() : listed->Ready;
    // A volume that is not ready leaves the list and the text on the previous folder.
    if (!ready || !dlbToFolder->SetPath(root)) Message(tr("Nothing in the drive!"));
}

void frmBrowseFolder::dlbToFolder_Change() {
    UpdateCurrentFolder();
    const auto length = static_cast<int>(txtCurrentFolder->text().size());
    txtCurrentFolder->setCursorPosition(length);
    txtCurrentFolder->deselect();
}

void frmBrowseFolder::dlbToFolder_Click() {
    dlbToFolder_Change();
}

void frmBrowseFolder::cmdOK_Click() {
    emit FolderChosen(txtCurrentFolder->text());
    close();
}

void frmBrowseFolder::cmdCancel_Click() {
    close();
}

void frmBrowseFolder::cmdCreateFolder_Click() {
    const QString name = platform::Dialogs::Current().InputText(
        this, tr("Please enter new folder name :"), tr("Create new folder"), QString());
    if (TrimBlanks(name.toStdString()).empty()) return;
    const QString folder = txtCurrentFolder->text() + name;
    const auto failure = platform::CreateFolder(folder.toStdString());
    if (failure) {
        Message(tr("Cannot create folder %1: %2.").arg(folder, QString::fromStdString(*failure)));
    }
    dlbToFolder->Refresh();
    // The new folder is highlighted at once, where the user looks for it.
    for (int row = 0; !failure && row < dlbToFolder->count(); ++row) {
        if (dlbToFolder->List(row) == QDir::cleanPath(folder)) dlbToFolder->setCurrentRow(row);
    }
    UpdateCurrentFolder();
}

void frmBrowseFolder::cmdDeleteFolder_Click() {
    QString folder =
        QString::fromStdString(std::string(TrimBlanks(txtCurrentFolder->text().toStdString())));
    folder.chop(1);
    // Neither "/" nor the root of a volume is ever deleted, not even through a link to
    // it: it would take a whole disk.
    const QString real = QFileInfo(folder).canonicalFilePath();
    if (folder.isEmpty() || (!real.isEmpty() && platform::VolumeRootOf(real) == real) ||
        drvToDrive->findData(folder, kRootRole) >= 0) {
        Message(tr("The folder %1 is the root of a volume and cannot be deleted.")
                    .arg(folder.isEmpty() ? QStringLiteral("/") : folder));
        return;
    }
    auto& dialogs = platform::Dialogs::Current();
    if (!dialogs.Question(this, tr("Are you sure you want to delete :\n%1 ?").arg(folder),
                          tr("The folder will be moved to the trash"))) {
        return;
    }
    const std::string path = folder.toStdString();
    if (platform::HoldsOrdinaryFiles(path) &&
        !dialogs.Question(this,
                          tr("There are files in %1. Are you sure you want to delete the folder "
                             "and files inside the folder?")
                              .arg(folder),
                          platform::kApplicationTitle)) {
        return;
    }
    // The folder goes as one item with all it holds, so that restoring it gives it back
    // whole; a link to a folder goes alone, its target untouched.
    if (const auto said = DescribeRemoval(path, platform::DeleteToTrash(path))) {
        Message(platform::Translated(*said));
    }
    dlbToFolder->Refresh();
    UpdateCurrentFolder();
}

void frmBrowseFolder::UpdateCurrentFolder() {
    const QString entry = dlbToFolder->List(dlbToFolder->ListIndex());
    // The text always ends in one separator; "/" keeps its own. A folder name may end in
    // blanks on this system, so they stay part of the path.
    txtCurrentFolder->setText(entry.endsWith(QLatin1Char('/')) ? entry : entry + QLatin1Char('/'));
    // A new text places no caret: it stands at the start, where the Change handler moves
    // it from.
    txtCurrentFolder->setCursorPosition(0);
}

void frmBrowseFolder::Message(const QString& text) {
    platform::Dialogs::Current().Message(this, text, platform::kApplicationTitle);
}

}  // namespace quorvel::ui
