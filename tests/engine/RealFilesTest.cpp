// The analysis and the split on MP3 files made by lame (tests/fixtures/make-fixtures.sh),
// checked against the files' own Info frames and against what mpg123 decodes.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <taglib/chapterframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tableofcontentsframe.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <ostream>
#include <set>
#include <span>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "FakeForm.h"
#include "Frames.h"
#include "TestFiles.h"
#include "engine/FrameChain.h"
#include "engine/Numbers.h"
#include "engine/SeamCheck.h"
#include "engine/Silences.h"
#include "engine/SourceAnalysis.h"
#include "engine/Split.h"
#include "engine/SplitPlan.h"
#include "engine/SplitSearch.h"
#include "engine/Tags.h"
#include "engine/WatchedFiles.h"
#include "platform/LocalFileSystem.h"
#include "platform/Mpg123Decoder.h"
#include "platform/TagLibEditor.h"

namespace quorvel {
namespace {

// The files of this computer, as the window and the companion reach them.
platform::LocalFileSystem files;
platform::TagLibEditor tags;
platform::Mpg123Decoder decoder;

using test::Bytes;
using test::operator+;
using test::Control;
using test::DeepChapters;
using test::FakeForm;
using test::Id3Frame;
using test::Id3Tag;
using test::kChapterFields;
using test::ReadFile;
using test::Slice;
using test::TempFolder;

struct Fixture {
    const char* name;
    const char* type;
    int samplingRate;
    const char* bitRate;  // null where the bit rate varies
    int samplesPerFrame;
    int channels;
    // Frames of a length no table gives, told by the distance between headers alone: ffmpeg,
    // ffprobe and mp3val read no such stream, the source no more than its parts.
    bool freeFormat = false;
};

const Fixture kFixtures[] = {
    {"cbr128", "MPEG1 Layer 3", 44100, "128000", 1152, 2},
    {"vbr", "MPEG1 Layer 3", 44100, nullptr, 1152, 2},
    {"mpeg2", "MPEG2 Layer 3", 22050, "64000", 576, 2},
    {"mpeg25", "MPEG2.5 Layer 3", 11025, "32000", 576, 2},
    {"mono", "MPEG1 Layer 3", 32000, "96000", 1152, 1},
    {"crc", "MPEG1 Layer 3", 32000, "96000", 1152, 2},
    {"margin", "MPEG1 Layer 3", 44100, "160000", 1152, 2},
    {"noinfo", "MPEG1 Layer 3", 44100, "64000", 1152, 1},
    {"id3v1", "MPEG1 Layer 3", 48000, "80000", 1152, 2},
    {"id3v2", "MPEG2 Layer 3", 24000, "64000", 576, 2},
    {"vbr48", "MPEG1 Layer 3", 48000, nullptr, 1152, 2},
    {"mpeg25_8k", "MPEG2.5 Layer 3", 8000, "24000", 576, 2},
    {"apev2", "MPEG1 Layer 3", 44100, nullptr, 1152, 2},
    {"chapters", "MPEG1 Layer 3", 44100, "112000", 1152, 2},
    {"zeros", "MPEG1 Layer 3", 44100, "128000", 1152, 2},
    {"xingonly", "MPEG1 Layer 3", 44100, nullptr, 1152, 2},
    {"truncated", "MPEG1 Layer 3", 44100, nullptr, 1152, 2},
    {"free", "MPEG1 Layer 3", 44100, "170000", 1152, 2, true},
};

void PrintTo(const Fixture& fixture, std::ostream* out) {
    *out << fixture.name;
}

std::string FixturePath(const Fixture& fixture) {
    return std::string(QUORVEL_FIXTURES) + "/" + fixture.name + ".mp3";
}

// The number of audio frames that lame wrote into the Info (or Xing) frame, which
// opens the stream and is itself a frame of the chain.
std::int64_t InfoFrameCount(const Bytes& file) {
    for (std::size_t i = 0; i + 12 < std::min<std::size_t>(file.size(), 2048); ++i) {
        const std::string tag(file.begin() + i, file.begin() + i + 4);
        if ((tag == "Info" || tag == "Xing") && (file[i + 7] & 1)) {
            return std::int64_t(file[i + 8]) << 24 | file[i + 9] << 16 | file[i + 10] << 8 |
                   file[i + 11];
        }
    }
    return -1;
}

bool HaveMpg123() {
    return std::system("command -v mpg123 >/dev/null 2>&1") == 0;
}

struct Decoded {
    std::vector<std::int16_t> samples;  // interleaved when stereo
    std::string messages;               // what mpg123 said on stderr
};

// Raw 16-bit samples as `decoder` writes them on its standard output, the file's path
// given between `decoder` and `after`; by default mpg123's of every frame, the encoder's
// delay and padding not removed.
Decoded Decode(const std::string& path, const std::string& decoder = "mpg123 --no-gapless -s",
               const std::string& after = "") {
    std::string messages = (std::filesystem::temp_directory_path() / "quorvel-decoded-XXXXXX");
    ::close(::mkstemp(messages.data()));
    const std::string command =
        decoder + " '" + path + "'" + after + " 2>'" + messages + "' </dev/null";
    Decoded out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        std::int16_t buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, sizeof buffer[0], std::size(buffer), pipe)) > 0) {
            out.samples.insert(out.samples.end(), buffer, buffer + n);
        }
        EXPECT_EQ(::pclose(pipe), 0) << command;
    } else {
        ADD_FAILURE() << "cannot run " << command;
    }
    const Bytes text = ReadFile(messages);
    out.messages.assign(text.begin(), text.end());
    std::filesystem::remove(messages);
    return out;
}

// mpg123 decoded every frame without losing its way in the stream; at most
// `damagedFrames` frames were reported as undecodable.
void ExpectDecodedThrough(const Decoded& decoded, int damagedFrames, const std::string& what) {
    int errors = 0;
    std::size_t line = 0;
    for (std::size_t end; (end = decoded.messages.find('\n', line)) != std::string::npos;
         line = end + 1) {
        const std::string text = decoded.messages.substr(line, end - line);
        EXPECT_EQ(text.find("Note:"), std::string::npos) << what << ": " << text;
        errors += text.find("error") != std::string::npos;
    }
    EXPECT_LE(errors, damagedFrames) << what << ":\n" << decoded.messages;
}

class RealFiles : public testing::TestWithParam<Fixture> {};

TEST_P(RealFiles, AnalysisAgreesWithTheEncoder) {
    const Fixture& fixture = GetParam();
    const std::string path = FixturePath(fixture);
    const Bytes file = ReadFile(path);
    ASSERT_FALSE(file.empty()) << path << ": run tests/fixtures/make-fixtures.sh";
    const std::int64_t frames = InfoFrameCount(file) + 1;
    ASSERT_GT(frames, 1);

    FakeForm window;
    window.texts[Control::txtMP3] = path;
    ASSERT_EQ(AnalyseSourceFile(window, files), AnalysisOutcome::FramesFound);

    const auto seconds = static_cast<std::int64_t>(
        std::floor(double(frames) * fixture.samplesPerFrame / fixture.samplingRate));
    EXPECT_EQ(window.texts[Control::txtSelectedFrames], std::to_string(frames));
    EXPECT_EQ(window.texts[Control::txtSelectedDuration],
              std::to_string(seconds / 60) + ":" + std::to_string(seconds % 60));
    EXPECT_EQ(window.texts[Control::txtSelectedType], fixture.type);
    EXPECT_EQ(window.texts[Control::txtSelectedSampling], std::to_string(fixture.samplingRate));
    if (fixture.bitRate) {
        EXPECT_EQ(window.texts[Control::txtSelectedBitRate], fixture.bitRate);
    }
    EXPECT_TRUE(window.messages.empty());

    if (!HaveMpg123()) GTEST_SKIP() << "mpg123 is not installed";
    // mpg123 plays every frame but the Info frame.
    const Decoded decoded = Decode(path);
    ExpectDecodedThrough(decoded, 0, path);
    EXPECT_EQ(std::int64_t(decoded.samples.size()),
              (frames - 1) * fixture.samplesPerFrame * fixture.channels);
}

// What the analysis and the split find in a file, read through one file system.
struct Findings {
    std::int64_t frames = 0;
    double seconds = 0;
    std::tuple<double, int, int, int> stream;
    std::vector<std::uint8_t> levels;
    std::vector<std::tuple<std::int64_t, std::int32_t, Bytes, Bytes>> splits;
    bool operator==(const Findings&) const = default;
};

Findings Find(platform::LocalFileSystem& reader, const std::string& path) {
    const Bytes file = ReadFile(path);
    const auto materialise = [&](const OutputPlan& plan) {
        Bytes out;
        for (const OutputPiece& piece : plan) {
            if (!piece.Bytes.empty()) {
                out.insert(out.end(), piece.Bytes.begin(), piece.Bytes.end());
            } else {
                const Bytes part =
                    Slice(file, piece.SourceOffset, piece.SourceOffset + piece.Length);
                out.insert(out.end(), part.begin(), part.end());
            }
        }
        return out;
    };
    Findings found;
    const auto source = reader.OpenSource(path);
    FileInformation info;
    const ScanResult scan = ScanFrameChain(*source, info, &found.levels);
    found.frames = scan.Frames;
    found.seconds = scan.TotalSeconds;
    found.stream = {info.MpegVersion, info.LayerNumber, info.BitRate, info.SamplingRate};
    for (const int second : {1, 2, 3}) {
        const Cut point = FindCut(*source, std::chrono::seconds(second), false, info);
        OutputPlans plans = PlanOutputs(point, false, *source, tags);
        found.splits.emplace_back(point.At, point.Borrowed, materialise(plans.First),
                                  materialise(plans.Second));
        const Cut cut =
            FindCut(*source, std::chrono::milliseconds(second * 1000 + 250), true, info);
        plans = PlanOutputs(cut, true, *source, tags);
        found.splits.emplace_back(cut.At, cut.CutOffset, materialise(plans.First),
                                  materialise(plans.Second));
    }
    return found;
}

// A file read in place through the smallest mappings, so that headers and side
// information lie across every kind of window edge, or in the usual windows, gives the
// same analysis, levels, split points and outputs as one read through the buffer.
TEST(MappedReading, FindsWhatBufferedReadingFinds) {
    platform::LocalFileSystem buffered({.MappedWindow = 0});
    platform::LocalFileSystem pages({.MappedWindow = 1});
    for (const Fixture& fixture : kFixtures) {
        SCOPED_TRACE(fixture.name);
        const std::string path = FixturePath(fixture);
        const Findings expected = Find(buffered, path);
        ASSERT_GT(expected.frames, 0);
        EXPECT_TRUE(Find(pages, path) == expected);
        EXPECT_TRUE(Find(files, path) == expected);
    }
}

// What a command printed on both its outputs, and whether it ran at all.
struct Said {
    bool ran = false;
    int exitCode = -1;
    std::string text;
};

Said RunCommand(const std::string& command) {
    Said said;
    if (FILE* pipe = ::popen((command + " 2>&1 </dev/null").c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            said.text.append(buffer, n);
        }
        const int status = ::pclose(pipe);
        said.ran = status == 0;
        if (WIFEXITED(status)) said.exitCode = WEXITSTATUS(status);
    }
    return said;
}

bool Have(const char* tool) {
    return RunCommand(std::string("command -v ") + tool).ran;
}

// The lines of mp3val's report that are warnings or errors, less the file's name.
constexpr std::string_view kApeTag = "APETAGEX";

// What mp3val finds wrong with a file. It counts a length header's bytes over the frames
// alone, where the parts' headers count an APEv2 tag after them that mpg123 and ffmpeg
// would otherwise take for a longer stream than the header states: not a fault.
std::vector<std::string> Mp3valComplaints(const std::string& path) {
    std::vector<std::string> complaints;
    const std::string report = RunCommand("mp3val '" + path + "'").text;
    const Bytes file = ReadFile(path);
    const bool ape =
        std::search(file.begin(), file.end(), kApeTag.begin(), kApeTag.end()) != file.end();
    std::size_t line = 0;
    for (std::size_t end; (end = report.find('\n', line)) != std::string::npos; line = end + 1) {
        std::string text = report.substr(line, end - line);
        if (!text.starts_with("WARNING") && !text.starts_with("ERROR")) continue;
        if (ape && text.find("Wrong number of MPEG data bytes") != std::string::npos) continue;
        // A part as short as asked for.
        if (text.find("Too few MPEG frames") != std::string::npos) continue;
        // Where in the file it found a fault is the file's own.
        if (const auto at = text.find(" (offset 0x"); at != std::string::npos) {
            text.erase(at, text.find(')', at) + 1 - at);
        }
        if (const auto name = text.find(path); name != std::string::npos)
            text.erase(name, path.size());
        complaints.push_back(text);
    }
    return complaints;
}

double ProbedSeconds(const std::string& path) {
    return std::atof(
        RunCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + path + "'")
            .text.c_str());
}

