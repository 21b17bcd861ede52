#pragma once

#include <QWidget>
#include <memory>

#include "engine/Edit.h"
#include "platform/LocalFileSystem.h"
#include "platform/TagLibEditor.h"
#include "ui/BackgroundWork.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace quorvel::ui {

// File > Join Files: files of one format put together, in the order of the list, into one
// new file without re-encoding, on a thread of its own. The list is ordered by dragging or
// by Move Up and Move Down; the log tells each seam.
class frmJoinFiles final : public QWidget {
    Q_OBJECT

  public:
    // `folder`: where the file dialogs open first.
    frmJoinFiles(QWidget* owner, const QString& folder);
    ~frmJoinFiles() override;

    // Whether a join is under way.
    bool Working() const;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    class JoinForm;

    void CreateControls();
    void cmdAdd_Click();
    void cmdRemove_Click();
    // Moves the selected file by `step` rows, up where it is negative.
    void Move(int step);
    void cmdBrowse_Click();
    void cmdJoin_Click();
    void cmdClose_Click();
    void BackgroundWork_Finished();
    void ShowResult(const EditReport& report);
    void UpdateCommands();

    QString folder_;
    QListWidget* lstFiles;
    QPushButton* cmdAdd;
    QPushButton* cmdRemove;
    QPushButton* cmdUp;
    QPushButton* cmdDown;
    QCheckBox* chkChapters;
    QLineEdit* txtOutput;
    QPushButton* cmdBrowse;
    QPlainTextEdit* txtLog;
    QLabel* lblResult;
    QProgressBar* progress_;
    QPushButton* cmdJoin;
    QPushButton* cmdClose;
    bool closeAfterWork_ = false;

    std::unique_ptr<JoinForm> form_;
    platform::LocalFileSystem files_;
    platform::TagLibEditor tags_;
    // Last, so that it stops and ends before the form and the files it uses go.
    std::unique_ptr<BackgroundWork> work_;
};

}  // namespace quorvel::ui
