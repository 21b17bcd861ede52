// quorvel-cli as a script sees it: what it prints where, and its exit codes.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <locale.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <numeric>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "Frames.h"
#include "TestFiles.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Result {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// A run of quorvel-cli that the test follows as it goes: what it prints, line by line,
// and when it stops or ends. One still going when it is dropped is killed.
class Watched {
  public:
    Watched(pid_t pid, int out) : pid_(pid), out_(out) {}
    ~Watched() {
        if (pid_ > 0 && !ended_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(out_);
    }
    Watched(const Watched&) = delete;
    Watched& operator=(const Watched&) = delete;

    pid_t Pid() const { return pid_; }

    // Reads what it prints up to a line that starts with `start`; false where its output
    // ends first.
    bool ReadUntil(const std::string& start) {
        while (const auto line = NextLine()) {
            if (line->starts_with(start)) return true;
        }
        return false;
    }

    // Waits for it to stop itself (SIGSTOP); false where it ended instead.
    bool WaitForStop() {
        int status = 0;
        if (pid_ <= 0 || ::waitpid(pid_, &status, WUNTRACED) != pid_) return false;
        ended_ = !WIFSTOPPED(status);
        return WIFSTOPPED(status) && WSTOPSIG(status) == SIGSTOP;
    }

    // Reads the rest of what it prints and waits for its end: the status waitpid gives
    // and the last line it printed.
    std::pair<int, std::string> End() {
        while (NextLine()) {
        }
        int status = 0;
        if (pid_ > 0 && !ended_ && ::waitpid(pid_, &status, 0) == pid_) ended_ = true;
        return {status, lastLine_};
    }

  private:
    // The next line it printed, without its newline; none once its output has ended.
    std::optional<std::string> NextLine() {
        for (;;) {
            if (const auto newline = unread_.find('\n'); newline != std::string::npos) {
                lastLine_ = unread_.substr(0, newline);
                unread_.erase(0, newline + 1);
                return lastLine_;
            }
            char bytes[4096];
            const ssize_t n = ::read(out_, bytes, sizeof bytes);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return std::nullopt;
            unread_.append(bytes, std::size_t(n));
        }
    }

    pid_t pid_;
    int out_;
    bool ended_ = false;
    std::string unread_;
    std::string lastLine_;
};

// Whether two files hold the same bytes, read a piece at a time as they may be large.
bool SameBytes(const std::string& one, const std::string& other) {
    std::ifstream a(one, std::ios::binary), b(other, std::ios::binary);
    if (!a || !b) return false;
    std::vector<char> x(1 << 20), y(1 << 20);
    for (;;) {
        a.read(x.data(), std::streamsize(x.size()));
        b.read(y.data(), std::streamsize(y.size()));
        if (a.gcount() != b.gcount() || !std::equal(x.begin(), x.begin() + a.gcount(), y.begin())) {
            return false;
        }
        if (a.gcount() == 0) return a.eof() && b.eof();
    }
}

// Whether the desktop trash holds a file with `text` in it.
bool Trashed(const std::string& text) {
    const fs::path files = fs::path(std::getenv("XDG_DATA_HOME")) / "Trash/files";
    std::error_code error;
    for (fs::directory_iterator it(files, error), end; !error && it != end; it.increment(error)) {
        if (it->is_regular_file() && ReadText(it->path()) == text) return true;
    }
    return false;
}

// 200 frames of digital silence, 5.224 s (MPEG 1 Layer III, 128 kbit/s, 44.1 kHz, coding
// nothing), written at `path`: their bytes.
std::string WriteSilence(const std::string& path) {
    std::string frames;
    for (int frame = 0; frame < 200; ++frame) {
        frames += std::string("\xFF\xFB\x90\x64", 4) + std::string(413, '\0');
    }
    std::ofstream(path, std::ios::binary) << frames;
    return frames;
}

class Cli : public testing::Test {
  protected:
    void SetUp() override {
        source = folder + "/song.mp3";
        fs::copy_file(std::string(QUORVEL_FIXTURES) + "/cbr128.mp3", source);
    }

    // Runs quorvel-cli with no input, as from a script, and collects what it printed;
    // with the system's own handling of a file-size limit, which by default ends it.
    Result Run(std::vector<std::string> arguments, rlim_t fileSizeLimit = RLIM_INFINITY,
               const std::vector<std::string>& environment = {}) {
        const std::string out = folder + "/.stdout", err = folder + "/.stderr";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        const pid_t pid = Spawn(std::move(arguments), actions, fileSizeLimit, environment);
        posix_spawn_file_actions_destroy(&actions);
        Result result;
        int status = 0;
        if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
            result.exitCode = WEXITSTATUS(status);
        }
        result.out = ReadText(out);
        result.err = ReadText(err);
        fs::remove(out);
        fs::remove(err);
        return result;
    }

    // Starts quorvel-cli with no input and its standard output on a pipe that the test
    // reads as the run goes on; its errors go where the test's own go.
    Watched Start(std::vector<std::string> arguments,
                  const std::vector<std::string>& environment = {}) {
        int ends[2] = {-1, -1};
        EXPECT_EQ(::pipe2(ends, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
        const pid_t pid = Spawn(std::move(arguments), actions, RLIM_INFINITY, environment);
        posix_spawn_file_actions_destroy(&actions);
        ::close(ends[1]);
        return Watched(pid, ends[0]);
    }

  private:
    // Starts quorvel-cli with `actions` done on its descriptors; -1 where it cannot start.
    pid_t Spawn(std::vector<std::string> arguments, const posix_spawn_file_actions_t& actions,
                rlim_t fileSizeLimit, const std::vector<std::string>& environment) {
        arguments.insert(arguments.begin(), QUORVEL_CLI);
        std::vector<char*> argv;
        for (auto& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGXFSZ);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
        rlimit before{};
        ::getrlimit(RLIMIT_FSIZE, &before);
        const rlimit limited{fileSizeLimit, before.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limited);  // inherited by the child
        pid_t pid = 0;
        // The test's environment, with `environment`'s variables put first so they count.
        std::vector<std::string> variables = environment;
        for (char** variable = environ; *variable; ++variable) variables.emplace_back(*variable);
        std::vector<char*> envp;
        for (auto& variable : variables) envp.push_back(variable.data());
        envp.push_back(nullptr);
        const int spawned =
            posix_spawn(&pid, QUORVEL_CLI, &actions, &attributes, argv.data(), envp.data());
        ::setrlimit(RLIMIT_FSIZE, &before);
        posix_spawnattr_destroy(&attributes);
        EXPECT_EQ(spawned, 0);
        return spawned == 0 ? pid : -1;
    }

  protected:
    quorvel::test::TempFolder temp;
    const std::string folder = temp.path;
    std::string source;
};

TEST_F(Cli, HelpAndVersionAnswerOnStandardOutput) {
    const Result help = Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* usage :
         {"quorvel-cli info [-q|--quiet] [--json] FILE",
          "quorvel-cli split [-r|--replace] [-x|--exact] [-q|--quiet] [--json] [--fade-in SECONDS] "
          "[--fade-out SECONDS] [--] FILE",
          "quorvel-cli verify [-q|--quiet] [--json] SOURCE PART1 PART2",
          "quorvel-cli parts [-r|--replace] [-x|--exact] [-q|--quiet] [--json] (--at TIME)",
          "quorvel-cli silences [--threshold DB] [--min SECONDS] [-q|--quiet] [--json] [--] "
          "FILE"}) {
        EXPECT_NE(help.out.find(usage), std::string::npos) << usage;
    }
    // After the usage lines each command and each option of the usage is described in a
    // line of its own that names it, as are the times read and the exit statuses, on a
    // terminal of 80 columns; after a command the help is the same.
    const std::string usage = help.out.substr(0, help.out.find("\n\n") + 1);
    const std::string described = help.out.substr(usage.size());
    for (const char* command : {"info", "split", "parts", "verify", "silences"}) {
        EXPECT_NE(described.find("\n  " + std::string(command) + " "), std::string::npos)
            << command;
    }
    const std::regex longOption("--[a-z][a-z-]*");
    for (std::sregex_iterator it(usage.begin(), usage.end(), longOption), end; it != end; ++it) {
        EXPECT_TRUE(std::regex_search(described,
                                      std::regex("\n  (-[a-zA-Z], |    )" + it->str() + "[ \n]")))
            << it->str();
    }
    EXPECT_NE(described.find("\nTimes:\n"), std::string::npos);
    EXPECT_NE(described.find("\nExit status:\n"), std::string::npos);
    std::istringstream lines(described);
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;
    EXPECT_EQ(Run({"info", "-h"}).out, help.out);
    EXPECT_EQ(Run({"parts", "--help", "--at", "0:01"}).out, help.out);
    for (const char* option : {"--version", "-V"}) {
        const Result version = Run({option});
        EXPECT_EQ(version.exitCode, 0);
        EXPECT_TRUE(std::regex_match(version.out, std::regex(R"(quorvel-cli \d+(\.\d+){3}\n)")))
            << version.out;
    }
    // A wrong call says what is wrong, in getopt's words for an option and under the
    // program's own name whatever path it was started by, then gives the usage lines.
    const std::pair<std::vector<std::string>, std::string> wrongCalls[] = {
        {{"--helps"}, "unrecognized option '--helps'"},
        {{"split", source, "--replce", "0", "2"}, "unrecognized option '--replce'"},
        {{"-z", "info", source}, "invalid option -- 'z'"},
        {{}, "no command given"},
        {{"play", source}, "unknown command 'play'"},
        {{"info"}, "info: missing operand"},
        {{"verify", source, source}, "verify: missing operand"},
        {{"split", source, "0", "2", folder, "more"}, "split: extra operand 'more'"},
        {{"split", "--at", "0:01", source, "0", "2"},
         "split: option '--at' is the parts command's"},
        // A number as the help writes one, nothing read past its first stray character.
        {{"split", source, "0", "30,25"}, "split: invalid second '30,25'"},
        {{"split", source, "0", "1e1"}, "split: invalid second '1e1'"},
        {{"split", source, "1e1", "0"}, "split: invalid minute '1e1'"},
        {{"split", "--", source, "-1", "30"}, "split: invalid minute '-1'"},
        {{"split", source, "0", " 2"}, "split: invalid second ' 2'"},
        {{"split", source, "0", "2."}, "split: invalid second '2.'"},
        {{"split", source, "0x1", "2"}, "split: invalid minute '0x1'"},
        {{"split", source, "0", "2.2505"}, "split: invalid second '2.2505'"},
        {{"split", source, "1.5", "0"}, "split: invalid minute '1.5'"},
        {{"silences", "--min", "1e1", source}, "silences: invalid length '1e1'"},
        {{"silences", "--threshold", "-5e1", source}, "silences: invalid threshold '-5e1'"},
        {{"parts", source}, "parts: give --at, --cue, --chapters, --every or --count, one of them"},
        {{"parts", "--at", "0:01", "--count", "3", source},
         "parts: give --at, --cue, --chapters, --every or --count, one of them"},
        {{"parts", "--at"}, "option '--at' requires an argument"},
        {{"parts", "--at", "0:01"}, "parts: missing operand"},
        {{"parts", "--at", "0:01", source, folder, "more"}, "parts: extra operand 'more'"},
        {{"parts", "--at", "0:01", "--at", "1:60", source}, "parts: invalid time '1:60'"},
        {{"parts", "--every", "90", source}, "parts: invalid time '90'"},
        {{"parts", "-x", "--at", "1:02:03.4567", source}, "parts: invalid time '1:02:03.4567'"},
        {{"parts", "--count", "1", source}, "parts: invalid count '1'"},
        {{"parts", "--chapters", "--cue", "a.cue", source},
         "parts: give --at, --cue, --chapters, --every or --count, one of them"},
        {{"info", "--min", "1", source}, "info: option '--min' is the silences command's"},
        {{"silences", "--every", "0:01", source},
         "silences: option '--every' is the parts command's"},
        {{"silences", source, folder}, "silences: extra operand '" + folder + "'"},
        {{"silences", "--threshold", "1", source}, "silences: invalid threshold '1'"},
        {{"silences", "--threshold", "-50dB", source}, "silences: invalid threshold '-50dB'"},
        {{"silences", "--min", "-0.5", source}, "silences: invalid length '-0.5'"},
        {{"trim", "--threshold", "1", source, "out.mp3"}, "trim: invalid threshold '1'"},
        {{"trim", "--keep", "-1", source, "out.mp3"}, "trim: invalid length '-1'"},
        {{"gain", source, "out.mp3"}, "gain: give --db, --to or --undo, one of them"},
        {{"gain", "--undo", "--db", "3", source, "out.mp3"},
         "gain: give --db, --to or --undo, one of them"},
        {{"gain", "--db", "3dB", source, "out.mp3"}, "gain: invalid change '3dB'"},
        {{"gain", "--to", "-18", "--db", "1", source, "out.mp3"},
         "gain: give --db, --to or --undo, one of them"},
        {{"gain", "--to", "loud", source, "out.mp3"}, "gain: invalid loudness 'loud'"},
        {{"cut", "--undo", source, "out.mp3"}, "cut: option '--undo' is the gain command's"},
    };
    for (const auto& [arguments, why] : wrongCalls) {
        const Result wrong = Run(arguments);
        EXPECT_EQ(wrong.exitCode, 2) << why;
        EXPECT_EQ(wrong.out, "");
        EXPECT_EQ(wrong.err, "quorvel-cli: " + why + "\n" + usage);
    }
}

TEST_F(Cli, InfoPrintsTheSixFieldsOrSaysWhyNot) {
    const Result mp3 = Run({"info", source});
    EXPECT_EQ(mp3.exitCode, 0);
    EXPECT_EQ(mp3.out,
              "size: 0.07\ntype: MPEG1 Layer 3\nbitrate: 128000\nsampling: 44100\n"
              "frames: 175\nduration: 0:4\n");
    EXPECT_EQ(mp3.err, "");
    // What it printed must reach its reader: a full disk is a failure.
    const std::string full = "'" QUORVEL_CLI "' info '" + source + "' >/dev/full 2>/dev/null";
    EXPECT_EQ(WEXITSTATUS(std::system(full.c_str())), 3);

    const std::string text = folder + "/notes.mp3";
    std::ofstream(text) << "not an mp3 at all\n";
    const Result invalid = Run({"info", text});
    EXPECT_EQ(invalid.exitCode, 1);
    EXPECT_EQ(invalid.out, "size: 0\ntype: Unknown\nbitrate: \nsampling: \nframes: \nduration: \n");
    EXPECT_EQ(invalid.err,
              "quorvel-cli: File selected is not a valid MP3 file. Please select another.\n");

    const std::string missing = folder + "/missing.mp3";
    const Result unreadable = Run({"info", missing});
    EXPECT_EQ(unreadable.exitCode, 2);
    EXPECT_EQ(unreadable.out, "");
    EXPECT_EQ(unreadable.err,
              "quorvel-cli: Cannot read " + missing + ": No such file or directory.\n");

    // --json: the same fields, numbers as numbers, the duration in seconds (175 frames of
    // 1152 samples at 44.1 kHz), none where no frames were found.
    EXPECT_EQ(nlohmann::json::parse(Run({"info", "--json", source}).out),
              (nlohmann::json{{"file", source},
                              {"size_mb", 0.07},
                              {"type", "MPEG1 Layer 3"},
                              {"bitrate", 128000},
                              {"sampling", 44100},
                              {"frames", 175},
                              {"duration", 4.571429},
                              {"error", nullptr}}));
    // A variable bit rate as the text gives it, the stream's average.
    const std::string vbr = std::string(QUORVEL_FIXTURES) + "/vbr.mp3";
    EXPECT_EQ(nlohmann::json::parse(Run({"info", "--json", vbr}).out)["bitrate"], 88792);
    // A free-format stream's as its frames' length gives it.
    const std::string free = std::string(QUORVEL_FIXTURES) + "/free.mp3";
    const auto freeFormat = nlohmann::json::parse(Run({"info", "--json", free}).out);
    EXPECT_EQ(freeFormat["bitrate"], 170000);
    EXPECT_EQ(freeFormat["frames"], 175);
    const auto none = nlohmann::json::parse(Run({"--json", "info", text}).out);
    EXPECT_EQ(none["type"], "Unknown");
    EXPECT_TRUE(none["frames"].is_null() && none["duration"].is_null());

    // Numbers carry a point in every locale: the size, and an exact split's time and sample.
    if (locale_t german = ::newlocale(LC_ALL_MASK, "de_DE.UTF-8", locale_t{})) {
        ::freelocale(german);
    } else {
        GTEST_SKIP() << "no de_DE.UTF-8 locale";
    }
    const std::vector<std::string> calls[] = {{"info", source},
                                              {"split", "-x", source, "0", "2.5", folder}};
    for (const auto& call : calls) {
        std::vector<Result> results;
        for (const char* locale : {"LC_ALL=C", "LC_ALL=de_DE.UTF-8"}) {
            results.push_back(Run(call, RLIM_INFINITY, {locale}));
            fs::remove(folder + "/song1.mp3");
            fs::remove(folder + "/song2.mp3");
        }
        EXPECT_EQ(results[0].exitCode, 0) << results[0].err;
        EXPECT_EQ(results[1].out, results[0].out);
        EXPECT_EQ(results[1].err, results[0].err);
    }
    // What it tells the user on its error output is in the user's language.
    const Result refused =
        Run({"info", folder + "/gone.mp3"}, RLIM_INFINITY, {"LC_ALL=de_DE.UTF-8"});
    EXPECT_EQ(refused.err, "quorvel-cli: " + folder +
                               "/gone.mp3 kann nicht gelesen werden: No such file or directory.\n");
}

TEST_F(Cli, SplitAndVerifyPrintWhatTheyFindAndTellItByTheirExitCodes) {
    const std::string out = folder + "/out";
    fs::create_directory(out);
    const std::string first = out + "/song1.mp3", second = out + "/song2.mp3";
    const std::string analysis = "Analysing chosen file " + source +
                                 "... Please wait for a few seconds.\nFile information updated.\n";
    const std::string found =
        "Finding safe point to split file...\n"
        "Found safe position to split at byte 32181 (frame 77)\n"
        "Beginning to split files now.\n";
    const Result complete = Run({"split", source, "0", "2", out});
    // The seam check, whose numbers the real-file tests hold against mpg123: the second
    // part starts without the synthesis history of the frames before the cut.
    const std::regex check(R"(Seam check: [1-9][0-9,]* of 22,050 samples differ, by up to )"
                           R"([0-9,]+ steps, up to ([0-9]+) ms after the cut\.)");
    std::smatch seam;
    ASSERT_TRUE(std::regex_search(complete.out, seam, check)) << complete.out;
    const std::string summary = seam.str() +
                                "\n==========================================\n"
                                "Source file size      : 73141 bytes.\n"
                                "Total bytes written : 73976 bytes.\n"
                                "(added 1 new frame of 418 bytes to preserve data)\n"
                                "==========================================\n"
                                "MP3 splitting completed.\n";
    EXPECT_EQ(complete.exitCode, 0);
    EXPECT_EQ(complete.out,
              analysis + found + "Writing to " + first + "\nWriting to " + second + "\n" + summary);
    EXPECT_EQ(complete.err, "");

    const Result refused = Run({"split", source, "0", "4", out});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.out, analysis);
    EXPECT_EQ(refused.err, "quorvel-cli: Split time cannot be <= 0 and >= Source duration\n");
    const Result refusedJson = Run({"split", "--json", source, "0", "4", out});
    EXPECT_EQ(refusedJson.exitCode, 1);
    const auto refusal = nlohmann::json::parse(refusedJson.out);
    EXPECT_EQ(refusal["outcome"], "refused");
    EXPECT_EQ(refusal["messages"][0], "Split time cannot be <= 0 and >= Source duration");