std::string ProbedTag(const std::string& path, const std::string& tag) {
    std::string text = RunCommand("ffprobe -v error -show_entries format_tags=" + tag +
                                  " -of csv=p=0 '" + path + "'")
                           .text;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

// Samples a gapless player plays: mpg123 skips the encoder's delay and padding that the
// LAME tag states.
std::int64_t GaplessSamples(const std::string& path) {
    const std::string raw = RunCommand("mpg123 -q -s '" + path + "'").text;
    return std::int64_t(raw.size() / sizeof(std::int16_t));
}

// What the seam check has to say of a source and two parts, worked out here from what
// mpg123 plays of each from its start: a second of the source on either side of the cut,
// where the first part's samples end, against the first part's last and the second part's
// first samples.
std::string SeamLines(const std::string& source, const std::string& first,
                      const std::string& second, int channels, int rate) {
    const std::vector<std::int16_t> whole = Decode(source, "mpg123 --gapless -s").samples;
    const std::vector<std::int16_t> one = Decode(first, "mpg123 --gapless -s").samples;
    const std::vector<std::int16_t> two = Decode(second, "mpg123 --gapless -s").samples;
    const std::int64_t length = std::int64_t(whole.size()) / channels;
    const std::int64_t cut = std::int64_t(one.size()) / channels;
    const std::int64_t rest = std::int64_t(two.size()) / channels;
    const std::int64_t window = quorvel::SeamWindow(rate);
    const std::int64_t from = cut - std::min(window, cut);
    const std::int64_t to = std::min(cut + std::min(window, rest), length);
    std::int64_t differing = 0, before = 0, after = 0;
    int largest = 0;
    for (std::int64_t at = from; at < to; ++at) {
        int worst = 0;
        for (int channel = 0; channel < channels; ++channel) {
            const int part =
                at < cut ? one[at * channels + channel] : two[(at - cut) * channels + channel];
            worst = std::max(worst, std::abs(part - whole[at * channels + channel]));
        }
        if (worst == 0) continue;
        ++differing;
        largest = std::max(largest, worst);
        if (at < cut) before = std::max(before, cut - at);
        if (at >= cut) after = std::max(after, at - cut + 1);
    }
    const auto grouped = [](std::int64_t number) {
        std::string text = std::to_string(number);
        for (std::size_t at = text.size(); at > 3; at -= 3) text.insert(at - 3, ",");
        return text;
    };
    const auto ms = [&](std::int64_t frames) {
        return grouped((frames * 1000 + rate - 1) / rate) + " ms";
    };
    const std::string compared = grouped(std::max<std::int64_t>(to - from, 0)) + " samples";
    std::string lines =
        differing == 0
            ? "Seam check: the parts join the source exactly (0 of " + compared + " differ)"
            : "Seam check: " + grouped(differing) + " of " + compared +
                  (differing == 1 ? " differs" : " differ") + ", by up to " + grouped(largest) +
                  " steps, " +
                  (before && after ? "from " + ms(before) + " before to " + ms(after) + " after"
                   : after         ? "up to " + ms(after) + " after"
                                   : "up to " + ms(before) + " before") +
                  " the cut.";
    if (const std::int64_t extra = cut + rest - length; extra != 0) {
        lines += "\nSeam check: the parts hold " + grouped(std::abs(extra)) + " sample" +
                 (std::abs(extra) == 1 ? "" : "s") + (extra > 0 ? " more" : " fewer") +
                 " than the source (" + grouped(cut) + " + " + grouped(rest) + " against " +
                 grouped(length) + ").";
    }
    return lines;
}

// What `quorvel-cli verify` says of three files.
Said Verify(const std::string& source, const std::string& first, const std::string& second) {
    Said said = RunCommand(std::string(QUORVEL_CLI) + " verify '" + source + "' '" + first + "' '" +
                           second + "'");
    if (!said.text.empty() && said.text.back() == '\n') said.text.pop_back();
    return said;
}

// Whether the LAME tag in the first Info frame of `file` holds its own CRC: CRC-16 with
// the reflected polynomial 0xA001 from 0, over the frame up to that field. Players that
// find it wrong ignore the tag's gapless values.
bool LameTagCrcHolds(const Bytes& file) {
    const std::string text(file.begin(), file.begin() + std::min<std::size_t>(file.size(), 4096));
    const std::size_t info = std::min(text.find("Info"), text.find("Xing"));
    const std::size_t lame = text.find("LAME", info);
    if (info == std::string::npos || lame == std::string::npos) return false;
    std::size_t frame = info;
    for (const std::size_t sideInfo : {9, 17, 32}) {
        if (info >= 4 + sideInfo && file[info - 4 - sideInfo] == 0xFF) frame = info - 4 - sideInfo;
    }
    std::uint16_t crc = 0;
    for (std::size_t i = frame; i < lame + 34; ++i) {
        crc ^= file[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return (file[lame + 34] << 8 | file[lame + 35]) == crc;
}

// A chapter (CHAP) or a table of contents (CTOC) of an ID3v2 tag, with the title of its
// own TIT2 frame.
struct Chapter {
    std::string id;
    std::string title;
    double start = 0;  // milliseconds
    double end = 0;
    std::uint32_t startOffset = 0;
    std::uint32_t endOffset = 0;
};

struct Table {
    std::string id;
    std::string title;
    bool topLevel = false;
    bool ordered = false;
    std::vector<std::string> children;
    bool operator==(const Table&) const = default;
};

struct Chapters {
    std::vector<Chapter> chapters;
    std::vector<Table> tables;
};

template <typename Frame>
std::string OwnTitle(const Frame& frame) {
    const TagLib::ID3v2::FrameList& titles = frame.embeddedFrameList("TIT2");
    return titles.isEmpty() ? std::string() : titles.front()->toString().to8Bit(true);
}

std::string Text(const TagLib::ByteVector& bytes) {
    return std::string(bytes.data(), bytes.size());
}

// The chapters and tables of contents that TagLib reads from a file's ID3v2 tag.
Chapters ReadChapters(const std::string& path) {
    Chapters read;
    TagLib::MPEG::File file(path.c_str(), false);
    const TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
    if (!tag) return read;
    for (const TagLib::ID3v2::Frame* frame : tag->frameList("CHAP")) {
        const auto* chapter = dynamic_cast<const TagLib::ID3v2::ChapterFrame*>(frame);
        if (!chapter) {
            ADD_FAILURE() << path << ": a CHAP frame TagLib cannot read";
            continue;
        }
        read.chapters.push_back({Text(chapter->elementID()), OwnTitle(*chapter),
                                 double(chapter->startTime()), double(chapter->endTime()),
                                 chapter->startOffset(), chapter->endOffset()});
    }
    for (const TagLib::ID3v2::Frame* frame : tag->frameList("CTOC")) {
        const auto* table = dynamic_cast<const TagLib::ID3v2::TableOfContentsFrame*>(frame);
        if (!table) {
            ADD_FAILURE() << path << ": a CTOC frame TagLib cannot read";
            continue;
        }
        Table entry{Text(table->elementID()),
                    OwnTitle(*table),
                    table->isTopLevel(),
                    table->isOrdered(),
                    {}};
        for (const TagLib::ByteVector& child : table->childElements()) {
            entry.children.push_back(Text(child));
        }
        read.tables.push_back(entry);
    }
    return read;
}

// What a part that lies at [from, to) of the source, in milliseconds, holds of the
// source's chapters: those that overlap it, cut to it and timed from its start, their
// byte offsets unused; each table lists only what is left, and an empty one goes.
Chapters ChaptersOfPart(const Chapters& source, double from, double to) {
    Chapters part;
    std::set<std::string> present;
    for (Chapter chapter : source.chapters) {
        if (chapter.start >= to || chapter.end <= from) continue;
        chapter.start = std::max(chapter.start, from) - from;
        chapter.end = std::min(chapter.end, to) - from;
        chapter.startOffset = chapter.endOffset = 0xFFFFFFFF;
        present.insert(chapter.id);
        part.chapters.push_back(chapter);
    }
    part.tables = source.tables;
    for (bool emptied = true; emptied;) {
        std::set<std::string> listed = present;
        for (const Table& table : part.tables) listed.insert(table.id);
        for (Table& table : part.tables) {
            std::erase_if(table.children, [&](const std::string& id) { return !listed.count(id); });
        }
        emptied = std::erase_if(part.tables,
                                [](const Table& table) { return table.children.empty(); }) > 0;
    }
    return part;
}

// The chapters read back as expected, their times within a millisecond.
void ExpectChapters(const Chapters& read, const Chapters& expected) {
    const auto ids = [](const Chapters& chapters) {
        std::vector<std::string> ids;
        for (const Chapter& chapter : chapters.chapters) ids.push_back(chapter.id);
        return ids;
    };
    ASSERT_EQ(ids(read), ids(expected));
    for (std::size_t i = 0; i < read.chapters.size(); ++i) {
        const Chapter& got = read.chapters[i];
        const Chapter& want = expected.chapters[i];
        SCOPED_TRACE(want.id);
        EXPECT_EQ(got.title, want.title);
        EXPECT_NEAR(got.start, want.start, 1);
        EXPECT_NEAR(got.end, want.end, 1);
        EXPECT_EQ(got.startOffset, want.startOffset);
        EXPECT_EQ(got.endOffset, want.endOffset);
    }
    EXPECT_TRUE(read.tables == expected.tables);
}

// A chapter (CHAP) or table of contents (CTOC) that holds `inner` after its own fields; its
// content unsynchronised (0xFF followed by 0x00) where `flags` says so in version 4.
Bytes ChapterFrame(int version, bool table, const Bytes& inner, std::uint8_t flags = 0,
                   bool plainSize = false) {
    Bytes content = (table ? Bytes{'t', 0, 3, 1, 'c', 0} : kChapterFields) + inner;
    if (version == 4 && (flags & 0x02)) {
        Bytes unsynchronised;
        for (const std::uint8_t byte : content) {
            unsynchronised.push_back(byte);
            if (byte == 0xFF) unsynchronised.push_back(0);
        }
        content = unsynchronised;
    }
    if (version == 4 && (flags & 0x01)) {
        const auto size = std::uint32_t(content.size());
        content = Bytes{std::uint8_t(size >> 21 & 0x7F), std::uint8_t(size >> 14 & 0x7F),
                        std::uint8_t(size >> 7 & 0x7F), std::uint8_t(size & 0x7F)} +
                  content;
    }
    return Id3Frame(version, table ? "CTOC" : "CHAP", content, flags, plainSize);
}

// Chapters and tables of contents taking turns, `depth` of them each within the one before.
// With sizes as plain numbers, each is followed by a title, on which the size lands.
Bytes NestedChapters(int version, int depth, std::uint8_t flags = 0, bool plainSize = false) {
    // A title long enough that a plain size differs from a size in seven bits a byte.
    Bytes inner = Id3Frame(version, "TIT2", Bytes(200, 'x'), 0, plainSize);
    for (int level = depth; level > 0; --level) {
        inner = ChapterFrame(version, level % 2 == 0, inner, flags, plainSize);
        if (plainSize) inner = inner + Id3Frame(version, "TIT2", {3, 'y'}, 0, true);
    }
    return inner;
}

// How deep TagLib nests the chapters and tables of contents it reads.
int TagLibDepth(const TagLib::ID3v2::FrameList& frames) {
    int deepest = 0;
    for (const TagLib::ID3v2::Frame* frame : frames) {
        if (const auto* chapter = dynamic_cast<const TagLib::ID3v2::ChapterFrame*>(frame)) {
            deepest = std::max(deepest, 1 + TagLibDepth(chapter->embeddedFrameList()));
        } else if (const auto* table =
                       dynamic_cast<const TagLib::ID3v2::TableOfContentsFrame*>(frame)) {
            deepest = std::max(deepest, 1 + TagLibDepth(table->embeddedFrameList()));
        }
    }
    return deepest;
}

// How deep a tag nests its chapters, counted as TagLib reads the tag's frames, so that no
// tag that nests them deeper than TagLib's stack can take reaches it; what is measured
// here is read by TagLib too where it is shallow enough to be.
TEST(ChapterDepth, CountsTheChaptersNestedAsTagLibReadsThem) {
    Bytes unsynchronised;
    for (const std::uint8_t byte : NestedChapters(3, 4)) {
        unsynchronised.push_back(byte);
        if (byte == 0xFF) unsynchronised.push_back(0);
    }
    // Chapters whose stated lengths reach over those after them, each read within the one
    // before it again.
    Bytes overlapping;
    for (int i = 0; i < 1000; ++i) {
        overlapping =
            overlapping + Id3Frame(4, "CHAP", Bytes{0x7F, 0x7F, 0x7F, 0x7F} + kChapterFields, 0x01);
    }
    const struct {
        const char* name;
        Bytes tag;
        int depth;
    } cases[] = {
        {"no chapters", Id3Tag(4, Id3Frame(4, "TIT2", {3, 'x'})), 0},
        {"no ID3v2 tag", Bytes{'T', 'A', 'G'}, 0},
        {"chapters side by side",
         Id3Tag(3, NestedChapters(3, 1) + NestedChapters(3, 1) + NestedChapters(3, 2)), 2},
        {"version 3", Id3Tag(3, NestedChapters(3, 5)), 5},
        {"version 4", Id3Tag(4, NestedChapters(4, 5)), 5},
        {"version 4, each frame unsynchronised", Id3Tag(4, NestedChapters(4, 5, 0x02)), 5},
        {"version 4, each frame's length stated", Id3Tag(4, NestedChapters(4, 5, 0x01)), 5},
        {"version 4, sizes as plain numbers", Id3Tag(4, NestedChapters(4, 3, 0, true)), 3},
        {"version 3, unsynchronised as a whole", Id3Tag(3, unsynchronised, 0x80), 4},
        {"an encrypted chapter", Id3Tag(4, ChapterFrame(4, false, NestedChapters(4, 3), 0x04)), 0},
        {"as deep as may be read", Id3Tag(3, NestedChapters(3, kDeepestChapters)),
         kDeepestChapters},
        {"as deep, each frame unsynchronised", Id3Tag(4, NestedChapters(4, kDeepestChapters, 0x02)),
         kDeepestChapters},
        {"a level deeper", Id3Tag(3, NestedChapters(3, kDeepestChapters + 1)),
         kDeepestChapters + 1},
        {"20,000 deep", Id3Tag(3, DeepChapters(3, 20000)), kDeepestChapters + 1},
        {"20,000 deep, version 4", Id3Tag(4, DeepChapters(4, 20000)), kDeepestChapters + 1},
        {"lengths reaching over the chapters after them", Id3Tag(4, overlapping),
         kDeepestChapters + 1},
        {"a compressed chapter", Id3Tag(4, ChapterFrame(4, false, Bytes(20, 1), 0x08 | 0x01)),
         kDeepestChapters + 1},
        {"a version 3 compressed chapter", Id3Tag(3, ChapterFrame(3, false, Bytes(20, 1), 0x80)),
         kDeepestChapters + 1},
    };
    const test::TempFolder folder;
    const Bytes audio = test::ReadFile(std::string(QUORVEL_FIXTURES) + "/cbr128.mp3");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ChapterDepth(c.tag), c.depth);
        if (c.depth > kDeepestChapters || c.tag.size() < 10) continue;
        const std::string path = folder.Write("tagged.mp3", c.tag + audio);
        TagLib::MPEG::File file(path.c_str(), false);
        ASSERT_TRUE(file.ID3v2Tag());
        EXPECT_EQ(TagLibDepth(file.ID3v2Tag()->frameList()), c.depth);
    }
}

struct SplitCase {
    Fixture fixture;
    int second;
};

void PrintTo(const SplitCase& c, std::ostream* out) {
    *out << c.fixture.name << " at 0:" << c.second;
}

// The lines a tool wrote about `part` that it did not write about `source`, their names
// and the addresses ffmpeg names its own parts by taken out.
std::vector<std::string> NewLines(const std::string& part, const std::string& partSaid,
                                  const std::string& source, const std::string& sourceSaid) {
    const auto lines = [](std::string said, const std::string& name) {
        for (std::size_t at; (at = said.find(name)) != std::string::npos;)
            said.erase(at, name.size());
        for (std::size_t at; (at = said.find(" @ 0x")) != std::string::npos;) {
            said.erase(at, said.find(']', at) - at);
        }
        std::vector<std::string> lines;
        std::istringstream in(said);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    };
    const std::vector<std::string> known = lines(sourceSaid, source);
    std::vector<std::string> added;
    for (const std::string& line : lines(partSaid, part)) {
        if (std::find(known.begin(), known.end(), line) == known.end()) added.push_back(line);
    }
    return added;
}

// What ffmpeg says as it decodes a file, without the addresses it names its parts by.
std::string FfmpegSays(const std::string& path) {
    std::string said = RunCommand("ffmpeg -v warning -i '" + path + "' -f null -").text;
    for (std::size_t at; (at = said.find(" @ 0x")) != std::string::npos;) {
        said.erase(at, said.find(']', at) - at);
    }
    return said;
}

// The split planned and not written, as the player hears it, read in slices that run
// across its pieces, is the pair of files the split wrote; a time at the start or past
// the end is refused.
void ExpectPlannedAsWritten(const std::string& path, std::int64_t milliseconds, bool exact,
                            const std::string& one, const std::string& two) {
    const std::shared_ptr<SourceFile> source = files.OpenSource(path);
    PlannedParts planned = PlanSplitAt(*source, milliseconds, exact, tags, ".");
    ASSERT_FALSE(planned.Refusal) << English(*planned.Refusal);
    for (auto& [plan, written] : {std::pair{&planned.First, one}, {&planned.Second, two}}) {
        PlannedFile file(source, std::move(*plan));
        // One byte more than the file: nothing is read past its end.
        Bytes read(static_cast<std::size_t>(file.Size()) + 1);
        std::size_t total = 0;
        for (std::size_t at = 0; at < read.size(); at += 997) {
            total += file.ReadAt(std::int64_t(at), read.data() + at,
                                 std::min<std::size_t>(997, read.size() - at));
        }
        EXPECT_EQ(total, read.size() - 1);
        read.pop_back();
        EXPECT_TRUE(read == ReadFile(written)) << written;
    }
    for (const std::int64_t refused : {std::int64_t{0}, std::int64_t{3'600'000}}) {
        EXPECT_TRUE(PlanSplitAt(*source, refused, exact, tags, ".").Refusal) << refused;
    }
}

class RealSplit : public testing::TestWithParam<SplitCase> {};

TEST_P(RealSplit, BothPartsPlayRightInEveryPlayer) {
    const auto& [fixture, splitSecond] = GetParam();
    const std::string path = FixturePath(fixture);
    const Bytes source = ReadFile(path);
    // A source whose first frame is lame's Info frame: decoders play every frame but it.
    const int info = InfoFrameCount(source) > 0 ? 1 : 0;
    TempFolder folder;

    FakeForm window;
    window.texts[Control::txtMP3] = path;
    window.texts[Control::txtToFolder] = folder.path;
    window.texts[Control::txtSplitMinute] = "0";
    window.texts[Control::txtSplitSecond] = std::to_string(splitSecond);
    ASSERT_EQ(AnalyseSourceFile(window, files), AnalysisOutcome::FramesFound);
    const std::int64_t frames = std::atoll(window.texts[Control::txtSelectedFrames].c_str());
    ASSERT_EQ(SplitFile(window, files, tags, decoder), SplitOutcome::Completed) << window.log;

    MemorySource memory(source);
    FileInformation scratch;
    const Cut point = FindCut(memory, std::chrono::seconds(splitSecond), false, scratch);
    // The fixtures are encoded so that the frame at the cut borrows from the one before.
    ASSERT_GT(point.Borrowed, 0);
    const double frameSeconds = double(fixture.samplesPerFrame) / fixture.samplingRate;
    // The rule times the frames from the first, a header frame too.
    EXPECT_GE(double(point.FramesBefore) * frameSeconds, splitSecond);
    // At 0:03 frame 115 borrows 487 bytes from a frame with 484 bytes of main data behind
    // its header, CRC and side information: the cut waits one frame.
    if (fixture.name == std::string("margin") && splitSecond == 3) {
        EXPECT_EQ(point.FramesBefore, 116);
    }

    const std::string first = folder.path + "/" + fixture.name + "1.mp3";
    const std::string second = folder.path + "/" + fixture.name + "2.mp3";
    const Bytes one = ReadFile(first);
    const Bytes two = ReadFile(second);
    ExpectPlannedAsWritten(path, splitSecond * 1000, false, first, second);
    // A cut more than a frame late says so, with the way to split exactly.
    std::string log = window.log;
    const auto lateness = log.find("\r\nSafe position lies at ");
    EXPECT_EQ(lateness != std::string::npos, point.Seconds - splitSecond > frameSeconds);
    if (lateness != std::string::npos) {
        const std::string hint = "\r\n(how to split exactly)";
        const auto end = log.find(hint, lateness);
        ASSERT_NE(end, std::string::npos);
        log.erase(lateness, end + hint.size() - lateness);
    }
    // The seam check's lines come between the outputs and the summary; what they say is
    // checked against mpg123 below.
    const std::string written = "\r\nWriting to " + second + "\r\n";
    const auto seamAt = log.find(written);
    ASSERT_NE(seamAt, std::string::npos);
    const auto seamEnd = log.find("\r\n" + std::string(42, '='), seamAt + written.size());
    ASSERT_NE(seamEnd, std::string::npos);
    std::string seam = log.substr(seamAt + written.size(), seamEnd - seamAt - written.size());
    log.erase(seamAt + written.size() - 2, seamEnd - seamAt - written.size() + 2);
    for (std::size_t at; (at = seam.find("\r\n")) != std::string::npos;) seam.erase(at, 1);
    // The added frame: one of the frame before's size.
    const auto addedAt = log.find("\r\n(added ");
    ASSERT_NE(addedAt, std::string::npos);
    const int added = std::atoi(log.c_str() + addedAt + 9);
    EXPECT_EQ(added, 1);
    const std::string addedLine = log.substr(addedAt, log.find("\r\n", addedAt + 2) - addedAt);
    const std::string rule(42, '=');
    EXPECT_EQ(log,
              "Finding safe point to split file...\r\n"
              "Found safe position to split at byte " +
                  std::to_string(point.At) + " (frame " + std::to_string(point.FramesBefore) +
                  ")\r\nBeginning to split files now.\r\nWriting to " + first + "\r\nWriting to " +
                  second + "\r\n" + rule +
                  "\r\nSource file size      : " + std::to_string(source.size()) +
                  " bytes.\r\nTotal bytes written : " + std::to_string(one.size() + two.size()) +
                  " bytes." + addedLine + "\r\n" + rule + "\r\nMP3 splitting completed.");
    EXPECT_EQ(addedLine, "\r\n(added 1 new frame of " + std::to_string(point.PrevFrameLength) +
                             " bytes to preserve data)");
    // The second part goes on with the source's bytes from the split frame to the end.
    const std::size_t rest = source.size() - std::size_t(point.At);
    ASSERT_GE(two.size(), rest);
    EXPECT_TRUE(std::equal(two.end() - std::ptrdiff_t(rest), two.end(), source.begin() + point.At));
    if (LameTagCrcHolds(source)) {
        EXPECT_TRUE(LameTagCrcHolds(one));
        EXPECT_TRUE(LameTagCrcHolds(two));
    }
    // Both parts end with the source's ID3v1 tag where it has one.
    if (fixture.name == std::string("id3v1")) {
        EXPECT_EQ(Slice(one, one.size() - 128, one.size()),
                  Slice(source, source.size() - 128, source.size()));
    }

    if (!HaveMpg123()) GTEST_SKIP() << "mpg123 is not installed";
    const std::int64_t frameSamples = std::int64_t(fixture.samplesPerFrame) * fixture.channels;
    const Decoded original = Decode(path);
    const Decoded decodedOne = Decode(first);
    const Decoded decodedTwo = Decode(second);
    ExpectDecodedThrough(decodedOne, 0, first);
    ExpectDecodedThrough(decodedTwo, 0, second);
    ASSERT_EQ(std::int64_t(original.samples.size()), (frames - info) * frameSamples);
    // The first part is the source's audio up to the cut; the second holds the added
    // frames, silent, and every frame from the split frame on.
    ASSERT_EQ(std::int64_t(decodedOne.samples.size()), (point.FramesBefore - info) * frameSamples);
    ASSERT_EQ(std::int64_t(decodedTwo.samples.size()),
              (frames - point.FramesBefore + added) * frameSamples);
    EXPECT_TRUE(
        std::equal(decodedOne.samples.begin(), decodedOne.samples.end(), original.samples.begin()));
    EXPECT_TRUE(std::all_of(decodedTwo.samples.begin(),
                            decodedTwo.samples.begin() + added * frameSamples,
                            [](std::int16_t sample) { return sample == 0; }));

    // The second output's frame k, past the added frames, is the source's frame
    // FramesBeforeSplit + k - added, which mpg123 plays as its frame FramesBeforeSplit +
    // k - added - info. The added frames are silent and the split frame overlaps with
    // them; from the frame after the split frame on (one more in MPEG 2 and 2.5, whose one
    // granule per frame leaves the split frame's overlap in the synthesis filter's
    // history) the sound is the source's own, which it can only be when the borrowed main
    // data came through intact. mpg123's floating-point synthesis rounds a sample by one
    // step now and then, depending on where decoding began, so a difference of 1 is allowed.
    const int settle = added + (fixture.samplesPerFrame == 1152 ? 1 : 2);
    const auto mine = decodedTwo.samples.begin() + settle * frameSamples;
    const auto theirs =
        original.samples.begin() + (point.FramesBefore + settle - added - info) * frameSamples;
    int worst = 0;
    std::int64_t same = 0;
    for (auto a = mine, b = theirs; a != decodedTwo.samples.end(); ++a, ++b) {
        worst = std::max(worst, std::abs(*a - *b));
        same += *a == *b;
    }
    EXPECT_LE(worst, 1);
    EXPECT_GT(same, (decodedTwo.samples.end() - mine) * 99 / 100);

    // Played gaplessly, the two parts are as long as the source.
    EXPECT_EQ(GaplessSamples(first) + GaplessSamples(second), GaplessSamples(path));
    // The seam check says what mpg123 plays, in the log and from the companion: cut between
    // frames, the second part starts without the synthesis history of the frames before, so
    // samples differ after the cut.
    const std::string expected =
        SeamLines(path, first, second, fixture.channels, fixture.samplingRate);
    EXPECT_EQ(seam, expected);
    const Said verified = Verify(path, first, second);
    EXPECT_EQ(verified.text, expected);
    EXPECT_EQ(verified.exitCode, 1);

    if (fixture.freeFormat) return;
    if (!Have("ffmpeg") || !Have("ffprobe") || !Have("mp3val")) {
        GTEST_SKIP() << "ffmpeg, ffprobe or mp3val is not installed";
    }
    const auto sourceComplaints = Mp3valComplaints(path);
    for (const auto& [part, decoded] : {std::pair{first, &decodedOne}, {second, &decodedTwo}}) {
        SCOPED_TRACE(part);
        // ffmpeg's decoder, in most players and browsers, finds nothing the source does
        // not give it to say.
        for (const std::string& line : NewLines(part, FfmpegSays(part), path, FfmpegSays(path))) {
            ADD_FAILURE() << "ffmpeg: " << line;
        }
        // The length players show is the length that decodes, as near as the source's.
        const auto seconds = [&](const Decoded& decoded) {
            return double(decoded.samples.size()) / fixture.channels / fixture.samplingRate;
        };
        EXPECT_NEAR(ProbedSeconds(part), seconds(*decoded),
                    frameSeconds + std::abs(ProbedSeconds(path) - seconds(original)));
        // mp3val finds nothing it does not find in the source.
        for (const std::string& complaint : Mp3valComplaints(part)) {
            EXPECT_NE(std::find(sourceComplaints.begin(), sourceComplaints.end(), complaint),
                      sourceComplaints.end())
                << "mp3val: " << complaint;
        }
        // The tags read back as the source's.
        EXPECT_EQ(ProbedTag(part, "title"), ProbedTag(path, "title"));
    }
    // The cut is told at the time the second part starts to play, as ffmpeg plays it: every
    // frame's samples where no LAME tag says otherwise. mpg123 skips its own delay after a
    // length header without one.
    const auto playedSeconds = [&](const std::string& part) {
        return double(Decode(part, "ffmpeg -v error -i", " -f s16le -").samples.size()) /
               fixture.channels / fixture.samplingRate;
    };
    EXPECT_NEAR(point.Seconds, playedSeconds(first), 1e-6);
    // Each part holds the source's chapters that fall in it, timed from its start: the
    // second starts where the first ends.
    const Chapters chapters = ReadChapters(path);
    ASSERT_EQ(chapters.chapters.size(), fixture.name == std::string("chapters") ? 4u : 0u);
    const double firstMs = playedSeconds(first) * 1000;
    {
        SCOPED_TRACE(first);
        ExpectChapters(ReadChapters(first), ChaptersOfPart(chapters, 0, firstMs));
    }
    {
        SCOPED_TRACE(second);
        ExpectChapters(ReadChapters(second),
                       ChaptersOfPart(chapters, firstMs, playedSeconds(path) * 1000));
    }
    // A length frame in the ID3v2 tag states each part's own length.
    if (!ProbedTag(path, "TLEN").empty()) {
        EXPECT_NEAR(std::atof(ProbedTag(first, "TLEN").c_str()), playedSeconds(first) * 1000, 1);
        EXPECT_NEAR(std::atof(ProbedTag(second, "TLEN").c_str()), playedSeconds(second) * 1000, 1);
    }
}

// A source without a length header is counted by the split's own walk, whether or not it
// changed after its analysis: the seam check says what mpg123 plays either way. The source
// is lame's CBR frames without their Info frame; the change makes two padded frames near
// the end one of twice the bit rate, as long as both: the same bytes around it, one frame
// fewer.
TEST(RealSplitAfterAnalysis, CountsTheSourceAsItIsWhenSplit) {
    const Bytes lame = ReadFile(std::string(QUORVEL_FIXTURES) + "/cbr128.mp3");
    // MPEG 1 Layer III at 44.1 kHz, 128 kbit/s: frames of 417 bytes, 418 padded.
    ASSERT_EQ(lame[2] & 0xFC, 0x90);
    const auto length = [](const Bytes& bytes, std::size_t at) {
        return (bytes[at + 2] & 0x02) ? 418 : 417;
    };
    const Bytes frames(lame.begin() + length(lame, 0), lame.end());
    std::size_t pair = 0;
    for (std::size_t at = 0, before = 0; at + 4 <= frames.size(); at += length(frames, at)) {
        const bool padded = length(frames, at) == 418;
        if (padded && before && before + 418 == at && at > frames.size() / 2) pair = before;
        before = padded ? at : 0;
    }
    ASSERT_GT(pair, 0u);
    Bytes changed = frames;
    std::fill(changed.begin() + std::ptrdiff_t(pair) + 4,
              changed.begin() + std::ptrdiff_t(pair) + 836, 0);
    changed[pair + 2] = 0xD2;  // 256 kbit/s, padded: 836 bytes, borrowing no main data

    for (const bool change : {false, true}) {
        SCOPED_TRACE(change ? "changed" : "unchanged");
        TempFolder folder;
        FakeForm window;
        const std::string path = folder.Write("source.mp3", frames);
        // Older than the change to come, as a file on the disk is.
        std::filesystem::last_write_time(
            path, std::filesystem::file_time_type::clock::now() - std::chrono::minutes(1));
        window.texts[Control::txtMP3] = path;
        window.texts[Control::txtToFolder] = folder.path;
        window.texts[Control::txtSplitMinute] = "0";
        window.texts[Control::txtSplitSecond] = "2";
        ASSERT_EQ(AnalyseSourceFile(window, files), AnalysisOutcome::FramesFound);
        if (change) folder.Write("source.mp3", changed);
        ASSERT_EQ(SplitFile(window, files, tags, decoder), SplitOutcome::Completed) << window.log;
        std::string expected =
            SeamLines(path, folder.path + "/source1.mp3", folder.path + "/source2.mp3", 2, 44100);
        for (std::size_t at = 0; (at = expected.find('\n', at)) != std::string::npos; at += 2) {
            expected.insert(at, "\r");
        }
        EXPECT_NE(window.log.find("\r\n" + expected + "\r\n"), std::string::npos)
            << window.log << "\n"
            << expected;
    }
}

// How one decoding differs from another over the values both have: where it first does
// by more than `tolerance` steps, how often and by how much at most.
struct Mismatch {
    std::int64_t first = -1;  // -1: nowhere
    std::int64_t count = 0;
    int worst = 0;
};

Mismatch Compare(std::span<const std::int16_t> got, std::span<const std::int16_t> want,
                 int tolerance) {
    Mismatch mismatch;
    for (std::size_t i = 0; i < std::min(got.size(), want.size()); ++i) {
        const int difference = std::abs(got[i] - want[i]);
        if (difference <= tolerance) continue;
        if (mismatch.first < 0) mismatch.first = std::int64_t(i);
        ++mismatch.count;
        mismatch.worst = std::max(mismatch.worst, difference);
    }
    return mismatch;
}

// `got` holds the samples of `want`, each within `tolerance` steps; where it does not, the
// failure says from which sample on and how much.
void ExpectSameSamples(const std::string& what, std::span<const std::int16_t> got,
                       std::span<const std::int16_t> want, int tolerance, const Fixture& fixture) {
    const int channels = fixture.channels;
    EXPECT_EQ(got.size() / channels, want.size() / channels) << what << ": samples";
    const Mismatch mismatch = Compare(got, want, tolerance);
    if (mismatch.count == 0) return;
    const std::int64_t sample = mismatch.first / channels;
    std::ostringstream text;
    text << what << ": " << mismatch.count << " of " << std::min(got.size(), want.size())
         << " values differ by more than " << tolerance << " (by up to " << mismatch.worst
         << "), the first at sample " << sample << " (" << double(sample) / fixture.samplingRate
         << " s), channel " << mismatch.first % channels;
    ADD_FAILURE() << text.str();
}

// A gapless decoder's command around a file's path, and by how many steps its samples of a
// part may differ from the source's: ffmpeg's none, mpg123's one, as its floating-point
// synthesis rounds a sample now and then by one depending on where decoding began.
struct Decoder {
    const char* command;
    const char* after;
    int tolerance;
};

std::vector<Decoder> GaplessDecoders(const Fixture& fixture) {
    std::vector<Decoder> decoders{{"mpg123 --gapless -q -s", "", 1}};
    if (!fixture.freeFormat)
        decoders.insert(decoders.begin(), {"ffmpeg -v error -i", " -f s16le -", 0});
    return decoders;
}

struct ExactCase {
    Fixture fixture;
    const char* second;  // as typed: with up to three decimals
};

void PrintTo(const ExactCase& c, std::ostream* out) {
    *out << c.fixture.name << " at 0:" << c.second;
}

class SampleExactSplit : public testing::TestWithParam<ExactCase> {};

// Split exactly at a time with decimals, the first part ends at the sample nearest that
// time and the two parts played one after the other are the source, sample for sample in
// ffmpeg, and within a step in mpg123, whose floating-point synthesis rounds a sample now
// and then by one depending on where decoding began; neither decoder nor mp3val finds
// anything in them that it does not find in the source. Without a LAME tag to say where
// the audio begins and ends, the first part ends within half a frame of the time.
TEST_P(SampleExactSplit, PartsPlayAsTheSourceSampleForSample) {
    const auto& [fixture, second] = GetParam();
    for (const char* tool : {"ffmpeg", "mpg123", "mp3val"}) {
        if (!Have(tool)) GTEST_SKIP() << tool << " is not installed";
    }
    const std::string path = FixturePath(fixture);
    TempFolder folder;
    FakeForm window;
    window.texts[Control::txtMP3] = path;
    window.texts[Control::txtToFolder] = folder.path;
    window.texts[Control::txtSplitMinute] = "0";
    window.texts[Control::txtSplitSecond] = second;
    window.exact = true;
    ASSERT_EQ(AnalyseSourceFile(window, files), AnalysisOutcome::FramesFound);
    ASSERT_EQ(SplitFile(window, files, tags, decoder), SplitOutcome::Completed)
        << window.log << "\n"
        << testing::PrintToString(window.messages);
    // The program's own check finds what the decoders below find.
    EXPECT_NE(window.log.find("\r\nSeam check: the parts join the source exactly ("),
              std::string::npos)
        << window.log;
    const std::string one = folder.path + "/" + fixture.name + "1.mp3";
    const std::string two = folder.path + "/" + fixture.name + "2.mp3";
    ExpectPlannedAsWritten(path, std::llround(std::stod(second) * 1000), true, one, two);

    const std::int64_t cut = std::llround(std::stod(second) * fixture.samplingRate);
    const bool lameTag = LameTagCrcHolds(ReadFile(path));
    double firstMs = 0, sourceMs = 0;  // as the first decoder plays them
    for (const Decoder& decoder : GaplessDecoders(fixture)) {
        SCOPED_TRACE(decoder.command);
        const Decoded source = Decode(path, decoder.command, decoder.after);
        const Decoded first = Decode(one, decoder.command, decoder.after);
        const Decoded rest = Decode(two, decoder.command, decoder.after);
        ASSERT_FALSE(source.samples.empty());
        const std::int64_t ends = std::int64_t(first.samples.size()) / fixture.channels;
        if (firstMs == 0) {
            firstMs = 1000.0 * double(ends) / fixture.samplingRate;
            sourceMs =
                1000.0 * double(source.samples.size() / fixture.channels) / fixture.samplingRate;
        }
        if (lameTag) {
            EXPECT_EQ(ends, cut) << "the first part ends at sample " << ends << ", not at "
                                 << second << " s";
        } else {
            EXPECT_LE(std::abs(ends - cut), fixture.samplesPerFrame / 2)
                << "the first part ends at sample " << ends << ", too far from " << second << " s";
        }
        const std::span<const std::int16_t> whole(source.samples);
        ExpectSameSamples("the first part against the source's start", first.samples,
                          whole.first(std::min(first.samples.size(), whole.size())),
                          decoder.tolerance, fixture);
        std::vector<std::int16_t> joined = first.samples;
        joined.insert(joined.end(), rest.samples.begin(), rest.samples.end());
        ExpectSameSamples("the parts one after the other against the source", joined, whole,
                          decoder.tolerance, fixture);
        for (const auto& [part, decoded] : {std::pair{one, &first}, {two, &rest}}) {
            for (const std::string& line :
                 NewLines(part, decoded->messages, path, source.messages)) {
                ADD_FAILURE() << part << ": " << line;
            }
        }
    }
    const std::vector<std::string> known = Mp3valComplaints(path);
    for (const std::string& part : {one, two}) {
        for (const std::string& complaint : Mp3valComplaints(part)) {
            EXPECT_TRUE(std::find(known.begin(), known.end(), complaint) != known.end())
                << part << ": mp3val " << complaint;
        }
    }
    // Each part holds the source's chapters that fall in it, timed from its start.
    const Chapters chapters = ReadChapters(path);
    ExpectChapters(ReadChapters(one), ChaptersOfPart(chapters, 0, firstMs));
    ExpectChapters(ReadChapters(two), ChaptersOfPart(chapters, firstMs, sourceMs));
}

std::vector<ExactCase> ExactCases() {
    std::vector<ExactCase> cases;
    for (const Fixture& fixture : kFixtures) {
        for (const char* second : {"1.250", "2.5", "3.333"}) cases.push_back({fixture, second});
    }
    // A first part of 44 samples, one frame after its header frame.
    cases.push_back({kFixtures[1], "0.001"});
    return cases;
}

// A source that counts the reads made of it from `from` on, up to `to`, in place or not.
class CountingSource final : public SourceFile {
  public:
    explicit CountingSource(std::unique_ptr<SourceFile> source, std::int64_t from = 0,
                            std::int64_t to = std::numeric_limits<std::int64_t>::max())
        : source_(std::move(source)), from_(from), to_(to) {}
    const std::string& Path() const override { return source_->Path(); }
    std::int64_t Size() const override { return source_->Size(); }
    std::size_t ReadAt(std::int64_t offset, std::uint8_t* buffer, std::size_t count) override {
        reads += offset >= from_ && offset < to_;
        return source_->ReadAt(offset, buffer, count);
    }
    std::span<const std::uint8_t> View(std::int64_t offset, std::size_t count) override {
        reads += offset >= from_ && offset < to_;
        return source_->View(offset, count);
    }
    void ConfirmViews() override { source_->ConfirmViews(); }

    std::int64_t reads = 0;

  private:
    std::unique_ptr<SourceFile> source_;
    std::int64_t from_;
    std::int64_t to_;
};

// The text of a frame of a file's ID3v2 tag as TagLib reads it; empty where it has none.
std::string TagText(const std::string& path, const char* id) {
    TagLib::MPEG::File file(path.c_str(), false);
    const TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
    if (!tag || tag->frameList(id).isEmpty()) return {};
    return tag->frameList(id).front()->toString().to8Bit(true);
}

struct PartsCase {
    Fixture fixture;
    bool exact;
};

void PrintTo(const PartsCase& c, std::ostream* out) {
    *out << c.fixture.name << (c.exact ? " exactly" : " by the frame rule");
}

class RealParts : public testing::TestWithParam<PartsCase> {};

// Cut at several times in one run, exactly or by the frame rule, the parts play as the
// source does, as the splits in two at each time make them: one after another, gaplessly,
// sample for sample in ffmpeg and within a step in mpg123 in the exact mode; by the frame
// rule each part is the source's frames up to the next cut, after the silent frame that
// carries what its first frame borrows. Neither decoder nor mp3val finds anything the
// source does not give them to say, and each part's tag states its number, its title with
// the '/' its name cannot hold, and its length.
TEST_P(RealParts, EveryPartPlaysAsTheSourceDoes) {
    const auto& [fixture, exact] = GetParam();
    for (const char* tool : {"ffmpeg", "mpg123", "mp3val"}) {
        if (!Have(tool)) GTEST_SKIP() << tool << " is not installed";
    }
    const std::string path = FixturePath(fixture);
    TempFolder folder;
    FakeForm window;
    window.texts = {{Control::txtMP3, path}, {Control::txtToFolder, folder.path}};
    window.exact = exact;
    ASSERT_EQ(AnalyseSourceFile(window, files), AnalysisOutcome::FramesFound);
    const std::int64_t frames = std::atoll(window.texts[Control::txtSelectedFrames].c_str());
    PartsRequest request;
    using std::chrono::milliseconds;
    request.Times.At =
        exact ? std::vector<std::chrono::microseconds>{milliseconds(3000), milliseconds(750),
                                                       milliseconds(2250), milliseconds(1500)}
              : std::vector<std::chrono::microseconds>{milliseconds(1000), milliseconds(2000),
                                                       milliseconds(3000)};
    request.Labels = {true, {"Intro", "AC/DC", "Outro"}, {"", "Bon Scott"}};
    request.NamePattern = "%n %t";
    SplitReport result;
    ASSERT_EQ(SplitIntoParts(window, files, tags, decoder, request, &result),
              SplitOutcome::Completed)
        << window.log;
    const std::size_t count = request.Times.At.size() + 1;
    std::vector<std::string> names = {"1 Intro.mp3", "2 AC_DC.mp3", "3 Outro.mp3", "4.mp3",
                                      "5.mp3"};
    names.resize(count);
    for (std::string& name : names) name = folder.path + "/" + name;
    ASSERT_EQ(result.Paths, names);
    ASSERT_EQ(result.Cuts.size(), count - 1);

    const Bytes source = ReadFile(path);
    const int info = InfoFrameCount(source) > 0 ? 1 : 0;
    const bool lameTag = LameTagCrcHolds(source);
    const std::string length = TagText(path, "TLEN");
    for (std::size_t part = 0; part < count; ++part) {
        SCOPED_TRACE(names[part]);
        EXPECT_EQ(TagText(names[part], "TRCK"),
                  std::to_string(part + 1) + "/" + std::to_string(count));
        EXPECT_EQ(TagText(names[part], "TIT2"),
                  part < 3 ? request.Labels.Titles[part] : TagText(path, "TIT2"));
        EXPECT_EQ(TagText(names[part], "TPE1"), part == 1 ? "Bon Scott" : TagText(path, "TPE1"));
        EXPECT_EQ(TagText(names[part], "TLEN").empty(), length.empty());
        // Each part's length is the time it plays gaplessly.
        if (!length.empty()) {
            EXPECT_NEAR(std::atof(TagText(names[part], "TLEN").c_str()),
                        double(GaplessSamples(names[part])) / fixture.channels /
                            fixture.samplingRate * 1000,
                        1);
        }
    }
    const std::vector<std::string> known = Mp3valComplaints(path);
    for (const std::string& part : names) {
        for (const std::string& complaint : Mp3valComplaints(part)) {
            EXPECT_TRUE(fixture.freeFormat ||
                        std::find(known.begin(), known.end(), complaint) != known.end())
                << part << ": mp3val " << complaint;
        }
    }

    if (!exact) {
        const std::int64_t frameSamples = std::int64_t(fixture.samplesPerFrame) * fixture.channels;
        const Decoded original = Decode(path);
        for (std::size_t part = 0; part < count; ++part) {
            SCOPED_TRACE(names[part]);
            const Decoded decoded = Decode(names[part]);
            ExpectDecodedThrough(decoded, 0, names[part]);
            const std::int64_t first = part == 0 ? info : result.Cuts[part - 1].Frame;
            const std::int64_t end = part + 1 < count ? result.Cuts[part].Frame : frames;
            const std::int64_t added =
                std::int64_t(decoded.samples.size()) / frameSamples - (end - first);
            ASSERT_EQ(added, part == 0 ? 0 : 1);
            // The added frame is silent and the part's first frame overlaps with it: from
            // the frame after (one more in MPEG 2 and 2.5) the sound is the source's.
            const auto mine = decoded.samples.begin() + added * frameSamples;
            EXPECT_TRUE(std::all_of(decoded.samples.begin(), mine,
                                    [](std::int16_t sample) { return sample == 0; }));
            const std::int64_t settle = part == 0 ? 0 : (fixture.samplesPerFrame == 1152 ? 1 : 2);
            ExpectSameSamples(
                "the part against the source",
                std::span(decoded.samples).subspan(std::size_t((added + settle) * frameSamples)),
                std::span(original.samples)
                    .subspan(std::size_t((first - info + settle) * frameSamples),
                             std::size_t((end - first - settle) * frameSamples)),
                1, fixture);
        }
        if (lameTag) {
            std::int64_t played = 0;
            for (const std::string& part : names) played += GaplessSamples(part);
            EXPECT_EQ(played, GaplessSamples(path));
        }
        return;
    }

    // The program's own check finds each seam as the decoders below do.
    std::size_t seams = 0;
    for (std::size_t at = 0;
         (at = window.log.find("\r\nSeam check: the parts join the source exactly (", at)) !=
         std::string::npos;
         ++at) {
        ++seams;
    }
    EXPECT_EQ(seams, count - 1) << window.log;
    for (const Decoder& decoder : GaplessDecoders(fixture)) {
        SCOPED_TRACE(decoder.command);
        const Decoded whole = Decode(path, decoder.command, decoder.after);
        std::vector<std::int16_t> joined;
        for (std::size_t part = 0; part < count; ++part) {
            const Decoded decoded = Decode(names[part], decoder.command, decoder.after);
            joined.insert(joined.end(), decoded.samples.begin(), decoded.samples.end());
            for (const std::string& line :
                 NewLines(names[part], decoded.messages, path, whole.messages)) {
                ADD_FAILURE() << names[part] << ": " << line;
            }
            if (part + 1 == count) continue;
            // Each part ends at the sample of its cut, or within half a frame of it where no
            // LAME tag says where the audio begins and ends.
            const std::int64_t ends = std::int64_t(joined.size()) / fixture.channels;
            const std::int64_t cut =
                (std::vector<std::int64_t>{750, 1500, 2250, 3000}[part] * fixture.samplingRate +
                 500) /
                1000;
            // mpg123 skips its own delay after a length header without a LAME tag.
            const bool skips = !lameTag && InfoFrameCount(source) > 0 &&
                               std::string(decoder.command).starts_with("mpg123");
            EXPECT_LE(std::abs(ends - cut),
                      lameTag ? 0 : fixture.samplesPerFrame / 2 + (skips ? kDecoderDelay : 0))
                << names[part] << " ends at sample " << ends;
            if (!length.empty() && std::string(decoder.command).starts_with("ffmpeg")) {
                EXPECT_NEAR(std::atof(TagText(names[part], "TLEN").c_str()),
                            1000.0 * double(decoded.samples.size()) / fixture.channels /
                                fixture.samplingRate,
                            1);
            }
        }
        ExpectSameSamples("the parts one after the other against the source", joined, whole.samples,
                          decoder.tolerance, fixture);
    }
}

std::vector<PartsCase> PartsCases() {
    std::vector<PartsCase> cases;
    for (const Fixture& fixture : kFixtures) {
        cases.push_back({fixture, true});
        // Safe cuts by the frame rule are rare without an Info frame.
        if (fixture.name != std::string("noinfo")) cases.push_back({fixture, false});
    }
    return cases;
}

// What the decoder gives is what mpg123 plays from the file's start, sample for sample, of
// every fixture and of a part whose first frame is not the first it plays (the added one is
// skipped): a range mid-file, which it seeks to in MPEG 1 and decodes up to from the start
// in MPEG 2, then the whole file, back from its start; and so is its length, whether it
// counts the frames or goes by the Xing header, or, without one, by the count of a walk over
// the frames (a header outweighs that), which spares reading every frame. Seeking
// near, as the windows do, it seeks in MPEG 2 too, a step of rounding off at most. Stopped,
// it ends at its next read.
TEST(Mpg123Decoding, GivesWhatMpg123PlaysAndStopsWhenAsked) {
    if (!HaveMpg123()) GTEST_SKIP() << "mpg123 is not installed";
    const std::string fixtures = QUORVEL_FIXTURES;
    const TempFolder folder;
    ASSERT_EQ(RunCommand(std::string(QUORVEL_CLI) + " split '" + fixtures + "/mono.mp3' 0 1 '" +
                         folder.path + "'")
                  .exitCode,
              0);
    std::vector<std::string> paths = {folder.path + "/mono2.mp3"};
    platform::Mpg123Decoder nearDecoder(platform::Mpg123Decoder::Seeking::Near);
    for (const Fixture& fixture : kFixtures) paths.push_back(FixturePath(fixture));
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        const std::vector<std::int16_t> played = Decode(path, "mpg123 --gapless -s").samples;
        // A file cut short has more frames in its header than it holds: it is counted, as a
        // walk does not count a file with a header.
        const bool framed = InfoFrameCount(ReadFile(path)) > 0;
        const bool headed = framed && path.find("truncated") == std::string::npos;
        FileInformation info;
        const ScanResult scan = ScanFrameChain(*files.OpenSource(path), info);
        const std::int64_t walkedFrames = scan.Frames;
        for (const std::int64_t walked : {std::int64_t{-1}, walkedFrames}) {
            for (const auto length :
                 {AudioDecoder::Length::Counted, AudioDecoder::Length::Stated}) {
                // mpg123 reads bytes of no frame before the first a few at a time, and a
                // free-format stream's first frame too, looking for the header after it.
                auto source = std::make_unique<CountingSource>(
                    files.OpenSource(path), scan.RunFrom + info.FreeFormatLength);
                const CountingSource& counted = *source;
                const auto audio = decoder.Open(std::move(source), length, {walked, 0, {}});
                ASSERT_EQ(audio->Length() * audio->Channels(), std::int64_t(played.size()));
                // Fewer reads than the file has frames, at 1,152 samples or fewer a frame:
                // the count comes from the header, or where there is none from the walk.
                EXPECT_EQ(
                    counted.reads < audio->Length() / 1152,
                    (headed || (walked >= 0 && !framed)) && length == AudioDecoder::Length::Stated)
                    << counted.reads;
            }
        }
        for (const auto length : {AudioDecoder::Length::Counted, AudioDecoder::Length::Stated}) {
            const auto audio = decoder.Open(files.OpenSource(path), length);
            const std::int64_t channels = audio->Channels();
            const std::int64_t from = audio->Length() / 2;
            const std::vector<std::int16_t> range = audio->Read(from, audio->Rate());
            ASSERT_EQ(std::int64_t(range.size()), audio->Rate() * channels);
            EXPECT_TRUE(std::equal(range.begin(), range.end(), played.begin() + from * channels));
            EXPECT_TRUE(audio->Read(0, audio->Length()) == played);
        }
        const auto near = nearDecoder.Open(files.OpenSource(path), AudioDecoder::Length::Stated);
        const std::int64_t channels = near->Channels(), from = near->Length() * 3 / 4;
        const std::vector<std::int16_t> range = near->Read(from, near->Rate());
        int off = 0;
        for (std::size_t i = 0; i < range.size(); ++i) {
            off = std::max(off, std::abs(range[i] - played[std::size_t(from * channels) + i]));
        }
        EXPECT_LE(off, 1);
    }

    std::atomic<bool> stopping = false;
    WatchedFiles watched(files, stopping);
    const auto audio =
        decoder.Open(watched.OpenSource(fixtures + "/vbr.mp3"), AudioDecoder::Length::Stated);
    stopping = true;
    EXPECT_THROW(audio->Read(audio->Length() / 2, 1000), WorkStopped);
}

