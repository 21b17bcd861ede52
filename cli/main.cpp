// quorvel-cli: the analysis and the split command without the window, for scripts and
// for measuring. It answers the window's boxes on the terminal.

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <clocale>
#include <csignal>
#include <cstring>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "engine/SeamCheck.h"
#include "engine/SourceAnalysis.h"
#include "engine/Split.h"
#include "engine/WatchedFiles.h"
#include "platform/EndingSignals.h"
#include "platform/LocalFileSystem.h"
#include "platform/Mpg123Decoder.h"
#include "platform/TagLibEditor.h"

namespace {

using quorvel::Control;

// The signal that asked the program to end, once one has: the split then stops at its
// next read or write and leaves the destination as it was.
std::atomic<bool> stopping = false;
volatile std::sig_atomic_t endingSignal = 0;

extern "C" void Stop(int signal) {
    endingSignal = signal;
    stopping = true;
}

class TerminalForm : public quorvel::SplitForm {
  public:
    bool echoLog = true;
    bool replace = false;
    bool exact = false;

    std::string Text(Control control) const override {
        const auto it = texts_.find(control);
        return it == texts_.end() ? std::string() : it->second;
    }
    void SetText(Control control, const std::string& text) override { texts_[control] = text; }
    void SetFocus(Control) override {}
    void LogReset(const std::string& message) override { Print(message); }
    void LogAppend(const std::string& message) override { Print(message); }
    void LogRepaint() override { std::cout.flush(); }
    void LogScroll() override {}
    void MessageBox(const std::string& text) override { std::cerr << text << '\n'; }
    bool Question(const std::string& text) override {
        if (replace) return true;
        std::cerr << text;
        if (!::isatty(STDIN_FILENO)) {
            std::cerr << " (no: give --replace to replace)\n";
            return false;
        }
        std::cerr << " [y/N] ";
        std::string answer;
        std::getline(std::cin, answer);
        return answer == "y" || answer == "Y" || answer == "yes";
    }
    bool ExactSplit() const override { return exact; }
    std::string ExactSplitHint() const override {
        return "To split at the time given itself, add --exact.";
    }
    std::string DecimalSeparator() const override { return std::localeconv()->decimal_point; }

  private:
    void Print(const std::string& message) {
        if (echoLog) std::cout << message << '\n';
    }

    std::map<Control, std::string> texts_;
};

// Asked for with --help, the usage is the answer; after a wrong call it is the complaint.
int Usage(bool asked = false) {
    std::ostream& out = asked ? std::cout : std::cerr;
    out << "usage: quorvel-cli info FILE\n"
           "       quorvel-cli split [--replace] [--exact] [--] FILE MINUTE SECOND [FOLDER]\n"
           "       quorvel-cli verify SOURCE PART1 PART2\n"
           "       quorvel-cli --help | --version\n";
    return asked ? 0 : 2;
}

int Info(const std::string& file) {
    TerminalForm window;
    window.echoLog = false;
    window.SetText(Control::txtMP3, file);
    quorvel::platform::LocalFileSystem files;
    quorvel::FileInformation info;
    const auto outcome = quorvel::AnalyseSourceFile(window, files, info);
    if (outcome == quorvel::AnalysisOutcome::Unreadable) return 2;
    const std::pair<const char*, Control> lines[] = {
        {"size", Control::txtSelectedFileSize},   {"type", Control::txtSelectedType},
        {"bitrate", Control::txtSelectedBitRate}, {"sampling", Control::txtSelectedSampling},
        {"frames", Control::txtSelectedFrames},   {"duration", Control::txtSelectedDuration},
    };
    for (const auto& [label, control] : lines) {
        std::cout << label << ": " << window.Text(control) << '\n';
    }
    return outcome == quorvel::AnalysisOutcome::FramesFound ? 0 : 1;
}

int Split(std::vector<std::string> arguments) {
    TerminalForm window;
    // Options may stand anywhere up to "--"; after it every argument is a name, even one
    // that starts with "--".
    std::vector<std::string> names;
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && argument == "--replace") {
            window.replace = true;
        } else if (!optionsEnded && argument == "--exact") {
            window.exact = true;
        } else {
            names.push_back(argument);
        }
    }
    arguments = names;
    if (arguments.size() < 3 || arguments.size() > 4) return Usage();
    window.SetText(Control::txtMP3, arguments[0]);
    window.SetText(Control::txtSplitMinute, arguments[1]);
    window.SetText(Control::txtSplitSecond, arguments[2]);
    window.SetText(Control::txtToFolder, arguments.size() == 4 ? arguments[3] : ".");
    quorvel::platform::LocalFileSystem local;
    // Not restarted: a question waiting on the terminal is answered no.
    quorvel::platform::CatchEndingSignals(Stop, quorvel::platform::Handlers::Replace, false);
    quorvel::WatchedFiles files(local, stopping);
    quorvel::platform::TagLibEditor tags;
    quorvel::platform::Mpg123Decoder decoder;
    quorvel::FileInformation info;
    const auto analysis = quorvel::AnalyseSourceFile(window, files, info);
    // A source that cannot be read has said why; there is nothing to split.
    if (analysis == quorvel::AnalysisOutcome::Unreadable) return 2;
    const auto outcome = analysis == quorvel::AnalysisOutcome::Stopped
                             ? quorvel::SplitOutcome::Stopped
                             : quorvel::SplitFile(window, files, tags, decoder, info);
    // Stopped by a signal, the program ends by it, as its caller expects.
    if (outcome != quorvel::SplitOutcome::Completed && endingSignal != 0) {
        std::cout.flush();
        ::signal(endingSignal, SIG_DFL);
        ::raise(endingSignal);
    }
    switch (outcome) {
        case quorvel::SplitOutcome::Completed:
            return 0;
        case quorvel::SplitOutcome::Refused:
            return 1;
        default:
            return 3;
    }
}

// The seam check of any three files, as a split makes it: 0 when the parts decode to the
// source exactly, 1 when they do not, 2 when a file cannot be read or decoded.
int Verify(const std::string& source, const std::string& first, const std::string& second) {
    quorvel::platform::LocalFileSystem files;
    quorvel::platform::Mpg123Decoder decoder;
    try {
        const auto report = quorvel::CheckSeam(decoder, files, source, first, second);
        for (const std::string& line : report.Lines) std::cout << line << '\n';
        if (!report.Decoded) return 2;
        return report.Exact() ? 0 : 1;
    } catch (const quorvel::FileError& error) {
        std::cerr << error.Message() << '\n';
        return 2;
    }
}

}  // namespace

int main(int argc, char** argv) {
    quorvel::platform::IgnoreFileSizeSignal();
    // The user's decimal separator, from the C library's locale; nothing else reads it.
    std::setlocale(LC_NUMERIC, "");
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.size() == 1 && arguments[0] == "--help") return Usage(true);
    if (arguments.size() == 1 && arguments[0] == "--version") {
        std::cout << "quorvel-cli " QUORVEL_VERSION "\n";
        return 0;
    }
    if (arguments.size() == 2 && arguments[0] == "info") return Info(arguments[1]);
    if (!arguments.empty() && arguments[0] == "split") {
        return Split({arguments.begin() + 1, arguments.end()});
    }
    if (arguments.size() == 4 && arguments[0] == "verify") {
        return Verify(arguments[1], arguments[2], arguments[3]);
    }
    return Usage();
}
