// quorvel-cli: the analysis and the split command without the window, for scripts and
// for measuring. It reports on the terminal what the window shows. What it prints on its
// output is the same in every locale: it never sets one, its numbers always carry a point,
// and its log is in English. What it says to the user on its error output is in the user's
// language, where the program has a translation into it.

#include <getopt.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <variant>
#include <vector>

#include "TerminalProgress.h"
#include "engine/CopyAhead.h"
#include "engine/Cut.h"
#include "engine/Gain.h"
#include "engine/Join.h"
#include "engine/Loudness.h"
#include "engine/Numbers.h"
#include "engine/PartLists.h"
#include "engine/R128Meter.h"
#include "engine/SeamCheck.h"
#include "engine/Silences.h"
#include "engine/SourceAnalysis.h"
#include "engine/Split.h"
#include "engine/SplitTime.h"
#include "engine/WatchedFiles.h"
#include "platform/CueSheetReader.h"
#include "platform/DesktopServices.h"
#include "platform/EndingSignals.h"
#include "platform/LocalFileSystem.h"
#include "platform/Mpg123Decoder.h"
#include "platform/TagLibEditor.h"

namespace {

using json = nlohmann::ordered_json;
using quorvel::Tr;
using quorvel::platform::Translated;

// The start of every line the companion prints about a failure, as getopt's own are.
constexpr const char* kName = "quorvel-cli: ";

// The signal that asked the program to end, once one has: the split then stops at its
// next read or write and leaves the destination as it was.
std::atomic<bool> stopping = false;
volatile std::sig_atomic_t endingSignal = 0;
// --quiet: no progress line on the terminal.
bool quiet = false;

extern "C" void Stop(int signal) {
    endingSignal = signal;
    stopping = true;
}

struct Options {
    bool replace = false;
    bool exact = false;
    bool json = false;
    // The parts command's, as given: its cut times, a cue sheet, the source's chapters, a
    // cut every so often, a count of parts and a name pattern; and the times as read.
    std::vector<std::string> at;
    std::optional<std::string> cue;
    bool chapters = false;
    std::optional<std::string> every;
    std::optional<std::string> count;
    std::optional<std::string> name;
    std::vector<std::chrono::microseconds> times;
    std::chrono::microseconds step{0};
    long long parts = 0;
    // The silences command's, as given: the threshold and the shortest silence; and the
    // rule they make.
    std::optional<std::string> threshold;
    std::optional<std::string> least;
    quorvel::SilenceRule rule;
    // The cut command's: the spans as given and as read, and whether their ends go to the
    // nearest silence.
    std::vector<std::string> remove;
    std::vector<quorvel::RemovedSpan> spans;
    bool snap = false;
    // The trim command's silence kept on either side of the sound, as given and as read.
    std::optional<std::string> keep;
    double keepSeconds = 0.25;
    // The gain command's change in dB as given, its steps as read, and its switches.
    std::optional<std::string> db;
    std::optional<std::string> to;  // the loudness to bring it to, as given
    std::optional<double> toLufs;
    int steps = 0;
    bool noClip = false;
    bool undo = false;
    // Its fades, as given and as read.
    std::optional<std::string> fadeIn, fadeOut;
    double fadeInSeconds = 0, fadeOutSeconds = 0;
    // The loudness command's: write ReplayGain tags; measure the peak between the samples.
    bool tag = false;
    bool truePeak = false;
};

// The work's reports on the terminal: the log on standard output, in English; questions
// and what the user is to be shown on the error output, in the user's language.
class TerminalReporter : public quorvel::Reporter {
  public:
    explicit TerminalReporter(bool printLog) : printLog_(printLog), progress_(!quiet) {}

    void Begin(const quorvel::Message& line) override { Log(line); }
    void Log(const quorvel::Message& line) override {
        log_.push_back(quorvel::English(line));
        progress_.Clear();
        if (printLog_) std::cout << log_.back() << std::endl;
        progress_.Doing(log_.back());
    }
    bool Ask(const quorvel::Message& question, const std::vector<std::string>&) override {
        progress_.Clear();
        std::cerr << kName << Translated(question);
        if (!::isatty(STDIN_FILENO)) {
            std::cerr << ' ' << Translated(Tr("quorvel-cli", "(no: give --replace to replace)"))
                      << '\n';
            return false;
        }
        std::cerr << " [y/N] ";
        std::string answer;
        std::getline(std::cin, answer);
        // The locale's yes, as rpmatch(3) reads it ("j" in German), looked up in the user's
        // locale on this thread alone, so that the output stays the same in every locale.
        const locale_t user = ::newlocale(LC_MESSAGES_MASK | LC_CTYPE_MASK, "", locale_t{});
        const locale_t before = user ? ::uselocale(user) : locale_t{};
        const bool yes = ::rpmatch(answer.c_str()) == 1;
        if (user) {
            ::uselocale(before);
            ::freelocale(user);
        }
        return yes || answer == "y" || answer == "Y" || answer == "yes";
    }
    void Progress(std::int64_t done, std::int64_t total) override {
        progress_.Reached(done, total);
    }
    bool Stopped() const override { return stopping; }
    void Step(const quorvel::Message& what) override { progress_.Doing(quorvel::English(what)); }
    // What a window would show in a box of its own.
    void Show(const quorvel::Message& text) {
        progress_.Clear();
        std::cerr << kName << Translated(text) << '\n';
        messages_.push_back(quorvel::English(text));
    }
    // A file given that cannot be read, or is no MP3 file or cue sheet: shown, and the
    // first such is the run's error for --json.
    void Unusable(const std::string& file, const quorvel::Message& why) {
        Show(why);
        if (error_.is_null()) error_ = {{"file", file}, {"message", quorvel::English(why)}};
    }

    // The log's lines, the boxes' texts and the error so far (null where none), for --json.
    const std::vector<std::string>& LogLines() const { return log_; }
    const std::vector<std::string>& Messages() const { return messages_; }
    const json& Error() const { return error_; }