// With the starts of the frames a split's walk found, the decoder seeks in MPEG 1 without
// reading the frames before the start it goes from, and gives what mpg123 plays there. It
// takes them only where libmpg123 finds the first frame where the walk did, a header frame
// and bytes of no frame before it none: starts a byte off are left, the length counted
// instead of taken from the walk, and the range still plays as mpg123 plays it.
TEST(Mpg123Decoding, SeeksFromTheStartsOfTheFramesAWalkFound) {
    if (!HaveMpg123()) GTEST_SKIP() << "mpg123 is not installed";
    for (const Fixture& fixture : kFixtures) {
        const std::string path = FixturePath(fixture);
        SCOPED_TRACE(path);
        FileInformation info;
        const SourceCuts cuts =
            FindCuts(*files.OpenSource(path), {{std::chrono::milliseconds(1000)}}, true, info);
        const WalkedFrames walked = WalkedSource(cuts);
        // A file cut short is no unbroken run of whole frames.
        ASSERT_EQ(walked.Starts.empty(), fixture.name == std::string("truncated"));
        if (walked.Starts.empty()) continue;
        ASSERT_GE(walked.Starts.size(), 3u);
        const std::vector<std::int16_t> played = Decode(path, "mpg123 --gapless -s").samples;
        // The frames from the second start to the third.
        const std::int64_t from = cuts.Layout.AudioStart + walked.Starts[1];
        const std::int64_t to = cuts.Layout.AudioStart + walked.Starts[2];
        for (const std::int64_t off : {0, 1}) {
            WalkedFrames given = walked;
            for (std::int64_t& start : given.Starts) start += off;
            auto source = std::make_unique<CountingSource>(files.OpenSource(path), from, to);
            const CountingSource& counted = *source;
            const auto audio = decoder.Open(std::move(source), AudioDecoder::Length::Stated, given);
            ASSERT_EQ(audio->Length() * audio->Channels(), std::int64_t(played.size()));
            const std::int64_t channels = audio->Channels(), at = audio->Length() * 3 / 4;
            const std::vector<std::int16_t> range = audio->Read(at, audio->Length() - at);
            EXPECT_TRUE(std::equal(range.begin(), range.end(), played.begin() + at * channels));
            if (fixture.samplesPerFrame == 1152) {
                EXPECT_EQ(counted.reads > 0, off != 0) << counted.reads;
            }
        }
    }
}

