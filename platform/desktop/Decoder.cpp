// The module's decoding, through libmpg123, which it loads when it first decodes.

#include <dlfcn.h>
#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <numeric>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/Cuts.h"
#include "engine/LengthHeader.h"
#include "platform/desktop/Module.h"

namespace quorvel::desktop {
namespace {

// The functions of libmpg123 the decoder calls, each looked up by the name its header
// gives it (some carry a suffix, as mpg123_info2 does, or _64 where off_t is chosen so).
// clang-format off
#define QUORVEL_MPG123_FUNCTIONS(X)                                                     \
    X(mpg123_init) X(mpg123_new) X(mpg123_delete) X(mpg123_param)                       \
    X(mpg123_format_none) X(mpg123_format) X(mpg123_rates)                              \
    X(mpg123_replace_reader_handle) X(mpg123_open_handle) X(mpg123_scan)                \
    X(mpg123_getformat) X(mpg123_info) X(mpg123_length) X(mpg123_framelength)          \
    X(mpg123_seek) X(mpg123_tellframe) X(mpg123_seek_frame) X(mpg123_tell)              \
    X(mpg123_read) X(mpg123_strerror) X(mpg123_plain_strerror) X(mpg123_index)      \
    X(mpg123_set_index) X(mpg123_getstate) X(mpg123_errcode) X(mpg123_framepos)
// clang-format on
#define QUORVEL_NAME_OF(function) #function
#define QUORVEL_NAME(function) QUORVEL_NAME_OF(function)

struct Mpg123 {
#define QUORVEL_DECLARE(function) decltype(&::function) function = nullptr;
    QUORVEL_MPG123_FUNCTIONS(QUORVEL_DECLARE)
#undef QUORVEL_DECLARE
};

// libmpg123, loaded by the first decoding rather than with the module, so that the trash
// and the tags never bring it in; none where it cannot be, and `why` then says why. It is
// found as the module's own libraries are, in the system's library folders.
const Mpg123* Library(std::string& why) {
    static const auto loaded = []() -> std::pair<std::optional<Mpg123>, std::string> {
        void* library = ::dlopen("libmpg123.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!library) return {std::nullopt, ::dlerror()};
        Mpg123 functions;
#define QUORVEL_FIND(function)                                                                    \
    functions.function =                                                                          \
        reinterpret_cast<decltype(functions.function)>(::dlsym(library, QUORVEL_NAME(function))); \
    if (!functions.function) return {std::nullopt, ::dlerror()};
        QUORVEL_MPG123_FUNCTIONS(QUORVEL_FIND)
#undef QUORVEL_FIND
        functions.mpg123_init();
        return {functions, {}};
    }();
    why = loaded.second;
    return loaded.first ? &*loaded.first : nullptr;
}

// Why libmpg123 failed its last call on `handle`, in its words; `otherwise` where that call
// set no error of its own (a length or place it cannot tell, a seek that lands elsewhere),
// for which its words would be "No error... (code 0)".
std::string Failure(const Mpg123& lib, mpg123_handle* handle, const char* otherwise) {
    if (handle && lib.mpg123_errcode(handle) != MPG123_OK) return lib.mpg123_strerror(handle);
    return otherwise;
}

// What players play is what a handle that never sought gives: it skips the frames before
// the one holding the first sample it plays (the first frame) without decoding them and
// decodes every frame from there on. After a seek libmpg123 starts afresh a few frames
// before the one sought, and gives the same samples only once (1) the bytes the frames
// borrow (up to 511) all come from frames it has read and the overlap of the frame before
// is rebuilt, which a lead-in of 16 frames gives at any bit rate, and (2) its synthesis
// filter is at the same step of its cycle of 16 blocks: the step follows the count of
// frames decoded since the file was opened, so the lead-in starts a multiple of 8 frames
// (the cycle's length for frames of 12, 18 or 36 blocks) after the first frame. In MPEG 2
// and 2.5 Layer III, though, libmpg123 may leave the lead-in's first frame undecoded (of a
// frame whose borrowed bytes it lacks, it clears only part of the side information), which
// puts the filter a step off for good: those streams are decoded from their start, unless
// the caller takes samples a step of rounding off for speed.
constexpr long long kLeadIn = 16;
constexpr long long kCycle = 8;
// Decoded before the first frame played and before the frame sought, in every layer: the
// library's own default, as players leave it, and as many as a part's frames before its
// first played one (a parity frame, a carrier and two primers) need.
constexpr long kPreframes = quorvel::kMostFramesBeforeCut;
static_assert(kPreframes == 4, "libmpg123's default, which players keep");
// Where the caller gave the file's frames (DecoderFrames), a seek's lead-in can be as short
// as the frames' own borrowing allows: after a seek libmpg123 holds none of the bytes that
// earlier frames lend, and clears the side information of each frame that borrows more than
// the frames it has decoded since hold, so that it decodes as silence. A frame that codes
// nothing decodes as silence either way; once one that codes something finds all it
// borrows, or libmpg123 holds as much as a frame may borrow, every frame after it decodes
// as from the start. A sample is as a decode from the start gives it once its granule and
// those before it that its overlap and the synthesis filter's memory reach decode so, and
// the filter is at the same step of its cycle of 16 blocks. In MPEG 2 and 2.5 libmpg123 clears
// the side information only from its third byte on, keeping the start of the first
// granule's coded length beside the back pointer, and may then not decode the frame at all,
// which puts the filter a step off: it is handed those bits cleared.
constexpr long long kSynthesisCycle = 16;
// A granule's samples (a frame holds two in MPEG 1 Layer III, one in MPEG 2 and 2.5), and
// the samples of the blocks before a block that the synthesis filter's memory reaches.
constexpr long long kGranule = 576;
constexpr long long kFilterMemory = 15 * 32;
// The farthest back a lead-in starts, and the most frames decoded before libmpg123 is sure
// to decode every frame as from the start: lead-ins that need more are left to the seek
// without the frames.
constexpr long long kLongestLeadIn = kQuorvelFramesBefore;
constexpr long long kLongestReach = kQuorvelFramesAfter;
// A frame's place is kept for every this many frames, the others following from the
// lengths, and the handles take these places as their frame index: a seek reads fewer
// frames than this on its way to its lead-in.
constexpr long long kPlaceStep = 16;

}  // namespace
}  // namespace quorvel::desktop

struct QuorvelDecoding {
    const quorvel::desktop::Mpg123* mpg123 = nullptr;
    const QuorvelFileReader* reader = nullptr;
    long long at = 0;  // where libmpg123 reads the file next
    mpg123_handle* handle = nullptr;
    long rate = 0;
    int channels = 0;
    long long length = 0;
    long long samplesPerFrame = 0;
    long long firstFrame = 0;
    bool seekable = false;   // a seek gives what players play, or near it where asked
    bool scanned = false;    // the handle scanned the file and has since neither sought nor decoded
    long long next = 0;      // the sample frame decoded next, as players number them
    bool decoded = false;    // the handle decoded: its synthesis filter has moved on
    int foreign = 0;         // the channels of the other format it decodes in, 0 in its own
    long long silenced = 0;  // the sample frames given as silence in place of those
    // The places of frames the handles have found so far, or the caller's walk found, one
    // every `indexStep` frames, each opening of the file starting from them.
    std::vector<off_t> index;
    off_t indexStep = 0;
    bool indexInPart = false;  // the handle holds but the places its first seek goes by
    bool walkIndexed = false;  // the index is the caller's walk's, its frames numbered so
    // The audio frames the caller walked (DecoderFrames), the caller's, where every
    // `indexStep`-th of them starts (the index above), and whether the file is MPEG 1 Layer
    // III; none where none were given, or libmpg123 found other frames.
    const QuorvelFrame* frames = nullptr;
    long long frameCount = 0;
    bool layer3 = false;
    bool mpeg1 = false;
    // The sample frames of the frames before the one `next` counts from: frame k's first
    // sample is k * samplesPerFrame - begin; -1 until a seek has told.
    long long begin = -1;
    bool near = false;  // decoded from a seek that left the synthesis filter where it was
    // The bytes ReadFile hands libmpg123 with the bits given cleared.
    std::vector<std::pair<long long, unsigned char>> cleared;