  private:
    const bool printLog_;
    TerminalProgress progress_;
    std::vector<std::string> log_;
    std::vector<std::string> messages_;
    json error_;
};

// One object on one line, in ASCII: a name's bytes that are no UTF-8 become U+FFFD.
void PrintJson(const json& object) {
    std::cout << object.dump(-1, ' ', true, json::error_handler_t::replace) << '\n';
}

// The usage lines, the complaint after a wrong call.
constexpr const char* kUsage =
    "usage: quorvel-cli info [-q|--quiet] [--json] FILE\n"
    "       quorvel-cli split [-r|--replace] [-x|--exact] [-q|--quiet] [--json] [--fade-in "
    "SECONDS] "
    "[--fade-out SECONDS] [--] FILE MINUTE SECOND [FOLDER]\n"
    "       quorvel-cli parts [-r|--replace] [-x|--exact] [-q|--quiet] [--json] (--at TIME)... | "
    "--cue FILE | --chapters | --every TIME | --count N [--name PATTERN] [--fade-in SECONDS] "
    "[--fade-out SECONDS] [--] FILE [FOLDER]\n"
    "       quorvel-cli cut (--remove FROM-TO)... [--snap] [-r|--replace] [-q|--quiet] [--json] "
    "[--fade-in SECONDS] [--fade-out SECONDS] [--] FILE OUTPUT\n"
    "       quorvel-cli trim [--threshold DB] [--keep SECONDS] [-r|--replace] [-q|--quiet] "
    "[--json] [--] FILE OUTPUT\n"
    "       quorvel-cli gain ((--db DB | --to LUFS) [--no-clip] [--fade-in SECONDS] [--fade-out "
    "SECONDS] | --undo) [-r|--replace] [-q|--quiet] [--json] [--] FILE OUTPUT\n"
    "       quorvel-cli join [--chapters] [-r|--replace] [-q|--quiet] [--json] [--] FILE... "
    "OUTPUT\n"
    "       quorvel-cli verify [-q|--quiet] [--json] SOURCE PART1 PART2\n"
    "       quorvel-cli silences [--threshold DB] [--min SECONDS] [-q|--quiet] [--json] [--] "
    "FILE\n"
    "       quorvel-cli loudness [--tag] [--true-peak] [-q|--quiet] [--json] [--] FILE...\n"
    "       quorvel-cli -h|--help | -V|--version\n";

// What follows the usage lines in the help: each command, each option, the times read and
// the exit statuses. Lines fit a terminal of 80 columns.
constexpr const char* kHelp = R"(
Analyses an MP3 file, splits it in two or in parts without re-encoding, checks
the seam of a split, lists the silences of a file or measures its loudness.

Commands:
  info FILE       print the file's size (MB), type, bit rate (bit/s), sampling
                  rate (Hz), frames and duration (minutes:seconds)
  split FILE MINUTE SECOND [FOLDER]
                  split FILE at MINUTE:SECOND into FOLDER/NAME1.mp3 and
                  FOLDER/NAME2.mp3, NAME being FILE's name without its
                  extension and FOLDER the current directory unless given;
                  print the log and check the seam
  parts FILE [FOLDER]
                  split FILE into the parts NAME1.mp3 to NAMEn.mp3 in FOLDER,
                  cut as one of --at, --cue, --chapters, --every and --count
                  says; print the log and check every seam
  cut FILE OUTPUT write FILE without the spans --remove gives into OUTPUT,
                  without re-encoding, each end on the nearest frame
                  boundary; check the samples on either side of every seam
  trim FILE OUTPUT
                  write FILE without its leading and trailing silence into
                  OUTPUT, to the sample, keeping --keep of it on either side
  gain FILE OUTPUT
                  write FILE louder or quieter by --db into OUTPUT, without
                  re-encoding: every granule's gain by whole steps of 1.5 dB,
                  recorded in OUTPUT's tag so that --undo gives FILE back
  join FILE... OUTPUT
                  put the files, of one MPEG version, sampling rate and channel
                  count, together into OUTPUT without re-encoding: one length
                  header, the first file's tags; parts of one source that a
                  split made join back to its very samples
  verify SOURCE PART1 PART2
                  decode the three files as a gapless player does and compare
                  the samples of the parts with SOURCE's up to a quarter of a
                  second on either side of the cut (half a second below 32 kHz)
  silences FILE   decode FILE and print each stretch below the threshold for
                  at least the shortest length: its start, end and length
                  (m:ss.sss), one a line
  loudness FILE...
                  decode the files and print each one's integrated loudness
                  (EBU R128, LUFS), loudness range (LU) and peak (dBFS, the
                  largest sample), then, with several, the album's: all of
                  them together

Options:
  -r, --replace   split, parts, cut, trim, gain, join: replace outputs that
                  exist, moving them to the trash; without it a terminal asks,
                  and otherwise they are kept
  -x, --exact     split, parts: cut at the sample, the times read to the
                  millisecond; the parts played gaplessly give the source's
                  very samples
  -q, --quiet     show no progress line: without it, a run that takes longer
                  than a second tells on the error output, where that is a
                  terminal, what it is doing, how far it is, its rate and the
                  time left
      --json      print one JSON object on one line instead of the text; its
                  fields are listed in quorvel-cli(1)
  -h, --help      print this help and exit, after a command too
  -V, --version   print the version and exit
  --              end the options: every argument after it is a name

Options of parts (give one of the first five):
      --at TIME         cut at TIME; give it once for each cut, in any order
      --cue FILE        cut at the tracks of the cue sheet FILE, each part
                        titled as its track
      --chapters        cut at the chapters of the source's own ID3v2 tag;
                        join: give the output one chapter for each file,
                        titled as its title tag
      --every TIME      cut every TIME from the start
      --count N         cut into N parts of equal length (N from 2)
      --name PATTERN    name the parts PATTERN.mp3: %n the part's number, %t
                        its title, %b the source's name without its extension,
                        %% a percent sign

Options of cut:
      --remove FROM-TO  remove the audio from FROM to TO (times as TIME below);
                        give it once for each span
      --snap            move each end to the middle of the nearest silence
                        within a second (as silences finds them), where there is
                        one

Options of silences (and trim, --threshold):
      --threshold DB    the level a silence stays below, in dB of full scale,
                        at most 0; -50 unless given
      --min SECONDS     the shortest silence listed; 0.5 unless given

Options of trim:
      --keep SECONDS    the silence kept before the sound and after it; 0.25
                        unless given

Options of gain (give --db, --to or --undo):
      --db DB           the change in dB, to the nearest 1.5 dB (-3, +6)
      --to LUFS         the steps that bring the integrated loudness nearest
                        LUFS (-18)
      --no-clip         fewer steps louder where the decoded peak would
                        otherwise reach full scale
      --undo            write the file as it was before the gain its tag
                        records, byte for byte

Options of split, parts, cut and gain:
      --fade-in SECONDS fade each output in from silence over its first SECONDS,
                        a step of 1.5 dB a granule (gain: with --db 0 alone)
      --fade-out SECONDS
                        fade each output out to silence over its last SECONDS

Options of loudness:
      --tag             write ReplayGain 2.0 values (-18 LUFS reference) into
                        each file's ID3v2 tag: track gain and peak, and with
                        several files album gain and peak; the rest of the
                        file stays as it is, and the older file is removed
      --true-peak       the peak between the samples too, four times
                        oversampled, as EBU R128 has it (slower)

Options may stand anywhere before "--", and a long option may be shortened while
it stays unambiguous.

Times:
  MINUTE is a number of minutes and SECOND seconds from 0 to 59, up to three
  decimals after a point (30.250); without --exact a fraction rounds to the
  whole second, half to even.
  TIME is [h:]m:ss, the seconds two digits, up to three decimals after a point
  (1:02:03.250); without --exact a fraction rounds to the whole second.
  Numbers are read and printed with a point in every locale.

Exit status:
  0  info: frames were found; split, parts, join: the output was written;
     verify: the parts join the source exactly; silences: silences were found;
     loudness: every file was measured (and tagged)
  1  info: the file holds no MP3 frames; split, parts, join: the request was
     refused; verify: samples or lengths differ; silences: none was found;
     loudness: a file could not be measured or tagged (the others were)
  2  a file cannot be read (verify, silences: or decoded), or a wrong call
  3  split, parts, join: the run ended without completing and changed nothing
  A split, silences or loudness stopped by SIGINT, SIGTERM or SIGHUP ends by
  that signal.
)";

// Asked for with --help, the usage and the help are the answer; after a wrong call the
// usage alone is the complaint.
int Usage(bool asked = false) {
    (asked ? std::cout : std::cerr) << kUsage << (asked ? kHelp : "");
    return asked ? 0 : 2;
}

// Stopped by a signal, the program ends by it, as its caller expects.
void EndBySignal() {
    if (endingSignal == 0) return;
    std::cout.flush();
    ::signal(endingSignal, SIG_DFL);
    ::raise(endingSignal);
}

// A wrong call: what is wrong, then the usage.
int WrongCall(const quorvel::Message& why) {
    std::cerr << kName << Translated(why) << '\n';
    return Usage();
}

// Seconds to the microsecond, as every time and length in the JSON is given: the frames'
// durations summed leave noise below it.
double Seconds(double seconds) {
    return std::round(seconds * 1e6) / 1e6;
}

