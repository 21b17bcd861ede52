#include "platform/CueSheetReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/DesktopServices.h"

namespace quorvel::platform {
namespace {

// Far more than a sheet of 99 tracks needs: a larger file is something else, and is not read
// whole.
constexpr std::size_t kLargestSheet = 1 << 20;
// libcue copies each word into a buffer of 1024 bytes, and writes past its end for a word
// that fills it; no word of a shorter line can.
constexpr std::size_t kLongestLine = 1023;
// A disc's tracks, and so a cue sheet's; libcue puts the last of any more in the 99th's
// place.
constexpr std::size_t kMostTracks = 99;

// Reads up to one byte more than `limit` of the file into `text`; why not where it cannot.
std::optional<Message> ReadText(const std::string& path, std::size_t limit, std::string& text) {
    // Without waiting, so that a named pipe in the sheet's place cannot hold the program,
    // and read only as a regular file.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return Message(std::strerror(errno));
    struct stat info {};
    const bool stated = ::fstat(fd, &info) == 0;
    const int error = errno;
    if (!stated || !S_ISREG(info.st_mode)) {
        ::close(fd);
        if (!stated) return Message(std::strerror(error));
        if (S_ISDIR(info.st_mode)) return Tr("Files", "it is a folder");
        if (S_ISFIFO(info.st_mode)) return Tr("Files", "it is a named pipe");
        return Tr("Files", "it is not a regular file");
    }
    text.resize(limit + 1);
    std::size_t size = 0;
    while (size < text.size()) {
        const ssize_t read = ::read(fd, text.data() + size, text.size() - size);
        if (read < 0 && errno == EINTR) continue;
        if (read < 0) {
            const int failure = errno;
            ::close(fd);
            return Message(std::strerror(failure));
        }
        if (read == 0) break;
        size += std::size_t(read);
    }
    ::close(fd);
    text.resize(size);
    return std::nullopt;
}

// Whether the bytes are UTF-8: each sequence complete and in its shortest form, no surrogate
// and nothing past U+10FFFF.
bool IsUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const std::size_t length = lead < 0x80                   ? 1
                                   : lead >= 0xC2 && lead < 0xE0 ? 2
                                   : lead >= 0xE0 && lead < 0xF0 ? 3
                                   : lead >= 0xF0 && lead < 0xF5 ? 4
                                                                 : 0;
        if (length == 0 || length > text.size() - at) return false;
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t i = 1; i < length; ++i) {
            const auto next = static_cast<unsigned char>(text[at + i]);
            if ((next & 0xC0) != 0x80) return false;
            code = code << 6 | (next & 0x3F);
        }
        if ((length == 3 && (code < 0x800 || (code >= 0xD800 && code < 0xE000))) ||
            (length == 4 && (code < 0x10000 || code > 0x10FFFF))) {
            return false;
        }
        at += length;
    }
    return true;
}

// The text in UTF-8 from Windows' Latin-1 (code page 1252), in which Windows programs write
// cue sheets: Latin-1 with printable characters in place of most of its controls 0x80 to 0x9F.
std::string FromWindowsLatin1(std::string_view text) {
    static constexpr char16_t kControls[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::string utf8;
    for (const char byte : text) {
        const auto value = static_cast<unsigned char>(byte);
        const char16_t code = value >= 0x80 && value < 0xA0 ? kControls[value - 0x80] : value;
        if (code < 0x80) {
            utf8 += char(code);
        } else if (code < 0x800) {
            utf8 += {char(0xC0 | code >> 6), char(0x80 | (code & 0x3F))};
        } else {
            utf8 += {char(0xE0 | code >> 12), char(0x80 | (code >> 6 & 0x3F)),
                     char(0x80 | (code & 0x3F))};
        }
    }
    return utf8;
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    for (std::size_t at = line.find_first_not_of(" \t\r"); at != std::string_view::npos;) {
        const std::size_t end = std::min(line.find_first_of(" \t\r", at), line.size());
        words.push_back(line.substr(at, end - at));
        at = line.find_first_not_of(" \t\r", end);
    }
    return words;
}

// Keywords in any case: libcue reads them so from version 2.3 on. Version 2.2 reads only
// capitals, and its tracks then differ from those the reader finds.
bool IsKeyword(std::string_view word, std::string_view keyword) {
    return word.size() == keyword.size() &&
           std::equal(word.begin(), word.end(), keyword.begin(), [](char a, char b) {
               return (a >= 'a' && a <= 'z' ? char(a - 'a' + 'A') : a) == b;
           });
}

// Whether the INDEX number is 1, as libcue reads it: digits only.
bool IsFirstIndex(std::string_view word) {
    const std::size_t digit = word.find_first_not_of('0');
    return digit != std::string_view::npos && word.substr(digit) == "1";
}

// Whether the word is a time as mm:ss:ff, each part digits alone. libcue also takes a bare
// count of frames, seconds or frames past their range and a sign (of which it keeps only
// the digits: -01:00:00 is a minute to it), and counts frames in an int, which minutes
// past 477217 overflow.
bool IsCueTime(std::string_view word) {
    const int below[] = {100000, 60, int(kCueFramesPerSecond)};
    for (std::size_t part = 0; part < 3; ++part) {
        const std::size_t end = part < 2 ? word.find(':') : word.size();
        if (end == std::string_view::npos || end == 0 ||
            word.find_first_not_of("0123456789") < end) {
            return false;
        }
        int value = 0;
        const auto [stop, error] = std::from_chars(word.data(), word.data() + end, value);
        if (error != std::errc() || stop != word.data() + end || value >= below[part]) {
            return false;
        }
        word.remove_prefix(std::min(end + 1, word.size()));
    }
    return true;
}

// What the module gives, freed as it asks.
struct ParsedTracks {
    QuorvelCueTrack* tracks = nullptr;
    std::size_t count = 0;

    ParsedTracks() = default;
    ParsedTracks(const ParsedTracks&) = delete;
    ParsedTracks& operator=(const ParsedTracks&) = delete;
    ~ParsedTracks() {
        for (std::size_t i = 0; tracks && i < count; ++i) {
            std::free(tracks[i].title);
            std::free(tracks[i].performer);
            std::free(tracks[i].file);
        }
        std::free(tracks);
    }
};

std::string Text(const char* text) {
    return text ? text : "";
}

}  // namespace

