#pragma once

#include <string>

#include "engine/Message.h"

namespace quorvel {

// The main window's text boxes that the engine reads or fills.
enum class Control {
    txtMP3,
    txtToFolder,
    txtSplitMinute,
    txtSplitSecond,
    txtSelectedFileSize,
    txtSelectedType,
    txtSelectedBitRate,
    txtSelectedSampling,
    txtSelectedFrames,
    txtSelectedDuration,
};

// What the analysis and the split need of the form they run in: its boxes, its message
// log and its boxes for refusals and questions. Texts are UTF-8; those the form shows come
// as messages, for it to give in the user's language.
class SplitForm {
  public:
    virtual ~SplitForm() = default;

    virtual std::string Text(Control control) const = 0;
    virtual void SetText(Control control, const Message& text) = 0;
    virtual void SetFocus(Control control) = 0;

    // The message log: one text with CR LF between lines.
    virtual void LogReset(const Message& message) = 0;   // the whole log becomes message
    virtual void LogAppend(const Message& message) = 0;  // old text, CR LF, message
    virtual void LogRepaint() = 0;                       // show the log now, mid-work
    virtual void LogScroll() = 0;  // view 10 lines further down, and on to the last line

    // Modal boxes captioned with the application title, without an icon.
    virtual void MessageBox(const Message& text) = 0;
    virtual bool Question(const Message& text) = 0;  // OK and Cancel; true only for OK

    // The user's decimal separator, used where a number is shown with a fraction.
    virtual std::string DecimalSeparator() const = 0;

    // Whether the user asked to split at the time given itself, with as many added frames
    // as the borrowed bytes need, rather than at the first frame one added frame suffices
    // for.
    virtual bool ExactSplit() const = 0;
    // The sentence that tells the user how to ask for that.
    virtual Message ExactSplitHint() const = 0;
};

}  // namespace quorvel