    const Result kept = Run({"split", source, "0", "2", out});
    EXPECT_EQ(kept.exitCode, 3);
    EXPECT_EQ(kept.out, analysis + found + "Aborting split file now.\nNothing was changed: " +
                            first + ", " + second + " were kept.\n");
    EXPECT_NE(kept.err.find("Output files " + first + ", " + second +
                            " already exist. Do you want to replace them?"),
              std::string::npos)
        << kept.err;

    const Result replaced = Run({"split", source, "0", "2", out, "-r"});
    EXPECT_EQ(replaced.exitCode, 0);
    EXPECT_EQ(replaced.out, analysis + found + "Writing to " + first + "\nWriting to " + second +
                                "\nMoved the older " + first + " to the trash.\nMoved the older " +
                                second + " to the trash.\n" + summary);
    EXPECT_EQ(fs::file_size(first), 32181u);
    // The rest, the added frame and the second part's own Info frame.
    EXPECT_EQ(fs::file_size(second), 73141u - 32181u + 418u + 417u);

    // --json: the run as one object, its log the lines printed above.
    const Result json = Run({"--json", "split", "--replace", source, "0", "2", out});
    EXPECT_EQ(json.exitCode, 0);
    const auto run = nlohmann::json::parse(json.out);
    EXPECT_EQ(run["outcome"], "completed");
    EXPECT_EQ(run["cut"], (nlohmann::json{{"byte", 32181}, {"frame", 77}, {"seconds", 1.960249}}));
    EXPECT_EQ(run["outputs"],
              nlohmann::json::parse(R"([{"path": ")" + first + R"(", "bytes": 32181}, {"path": ")" +
                                    second + R"(", "bytes": 41795}])"));
    EXPECT_EQ(run["bytes_written"], 73976);
    EXPECT_EQ(run["seam"]["compared"], 22050);
    EXPECT_FALSE(run["seam"]["exact"]);
    // How far from the cut samples differ, in seconds, as the log rounds it up to the ms.
    EXPECT_EQ(run["seam"]["differing_before"], 0);
    EXPECT_EQ(std::ceil(run["seam"]["differing_after"].get<double>() * 1000),
              std::stoi(seam[1].str()));
    EXPECT_TRUE(run["error"].is_null());
    std::string log;
    for (const auto& line : run["log"]) log += line.get<std::string>() + "\n";
    EXPECT_EQ(log, replaced.out);

    // verify makes the same check of any three files: 1 where samples differ, 2 where a file
    // cannot be read, as after a wrong call.
    const Result differing = Run({"verify", source, first, second});
    EXPECT_EQ(differing.exitCode, 1);
    EXPECT_EQ(differing.out, seam.str() + "\n");
    EXPECT_EQ(differing.err, "");
    const std::string missing = out + "/missing.mp3";
    const Result unreadable = Run({"verify", source, first, missing});
    EXPECT_EQ(unreadable.exitCode, 2);
    EXPECT_EQ(unreadable.out, "");
    EXPECT_EQ(unreadable.err,
              "quorvel-cli: Cannot read " + missing + ": No such file or directory.\n");
    const Result wrong = Run({"verify", source, first});
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_TRUE(wrong.err.starts_with("quorvel-cli: verify: missing operand\nusage: "))
        << wrong.err;

    // A second part cut short by its last frame still has the header that counts that
    // frame: the header's word is not taken for its length, and the difference shows.
    const std::string shortened = out + "/short2.mp3";
    const std::string whole = ReadText(second);
    std::ofstream(shortened, std::ios::binary) << whole.substr(0, whole.size() - 418);
    const Result cutShort = Run({"verify", source, first, shortened});
    EXPECT_EQ(cutShort.exitCode, 1);
    EXPECT_TRUE(std::regex_match(
        cutShort.out, std::regex(seam.str() + R"(\nSeam check: the parts hold [0-9,]+ )"
                                              R"(samples (more|fewer) than the source .*\n)")))
        << cutShort.out;

    // One changed byte of sound data in the first part, three frames before the cut, shows
    // before the cut.
    std::string tampered = ReadText(first);
    tampered[32181 - 3 * 418 + 200] ^= 0xFF;
    std::ofstream(first, std::ios::binary) << tampered;
    const Result changed = Run({"verify", source, first, second});
    EXPECT_EQ(changed.exitCode, 1);
    EXPECT_TRUE(
        std::regex_match(changed.out, std::regex(R"(Seam check: [0-9,]+ of 22,050 )"
                                                 R"(samples differ, .* from [0-9]+ ms )"
                                                 R"(before to [0-9]+ ms after the cut\.\n)")))
        << changed.out;

    // Silent frames join exactly wherever they are cut: the split says so and verify
    // agrees, with 0.
    const std::string silence = folder + "/silence.mp3";
    WriteSilence(silence);
    const std::string exact =
        "Seam check: the parts join the source exactly (0 of 22,050 samples differ)\n";
    const Result silent = Run({"split", silence, "0", "2", out});
    EXPECT_EQ(silent.exitCode, 0);
    EXPECT_NE(silent.out.find("\n" + exact + "====="), std::string::npos) << silent.out;
    const Result joined = Run({"verify", silence, out + "/silence1.mp3", out + "/silence2.mp3"});
    EXPECT_EQ(joined.exitCode, 0);
    EXPECT_EQ(joined.out, exact);
    const auto joinedJson = nlohmann::json::parse(
        Run({"verify", "--json", silence, out + "/silence1.mp3", out + "/silence2.mp3"}).out);
    EXPECT_TRUE(joinedJson["exact"]);
    EXPECT_EQ(joinedJson["differing"], 0);
    EXPECT_EQ(joinedJson["differing_after"], 0);
}