    ~QuorvelDecoding() {
        if (handle) mpg123->mpg123_delete(handle);
    }
};

namespace quorvel::desktop {
namespace {

mpg123_ssize_t ReadFile(void* handle, void* buffer, size_t count) {
    auto& decoding = *static_cast<QuorvelDecoding*>(handle);
    const long long read =
        decoding.reader->ReadAt(decoding.reader->handle, decoding.at, buffer, count);
    if (read < 0) return -1;
    for (const auto& [offset, bits] : decoding.cleared) {
        if (offset >= decoding.at && offset < decoding.at + read) {
            static_cast<unsigned char*>(buffer)[offset - decoding.at] &=
                static_cast<unsigned char>(~bits);
        }
    }
    decoding.at += read;
    return mpg123_ssize_t(read);
}

off_t SeekFile(void* handle, off_t offset, int whence) {
    auto& decoding = *static_cast<QuorvelDecoding*>(handle);
    long long base = 0;
    if (whence == SEEK_CUR) {
        base = decoding.at;
    } else if (whence == SEEK_END) {
        base = decoding.reader->size;
    } else if (whence != SEEK_SET) {
        return -1;
    }
    if (base + offset < 0) return -1;
    decoding.at = base + offset;
    return off_t(decoding.at);
}

// Keeps the handle's frame index where it reaches further than the one kept.
void KeepIndex(QuorvelDecoding& decoding) {
    if (decoding.indexInPart) return;
    off_t* offsets = nullptr;
    off_t step = 0;
    size_t fill = 0;
    if (decoding.mpg123->mpg123_index(decoding.handle, &offsets, &step, &fill) == MPG123_OK &&
        offsets && off_t(fill) * step > off_t(decoding.index.size()) * decoding.indexStep) {
        decoding.index.assign(offsets, offsets + fill);
        decoding.indexStep = step;
    }
}

// Gives the handle the whole index kept, where it holds but part of it.
void GiveWholeIndex(QuorvelDecoding& decoding) {
    if (!decoding.indexInPart) return;
    decoding.mpg123->mpg123_set_index(decoding.handle, decoding.index.data(), decoding.indexStep,
                                      decoding.index.size());
    decoding.indexInPart = false;
}

// Gives the handle, opened afresh, the index kept. Where it is opened for one seek that begins
// reading at walked frame `lead`, after SeekToSecond, it is given only the two places
// those seeks go by, the first frame's and that of the one the whole index takes the seek
// to, so that it reads the same frames: a handle for each seam of a long source took a copy
// of the whole index, which cost more than the seam's decoding.
void GiveIndex(QuorvelDecoding& decoding, long long lead) {
    const off_t step = decoding.indexStep;
    const long long covered = (decoding.frameCount + step - 1) / std::max<off_t>(step, 1);
    decoding.indexInPart = lead >= 0 && decoding.frames && step > 0 &&
                           decoding.firstFrame + 2 < step &&
                           covered <= static_cast<long long>(decoding.index.size());
    if (!decoding.indexInPart) {
        decoding.mpg123->mpg123_set_index(decoding.handle, decoding.index.data(), step,
                                          decoding.index.size());
        return;
    }
    const long long place = std::min<long long>(lead / step, covered - 1);
    off_t places[] = {decoding.index[0], decoding.index[std::size_t(place)]};
    decoding.mpg123->mpg123_set_index(decoding.handle, places,
                                      place > 0 ? off_t(place) * step : step, place > 0 ? 2 : 1);
}

// A new handle for the file, as players decode: gapless; never resampled, but 16 bits at
// the file's own rate and channels, whichever they are.
std::optional<std::string> NewHandle(QuorvelDecoding& decoding) {
    const Mpg123& lib = *decoding.mpg123;
    int error = MPG123_OK;
    decoding.handle = lib.mpg123_new(nullptr, &error);
    if (!decoding.handle) return lib.mpg123_plain_strerror(error);
    mpg123_handle* handle = decoding.handle;
    lib.mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
    lib.mpg123_param(handle, MPG123_REMOVE_FLAGS, MPG123_AUTO_RESAMPLE, 0);
    lib.mpg123_param(handle, MPG123_PREFRAMES, kPreframes, 0);
    lib.mpg123_format_none(handle);
    const long* rates = nullptr;
    size_t count = 0;
    lib.mpg123_rates(&rates, &count);
    for (size_t i = 0; i < count; ++i) {
        lib.mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    }
    if (lib.mpg123_replace_reader_handle(handle, ReadFile, SeekFile, nullptr) != MPG123_OK) {
        return Failure(lib, handle, "the decoder cannot open it");
    }
    return std::nullopt;
}

// Opens the file afresh, in a handle whose filter is then at the start of its cycle, as a
// new one's is: opening again clears all that the handle held of the file before, and
// costs a seventh of a new handle. It takes the frame index the opens before it found, or
// the walk's, so that its seeks need not read the file from its start again: the seam
// check of many parts seeks into the source for each seam. `lead`: as GiveIndex takes it,
// -1 for any seeks.
std::optional<std::string> Start(QuorvelDecoding& decoding, long long lead = -1) {
    const Mpg123& lib = *decoding.mpg123;
    if (decoding.handle) KeepIndex(decoding);
    decoding.at = 0;
    decoding.next = 0;
    decoding.decoded = false;
    decoding.scanned = false;
    decoding.foreign = 0;
    decoding.near = false;
    decoding.cleared.clear();
    if (!decoding.handle) {
        if (auto why = NewHandle(decoding)) return why;
    }
    if (lib.mpg123_open_handle(decoding.handle, &decoding) != MPG123_OK) {
        return Failure(lib, decoding.handle, "the decoder cannot open it");
    }
    decoding.indexInPart = false;
    if (!decoding.index.empty()) GiveIndex(decoding, lead);
    return std::nullopt;
}

// What the file's header states, as a handle that has read only the first frame knows it:
// its frames and its LAME tag's delay and padding (-1: none).
struct GaplessState {
    long long Frames = -1;
    long Delay = -1;
    long Padding = -1;
};

GaplessState StatedGapless(QuorvelDecoding& decoding) {
    const Mpg123& lib = *decoding.mpg123;
    GaplessState state;
    state.Frames = lib.mpg123_framelength(decoding.handle);
    double unused = 0;
    lib.mpg123_getstate(decoding.handle, MPG123_ENC_DELAY, &state.Delay, &unused);
    lib.mpg123_getstate(decoding.handle, MPG123_ENC_PADDING, &state.Padding, &unused);
    return state;
}

// Where the frames a scan found end before the LAME tag's padding does (a file cut short),
// libmpg123 gives up the gapless values, which players decoding from the start keep,
// stopping at the file's end: the length they play, where it differs from the scan's.
std::optional<long long> PlayedWhereCutShort(QuorvelDecoding& decoding,
                                             const GaplessState& stated) {
    const Mpg123& lib = *decoding.mpg123;
    if (stated.Delay < 0 || stated.Padding < 0) return std::nullopt;
    const long long spf = decoding.samplesPerFrame;
    const long long frames = lib.mpg123_framelength(decoding.handle);
    const long long played =
        std::min(stated.Frames * spf - stated.Padding + kDecoderDelay, frames * spf) -
        stated.Delay - kDecoderDelay;
    if (played == lib.mpg123_length(decoding.handle)) return std::nullopt;
    return std::max(0LL, played);
}

// Where every `Step`-th frame of the file starts, as the caller's walk found them.
struct WalkIndex {
    const long long* Starts = nullptr;  // none: not walked
    long long Step = 0;
    std::size_t Count = 0;
};

// Takes the walk's index for the seeks of every handle from now on, where libmpg123 finds
// the first frame where the walk did: it then numbers the frames as the walk does, a header
// frame as none, and its seeks need not read the frames before the one sought. The handle
// has read the first frame, which is all that its own index holds.
bool TakeIndex(QuorvelDecoding& decoding, const WalkIndex& walk) {
    const Mpg123& lib = *decoding.mpg123;
    off_t* offsets = nullptr;
    off_t step = 0;
    size_t fill = 0;
    if (!walk.Starts || walk.Count == 0 || walk.Step <= 0 ||
        lib.mpg123_index(decoding.handle, &offsets, &step, &fill) != MPG123_OK || fill == 0 ||
        offsets[0] != walk.Starts[0]) {
        return false;
    }
    std::vector<off_t> index(walk.Starts, walk.Starts + walk.Count);
    if (lib.mpg123_set_index(decoding.handle, index.data(), off_t(walk.Step), index.size()) !=
        MPG123_OK) {
        return false;
    }
    decoding.index = std::move(index);
    decoding.indexStep = off_t(walk.Step);
    decoding.walkIndexed = true;
    return true;
}

// Opens the file and learns its format, its exact length and its first frame. Where the
// caller found `statedFrames` in the file's Xing header, in agreement with the file's bytes
// (-1: it did not), and libmpg123 reads the same count there, the length follows from that
// header and its LAME tag as from the frames themselves, and the handle has read the first
// frame only, as a player's has. So has that of a file without a length header whose frames
// the caller has walked (`walkedFrames`, -1: not), where the walk's index, if any, is taken:
// nothing of it is trimmed, so its length is its frames' samples. Any other file is
// scanned, every frame read for the frames' count and places; the scan seeks back to the
// start, so the handle then no longer plays as players do from there.
std::optional<std::string> Measure(QuorvelDecoding& decoding, long long statedFrames,
                                   long long walkedFrames, const WalkIndex& walk) {
    if (auto why = Start(decoding)) return why;
    const Mpg123& lib = *decoding.mpg123;
    mpg123_handle* handle = decoding.handle;
    int encoding = 0;
    mpg123_frameinfo info{};
    if (lib.mpg123_getformat(handle, &decoding.rate, &decoding.channels, &encoding) != MPG123_OK ||
        lib.mpg123_info(handle, &info) != MPG123_OK) {
        return Failure(lib, handle, "the decoder finds no audio format in it");
    }
    decoding.samplesPerFrame = info.layer == 1                                 ? 384
                               : info.layer == 2 || info.version == MPG123_1_0 ? 1152
                                                                               : 576;
    decoding.layer3 = info.layer == 3;
    decoding.mpeg1 = info.version == MPG123_1_0;
    const bool indexed = TakeIndex(decoding, walk);
    const bool walked = walkedFrames >= 0 && statedFrames < 0 && (indexed || !walk.Starts);
    if (!walked && (statedFrames <= 0 || lib.mpg123_framelength(handle) != statedFrames)) {
        const GaplessState stated = StatedGapless(decoding);
        if (lib.mpg123_scan(handle) != MPG123_OK) {
            return Failure(lib, handle, "the decoder cannot scan its frames");
        }
        decoding.scanned = true;
        if (const auto played = PlayedWhereCutShort(decoding, stated)) {
            // The file opened afresh, with the index the scan found, decodes as players do.
            if (auto why = Start(decoding)) return why;
            if (lib.mpg123_getformat(decoding.handle, &decoding.rate, &decoding.channels,
                                     &encoding) != MPG123_OK) {
                return Failure(lib, decoding.handle, "the decoder finds no audio format in it");
            }
            decoding.length = *played;
            decoding.firstFrame = lib.mpg123_tellframe(decoding.handle);
            if (decoding.firstFrame < 0) {
                return Failure(lib, decoding.handle, "the decoder cannot tell its length");
            }
            decoding.seekable = info.layer != 3 || info.version == MPG123_1_0;
            return std::nullopt;
        }
    }
    decoding.length = walked ? walkedFrames * decoding.samplesPerFrame : lib.mpg123_length(handle);
    decoding.firstFrame = lib.mpg123_tellframe(handle);  // at the start: the first frame
    if (decoding.length < 0 || decoding.firstFrame < 0) {
        return Failure(lib, handle, "the decoder cannot tell its length");
    }
    decoding.seekable = info.layer != 3 || info.version == MPG123_1_0;
    return std::nullopt;
}

// Decodes the next `count` sample frames into `samples`, or past them where `samples` is
// null: how many, fewer only at the end; none with `why` where decoding fails. Frames that
// decode at another rate or in other channels than the file's, which damaged bytes make of
// a false sync, play as silence as long as they are, as in a player that keeps its output
// as the file began.
std::optional<long long> Decode(QuorvelDecoding& decoding, short* samples, long long count,
                                std::string& why) {
    const Mpg123& lib = *decoding.mpg123;
    std::vector<short> scratch;
    long long done = 0;
    while (done < count) {
        // What is passed over, and what decodes in another format, goes to `scratch`.
        const bool direct = samples && decoding.foreign == 0;
        const long long channels = decoding.foreign > 0 ? decoding.foreign : decoding.channels;
        const long long wanted = direct ? count - done : std::min<long long>(count - done, 4096);
        if (!direct) scratch.resize(std::size_t(wanted * channels));
        unsigned char* into = reinterpret_cast<unsigned char*>(
            direct ? samples + done * decoding.channels : scratch.data());
        size_t bytes = 0;
        decoding.decoded = true;
        decoding.scanned = false;
        const int result =
            lib.mpg123_read(decoding.handle, into, size_t(wanted * 2 * channels), &bytes);
        if (bytes % size_t(2 * channels) != 0) {
            why = "the decoder gave part of a sample frame";
            return std::nullopt;
        }
        const long long frames = static_cast<long long>(bytes) / (2 * channels);
        if (samples && !direct) {
            std::fill_n(samples + done * decoding.channels, frames * decoding.channels, 0);
            decoding.silenced += frames;
        }
        done += frames;
        decoding.next += frames;
        if (result == MPG123_DONE) break;
        if (result == MPG123_NEW_FORMAT) {
            long rate = 0;
            int now = 0, encoding = 0;
            lib.mpg123_getformat(decoding.handle, &rate, &now, &encoding);
            decoding.foreign = rate == decoding.rate && now == decoding.channels ? 0 : now;
        } else if (result != MPG123_OK) {
            why = Failure(lib, decoding.handle, "the decoder cannot decode it");
            return std::nullopt;
        }
    }
    return done;
}

// Where a walked frame starts, from the index the walk gave.
long long PlaceOf(const QuorvelDecoding& decoding, long long frame) {
    const long long step = decoding.indexStep;
    long long place = decoding.index[std::size_t(frame / step)];
    for (long long at = frame / step * step; at < frame; ++at) {
        place += decoding.frames[at].mainDataStart + decoding.frames[at].mainDataRoom;
    }
    return place;
}

// The first frame from which libmpg123, decoding the walked frames from `start` on after a
// seek, decodes every frame that codes something as a decode from the start does; none
// where that is not within kLongestReach frames. With `clear`, the byte of each frame before
// it that libmpg123 clears but in part, and the bits it keeps there, go to `clear`.
std::optional<long long> RightFrom(const QuorvelDecoding& decoding, long long start,
                                   std::vector<std::pair<long long, unsigned char>>* clear) {
    // Where each frame from `start` on starts follows from the index and the lengths of the
    // frames after the place it keeps before `start`: all of them walked.
    const long long placed = start / decoding.indexStep;
    if (std::size_t(placed) >= decoding.index.size()) return std::nullopt;
    for (long long at = placed * decoding.indexStep; at < start; ++at) {
        if (!decoding.frames[at].walked) return std::nullopt;
    }
    const long long most = decoding.mpeg1 ? 511 : 255;
    long long held = 0;
    long long right = start;
    for (long long at = start; at < decoding.frameCount && at - start < kLongestReach; ++at) {
        const QuorvelFrame& frame = decoding.frames[at];
        if (!frame.walked) return std::nullopt;
        if (!frame.codesNothing) {
            if (frame.mainDataBegin <= held) return right;
            right = at + 1;
            if (clear && !decoding.mpeg1) {
                // The back pointer fills the first byte; the private bits and the start of
                // the first granule's coded length share the second: one private bit and
                // seven of the length in a single channel, two and six in two.
                const long long header = PlaceOf(decoding, at);
                unsigned char mode = 0;
                if (decoding.reader->ReadAt(decoding.reader->handle, header + 3, &mode, 1) != 1) {
                    return std::nullopt;
                }
                const bool single = (mode & 0xC0) == 0xC0;
                clear->emplace_back(header + (frame.protectedByCrc ? 6 : 4) + 1,
                                    single ? 0x7F : 0x3F);
            }
        }
        held = std::min(most, held + frame.mainDataRoom);
        if (held == most) return right;
    }
    return std::nullopt;
}

// The latest frame before the one that holds `sample` (counted from the frames' first
// sample) from which a seek's decoding gives that sample and those after it within a step
// of rounding of a decode from the start, or, `phased`, exactly those: its synthesis filter
// then starts at the step of its cycle the decode from the start has there. None where the
// frames are not known or no such frame lies within kLongestLeadIn.
std::optional<long long> LeadIn(const QuorvelDecoding& decoding, long long sample, bool phased) {
    const long long spf = decoding.samplesPerFrame;
    const long long frame = sample / spf;
    if (frame >= decoding.frameCount) return std::nullopt;
    // The sample takes its granule's spectrum and, through the overlap, the one before; in
    // the first 15 blocks of its granule the filter's memory reaches the granule before too,
    // and through its overlap the one before that.
    const long long granule = sample / kGranule;
    const long long needed = granule - (sample % kGranule >= kFilterMemory ? 1 : 2);
    const long long firstRight = needed < 0 ? -1 : needed / (spf / kGranule);
    const long long blocks = spf / 32;
    const long long cycle = kSynthesisCycle / std::gcd(blocks, kSynthesisCycle);
    for (long long start = std::min(firstRight, frame - 1);
         start > decoding.firstFrame && start >= frame - kLongestLeadIn; --start) {
        if (phased && (start - decoding.firstFrame) % cycle != 0) continue;
        const auto right = RightFrom(decoding, start, nullptr);
        if (right && *right <= firstRight) return start;
    }
    return std::nullopt;
}

// Seeks a handle that has decoded nothing yet to the second frame after the first played
// one, as its first seek. A handle started afresh whose first seek goes straight to a
// lead-in decodes some samples of MPEG 2.5 a step of rounding off after it; one that went
// there first decodes them as from the start.
std::optional<std::string> SeekToSecond(QuorvelDecoding& decoding) {
    const Mpg123& lib = *decoding.mpg123;
    if (lib.mpg123_seek_frame(decoding.handle, decoding.firstFrame + 2, SEEK_SET) < 0) {
        return Failure(lib, decoding.handle, "the decoder cannot seek in it");
    }
    return std::nullopt;
}

// Makes `from` the sample frame decoded next by a seek whose lead-in the walked frames
// allow, where that decodes fewer frames than decoding on from where the decoding stands
// (`onward`): whether it did. Exact (not `near`) from the file opened afresh, its filter at the
// start of its cycle. A seek that finds other frames than the walk did drops the walk's.
std::optional<std::string> SeekByFrames(QuorvelDecoding& decoding, long long from, bool near,
                                        bool onward, bool& sought) {
    sought = false;
    if (decoding.frameCount == 0 || !decoding.layer3) return std::nullopt;
    const Mpg123& lib = *decoding.mpg123;
    const long long spf = decoding.samplesPerFrame;
    if (decoding.begin < 0) {
        // Where the second frame after the first played one starts tells it.
        GiveWholeIndex(decoding);
        if (auto why = SeekToSecond(decoding)) return why;
        decoding.begin = (decoding.firstFrame + 2) * spf - lib.mpg123_tell(decoding.handle);
        decoding.scanned = false;
        decoding.next = -1;  // nothing to decode on from
    }
    const long long frame = (from + decoding.begin) / spf;
    const auto start = LeadIn(decoding, from + decoding.begin, !near);
    const long long reached = (decoding.next + decoding.begin) / spf;
    if (!start || (onward && decoding.next >= 0 && frame - reached <= frame - *start + 1)) {
        return std::nullopt;
    }
    std::vector<std::pair<long long, unsigned char>> clear;
    bool started = false;
    if (!near) {
        if (!RightFrom(decoding, *start, &clear)) return std::nullopt;
        if (decoding.decoded) {
            if (auto why = Start(decoding, *start)) return why;
            if (auto why = SeekToSecond(decoding)) return why;
            started = true;
        }
    }
    if (!started) GiveWholeIndex(decoding);
    decoding.cleared = std::move(clear);
    lib.mpg123_param(decoding.handle, MPG123_PREFRAMES, frame - *start, 0);
    const bool found = lib.mpg123_seek_frame(decoding.handle, frame, SEEK_SET) >= 0 &&
                       lib.mpg123_framepos(decoding.handle) == PlaceOf(decoding, *start) &&
                       lib.mpg123_tell(decoding.handle) == frame * spf - decoding.begin;
    lib.mpg123_param(decoding.handle, MPG123_PREFRAMES, kPreframes, 0);
    if (!found) {
        decoding.frames = nullptr;
        decoding.frameCount = 0;
        if (auto why = Start(decoding)) return why;
        return std::nullopt;
    }
    decoding.scanned = false;
    decoding.near = near;
    decoding.next = frame * spf - decoding.begin;
    sought = true;
    return std::nullopt;
}

// Makes `from` the sample frame decoded next: on from where the decoding stands, by a
// seek where that gives the same samples (or, `near`, samples within a step of rounding
// of them) and saves decoding, or else from the start.
std::optional<std::string> MoveTo(QuorvelDecoding& decoding, long long from, bool near) {
    const Mpg123& lib = *decoding.mpg123;
    const long long frame = decoding.samplesPerFrame;
    bool sought = false;
    if (auto why = SeekByFrames(
            decoding, from, near,
            !decoding.scanned && from >= decoding.next && (near || !decoding.near), sought)) {
        return why;
    }
    const bool onward = !decoding.scanned && decoding.next >= 0 && from >= decoding.next &&
                        (near || !decoding.near);
    const bool seek = !sought && decoding.seekable &&
                      from >= (decoding.firstFrame + kLeadIn + 2 * kCycle) * frame &&
                      (!onward || from - decoding.next > (kLeadIn + kCycle) * frame);
    if (seek) {
        if (decoding.decoded) {
            if (auto why = Start(decoding)) return why;
        }
        // The frame `from` lies in, found without decoding anything.
        GiveWholeIndex(decoding);
        if (lib.mpg123_seek(decoding.handle, from, SEEK_SET) < 0) {
            return Failure(lib, decoding.handle, "the decoder cannot seek in it");
        }
        const long long sought = lib.mpg123_tellframe(decoding.handle);
        if (sought < 0) return Failure(lib, decoding.handle, "the decoder cannot seek in it");
        long long leadIn = sought - kLeadIn;
        leadIn -= ((leadIn - decoding.firstFrame) % kCycle + kCycle) % kCycle;
        if (lib.mpg123_seek_frame(decoding.handle, leadIn + kPreframes, SEEK_SET) < 0) {
            return Failure(lib, decoding.handle, "the decoder cannot seek in it");
        }
        decoding.scanned = false;
        decoding.next = lib.mpg123_tell(decoding.handle);
        if (decoding.next < 0 || decoding.next > from) {
            return Failure(lib, decoding.handle, "a seek of the decoder in it lands past its aim");
        }
        decoding.begin = (leadIn + kPreframes) * frame - decoding.next;
    } else if (!onward && !sought) {
        if (auto why = Start(decoding)) return why;
    }
    std::string why;
    const auto skipped = Decode(decoding, nullptr, from - decoding.next, why);
    if (!skipped) return why;
    if (decoding.next != from) return "it ends before its length";
    return std::nullopt;
}

// Decodes [from, from + count) into `samples`, as DecoderRead and DecoderGlance give them.
long long ReadFrom(QuorvelDecoding* decoding, long long from, long long count, short* samples,
                   bool near, char** why) {
    try {
        if (from < 0 || count < 0) {
            *why = Copy("a range before the start");
            return -1;
        }
        count = std::min(count, std::max(0LL, decoding->length - from));
        if (count == 0) return 0;
        if (const auto failed = MoveTo(*decoding, from, near)) {
            *why = Copy(*failed);
            return -1;
        }
        std::string failed;
        const auto done = Decode(*decoding, samples, count, failed);
        if (!done) {
            *why = Copy(failed);
            return -1;
        }
        return *done;
    } catch (...) {
        *why = Copy("out of memory");
        return -1;
    }
}

}  // namespace

char* DecoderUnavailable() {
    std::string why;
    return Library(why) ? nullptr : Copy(why);
}

QuorvelDecoding* DecoderOpen(const QuorvelFileReader* reader, long long statedFrames,
                             long long walkedFrames, const long long* index, long long step,
                             std::size_t count, bool nearSeeks, long* rate, int* channels,
                             long long* length, char** why) {
    try {
        std::string unavailable;
        const Mpg123* lib = Library(unavailable);
        if (!lib) {
            *why = Copy(unavailable);
            return nullptr;
        }
        auto decoding = std::make_unique<QuorvelDecoding>();
        decoding->mpg123 = lib;
        decoding->reader = reader;
        if (const auto failed =
                Measure(*decoding, statedFrames, walkedFrames, {index, step, count})) {
            *why = Copy(*failed);
            return nullptr;
        }
        decoding->seekable = decoding->seekable || nearSeeks;
        *rate = decoding->rate;
        *channels = decoding->channels;
        *length = decoding->length;
        return decoding.release();
    } catch (...) {
        *why = Copy("out of memory");
        return nullptr;
    }
}

long long DecoderRead(QuorvelDecoding* decoding, long long from, long long count, short* samples,
                      char** why) {
    return ReadFrom(decoding, from, count, samples, false, why);
}

long long DecoderGlance(QuorvelDecoding* decoding, long long from, long long count, short* samples,
                        char** why) {
    return ReadFrom(decoding, from, count, samples, true, why);
}

void DecoderFrames(QuorvelDecoding* decoding, long long audioStart, const QuorvelFrame* frames,
                   long long count) {
    try {
        decoding->frames = nullptr;
        decoding->frameCount = 0;
        const bool whole = std::all_of(frames, frames + count,
                                       [](const QuorvelFrame& frame) { return frame.walked; });
        // Frames walked in part are placed by the walk's index alone.
        if (!whole && !decoding->walkIndexed) return;
        if (whole) {
            std::vector<off_t> index;
            index.reserve(std::size_t(count / kPlaceStep + 1));
            long long place = audioStart;
            for (long long at = 0; at < count; ++at) {
                if (at % kPlaceStep == 0) index.push_back(off_t(place));
                place += frames[at].mainDataStart + frames[at].mainDataRoom;
            }
            decoding->mpg123->mpg123_set_index(decoding->handle, index.data(), kPlaceStep,
                                               index.size());
            decoding->indexInPart = false;
            decoding->index = std::move(index);
            decoding->indexStep = kPlaceStep;
        }
        decoding->frames = frames;
        decoding->frameCount = count;
    } catch (...) {
        decoding->frames = nullptr;
        decoding->frameCount = 0;
    }
}

void DecoderClose(QuorvelDecoding* decoding) {
    delete decoding;
}

long long DecoderSilenced(const QuorvelDecoding* decoding) {
    return decoding->silenced;
}

}  // namespace quorvel::desktop
