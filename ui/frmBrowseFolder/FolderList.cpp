#include "ui/frmBrowseFolder/FolderList.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStyle>
#include <QStyledItemDelegate>

namespace quorvel::ui {
namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kDepthRole = Qt::UserRole + 1;

// Indents each entry by its depth below "/", as a tree of the open folder's line.
class IndentDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem indented(option);
        indented.rect.adjust(index.data(kDepthRole).toInt() * Indent(option), 0, 0, 0);
        QStyledItemDelegate::paint(painter, indented, index);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QStyledItemDelegate::sizeHint(option, index) +
               QSize(index.data(kDepthRole).toInt() * Indent(option), 0);
    }

  private:
    static int Indent(const QStyleOptionViewItem& option) { return option.fontMetrics.height(); }
};

// "/" and each folder between it and `path`, `path` included.
QStringList LineOf(const QString& path) {
    QStringList line{QStringLiteral("/")};
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString walked;
    for (const QString& part : parts) {
        walked += QLatin1Char('/') + part;
        line << walked;
    }
    return line;
}

}  // namespace

FolderList::FolderList(QWidget* parent) : QListWidget(parent) {
    setItemDelegate(new IndentDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(16, 16));
    connect(this, &QListWidget::currentRowChanged, this, [this] {
        if (!filling_) emit Click();
    });
    connect(this, &QListWidget::itemDoubleClicked, this, &FolderList::OpenHighlighted);
}

bool FolderList::SetPath(const QString& path) {
    const QString folder = QDir::cleanPath(QDir(path).absolutePath());
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isReadable() || !QDir(folder).isReadable()) return false;
    path_ = folder;
    Fill(folder, folder);
    emit Change();
    return true;
}

QString FolderList::List(int index) const {
    const QListWidgetItem* entry = item(index);
    return entry ? entry->data(kPathRole).toString() : QString();
}

void FolderList::Refresh() {
    const QString highlighted = List(currentRow());
    while (!QFileInfo(path_).isDir() && path_ != QLatin1String("/")) {
        path_ = QFileInfo(path_).path();
    }
    Fill(path_, highlighted);
}

void FolderList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        OpenHighlighted();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void FolderList::Fill(const QString& path, const QString& highlight) {
    filling_ = true;
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirIcon);
    const QStringList line = LineOf(path);
    const auto add = [&](const QString& folder, const QIcon& icon, int depth) {
        const QString name = folder == QLatin1String("/") ? folder : QFileInfo(folder).fileName();
        auto* entry = new QListWidgetItem(icon, name, this);
        entry->setData(kPathRole, folder);
        entry->setData(kDepthRole, depth);
        entry->setToolTip(folder);
    };
    for (int depth = 0; depth < line.size(); ++depth) add(line[depth], open, depth);
    const QString prefix = path == QLatin1String("/") ? QString() : path;
    const QStringList subFolders =
        QDir(path).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : subFolders) {
        add(prefix + QLatin1Char('/') + name, closed, static_cast<int>(line.size()));
    }

    int row = static_cast<int>(line.size()) - 1;
    for (int i = 0; i < count(); ++i) {
        if (List(i) == highlight) row = i;
    }
    setCurrentRow(row);
    filling_ = false;
}

void FolderList::OpenHighlighted() {
    const QString folder = List(currentRow());
    if (!folder.isEmpty()) SetPath(folder);
}

}  // namespace quorvel::ui
