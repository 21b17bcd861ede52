#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engine/Refusal.h"
#include "engine/SourceAnalysis.h"
#include "ui/BackgroundWork.h"

class QLineEdit;
class QPlainTextEdit;
class QWidget;

namespace quorvel::ui {

// The main window's boxes that an analysis or a split fills or sends the user to.
struct CopyFileBoxes {
    QLineEdit* Source = nullptr;
    QLineEdit* Folder = nullptr;
    QLineEdit* Second = nullptr;
    QLineEdit* Size = nullptr;
    QLineEdit* Type = nullptr;
    QLineEdit* BitRate = nullptr;
    QLineEdit* Sampling = nullptr;
    QLineEdit* Frames = nullptr;
    QLineEdit* Duration = nullptr;
};

// The main window as its work reports to it: the message log, the File Information fields,
// and the boxes for refusals and questions.
class CopyFileForm final : public WorkWindow {
  public:
    CopyFileForm(QWidget* window, CopyFileBoxes boxes, QPlainTextEdit* log);

    // The message log as one text, lines separated by CR LF.
    const std::string& LogText() const { return logText_; }
    // Whether a refusal moved the focus since the last time this was asked.
    bool TakeFocusMoved() { return std::exchange(focusMoved_, false); }

    void ShowLine(const Message& line, bool first) override;
    bool AskToGoOn(const Message& question, const std::vector<std::string>& names) override;

    void ShowFields(const InformationFields& fields);
    // Empties the File Information fields while another file is analysed.
    void ClearFields();
    // The problem in a box of its own, then the focus on the box to correct.
    void ShowProblem(const Refusal& problem);
    void MessageBox(const Message& text);
    // The view ten lines further down, and on to the last line.
    void ScrollLog();
    // The user's decimal separator, used where a number is shown with a fraction.
    static std::string DecimalSeparator();

  private:
    QWidget* window_;
    CopyFileBoxes boxes_;
    QPlainTextEdit* log_;
    // The log widget shows lines; the log itself keeps its CR LF breaks.
    std::string logText_;
    bool focusMoved_ = false;
};

}  // namespace quorvel::ui