// `frames` sample frames at `rate`, so.
double SecondsOf(std::int64_t frames, std::int32_t rate) {
    return Seconds(double(frames) / rate);
}

int Info(const Options& options, const std::string& file) {
    TerminalReporter reporter(false);
    quorvel::platform::LocalFileSystem local;
    quorvel::WatchedFiles files(local, reporter);
    const quorvel::Analysis analysis = quorvel::AnalyseSource(files, file, reporter);
    if (analysis.Problem) reporter.Unusable(file, analysis.Problem->Text);
    const bool unreadable = analysis.Outcome == quorvel::AnalysisOutcome::Unreadable;
    const bool found = analysis.Outcome == quorvel::AnalysisOutcome::FramesFound;
    const quorvel::InformationFields fields =
        Fields(analysis, ".").value_or(quorvel::InformationFields{});
    const auto text = [](const quorvel::Message& field) { return quorvel::English(field); };
    if (options.json) {
        // The fields as the analysis filled them, numbers as numbers; none but the size
        // and the type where it found no frames, none at all where it could not read the
        // file.
        const json none = nullptr;
        const auto number = [&](const quorvel::Message& field) {
            return found ? json(std::stoll(text(field))) : none;
        };
        PrintJson({
            {"file", file},
            {"size_mb", unreadable ? none : json(quorvel::ReadNumber(text(fields.Size)))},
            {"type", unreadable ? none : json(text(fields.Type))},
            {"bitrate", number(fields.BitRate)},
            {"sampling", number(fields.Sampling)},
            {"frames", number(fields.Frames)},
            {"duration", found ? json(Seconds(analysis.Scan.TotalSeconds)) : none},
            {"error", reporter.Error()},
        });
    } else if (!unreadable) {
        const std::pair<const char*, const quorvel::Message*> lines[] = {
            {"size", &fields.Size},       {"type", &fields.Type},
            {"bitrate", &fields.BitRate}, {"sampling", &fields.Sampling},
            {"frames", &fields.Frames},   {"duration", &fields.Duration},
        };
        for (const auto& [label, field] : lines) std::cout << label << ": " << text(*field) << '\n';
    }
    if (unreadable) return 2;
    return found ? 0 : 1;
}

// A seam as the check found it; its numbers none where it could not be made.
json SeamJson(const quorvel::SeamReport& report) {
    const auto made = [&](json value) { return report.Decoded ? value : json(nullptr); };
    const auto seconds = [&](std::int64_t frames) {
        return report.Decoded ? json(SecondsOf(frames, report.Rate)) : json(nullptr);
    };
    return {
        {"exact", report.Exact()},
        {"compared", made(report.Compared)},
        {"differing", made(report.Differing)},
        {"largest_difference", made(report.LargestDifference)},
        {"differing_before", seconds(report.DifferingBefore)},
        {"differing_after", seconds(report.DifferingAfter)},
        {"source_samples", made(report.SourceLength)},
        {"parts_samples", made({report.FirstLength, report.SecondLength})},
    };
}

const char* OutcomeName(quorvel::SplitOutcome outcome) {
    switch (outcome) {
        case quorvel::SplitOutcome::Refused:
            return "refused";
        case quorvel::SplitOutcome::NoSafePosition:
            return "no_safe_position";
        case quorvel::SplitOutcome::Declined:
            return "declined";
        case quorvel::SplitOutcome::Failed:
            return "failed";
        case quorvel::SplitOutcome::Stopped:
            return "stopped";
        case quorvel::SplitOutcome::Completed:
            return "completed";
    }
    return "failed";
}

json CutJson(const quorvel::SplitCut& cut) {
    return {{"byte", cut.Byte}, {"frame", cut.Frame}, {"seconds", Seconds(cut.Seconds)}};
}

// What the companion's split asks for besides where to cut.
quorvel::SplitRequest Request(const Options& options, const std::string& file,
                              const std::string& folder) {
    quorvel::SplitRequest request;
    request.Source = file;
    request.Folder = folder;
    request.Exact = options.exact;
    request.Existing =
        options.replace ? quorvel::ExistingOutputs::Replace : quorvel::ExistingOutputs::Ask;
    request.ExactHint = Tr("quorvel-cli", "To split at the time given itself, add --exact.");
    request.FadeInSeconds = options.fadeInSeconds;
    request.FadeOutSeconds = options.fadeOutSeconds;
    return request;
}

// Why `command` cannot go on without the desktop module, which it needs for the tags, the
// trash and the seam check: none loads, or one left from another installation would be
// called through a table laid out otherwise. None where it loads.
std::optional<quorvel::Message> WithoutModule(const std::string& command) {
    const auto why = quorvel::platform::DesktopUnavailable();
    if (!why) return std::nullopt;
    return Tr("quorvel-cli", "%1: the desktop module cannot be loaded (%2); nothing was done")
        .Arg(command)
        .Arg(*why);
}

// Analyses FILE, then splits it into FOLDER by `split`, which takes the request with the
// analysis's count of frames and the analysis, and reports the run: the log, or with --json
// one object to which `cuts` and `seams` add what the command found of each; the exit code
// as the outcome says. `early` gives the split's request where its times are known before
// the analysis: its last part's audio is then copied while the analysis reads the source.
template <typename Early, typename Split, typename Cuts, typename Seams>
int RunSplit(TerminalReporter& reporter, const std::string& command, const Options& options,
             quorvel::SplitRequest request, Early&& early, Split&& split, Cuts&& cuts,
             Seams&& seams) {
    quorvel::platform::LocalFileSystem local;
    // Not restarted: a question waiting on the terminal is answered no.
    quorvel::platform::CatchEndingSignals(Stop, quorvel::platform::Handlers::Replace, false);
    quorvel::platform::TagLibEditor aheadTags;
    quorvel::CopyAhead ahead(local, [&reporter] { return reporter.Stopped(); });
    quorvel::WatchedFiles files(ahead, reporter);
    quorvel::platform::TagLibEditor tags;
    quorvel::platform::Mpg123Decoder decoder;
    // The seam check decodes through the desktop module: it loads on another core while
    // the analysis reads the source.
    const std::jthread loading([&decoder] { (void)decoder.Unavailable(); });
    quorvel::AnalysisKeeps keeps{.Frames = true};
    if (auto known = early(request, local)) {
        // The analysis's walk finds the cuts too: the split need not walk the source again.
        keeps.CutsAt = known->Parts.Times;
        keeps.ExactCuts = known->Exact;
        ahead.Start(*std::move(known), aheadTags);
    }
    const quorvel::Analysis analysis =
        quorvel::AnalyseSource(files, request.Source, reporter, keeps);
    if (analysis.Problem) reporter.Unusable(request.Source, analysis.Problem->Text);
    request.Walked = analysis.Walked;
    request.Found = analysis.Cuts;
    const bool unreadable = analysis.Outcome == quorvel::AnalysisOutcome::Unreadable;
    quorvel::SplitReport report;
    // A source that cannot be read has said why; there is nothing to split.
    report.Outcome = quorvel::SplitOutcome::Stopped;
    if (!unreadable && analysis.Outcome != quorvel::AnalysisOutcome::Stopped) {
        if (const auto why = WithoutModule(command)) {
            reporter.Show(*why);
            report.Outcome = quorvel::SplitOutcome::Failed;
        } else {
            report = split(request, analysis, files, tags, decoder);
            if (report.Problem) reporter.Show(report.Problem->Text);
        }
    }
    ahead.Abandon();
    const bool completed = report.Outcome == quorvel::SplitOutcome::Completed;
    if (options.json) {
        json outputs = json::array();
        std::int64_t written = 0;
        for (std::size_t i = 0; completed && i < report.Paths.size(); ++i) {
            outputs.push_back({{"path", report.Paths[i]}, {"bytes", report.Bytes[i]}});
            written += report.Bytes[i];
        }
        json object = {{"outcome", unreadable ? "unreadable" : OutcomeName(report.Outcome)}};
        cuts(object, report);
        object["outputs"] = outputs;
        object["bytes_written"] = written;
        seams(object, report);
        object["log"] = reporter.LogLines();
        object["messages"] = reporter.Messages();
        object["error"] = reporter.Error();
        PrintJson(object);
    }
    if (unreadable) return 2;
    if (!completed) EndBySignal();
    switch (report.Outcome) {
        case quorvel::SplitOutcome::Completed:
            return 0;
        case quorvel::SplitOutcome::Refused:
            return 1;
        default:
            return 3;
    }
}