// silences prints each silence as a gapless player times it, start, end and length, or one
// object with --json, and tells by its exit code whether it found any: a file of silent
// frames is one silence from start to end, unless it is shorter than --min; the song has none
// below -40 dB, and its tone between the bursts of noise below -6 dB; a file that cannot be
// read says why.
TEST_F(Cli, SilencesPrintsEachStretchAndTellsByItsExitCode) {
    const std::string silence = folder + "/silence.mp3";
    WriteSilence(silence);
    const Result whole = Run({"silences", silence});
    EXPECT_EQ(whole.exitCode, 0) << whole.err;
    EXPECT_EQ(whole.out, "0:00.000 0:05.224 0:05.224\n");
    const auto json = nlohmann::json::parse(Run({"silences", "--json", silence}).out);
    EXPECT_EQ(json, (nlohmann::json{{"outcome", "completed"},
                                    {"silences",
                                     {{{"start", 0},
                                       {"end", 5.22449},
                                       {"length", 5.22449},
                                       {"start_sample", 0},
                                       {"end_sample", 230400},
                                       {"samples", 230400}}}},
                                    {"log", {"0:00.000 0:05.224 0:05.224"}},
                                    {"messages", nlohmann::json::array()},
                                    {"error", nullptr}}));
    const Result shorter = Run({"silences", "--min", "5.3", silence});
    EXPECT_EQ(shorter.exitCode, 1);
    EXPECT_EQ(shorter.out, "");

    const Result none = Run({"silences", "--threshold=-40", source});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.out, "");
    // Below -6 dB: the tone between the bursts of noise, 0.3 s of every 0.6 s, in its free-format
    // encoding too.
    for (const std::string& song : {source, std::string(QUORVEL_FIXTURES) + "/free.mp3"}) {
        const Result tone = Run({"silences", "--threshold", "-6", "--min", "0.25", song});
        EXPECT_EQ(tone.exitCode, 0);
        EXPECT_TRUE(
            std::regex_match(tone.out, std::regex(R"((0:0[0-4]\.[0-9]{3} 0:0[0-4]\.[0-9]{3} )"
                                                  R"(0:00\.3[0-9]{2}\n){8})")))
            << song << ":\n"
            << tone.out;
    }

    // Damaged in the middle, a header zeroed (its frame lost) or made one of 48 kHz (a frame
    // of another format, given as silence), the song is decoded on past the damage as
    // players decode it, and a line on the error output says so.
    const quorvel::test::Bytes song = quorvel::test::ReadFile(source);
    const std::string header("\xFF\xFB\x90", 3), padded("\xFF\xFB\x92", 3);
    const std::string text(song.begin(), song.end());
    const std::size_t middle =
        std::min(text.find(header, text.size() / 2), text.find(padded, text.size() / 2));
    const std::pair<std::uint8_t, std::string> damages[] = {{0x00, "0.006"}, {0x94, "0.026"}};
    for (const auto& [byte, lost] : damages) {
        quorvel::test::Bytes damaged = song;
        damaged[middle] = damaged[middle + 1] = byte == 0 ? 0 : 0xFF;
        damaged[middle + 2] = byte | (song[middle + 2] & 0x02);
        const std::string path = temp.Write("damaged.mp3", damaged);
        const Result passed = Run({"silences", "--threshold", "-6", "--min", "0.25", path});
        EXPECT_EQ(passed.exitCode, 0) << passed.err;
        EXPECT_TRUE(
            std::regex_match(passed.out, std::regex(R"((0:0[0-4]\.[0-9]{3} )"
                                                    R"(0:0[0-4]\.[0-9]{3} 0:00\.3[0-9]{2}\n){8})")))
            << passed.out;
        const std::string why = path + " is damaged: " + lost +
                                " s of its audio does not decode, and counts as silence or is left "
                                "out, as players play it";
        EXPECT_EQ(passed.err, "quorvel-cli: " + why + "\n");
        EXPECT_EQ(nlohmann::json::parse(Run({"silences", "--json", path}).out)["messages"],
                  nlohmann::json::array({why}));
    }

    const std::string missing = folder + "/missing.mp3";
    const Result unreadable = Run({"silences", "--json", missing});
    EXPECT_EQ(unreadable.exitCode, 2);
    const std::string why = "Cannot read " + missing + ": No such file or directory.";
    EXPECT_EQ(nlohmann::json::parse(unreadable.out),
              (nlohmann::json{{"outcome", "unreadable"},
                              {"silences", nlohmann::json::array()},
                              {"log", nlohmann::json::array()},
                              {"messages", {why}},
                              {"error", {{"file", missing}, {"message", why}}}}));
    EXPECT_EQ(unreadable.err, "quorvel-cli: " + why + "\n");
}

// What a command writes to a terminal, both outputs together, the progress line shown from
// the start rather than after a second.
std::string OnATerminal(const std::string& arguments) {
    const std::string command =
        "script -qec \"QUORVEL_PROGRESS_AFTER_MS=0 '" QUORVEL_CLI "' " + arguments + "\" /dev/null";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return {};
    std::string said;
    char buffer[4096];
    for (std::size_t read; (read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        said.append(buffer, read);
    }
    ::pclose(pipe);
    return said;
}

// A run shows one line of its progress on a terminal, rewritten in place and taken away
// before anything else is written; never with --quiet, nor where the error output is no
// terminal, as every other test here has it.
TEST_F(Cli, ProgressShowsOnATerminalOnly) {
    const std::string out = folder + "/out";
    fs::create_directory(out);
    struct Case {
        std::string arguments;
        std::string step;  // what the line says it is doing; empty: no line
    };
    for (const Case& c : {Case{"info '" + source + "'", "song.mp3: "},
                          Case{"split '" + source + "' 0 2 '" + out + "'", "song2.mp3: "},
                          Case{"split -q -r '" + source + "' 0 2 '" + out + "'", ""},
                          Case{"loudness '" + source + "'", "Measuring loudness"}}) {
        SCOPED_TRACE(c.arguments);
        const std::string said = OnATerminal(c.arguments);
        const bool shown = !c.step.empty();
        EXPECT_EQ(said.find(c.step) != std::string::npos && said.find("%") != std::string::npos,
                  shown)
            << said;
        EXPECT_EQ(said.find("\x1b[K") != std::string::npos, shown) << said;
    }
}

// The bytes mpg123 plays of a file gaplessly.
std::size_t GaplessBytes(const std::string& path) {
    const std::string command = "mpg123 --gapless -q -s '" + path + "' 2>/dev/null | wc -c";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return 0;
    unsigned long long bytes = 0;
    if (std::fscanf(pipe, "%llu", &bytes) != 1) bytes = 0;
    ::pclose(pipe);
    return bytes;
}

// parts cuts at each time given, every so often or into as many parts as asked, names the
// parts as split does, and says what it made in JSON: each cut, each part, each seam. A time
// outside the source is refused as split refuses one.
TEST_F(Cli, PartsCutsAtTimesEverySoOftenOrIntoAsMany) {
    const std::string out = folder + "/out";
    fs::create_directory(out);
    const Result every = Run({"parts", "--every", "0:01", source, out});
    EXPECT_EQ(every.exitCode, 0) << every.err;
    for (const char* frame : {"(frame 39)", "(frame 77)", "(frame 121)", "(frame 154)"}) {
        EXPECT_NE(every.out.find(frame), std::string::npos) << every.out;
    }
    EXPECT_NE(every.out.find("\nWriting to " + out + "/song5.mp3\nSeam between parts 1 and 2:\n"),
              std::string::npos)
        << every.out;
    std::int64_t bytes = 0;
    for (int part = 1; part <= 5; ++part) {
        bytes += std::int64_t(fs::file_size(out + "/song" + std::to_string(part) + ".mp3"));
    }
    EXPECT_NE(every.out.find("\nTotal bytes written : " + std::to_string(bytes) + " bytes.\n"),
              std::string::npos)
        << every.out;
    // Where no frame is safe to cut at between the last time and the end, the last part
    // ends with the audio.
    const Result ending =
        Run({"parts", "--every", "0:02", "-r", std::string(QUORVEL_FIXTURES) + "/vbr.mp3", out});
    EXPECT_EQ(ending.exitCode, 0) << ending.out;
    EXPECT_NE(ending.out.find("Writing to " + out + "/vbr2.mp3\nSeam check"), std::string::npos)
        << ending.out;

    // Four parts of the 4.5 s the source plays (198,450 samples, its LAME tag's delay and
    // padding left out) are within a sample of each other played gaplessly, and join the
    // source exactly at every seam; a fraction of a second without --exact rounds as split's
    // SECOND does.
    const Result json = Run({"parts", "-x", "--count", "4", "--json", "-r", source, out});
    EXPECT_EQ(json.exitCode, 0) << json.err;
    const auto run = nlohmann::json::parse(json.out);
    EXPECT_EQ(run["outcome"], "completed");
    ASSERT_EQ(run["cuts"].size(), 3u);
    EXPECT_NEAR(run["cuts"][0]["seconds"].get<double>(), 49613.0 / 44100, 1e-6);
    ASSERT_EQ(run["outputs"].size(), 4u);
    std::int64_t written = 0;
    std::vector<std::size_t> played;
    for (int part = 0; part < 4; ++part) {
        const std::string path = out + "/song" + std::to_string(part + 1) + ".mp3";
        EXPECT_EQ(run["outputs"][part]["path"], path);
        EXPECT_EQ(run["outputs"][part]["bytes"], fs::file_size(path));
        written += run["outputs"][part]["bytes"].get<std::int64_t>();
        played.push_back(GaplessBytes(path));
    }
    EXPECT_EQ(run["bytes_written"], written);
    const auto [fewest, most] = std::ranges::minmax(played);
    EXPECT_LE(most - fewest, 4u) << "one sample of two channels of 16 bits";
    EXPECT_EQ(std::accumulate(played.begin(), played.end(), std::size_t{0}), 198450u * 4);
    ASSERT_EQ(run["seams"].size(), 3u);
    for (const auto& seam : run["seams"]) EXPECT_TRUE(seam["exact"]) << seam;
    EXPECT_EQ(run["log"].back(), "MP3 splitting completed.");
    const auto rounded =
        nlohmann::json::parse(Run({"parts", "--at", "0:01.600", "--json", "-r", source, out}).out);
    EXPECT_EQ(rounded["cuts"][0]["frame"], 77);

    // Every 0.9 s exactly: the cut at 4.5 s, where the audio ends, is left out.
    const auto everyExactly = nlohmann::json::parse(
        Run({"parts", "-x", "--every", "0:00.900", "--json", "-r", source, out}).out);
    EXPECT_EQ(everyExactly["outcome"], "completed");
    EXPECT_EQ(everyExactly["cuts"].size(), 4u);
    for (const auto& seam : everyExactly["seams"]) EXPECT_TRUE(seam["exact"]) << seam;

    const Result late = Run({"parts", "--at", "0:01", "--at", "0:05", source, out});
    EXPECT_EQ(late.exitCode, 1);
    EXPECT_EQ(
        late.err,
        "quorvel-cli: The cut at 0:05.000 lies at or past the end of the source (0:04.571).\n");
}

// What a command prints on its standard output, as bytes: a decoder's samples.
std::string Printed(const std::string& command) {
    std::string printed;
    std::FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe) return printed;
    char buffer[1 << 16];
    for (std::size_t read; (read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        printed.append(buffer, read);
    }
    ::pclose(pipe);
    return printed;
}

// A file's samples as ffmpeg decodes them, 16 bits each.
std::string FfmpegSamples(const std::string& path) {
    return Printed("ffmpeg -v error -i '" + path + "' -f s16le -");
}

// join puts the parts of a split back together, by either rule and at any number of cuts,
// into the source's very samples; files that do not belong together keep the gap their
// encoders left, which the log tells, under one header that ffprobe and mpg123 agree with.
TEST_F(Cli, JoinPutsPartsBackTogetherAndOtherFilesAfterTheirGap) {
    const std::string out = folder + "/out";
    fs::create_directory(out);
    const std::string vbr = std::string(QUORVEL_FIXTURES) + "/vbr.mp3";
    const struct {
        std::string source;
        std::vector<std::string> rule;
    } splits[] = {{source, {}},
                  {source, {"-x"}},
                  {vbr, {}},
                  {vbr, {"-x"}},
                  // No header at all: the first part has none either, and plays every frame.
                  {std::string(QUORVEL_FIXTURES) + "/noinfo.mp3", {"-x"}}};
    for (const auto& split : splits) {
        std::vector<std::string> parts = {"parts", "-r", "--count", "5", split.source, out};
        parts.insert(parts.begin() + 1, split.rule.begin(), split.rule.end());
        ASSERT_EQ(Run(parts).exitCode, 0);
        const std::string name = fs::path(split.source).stem();
        std::vector<std::string> join = {"join", "-r"};
        for (int part = 1; part <= 5; ++part) {
            join.push_back(out + "/" + name + std::to_string(part) + ".mp3");
        }
        join.push_back(folder + "/joined.mp3");
        const Result joined = Run(join);
        EXPECT_EQ(joined.exitCode, 0) << joined.err;
        const std::string rule = split.rule.empty() ? "by the frame rule" : "at a sample";
        const std::regex seam("goes on where a split " + rule + " cut");
        EXPECT_EQ(std::distance(std::sregex_iterator(joined.out.begin(), joined.out.end(), seam),
                                std::sregex_iterator()),
                  4)
            << joined.out;
        const std::string samples = FfmpegSamples(split.source);
        EXPECT_FALSE(samples.empty());
        EXPECT_TRUE(FfmpegSamples(folder + "/joined.mp3") == samples) << name << " " << rule;
        EXPECT_EQ(GaplessBytes(folder + "/joined.mp3"), samples.size()) << name << " " << rule;
    }

    // Two files that are no parts of one: 1,998 samples of their encoders' padding and delay
    // between them.
    const Result two = Run({"join", "--json", source, vbr, folder + "/two.mp3"});
    EXPECT_EQ(two.exitCode, 0) << two.err;
    const auto run = nlohmann::json::parse(two.out);
    EXPECT_EQ(run["outcome"], "completed");
    EXPECT_EQ(run["outputs"][0]["bytes"], fs::file_size(folder + "/two.mp3"));
    const std::size_t gap = 1998;
    EXPECT_EQ(run["log"][1], "Between " + source + " and " + vbr +
                                 " the gap their encoders left plays: 1998 samples (45 ms).");
    const std::size_t played = FfmpegSamples(source).size() + FfmpegSamples(vbr).size() + gap * 4;
    EXPECT_EQ(FfmpegSamples(folder + "/two.mp3").size(), played);
    EXPECT_EQ(GaplessBytes(folder + "/two.mp3"), played);
    // ffprobe counts the frames its header states, and times them so.
    const auto probed = [](const std::string& path, const std::string& field) {
        return std::stod(Printed("ffprobe -v error -count_frames -show_entries stream=" + field +
                                 " -of csv=p=0 '" + path + "'"));
    };
    const double frames = probed(folder + "/two.mp3", "nb_read_frames");
    EXPECT_EQ(frames, probed(source, "nb_read_frames") + probed(vbr, "nb_read_frames"));
    EXPECT_NEAR(probed(folder + "/two.mp3", "duration"), frames * 1152 / 44100, 1e-6);
}

// What mp3val finds wrong with a file, its name left out of each line.
std::set<std::string> Mp3valFindings(const std::string& path) {
    std::set<std::string> found;
    std::istringstream lines(Printed("mp3val '" + path + "'"));
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with("WARNING") && !line.starts_with("ERROR")) continue;
        const auto name = line.find(path);
        if (name != std::string::npos) line.erase(name, path.size());
        found.insert(line);
    }
    return found;
}

