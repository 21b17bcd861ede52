#include "platform/Dialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace quorvel::platform {
namespace {

Dialogs* installed = nullptr;

}  // namespace

void Dialogs::Message(QWidget* parent, const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

bool Dialogs::Question(QWidget* parent, const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok | QMessageBox::Cancel,
                    parent);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

QString Dialogs::OpenFileName(QWidget* parent, const QString& title, const QString& filter,
                              const QString& folder) {
    QFileDialog dialog(parent, title, folder, filter);
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
    dialog.setFileMode(QFileDialog::ExistingFile);
    // Wide and tall enough for the name, size, type and date of each file.
    dialog.setViewMode(QFileDialog::Detail);
    dialog.resize(dialog.sizeHint().expandedTo(QSize(760, 480)));
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
               ? dialog.selectedFiles().front()
               : QString();
}

QString Dialogs::InputText(QWidget* parent, const QString& prompt, const QString& title,
                           const QString& defaultText) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, defaultText, &ok);
    return ok ? text : QString();
}

Dialogs& Dialogs::Current() {
    static Dialogs real;
    return installed ? *installed : real;
}

void Dialogs::Install(Dialogs* dialogs) {
    installed = dialogs;
}

}  // namespace quorvel::platform
