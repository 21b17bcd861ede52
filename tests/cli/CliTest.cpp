// quorvel-cli as a script sees it: what it prints where, and its exit codes.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <vector>

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
        Result result;
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
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(spawned, 0);
        int status = 0;
        if (spawned == 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
            result.exitCode = WEXITSTATUS(status);
        }
        result.out = ReadText(out);
        result.err = ReadText(err);
        fs::remove(out);
        fs::remove(err);
        return result;
    }

    quorvel::test::TempFolder temp;
    const std::string folder = temp.path;
    std::string source;
};

TEST_F(Cli, HelpAndVersionAnswerOnStandardOutput) {
    const Result help = Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("quorvel-cli info FILE"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("quorvel-cli split [--replace] [--exact] [--] FILE"), std::string::npos)
        << help.out;
    const Result version = Run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(std::regex_match(version.out, std::regex(R"(quorvel-cli \d+(\.\d+){3}\n)")))
        << version.out;
    const Result wrong = Run({"--helps"});
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_EQ(wrong.err, help.out);
}

TEST_F(Cli, InfoPrintsTheSixFieldsOrSaysWhyNot) {
    const Result mp3 = Run({"info", source});
    EXPECT_EQ(mp3.exitCode, 0);
    EXPECT_EQ(mp3.out,
              "size: 0.07\ntype: MPEG1 Layer 3\nbitrate: 128000\nsampling: 44100\n"
              "frames: 175\nduration: 0:4\n");
    EXPECT_EQ(mp3.err, "");

    const std::string text = folder + "/notes.mp3";
    std::ofstream(text) << "not an mp3 at all\n";
    const Result invalid = Run({"info", text});
    EXPECT_EQ(invalid.exitCode, 1);
    EXPECT_EQ(invalid.out, "size: 0\ntype: Unknown\nbitrate: \nsampling: \nframes: \nduration: \n");
    EXPECT_EQ(invalid.err, "File selected is not a valid MP3 file. Please select another.\n");

    const std::string missing = folder + "/missing.mp3";
    const Result unreadable = Run({"info", missing});
    EXPECT_EQ(unreadable.exitCode, 2);
    EXPECT_EQ(unreadable.out, "");
    EXPECT_EQ(unreadable.err, "Cannot read " + missing + ": No such file or directory.\n");
}

TEST_F(Cli, SplitPrintsTheLogAndTellsTheOutcomeByItsExitCode) {
    const std::string out = folder + "/out";
    fs::create_directory(out);
    const std::string first = out + "/song1.mp3", second = out + "/song2.mp3";
    const std::string analysis = "Analysing chosen file " + source +
                                 "... Please wait for a few seconds.\nFile information updated.\n";
    const std::string found =
        "Finding safe point to split file...\n"
        "Found safe position to split at byte 32181 (frame 77)\n"
        "Beginning to split files now.\n";
    const std::string summary =
        "==========================================\n"
        "Source file size      : 73141 bytes.\n"
        "Total bytes written : 73976 bytes.\n"
        "(added 1 new frame of 418 bytes to preserve data)\n"
        "==========================================\n"
        "MP3 splitting completed.\n";

    const Result complete = Run({"split", source, "0", "2", out});
    EXPECT_EQ(complete.exitCode, 0);
    EXPECT_EQ(complete.out,
              analysis + found + "Writing to " + first + "\nWriting to " + second + "\n" + summary);
    EXPECT_EQ(complete.err, "");

    const Result refused = Run({"split", source, "0", "4", out});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.out, analysis);
    EXPECT_EQ(refused.err, "Split time cannot be <= 0 and >= Source duration\n");

    const Result kept = Run({"split", source, "0", "2", out});
    EXPECT_EQ(kept.exitCode, 3);
    EXPECT_EQ(kept.out, analysis + found + "Aborting split file now.\nNothing was changed: " +
                            first + " was kept.\n");
    EXPECT_NE(kept.err.find("Output file " + first + " already exists. Do you want to replace?"),
              std::string::npos)
        << kept.err;

    const Result replaced = Run({"split", source, "0", "2", out, "--replace"});
    EXPECT_EQ(replaced.exitCode, 0);
    EXPECT_EQ(replaced.out, analysis + found + "Deleting file " + first + "\nWriting to " + first +
                                "\nDeleting file " + second + "\nWriting to " + second + "\n" +
                                summary);
    EXPECT_EQ(fs::file_size(first), 32181u);
    // The rest, the added frame and the second part's own Info frame.
    EXPECT_EQ(fs::file_size(second), 73141u - 32181u + 418u + 417u);
}

}  // namespace

// Past a file-size limit the split reports the output it could not write and leaves no
// part of it behind, instead of being ended by the system.
TEST_F(Cli, SplitPastAFileSizeLimitSaysWhy) {
    const Result limited = Run({"split", source, "0", "2", folder}, 20000);
    EXPECT_EQ(limited.exitCode, 3);
    EXPECT_EQ(limited.err, "Cannot write " + folder + "/song1.mp3: File too large.\n");
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
    EXPECT_EQ(folderSource.err, "Cannot read " + folder + ": it is a folder.\n");

    const std::string socketPath = folder + "/socket";
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const Result socketSource = Run({"info", socketPath});
    ::close(listener);
    EXPECT_EQ(socketSource.exitCode, 2);
    EXPECT_EQ(socketSource.err, "Cannot read " + socketPath + ": it is a socket.\n");
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
    bool trashed = false;
    for (const auto& entry :
         fs::directory_iterator(std::string(std::getenv("XDG_DATA_HOME")) + "/Trash/files")) {
        trashed =
            trashed || (entry.is_regular_file() && ReadText(entry.path()) == "older, not UTF-8");
    }
    EXPECT_TRUE(trashed);
}
