// The module's decoding, through libmpg123, which it loads when it first decodes.

#include <dlfcn.h>
#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <memory>
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
    X(mpg123_set_index) X(mpg123_getstate) X(mpg123_errcode)
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
    // every `indexStep` frames, each new handle starting from them.
    std::vector<off_t> index;
    off_t indexStep = 0;

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
    off_t* offsets = nullptr;
    off_t step = 0;
    size_t fill = 0;
    if (decoding.mpg123->mpg123_index(decoding.handle, &offsets, &step, &fill) == MPG123_OK &&
        offsets && off_t(fill) * step > off_t(decoding.index.size()) * decoding.indexStep) {
        decoding.index.assign(offsets, offsets + fill);
        decoding.indexStep = step;
    }
}

// Opens the file in a new handle, whose filter is at the start of its cycle. It takes the
// frame index the handles before it found, or the walk's, so that its seeks need not read
// the file from its start again: the seam check of many parts seeks into the source for
// each seam.
std::optional<std::string> Start(QuorvelDecoding& decoding) {
    const Mpg123& lib = *decoding.mpg123;
    if (decoding.handle) {
        KeepIndex(decoding);
        lib.mpg123_delete(decoding.handle);
    }
    decoding.at = 0;
    decoding.next = 0;
    decoding.decoded = false;
    decoding.scanned = false;
    decoding.foreign = 0;
    int error = MPG123_OK;
    decoding.handle = lib.mpg123_new(nullptr, &error);
    if (!decoding.handle) return lib.mpg123_plain_strerror(error);
    mpg123_handle* handle = decoding.handle;
    // Gapless, as players play it; never resampled: 16 bits at the file's own rate and
    // channels, whichever they are.
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
    if (lib.mpg123_replace_reader_handle(handle, ReadFile, SeekFile, nullptr) != MPG123_OK ||
        lib.mpg123_open_handle(handle, &decoding) != MPG123_OK) {
        return Failure(lib, handle, "the decoder cannot open it");
    }
    if (!decoding.index.empty()) {
        lib.mpg123_set_index(handle, decoding.index.data(), decoding.indexStep,
                             decoding.index.size());
    }
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
    const bool indexed = TakeIndex(decoding, walk);
    const bool walked = walkedFrames >= 0 && statedFrames < 0 && (indexed || !walk.Starts);
    if (!walked && (statedFrames <= 0 || lib.mpg123_framelength(handle) != statedFrames)) {
        const GaplessState stated = StatedGapless(decoding);
        if (lib.mpg123_scan(handle) != MPG123_OK) {
            return Failure(lib, handle, "the decoder cannot scan its frames");
        }
        decoding.scanned = true;
        if (const auto played = PlayedWhereCutShort(decoding, stated)) {
            // A new handle, with the index the scan found, decodes as players do.
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

// Makes `from` the sample frame decoded next: on from where the decoding stands, by a
// seek where that gives the same samples and saves decoding, or else from the start.
std::optional<std::string> MoveTo(QuorvelDecoding& decoding, long long from) {
    const Mpg123& lib = *decoding.mpg123;
    const long long frame = decoding.samplesPerFrame;
    const bool onward = !decoding.scanned && from >= decoding.next;
    const bool seek = decoding.seekable &&
                      from >= (decoding.firstFrame + kLeadIn + 2 * kCycle) * frame &&
                      (!onward || from - decoding.next > (kLeadIn + kCycle) * frame);
    if (seek) {
        if (decoding.decoded) {
            if (auto why = Start(decoding)) return why;
        }
        // The frame `from` lies in, found without decoding anything.
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
    } else if (!onward) {
        if (auto why = Start(decoding)) return why;
    }
    std::string why;
    const auto skipped = Decode(decoding, nullptr, from - decoding.next, why);
    if (!skipped) return why;
    if (decoding.next != from) return "it ends before its length";
    return std::nullopt;
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
    try {
        if (from < 0 || count < 0) {
            *why = Copy("a range before the start");
            return -1;
        }
        count = std::min(count, std::max(0LL, decoding->length - from));
        if (count == 0) return 0;
        if (const auto failed = MoveTo(*decoding, from)) {
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

void DecoderClose(QuorvelDecoding* decoding) {
    delete decoding;
}

long long DecoderSilenced(const QuorvelDecoding* decoding) {
    return decoding->silenced;
}

}  // namespace quorvel::desktop