int Split(const Options& options, const std::vector<std::string>& arguments) {
    TerminalReporter reporter(!options.json);
    return RunSplit(
        reporter, "split", options,
        Request(options, arguments[0], arguments.size() == 4 ? arguments[3] : "."),
        [&](const quorvel::SplitRequest& request,
            const quorvel::FileSystem& files) -> std::optional<quorvel::SplitRequest> {
            // Any length will do: the split checks the time against the analysis's.
            auto checked = quorvel::SplitInTwoAt(request, arguments[1], arguments[2],
                                                 std::numeric_limits<double>::infinity(), files);
            if (auto* known = std::get_if<quorvel::SplitRequest>(&checked)) return *known;
            return std::nullopt;
        },
        [&](const quorvel::SplitRequest& request, const quorvel::Analysis& analysis,
            quorvel::FileSystem& files, quorvel::TagEditor& tags, quorvel::AudioDecoder& decoder) {
            const double seconds = analysis.Outcome == quorvel::AnalysisOutcome::FramesFound
                                       ? analysis.Scan.TotalSeconds
                                       : 0;
            auto checked =
                quorvel::SplitInTwoAt(request, arguments[1], arguments[2], seconds, files);
            if (auto* refused = std::get_if<quorvel::SplitReport>(&checked)) return *refused;
            return quorvel::Split(std::get<quorvel::SplitRequest>(checked), files, tags, decoder,
                                  reporter);
        },
        [](json& object, const quorvel::SplitReport& report) {
            object["cut"] = report.Cuts.empty() ? json(nullptr) : CutJson(report.Cuts[0]);
        },
        [](json& object, const quorvel::SplitReport& report) {
            object["seam"] = report.Seams.empty() ? json(nullptr) : SeamJson(report.Seams[0]);
        });
}

// What is wrong with split's MINUTE and SECOND as numbers, where something is, as the help
// writes them: whole minutes, and seconds with up to three decimals. Their range and what
// a fraction means under each rule are the split's own, as the window's boxes have them.
std::optional<quorvel::Message> CheckSplitTime(const std::vector<std::string>& arguments) {
    if (!quorvel::IsPlainDecimal(arguments[1], 0)) {
        return Tr("quorvel-cli", "split: invalid minute '%1'").Arg(arguments[1]);
    }
    if (!quorvel::IsPlainDecimal(arguments[2], 3)) {
        return Tr("quorvel-cli", "split: invalid second '%1'").Arg(arguments[2]);
    }
    return std::nullopt;
}

// A time as [h:]m:ss[.fff], as split reads its MINUTE and SECOND (RuledTime). None where
// the text is no such time.
std::optional<std::chrono::microseconds> ReadTime(const std::string& text, bool exact) {
    const auto milliseconds = quorvel::ReadClockTime(text, ".");
    if (!milliseconds) return std::nullopt;
    return std::chrono::milliseconds(quorvel::RuledTime(*milliseconds, exact));
}

// Reads the parts command's options into `options`; what is wrong with them where they
// cannot be read.
std::optional<quorvel::Message> ReadPartsOptions(Options& options) {
    const int ways = (options.at.empty() ? 0 : 1) + (options.cue ? 1 : 0) +
                     (options.chapters ? 1 : 0) + (options.every ? 1 : 0) + (options.count ? 1 : 0);
    if (ways != 1) {
        return Tr("quorvel-cli",
                  "parts: give --at, --cue, --chapters, --every or --count, one of them");
    }
    std::optional<std::string> invalid;
    const auto read = [&](const std::string& text) {
        const auto time = ReadTime(text, options.exact);
        if (!time && !invalid) invalid = text;
        return time.value_or(std::chrono::microseconds(0));
    };
    for (const std::string& text : options.at) options.times.push_back(read(text));
    if (options.every) options.step = read(*options.every);
    if (invalid) return Tr("quorvel-cli", "parts: invalid time '%1'").Arg(*invalid);
    if (options.count) {
        const std::string& text = *options.count;
        const bool digits =
            !text.empty() && text.size() <= 6 &&
            std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
        options.parts = digits ? std::stoll(text) : 0;
        if (options.parts < 2) return Tr("quorvel-cli", "parts: invalid count '%1'").Arg(text);
    }
    return std::nullopt;
}

// The parts the cue sheet at `path` lists in the source at `file`, `durationMs` long; none
// where the sheet cannot be read or cut from the source, and the user was told why.
std::optional<std::vector<quorvel::PartStart>> CueStarts(TerminalReporter& reporter,
                                                         const std::string& path,
                                                         const std::string& file,
                                                         std::int64_t durationMs) {
    auto read = quorvel::platform::ReadCueSheet(path);
    if (const auto* why = std::get_if<quorvel::Message>(&read)) {
        reporter.Unusable(path, *why);
        return std::nullopt;
    }
    const auto& sheet = std::get<quorvel::CueSheet>(read);
    if (const auto why = quorvel::CheckCueTracks(sheet, durationMs)) {
        reporter.Show(*why);
        return std::nullopt;
    }
    if (const auto warning = quorvel::CheckCueAudioFile(sheet, file)) reporter.Log(*warning);
    return quorvel::CueStarts(sheet);
}

// The parts the options list in the source at `file`, which the analysis found to play for
// `length`; the outcome where there are none, the user told why: the source or the cue sheet
// cannot be read, or the source has fewer than two chapters.
std::variant<std::vector<quorvel::PartStart>, quorvel::SplitOutcome> PartStarts(
    TerminalReporter& reporter, const Options& options, quorvel::FileSystem& files,
    quorvel::TagEditor& tags, const std::string& file, const quorvel::PlayedLength& length) {
    if (!options.at.empty()) return quorvel::StartsAt(options.times);
    try {
        if (options.chapters) {
            auto read = quorvel::ChapterStarts(*files.OpenSource(file), tags, ".");
            if (const auto* why = std::get_if<quorvel::Message>(&read)) {
                reporter.Show(*why);
                return quorvel::SplitOutcome::Refused;
            }
            auto& starts = std::get<std::vector<quorvel::PartStart>>(read);
            if (starts.size() >= 2) return std::move(starts);
            reporter.Show(Tr("quorvel-cli", "parts: %1 has no chapters to split at").Arg(file));
            return quorvel::SplitOutcome::Refused;
        }
        if (options.every) return quorvel::EveryStarts(options.step, length);
        if (options.count) return quorvel::EqualStarts(options.parts, length);
        auto starts = CueStarts(reporter, *options.cue, file, length.Ms());
        if (!starts) return quorvel::SplitOutcome::Refused;
        return *std::move(starts);
    } catch (const quorvel::FileError& error) {
        reporter.Unusable(error.Path(), error.Message());
        return quorvel::SplitOutcome::Failed;
    } catch (const quorvel::WorkStopped&) {
        return quorvel::SplitOutcome::Stopped;
    }
}

