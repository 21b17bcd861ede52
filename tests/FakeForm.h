#pragma once

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "engine/ChainRecord.h"
#include "engine/Numbers.h"
#include "engine/Reporter.h"
#include "engine/SeamCheck.h"
#include "engine/SourceAnalysis.h"
#include "engine/Split.h"

namespace quorvel::test {

// The main window's boxes that a test fills or reads.
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

// The main window as its work reports to it, with the message log kept exactly as the
// window keeps it and every box, question and focus change recorded.
class FakeForm : public Reporter {
  public:
    std::map<Control, std::string> texts{{Control::txtSplitMinute, "3"},
                                         {Control::txtSplitSecond, "00"}};
    std::string log;
    std::vector<std::string> messages;   // message boxes in order
    std::vector<std::string> questions;  // question boxes in order
    std::deque<bool> answers;            // answers to give; Cancel when empty
    std::vector<Control> focus;          // focus moves in order
    int scrolls = 0;
    std::string decimalSeparator = ".";
    // The frames of the file analysed last, with its name, as the window keeps them.
    std::shared_ptr<const ChainRecord> walked;
    std::string analysed;
    bool exact = false;

    std::string Text(Control control) const {
        const auto it = texts.find(control);
        return it == texts.end() ? std::string() : it->second;
    }
    void Begin(const Message& line) override {
        log = English(line);
        Heard(log);
    }
    void Log(const Message& line) override {
        log += "\r\n" + English(line);
        Heard(English(line));
    }
    bool Ask(const Message& question, const std::vector<std::string>&) override {
        questions.push_back(English(question));
        if (answers.empty()) return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    void Progress(std::int64_t, std::int64_t) override {}
    bool Stopped() const override { return false; }

    // A line as it reaches the log.
    virtual void Heard(const std::string&) {}

    // What the window's split asks for besides its times.
    SplitRequest Request() const {
        SplitRequest request;
        request.Source = Text(Control::txtMP3);
        request.Folder = Text(Control::txtToFolder);
        request.Exact = exact;
        if (request.Source == analysed) request.Walked = walked;
        request.Separator = decimalSeparator;
        request.ExactHint = std::string("(how to split exactly)");
        return request;
    }
    void Show(const std::optional<Refusal>& problem) {
        if (!problem) return;
        messages.push_back(English(problem->Text));
        const Control box = problem->About == Field::Source        ? Control::txtMP3
                            : problem->About == Field::Destination ? Control::txtToFolder
                                                                   : Control::txtSplitSecond;
        if (problem->About != Field::None) focus.push_back(box);
    }
    void Show(const SplitReport& report) {
        Show(report.Problem);
        if (report.Scroll) ++scrolls;
    }
};

// The window's analysis of the file its source box names: the fields filled, the problem
// shown.
inline AnalysisOutcome AnalyseSourceFile(FakeForm& window, FileSystem& files,
                                         FrameLevels* levels = nullptr) {
    const Analysis analysis = AnalyseSource(files, window.Text(Control::txtMP3), window,
                                            {.Levels = levels != nullptr, .Frames = true});
    if (const auto fields = Fields(analysis, window.decimalSeparator)) {
        const std::pair<Control, const Message*> shown[] = {
            {Control::txtSelectedFileSize, &fields->Size},
            {Control::txtSelectedType, &fields->Type},
            {Control::txtSelectedBitRate, &fields->BitRate},
            {Control::txtSelectedSampling, &fields->Sampling},
            {Control::txtSelectedFrames, &fields->Frames},
            {Control::txtSelectedDuration, &fields->Duration},
        };
        for (const auto& [box, text] : shown) window.texts[box] = English(*text);
    }
    window.Show(analysis.Problem);
    if (levels) *levels = analysis.Levels;
    window.walked = analysis.Walked;
    window.analysed = window.Text(Control::txtMP3);
    return analysis.Outcome;
}

// The window's split in two at its boxes' time: the request, or the refusal shown.
inline std::variant<SplitRequest, SplitReport> SplitInTwoRequest(FakeForm& window,
                                                                 const FileSystem& files) {
    // The length as the duration box shows it.
    const std::string duration = window.Text(Control::txtSelectedDuration);
    const auto colon = duration.find(':');
    const double seconds = colon == std::string::npos ? 0
                                                      : ReadNumber(duration.substr(0, colon)) * 60 +
                                                            ReadNumber(duration.substr(colon + 1));
    SplitRequest request = window.Request();
    return SplitInTwoAt(request, window.Text(Control::txtSplitMinute),
                        window.Text(Control::txtSplitSecond), seconds, files);
}

// The window's Split File.
inline SplitOutcome SplitFile(FakeForm& window, FileSystem& files, TagEditor& tags,
                              AudioDecoder& decoder, SplitReport* result = nullptr) {
    auto checked = SplitInTwoRequest(window, files);
    SplitReport report = std::holds_alternative<SplitReport>(checked)
                             ? std::get<SplitReport>(checked)
                             : Split(std::get<SplitRequest>(checked), files, tags, decoder, window);
    window.Show(report);
    if (result) *result = report;
    return report.Outcome;
}

// The parts window's split.
inline SplitOutcome SplitIntoParts(FakeForm& window, FileSystem& files, TagEditor& tags,
                                   AudioDecoder& decoder, const PartsRequest& parts,
                                   SplitReport* result = nullptr) {
    SplitRequest request = window.Request();
    request.Parts = parts;
    SplitReport report = Split(request, files, tags, decoder, window);
    window.Show(report);
    if (result) *result = report;
    return report.Outcome;
}

// The decoder of a split whose seam the test leaves unchecked: the log says it could not be
// loaded.
class NoDecoder final : public AudioDecoder {
  public:
    static constexpr const char* kWhy = "none in this test";
    std::optional<std::string> Unavailable() override { return kWhy; }
    using AudioDecoder::Open;
    std::unique_ptr<DecodedAudio> Open(std::unique_ptr<SourceFile> file, Length,
                                       const WalkedFrames&) override {
        throw FileError(FileError::Operation::Read, file->Path(), std::string(kWhy));
    }
};

}  // namespace quorvel::test