// cut removes the frames nearest the ends of each span within the file, and a span from the
// start or to the end to the sample: the output plays as long as the source less what they
// remove, by ffmpeg and mpg123 alike, has the source's very samples from its first to its
// last but within a frame after each seam (two in MPEG 2 and 2.5, whose one granule a frame
// overlaps the one before it and whose synthesis remembers 512 samples more), and mp3val
// finds nothing in it that it does not find in the source.
TEST_F(Cli, CutRemovesWholeFramesAndKeepsEverySampleAwayFromTheSeams) {
    const std::string fixtures = QUORVEL_FIXTURES;
    const struct {
        std::string file;
        std::size_t samplesPerFrame, rate;
        std::vector<std::string> spans;
        double head, tail;  // seconds cut from the start and from the end
    } cases[] = {
        {source, 1152, 44100, {"0:01-0:01.500", "0:03-0:03.900"}, 0, 0},
        {source, 1152, 44100, {"0:00-0:01", "0:02-0:02.500", "0:04-0:04.500"}, 1, 0.5},
        {fixtures + "/vbr.mp3", 1152, 44100, {"0:00.300-0:01"}, 0, 0},
        {fixtures + "/mpeg2.mp3",
         576,
         22050,
         {"0:00-0:00.7", "0:01-0:02.300", "0:03.100-0:03.600"},
         0.7,
         0},
        {fixtures + "/mpeg25.mp3", 576, 11025, {"0:01-0:02.300"}, 0, 0},
    };
    // Every source's LAME tag states 576 samples of start delay, the decoders add 529.
    const std::size_t lead = 576 + 529;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string output = folder + "/cut.mp3";
        std::vector<std::string> arguments = {"cut", "-r", "--json"};
        for (const std::string& span : c.spans) {
            arguments.push_back("--remove");
            arguments.push_back(span);
        }
        arguments.push_back(c.file);
        arguments.push_back(output);
        const Result cut = Run(arguments);
        ASSERT_EQ(cut.exitCode, 0) << cut.err;
        const auto run = nlohmann::json::parse(cut.out);
        EXPECT_EQ(run["log"].back(), "MP3 cutting completed.");
        // The frames each span within the file removes, as the log tells them.
        std::vector<std::pair<std::size_t, std::size_t>> removed;
        std::size_t checked = 0;
        const std::regex frames(R"(\(frames (\d+) to (\d+)\)\.$)");
        for (const auto& line : run["log"]) {
            std::smatch match;
            const std::string text = line.get<std::string>();
            if (std::regex_search(text, match, frames)) {
                removed.emplace_back(std::stoul(match[1]), std::stoul(match[2]));
            }
            checked += text.starts_with("Seam check at ") ? 1 : 0;
        }
        ASSERT_EQ(removed.size(), c.spans.size() - (c.head > 0) - (c.tail > 0));
        EXPECT_EQ(checked, removed.size()) << "a seam check at each seam";
        const std::size_t spf = c.samplesPerFrame;
        // Where the decoders' output reaches a frame of the source, in bytes.
        const auto played = [&](std::size_t frame) {
            return frame * spf > lead ? (frame * spf - lead) * 4 : 0;
        };
        const std::string before = FfmpegSamples(c.file);
        const std::string after = FfmpegSamples(output);
        const auto head = std::size_t(std::llround(c.head * double(c.rate))) * 4;
        const std::size_t end =
            before.size() - std::size_t(std::llround(c.tail * double(c.rate))) * 4;
        std::size_t gone = head + before.size() - end;
        for (const auto& [first, last] : removed) gone += played(last) - played(first);
        EXPECT_EQ(after.size(), before.size() - gone);
        EXPECT_EQ(GaplessBytes(output), after.size());
        // Each kept stretch, in bytes of two 16-bit channels: where it starts in the source
        // and in the output, and how long it is.
        std::size_t from = head, at = 0;
        for (std::size_t i = 0; i <= removed.size(); ++i) {
            const std::size_t to = i < removed.size() ? played(removed[i].first) : end;
            // Past the seam that opens it, which decodes after foreign frames.
            const std::size_t settled = i == 0 ? 0 : std::min(to - from, 2 * spf * 4);
            EXPECT_EQ(after.compare(at + settled, to - from - settled, before, from + settled,
                                    to - from - settled),
                      0)
                << "the stretch after seam " << i;
            if (i > 0 && spf == 1152) {
                EXPECT_EQ(after.compare(at + spf * 4, to - from - spf * 4, before, from + spf * 4,
                                        to - from - spf * 4),
                          0);
            }
            at += to - from;
            if (i < removed.size()) from = played(removed[i].second);
        }
        EXPECT_EQ(Mp3valFindings(output), Mp3valFindings(c.file));
    }
}

// cut --snap moves each end of a span to the middle of the nearest pause: speech with a
// second of silence between its sentences is cut inside the pauses, wherever the span's
// ends fall within a second of them, and the output stays below the silence's threshold
// from 10 ms before each seam to 10 ms after it.
TEST_F(Cli, CutWithSnapCutsInsideThePauses) {
    const char* sentences[] = {"The first sentence ends here.", "A second one follows it.",
                               "And the third one closes."};
    std::string parts;
    std::vector<double> lengths;
    for (std::size_t i = 0; i < std::size(sentences); ++i) {
        const std::string said = folder + "/said" + std::to_string(i) + ".wav";
        ASSERT_EQ(std::system(("espeak-ng -w '" + said + "' '" + sentences[i] + "'").c_str()), 0);
        lengths.push_back(std::stod(Printed("soxi -D '" + said + "'")));
        parts += (i > 0 ? " '" + folder + "/pause.wav' '" : " '") + said + "'";
    }
    const std::string speech = folder + "/speech.mp3";
    ASSERT_EQ(
        std::system(("sox -n -r 22050 -c 1 '" + folder + "/pause.wav' trim 0 1 && sox" + parts +
                     " -r 44100 -c 2 -t wav - | lame --quiet -b 128 - '" + speech + "'")
                        .c_str()),
        0);
    // The pauses, in seconds of the source.
    const double first = lengths[0], second = lengths[0] + 1 + lengths[1];
    const auto time = [](double seconds) {
        char text[32];
        std::snprintf(text, sizeof text, "0:%06.3f", seconds);
        return std::string(text);
    };
    const Result cut =
        Run({"cut", "--snap", "--remove", time(first - 0.4) + "-" + time(second + 1.4), speech,
             folder + "/cut.mp3"});
    ASSERT_EQ(cut.exitCode, 0) << cut.err;
    std::smatch match;
    ASSERT_TRUE(std::regex_search(cut.out, match,
                                  std::regex(R"(is cut from 0:0(\d\.\d+) to 0:0(\d\.\d+) )")))
        << cut.out;
    const double start = std::stod(match[1]), end = std::stod(match[2]);
    EXPECT_GT(start, first);
    EXPECT_LT(start, first + 1);
    EXPECT_GT(end, second);
    EXPECT_LT(end, second + 1);
    ASSERT_TRUE(std::regex_search(cut.out, match, std::regex(R"(Seam check at 0:0(\d\.\d+):)")))
        << cut.out;
    const auto seam = std::size_t(std::stod(match[1]) * 44100);
    const std::string output = FfmpegSamples(folder + "/cut.mp3");
    const std::size_t near = 441;  // 10 ms
    ASSERT_GT(output.size(), (seam + near) * 4);
    for (std::size_t at = (seam - near) * 2; at < (seam + near) * 2; ++at) {
        std::int16_t sample = 0;
        std::memcpy(&sample, output.data() + at * 2, 2);
        ASSERT_LT(std::abs(sample), 104) << "at sample frame " << at / 2;
    }
    // Without it, the cut lies on the frame nearest each time.
    const Result plain = Run({"cut", "-r", "--remove", time(first - 0.4) + "-" + time(second + 1.4),
                              speech, folder + "/cut.mp3"});
    EXPECT_NE(plain.out.find("is cut from " + time(first - 0.4).substr(0, 5)), std::string::npos)
        << plain.out;
}

// cut keeps the source's chapters, timed as the output plays, and drops the one that lies
// within the span it removes, as ffprobe reads them.
TEST_F(Cli, CutRetimesTheChaptersAndDropsThoseItRemoves) {
    const std::string output = folder + "/cut.mp3";
    const Result cut = Run({"cut", "--remove", "0:01-0:02.600",
                            std::string(QUORVEL_FIXTURES) + "/chapters.mp3", output});
    ASSERT_EQ(cut.exitCode, 0) << cut.err;
    const auto chapters = nlohmann::json::parse(
        Printed("ffprobe -v error -show_chapters -of json '" + output + "'"))["chapters"];
    ASSERT_EQ(chapters.size(), 3u);
    const char* titles[] = {"Opening", "Later", "Close"};
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(chapters[i]["tags"]["title"], titles[i]);
    // The frames removed played from 0.993 s to 2.587 s: "Later", from 2.4 s, starts where
    // they did, "Close", from 3.7 s, as much earlier as they played.
    EXPECT_EQ(chapters[1]["start"], 993);
    EXPECT_EQ(chapters[2]["start"], 3700 - (2587 - 993));
}

// cut refuses, writing nothing, spans that are empty, reach past the end or leave nothing,
// an output that is the source, and a call without a span.
TEST_F(Cli, CutRefusesSpansItCannotCut) {
    const std::string output = folder + "/cut.mp3";
    const struct {
        std::vector<std::string> arguments;
        int exitCode;
        std::string said;
    } cases[] = {
        {{"cut", source, output}, 2, "quorvel-cli: cut: give --remove FROM-TO at least once\n"},
        {{"cut", "--remove", "0:02", source, output}, 2, "quorvel-cli: cut: invalid span '0:02'\n"},
        {{"cut", "--remove", "0:02-0:01", source, output},
         1,
         "quorvel-cli: The span 0:02.000-0:01.000 is empty: its start is not before its end.\n"},
        {{"cut", "--remove", "0:02-0:09", source, output},
         1,
         "quorvel-cli: The span 0:02.000-0:09.000 reaches past the end of the source "
         "(0:04.500).\n"},
        {{"cut", "--remove", "0:00-0:04.500", source, output},
         1,
         "quorvel-cli: The spans given hold all the audio: nothing would be left.\n"},
        {{"cut", "--remove", "0:01-0:02", source, source},
         1,
         "quorvel-cli: The output " + source + " is the input file " + source +
             ": give another name.\n"},
    };
    for (const auto& c : cases) {
        const Result refused = Run(c.arguments);
        EXPECT_EQ(refused.exitCode, c.exitCode) << refused.err;
        EXPECT_TRUE(refused.err.starts_with(c.said)) << refused.err;
        EXPECT_FALSE(fs::exists(output));
    }
}