// A run that ends before the split, with its outcome.
quorvel::SplitReport Ended(quorvel::SplitOutcome outcome) {
    quorvel::SplitReport report;
    report.Outcome = outcome;
    return report;
}

int Parts(const Options& options, const std::vector<std::string>& arguments) {
    TerminalReporter reporter(!options.json);
    return RunSplit(
        reporter, "parts", options,
        Request(options, arguments[0], arguments.size() == 2 ? arguments[1] : "."),
        // The parts' times come from the analysis.
        [](const quorvel::SplitRequest&, const quorvel::FileSystem&)
            -> std::optional<quorvel::SplitRequest> { return std::nullopt; },
        [&](quorvel::SplitRequest request, const quorvel::Analysis& analysis,
            quorvel::FileSystem& files, quorvel::TagEditor& tags, quorvel::AudioDecoder& decoder) {
            const auto starts =
                PartStarts(reporter, options, files, tags, arguments[0], analysis.Played);
            if (const auto* outcome = std::get_if<quorvel::SplitOutcome>(&starts)) {
                return Ended(*outcome);
            }
            request.Parts = quorvel::PartsAt(std::get<0>(starts));
            request.Parts.Times.EndQuietly = options.every.has_value();
            request.Parts.NamePattern = options.name.value_or("");
            return quorvel::Split(request, files, tags, decoder, reporter);
        },
        [](json& object, const quorvel::SplitReport& report) {
            json cuts = json::array();
            for (const auto& cut : report.Cuts) cuts.push_back(CutJson(cut));
            object["cuts"] = cuts;
        },
        [](json& object, const quorvel::SplitReport& report) {
            json seams = json::array();
            for (const auto& seam : report.Seams) seams.push_back(SeamJson(seam));
            object["seams"] = seams;
        });
}

const char* EditOutcomeName(quorvel::EditOutcome outcome) {
    switch (outcome) {
        case quorvel::EditOutcome::Refused:
            return "refused";
        case quorvel::EditOutcome::Unreadable:
            return "unreadable";
        case quorvel::EditOutcome::Declined:
            return "declined";
        case quorvel::EditOutcome::Failed:
            return "failed";
        case quorvel::EditOutcome::Stopped:
            return "stopped";
        case quorvel::EditOutcome::Completed:
            return "completed";
    }
    return "failed";
}

// Reports an edit's run: its problem shown, with --json one object (the outcome, the output
// and its size, the log); the exit code as the outcome says.
int ReportEdit(TerminalReporter& reporter, const Options& options,
               const quorvel::EditReport& report) {
    if (report.Problem && !report.Unusable.empty()) {
        reporter.Unusable(report.Unusable, report.Problem->Text);
    } else if (report.Problem) {
        reporter.Show(report.Problem->Text);
    }
    const bool completed = report.Outcome == quorvel::EditOutcome::Completed;
    if (options.json) {
        json outputs = json::array();
        if (completed) outputs.push_back({{"path", report.Path}, {"bytes", report.Bytes}});
        PrintJson({{"outcome", EditOutcomeName(report.Outcome)},
                   {"outputs", outputs},
                   {"bytes_written", completed ? report.Bytes : 0},
                   {"log", reporter.LogLines()},
                   {"messages", reporter.Messages()},
                   {"error", reporter.Error()}});
    }
    switch (report.Outcome) {
        case quorvel::EditOutcome::Completed:
            return 0;
        case quorvel::EditOutcome::Refused:
            return 1;
        case quorvel::EditOutcome::Unreadable:
            return 2;
        default:
            EndBySignal();
            return 3;
    }
}

// Runs an edit into its output with the files, tags and decoder it needs, and reports it.
template <typename Edit>
int RunEditCommand(const Options& options, const std::string& command, Edit&& edit) {
    TerminalReporter reporter(!options.json);
    quorvel::platform::LocalFileSystem local;
    // Not restarted: a question waiting on the terminal is answered no.
    quorvel::platform::CatchEndingSignals(Stop, quorvel::platform::Handlers::Replace, false);
    quorvel::WatchedFiles files(local, reporter);
    quorvel::platform::TagLibEditor tags;
    quorvel::platform::Mpg123Decoder decoder;
    quorvel::EditReport report;
    if (const auto why = WithoutModule(command)) {
        reporter.Show(*why);
        report.Outcome = quorvel::EditOutcome::Failed;
    } else {
        report = edit(files, tags, decoder, reporter);
    }
    return ReportEdit(reporter, options, report);
}

// The sources and output of an edit, and what to do with an output already there.
quorvel::EditFiles EditFilesOf(const Options& options, std::vector<std::string> sources,
                               const std::string& output) {
    return {std::move(sources), output,
            options.replace ? quorvel::ExistingOutputs::Replace : quorvel::ExistingOutputs::Ask};
}

// Joins the files given into the last operand.
int Join(const Options& options, const std::vector<std::string>& operands) {
    quorvel::JoinRequest request;
    request.Files = EditFilesOf(options, {operands.begin(), operands.end() - 1}, operands.back());
    request.Chapters = options.chapters;
    return RunEditCommand(
        options, "join",
        [&](quorvel::FileSystem& files, quorvel::TagEditor& tags, quorvel::AudioDecoder&,
            quorvel::Reporter& reporter) { return quorvel::Join(request, files, tags, reporter); });
}

// Writes FILE without the spans given into OUTPUT.
int Cut(const Options& options, const std::vector<std::string>& operands) {
    quorvel::CutOutRequest request;
    request.Files = EditFilesOf(options, {operands[0]}, operands[1]);
    request.Remove = options.spans;
    request.Snap = options.snap;
    request.FadeInSeconds = options.fadeInSeconds;
    request.FadeOutSeconds = options.fadeOutSeconds;
    return RunEditCommand(options, "cut",
                          [&](quorvel::FileSystem& files, quorvel::TagEditor& tags,
                              quorvel::AudioDecoder& decoder, quorvel::Reporter& reporter) {
                              return quorvel::CutOut(request, files, tags, decoder, reporter);
                          });
}

// Writes FILE without its leading and trailing silence into OUTPUT.
int Trim(const Options& options, const std::vector<std::string>& operands) {
    quorvel::TrimRequest request;
    request.Files = EditFilesOf(options, {operands[0]}, operands[1]);
    request.Silence.ThresholdDb = options.rule.ThresholdDb;
    // Any silence longer than what is kept of it is worth trimming.
    request.Silence.MinSeconds = std::max(options.keepSeconds, 0.01);
    request.KeepSeconds = options.keepSeconds;
    return RunEditCommand(options, "trim",
                          [&](quorvel::FileSystem& files, quorvel::TagEditor& tags,
                              quorvel::AudioDecoder& decoder, quorvel::Reporter& reporter) {
                              return quorvel::Trim(request, files, tags, decoder, reporter);
                          });
}

// Writes FILE louder or quieter, or as it was before its gain, into OUTPUT.
int Gain(const Options& options, const std::vector<std::string>& operands) {
    quorvel::GainRequest request;
    request.Files = EditFilesOf(options, {operands[0]}, operands[1]);
    request.Steps = options.steps;
    request.NoClip = options.noClip;
    request.ToLufs = options.toLufs;
    request.Undo = options.undo;
    request.FadeInSeconds = options.fadeInSeconds;
    request.FadeOutSeconds = options.fadeOutSeconds;
    return RunEditCommand(options, "gain",
                          [&](quorvel::FileSystem& files, quorvel::TagEditor&,
                              quorvel::AudioDecoder& decoder, quorvel::Reporter& reporter) {
                              quorvel::R128Meter meter;
                              return quorvel::Gain(request, files, decoder, meter, reporter);
                          });
}

