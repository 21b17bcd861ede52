#include "ui/frmCopyFile/CopyFileForm.h"

#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <algorithm>

#include "platform/Dialogs.h"
#include "platform/Translations.h"

namespace quorvel::ui {

CopyFileForm::CopyFileForm(QWidget* window, CopyFileBoxes boxes, QPlainTextEdit* log)
    : window_(window), boxes_(boxes), log_(log) {}

void CopyFileForm::ShowLine(const Message& line, bool first) {
    const std::string text = platform::Translated(line).toStdString();
    logText_ = first ? text : logText_ + "\r\n" + text;
    // Setting the text leaves the view at the top of the log.
    log_->setPlainText(
        QString::fromStdString(logText_).replace(QLatin1String("\r\n"), QLatin1String("\n")));
}

bool CopyFileForm::AskToGoOn(const Message& question, const std::vector<std::string>&) {
    return platform::Dialogs::Current().Question(window_, platform::Translated(question),
                                                 platform::kApplicationTitle);
}

void CopyFileForm::ShowFields(const InformationFields& fields) {
    const std::pair<QLineEdit*, const Message*> shown[] = {
        {boxes_.Size, &fields.Size},       {boxes_.Type, &fields.Type},
        {boxes_.BitRate, &fields.BitRate}, {boxes_.Sampling, &fields.Sampling},
        {boxes_.Frames, &fields.Frames},   {boxes_.Duration, &fields.Duration},
    };
    for (const auto& [box, text] : shown) box->setText(platform::Translated(*text));
}

void CopyFileForm::ClearFields() {
    for (QLineEdit* box : {boxes_.Size, boxes_.Type, boxes_.BitRate, boxes_.Sampling, boxes_.Frames,
                           boxes_.Duration}) {
        box->clear();
    }
}

void CopyFileForm::ShowProblem(const Refusal& problem) {
    MessageBox(problem.Text);
    QLineEdit* box = problem.About == Field::Source        ? boxes_.Source
                     : problem.About == Field::Destination ? boxes_.Folder
                     : problem.About == Field::Time        ? boxes_.Second
                                                           : nullptr;
    if (!box) return;
    // A box that keeps the focus gets no focus event: select its text here too.
    focusMoved_ = true;
    box->setFocus(Qt::OtherFocusReason);
    box->selectAll();
}

void CopyFileForm::MessageBox(const Message& text) {
    platform::Dialogs::Current().Message(window_, platform::Translated(text),
                                         platform::kApplicationTitle);
}

void CopyFileForm::ScrollLog() {
    // Ten lines down from where the view stands, and on to the end where long paths
    // wrapped into more lines: the run's last line is always in view.
    QScrollBar* bar = log_->verticalScrollBar();
    bar->setValue(std::max(bar->value() + 10, bar->maximum()));
}

std::string CopyFileForm::DecimalSeparator() {
    return QLocale::system().decimalPoint().toStdString();
}

}  // namespace quorvel::ui