// trim keeps a file's sound and --keep seconds of the silence on either side of it, to the
// sample: the output decodes, by ffmpeg and by mpg123 --gapless alike, to the very samples
// the source decodes to there. A file of silence alone is refused.
TEST_F(Cli, TrimKeepsTheSoundAndAQuarterSecondOnEitherSideToTheSample) {
    // MPEG 1 and MPEG 2, at bit rates lame keeps their sampling rates at.
    const struct {
        int rate;
        const char* kbits;
        std::vector<std::string> keep;
        double seconds;
    } cases[] = {{44100, "128", {}, 0.25}, {22050, "64", {"--keep", "0.5"}, 0.5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        const std::string padded = folder + "/padded.mp3";
        const std::string rate = std::to_string(c.rate);
        // Speech with 2 s of digital silence before it and 3 s after.
        ASSERT_EQ(std::system(("espeak-ng --stdout 'Trimmed to the sample, on either side.' | "
                               "sox - -r " +
                               rate + " -c 2 -t wav - pad 2 3 2>/dev/null | lame --quiet -b " +
                               c.kbits + " - '" + padded + "'")
                                  .c_str()),
                  0);
        std::vector<std::string> arguments = {"trim", "-r", "--json"};
        arguments.insert(arguments.end(), c.keep.begin(), c.keep.end());
        arguments.push_back(padded);
        arguments.push_back(folder + "/trimmed.mp3");
        const Result trim = Run(arguments);
        ASSERT_EQ(trim.exitCode, 0) << trim.err;
        // Where the sound starts and ends, as silences finds it.
        const auto silences =
            nlohmann::json::parse(Run({"silences", "--json", padded}).out)["silences"];
        ASSERT_EQ(silences.size(), 2u);
        const auto keep = std::size_t(c.seconds * c.rate);
        const std::size_t from = silences[0]["end_sample"].get<std::size_t>() - keep;
        const std::size_t to = silences[1]["start_sample"].get<std::size_t>() + keep;
        const std::string decoded = FfmpegSamples(padded);
        EXPECT_TRUE(FfmpegSamples(folder + "/trimmed.mp3") ==
                    decoded.substr(from * 4, (to - from) * 4));
        const auto mpg123 = [](const std::string& path) {
            return Printed("mpg123 --gapless -q -s '" + path + "'");
        };
        EXPECT_TRUE(mpg123(folder + "/trimmed.mp3") ==
                    mpg123(padded).substr(from * 4, (to - from) * 4));
    }
    const std::string quiet = folder + "/quiet.mp3";
    ASSERT_EQ(std::system(("sox -n -r 44100 -c 2 -t wav - synth 2 sine 0 vol 0 2>/dev/null | "
                           "lame --quiet - '" +
                           quiet + "'")
                              .c_str()),
              0);
    const Result refused = Run({"trim", quiet, folder + "/none.mp3"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, "quorvel-cli: " + quiet + " is silence alone: nothing would be left.\n");
    EXPECT_FALSE(fs::exists(folder + "/none.mp3"));
}

// What ffmpeg and mpg123 complain of as they decode a file, its name left out.
std::set<std::string> DecoderComplaints(const std::string& path) {
    std::set<std::string> found;
    std::istringstream lines(Printed("ffmpeg -v warning -i '" + path +
                                     "' -f null - 2>&1; mpg123 -t -q '" + path + "' 2>&1"));
    for (std::string line; std::getline(lines, line);) {
        const auto name = line.find(path);
        if (name != std::string::npos) line.erase(name, path.size());
        found.insert(line);
    }
    return found;
}

// The 16-bit samples ffmpeg decodes a file to.
std::vector<std::int16_t> Samples16(const std::string& path) {
    const std::string bytes = FfmpegSamples(path);
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// gain --db -3 takes every granule two steps quieter: each file decodes to its source's
// samples times 2^(-1/2) within a step of rounding, and neither decoder nor mp3val finds
// in it what they do not find in the source, CRCs included; --undo gives the source back
// byte for byte, and so does a gain of +3 on the gained file, which undoes the first.
TEST_F(Cli, GainChangesEveryGranuleAndUndoesByteForByte) {
    const std::string fixtures = QUORVEL_FIXTURES;
    const std::string mono = folder + "/mono.mp3", crc = folder + "/crc.mp3";
    ASSERT_EQ(std::system(("sox -n -r 44100 -c 1 -t wav - synth 3 sine 300-900 2>/dev/null | "
                           "lame --quiet -m m -b 64 - '" +
                           mono +
                           "' && sox -n -r 44100 -c 2 -t "
                           "wav - synth 3 sine 500 2>/dev/null | lame --quiet -p -b 160 - '" +
                           crc + "'")
                              .c_str()),
              0);
    for (const std::string& file : {source, fixtures + "/vbr.mp3", fixtures + "/mpeg2.mp3",
                                    fixtures + "/mpeg25.mp3", mono, crc}) {
        SCOPED_TRACE(file);
        const std::string gained = folder + "/gained.mp3", back = folder + "/back.mp3";
        const Result gain = Run({"gain", "-r", "--db", "-3", file, gained});
        ASSERT_EQ(gain.exitCode, 0) << gain.err;
        const auto before = Samples16(file), after = Samples16(gained);
        ASSERT_EQ(after.size(), before.size());
        int farthest = 0;
        for (std::size_t i = 0; i < before.size(); ++i) {
            farthest = std::max(farthest,
                                std::abs(int(std::lround(before[i] * std::sqrt(0.5))) - after[i]));
        }
        EXPECT_LE(farthest, 1);
        const auto complaints = DecoderComplaints(file), findings = Mp3valFindings(file);
        for (const auto& [what, had] : {std::pair{DecoderComplaints(gained), complaints},
                                        std::pair{Mp3valFindings(gained), findings}}) {
            EXPECT_TRUE(std::includes(had.begin(), had.end(), what.begin(), what.end()))
                << *what.begin();
        }
        for (const std::vector<std::string>& undo :
             {std::vector<std::string>{"--undo"}, std::vector<std::string>{"--db", "+3"}}) {
            std::vector<std::string> arguments = {"gain", "-r"};
            arguments.insert(arguments.end(), undo.begin(), undo.end());
            arguments.insert(arguments.end(), {gained, back});
            const Result undone = Run(arguments);
            ASSERT_EQ(undone.exitCode, 0) << undone.err;
            EXPECT_TRUE(ReadText(back) == ReadText(file)) << undo[0];
        }
    }
    // --no-clip on a tone that peaks at -3 dBFS: of the four steps asked, the two that keep
    // it below full scale.
    const std::string loud = folder + "/loud.mp3", louder = folder + "/louder.mp3";
    ASSERT_EQ(std::system(("sox -n -r 44100 -c 2 -t wav - synth 3 sine 440 gain -3 2>/dev/null | "
                           "lame --quiet -b 192 - '" +
                           loud + "'")
                              .c_str()),
              0);
    const Result clipped = Run({"gain", "--no-clip", "--db", "6", loud, louder});
    ASSERT_EQ(clipped.exitCode, 0) << clipped.err;
    EXPECT_NE(clipped.out.find("goes 2 steps of 1.5 dB (3 dB)"), std::string::npos) << clipped.out;
    const auto peak = [](const std::vector<std::int16_t>& samples) {
        int most = 0;
        for (const std::int16_t sample : samples) most = std::max(most, std::abs(int(sample)));
        return most;
    };
    EXPECT_LT(peak(Samples16(louder)), 32767);
    EXPECT_GT(peak(Samples16(loud)) * std::pow(2, 0.75), 32767);
    // --to: the steps that bring the tone's integrated loudness, as loudness measures it,
    // nearest -20 LUFS, within half a step.
    const Result to = Run({"gain", "-r", "--to", "-20", loud, louder});
    ASSERT_EQ(to.exitCode, 0) << to.err;
    const auto measured = nlohmann::json::parse(
        Run({"loudness", "--json", louder}).out)["files"][0]["integrated_lufs"];
    EXPECT_NEAR(measured.get<double>(), -20, 0.8) << to.out;
    // Refused, writing nothing: an undo of a file that records no gain, and a change of
    // less than a step.
    fs::remove(louder);
    const Result nothing = Run({"gain", "--undo", loud, louder});
    EXPECT_EQ(nothing.exitCode, 1);
    EXPECT_EQ(nothing.err, "quorvel-cli: " + loud + " holds no record of a gain to undo.\n");
    const Result small = Run({"gain", "--db", "0.5", loud, louder});
    EXPECT_EQ(small.exitCode, 1);
    EXPECT_FALSE(fs::exists(louder));
}

// gain --fade-in and --fade-out: a steady tone decodes as a staircase of 1.5 dB a granule,
// monotone, from below -60 dBFS to the tone's level and back down, and --undo gives the
// tone back byte for byte, the granules a fade took to the smallest gain among them. The
// faded parts of a split and a faded cut start and end in silence, and the parts still
// play as long as the source, one after the other.
TEST_F(Cli, FadesInAndOutAStepOfAGranuleAtATime) {
    const std::string tone = folder + "/tone.mp3", faded = folder + "/faded.mp3";
    ASSERT_EQ(std::system(("sox -n -r 44100 -c 2 -t wav - synth 5 sine 440 gain -6 2>/dev/null | "
                           "lame --quiet -b 192 - '" +
                           tone + "'")
                              .c_str()),
              0);
    const Result gain =
        Run({"gain", "--db", "0", "--fade-in", "2", "--fade-out", "1", tone, faded});
    ASSERT_EQ(gain.exitCode, 0) << gain.err;
    // The level of each granule's worth of samples, in dB of full scale, both channels.
    const auto levelsOf = [](const std::vector<std::int16_t>& samples) {
        std::vector<double> levels;
        for (std::size_t at = 0; at + 2 * 576 <= samples.size(); at += 2 * 576) {
            double sum = 0;
            for (std::size_t i = at; i < at + 2 * 576; ++i) sum += double(samples[i]) * samples[i];
            levels.push_back(10 * std::log10(sum / (2 * 576) / (32768.0 * 32768.0) + 1e-30));
        }
        return levels;
    };
    const auto levels = levelsOf(Samples16(faded));
    const std::size_t in = 153;  // 2 s of granules
    const double level = levels[levels.size() / 2];
    EXPECT_LT(levels.front(), -60);
    for (std::size_t i = 0; i + 1 < in + 2; ++i) EXPECT_GE(levels[i + 1], levels[i] - 0.3) << i;
    // Between -60 dB and the level, each granule a step louder than the one before.
    const double rise = (levels[in - 5] - levels[in - 25]) / 20;
    EXPECT_NEAR(rise, 1.5, 0.1);
    EXPECT_NEAR(levels[in + 3], level, 0.2);
    for (std::size_t i = levels.size() - 60; i + 1 < levels.size(); ++i) {
        EXPECT_LE(levels[i + 1], levels[i] + 0.3) << i;
    }
    EXPECT_LT(levels.back(), -60);
    const Result undo = Run({"gain", "--undo", faded, folder + "/back.mp3"});
    ASSERT_EQ(undo.exitCode, 0) << undo.err;
    EXPECT_TRUE(ReadText(folder + "/back.mp3") == ReadText(tone));

    const std::string out = folder + "/out";
    fs::create_directory(out);
    const Result parts =
        Run({"parts", "--count", "3", "--fade-in", "0.5", "--fade-out", "0.5", tone, out});
    ASSERT_EQ(parts.exitCode, 0) << parts.err;
    EXPECT_NE(parts.out.find("Seam check skipped: the parts are faded."), std::string::npos);
    const Result cut = Run({"cut", "--remove", "0:02-0:03", "--fade-in", "0.5", "--fade-out", "0.5",
                            tone, out + "/cut.mp3"});
    ASSERT_EQ(cut.exitCode, 0) << cut.err;
    std::size_t played = 0;
    for (const char* name : {"tone1.mp3", "tone2.mp3", "tone3.mp3", "cut.mp3"}) {
        const auto part = levelsOf(Samples16(out + "/" + name));
        ASSERT_GT(part.size(), 4u) << name;
        EXPECT_LT(part.front(), -60) << name;
        EXPECT_LT(part.back(), -60) << name;
        played += std::string(name) == "cut.mp3" ? 0 : GaplessBytes(out + "/" + name);
    }
    EXPECT_EQ(played, GaplessBytes(tone));
}

// join --chapters gives the output one chapter for each file, as ffprobe reads them: titled
// as the file's title tag, or as its name where it has none, from where its frames start to
// where the next file's do, and the last to the end.
TEST_F(Cli, JoinWithChaptersGivesEachFileItsOwn) {
    const quorvel::test::Bytes audio = quorvel::test::ReadFile(source);
    const quorvel::test::Bytes title = {0, 'F', 'i', 'r', 's', 't'};
    const std::string first =
        temp.Write("first.mp3",
                   quorvel::test::operator+(
                       quorvel::test::Id3Tag(3, quorvel::test::Id3Frame(3, "TIT2", title)), audio));
    const std::string output = folder + "/both.mp3";
    const Result joined = Run({"join", "--chapters", first, source, output});
    ASSERT_EQ(joined.exitCode, 0) << joined.err;
    const auto chapters = nlohmann::json::parse(
        Printed("ffprobe -v error -show_chapters -of json '" + output + "'"))["chapters"];
    ASSERT_EQ(chapters.size(), 2u);
    EXPECT_EQ(chapters[0]["tags"]["title"], "First");
    EXPECT_EQ(chapters[1]["tags"]["title"], "song");
    EXPECT_EQ(std::stod(chapters[0]["start_time"].get<std::string>()), 0);
    // The second starts where the first file's frames end, less the encoder's delay and
    // the decoder's.
    const double frames = std::stod(
        Printed("ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 '" +
                source + "'"));
    const double second = std::stod(chapters[1]["start_time"].get<std::string>());
    EXPECT_NEAR(second, (frames * 1152 - 576 - 529) / 44100, 0.002);
    EXPECT_EQ(chapters[0]["end_time"], chapters[1]["start_time"]);
    const double played = double(FfmpegSamples(output).size()) / 4 / 44100;
    EXPECT_NEAR(std::stod(chapters[1]["end_time"].get<std::string>()), played, 0.002);
}

// join refuses, writing nothing, files that do not go together, an output that is one of
// its inputs, a file without MP3 audio or one it cannot read, each by its exit code; an
// output there already is kept without --replace.
TEST_F(Cli, JoinRefusesWhatCannotBeJoinedAndWritesNothing) {
    const std::string output = folder + "/joined.mp3";
    const std::string mpeg2 = std::string(QUORVEL_FIXTURES) + "/mpeg2.mp3";
    const Result mixed = Run({"join", source, mpeg2, output});
    EXPECT_EQ(mixed.exitCode, 1);
    EXPECT_EQ(mixed.err, "quorvel-cli: " + mpeg2 + " cannot be joined to " + source +
                             ": it is MPEG 2, 22050 Hz, 2 channels, " + source +
                             " is MPEG 1, 44100 Hz, 2 channels. Only files of one MPEG version, "
                             "sampling rate and channel count join.\n");
    EXPECT_FALSE(fs::exists(output));

    const Result itself = Run({"join", source, source});
    EXPECT_EQ(itself.exitCode, 1);
    EXPECT_EQ(itself.err, "quorvel-cli: The output " + source + " is the input file " + source +
                              ": give another name.\n");
    const std::string text = folder + "/notes.mp3";
    std::ofstream(text) << "no frames here\n";
    const auto none = nlohmann::json::parse(Run({"join", "--json", source, text, output}).out);
    EXPECT_EQ(none["outcome"], "refused");
    EXPECT_EQ(none["error"]["file"], text);
    const Result missing = Run({"join", source, folder + "/missing.mp3", output});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_FALSE(fs::exists(output));

    std::ofstream(output) << "older";
    const Result kept = Run({"join", source, source, output});
    EXPECT_EQ(kept.exitCode, 3);
    EXPECT_EQ(ReadText(output), "older");
    EXPECT_EQ(Run({"join", "-r", source, source, output}).exitCode, 0);
    EXPECT_TRUE(Trashed("older"));
    EXPECT_EQ(FfmpegSamples(output).size(), 2 * FfmpegSamples(source).size() + 4 * 1998);
}

// parts cuts at a cue sheet's tracks or the source's chapters, each part titled as they
// say, and refuses a sheet that does not fit the source, naming its line, leaving nothing.
TEST_F(Cli, PartsFromACueSheetOrTheChapters) {
    const std::string out = folder + "/out";
    fs::create_directory(out);
    const Result chapters = Run({"parts", "-x", "--chapters", "--name", "%n %t", "--json",
                                 std::string(QUORVEL_FIXTURES) + "/chapters.mp3", out});
    EXPECT_EQ(chapters.exitCode, 0) << chapters.err;
    const auto chaptered = nlohmann::json::parse(chapters.out);
    ASSERT_EQ(chaptered["outputs"].size(), 4u) << chapters.out;
    EXPECT_EQ(chaptered["outputs"][1]["path"], out + "/2 Middle.mp3");
    for (const auto& seam : chaptered["seams"]) EXPECT_TRUE(seam["exact"]) << seam;
    const Result none = Run({"parts", "--chapters", source, out});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.err, "quorvel-cli: parts: " + source + " has no chapters to split at\n");

    // Chapters that start together, one of them a mark of no length, are refused as the
    // cue sheet's tracks that do so are, and nothing is written. A tag that nests its
    // chapters 20,000 deep is never read: the chapters are refused, and a split copies
    // the tag as it is and says so.
    using quorvel::test::operator+;
    const quorvel::test::Bytes audio = quorvel::test::ReadFile(source);
    const std::string marked = temp.Write(
        "marked.mp3",
        quorvel::test::Id3Tag(3, quorvel::test::TitledChapter("a", 0, 1000, "One") +
                                     quorvel::test::TitledChapter("m", 1000, 1000, "Mark") +
                                     quorvel::test::TitledChapter("b", 1000, 4000, "Two")) +
            audio);
    const std::string deep = temp.Write(
        "deep.mp3", quorvel::test::Id3Tag(3, quorvel::test::DeepChapters(3, 20000)) + audio);
    const auto unchanged = quorvel::test::Snapshot(out);
    const std::pair<std::string, std::string> refusals[] = {
        {marked,
         "Chapter 3 of the tag: 0:01 is also the start of chapter 2; each chapter needs a start "
         "of its own."},
        {deep, "The source's ID3v2 tag could not be read (its chapters nest more than 16 deep)."},
    };
    for (const auto& [file, why] : refusals) {
        const Result refused = Run({"parts", "--chapters", file, out});
        EXPECT_EQ(refused.exitCode, 1) << file;
        EXPECT_EQ(refused.err, "quorvel-cli: " + why + "\n");
    }
    EXPECT_EQ(quorvel::test::Snapshot(out), unchanged);
    const Result copied = Run({"split", deep, "0", "2", out});
    EXPECT_EQ(copied.exitCode, 0) << copied.err;
    EXPECT_NE(copied.out.find("\nThe source's ID3v2 tag was left unread (its chapters nest more "
                              "than 16 deep): the parts carry it as it is, with the source's "
                              "length and chapters.\n"),
              std::string::npos)
        << copied.out;

    // 99 tracks of 70 minutes, 42 s and a few CD frames apart, in a sheet for the WAVE
    // file the MP3 was made from.
    const std::string album = folder + "/album.mp3";
    ASSERT_EQ(std::system(("sox -n -r 8000 -c 1 -t wav - synth 4200 sine 300-3000 2>/dev/null | "
                           "lame --quiet -b 8 - '" +
                           album + "'")
                              .c_str()),
              0);
    std::string sheet = "PERFORMER \"Band\"\nFILE \"album.wav\" WAVE\n";
    for (int track = 0; track < 99; ++track) {
        const int frames = track * 42 * 75 + track * 7 % 75;
        char lines[128];
        std::snprintf(lines, sizeof lines,
                      "  TRACK %02d AUDIO\n    TITLE \"Track %d\"\n    INDEX 01 %02d:%02d:%02d\n",
                      track + 1, track + 1, frames / 75 / 60, frames / 75 % 60, frames % 75);
        sheet += lines;
    }
    const std::string cue = folder + "/album.cue";
    std::ofstream(cue) << sheet;
    const Result cut = Run({"parts", "-x", "--cue", cue, album, out});
    EXPECT_EQ(cut.exitCode, 0) << cut.err;
    EXPECT_NE(cut.out.find("\nThe cue sheet is for album.wav, not for album.mp3: its times may "
                           "not fit this file.\n"),
              std::string::npos)
        << cut.out;
    std::size_t played = 0;
    for (int part = 1; part <= 99; ++part) {
        char name[32];
        std::snprintf(name, sizeof name, "/album%02d.mp3", part);
        played += GaplessBytes(out + name);
    }
    EXPECT_EQ(played, GaplessBytes(album));

    // A track past the end is refused by its line, and nothing is written.
    std::ofstream(cue) << "FILE \"album.mp3\" MP3\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                          "  TRACK 02 AUDIO\n    INDEX 01 70:01:00\n";
    const auto before = quorvel::test::Snapshot(out);
    const Result past = Run({"parts", "--cue", cue, album, out});
    EXPECT_EQ(past.exitCode, 1);
    EXPECT_EQ(past.err,
              "quorvel-cli: Line 5 of the cue sheet: 70:01:00 is at or past the end of the MP3 "
              "file, which is 70:00:14 long.\n");
    EXPECT_EQ(quorvel::test::Snapshot(out), before);
}

}  // namespace

// Past a file-size limit the split reports the output it could not write and leaves no
// part of it behind, instead of being ended by the system.
TEST_F(Cli, SplitPastAFileSizeLimitSaysWhy) {
    const Result limited = Run({"split", source, "0", "2", folder}, 20000);
    EXPECT_EQ(limited.exitCode, 3);
    EXPECT_EQ(limited.err, "quorvel-cli: Cannot write " + folder + "/song1.mp3: File too large.\n");
    for (const auto& entry : fs::directory_iterator(folder)) {
        EXPECT_EQ(entry.path().filename(), "song.mp3");
    }
}

// Where no trash can be set up (the data folder is a plain file) or none can take an
// item (its info folder is a plain file, as a folder no one may write to would be), a
// replaced output is removed for good and the log says so; nothing is left in the
// destination but the outputs.
TEST_F(Cli, AnOutputNoTrashCanTakeIsRemovedForGoodAndSaysSo) {
    const std::string first = folder + "/song1.mp3";
    const std::string data = folder + "/data";
    for (const std::string& blocker : {data, data + "/Trash/info"}) {
        SCOPED_TRACE(blocker);
        fs::remove_all(data);
        fs::create_directories(fs::path(blocker).parent_path());
        std::ofstream(blocker) << "a file where a folder should be";
        std::ofstream(first) << "older";
        const Result replaced = Run({"split", source, "0", "2", folder, "--replace"}, RLIM_INFINITY,
                                    {"XDG_DATA_HOME=" + data, "HOME=" + data});
        EXPECT_EQ(replaced.exitCode, 0) << replaced.err;
        const auto notice = replaced.out.find("The trash could not take " + first + " (");
        EXPECT_NE(notice, std::string::npos) << replaced.out;
        EXPECT_NE(replaced.out.find("): it was removed for good.\n", notice), std::string::npos);
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            names.insert(entry.path().filename());
        }
        EXPECT_EQ(names, (std::set<std::string>{"data", "song.mp3", "song1.mp3", "song2.mp3"}));
        EXPECT_NE(ReadText(first), "older");
    }
}

