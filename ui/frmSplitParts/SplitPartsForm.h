#pragma once

#include <QObject>
#include <QString>
#include <string>

#include "engine/SplitForm.h"

class QWidget;

namespace quorvel::ui {

// The split into several parts as the analysis and the split see it: the main window's
// source, folder and mode as the window took them, the window's boxes for refusals and
// questions, and the main window's fields and message log, reached through signals.
class SplitPartsForm final : public QObject, public SplitForm {
    Q_OBJECT

  public:
    // `times` takes the focus where the split refuses a time.
    SplitPartsForm(QWidget* window, QWidget* times);

    void Take(const QString& source, const QString& folder, bool exact);

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

  signals:
    // What the main window's fields and log are to show, the texts translated.
    void SetField(quorvel::Control control, const QString& text);
    void ResetLog(const QString& text);
    void AppendToLog(const QString& line);
    void RepaintLog();
    void ScrollLog();

  private:
    QWidget* window_;
    QWidget* times_;
    std::string source_;
    std::string folder_;
    bool exact_ = false;
};

}  // namespace quorvel::ui
