#include "ui/frmCopyFile/CopyFileForm.h"

#include <QAction>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <algorithm>

#include "platform/Dialogs.h"

namespace quorvel::ui {

CopyFileForm::CopyFileForm(QWidget* window, std::map<Control, QLineEdit*> boxes,
                           QPlainTextEdit* log, const QAction* splitExactly)
    : window_(window), boxes_(std::move(boxes)), log_(log), splitExactly_(splitExactly) {}

std::string CopyFileForm::Text(Control control) const {
    return boxes_.at(control)->text().toStdString();
}

void CopyFileForm::SetText(Control control, const std::string& text) {
    boxes_.at(control)->setText(QString::fromStdString(text));
}

void CopyFileForm::SetFocus(Control control) {
    // A box that keeps the focus gets no focus event: select its text here too.
    QLineEdit* box = boxes_.at(control);
    focusMoved_ = true;
    box->setFocus(Qt::OtherFocusReason);
    box->selectAll();
}

void CopyFileForm::LogReset(const std::string& message) {
    logText_ = message;
    // Setting the text leaves the view at the top of the log.
    log_->setPlainText(
        QString::fromStdString(logText_).replace(QLatin1String("\r\n"), QLatin1String("\n")));
}

void CopyFileForm::LogAppend(const std::string& message) {
    LogReset(logText_ + "\r\n" + message);
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

void CopyFileForm::MessageBox(const std::string& text) {
    platform::Dialogs::Current().Message(window_, QString::fromStdString(text),
                                         platform::kApplicationTitle);
}

bool CopyFileForm::Question(const std::string& text) {
    return platform::Dialogs::Current().Question(window_, QString::fromStdString(text),
                                                 platform::kApplicationTitle);
}

std::string CopyFileForm::DecimalSeparator() const {
    return QLocale::system().decimalPoint().toStdString();
}

bool CopyFileForm::ExactSplit() const {
    return splitExactly_->isChecked();
}

std::string CopyFileForm::ExactSplitHint() const {
    return "To split at the time given itself, choose File > Split Exactly at the Time Given.";
}

}  // namespace quorvel::ui
