#include "platform/Dialogs.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QStyle>

namespace quorvel::platform {
namespace {

Dialogs* installed = nullptr;

// The width a box needs for the window manager to show its whole title: the title in a
// bold face, with room for the title bar's icon and buttons.
int TitleWidth(const QWidget* box, const QString& title) {
    QFont bold = box->font();
    bold.setBold(true);
    return QFontMetrics(bold).horizontalAdvance(title) +
           5 * box->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, box);
}

// A message box sizes itself to its text alone: a row of that width below the text keeps
// it as wide as its title.
void FitTitle(QMessageBox& box) {
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(new QSpacerItem(TitleWidth(&box, box.windowTitle()), 0), grid->rowCount(), 0,
                      1, grid->columnCount());
    }
}

}  // namespace

void Dialogs::Message(QWidget* parent, const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    FitTitle(box);
    box.exec();
}

bool Dialogs::Question(QWidget* parent, const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok | QMessageBox::Cancel,
                    parent);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    FitTitle(box);
    return box.exec() == QMessageBox::Ok;
}

namespace {

// Shows a file dialog with one filter entry; the file chosen, or an empty text.
QString ChosenFile(QFileDialog& dialog, const QString& filter) {
    // The desktop's dialogs match a filter's pattern in its own letter case only: each
    // pattern goes in both cases, the entry's name as it is.
    const qsizetype open = filter.indexOf(u'('), close = filter.lastIndexOf(u')');
    if (open >= 0 && close > open) {
        QStringList patterns = filter.mid(open + 1, close - open - 1).split(u' ');
        for (const QString& pattern : QStringList(patterns)) {
            for (const QString& other : {pattern.toLower(), pattern.toUpper()}) {
                if (!patterns.contains(other)) patterns << other;
            }
        }
        dialog.setNameFilter(filter.left(open) + u'(' + patterns.join(u' ') + u')');
    }
    // Wide and tall enough for the name, size, type and date of each file.
    dialog.setViewMode(QFileDialog::Detail);
    dialog.resize(dialog.sizeHint().expandedTo(QSize(760, 480)));
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
               ? dialog.selectedFiles().front()
               : QString();
}

}  // namespace

QString Dialogs::OpenFileName(QWidget* parent, const QString& title, const QString& filter,
                              const QString& folder) {
    QFileDialog dialog(parent, title, folder, filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return ChosenFile(dialog, filter);
}

QString Dialogs::SaveFileName(QWidget* parent, const QString& title, const QString& filter,
                              const QString& path) {
    QFileDialog dialog(parent, title, path, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The work asks about a file already there, once, as about every output.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDefaultSuffix(QStringLiteral("mp3"));
    return ChosenFile(dialog, filter);
}

QString Dialogs::InputText(QWidget* parent, const QString& prompt, const QString& title,
                           const QString& defaultText) {
    QInputDialog dialog(parent);
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultText);
    dialog.setMinimumWidth(TitleWidth(&dialog, title));
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
}

Dialogs& Dialogs::Current() {
    static Dialogs real;
    return installed ? *installed : real;
}

void Dialogs::Install(Dialogs* dialogs) {
    installed = dialogs;
}

}  // namespace quorvel::platform