// Of a long MPEG 2 file whose frames a split's walk found, the decoder that expects seeks
// walks only the frames about each read for their lead-ins, not the file whole: the middle
// of the file is never read, and every range is what mpg123 plays there.
TEST(Mpg123Decoding, WalksOnlyTheFramesAboutEachReadOfAFileASplitWalked) {
    if (!HaveMpg123()) GTEST_SKIP() << "mpg123 is not installed";
    const std::string fixture = FixturePath(kFixtures[2]);
    FileInformation info;
    const SourceCuts fixtureCuts =
        FindCuts(*files.OpenSource(fixture), {{std::chrono::milliseconds(1000)}}, true, info);
    const Bytes bytes = ReadFile(fixture);
    const Bytes frames(bytes.begin() + fixtureCuts.Layout.AudioStart,
                       bytes.begin() + fixtureCuts.Layout.Tags.TrailerAt);
    const TempFolder folder;
    const std::string path = folder.path + "/long.mp3";
    {
        std::ofstream out(path, std::ios::binary);
        for (int copy = 0; copy < 60; ++copy) {
            out.write(reinterpret_cast<const char*>(frames.data()), std::streamsize(frames.size()));
        }
    }
    const SourceCuts cuts =
        FindCuts(*files.OpenSource(path), {{std::chrono::milliseconds(1000)}}, true, info);
    const WalkedFrames walked = WalkedSource(cuts);
    ASSERT_GT(walked.Starts.size(), 40u);
    const std::vector<std::int16_t> played = Decode(path, "mpg123 --gapless -s").samples;
    auto source = std::make_unique<CountingSource>(files.OpenSource(path),
                                                   walked.Starts[walked.Starts.size() / 4],
                                                   walked.Starts[walked.Starts.size() * 3 / 5]);
    const CountingSource& counted = *source;
    const auto audio = decoder.Open(std::move(source), AudioDecoder::Length::Stated, walked);
    audio->ExpectSeeks();
    const std::int64_t channels = audio->Channels(), length = audio->Length();
    ASSERT_EQ(length * channels, std::int64_t(played.size()));
    for (const std::int64_t from : {std::int64_t{0}, length * 3 / 4, length - 700, length / 8}) {
        const std::vector<std::int16_t> range = audio->Read(from, 700);
        EXPECT_TRUE(std::equal(range.begin(), range.end(), played.begin() + from * channels))
            << "from " << from;
    }
    EXPECT_EQ(counted.reads, 0);
}

