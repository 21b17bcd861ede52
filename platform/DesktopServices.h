#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/Message.h"
#include "engine/TagEditor.h"

// The desktop's libraries, GIO for the trash, TagLib for tags, libcue for cue sheets and Qt
// Core for the translations, take several times as long to load as
// the companion needs to start, so they live in a module of their own, libquorvel-desktop.so,
// loaded when first needed. The module loads libmpg123, for the seam check, only when that first
// decodes. A module of another version than the program's is refused as one that cannot be loaded.
struct QuorvelDesktopModule;

namespace quorvel::platform {

// Moves a file or folder, with all it holds, into the desktop trash of its volume; the
// reason when no trash could take it or the module could not be loaded.
std::optional<std::string> TrashThroughDesktop(const std::string& path);

// Why the module cannot be loaded; none where it can. Loads it if no call has yet.
std::optional<std::string> DesktopUnavailable();

// The source's ID3v2 tag made the part's: its length frame (TLEN) states the part's length,
// its chapters (CHAP) and tables of contents (CTOC) hold only what overlaps the part, timed
// from its start, and, where given, its track number (TRCK), title (TIT2) and performer
// (TPE1) are the part's; a new tag with those where `id3v2` is empty. None where there is
// nothing to change, the tag cannot be read, or the module could not be loaded.
std::optional<std::vector<std::uint8_t>> TagForPart(std::span<const std::uint8_t> id3v2,
                                                    const PartTime& part);

// The chapters (CHAP) of an ID3v2 tag, in the tag's order; none where it has none, it
// cannot be read, or the module could not be loaded.
std::vector<Chapter> ChaptersOf(std::span<const std::uint8_t> id3v2);

// The tag (a new one where `id3v2` is empty) with `chapters` in place of its chapters and
// tables of contents, listed in order by one table of contents, its length frame stating
// `lengthMs`; none where it cannot be read or the module could not be loaded.
std::optional<std::vector<std::uint8_t>> TagWithChapters(std::span<const std::uint8_t> id3v2,
                                                         const std::vector<Chapter>& chapters,
                                                         std::int64_t lengthMs);

// The title (TIT2) of an ID3v2 tag; empty where it has none, it cannot be read, or the
// module could not be loaded.
std::string TitleOf(std::span<const std::uint8_t> id3v2);

// The tag (a new one where `id3v2` is empty) with `texts` as its user texts (TXXX), each in
// place of any of its description in any case; none where it cannot be read or the module
// could not be loaded.
std::optional<std::vector<std::uint8_t>> TagWithUserTexts(std::span<const std::uint8_t> id3v2,
                                                          const std::vector<UserText>& texts);

// The message in the user's language, where the program has a translation into it; the
// English text otherwise. The module is loaded only for a language other than English.
std::string Translated(const Message& message);

// The module's functions, loaded on the first call; none where the module cannot be
// loaded or is of another version, and `why` then says why.
const QuorvelDesktopModule* DesktopModule(std::string& why);

}  // namespace quorvel::platform

// The version of the module's table (`QuorvelDesktopModule`): raised whenever its fields
// change, so that a module left from another installation is refused before any of its
// functions is called.
inline constexpr unsigned int kQuorvelDesktopVersion = 8;
// This header as the build found it (the start of its SHA-256, from CMake): a module built
// from another declaration of the table, one laid out otherwise under the same version, is
// refused too.
inline constexpr char kQuorvelDesktopLayout[] = QUORVEL_DESKTOP_LAYOUT;