// Reads the fades of `command` (split, parts, cut, gain) into `options`; what is wrong with
// them where they cannot be read.
std::optional<quorvel::Message> ReadFadeOptions(Options& options, const std::string& command) {
    for (const auto& [text, seconds] : {std::pair{&options.fadeIn, &options.fadeInSeconds},
                                        std::pair{&options.fadeOut, &options.fadeOutSeconds}}) {
        if (!*text) continue;
        if (!quorvel::IsPlainDecimal(**text)) {
            return Tr("quorvel-cli", "%1: invalid length '%2'").Arg(command).Arg(**text);
        }
        *seconds = quorvel::ReadNumber(**text);
    }
    return std::nullopt;
}

// Reads the gain command's change into `options`; what is wrong with the call where it
// cannot be read.
std::optional<quorvel::Message> ReadGainOptions(Options& options) {
    if (int(options.undo) + int(options.db.has_value()) + int(options.to.has_value()) != 1 ||
        (options.undo && (options.noClip || options.fadeIn || options.fadeOut))) {
        return Tr("quorvel-cli", "gain: give --db, --to or --undo, one of them");
    }
    if (options.to) {
        std::string_view number = *options.to;
        const bool minus = number.starts_with('-');
        if (minus) number.remove_prefix(1);
        if (!quorvel::IsPlainDecimal(number)) {
            return Tr("quorvel-cli", "gain: invalid loudness '%1'").Arg(*options.to);
        }
        options.toLufs = (minus ? -1 : 1) * quorvel::ReadNumber(number);
    }
    if (options.db) {
        std::string_view number = *options.db;
        const bool minus = number.starts_with('-');
        if (minus || number.starts_with('+')) number.remove_prefix(1);
        if (!quorvel::IsPlainDecimal(number)) {
            return Tr("quorvel-cli", "gain: invalid change '%1'").Arg(*options.db);
        }
        const double db = quorvel::ReadNumber(number);
        options.steps = quorvel::GainSteps(minus ? -db : db);
    }
    return std::nullopt;
}

// Reads the cut command's spans into `options`; what is wrong with them where they cannot
// be read.
std::optional<quorvel::Message> ReadCutOptions(Options& options) {
    if (options.remove.empty()) {
        return Tr("quorvel-cli", "cut: give --remove FROM-TO at least once");
    }
    for (const std::string& text : options.remove) {
        const auto dash = text.find('-');
        const auto from =
            dash == std::string::npos ? std::nullopt : ReadTime(text.substr(0, dash), true);
        const auto to =
            dash == std::string::npos ? std::nullopt : ReadTime(text.substr(dash + 1), true);
        if (!from || !to) return Tr("quorvel-cli", "cut: invalid span '%1'").Arg(text);
        options.spans.push_back({*from, *to});
    }
    return std::nullopt;
}

// The seam check of any three files, as a split makes it: 0 when the parts decode to the
// source exactly, 1 when they do not, 2 when a file cannot be read or decoded.
int Verify(const Options& options, const std::vector<std::string>& files) {
    quorvel::platform::LocalFileSystem local;
    quorvel::platform::Mpg123Decoder decoder;
    TerminalReporter reporter(false);
    quorvel::WatchedFiles watched(local, reporter);
    reporter.Step(Tr("SeamCheck", "Checking the seam"));
    quorvel::SeamReport report;
    try {
        report = quorvel::CheckSeam(decoder, watched, files[0], files[1], files[2]);
    } catch (const quorvel::FileError& error) {
        reporter.Unusable(error.Path(), error.Message());
    }
    if (options.json) {
        json object = SeamJson(report);
        json lines = json::array();
        for (const auto& line : report.Lines) lines.push_back(quorvel::English(line));
        object["lines"] = lines;
        object["error"] = reporter.Error();
        PrintJson(object);
    } else {
        for (const auto& line : report.Lines) std::cout << quorvel::English(line) << '\n';
    }
    if (!report.Decoded) return 2;
    return report.Exact() ? 0 : 1;
}

// Reads the silence options of `command` (silences, trim) into `options`; what is wrong
// with them where they cannot be read. The threshold is at most full scale, the shortest
// silence no negative length.
std::optional<quorvel::Message> ReadSilencesOptions(Options& options, const std::string& command) {
    // Decimals after an optional minus, as the help writes them: no exponent, no blank.
    const auto read = [](const std::optional<std::string>& text, double& value,
                         auto&& valid) -> bool {
        if (!text) return true;
        const std::string_view number = *text;
        if (!quorvel::IsPlainDecimal(number.starts_with('-') ? number.substr(1) : number)) {
            return false;
        }
        value = quorvel::ReadNumber(number);
        return std::isfinite(value) && valid(value);
    };
    if (!read(options.threshold, options.rule.ThresholdDb, [](double db) { return db <= 0; })) {
        return Tr("quorvel-cli", "%1: invalid threshold '%2'").Arg(command).Arg(*options.threshold);
    }
    if (!read(options.least, options.rule.MinSeconds,
              [](double seconds) { return seconds >= 0; })) {
        return Tr("quorvel-cli", "%1: invalid length '%2'").Arg(command).Arg(*options.least);
    }
    return std::nullopt;
}

// Reads the trim command's threshold and the silence it keeps into `options`; what is wrong
// with them where they cannot be read.
std::optional<quorvel::Message> ReadTrimOptions(Options& options) {
    if (options.keep) {
        const std::string& text = *options.keep;
        if (!quorvel::IsPlainDecimal(text)) {
            return Tr("quorvel-cli", "%1: invalid length '%2'").Arg(std::string("trim")).Arg(text);
        }
        options.keepSeconds = quorvel::ReadNumber(text);
    }
    return ReadSilencesOptions(options, "trim");
}

// A moment or a length of `frames` sample frames as m:ss.sss, to the nearest millisecond.
std::string ClockOf(std::int64_t frames, std::int32_t rate) {
    return quorvel::FormatExactTime((frames * 1000 + rate / 2) / rate, ".");
}

// The silences of a file as a gapless player times them, one a line (start, end, length),
// or one object with --json: 0 where it has any, 1 where it has none, 2 where it cannot be
// read or decoded.
int Silences(const Options& options, const std::string& file) {
    quorvel::platform::LocalFileSystem local;
    quorvel::platform::CatchEndingSignals(Stop, quorvel::platform::Handlers::Replace, true);
    quorvel::platform::Mpg123Decoder decoder;
    TerminalReporter reporter(false);
    quorvel::WatchedFiles files(
        local, stopping,
        [&reporter](std::int64_t done, std::int64_t total) { reporter.Progress(done, total); });
    reporter.Step(Tr("quorvel-cli", "Finding silences"));
    const char* outcome = "completed";
    json found = json::array();
    std::vector<std::string> lines;
    try {
        const auto silences = quorvel::FindSilences(decoder, files, file, options.rule);
        const std::int32_t rate = silences.Rate;
        if (silences.Damaged > 0) {
            reporter.Show(Tr("quorvel-cli",
                             "%1 is damaged: %2 s of its audio does not decode, and counts as "
                             "silence or is left out, as players play it")
                              .Arg(file)
                              .Arg(quorvel::FormatNumber(
                                  std::round(double(silences.Damaged) * 1000 / rate) / 1000, ".")));
        }
        for (const auto& [start, end] : silences.Found) {
            lines.push_back(ClockOf(start, rate) + " " + ClockOf(end, rate) + " " +
                            ClockOf(end - start, rate));
            found.push_back({{"start", SecondsOf(start, rate)},
                             {"end", SecondsOf(end, rate)},
                             {"length", SecondsOf(end - start, rate)},
                             {"start_sample", start},
                             {"end_sample", end},
                             {"samples", end - start}});
        }
    } catch (const quorvel::FileError& error) {
        outcome = "unreadable";
        reporter.Unusable(error.Path(), error.Message());
    } catch (const quorvel::WorkStopped&) {
        outcome = "stopped";
    }
    if (options.json) {
        PrintJson({{"outcome", outcome},
                   {"silences", found},
                   {"log", lines},
                   {"messages", reporter.Messages()},
                   {"error", reporter.Error()}});
    } else {
        for (const std::string& line : lines) std::cout << line << '\n';
    }
    if (std::string_view(outcome) == "unreadable") return 2;
    EndBySignal();
    return found.empty() ? 1 : 0;
}

