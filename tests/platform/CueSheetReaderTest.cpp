// Cue sheets as users bring them, read through libcue and checked against a source ten
// minutes long named album.mp3.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "TestFiles.h"
#include "engine/CueSheet.h"
#include "platform/CueSheetReader.h"

namespace quorvel {
namespace {

// A sheet of `count` tracks five seconds apart: FILE on line 1, then each track's TRACK,
// TITLE and INDEX 01 lines.
std::string ManyTracks(int count) {
    std::string sheet = "FILE \"album.mp3\" MP3\n";
    for (int i = 0; i < count; ++i) {
        char track[96];
        std::snprintf(track, sizeof track,
                      "  TRACK %02d AUDIO\n    TITLE \"T%d\"\n    INDEX 01 %02d:%02d:00\n", i + 1,
                      i + 1, i * 5 / 60, i * 5 % 60);
        sheet += track;
    }
    return sheet;
}

std::vector<std::string> ManyTracksRead(int count) {
    std::vector<std::string> tracks;
    for (int i = 0; i < count; ++i) {
        tracks.push_back(std::to_string(i * 5 * 75) + " T" + std::to_string(i + 1) + " /  " +
                         std::to_string(4 + 3 * i));
    }
    return tracks;
}

TEST(CueSheet, ReadsWhatUsersBringAndRefusesWhatCannotBeCut) {
    struct Case {
        const char* name;
        std::optional<std::string> sheet;      // none: no file at all
        std::string refused;                   // the refusal, "$" standing for the sheet's path
        std::vector<std::string> tracks = {};  // frames, title, "/" performer, line
        std::string warning = {};
    };
    const std::string longTitle(1100, 'x');
    const Case cases[] = {
        {"CRLF, REM lines, a pregap, frames and the sheet's performer",
         "REM GENRE Rock\r\nREM COMMENT \"TRACK 05 AUDIO\"\r\nPERFORMER \"Band\"\r\n"
         "TITLE \"Album\"\r\nFILE \"album.mp3\" MP3\r\n  TRACK 01 AUDIO\r\n"
         "    TITLE \"Straße\"\r\n    INDEX 01 00:00:00\r\n  TRACK 02 AUDIO\r\n"
         "    TITLE \"Two\"\r\n    PERFORMER \"Guest\"\r\n    INDEX 00 01:00:00\r\n"
         "    INDEX 01 01:02:74\r\n",
         "",
         {"0 Straße / Band 8", "4724 Two / Guest 13"}},
        {"Latin-1 with Windows' quotes, a Windows path and no last line feed",
         "FILE \"C:\\Rips\\ALBUM.MP3\" MP3\nTRACK 01 AUDIO\nTITLE \"\xC4rger\"\n"
         "PERFORMER \"Caf\xE9 Don\x92t\"\nINDEX 01 00:00:00\nTRACK 02 AUDIO\n"
         "TITLE \"\xE9t\xE9\"\nINDEX 01 09:59:74",
         "",
         {"0 Ärger / Café Don’t 5", "44999 été /  8"}},
        {"UTF-8 with a byte order mark",
         "\xEF\xBB\xBF"
         "FILE \"album.mp3\" MP3\nTRACK 01 AUDIO\nTITLE \"Über\"\nINDEX 01 00:00:00\n",
         "",
         {"0 Über /  4"}},
        {"another audio file named",
         "FILE \"other.mp3\" MP3\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n",
         "",
         {"0  /  3"},
         "The cue sheet is for other.mp3, not for album.mp3: its times may not fit this file."},
        {"99 tracks", ManyTracks(99), "", ManyTracksRead(99)},
        {"100 tracks", ManyTracks(100),
         "Line 299 of the cue sheet: a cue sheet holds at most 99 tracks."},
        {"unsorted times",
         "FILE \"album.mp3\" MP3\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\n"
         "INDEX 01 03:00:00\nTRACK 03 AUDIO\nINDEX 01 02:59:74\n",
         "Line 7 of the cue sheet: 02:59:74 comes before 03:00:00 on line 5; the tracks must "
         "follow in time."},
        {"a time twice",
         "FILE \"album.mp3\" MP3\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\n"
         "INDEX 01 03:00:00\nTRACK 03 AUDIO\nINDEX 01 03:00:00\n",
         "Line 7 of the cue sheet: 03:00:00 is also the start on line 5; each track needs a "
         "start of its own."},
        {"a time at the end",
         "FILE \"album.mp3\" MP3\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\n"
         "INDEX 01 10:00:00\n",
         "Line 5 of the cue sheet: 10:00:00 is at or past the end of the MP3 file, which is "
         "10:00:00 long."},
        {"75 frames",
         "FILE \"album.mp3\" MP3\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\n"
         "  INDEX 01 01:02:75\n",
         "Line 5 of the cue sheet: INDEX 01 01:02:75 does not give the time as mm:ss:ff, in "
         "minutes, seconds and frames (75 a second)."},
        {"a negative time",
         "FILE \"album.mp3\" MP3\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\n"
         "INDEX 01 -01:00:00\n",
         "Line 5 of the cue sheet: INDEX 01 -01:00:00 does not give the time as mm:ss:ff, in "
         "minutes, seconds and frames (75 a second)."},
        {"a sign on the seconds", "FILE \"album.mp3\" MP3\nTRACK 01 AUDIO\nINDEX 01 00:+1:00\n",
         "Line 3 of the cue sheet: INDEX 01 00:+1:00 does not give the time as mm:ss:ff, in "
         "minutes, seconds and frames (75 a second)."},
        {"minutes that overflow a count of frames",
         "FILE \"album.mp3\" MP3\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\n"
         "INDEX 01 4294967296:00:00\n",
         "Line 5 of the cue sheet: INDEX 01 4294967296:00:00 does not give the time as "
         "mm:ss:ff, in minutes, seconds and frames (75 a second)."},
        {"a negative pregap",
         "FILE \"album.mp3\" MP3\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\n"
         "INDEX 00 -00:02:00\nINDEX 01 01:00:00\n",
         "Line 5 of the cue sheet: INDEX 00 -00:02:00 does not give the time as mm:ss:ff, in "
         "minutes, seconds and frames (75 a second)."},
        {"no INDEX 01",
         "FILE \"album.mp3\" MP3\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\n"
         "INDEX 00 01:00:00\n",
         "Line 4 of the cue sheet: the track has no INDEX 01, which gives its start."},
        {"two audio files",
         "FILE \"album.mp3\" MP3\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nFILE \"b.mp3\" MP3\n"
         "TRACK 02 AUDIO\nINDEX 01 00:00:00\n",
         "Line 5 of the cue sheet: the track is in another audio file, b.mp3; the sheet must "
         "be for one file."},
        {"a quotation mark never closed",
         "FILE \"album.mp3\" MP3\nTRACK 01 AUDIO\nTITLE \"Open\nINDEX 01 00:00:00\n"
         "TRACK 02 AUDIO\nTITLE \"Two\"\nINDEX 01 01:00:00\n",
         "$ cannot be read as a cue sheet."},
        {"a TRACK line without its mode", "FILE \"album.mp3\" MP3\nTRACK 01\nINDEX 01 00:00:00\n",
         "$ cannot be read as a cue sheet."},
        {"a title that fills libcue's buffer",
         "FILE \"album.mp3\" MP3\nTRACK 01 AUDIO\nTITLE " + longTitle + "\nINDEX 01 00:00:00\n",
         "Line 3 of the cue sheet is too long."},
        {"no file", std::nullopt, "Cannot read the cue sheet $: No such file or directory."},
        {"an empty file", "", "The cue sheet $ lists no tracks."},
        {"an MP3 file", std::string("ID3\x04\0\0\0\0\0\0\xFF\xFB\x90\x64", 14),
         "$ cannot be read as a cue sheet."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const test::TempFolder folder;
        const std::string path = folder.path + "/album.cue";
        if (c.sheet) std::ofstream(path, std::ios::binary) << *c.sheet;
        std::string refused = c.refused;
        if (const auto at = refused.find('$'); at != std::string::npos) {
            refused.replace(at, 1, path);
        }

        const std::variant<CueSheet, Message> read = platform::ReadCueSheet(path);
        const CueSheet* sheet = std::get_if<CueSheet>(&read);
        const std::optional<Message> refusal =
            sheet ? CheckCueTracks(*sheet, 600000) : std::get<Message>(read);
        EXPECT_EQ(refusal ? English(*refusal) : "", refused);
        if (refusal) continue;
        std::vector<std::string> tracks;
        for (const CueTrack& track : sheet->Tracks) {
            tracks.push_back(std::to_string(track.StartFrames) + " " + track.Title + " / " +
                             track.Performer + " " + std::to_string(track.Line));
        }
        EXPECT_EQ(tracks, c.tracks);
        const auto warning = CheckCueAudioFile(*sheet, folder.path + "/album.mp3");
        EXPECT_EQ(warning ? English(*warning) : "", c.warning);
    }
}

// What is no regular file in the sheet's place is refused before it is read: a named pipe
// is not waited on for a writer that never comes.
TEST(CueSheet, WhatIsNoFileIsRefusedNotWaitedOn) {
    const test::TempFolder folder;
    const std::string pipe = folder.path + "/album.cue";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const auto read = platform::ReadCueSheet(pipe);
    ASSERT_TRUE(std::holds_alternative<Message>(read));
    EXPECT_EQ(English(std::get<Message>(read)),
              "Cannot read the cue sheet " + pipe + ": it is a named pipe.");
    const auto inFolder = platform::ReadCueSheet(folder.path);
    ASSERT_TRUE(std::holds_alternative<Message>(inFolder));
    EXPECT_EQ(English(std::get<Message>(inFolder)),
              "Cannot read the cue sheet " + folder.path + ": it is a folder.");
}

}  // namespace
}  // namespace quorvel
