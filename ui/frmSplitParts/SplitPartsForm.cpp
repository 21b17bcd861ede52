#include "ui/frmSplitParts/SplitPartsForm.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QWidget>

#include "platform/Dialogs.h"
#include "platform/Translations.h"

namespace quorvel::ui {

SplitPartsForm::SplitPartsForm(QWidget* window, QWidget* times, QPlainTextEdit* log)
    : window_(window), times_(times), log_(log) {}

void SplitPartsForm::ShowLine(const Message& line, bool first) {
    lastLine_ = platform::Translated(line);
    if (first) log_->clear();
    log_->appendPlainText(lastLine_);
    emit LineShown(line, first);
}

bool SplitPartsForm::AskToGoOn(const Message& question, const std::vector<std::string>&) {
    return platform::Dialogs::Current().Question(window_, platform::Translated(question),
                                                 platform::kApplicationTitle);
}

void SplitPartsForm::ShowProblem(const Refusal& problem) {
    MessageBox(problem.Text);
    if (problem.About == Field::Time) times_->setFocus(Qt::OtherFocusReason);
}

void SplitPartsForm::MessageBox(const Message& text) {
    platform::Dialogs::Current().Message(window_, platform::Translated(text),
                                         platform::kApplicationTitle);
}

void SplitPartsForm::ShowFields(const InformationFields& fields) {
    emit FieldsShown(fields);
}

void SplitPartsForm::ScrollLog() {
    log_->verticalScrollBar()->setValue(log_->verticalScrollBar()->maximum());
    emit LogScrolled();
}

Message SplitPartsForm::ExactHint() {
    return Tr("SplitPartsForm",
              "To cut at the times given themselves, choose File > Split Exactly at the Time "
              "Given and open this window again.");
}

}  // namespace quorvel::ui