// Splits `source` at the sample every `every` seconds, `cuts` times, into `folder`, the
// parts named by `pattern`, through `through`.
void SplitExactlyEvery(FakeForm& window, FileSystem& through, const std::string& source,
                       const std::string& folder, int every, int cuts, const std::string& pattern) {
    window.texts = {{Control::txtMP3, source}, {Control::txtToFolder, folder}};
    window.exact = true;
    PartsRequest request;
    for (int cut = 1; cut <= cuts; ++cut) {
        request.Times.At.push_back(std::chrono::seconds(every * cut));
    }
    request.NamePattern = pattern;
    ASSERT_EQ(SplitIntoParts(window, through, tags, decoder, request), SplitOutcome::Completed)
        << window.log;
}

// The source of a split into many parts, and the parts, as the seam check reads them while
// the parts are written: the bytes it asks for of the source are counted (not those copied
// into the parts), and one part holds a damaged byte in the main data of a frame `before`
// bytes from its end.
class SeamCheckReads final : public FileSystemWrapper {
  public:
    SeamCheckReads(FileSystem& files, std::string source, std::string damaged, std::int64_t before)
        : FileSystemWrapper(files),
          source_(std::move(source)),
          damaged_(std::move(damaged)),
          before_(before) {}
    std::unique_ptr<SourceFile> OpenBeside(const std::string& path) override {
        auto file = FileSystemWrapper::OpenBeside(path);
        if (path != source_) return file;
        return std::make_unique<Source>(std::move(file), &sourceBytes, -1);
    }
    std::unique_ptr<OutputFile> CreateOutput(const std::string& path) override {
        return std::make_unique<Part>(FileSystemWrapper::CreateOutput(path),
                                      path == damaged_ ? before_ : -1);
    }