// The module's functions, in C types only, so that no C++ object passes between the module
// and a program that loads it, whatever C++ runtime each was built against. What they
// return is the caller's to free().
extern "C" {
// A file the module decodes, read by the caller: up to `count` bytes at `offset`, how many
// (0 at the end), or -1 where the file cannot be read.
struct QuorvelFileReader {
    void* handle;
    long long size;
    long long (*ReadAt)(void* handle, long long offset, void* buffer, std::size_t count);
};
// A file open in the module's decoder.
struct QuorvelDecoding;
// One audio frame of a file the module decodes, as the caller's walk over its frames found
// it, for seeks that start decoding a few frames before their aim; in 32 bits, so that the
// frames of a long file take little memory. A frame the caller has not walked (yet) holds
// nothing else: a read whose lead-in would reach it starts as without the frames.
struct QuorvelFrame {
    unsigned int mainDataBegin : 9;   // bytes of main data it borrows from the frames before it
    unsigned int mainDataRoom : 12;   // bytes after its header, CRC and side information
    unsigned int mainDataStart : 6;   // bytes of its header, CRC and side information
    unsigned int protectedByCrc : 1;  // a CRC follows its header
    unsigned int codesNothing : 1;    // no granule of any channel codes anything
    unsigned int walked : 1;          // the caller walked it: the fields above hold
};
// The frames about the one a read starts in whose fields the module looks at: as far back
// as its longest lead-in, and as far on from there as it follows the frames' borrowing.
inline constexpr long long kQuorvelFramesBefore = 64;
inline constexpr long long kQuorvelFramesAfter = 256;
// One track of a cue sheet as libcue reads it; its texts are null where the sheet has none.
struct QuorvelCueTrack {
    long long start;  // its INDEX 01 in frames, 75 a second; -1 where it has none
    char* title;
    char* performer;  // the sheet's where the track names none
    char* file;       // the audio file its FILE line names
};

// One chapter of an ID3v2 tag, its times in milliseconds; its title null where it has none.
struct QuorvelChapter {
    long long start;
    long long end;
    char* title;
};

struct QuorvelDesktopModule {
    // The table's version and size, which a program compares with its own first: they come
    // first in every version.
    unsigned int version;
    std::size_t size;
    // kQuorvelDesktopLayout as the module was built.
    char layout[sizeof kQuorvelDesktopLayout];
    // Null once the item is in the trash; otherwise why it is not.
    char* (*Trash)(const char* path);
    // The rewritten tag, `*length` bytes; null where there is nothing to change (no length
    // frame, chapter or table of contents, and no track number (`track` 0), title or
    // performer (empty) to set) or the tag cannot be read.
    unsigned char* (*TagForPart)(const unsigned char* id3v2, std::size_t size, long long startMs,
                                 long long lengthMs, int track, int tracks, const char* title,
                                 const char* performer, std::size_t* length);
    // The tag's chapters, `*count` of them; null where it has none or cannot be read. The
    // array and each title in it are the caller's to free().
    QuorvelChapter* (*Chapters)(const unsigned char* id3v2, std::size_t size, std::size_t* count);
    // Null once libmpg123 is loaded; otherwise why it cannot be.
    char* (*DecoderUnavailable)();
    // The file `reader` reads, open to decode its gapless output: its rate, its channels
    // and its length in sample frames. `statedFrames` is the frame count its Xing header
    // states where the header's byte count is the file's own (-1: none): where libmpg123
    // reads that count too, the length follows from the header; otherwise every frame is
    // read to count them. `walkedFrames` is the count of a file without a length header
    // that the caller walked whole (-1: none): its length, with nothing to trim, follows
    // from it. `index` holds the offsets in the file of its audio frames 0, `step`, 2 `step`
    // and on, `count` of them, as the caller's walk found them (null: none), where its
    // seeks start instead of reading the frames before; where libmpg123 finds its first
    // frame elsewhere, neither it nor `walkedFrames` is taken. With `nearSeeks`, reads seek
    // in MPEG 2 and 2.5 Layer III too, where their samples may then be a step of rounding
    // off. Null where it cannot be decoded, with `*why`. `reader` must outlive what is
    // returned.
    QuorvelDecoding* (*DecoderOpen)(const QuorvelFileReader* reader, long long statedFrames,
                                    long long walkedFrames, const long long* index, long long step,
                                    std::size_t count, bool nearSeeks, long* rate, int* channels,
                                    long long* length, char** why);
    // Decodes the sample frames [from, from + count) as a decode from the file's start
    // gives them, 16-bit and interleaved, into `samples`: how many, fewer only at the end;
    // -1 with `*why` where the file cannot be read or decoded.
    long long (*DecoderRead)(QuorvelDecoding* decoding, long long from, long long count,
                             short* samples, char** why);
    void (*DecoderClose)(QuorvelDecoding* decoding);
    // The sample frames that DecoderRead gave so far as silence in place of frames that
    // decode at another rate or in other channels than the file's, a false sync in damaged
    // bytes.
    long long (*DecoderSilenced)(const QuorvelDecoding* decoding);
    // Every audio frame of the file, one after another from the first at `audioStart` (after
    // the frame with the length header, where it has one), as the caller walked them: reads
    // far from the last one then start decoding a few frames before their aim, in every
    // version and layer. Where libmpg123 finds other frames than these, it reads as before.
    // Where DecoderOpen took the caller's index, only the frames about the reads need be
    // walked (kQuorvelFramesBefore and kQuorvelFramesAfter), and the caller may walk more
    // of them between reads; otherwise frames not walked are not taken. `frames` must
    // outlive `decoding`.
    void (*DecoderFrames)(QuorvelDecoding* decoding, long long audioStart,
                          const QuorvelFrame* frames, long long count);
    // As DecoderRead, each sample within a step of rounding (1 in 32768) of that one: a read
    // far from the last one starts decoding as few frames before its aim as give the frames'
    // spectra as a decode from the start has them, whatever step of its cycle the synthesis
    // filter is then at.
    long long (*DecoderGlance)(QuorvelDecoding* decoding, long long from, long long count,
                               short* samples, char** why);
    // The tracks of the cue sheet `text`, its lines each ended by a line feed, as libcue
    // reads them: `*count` of them, the texts as the sheet has them. Null where libcue cannot
    // read it. The array and each text in it are the caller's to free().
    QuorvelCueTrack* (*ParseCueSheet)(const char* text, std::size_t* count);
    // The text's translation into the user's language, with its plural form for `n` (-1:
    // none); null where the program has no translation for the language or the text.
    char* (*Translate)(const char* context, const char* source, const char* disambiguation, int n);
    // The tag (a new one where `size` is 0) with `count` chapters (CHAP) in place of its
    // chapters and tables of contents, each titled (TIT2) where its title is not null, and
    // one ordered table of contents listing them; its length frame (TLEN), where it has
    // one, stating `lengthMs`: `*length` bytes. Null where the tag cannot be read.
    unsigned char* (*TagWithChapters)(const unsigned char* id3v2, std::size_t size,
                                      const QuorvelChapter* chapters, std::size_t count,
                                      long long lengthMs, std::size_t* length);
    // The tag's title (TIT2); null where it has none or cannot be read.
    char* (*TitleOf)(const unsigned char* id3v2, std::size_t size);
    // The tag (a new one where `size` is 0) with `count` user texts (TXXX), `descriptions[i]`
    // holding `values[i]`, each in place of every one of the tag's whose description is the
    // same in any case, the rest as it was: `*length` bytes. Null where the tag cannot be
    // read.
    unsigned char* (*TagWithUserTexts)(const unsigned char* id3v2, std::size_t size,
                                       const char* const* descriptions, const char* const* values,
                                       std::size_t count, std::size_t* length);
};
const QuorvelDesktopModule* QuorvelDesktop();
}
