#pragma once

#include <QPointer>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quorvel::ui {

class FolderList;

// The folder browser: picks the destination folder from the mounted volumes and their
// folders, and creates and deletes folders. Whoever opens it learns what was chosen and
// when it closed through its signals.
class frmBrowseFolder : public QWidget {
    Q_OBJECT

  public:
    // The one folder browser, created on first use.
    static frmBrowseFolder* Instance();
    ~frmBrowseFolder() override;

  signals:
    // OK was pressed on this folder (its text ends in "/").
    void FolderChosen(const QString& folder);
    // The browser is closing, whichever way it was closed.
    void Unloaded();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    frmBrowseFolder();
    void CreateControls();
    void FillDrives();

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