    std::atomic<std::int64_t> sourceBytes = 0;

  private:
    class Source final : public SourceFile {
      public:
        Source(std::unique_ptr<SourceFile> file, std::atomic<std::int64_t>* counted,
               std::int64_t damage)
            : file_(std::move(file)), counted_(counted), damage_(damage) {}
        const std::string& Path() const override { return file_->Path(); }
        std::int64_t Size() const override { return file_->Size(); }
        std::size_t ReadAt(std::int64_t offset, std::uint8_t* buffer, std::size_t count) override {
            const std::size_t read = file_->ReadAt(offset, buffer, count);
            if (counted_ && !copying) *counted_ += std::int64_t(read);
            if (damage_ >= offset && damage_ < offset + std::int64_t(read)) {
                buffer[damage_ - offset] ^= 0x5A;
            }
            return read;
        }
        // Read through a buffer where the damaged byte lies within.
        std::span<const std::uint8_t> View(std::int64_t offset, std::size_t count) override {
            if (damage_ >= offset && damage_ < offset + std::int64_t(count)) return {};
            const auto shown = file_->View(offset, count);
            if (counted_ && !copying) *counted_ += std::int64_t(std::min(count, shown.size()));
            return shown;
        }
        void ConfirmViews() override { file_->ConfirmViews(); }

      private:
        std::unique_ptr<SourceFile> file_;
        std::atomic<std::int64_t>* counted_;
        std::int64_t damage_;
    };

    // A part, which where `before` is not negative is read back with a byte well into the
    // main data of the first frame from `before` bytes before its end on.
    class Part final : public OutputFile {
      public:
        Part(std::unique_ptr<OutputFile> output, std::int64_t before)
            : output_(std::move(output)), before_(before) {}
        void Write(std::span<const std::uint8_t> bytes) override { output_->Write(bytes); }
        void CopyFrom(SourceFile& source, std::int64_t offset, std::int64_t length) override {
            copying = true;
            output_->CopyFrom(source, offset, length);
            copying = false;
        }
        void MoveTo(std::int64_t at) override { output_->MoveTo(at); }
        void EndHere() override { output_->EndHere(); }
        std::unique_ptr<SourceFile> ReadBack() override {
            auto file = output_->ReadBack();
            if (before_ < 0) return file;
            Bytes bytes(std::size_t(file->Size()));
            file->ReadAt(0, bytes.data(), bytes.size());
            std::int64_t damage = std::int64_t(bytes.size()) - before_;
            while (bytes[std::size_t(damage)] != 0xFF ||
                   (bytes[std::size_t(damage) + 1] & 0xE0) != 0xE0) {
                ++damage;
            }
            return std::make_unique<Source>(std::move(file), nullptr, damage + 200);
        }
        std::string Stage() override { return output_->Stage(); }
        void Release() override { output_->Release(); }

      private:
        std::unique_ptr<OutputFile> output_;
        const std::int64_t before_;
    };

    // Whether this thread is copying into a part.
    static thread_local bool copying;

    const std::string source_;
    const std::string damaged_;
    const std::int64_t before_;
};

thread_local bool SeamCheckReads::copying = false;

// The check of a split into many parts reads the source about each cut alone, going by the
// frames the split's walk found, rather than every frame of it: a small share of its bytes,
// the first 256 KiB a reading of its layout asks for included. It still decodes each seam:
// a part damaged a fifth of a second before its end, in the middle of the parts, joins the next
// one otherwise than the source, and the others join exactly.
TEST(ManyParts, TheSeamCheckReadsTheSourceAboutEachCutAndFindsADamagedSeam) {
    const Bytes fixture = ReadFile(FixturePath(kFixtures[0]));
    // 4.5 minutes of frames without a header: the fixture's after its Info frame, over again.
    const Bytes frames(fixture.begin() + 417, fixture.end());
    const TempFolder folder;
    const std::string path = folder.path + "/long.mp3";
    {
        std::ofstream out(path, std::ios::binary);
        for (int copy = 0; copy < 60; ++copy) {
            out.write(reinterpret_cast<const char*>(frames.data()), std::streamsize(frames.size()));
        }
    }
    const std::string parts = folder.path + "/parts";
    std::filesystem::create_directory(parts);
    SeamCheckReads reads(files, path, parts + "/3.mp3", 3200);
    FakeForm window;
    SplitExactlyEvery(window, reads, path, parts, 45, 5, "%n");
    std::vector<std::string> seams;
    for (std::size_t at = 0; (at = window.log.find("\r\nSeam check", at)) != std::string::npos;) {
        at += 2;
        seams.push_back(window.log.substr(at, window.log.find("\r\n", at) - at));
    }
    ASSERT_EQ(seams.size(), 5u) << window.log;
    for (std::size_t seam = 0; seam < seams.size(); ++seam) {
        EXPECT_EQ(seams[seam].starts_with("Seam check: the parts join the source exactly"),
                  seam != 2)
            << seams[seam];
    }
    EXPECT_TRUE(seams[2].ends_with("before the cut.")) << seams[2];
    EXPECT_LT(reads.sourceBytes, std::int64_t(frames.size()) * 60 / 4) << reads.sourceBytes;
}

// A source that cannot be opened a second time, beside the split, is still split: the parts
// are written one after the other, and the seam check, which reads it there too, says why it
// was left out.
TEST(ManyParts, ASourceThatOpensOnceIsStillSplit) {
    struct OpensOnce final : FileSystemWrapper {
        using FileSystemWrapper::FileSystemWrapper;
        std::unique_ptr<SourceFile> OpenBeside(const std::string& path) override {
            throw FileError(FileError::Operation::Read, path, Message("it is open already"));
        }
    } once(files);
    const TempFolder folder;
    const std::string path = folder.Write("song.mp3", ReadFile(FixturePath(kFixtures[0])));
    SplitRequest request;
    request.Source = path;
    request.Folder = folder.path;
    request.Parts.Times.At = {std::chrono::seconds(1), std::chrono::seconds(2)};
    FakeForm window;
    const SplitReport report = Split(request, once, tags, decoder, window);
    ASSERT_EQ(report.Outcome, SplitOutcome::Completed) << window.log;
    EXPECT_EQ(report.Paths.size(), 3u);
    EXPECT_NE(window.log.find("Seam check skipped: cannot read " + path + ": it is open already."),
              std::string::npos)
        << window.log;
}

// While the parts are written, the bytes written tell how far the split has come: the
// reads of the source that plan each part come between them and would take the count back.
// It goes back twice at most: from the tags at the source's end to its audio, and from the
// walk to the first part written.
TEST(ManyParts, ProgressGoesOnWhileThePartsAreWritten) {
    const Bytes fixture = ReadFile(FixturePath(kFixtures[0]));
    const TempFolder folder;
    const std::string path = folder.path + "/long.mp3";
    {
        std::ofstream out(path, std::ios::binary);
        for (int copy = 0; copy < 8; ++copy) {
            out.write(reinterpret_cast<const char*>(fixture.data() + 417),
                      std::streamsize(fixture.size() - 417));
        }
    }
    std::vector<std::int64_t> told;
    const std::atomic<bool> stopping = false;
    WatchedFiles watched(files, stopping,
                         [&told](std::int64_t done, std::int64_t) { told.push_back(done); });
    SplitRequest request;
    request.Source = path;
    request.Folder = folder.path;
    request.Existing = ExistingOutputs::Replace;
    for (int cut = 1; cut <= 20; ++cut) request.Parts.Times.At.push_back(std::chrono::seconds(cut));
    FakeForm window;
    ASSERT_EQ(Split(request, watched, tags, decoder, window).Outcome, SplitOutcome::Completed)
        << window.log;
    std::size_t back = 0;
    for (std::size_t i = 1; i < told.size(); ++i) back += told[i] < told[i - 1] ? 1 : 0;
    EXPECT_LE(back, 2u) << window.log;
}

// Speech at 22.05 kHz in one channel whose phrases the `pauses` of digital silence follow in
// turn, `rounds` times over, as `name` in `folder`.
void SpeakWithPauses(const std::string& folder, const std::string& name,
                     const std::vector<double>& pauses, int rounds) {
    std::string command = "cd '" + folder +
                          "' && espeak-ng -w one.wav 'Quorvel cuts a file without encoding it' && "
                          "espeak-ng -w two.wav 'and finds the pauses'";
    std::string parts;
    for (std::size_t i = 0; i < pauses.size(); ++i) {
        command += " && sox -n -r 22050 -c 1 pause" + std::to_string(i) + ".wav trim 0 " +
                   std::to_string(pauses[i]);
        parts += (i % 2 ? " two.wav pause" : " one.wav pause") + std::to_string(i) + ".wav";
    }
    command += " && sox" + parts + " " + name + " repeat " + std::to_string(rounds - 1);
    ASSERT_TRUE(RunCommand(command).ran) << command;
}

// A decoding that has read a part's start reads its end as from the start too, where it
// seeks there by the part's frames: the exact parts of five minutes of MPEG 2.5 at 8 kHz,
// every 15 seconds, each opening with frames of the split's own.
TEST(Mpg123Decoding, ReadsAPartsEndAsFromTheStartAfterItsStart) {
    if (!HaveMpg123() || !Have("sox") || !Have("lame")) GTEST_SKIP() << "sox or lame is missing";
    const TempFolder folder;
    const std::string source = folder.path + "/long.mp3";
    ASSERT_TRUE(RunCommand("cd '" + folder.path +
                           "' && sox -R -n -r 8000 -c 2 tone.wav synth 47 sine 440 sine 660 "
                           "whitenoise gain -6 && lame --quiet -t -b 32 tone.wav one.mp3 && "
                           "cat one.mp3 one.mp3 one.mp3 one.mp3 one.mp3 one.mp3 > long.mp3")
                    .ran);
    FakeForm window;
    SplitExactlyEvery(window, files, source, folder.path, 15, 18, "part%n");
    for (int part = 1; part <= 19; ++part) {
        const std::string path =
            folder.path + "/part" + (part < 10 ? "0" : "") + std::to_string(part) + ".mp3";
        SCOPED_TRACE(path);
        const auto fresh = decoder.Open(files.OpenSource(path), AudioDecoder::Length::Stated);
        const std::int64_t from = fresh->Length() - fresh->Rate();
        const auto audio = decoder.Open(files.OpenSource(path), AudioDecoder::Length::Stated);
        audio->ExpectSeeks();
        audio->Read(0, 700);
        EXPECT_EQ(audio->Read(from, 700), fresh->Read(from, 700));
    }
}