// A level to a tenth, as the loudness lines give it: "-inf" for silence, never "-0.0".
std::string Tenths(double value) {
    if (!std::isfinite(value)) return value < 0 ? "-inf" : "inf";
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, std::round(value * 10) / 10 + 0.0,
                                       std::chars_format::fixed, 1);
    return std::string(text, written.ptr);
}

// A level for --json, to a hundredth; null for silence.
json Hundredths(double value) {
    return std::isfinite(value) ? json(std::round(value * 100) / 100 + 0.0) : json(nullptr);
}

json LoudnessJson(const quorvel::Loudness& loudness) {
    return {{"integrated_lufs", Hundredths(loudness.IntegratedLufs)},
            {"range_lu", Hundredths(loudness.RangeLu)},
            {"peak_dbfs", Hundredths(loudness.PeakDbfs())},
            {"peak", std::round(loudness.Peak * 1e6) / 1e6},
            {"true_peak", loudness.TruePeak}};
}

// The loudness lines of one measure under its heading.
void PrintLoudness(const std::string& heading, const quorvel::Loudness& loudness) {
    std::cout << heading << '\n'
              << "integrated: " << Tenths(loudness.IntegratedLufs) << " LUFS\n"
              << "range: " << Tenths(loudness.RangeLu) << " LU\n"
              << "peak: " << Tenths(loudness.PeakDbfs()) << " dBFS\n";
}

// The loudness of each file and, with several, of all of them as an album; with --tag their
// ReplayGain values written into their tags. 0 where every file was measured (and tagged),
// 1 where one could not be, the others measured on.
int Loudness(const Options& options, const std::vector<std::string>& paths) {
    quorvel::platform::LocalFileSystem local;
    quorvel::platform::CatchEndingSignals(Stop, quorvel::platform::Handlers::Replace, true);
    // A half of a long file starts by a seek, within a step of rounding in every version.
    quorvel::platform::Mpg123Decoder decoder(quorvel::platform::Mpg123Decoder::Seeking::Near);
    quorvel::R128Meter meter;
    quorvel::platform::TagLibEditor tags;
    TerminalReporter reporter(false);
    quorvel::WatchedFiles files(
        local, stopping,
        [&reporter](std::int64_t done, std::int64_t total) { reporter.Progress(done, total); });
    const char* outcome = "completed";
    bool failed = false;
    quorvel::LoudnessReport report;
    std::vector<bool> tagged(paths.size(), false);
    try {
        if (const auto why = WithoutModule("loudness")) {
            reporter.Show(*why);
            failed = true;
        } else {
            reporter.Step(Tr("quorvel-cli", "Measuring loudness"));
            report = quorvel::MeasureLoudness(decoder, meter, files, paths, options.truePeak);
        }
        for (std::size_t i = 0; i < report.Files.size(); ++i) {
            const quorvel::FileLoudness& file = report.Files[i];
            if (file.Problem) {
                reporter.Unusable(file.Path, *file.Problem);
                failed = true;
                continue;
            }
            if (!options.tag) continue;
            const auto texts = quorvel::ReplayGainTexts(*file.Measured, report.Album);
            if (!texts) {
                reporter.Unusable(file.Path, Tr("quorvel-cli",
                                                "%1 is silent throughout: it has no ReplayGain "
                                                "to write")
                                                 .Arg(file.Path));
                failed = true;
                continue;
            }
            reporter.Step(Tr("quorvel-cli", "Writing ReplayGain tags"));
            try {
                quorvel::WriteUserTexts(files, tags, reporter, file.Path, *texts);
                tagged[i] = true;
            } catch (const quorvel::FileError& error) {
                reporter.Unusable(file.Path, error.Message());
                failed = true;
            }
        }
    } catch (const quorvel::WorkStopped&) {
        outcome = "stopped";
    }
    if (options.json) {
        json measured = json::array();
        for (std::size_t i = 0; i < report.Files.size(); ++i) {
            const quorvel::FileLoudness& file = report.Files[i];
            json object = {{"file", file.Path}};
            object.update(file.Measured ? LoudnessJson(*file.Measured)
                                        : json{{"integrated_lufs", nullptr}});
            if (options.tag) object["tagged"] = bool(tagged[i]);
            measured.push_back(object);
        }
        PrintJson({{"outcome", outcome},
                   {"files", measured},
                   {"album", report.Album ? LoudnessJson(*report.Album) : json(nullptr)},
                   {"log", reporter.LogLines()},
                   {"messages", reporter.Messages()},
                   {"error", reporter.Error()}});
    } else {
        for (const quorvel::FileLoudness& file : report.Files) {
            if (file.Measured) PrintLoudness("file: " + file.Path, *file.Measured);
        }
        if (report.Album) {
            PrintLoudness("album: " + std::to_string(report.Files.size()) + " files",
                          *report.Album);
        }
    }
    EndBySignal();
    return failed ? 1 : 0;
}

}  // namespace

