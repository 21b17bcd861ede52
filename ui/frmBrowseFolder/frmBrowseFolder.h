#pragma once

#include <QDialog>
#include <QPointer>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quorvel::ui {

class FolderList;

// The folder browser: picks the destination folder from the mounted volumes and their
// folders, and creates and deletes folders. Whoever opens it learns what was chosen and
// when it closed through its signals.
class frmBrowseFolder : public QDialog {
    Q_OBJECT

  public:
    // The one folder browser, created on first use.
    static frmBrowseFolder* Instance();
    ~frmBrowseFolder() override;

    // Shows the folders of `folder`, the destination as it stands, or of the current
    // directory where that is no folder.
    void OpenAt(const QString& folder);

  signals:
    // OK was pressed on this folder (its text ends in "/").
    void FolderChosen(const QString& folder);
    // The browser is closing, whichever way it was closed.
    void Unloaded();

  protected:
    void closeEvent(QCloseEvent* event) override;
    // Esc is Cancel, as in any dialog.
    void reject() override;

  private:
    frmBrowseFolder();
    void CreateControls();
    // Lists the volumes, the one holding `here` shown.
    void FillDrives(const QString& here);

    void drvToDrive_Change();
    void dlbToFolder_Change();
    void dlbToFolder_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdCreateFolder_Click();
    void cmdDeleteFolder_Click();
    void UpdateCurrentFolder();
    void Message(const QString& text);

    QLabel* lblDir;
    QComboBox* drvToDrive;
    FolderList* dlbToFolder;
    QPushButton* cmdCreateFolder;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    QPushButton* cmdDeleteFolder;
    QLabel* lblCurrentFolder;
    QLineEdit* txtCurrentFolder;
    int shownDrive_ = -1;

    static QPointer<frmBrowseFolder> instance_;
};

}  // namespace quorvel::ui
