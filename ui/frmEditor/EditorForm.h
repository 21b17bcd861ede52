#pragma once

#include <QObject>
#include <string>
#include <vector>

#include "engine/Refusal.h"
#include "engine/SourceAnalysis.h"
#include "ui/BackgroundWork.h"

class QPlainTextEdit;
class QWidget;

namespace quorvel::ui {

// The editor's split as its work reports to it: the window's boxes for refusals and
// questions, its own log, and the main window's message log, reached through signals.
class EditorForm final : public QObject, public WorkWindow {
    Q_OBJECT

  public:
    // `times` takes the focus where the split refuses a time; `log` shows the run's lines
    // in the window, as the main window's log does behind it.
    EditorForm(QWidget* window, QWidget* times, QPlainTextEdit* log);

    void ShowLine(const Message& line, bool first) override;
    bool AskToGoOn(const Message& question, const std::vector<std::string>& names) override;

    // The problem in a box of its own; the times take the focus where they are the problem,
    // the source and the folder being the main window's to correct.
    void ShowProblem(const Refusal& problem);
    void MessageBox(const Message& text);
    void ScrollLog();
    // The sentence that tells the user how to cut at the times themselves.
    static Message ExactHint();
    // The last line the log shows.
    const QString& LastLine() const { return lastLine_; }

  signals:
    // What the main window's log is to show.
    void LineShown(const quorvel::Message& line, bool first);
    void LogScrolled();

  private:
    QWidget* window_;
    QWidget* times_;
    QPlainTextEdit* log_;
    QString lastLine_;
};

}  // namespace quorvel::ui