// The command's work and its exit code.
int Run(int argc, char** argv) {
    quorvel::platform::IgnoreFileSizeSignal();
    // getopt names the program by argv[0] in its complaints.
    static char name[] = "quorvel-cli";
    argv[0] = name;
    // The parts and the silences commands' options have no short forms.
    enum {
        kAt = 0x100,
        kCue,
        kChapters,
        kEvery,
        kCount,
        kName,
        kThreshold,
        kMin,
        kRemove,
        kSnap,
        kKeep,
        kDb,
        kNoClip,
        kTo,
        kUndo,
        kFadeIn,
        kFadeOut,
        kTag,
        kTruePeak
    };
    static const option longOptions[] = {
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'},
        {"replace", no_argument, nullptr, 'r'},
        {"exact", no_argument, nullptr, 'x'},
        {"json", no_argument, nullptr, 'j'},
        {"quiet", no_argument, nullptr, 'q'},
        {"at", required_argument, nullptr, kAt},
        {"cue", required_argument, nullptr, kCue},
        {"chapters", no_argument, nullptr, kChapters},
        {"every", required_argument, nullptr, kEvery},
        {"count", required_argument, nullptr, kCount},
        {"name", required_argument, nullptr, kName},
        {"threshold", required_argument, nullptr, kThreshold},
        {"min", required_argument, nullptr, kMin},
        {"remove", required_argument, nullptr, kRemove},
        {"snap", no_argument, nullptr, kSnap},
        {"keep", required_argument, nullptr, kKeep},
        {"db", required_argument, nullptr, kDb},
        {"no-clip", no_argument, nullptr, kNoClip},
        {"undo", no_argument, nullptr, kUndo},
        {"to", required_argument, nullptr, kTo},
        {"fade-in", required_argument, nullptr, kFadeIn},
        {"fade-out", required_argument, nullptr, kFadeOut},
        {"tag", no_argument, nullptr, kTag},
        {"true-peak", no_argument, nullptr, kTruePeak},
        {nullptr, 0, nullptr, 0},
    };
    Options options;
    std::vector<std::string> operands;
    // The first of the parts command's options given, and of the silences command's.
    const char* partsOption = nullptr;
    const char* silencesOption = nullptr;
    const char* cutOption = nullptr;
    const char* trimOption = nullptr;
    const char* gainOption = nullptr;
    const char* fadeOption = nullptr;
    const char* loudnessOption = nullptr;
    // The leading "-" hands over each operand in its place, so that options may stand
    // anywhere up to "--" even where POSIXLY_CORRECT is set.
    for (int opt, index = 0; (opt = getopt_long(argc, argv, "-hVrxq", longOptions, &index)) != -1;
         index = 0) {
        switch (opt) {
            case 1:
                operands.emplace_back(optarg);
                break;
            case 'h':
                return Usage(true);
            case 'V':
                std::cout << "quorvel-cli " QUORVEL_VERSION "\n";
                return 0;
            case 'r':
                options.replace = true;
                break;
            case 'x':
                options.exact = true;
                break;
            case 'j':
                options.json = true;
                break;
            case 'q':
                quiet = true;
                break;
            case kAt:
                options.at.emplace_back(optarg);
                break;
            case kCue:
                options.cue = optarg;
                break;
            case kChapters:
                options.chapters = true;
                break;
            case kEvery:
                options.every = optarg;
                break;
            case kCount:
                options.count = optarg;
                break;
            case kName:
                options.name = optarg;
                break;
            case kThreshold:
                options.threshold = optarg;
                break;
            case kMin:
                options.least = optarg;
                break;
            case kRemove:
                options.remove.emplace_back(optarg);
                break;
            case kSnap:
                options.snap = true;
                break;
            case kKeep:
                options.keep = optarg;
                break;
            case kDb:
                options.db = optarg;
                break;
            case kNoClip:
                options.noClip = true;
                break;
            case kTo:
                options.to = optarg;
                break;
            case kUndo:
                options.undo = true;
                break;
            case kTag:
                options.tag = true;
                break;
            case kTruePeak:
                options.truePeak = true;
                break;
            case kFadeIn:
                options.fadeIn = optarg;
                break;
            case kFadeOut:
                options.fadeOut = optarg;
                break;
            default:  // getopt has said what was wrong
                return Usage();
        }
        const char*& first = opt >= kTag         ? loudnessOption
                             : opt >= kFadeIn    ? fadeOption
                             : opt >= kDb        ? gainOption
                             : opt == kKeep      ? trimOption
                             : opt >= kRemove    ? cutOption
                             : opt >= kThreshold ? silencesOption
                                                 : partsOption;
        if (opt >= kAt && !first) first = longOptions[index].name;
    }
    // After "--" every argument is an operand, even one that starts with "-".
    operands.insert(operands.end(), argv + optind, argv + argc);
    if (operands.empty()) return WrongCall(Tr("quorvel-cli", "no command given"));
    const std::string command = operands.front();
    operands.erase(operands.begin());
    struct Command {
        const char* name;
        std::size_t least, most;
    };
    static const Command commands[] = {
        {"info", 1, 1},     {"split", 3, 4},
        {"parts", 1, 2},    {"verify", 3, 3},
        {"silences", 1, 1}, {"join", 2, std::numeric_limits<std::size_t>::max()},
        {"cut", 2, 2},      {"trim", 2, 2},
        {"gain", 2, 2},     {"loudness", 1, std::numeric_limits<std::size_t>::max()}};
    const auto known = std::find_if(std::begin(commands), std::end(commands),
                                    [&](const Command& c) { return command == c.name; });
    if (known == std::end(commands)) {
        return WrongCall(Tr("quorvel-cli", "unknown command '%1'").Arg(command));
    }
    if (operands.size() < known->least) {
        return WrongCall(Tr("quorvel-cli", "%1: missing operand").Arg(command));
    }
    if (operands.size() > known->most) {
        return WrongCall(
            Tr("quorvel-cli", "%1: extra operand '%2'").Arg(command).Arg(operands[known->most]));
    }
    // Of the parts command's options, join takes --chapters alone.
    const bool joinChapters = command == "join" && options.at.empty() && !options.cue &&
                              !options.every && !options.count && !options.name;
    if (command != "parts" && partsOption && !joinChapters) {
        return WrongCall(Tr("quorvel-cli", "%1: option '--%2' is the parts command's")
                             .Arg(command)
                             .Arg(std::string(partsOption)));
    }
    // Of the silences command's options, trim takes --threshold alone.
    const bool trimThreshold = command == "trim" && !options.least;
    if (command != "silences" && silencesOption && !trimThreshold) {
        return WrongCall(Tr("quorvel-cli", "%1: option '--%2' is the silences command's")
                             .Arg(command)
                             .Arg(std::string(silencesOption)));
    }
    if (fadeOption) {
        if (command != "split" && command != "parts" && command != "cut" && command != "gain") {
            return WrongCall(
                Tr("quorvel-cli", "%1: option '--%2' is that of split, parts, cut and gain")
                    .Arg(command)
                    .Arg(std::string(fadeOption)));
        }
        if (const auto why = ReadFadeOptions(options, command)) return WrongCall(*why);
    }
    if (command == "info") return Info(options, operands[0]);
    if (command == "split") {
        if (const auto why = CheckSplitTime(operands)) return WrongCall(*why);
        return Split(options, operands);
    }
    if (command == "parts") {
        if (const auto why = ReadPartsOptions(options)) return WrongCall(*why);
        return Parts(options, operands);
    }
    if (command != "cut" && cutOption) {
        return WrongCall(Tr("quorvel-cli", "%1: option '--%2' is the cut command's")
                             .Arg(command)
                             .Arg(std::string(cutOption)));
    }
    if (command != "trim" && trimOption) {
        return WrongCall(Tr("quorvel-cli", "%1: option '--%2' is the trim command's")
                             .Arg(command)
                             .Arg(std::string(trimOption)));
    }
    if (command != "loudness" && loudnessOption) {
        return WrongCall(Tr("quorvel-cli", "%1: option '--%2' is the loudness command's")
                             .Arg(command)
                             .Arg(std::string(loudnessOption)));
    }
    if (command != "gain" && gainOption) {
        return WrongCall(Tr("quorvel-cli", "%1: option '--%2' is the gain command's")
                             .Arg(command)
                             .Arg(std::string(gainOption)));
    }
    if (command == "gain") {
        if (const auto why = ReadGainOptions(options)) return WrongCall(*why);
        return Gain(options, operands);
    }
    if (command == "loudness") return Loudness(options, operands);
    if (command == "trim") {
        if (const auto why = ReadTrimOptions(options)) return WrongCall(*why);
        return Trim(options, operands);
    }
    if (command == "join") return Join(options, operands);
    if (command == "cut") {
        if (const auto why = ReadCutOptions(options)) return WrongCall(*why);
        return Cut(options, operands);
    }
    if (command == "silences") {
        if (const auto why = ReadSilencesOptions(options, "silences")) return WrongCall(*why);
        return Silences(options, operands[0]);
    }
    return Verify(options, operands);
}

int main(int argc, char** argv) {
    const int code = Run(argc, argv);
    // What the command printed must have reached its reader: a full disk or a closed output
    // is a failure, whatever the command itself found.
    std::cout.flush();
    if (std::cout && std::fflush(stdout) == 0 && !std::ferror(stdout)) return code;
    const int error = errno;
    std::cerr << kName
              << Translated(Tr("quorvel-cli", "cannot write to the standard output: %1")
                                .Arg(std::string(std::strerror(error))))
              << '\n';
    return code == 0 ? 3 : code;
}