// "--" ends the options, so a file may be called "--replace"; a source that cannot be
// read ends the split with its reason and exit code 2, and a socket is called one.
TEST_F(Cli, NamesAfterTwoDashesAndSourcesThatCannotBeRead) {
    const fs::path working = fs::current_path();
    fs::current_path(folder);
    fs::copy_file(source, "--replace");
    const Result dashed = Run({"split", "--", "--replace", "0", "2"});
    fs::current_path(working);
    EXPECT_EQ(dashed.exitCode, 0) << dashed.err;
    EXPECT_TRUE(fs::exists(folder + "/--replace1.mp3"));

    const Result folderSource = Run({"split", folder, "0", "2", folder});
    EXPECT_EQ(folderSource.exitCode, 2);
    EXPECT_EQ(folderSource.err, "quorvel-cli: Cannot read " + folder + ": it is a folder.\n");

    const std::string socketPath = folder + "/socket";
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const Result socketSource = Run({"info", socketPath});
    ::close(listener);
    EXPECT_EQ(socketSource.exitCode, 2);
    EXPECT_EQ(socketSource.err, "quorvel-cli: Cannot read " + socketPath + ": it is a socket.\n");

    // With --json every command names the first file it cannot use and says why, as on
    // the error output, with its exit code as without; a file is no MP3 file for info and
    // split by its frames, for verify and silences by its decoding.
    const std::string missing = folder + "/missing.mp3";
    const std::string text = folder + "/notes.mp3";
    std::ofstream(text) << "not an mp3 at all\n";
    const std::string cue = folder + "/missing.cue";
    const std::string noFile = ": No such file or directory.";
    const std::string noMp3 = "File selected is not a valid MP3 file. Please select another.";
    const std::string noDecoding = "Cannot read " + text + ": it does not decode";
    struct Unusable {
        std::vector<std::string> call;
        std::string file;
        std::string message;  // its start
        int exitCode;
    };
    const Unusable unusable[] = {
        {{"info", missing}, missing, "Cannot read " + missing + noFile, 2},
        {{"info", text}, text, noMp3, 1},
        {{"split", folder, "0", "2", folder},
         folder,
         "Cannot read " + folder + ": it is a folder.",
         2},
        {{"split", text, "0", "2", folder}, text, noMp3, 1},
        {{"parts", "--count", "2", missing, folder}, missing, "Cannot read " + missing + noFile, 2},
        {{"parts", "--cue", cue, source, folder},
         cue,
         "Cannot read the cue sheet " + cue + noFile,
         1},
        {{"verify", source, missing, source}, missing, "Cannot read " + missing + noFile, 2},
        {{"verify", source, source, text}, text, noDecoding, 2},
        {{"silences", socketPath},
         socketPath,
         "Cannot read " + socketPath + ": it is a socket.",
         2},
        {{"silences", text}, text, noDecoding, 2},
    };
    for (const auto& [call, file, message, exitCode] : unusable) {
        std::vector<std::string> arguments = call;
        arguments.push_back("--json");
        const Result run = Run(arguments);
        SCOPED_TRACE(call[0] + " " + file);
        EXPECT_EQ(run.exitCode, exitCode);
        const auto error = nlohmann::json::parse(run.out)["error"];
        EXPECT_EQ(error["file"], file);
        const std::string said = error["message"];
        EXPECT_TRUE(said.starts_with(message)) << said;
        EXPECT_TRUE(run.err.starts_with("quorvel-cli: " + said + "\n")) << run.err;
    }
}

// A name that is no UTF-8 reaches the trash as the file system's bytes: the older output
// goes there, not away for good.
TEST_F(Cli, AnOlderOutputWhoseNameIsNoUtf8GoesToTheTrash) {
    const std::string name = folder + "/\xff\xfe.mp3";
    fs::copy_file(source, name);
    std::ofstream(folder + "/\xff\xfe" + "1.mp3") << "older, not UTF-8";
    const Result replaced = Run({"split", name, "0", "2", folder, "--replace"});
    EXPECT_EQ(replaced.exitCode, 0) << replaced.err;
    EXPECT_EQ(replaced.out.find("removed for good"), std::string::npos) << replaced.out;
    // --json shows such a name with U+FFFD for each byte that is no UTF-8.
    EXPECT_EQ(nlohmann::json::parse(Run({"info", "--json", name}).out)["file"],
              folder + "/\uFFFD\uFFFD.mp3");
    bool trashed = false;
    for (const auto& entry :
         fs::directory_iterator(std::string(std::getenv("XDG_DATA_HOME")) + "/Trash/files")) {
        trashed =
            trashed || (entry.is_regular_file() && ReadText(entry.path()) == "older, not UTF-8");
    }
    EXPECT_TRUE(trashed);
}

