#pragma once

#include <map>
#include <string>
#include <utility>

#include "engine/SplitForm.h"

class QAction;
class QLineEdit;
class QPlainTextEdit;
class QWidget;

namespace quorvel::ui {

// The main window as the analysis and the split see it: its boxes by name, its message
// log and its message boxes.
class CopyFileForm final : public SplitForm {
  public:
    CopyFileForm(QWidget* window, std::map<Control, QLineEdit*> boxes, QPlainTextEdit* log,
                 const QAction* splitExactly);

    // The message log as one text, lines separated by CR LF.
    const std::string& LogText() const { return logText_; }
    // Whether SetFocus moved the focus since the last time this was asked.
    bool TakeFocusMoved() { return std::exchange(focusMoved_, false); }

    std::string Text(Control control) const override;
    void SetText(Control control, const Message& text) override;
    void SetFocus(Control control) override;
    void LogReset(const Message& message) override;
    void LogAppend(const Message& message) override;
    void LogRepaint() override;
    void LogScroll() override;
    void MessageBox(const Message& text) override;
    bool Question(const Message& text) override;
    std::string DecimalSeparator() const override;
    bool ExactSplit() const override;
    Message ExactSplitHint() const override;

  private:
    QWidget* window_;
    std::map<Control, QLineEdit*> boxes_;
    QPlainTextEdit* log_;
    const QAction* splitExactly_;
    // The log widget shows lines; the log itself keeps its CR LF breaks.
    std::string logText_;
    bool focusMoved_ = false;
};

}  // namespace quorvel::ui
