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

QString Dialogs::OpenFileName(QWidget* parent, const QString& title, const QString& filter) {
    // Qt's own dialog: the desktop's native one matches the filter in one letter case only.
    QFileDialog dialog(parent, title, QString(), filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
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
