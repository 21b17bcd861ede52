#pragma once

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/SeamCheck.h"
#include "engine/SplitForm.h"

namespace quorvel::test {

// The main window as the engine sees it, with the message log kept exactly as the
// window keeps it and every box and focus change recorded.
class FakeForm : public SplitForm {
  public:
    std::map<Control, std::string> texts{{Control::txtSplitMinute, "3"},
                                         {Control::txtSplitSecond, "00"}};
    std::string log;
    std::vector<std::string> messages;   // message boxes in order
    std::vector<std::string> questions;  // question boxes in order
    std::deque<bool> answers;            // answers to give; Cancel when empty
    std::vector<Control> focus;          // focus moves in order
    int repaints = 0;
    int scrolls = 0;
    std::string decimalSeparator = ".";
    bool exact = false;

    std::string Text(Control control) const override {
        const auto it = texts.find(control);
        return it == texts.end() ? std::string() : it->second;
    }
    void SetText(Control control, const Message& text) override { texts[control] = English(text); }
    void SetFocus(Control control) override { focus.push_back(control); }
    void LogReset(const Message& message) override { log = English(message); }
    void LogAppend(const Message& message) override { log += "\r\n" + English(message); }
    void LogRepaint() override { ++repaints; }
    void LogScroll() override { ++scrolls; }
    void MessageBox(const Message& text) override { messages.push_back(English(text)); }
    bool Question(const Message& text) override {
        questions.push_back(English(text));
        if (answers.empty()) return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::string DecimalSeparator() const override { return decimalSeparator; }
    bool ExactSplit() const override { return exact; }
    Message ExactSplitHint() const override { return std::string("(how to split exactly)"); }
};

// The decoder of a split whose seam the test leaves unchecked: the log says it could not be
// loaded.
class NoDecoder final : public AudioDecoder {
  public:
    static constexpr const char* kWhy = "none in this test";
    std::optional<std::string> Unavailable() override { return kWhy; }
    using AudioDecoder::Open;
    std::unique_ptr<DecodedAudio> Open(std::unique_ptr<SourceFile> file, Length,
                                       std::int64_t) override {
        throw FileError(FileError::Operation::Read, file->Path(), std::string(kWhy));
    }
};

}  // namespace quorvel::test
