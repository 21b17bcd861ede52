#include "ui/frmEditor/EditorForm.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QWidget>

#include "platform/Dialogs.h"
#include "platform/Translations.h"

namespace quorvel::ui {

EditorForm::EditorForm(QWidget* window, QWidget* times, QPlainTextEdit* log)
    : window_(window), times_(times), log_(log) {}

void EditorForm::ShowLine(const Message& line, bool first) {
    lastLine_ = platform::Translated(line);
    if (first) log_->clear();
    log_->appendPlainText(lastLine_);
    emit LineShown(line, first);
}

bool EditorForm::AskToGoOn(const Message& question, const std::vector<std::string>&) {
    return platform::Dialogs::Current().Question(window_, platform::Translated(question),
                                                 platform::kApplicationTitle);
}

void EditorForm::ShowProblem(const Refusal& problem) {
    MessageBox(problem.Text);
    if (problem.About == Field::Time) times_->setFocus(Qt::OtherFocusReason);
}

void EditorForm::MessageBox(const Message& text) {
    platform::Dialogs::Current().Message(window_, platform::Translated(text),
                                         platform::kApplicationTitle);
}

void EditorForm::ScrollLog() {
    log_->verticalScrollBar()->setValue(log_->verticalScrollBar()->maximum());
    emit LogScrolled();
}

Message EditorForm::ExactHint() {
    return Tr("EditorForm",
              "To cut at the times given themselves, choose File > Split Exactly at the Time "
              "Given in the main window.");
}

}  // namespace quorvel::ui
