#include "ui/frmCopyFile/CopyFileForm.h"

#include <QAction>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <algorithm>

#include "platform/Dialogs.h"
#include "platform/Translations.h"

namespace quorvel::ui {

CopyFileForm::CopyFileForm(QWidget* window, std::map<Control, QLineEdit*> boxes,
                           QPlainTextEdit* log, const QAction* splitExactly)
    : window_(window), boxes_(std::move(boxes)), log_(log), splitExactly_(splitExactly) {}

std::string CopyFileForm::Text(Control control) const {
    return boxes_.at(control)->text().toStdString();
}

void CopyFileForm::SetText(Control control, const Message& text) {
    boxes_.at(control)->setText(platform::Translated(text));
}

void CopyFileForm::SetFocus(Control control) {
    // A box that keeps the focus gets no focus event: select its text here too.
    QLineEdit* box = boxes_.at(control);
    focusMoved_ = true;
    box->setFocus(Qt::OtherFocusReason);
    box->selectAll();
}

void CopyFileForm::LogReset(const Message& message) {
    logText_ = platform::Translated(message).toStdString();
    // Setting the text leaves the view at the top of the log.
    log_->setPlainText(
        QString::fromStdString(logText_).replace(QLatin1String("\r\n"), QLatin1String("\n")));
}

void CopyFileForm::LogAppend(const Message& message) {
    LogReset(logText_ + "\r\n" + platform::Translated(message).toStdString());
}

void CopyFileForm::LogRepaint() {
    log_->viewport()->repaint();
}

void CopyFileForm::LogScroll() {
    // Ten lines down from where the view stands, and on to the end where long paths
    // wrapped into more lines: the run's last line is always in view.
    QScrollBar* bar = log_->verticalScrollBar();
    bar->setValue(std::max(bar->value() + 10, bar->maximum()));
}

void CopyFileForm::MessageBox(const Message& text) {
    platform::Dialogs::Current().Message(window_, platform::Translated(text),
                                         platform::kApplicationTitle);
}

bool CopyFileForm::Question(const Message& text) {
    return platform::Dialogs::Current().Question(window_, platform::Translated(text),
                                                 platform::kApplicationTitle);
}

std::string CopyFileForm::DecimalSeparator() const {
    return QLocale::system().decimalPoint().toStdString();
}

bool CopyFileForm::ExactSplit() const {
    return splitExactly_->isChecked();
}

Message CopyFileForm::ExactSplitHint() const {
    return Tr("CopyFileForm",
              "To split at the time given itself, choose File > Split Exactly at the Time Given.");
}

}  // namespace quorvel::ui