std::variant<CueSheet, Message> ReadCueSheet(const std::string& path) {
    const auto cannotRead = [&path](const Message& why) {
        return Tr("CueSheet", "Cannot read the cue sheet %1: %2.").Arg(path).Arg(why);
    };
    const auto unreadable = [&path] {
        return Tr("CueSheet", "%1 cannot be read as a cue sheet.").Arg(path);
    };
    std::string text;
    if (const auto why = ReadText(path, kLargestSheet, text)) return cannotRead(*why);
    // A NUL would end libcue's text early.
    if (text.size() > kLargestSheet || text.find('\0') != std::string::npos) return unreadable();
    // A byte order mark is no part of the first line (libcue takes it for three stray
    // characters).
    if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
    if (!IsUtf8(text)) text = FromWindowsLatin1(text);
    // libcue (2.2) refuses a last line without its line feed.
    if (!text.empty() && text.back() != '\n') text += '\n';

    // libcue tells no line numbers: each track's TRACK and INDEX 01 lines are found here,
    // with what libcue does not guard against.
    std::vector<int> trackLines, indexLines;
    int number = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        const std::string_view line(text.data() + at, end - at);
        at = end + 1;
        ++number;
        if (line.size() > kLongestLine) {
            return Tr("CueSheet", "Line %1 of the cue sheet is too long.").Arg(number);
        }
        const std::vector<std::string_view> words = Words(line);
        if (words.empty()) continue;
        if (IsKeyword(words[0], "TRACK")) {
            if (trackLines.size() == kMostTracks) {
                return Tr("CueSheet",
                          "Line %1 of the cue sheet: a cue sheet holds at most 99 tracks.")
                    .Arg(number);
            }
            trackLines.push_back(number);
            indexLines.push_back(0);
        } else if (IsKeyword(words[0], "INDEX") && words.size() > 1 && !trackLines.empty()) {
            // Every index's time, the pregap's too: libcue reads a time it should not take
            // as another one.
            if (words.size() != 3 || !IsCueTime(words[2])) {
                return Tr("CueSheet",
                          "Line %1 of the cue sheet: %2 does not give the time as mm:ss:ff, "
                          "in minutes, seconds and frames (75 a second).")
                    .Arg(number)
                    .Arg(std::string(words.front().data(),
                                     words.back().data() + words.back().size()));
            }
            if (IsFirstIndex(words[1])) indexLines.back() = number;
        }
    }
    if (trackLines.empty()) return Tr("CueSheet", "The cue sheet %1 lists no tracks.").Arg(path);
    for (std::size_t i = 0; i < trackLines.size(); ++i) {
        if (indexLines[i] == 0) {
            return Tr("CueSheet",
                      "Line %1 of the cue sheet: the track has no INDEX 01, which gives its start.")
                .Arg(trackLines[i]);
        }
    }

    std::string why;
    const QuorvelDesktopModule* module = DesktopModule(why);
    if (!module) return cannotRead(why);
    ParsedTracks parsed;
    parsed.tracks = module->ParseCueSheet(text.c_str(), &parsed.count);
    // libcue passes over lines it cannot read (a quotation mark never closed takes the lines
    // after it along): its tracks must be those the lines show.
    if (!parsed.tracks || parsed.count != trackLines.size()) return unreadable();
    CueSheet sheet;
    sheet.AudioFile = Text(parsed.tracks[0].file);
    for (std::size_t i = 0; i < parsed.count; ++i) {
        const QuorvelCueTrack& track = parsed.tracks[i];
        if (track.start < 0) return unreadable();
        // A FILE line between tracks starts another file, which the times that follow count
        // from.
        if (Text(track.file) != sheet.AudioFile) {
            return Tr("CueSheet",
                      "Line %1 of the cue sheet: the track is in another audio file, %2; the "
                      "sheet must be for one file.")
                .Arg(trackLines[i])
                .Arg(Text(track.file));
        }
        sheet.Tracks.push_back(
            {track.start, Text(track.title), Text(track.performer), indexLines[i]});
    }
    return sheet;
}

}  // namespace quorvel::platform