// A split ended by a signal leaves the destination as it was, wherever before the naming
// of the outputs it lands. Once the naming has begun, SIGTERM lets it name both; SIGKILL
// leaves what it had reached, and the next run into the folder (here one refused for a cut
// past the end, which changes nothing else) says what it made of it: the first output
// staged under a hidden name, which it removes; a journal with names given or older
// outputs set aside but not all named yet, which it rolls back to the older outputs; a
// journal marked complete, which it completes, the older outputs going to the trash.
TEST_F(Cli, ASignalAtEachStepOfASplitLeavesWhatTheStepAllows) {
    // Zeros on either side of the stream, as holes that cost no disk, so that the analysis
    // and each output take long enough for a signal sent on a line of the log to land
    // within them, most of the time; one that lands late finds the run complete.
    constexpr std::uintmax_t kHole = 256u << 20;
    quorvel::test::TempFolder sources;
    const std::string big = sources.path + "/song.mp3";
    {
        const auto stream = quorvel::test::ReadFile(source);
        std::ofstream out(big, std::ios::binary);
        out.seekp(std::streamoff(kHole));
        out.write(reinterpret_cast<const char*>(stream.data()), std::streamsize(stream.size()));
    }
    fs::resize_file(big, fs::file_size(big) + kHole);
    quorvel::test::TempFolder reference;
    ASSERT_EQ(Run({"split", big, "0", "2", reference.path}).exitCode, 0);

    // Naming: the first output staged (linkat), the first rename (an older output set aside,
    // or the first output named), the last rename (every output named, the journal not yet
    // marked), the journal marked (its third fsync: the journal, its folder, the mark).
    enum class At {
        Analysis,
        FirstOutput,
        SecondOutput,
        FirstStaged,
        FirstRenamed,
        AllRenamed,
        Marked
    };
    struct Case {
        int signal;
        At at;
        bool older;  // older outputs in the folder, replaced
    };
    const Case cases[] = {
        {SIGTERM, At::Analysis, true},      {SIGTERM, At::FirstOutput, false},
        {SIGTERM, At::SecondOutput, true},  {SIGTERM, At::FirstStaged, true},
        {SIGTERM, At::FirstStaged, false},  {SIGTERM, At::FirstRenamed, true},
        {SIGKILL, At::Analysis, false},     {SIGKILL, At::FirstOutput, true},
        {SIGKILL, At::SecondOutput, false}, {SIGKILL, At::FirstStaged, true},
        {SIGKILL, At::FirstStaged, false},  {SIGKILL, At::FirstRenamed, true},
        {SIGKILL, At::FirstRenamed, false}, {SIGKILL, At::AllRenamed, true},
        {SIGKILL, At::AllRenamed, false},   {SIGKILL, At::Marked, true},
        {SIGKILL, At::Marked, false},
    };
    const std::regex hidden(R"(\.quorvel-\d+-\d+\.tmp)");
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE("case " + std::to_string(i));
        quorvel::test::TempFolder destination;
        const std::string first = destination.path + "/song1.mp3";
        const std::string second = destination.path + "/song2.mp3";
        const std::string olderFirst = "older first output " + std::to_string(i);
        const std::string olderSecond = "older second output " + std::to_string(i);
        std::vector<std::string> arguments{"split", big, "0", "2", destination.path};
        if (c.older) {
            std::ofstream(first) << olderFirst;
            std::ofstream(second) << olderSecond;
            arguments.push_back("--replace");
        }
        const auto before = quorvel::test::Snapshot(destination.path);

        const bool naming = c.at >= At::FirstStaged;
        // The second output's audio is copied while the analysis reads the source, its own
        // bytes written last: the run is paused at the first of those, its third pwrite (the
        // first output's header frame and zeroed bytes come before it, the first of them where
        // the first output is paused: the rest of the run takes too little time after its log
        // line for a signal sent on that line to land within it).
        const bool paused = naming || c.at != At::Analysis;
        std::vector<std::string> environment;
        if (paused) {
            const std::string pause = c.at == At::FirstOutput    ? "pwrite:1"
                                      : c.at == At::SecondOutput ? "pwrite:3"
                                      : c.at == At::FirstStaged  ? "linkat:1"
                                      : c.at == At::FirstRenamed ? "renameat2:1"
                                      : c.at == At::AllRenamed
                                          ? (c.older ? "renameat2:4" : "renameat2:2")
                                          : "fsync:3";
            environment = {"LD_PRELOAD=" QUORVEL_PAUSE_AFTER_CALL, "QUORVEL_TEST_PAUSE=" + pause};
        }
        Watched run = Start(arguments, environment);
        if (paused) {
            ASSERT_TRUE(run.WaitForStop());
        } else {
            ASSERT_TRUE(run.ReadUntil("Analysing"));
        }
        ::kill(run.Pid(), c.signal);
        if (paused && c.signal == SIGTERM) ::kill(run.Pid(), SIGCONT);
        // Stopped while naming, the split completes; its seam check, made while the parts were
        // written, is told, or said to be skipped where the stop came first.
        const bool checkTold = naming && c.signal == SIGTERM && run.ReadUntil("Seam check");
        const auto [status, last] = run.End();

        const auto completeAndNew = [&] {
            EXPECT_EQ(destination.Names(), (std::set<std::string>{"song1.mp3", "song2.mp3"}));
            EXPECT_TRUE(SameBytes(first, reference.path + "/song1.mp3"));
            EXPECT_TRUE(SameBytes(second, reference.path + "/song2.mp3"));
            if (c.older) {
                EXPECT_TRUE(Trashed(olderFirst) && Trashed(olderSecond));
            }
        };
        // A run that got past its last read or write before the signal landed (a loaded
        // machine may read the log line late) completes: the other outcome a split has.
        const bool completed = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (completed || (naming && c.signal == SIGTERM)) {
            EXPECT_TRUE(completed) << status;
            EXPECT_EQ(last, "MP3 splitting completed.");
            EXPECT_EQ(checkTold, naming);
            completeAndNew();
            continue;
        }
        if (!naming) {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << status;
            // A signal that lands after the analysis's last read stops the split instead.
            if (c.signal == SIGTERM) {
                EXPECT_TRUE(std::regex_match(
                    last,
                    std::regex(c.at == At::Analysis
                                   ? "Nothing was changed: the (analysis|split) was stopped\\."
                                   : "Nothing was changed: the split was stopped\\.")))
                    << last;
            }
            EXPECT_EQ(quorvel::test::Snapshot(destination.path), before);
            continue;
        }
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
        auto after = quorvel::test::Snapshot(destination.path);
        if (c.at == At::FirstStaged) {
            std::vector<std::string> staged;
            for (const auto& [name, bytes] : after) {
                if (!before.contains(name)) staged.push_back(name);
            }
            ASSERT_EQ(staged.size(), 1u);
            EXPECT_TRUE(std::regex_match(staged[0], hidden)) << staged[0];
            EXPECT_TRUE(
                SameBytes(destination.path + "/" + staged[0], reference.path + "/song1.mp3"));
            after.erase(staged[0]);
            EXPECT_EQ(after, before);
        } else {
            // A journal beside what it names.
            EXPECT_TRUE(std::any_of(after.begin(), after.end(), [](const auto& entry) {
                return entry.first.starts_with(".quorvel-journal-");
            }));
        }
        // The next run into the folder, refused for its cut past the end.
        const Result next = Run({"parts", "--at", "0:09", big, destination.path});
        EXPECT_EQ(next.exitCode, 1) << next.out << next.err;
        const std::string earlier =
            "An earlier run into " + destination.path + " was ended while it named its parts";
        if (c.at == At::Marked) {
            EXPECT_NE(next.out.find(earlier + ", once all had their names: it was completed.\n"),
                      std::string::npos)
                << next.out;
            if (c.older) {
                EXPECT_NE(next.out.find("\nMoved the older " + first + " to the trash.\n"),
                          std::string::npos)
                    << next.out;
            }
            completeAndNew();
            continue;
        }
        if (c.at != At::FirstStaged) {
            EXPECT_NE(next.out.find(earlier + ": it was rolled back, the older files are as they "
                                              "were.\n"),
                      std::string::npos)
                << next.out;
        }
        // The hidden output of a staged run goes with the next run's writing: one that
        // writes, as this one did not.
        if (c.at == At::FirstStaged) {
            const Result writing = Run({"split", big, "0", "2", destination.path, "--replace"});
            EXPECT_EQ(writing.exitCode, 0) << writing.err;
            completeAndNew();
        } else {
            EXPECT_EQ(quorvel::test::Snapshot(destination.path), before);
        }
    }
}

namespace {

// A folder shown through bindfs at another, for as long as this lives.
class BindMount {
  public:
    BindMount(const std::string& folder, const std::string& at) : at_(at) {
        mounted_ = std::system(("bindfs '" + folder + "' '" + at + "'").c_str()) == 0;
    }
    ~BindMount() {
        // A mount left behind would outlive the test's folder.
        if (mounted_) {
            EXPECT_EQ(
                std::system(("fusermount -u '" + at_ + "' || umount -l '" + at_ + "'").c_str()), 0)
                << "could not unmount " << at_;
        }
    }
    BindMount(const BindMount&) = delete;
    BindMount& operator=(const BindMount&) = delete;

    bool Mounted() const { return mounted_; }

  private:
    std::string at_;
    bool mounted_ = false;
};

}  // namespace

// A FUSE file system (bindfs) has no unnamed files and no rename that refuses to replace:
// a split names its outputs there all the same, and replaces them.
TEST_F(Cli, ASplitOntoAFuseMountNamesAndReplacesItsOutputs) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting with bindfs takes root";
    if (::access("/dev/fuse", R_OK | W_OK) != 0) GTEST_SKIP() << "no /dev/fuse";
    if (std::system("bindfs --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no bindfs";
    quorvel::test::TempFolder plain, below, mount;
    const BindMount bind(below.path, mount.path);
    ASSERT_TRUE(bind.Mounted());
    ASSERT_EQ(Run({"split", source, "0", "2", plain.path}).exitCode, 0);

    const Result written = Run({"split", source, "0", "2", mount.path});
    EXPECT_EQ(written.exitCode, 0) << written.out << written.err;
    for (const char* name : {"/song1.mp3", "/song2.mp3"}) {
        EXPECT_TRUE(SameBytes(mount.path + name, plain.path + name)) << name;
        std::ofstream(mount.path + name) << "older " << name;
    }
    EXPECT_EQ(mount.Names(), (std::set<std::string>{"song1.mp3", "song2.mp3"}));

    const Result replaced = Run({"split", source, "0", "2", mount.path, "--replace"});
    EXPECT_EQ(replaced.exitCode, 0) << replaced.out << replaced.err;
    EXPECT_EQ(replaced.out.find("removed for good"), std::string::npos) << replaced.out;
    // The older outputs go to the trash of the mount's own volume, at its top.
    const std::string trash = ".Trash-" + std::to_string(::geteuid());
    for (const char* name : {"/song1.mp3", "/song2.mp3"}) {
        EXPECT_TRUE(SameBytes(mount.path + name, plain.path + name)) << name;
        EXPECT_EQ(ReadText(mount.path + "/" + trash + "/files" + name),
                  "older " + std::string(name));
    }
    EXPECT_EQ(mount.Names(), (std::set<std::string>{trash, "song1.mp3", "song2.mp3"}));
}

// What a cue sheet says reaches the terminal as text to read, never as orders to it: its
// control characters are written out, in the log and in the messages alike.
TEST_F(Cli, ACueSheetsControlCharactersAreShownNotSent) {
    const std::string cue = folder + "/song.cue";
    std::ofstream(cue) << "FILE \"\x1b]0;owned\x07song.wav\" WAVE\n  TRACK 01 AUDIO\n"
                          "    TITLE \"\x1b[31mRed\"\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n"
                          "    INDEX 01 00:02:00\n";
    const Result parts = Run({"parts", "--cue", cue, "--name", "%n %t", source, folder});
    EXPECT_EQ(parts.exitCode, 0) << parts.out << parts.err;
    EXPECT_NE(parts.out.find("\nThe cue sheet is for \\x1b]0;owned\\x07song.wav, not for "
                             "song.mp3: its times may not fit this file.\n"),
              std::string::npos)
        << parts.out;
    for (const std::string& printed : {parts.out, parts.err}) {
        EXPECT_EQ(printed.find_first_of("\x1b\x07"), std::string::npos) << printed;
    }
    // The title's control character has no place in a name either.
    EXPECT_TRUE(fs::exists(folder + "/1 _[31mRed.mp3"));
}

namespace {

// What ffmpeg's EBU R128 meter finds in a file, or in several played one after another:
// integrated loudness (LUFS), loudness range (LU) and sample or true peak (dBFS), to a tenth.
std::vector<double> FfmpegLoudness(const std::vector<std::string>& paths,
                                   const std::string& peak = "sample") {
    std::string inputs, labels;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        inputs += " -i '" + paths[i] + "'";
        labels += "[" + std::to_string(i) + ":a]";
    }
    const std::string filter =
        labels + "concat=n=" + std::to_string(paths.size()) + ":v=0:a=1,ebur128=peak=" + peak;
    // The summary at the end, after a line for every tenth of a second.
    std::string said = Printed("ffmpeg -nostats -hide_banner" + inputs + " -filter_complex '" +
                               filter + "' -f null - 2>&1 | cat");
    said.erase(0, std::min(said.size(), said.rfind("Summary:")));
    std::vector<double> found;
    for (const char* label :
         {R"(I:\s+(-?[0-9.]+) LUFS)", R"(LRA:\s+([0-9.]+) LU)", R"(Peak:\s+(-?[0-9.]+) dBFS)"}) {
        std::smatch match;
        if (std::regex_search(said, match, std::regex(label))) found.push_back(std::stod(match[1]));
    }
    return found;
}

// A file's samples as mpg123 plays them, with `options`: their loudness as a root mean
// square, in dB of full scale.
double Mpg123Level(const std::string& path, const std::string& options = "") {
    const std::string samples = Printed("mpg123 -q -s " + options + " '" + path + "'");
    double sum = 0;
    for (std::size_t at = 0; at + 1 < samples.size(); at += 2) {
        const auto sample = std::int16_t(std::uint8_t(samples[at]) | samples[at + 1] << 8);
        sum += double(sample) * sample;
    }
    return 10 * std::log10(sum / double(samples.size() / 2) / (32768.0 * 32768.0));
}

// A file's user texts (TXXX) as mutagen reads them: each description with its values.
nlohmann::json MutagenUserTexts(const std::string& path) {
    return nlohmann::json::parse(
        Printed("/usr/bin/python3 -c 'import json, sys, mutagen.id3 as i; t = i.ID3(sys.argv[1]); "
                "print(json.dumps({\"texts\": [[f.desc, f.text] for f in t.getall(\"TXXX\")], "
                "\"title\": str(t.get(\"TIT2\"))}))' '" +
                path + "'"));
}

// Pink noise made by sox whose level swells and fades by 8 dB every ten seconds, as music's
// might: 30 s, or 150 s (long enough to be measured in halves).
std::string DynamicWave(const std::string& folder, bool longer) {
    const std::string wave = folder + "/dynamic.wav", repeated = folder + "/long.wav";
    std::system(
        ("sox -R -n -r 44100 -c 2 " + wave + " synth 30 pinknoise vol 0.9 tremolo 0.1 60").c_str());
    if (!longer) return wave;
    std::system(("sox -R " + wave + " " + repeated + " repeat 4").c_str());
    return repeated;
}

std::string Lame(const std::string& wave, const std::string& options, const std::string& out) {
    std::system(("lame --quiet " + options + " '" + wave + "' '" + out + "'").c_str());
    return out;
}

}  // namespace

