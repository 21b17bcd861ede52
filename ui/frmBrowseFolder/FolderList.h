#pragma once

#include <QListWidget>

namespace quorvel::ui {

// The folder list: the open folder's ancestors from "/" down, the open folder, then its
// sub-folders. A single click or the arrow keys highlight an entry (Click); a double
// click or Enter opens it (Change).
class FolderList : public QListWidget {
    Q_OBJECT

  public:
    explicit FolderList(QWidget* parent = nullptr);

    QString Path() const { return path_; }
    // Opens a folder and raises Change. Returns false, changing nothing, when the folder
    // cannot be read.
    bool SetPath(const QString& path);
    int ListIndex() const { return currentRow(); }
    // The full path of an entry; only "/" ends with a separator.
    QString List(int index) const;
    // Reads the entries afresh. An open folder that no longer exists gives way to its
    // nearest existing ancestor.
    void Refresh();

  signals:
    void Change();
    void Click();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Fill(const QString& path, const QString& highlight);
    void OpenHighlighted();

    QString path_;
    bool filling_ = false;
};

}  // namespace quorvel::ui