// Once it knows a file's frames, which a glance walks, the decoder seeks in every version
// with a lead-in of a few frames, where the frames' borrowing allows: each range it reads
// is what mpg123 plays there, sample for sample, and each it glances at is within a step of
// rounding of it, wherever it went before, in the fixtures and in speech with pauses that
// lame, ffmpeg (through lame) and sox put into MPEG 2 and 2.5, and shine into MPEG 1. An
// MPEG 2 range near the end is read without reading the file up to it, and one in the middle
// glanced at after it so too. The decodings of a
// file open at once share its walk, but not once it has been rewritten.
TEST(Mpg123Decoding, SeeksAFewFramesBeforeEachRangeOnceItKnowsTheFrames) {
    if (!HaveMpg123() || !Have("espeak-ng") || !Have("sox") || !Have("ffmpeg")) {
        GTEST_SKIP() << "mpg123, espeak-ng, sox or ffmpeg is not installed";
    }
    const TempFolder folder;
    SpeakWithPauses(folder.path, "speech.wav", {0.3, 1.2}, 4);
    const auto encode = [&](const std::string& name, const std::string& command) {
        const std::string path = folder.path + "/" + name;
        EXPECT_TRUE(RunCommand("cd '" + folder.path + "' && " + command + " '" + path + "'").ran)
            << command;
        return path;
    };
    std::vector<std::string> paths = {
        encode("lame8k.mp3", "lame --quiet --resample 8 -b 16 speech.wav"),
        encode("ffmpeg22k.mp3", "ffmpeg -v error -i speech.wav -c:a libmp3lame -b:a 48k"),
        encode("ffmpeg11k.mp3",
               "ffmpeg -v error -i speech.wav -ac 2 -ar 11025 -c:a libmp3lame -q:a 6"),
        encode("shine32k.mp3", "ffmpeg -v error -i speech.wav -ar 32000 -c:a libshine -b:a 32k"),
        encode("sox16k.mp3", "sox speech.wav -r 16000 -C 24"),
    };
    for (const Fixture& fixture : kFixtures) paths.push_back(FixturePath(fixture));
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        const std::vector<std::int16_t> played = Decode(path, "mpg123 --gapless -s").samples;
        auto source = std::make_unique<CountingSource>(files.OpenSource(path));
        const CountingSource& counted = *source;
        const auto audio = decoder.Open(std::move(source), AudioDecoder::Length::Stated);
        const std::int64_t channels = audio->Channels(), length = audio->Length();
        ASSERT_EQ(length * channels, std::int64_t(played.size()));
        const auto expect = [&](const std::vector<std::int16_t>& samples, std::int64_t from,
                                int off) {
            ASSERT_EQ(std::int64_t(samples.size()),
                      std::min<std::int64_t>(700, length - from) * channels);
            for (std::size_t i = 0; i < samples.size(); ++i) {
                ASSERT_LE(std::abs(samples[i] - played[std::size_t(from * channels) + i]), off)
                    << "sample frame " << from + std::int64_t(i) / channels;
            }
        };
        // Far ahead and back, glances and reads in turn, some just after the last.
        for (int step = 0; step < 24; ++step) {
            const std::int64_t from = length * ((step * 7) % 23) / 24 + (step * 331) % 1152;
            if (step % 2 == 0) {
                expect(audio->Glance(from, 700), from, 1);
            } else {
                expect(audio->Read(from, 700), from, 0);
                expect(audio->Read(from + 700, 700), from + 700, 0);
            }
        }
        const std::int64_t before = counted.reads;
        expect(audio->Read(length - 3000, 700), length - 3000, 0);
        const std::int64_t read = counted.reads;
        expect(audio->Glance(length / 2, 700), length / 2, 1);
        if (path.find("/ffmpeg22k") != std::string::npos) {
            EXPECT_LT(read - before, 100);
            EXPECT_LT(counted.reads - read, 100);
        }
    }

    // Rewritten at the same size while a decoding of it is open, a file is walked anew: noise
    // in place of silence, whose frames code nothing.
    const std::string rewritten = folder.path + "/rewritten.mp3";
    ASSERT_TRUE(RunCommand("cd '" + folder.path +
                           "' && sox -n -r 44100 -c 2 silence.wav trim 0 3 && "
                           "sox -n -r 44100 -c 2 noise.wav synth 3 whitenoise vol 0.3 && "
                           "lame --quiet -b 128 --cbr silence.wav rewritten.mp3 && "
                           "lame --quiet -b 128 --cbr noise.wav noise.mp3")
                    .ran);
    ASSERT_EQ(std::filesystem::file_size(rewritten),
              std::filesystem::file_size(folder.path + "/noise.mp3"));
    const auto earlier = decoder.Open(files.OpenSource(rewritten), AudioDecoder::Length::Stated);
    earlier->Glance(earlier->Length() / 2, 100);
    std::filesystem::copy_file(folder.path + "/noise.mp3", rewritten,
                               std::filesystem::copy_options::overwrite_existing);
    const std::vector<std::int16_t> played = Decode(rewritten, "mpg123 --gapless -s").samples;
    const auto later = decoder.Open(files.OpenSource(rewritten), AudioDecoder::Length::Stated);
    for (std::int64_t from = later->Length() / 9; from + 3000 < later->Length();
         from += later->Length() / 9) {
        later->Glance(from, 100);
        const std::vector<std::int16_t> samples = later->Read(from + 2000, 300);
        EXPECT_TRUE(std::equal(samples.begin(), samples.end(), played.begin() + 2 * (from + 2000)))
            << from;
    }
}

// 16-bit little-endian samples, as a raw audio file holds them.
std::vector<std::int16_t> RawSamples(const std::string& path) {
    const Bytes bytes = ReadFile(path);
    std::vector<std::int16_t> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = std::int16_t(bytes[2 * i] | bytes[2 * i + 1] << 8);
    }
    return samples;
}

// The stretches in which every sample of `samples` lies below the rule's threshold for at
// least its length, read one sample frame after another: where the silences of the audio
// that was encoded lie.
std::vector<Silence> QuietStretches(const std::vector<std::int16_t>& samples, int channels,
                                    int rate, const SilenceRule& rule) {
    const double limit = 32768 * std::pow(10.0, rule.ThresholdDb / 20);
    std::vector<Silence> stretches;
    const std::int64_t frames = std::int64_t(samples.size()) / channels;
    std::int64_t start = -1;
    for (std::int64_t frame = 0; frame <= frames; ++frame) {
        bool quiet = frame < frames;
        for (int channel = 0; quiet && channel < channels; ++channel) {
            quiet = std::abs(samples[std::size_t(frame * channels + channel)]) < limit;
        }
        if (quiet && start < 0) start = frame;
        if (!quiet && start >= 0) {
            // A length in seconds that is a whole number of sample frames counts that number.
            if (double(frame - start) + 1e-6 >= rule.MinSeconds * rate)
                stretches.push_back({start, frame});
            start = -1;
        }
    }
    return stretches;
}

// Speech with pauses of 0.7, 1.2 and 0.7 s between its phrases, the longest across the
// middle, where the two halves decoded at once meet, has its silences where the audio
// encoded has them, to 5 ms, at a constant bit rate in MPEG 1 and at a variable one in MPEG
// 2, the second half sought in both; noise
// has none, and digital silence is one, the whole file. A span finds those within it, one
// that begins before it only where its part within is long enough; a sweep a quarter of a
// second at a time, shorter than a silence, finds what the whole file has. Stopped, the search
// ends, both halves at once.
TEST(Silences, LieWhereTheyLieInTheAudioEncoded) {
    if (!HaveMpg123() || !Have("espeak-ng") || !Have("sox")) {
        GTEST_SKIP() << "mpg123, espeak-ng or sox is not installed";
    }
    const TempFolder folder;
    const auto run = [&](const std::string& command) {
        ASSERT_TRUE(RunCommand("cd '" + folder.path + "' && " + command).ran) << command;
    };
    run("espeak-ng -w one.wav 'Quorvel cuts a file without encoding it again' && "
        "espeak-ng -w two.wav 'and finds the pauses' && "
        "sox -n -r 22050 -c 1 short.wav trim 0 0.7 && sox -n -r 22050 -c 1 long.wav trim 0 1.2");
    const std::string speech = "one.wav short.wav two.wav long.wav two.wav short.wav one.wav";
    const std::string raw = " -e signed -b 16 -L ";
    struct Case {
        std::string name, sox, lame;
        int rate, channels;
        std::size_t silences;
    };
    const Case cases[] = {
        {"speech-cbr", "sox " + speech + raw + "-r 44100", "-b 96 --cbr", 44100, 1, 3},
        {"speech-vbr", "sox " + speech + raw + "-r 22050", "-V 5", 22050, 1, 3},
        {"noise", "sox -n -r 44100 -c 2" + raw, "-b 128", 44100, 2, 0},
        {"silence", "sox -n -r 44100 -c 2" + raw, "-b 128", 44100, 2, 1},
    };
    const SilenceRule rule;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string synth = c.name == "noise"     ? " synth 3 whitenoise vol 0.3"
                                  : c.name == "silence" ? " trim 0 3"
                                                        : "";
        // lame reads raw input through libsndfile, which may take it for another format by
        // its first bytes: it gets the samples as a WAVE file.
        run(c.sox + " " + c.name + ".raw" + synth + " && sox -t raw -r " + std::to_string(c.rate) +
            " -c " + std::to_string(c.channels) + raw + c.name + ".raw " + c.name +
            ".wav && lame --quiet -m " + (c.channels == 1 ? "m " : "j ") + c.lame + " " + c.name +
            ".wav " + c.name + ".mp3");
        const std::vector<std::int16_t> samples = RawSamples(folder.path + "/" + c.name + ".raw");
        const std::vector<Silence> truth = QuietStretches(samples, c.channels, c.rate, rule);
        ASSERT_EQ(truth.size(), c.silences);
        const std::string path = folder.path + "/" + c.name + ".mp3";
        const FileSilences found = FindSilences(decoder, files, path, rule);
        EXPECT_EQ(found.Rate, c.rate);
        EXPECT_EQ(found.Length * c.channels, std::int64_t(samples.size()));
        ASSERT_EQ(found.Found.size(), truth.size());
        const double within = 0.005 * c.rate;
        for (std::size_t i = 0; i < truth.size(); ++i) {
            EXPECT_NEAR(found.Found[i].Start, truth[i].Start, within) << i;
            EXPECT_NEAR(found.Found[i].End, truth[i].End, within) << i;
        }
        const auto audio = decoder.Open(files.OpenSource(path), AudioDecoder::Length::Stated);
        SilenceSweep sweep(*audio, rule);
        std::vector<Silence> swept;
        while (!sweep.Done()) std::ranges::copy(sweep.Next(c.rate / 4), std::back_inserter(swept));
        EXPECT_EQ(swept, found.Found);
        if (c.silences != 3) continue;
        const Silence across = found.Found[1];
        const std::int64_t middle = found.Length / 2;
        EXPECT_TRUE(across.Start < middle && across.End > middle);
        EXPECT_EQ(FindSilences(*audio, 0, found.Length, rule), found.Found);
        EXPECT_EQ(FindSilences(*audio, middle, found.Length, rule),
                  (std::vector<Silence>{{middle, across.End}, found.Found[2]}));
        EXPECT_EQ(FindSilences(*audio, across.End - c.rate / 4, found.Length, rule),
                  std::vector<Silence>{found.Found[2]});
    }

    // Damaged before its second pause, a frame of the speech is lost (zeroed whole) or
    // decodes in another format (a false header: mono made stereo, or another rate): the
    // silences are found on past the damage, where mpg123 plays them (in place, a frame in
    // another format given as silence), and the damage is counted.
    const std::string spoken = folder.path + "/speech-cbr.mp3";
    const Bytes intact = ReadFile(spoken);
    const FileSilences undamaged = FindSilences(decoder, files, spoken, rule);
    std::vector<ChainFrame> frames;
    {
        MemorySource source(intact);
        BlockReader reader(source);
        FileInformation info;
        WalkFrameChain(reader, info, [&](const ChainFrame& frame) {
            frames.push_back(frame);
            return true;
        });
    }
    const ChainFrame& hit = frames[frames.size() * 3 / 8];
    const auto at = std::size_t(hit.Offset);
    const struct {
        const char* name;
        std::uint8_t byte2, byte3;  // the damaged header's third and fourth bytes
        bool lost;
    } damages[] = {
        {"a frame zeroed", 0, 0, true},
        {"a false stereo header", intact[at + 2], std::uint8_t(intact[at + 3] & 0x3F), false},
        {"a false 48 kHz header", std::uint8_t((intact[at + 2] & 0xF3) | 0x04), intact[at + 3],
         false},
    };
    for (const auto& damage : damages) {
        SCOPED_TRACE(damage.name);
        Bytes damaged = intact;
        if (damage.lost) {
            std::fill_n(damaged.begin() + std::ptrdiff_t(at), hit.Frame.FrameLength, 0);
        } else {
            damaged[at + 2] = damage.byte2;
            damaged[at + 3] = damage.byte3;
        }
        const std::string path = folder.Write("damaged.mp3", damaged);
        const FileSilences found = FindSilences(decoder, files, path, rule);
        EXPECT_GE(found.Damaged, damage.lost ? 1 : 1152);
        if (damage.lost) {
            const std::vector<std::int16_t> played = Decode(path, "mpg123 --gapless -s").samples;
            EXPECT_EQ(found.Found, QuietStretches(played, 1, 44100, rule));
            continue;
        }
        ASSERT_EQ(found.Found.size(), undamaged.Found.size());
        for (std::size_t i = 0; i < found.Found.size(); ++i) {
            EXPECT_NEAR(found.Found[i].Start, undamaged.Found[i].Start, 1152) << i;
            EXPECT_NEAR(found.Found[i].End, undamaged.Found[i].End, 1152) << i;
        }
    }

    // Stopped once the second half has begun.
    std::atomic<bool> stopping = false;
    WatchedFiles watched(files, stopping, [&, self = std::this_thread::get_id()](auto, auto) {
        if (std::this_thread::get_id() != self) stopping = true;
    });
    EXPECT_THROW(FindSilences(decoder, watched, folder.path + "/speech-cbr.mp3"), WorkStopped);
}

// The real decoder, but for glances a step of rounding off wherever that could mislead: a
// quiet sample one step further from zero, a loud one a step nearer.
class MisleadingGlances final : public AudioDecoder {
  public:
    MisleadingGlances(AudioDecoder& decoder, const SilenceRule& rule)
        : decoder_(decoder), limit_(32768 * std::pow(10.0, rule.ThresholdDb / 20)) {}
    std::optional<std::string> Unavailable() override { return decoder_.Unavailable(); }
    std::unique_ptr<DecodedAudio> Open(std::unique_ptr<SourceFile> file, Length length,
                                       const WalkedFrames& walked) override {
        return std::make_unique<Audio>(decoder_.Open(std::move(file), length, walked), limit_);
    }

  private:
    class Audio final : public DecodedAudio {
      public:
        Audio(std::unique_ptr<DecodedAudio> audio, double limit)
            : audio_(std::move(audio)), limit_(limit) {}
        std::int32_t Rate() const override { return audio_->Rate(); }
        std::int32_t Channels() const override { return audio_->Channels(); }
        std::int64_t Length() const override { return audio_->Length(); }
        std::int64_t Damaged() const override { return audio_->Damaged(); }
        void ExpectSeeks() override { audio_->ExpectSeeks(); }
        std::vector<std::int16_t> Read(std::int64_t from, std::int64_t count) override {
            return audio_->Read(from, count);
        }
        std::vector<std::int16_t> Glance(std::int64_t from, std::int64_t count) override {
            std::vector<std::int16_t> samples = audio_->Read(from, count);
            for (std::int16_t& sample : samples) {
                const int away = std::abs(sample) < limit_ ? 1 : -1;
                if (sample != 0 && std::abs(sample) < 32767) {
                    sample = std::int16_t(sample + (sample > 0 ? away : -away));
                }
            }
            return samples;
        }

      private:
        std::unique_ptr<DecodedAudio> audio_;
        double limit_;
    };
    AudioDecoder& decoder_;
    double limit_;
};