// loudness measures as ffmpeg's EBU R128 meter does, to a tenth of a LU (or dB for the
// peaks) beside ffmpeg's own rounding to a tenth, each file and the album, at constant and
// variable bit rates, in mono, in MPEG 2 and in a file long enough to be measured in halves
// on two cores, with the sample peak or the true peak; it prints one line a value under a
// heading, the same numbers in JSON.
TEST_F(Cli, LoudnessMeasuresAsFfmpegsMeterDoes) {
    const std::string fixtures = QUORVEL_FIXTURES;
    const std::string dynamic = DynamicWave(folder, false);
    const std::string lameCbr = Lame(dynamic, "-b 128 --cbr", folder + "/cbr.mp3");
    const std::string lameVbr = Lame(dynamic, "-V 4", folder + "/vbr.mp3");
    struct Case {
        std::string file;
        // The fixtures last 4.5 s: the true peak of their bursts of noise is then a matter
        // of how each meter oversamples (four times, or ffmpeg's to 192 kHz), a few tenths
        // apart. Their other values are compared.
        bool whole;
    };
    const Case cases[] = {
        {fixtures + "/cbr128.mp3", false},
        {fixtures + "/vbr.mp3", false},
        {fixtures + "/mono.mp3", false},
        {fixtures + "/mpeg2.mp3", false},
        {lameCbr, true},
        {lameVbr, true},
        {Lame(dynamic, "-m m -b 64", folder + "/mono.mp3"), true},
        {Lame(dynamic, "--resample 22.05 -b 64", folder + "/mpeg2.mp3"), true},
        {Lame(DynamicWave(folder, true), "-b 96 --cbr", folder + "/long.mp3"), true},
    };
    constexpr double kTenth = 0.1 + 0.05;
    const auto near = [&](const nlohmann::json& measured, const std::vector<double>& ffmpeg,
                          bool truePeak, bool range = true) {
        ASSERT_EQ(ffmpeg.size(), 3u);
        EXPECT_NEAR(measured["integrated_lufs"].get<double>(), ffmpeg[0], kTenth);
        if (range) {
            EXPECT_NEAR(measured["range_lu"].get<double>(), ffmpeg[1], kTenth);
        }
        EXPECT_NEAR(measured["peak_dbfs"].get<double>(), ffmpeg[2], kTenth);
        EXPECT_EQ(measured["true_peak"].get<bool>(), truePeak);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const Result measured = Run({"loudness", "--json", c.file});
        EXPECT_EQ(measured.exitCode, 0) << measured.err;
        const auto json = nlohmann::json::parse(measured.out);
        near(json["files"][0], FfmpegLoudness({c.file}), false);
        EXPECT_EQ(json["album"], nullptr);
        if (!c.whole) continue;
        const Result truePeak = Run({"loudness", "--true-peak", "--json", c.file});
        EXPECT_EQ(truePeak.exitCode, 0) << truePeak.err;
        near(nlohmann::json::parse(truePeak.out)["files"][0], FfmpegLoudness({c.file}, "true"),
             true);
    }

    const Result album = Run({"loudness", "--json", lameCbr, lameVbr, fixtures + "/cbr128.mp3"});
    EXPECT_EQ(album.exitCode, 0) << album.err;
    // ffmpeg's range of the files played one after another counts the short-term blocks
    // across their joins, which an album's range leaves out.
    near(nlohmann::json::parse(album.out)["album"],
         FfmpegLoudness({lameCbr, lameVbr, fixtures + "/cbr128.mp3"}), false, false);
    const Result text = Run({"loudness", lameCbr, fixtures + "/cbr128.mp3"});
    EXPECT_EQ(text.exitCode, 0) << text.err;
    EXPECT_TRUE(std::regex_match(text.out, std::regex("file: " + lameCbr +
                                                      "\nintegrated: -[0-9]+\\.[0-9] LUFS\n"
                                                      "range: [0-9]+\\.[0-9] LU\n"
                                                      "peak: -[0-9]+\\.[0-9] dBFS\n"
                                                      "file: " +
                                                      fixtures + "/cbr128.mp3" +
                                                      "\nintegrated: -8\\.[0-9] LUFS\n"
                                                      "range: 0\\.[0-9] LU\n"
                                                      "peak: -1\\.[0-9] dBFS\n"
                                                      "album: 2 files\n"
                                                      "integrated: -[0-9]+\\.[0-9] LUFS\n"
                                                      "range: [0-9]+\\.[0-9] LU\n"
                                                      "peak: -[0-9]+\\.[0-9] dBFS\n")))
        << text.out;
}

// Digital silence measures as no loudness at all and takes no ReplayGain; a file that cannot
// be read is told of while the others are measured; a wrong call is one.
TEST_F(Cli, LoudnessOfSilenceAndOfFilesItCannotRead) {
    const std::string silence = folder + "/silence.mp3";
    const std::string frames = WriteSilence(silence);
    const Result silent = Run({"loudness", silence});
    EXPECT_EQ(silent.exitCode, 0) << silent.err;
    EXPECT_EQ(silent.out,
              "file: " + silence + "\nintegrated: -inf LUFS\nrange: 0.0 LU\npeak: -inf dBFS\n");
    const Result untagged = Run({"loudness", "--tag", "--json", silence});
    EXPECT_EQ(untagged.exitCode, 1);
    const std::string why = silence + " is silent throughout: it has no ReplayGain to write";
    EXPECT_EQ(untagged.err, "quorvel-cli: " + why + "\n");
    const auto json = nlohmann::json::parse(untagged.out);
    EXPECT_EQ(json["files"][0]["integrated_lufs"], nullptr);
    EXPECT_EQ(json["files"][0]["tagged"], false);
    EXPECT_EQ(json["error"], (nlohmann::json{{"file", silence}, {"message", why}}));
    EXPECT_EQ(ReadText(silence), frames);

    const std::string missing = folder + "/missing.mp3";
    const Result partly = Run({"loudness", "--", missing, source});
    EXPECT_EQ(partly.exitCode, 1);
    EXPECT_EQ(partly.err, "quorvel-cli: Cannot read " + missing + ": No such file or directory.\n");
    EXPECT_TRUE(partly.out.starts_with("file: " + source + "\nintegrated: ")) << partly.out;
    EXPECT_EQ(partly.out.find("album"), std::string::npos);

    EXPECT_EQ(Run({"loudness"}).exitCode, 2);
    for (const std::vector<std::string>& call :
         {std::vector<std::string>{"silences", "--tag", source},
          std::vector<std::string>{"gain", "--tag", source, folder + "/out.mp3"}}) {
        const Result foreign = Run(call);
        EXPECT_EQ(foreign.exitCode, 2);
        EXPECT_TRUE(foreign.err.starts_with("quorvel-cli: " + call[0] +
                                            ": option '--tag' is the loudness command's\n"))
            << foreign.err;
    }
}

namespace {

// The ID3v2 tag's size, its header included; 0 where the file has none.
std::size_t TagSize(const std::string& bytes) {
    if (!bytes.starts_with("ID3") || bytes.size() < 10) return 0;
    std::size_t size = 0;
    for (int i = 6; i < 10; ++i) size = size << 7 | (std::uint8_t(bytes[i]) & 0x7F);
    return size + 10;
}

}  // namespace

// --tag writes ReplayGain 2.0's track and album values, which mutagen and ffprobe read and
// mpg123 plays by, in place of any of the same description in another case, and leaves the
// other tags and the audio as they were; a file without a tag gets one; the older files
// are removed, not trashed.
TEST_F(Cli, LoudnessTagWritesReplayGainThatPlayersApply) {
    const std::string tagged = folder + "/tagged.mp3";
    fs::copy_file(std::string(QUORVEL_FIXTURES) + "/id3v2.mp3", tagged);
    std::system(("/usr/bin/python3 -c 'import sys, mutagen.id3 as i; t = i.ID3(sys.argv[1]); "
                 "t.add(i.TXXX(encoding=3, desc=\"replaygain_track_gain\", text=[\"+9.99 dB\"])); "
                 "t.add(i.TXXX(encoding=3, desc=\"MOOD\", text=[\"calm\"])); t.save()' '" +
                 tagged + "'")
                    .c_str());
    const std::string before = ReadText(tagged), untagged = ReadText(source);
    const std::string trashFiles = std::string(std::getenv("XDG_DATA_HOME")) + "/Trash/files";
    fs::create_directories(trashFiles);
    const auto trash = [&] { return quorvel::test::Snapshot(trashFiles); };
    const auto trashed = trash();
    const Result run = Run({"loudness", "--tag", "--json", tagged, source});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    // The untagged files are gone for good, not piled up in the trash.
    EXPECT_EQ(trash(), trashed);
    const auto json = nlohmann::json::parse(run.out);
    const double gains[] = {-18 - json["files"][0]["integrated_lufs"].get<double>(),
                            -18 - json["files"][1]["integrated_lufs"].get<double>(),
                            -18 - json["album"]["integrated_lufs"].get<double>()};
    const double albumPeak = json["album"]["peak"].get<double>();

    const std::pair<std::string, std::size_t> files[] = {{tagged, 0}, {source, 1}};
    for (const auto& [file, index] : files) {
        SCOPED_TRACE(file);
        EXPECT_EQ(json["files"][index]["tagged"], true);
        const auto read = MutagenUserTexts(file);
        std::map<std::string, std::vector<std::string>> texts;
        for (const auto& text : read["texts"]) {
            texts[text[0].get<std::string>()] = text[1].get<std::vector<std::string>>();
        }
        EXPECT_EQ(texts.count("replaygain_track_gain"), 0u);
        ASSERT_EQ(texts["REPLAYGAIN_TRACK_GAIN"].size(), 1u);
        EXPECT_NEAR(std::stod(texts["REPLAYGAIN_TRACK_GAIN"][0]), gains[index], 0.011);
        EXPECT_TRUE(texts["REPLAYGAIN_TRACK_GAIN"][0].ends_with(" dB"));
        EXPECT_NEAR(std::stod(texts["REPLAYGAIN_TRACK_PEAK"].at(0)),
                    json["files"][index]["peak"].get<double>(), 1e-6);
        EXPECT_NEAR(std::stod(texts["REPLAYGAIN_ALBUM_GAIN"].at(0)), gains[2], 0.011);
        EXPECT_NEAR(std::stod(texts["REPLAYGAIN_ALBUM_PEAK"].at(0)), albumPeak, 1e-6);
        const auto probed =
            nlohmann::json::parse(Printed("ffprobe -v error -show_entries format_tags -of json '" +
                                          file + "'"))["format"]["tags"];
        EXPECT_NEAR(std::stod(probed["REPLAYGAIN_ALBUM_GAIN"].get<std::string>()), gains[2], 0.011);
        // mpg123 turns the level down or up by the gain asked for.
        EXPECT_NEAR(Mpg123Level(file, "--rva-radio") - Mpg123Level(file), gains[index], 0.05);
        EXPECT_NEAR(Mpg123Level(file, "--rva-album") - Mpg123Level(file), gains[2], 0.05);
    }
    // The other tags and the audio are as they were.
    const auto read = MutagenUserTexts(tagged);
    EXPECT_EQ(read["title"], "Quorvel fixture");
    EXPECT_NE(read.dump().find("[\"MOOD\",[\"calm\"]]"), std::string::npos) << read.dump();
    const std::string after = ReadText(tagged), added = ReadText(source);
    EXPECT_EQ(after.substr(TagSize(after)), before.substr(TagSize(before)));
    EXPECT_EQ(added.substr(TagSize(added)), untagged);
    EXPECT_GT(TagSize(added), 0u);
}
