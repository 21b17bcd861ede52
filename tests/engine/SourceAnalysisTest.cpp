#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "FakeForm.h"
#include "Frames.h"
#include "TestFiles.h"
#include "engine/SourceAnalysis.h"
#include "platform/LocalFileSystem.h"

namespace quorvel {
namespace {

// The files of this computer, as the window and the companion reach them.
platform::LocalFileSystem files;

using test::Bytes;
using test::Control;
using test::FakeForm;
using test::Frames;
using test::operator+;
using test::TempFolder;

class AnalyseSourceFileTest : public testing::Test {
  protected:
    AnalysisOutcome Analyse(const std::string& path) {
        window.texts[Control::txtMP3] = path;
        for (const auto field : kFields) window.texts[field] = "earlier";
        window.log = "earlier log";
        return AnalyseSourceFile(window, files);
    }
    std::vector<std::string> Fields() const {
        std::vector<std::string> texts;
        for (const auto field : kFields) texts.push_back(window.Text(field));
        return texts;
    }
    static std::string Log(const std::string& path) {
        return "Analysing chosen file " + path +
               "... Please wait for a few seconds.\r\nFile information updated.";
    }

    static constexpr Control kFields[] = {
        Control::txtSelectedFileSize, Control::txtSelectedType,   Control::txtSelectedBitRate,
        Control::txtSelectedSampling, Control::txtSelectedFrames, Control::txtSelectedDuration};
    TempFolder temp;
    FakeForm window;
    FileInformation info;
};

TEST_F(AnalyseSourceFileTest, FillsTheFieldsFromTheFrames) {
    const std::string path = temp.Write("song.mp3", Frames(100));
    EXPECT_EQ(Analyse(path), AnalysisOutcome::FramesFound);
    EXPECT_EQ(Fields(),
              (std::vector<std::string>{"0.04", "MPEG1 Layer 3", "128000", "44100", "100", "0:2"}));
    EXPECT_EQ(window.log, Log(path));
    EXPECT_TRUE(window.messages.empty());
    EXPECT_TRUE(window.focus.empty());

    // Two chained false syncs of MPEG 2.5 in junk before the audio and one cut short after
    // it are not the stream; a variable bit rate shows as its average.
    const Bytes falseSync{0xFF, 0xE3, 0x18, 0x44};
    const std::string junk =
        temp.Write("junk.mp3", Frames(2, falseSync, 72) + Bytes(3000, 0) + Frames(100) + falseSync);
    EXPECT_EQ(Analyse(junk), AnalysisOutcome::FramesFound);
    EXPECT_EQ(Fields()[1] + " " + Fields()[2] + " " + Fields()[3], "MPEG1 Layer 3 128000 44100");
    const std::string vbr =
        temp.Write("vbr.mp3", Frames(50) + Frames(50, {0xFF, 0xFB, 0x50, 0x64}, 208));
    EXPECT_EQ(Analyse(vbr), AnalysisOutcome::FramesFound);
    EXPECT_EQ(Fields()[2],
              std::to_string(std::llround((50 * 417 + 50 * 208) * 8 / (100 * 1152 / 44100.0))));
}

TEST_F(AnalyseSourceFileTest, ShowsFractionsWithTheUsersSeparator) {
    window.decimalSeparator = ",";
    const std::string path = temp.Write("low.mp3", Frames(100, {0xFF, 0xE3, 0x18, 0x44}, 72));
    EXPECT_EQ(Analyse(path), AnalysisOutcome::FramesFound);
    EXPECT_EQ(Fields(),
              (std::vector<std::string>{"0,007", "MPEG2,5 Layer 3", "8000", "8000", "100", "0:7"}));
}

TEST_F(AnalyseSourceFileTest, ReportsAFileWithoutFrames) {
    const std::pair<std::size_t, const char*> sizes[] = {
        {0, "0"}, {65536, "0.062"}, {1048576, "1"}};
    for (const auto& [size, text] : sizes) {
        SCOPED_TRACE(size);
        window = FakeForm();
        const std::string path = temp.Write("zeros.mp3", Bytes(size, 0));
        EXPECT_EQ(Analyse(path), AnalysisOutcome::NoFrames);
        EXPECT_EQ(Fields(), (std::vector<std::string>{text, "Unknown", "", "", "", ""}));
        EXPECT_EQ(window.messages,
                  std::vector<std::string>{
                      "File selected is not a valid MP3 file. Please select another."});
        EXPECT_EQ(window.focus, std::vector<Control>{Control::txtMP3});
        // The log says what became of this file, never that its information was updated.
        EXPECT_EQ(window.log, "Analysing chosen file " + path +
                                  "... Please wait for a few seconds.\r\nFile selected is not a "
                                  "valid MP3 file. Please select another.");
    }
}

TEST_F(AnalyseSourceFileTest, ClaimsNothingForAFileItCannotRead) {
    const std::pair<std::string, std::string> cases[] = {
        {"   ", "Please choose a source MP3 file to analyse."},
        {temp.path + "/missing.mp3",
         "Cannot read " + temp.path + "/missing.mp3: No such file or directory."},
        {temp.path, "Cannot read " + temp.path + ": it is a folder."},
    };
    for (const auto& [path, message] : cases) {
        SCOPED_TRACE(path);
        window = FakeForm();
        EXPECT_EQ(Analyse(path), AnalysisOutcome::Unreadable);
        EXPECT_EQ(Fields(), std::vector<std::string>(6));
        EXPECT_EQ(window.messages, std::vector<std::string>{message});
        EXPECT_EQ(window.focus, std::vector<Control>{Control::txtMP3});
        // The previous file's analysis leaves the log with its fields.
        EXPECT_EQ(window.log, message);
    }
}

}  // namespace
}  // namespace quorvel