// Speech with pauses about the least length of a silence, about as long as the stretch
// between two probes, that lame, ffmpeg and sox put into MPEG 1, 2 and 2.5, mono and stereo,
// and a tone with sharp gaps, have their silences exactly where mpg123's gapless decoding has
// them, sample for sample, however the probes and seeks fall: with glances a step of rounding
// off wherever that could mislead too, and under rules whose least length is just that of
// one of them, a sample longer, or a little shorter or longer.
TEST(Silences, LieWhereMpg123PlaysThemWhereverProbesFall) {
    if (!HaveMpg123() || !Have("espeak-ng") || !Have("sox") || !Have("ffmpeg")) {
        GTEST_SKIP() << "mpg123, espeak-ng, sox or ffmpeg is not installed";
    }
    const TempFolder folder;
    SpeakWithPauses(folder.path, "speech.wav", {0.49, 0.5, 0.51, 0.45, 0.55, 0.56, 0.9}, 3);
    // A tone that stops sharply for 0.6 s, 48 times, each time a little later in a frame:
    // no quiet leads up to its silences.
    std::string tones = "cd '" + folder.path + "' && sox -n -r 22050 -c 1 gap.wav trim 0 0.6";
    for (int i = 0; i < 48; ++i) {
        tones += " && sox -n -r 22050 -c 1 tone" + std::to_string(i) + ".wav synth " +
                 std::to_string(0.2 + 0.0131 * i) + " sine 440 vol 0.5";
    }
    tones += " && sox";
    for (int i = 0; i < 48; ++i) tones += " tone" + std::to_string(i) + ".wav gap.wav";
    ASSERT_TRUE(RunCommand(tones + " tone0.wav gaps.wav").ran);
    const SilenceRule rule;
    const struct {
        const char* name;
        std::string encode;
    } cases[] = {
        {"MPEG 1", "lame --quiet --resample 44.1 -b 96 speech.wav"},
        {"MPEG 2 VBR", "lame --quiet -V 5 speech.wav"},
        {"MPEG 2.5 8 kHz", "lame --quiet --resample 8 -b 16 speech.wav"},
        {"MPEG 2 stereo by ffmpeg",
         "ffmpeg -v error -i speech.wav -ac 2 -ar 24000 -c:a libmp3lame -b:a 64k"},
        {"MPEG 2.5 by sox", "sox speech.wav -r 11025 -C 24"},
        {"a tone in MPEG 1", "lame --quiet --resample 32 -b 64 gaps.wav"},
        {"a tone in MPEG 2.5", "lame --quiet --resample 8 -b 24 gaps.wav"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.path + "/encoded.mp3";
        ASSERT_TRUE(RunCommand("cd '" + folder.path + "' && rm -f encoded.mp3 && " + c.encode +
                               " encoded.mp3")
                        .ran);
        const Decoded played = Decode(path, "mpg123 --gapless -s");
        const auto audio = decoder.Open(files.OpenSource(path), AudioDecoder::Length::Stated);
        const int channels = audio->Channels(), rate = audio->Rate();
        const std::vector<Silence> truth = QuietStretches(played.samples, channels, rate, rule);
        ASSERT_GE(truth.size(), 12u);
        EXPECT_EQ(FindSilences(decoder, files, path, rule).Found, truth);
        MisleadingGlances misleading(decoder, rule);
        EXPECT_EQ(FindSilences(misleading, files, path, rule).Found, truth);
        // Rules as long as a silence of middling length, a sample longer, and some hundredths
        // of a second shorter or longer: the probes lie otherwise for each.
        std::vector<Silence> ordered = truth;
        std::ranges::sort(ordered, {},
                          [](const Silence& silence) { return silence.End - silence.Start; });
        const Silence middling = ordered[ordered.size() / 2];
        const double seconds = double(middling.End - middling.Start) / rate;
        for (const double length : {seconds, seconds + 1.0 / rate, seconds - 0.04, seconds - 0.02,
                                    seconds + 0.02, seconds + 0.04}) {
            const SilenceRule just{rule.ThresholdDb, length};
            const std::vector<Silence> kept = QuietStretches(played.samples, channels, rate, just);
            EXPECT_EQ(std::ranges::count(kept, middling), length > seconds ? 0 : 1);
            EXPECT_EQ(FindSilences(decoder, files, path, just).Found, kept) << length;
        }
    }
}

// The companion's verify judges a pair it did not make by what mpg123 plays: ffmpeg cuts
// between frames too, and misses samples besides.
TEST(Verify, JudgesAPairCutByFfmpeg) {
    if (!HaveMpg123() || !Have("ffmpeg")) GTEST_SKIP() << "mpg123 or ffmpeg is not installed";
    const std::string path = std::string(QUORVEL_FIXTURES) + "/vbr.mp3";
    const TempFolder folder;
    const std::string first = folder.path + "/first.mp3", second = folder.path + "/second.mp3";
    ASSERT_TRUE(RunCommand("ffmpeg -v error -i '" + path + "' -t 2 -c copy '" + first + "'").ran);
    ASSERT_TRUE(RunCommand("ffmpeg -v error -ss 2 -i '" + path + "' -c copy '" + second + "'").ran);
    const Said verified = Verify(path, first, second);
    EXPECT_EQ(verified.text, SeamLines(path, first, second, 2, 44100));
    EXPECT_EQ(verified.exitCode, 1);
}

// A file system of `type`, made by `make` in an image file and mounted through a loop
// device for as long as this lives; where it cannot be, Why() says why.
class LoopMount {
  public:
    LoopMount(const std::string& type, const std::string& make) {
        const std::string tool = make.substr(0, make.find(' '));
        if (::geteuid() != 0) {
            why_ = "mounting a loop device takes root";
        } else if (!Have(tool.c_str())) {
            why_ = tool + " is not installed";
        } else if (const std::string image = image_.path + "/image", at = image_.path + "/mount";
                   !RunCommand("mkdir '" + at + "' && truncate -s 320M '" + image + "' && " + make +
                               " '" + image + "' && mount -t " + type + " -o loop '" + image +
                               "' '" + at + "'")
                        .ran) {
            why_ = "no " + type + " file system could be made and mounted";
        } else {
            path_ = at;
        }
    }
    ~LoopMount() {
        // A mount left behind would outlive the image's folder.
        if (!path_.empty()) {
            EXPECT_TRUE(RunCommand("umount '" + path_ + "'").ran) << path_;
        }
    }
    LoopMount(const LoopMount&) = delete;
    LoopMount& operator=(const LoopMount&) = delete;

    const std::string& Path() const { return path_; }
    const std::string& Why() const { return why_; }

  private:
    TempFolder image_;
    std::string path_;
    std::string why_;
};

// The bytes of a file that lie in extents it shares with another file, as the file system
// reports them once it has written them out.
std::int64_t SharedBytes(const std::string& path) {
    constexpr std::size_t kExtents = 256;
    std::vector<std::uint8_t> buffer(sizeof(fiemap) + kExtents * sizeof(fiemap_extent));
    auto* map = reinterpret_cast<fiemap*>(buffer.data());
    map->fm_length = FIEMAP_MAX_OFFSET;
    map->fm_flags = FIEMAP_FLAG_SYNC;
    map->fm_extent_count = kExtents;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const bool mapped = fd >= 0 && ::ioctl(fd, FS_IOC_FIEMAP, map) == 0;
    if (fd >= 0) ::close(fd);
    EXPECT_TRUE(mapped) << path;
    std::int64_t shared = 0;
    for (std::uint32_t i = 0; mapped && i < map->fm_mapped_extents; ++i) {
        const fiemap_extent& extent = map->fm_extents[i];
        if (extent.fe_flags & FIEMAP_EXTENT_SHARED) shared += std::int64_t(extent.fe_length);
    }
    return std::min<std::int64_t>(shared, std::int64_t(std::filesystem::file_size(path)));
}

// A file's bytes after its ID3v2 tag.
Bytes AfterTag(const std::string& path) {
    const Bytes bytes = ReadFile(path);
    MemorySource source(bytes);
    return Slice(bytes, FindTags(source).Id3v2Length, std::int64_t(bytes.size()));
}

// On a file system whose files share blocks (XFS, btrfs), the parts of a split in two, by the
// frame rule and at a sample, and those of a split into parts share the source's whole
// blocks that they copy: all but a few of theirs. Only their tags' padding tells them from
// the parts the same split copies onto another file system, which are the parts planned
// without sharing: they hold the same audio, decode to the same samples, and read the same
// in ffprobe, mp3val and TagLib; the seam check finds the same.
TEST(SharedBlocks, PartsShareTheSourcesBlocksAndPlayAsCopiedOnes) {
    for (const char* tool : {"mpg123", "ffprobe", "mp3val"}) {
        if (!Have(tool)) GTEST_SKIP() << tool << " is not installed";
    }
    std::string skipped;
    for (const auto& [type, make] :
         {std::pair<std::string, std::string>{"xfs", "mkfs.xfs -q -m reflink=1"},
          {"btrfs", "mkfs.btrfs -q"}}) {
        SCOPED_TRACE(type);
        const LoopMount mount(type, make);
        if (!mount.Why().empty()) {
            skipped += (skipped.empty() ? "" : "; ") + type + ": " + mount.Why();
            continue;
        }
        for (const char* name : {"chapters", "cbr128"}) {
            SCOPED_TRACE(name);
            const std::string path = mount.Path() + "/" + name + ".mp3";
            std::filesystem::copy_file(std::string(QUORVEL_FIXTURES) + "/" + name + ".mp3", path);
            const std::vector<std::string> known = Mp3valComplaints(path);
            struct Split {
                const char* what;
                bool exact;
                const char* second;  // a split in two; none: parts at 1.5 s and 3 s
            };
            for (const Split& split :
                 {Split{"by the frame rule", false, "2"}, Split{"at a sample", true, "2.5"},
                  Split{"into parts", true, nullptr}}) {
                SCOPED_TRACE(split.what);
                const TempFolder copied;
                const std::string shared = mount.Path() + "/" + split.what;
                std::filesystem::create_directory(shared);
                std::vector<std::string> logs;
                for (const std::string& folder : {shared, copied.path}) {
                    FakeForm window;
                    window.texts = {{Control::txtMP3, path},
                                    {Control::txtToFolder, folder},
                                    {Control::txtSplitMinute, "0"},
                                    {Control::txtSplitSecond, split.second ? split.second : ""}};
                    window.exact = split.exact;
                    ASSERT_EQ(AnalyseSourceFile(window, files), AnalysisOutcome::FramesFound);
                    PartsRequest request;
                    request.Times.At = {std::chrono::milliseconds(1500),
                                        std::chrono::milliseconds(3000)};
                    request.Labels = {true, {"One", "Two"}, {}};
                    ASSERT_EQ(split.second ? SplitFile(window, files, tags, decoder)
                                           : SplitIntoParts(window, files, tags, decoder, request),
                              SplitOutcome::Completed)
                        << window.log;
                    const auto seam = window.log.find("\r\nSeam check");
                    logs.push_back(window.log.substr(seam, window.log.find("\r\n=", seam) - seam));
                }
                EXPECT_EQ(logs[0], logs[1]);
                const std::set<std::string> names = copied.Names();
                ASSERT_EQ(names.size(), split.second ? 2u : 3u);
                for (const std::string& part : names) {
                    SCOPED_TRACE(part);
                    const std::string one = shared + "/" + part, other = copied.path + "/" + part;
                    struct stat info {};
                    ASSERT_EQ(::stat(one.c_str(), &info), 0);
                    const std::int64_t block = info.st_blksize;
                    const auto size = std::int64_t(std::filesystem::file_size(one));
                    EXPECT_GE(SharedBytes(one), std::max(block, (size / block - 4) * block));
                    EXPECT_EQ(SharedBytes(other), 0);
                    EXPECT_TRUE(AfterTag(one) == AfterTag(other));
                    EXPECT_TRUE(Decode(one, "mpg123 --gapless -s").samples ==
                                Decode(other, "mpg123 --gapless -s").samples);
                    for (const std::string& complaint : Mp3valComplaints(one)) {
                        EXPECT_TRUE(std::find(known.begin(), known.end(), complaint) != known.end())
                            << "mp3val " << complaint;
                    }
                    EXPECT_EQ(ProbedSeconds(one), ProbedSeconds(other));
                    for (const char* tag : {"title", "track", "TLEN"}) {
                        EXPECT_EQ(ProbedTag(one, tag), ProbedTag(other, tag)) << tag;
                    }
                    ExpectChapters(ReadChapters(one), ReadChapters(other));
                }
                if (split.second) {
                    const std::string base = copied.path + "/" + name;
                    ExpectPlannedAsWritten(path, std::llround(std::stod(split.second) * 1000),
                                           split.exact, base + "1.mp3", base + "2.mp3");
                }
            }
        }
    }
    if (!skipped.empty()) GTEST_SKIP() << skipped;
}

// The safe rule at two times on every fixture but the one without an Info frame (where
// safe cuts are rare).
std::vector<SplitCase> SplitCases() {
    std::vector<SplitCase> cases;
    for (const Fixture& fixture : kFixtures) {
        if (fixture.name == std::string("noinfo")) continue;
        for (const int second : {2, 3}) cases.push_back({fixture, second});
    }
    return cases;
}

std::string FixtureName(const testing::TestParamInfo<Fixture>& param) {
    return param.param.name;
}

// The fixtures whose Info frame the analysis is checked against.
std::vector<Fixture> WithInfoFrames() {
    std::vector<Fixture> fixtures;
    for (const Fixture& fixture : kFixtures) {
        // A file cut short holds fewer frames than its Info frame states.
        if (InfoFrameCount(ReadFile(FixturePath(fixture))) > 0 &&
            fixture.name != std::string("truncated")) {
            fixtures.push_back(fixture);
        }
    }
    return fixtures;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RealFiles, testing::ValuesIn(WithInfoFrames()), FixtureName);
INSTANTIATE_TEST_SUITE_P(Fixtures, RealSplit, testing::ValuesIn(SplitCases()),
                         [](const testing::TestParamInfo<SplitCase>& param) {
                             return std::string(param.param.fixture.name) + "_at_0_" +
                                    std::to_string(param.param.second);
                         });

INSTANTIATE_TEST_SUITE_P(Fixtures, RealParts, testing::ValuesIn(PartsCases()),
                         [](const testing::TestParamInfo<PartsCase>& param) {
                             return std::string(param.param.fixture.name) +
                                    (param.param.exact ? "_exactly" : "_by_the_frame_rule");
                         });
INSTANTIATE_TEST_SUITE_P(Fixtures, SampleExactSplit, testing::ValuesIn(ExactCases()),
                         [](const testing::TestParamInfo<ExactCase>& param) {
                             std::string second = param.param.second;
                             std::replace(second.begin(), second.end(), '.', '_');
                             return std::string(param.param.fixture.name) + "_at_0_" + second;
                         });

}  // namespace
}  // namespace quorvel
