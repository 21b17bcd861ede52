// Feeds arbitrary bytes to the frame chain scan, the safe split point search and the two
// output plans, and checks each against a plain byte-at-a-time walk written alongside;
// then reads the same bytes as a file, through the buffer and in place through mappings,
// and checks that both find the same; and cuts at two times in one walk, by the frame
// rule or at the sample, against the two splits in two, each part planned to share the
// source's blocks too. Input: two bytes of split time (taken modulo 21 seconds; the second
// byte also gives the later time and the mode of the cuts at two times, the first the block
// size), then the source bytes. The bytes are also measured as an ID3v2 tag whose chapters
// nest.

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/AddedFrames.h"
#include "engine/ByteSource.h"
#include "engine/FrameChain.h"
#include "engine/FrameHeader.h"
#include "engine/LengthHeader.h"
#include "engine/SourceLayout.h"
#include "engine/SplitPlan.h"
#include "engine/SplitSearch.h"
#include "engine/Tags.h"
#include "platform/LocalFileSystem.h"

using namespace quorvel;

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

// Where the source's first frame starts: the bytes before it are no part's.
std::int64_t FirstFrameAt(ByteSource& source) {
    BlockReader reader(source);
    return ReadLayout(source, reader).HeaderStart;
}

// The length of the source's free-format frames; 0 where it has none.
std::int16_t FreeFormatLengthOf(ByteSource& source) {
    BlockReader reader(source);
    return ReadLayout(source, reader).FreeFormatLength;
}

// The length of the frame that opens `bytes` where it holds a length header; 0 where not. A
// free-format frame is `freeFormatLength` long.
std::size_t HeaderFrameLength(const std::vector<std::uint8_t>& bytes,
                              std::int16_t freeFormatLength) {
    HeaderBytes head{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), head.size()), head.begin());
    FileInformation info;
    info.FreeFormatLength = freeFormatLength;
    FrameValues frame;
    if (!DecodeFrameHeader(head, info, frame) || bytes.size() < std::size_t(frame.FrameLength)) {
        return 0;
    }
    const std::span<const std::uint8_t> whole(bytes.data(), std::size_t(frame.FrameLength));
    return FindLengthHeader(whole, frame) ? whole.size() : 0;
}

// A header decoder of its own, writing the stream fields in the same order (version,
// layer, bit rate, sampling rate) so that what a rejected header leaves can be compared; a
// free-format header has the length `info` holds, and a bit rate to the kbit/s from it.
bool Decode(const HeaderBytes& b, FileInformation& info, FrameValues& f) {
    static const int kMpeg1[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                   112, 128, 160, 192, 224, 256, 320, 0};
    static const int kMpeg2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
    static const int kRates[3][3] = {
        {44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
    if (b[0] != 0xFF || (b[1] >> 5) != 7) return false;
    const int version = (b[1] >> 3) & 3;
    if (version == 1) return false;
    info.MpegVersion = version == 3 ? 1 : version == 2 ? 2 : 2.5;
    if (((b[1] >> 1) & 3) != 1) return false;
    info.LayerNumber = 3;
    const int kbits = (version == 3 ? kMpeg1 : kMpeg2)[b[2] >> 4];
    const bool freeFormat = (b[2] >> 4) == 0 && info.FreeFormatLength > 0;
    if (kbits == 0 && !freeFormat) return false;
    if (!freeFormat) info.BitRate = kbits * 1000;
    if (((b[2] >> 2) & 3) == 3) return false;
    info.SamplingRate = kRates[version == 3 ? 0 : version == 2 ? 1 : 2][(b[2] >> 2) & 3];
    const int multiplier = info.SamplingRate >= 32000 ? 144 : 72;
    if (freeFormat) {
        const std::int64_t bits =
            std::int64_t{info.FreeFormatLength} * info.SamplingRate / multiplier;
        info.BitRate = static_cast<std::int32_t>((bits + 500) / 1000 * 1000);
    }
    const int pointerAt = (b[1] & 1) ? 4 : 6;
    f.MainDataBegin = version == 3 ? 2 * b[pointerAt] + (b[pointerAt + 1] >> 7) : b[pointerAt];
    f.FrameLength = static_cast<std::int16_t>(
        (freeFormat ? info.FreeFormatLength : info.BitRate * multiplier / info.SamplingRate) +
        ((b[2] >> 1) & 1));
    f.FrameDuration = 1 / (info.SamplingRate / (version == 3 ? 1152.0 : 576.0));
    const bool mono = (b[3] >> 6) == 3;
    const bool mpeg1 = b[1] & 8;
    f.SideInfoSize = mono ? (mpeg1 ? 17 : 9) : (mpeg1 ? 32 : 17);
    return true;
}

// Hands out at most `chunk` bytes per read, as a file may.
class ChunkySource final : public ByteSource {
  public:
    ChunkySource(std::span<const std::uint8_t> bytes, std::size_t chunk)
        : memory_(bytes), chunk_(chunk) {}
    std::int64_t Size() const override { return memory_.Size(); }
    std::size_t ReadAt(std::int64_t offset, std::uint8_t* buffer, std::size_t count) override {
        return memory_.ReadAt(offset, buffer, std::min(count, chunk_));
    }

  private:
    MemorySource memory_;
    std::size_t chunk_;
};

// Keeps every ID3v2 tag as it is.
class KeepTags final : public TagEditor {
  public:
    std::optional<std::vector<std::uint8_t>> ForPart(std::span<const std::uint8_t>,
                                                     PartTime) override {
        return std::nullopt;
    }
    std::vector<Chapter> Chapters(std::span<const std::uint8_t>) override { return {}; }
} keepTags;

bool TagMarker(const HeaderBytes& h) {
    const auto opens = [&h](std::string_view marker) {
        return std::equal(marker.begin(), marker.end(), h.begin());
    };
    return opens("TAG") || opens("APETAGEX") || opens("LYRICSBE");
}

// The free-format length one offset at a time: from the first free-format header within
// 64 KiB of the audio's start to the next of its stream (version, layer, bit-rate index,
// sampling rate and channel mode alike) within 3,460 bytes, less its padding, where the
// frame there ends at another, a tag or the audio's end; none where a frame that chains at
// a bit rate of its own comes first.
std::int16_t ReferenceFreeLength(std::span<const std::uint8_t> source) {
    MemorySource memory(source);
    const SourceTags tags = FindTags(memory);
    const std::int64_t from = tags.Id3v2Length, to = tags.TrailerAt;
    const auto size = static_cast<std::int64_t>(source.size());
    auto header = [&](std::int64_t at) {
        HeaderBytes h{};
        for (std::int64_t i = 0; i < 8; ++i) h[i] = at + i < size ? source[at + i] : 0;
        return h;
    };
    const auto same = [](const HeaderBytes& a, const HeaderBytes& b) {
        return b[0] == 0xFF && (a[1] | 1) == (b[1] | 1) && (a[2] & 0xFC) == (b[2] & 0xFC) &&
               (a[3] & 0xC0) == (b[3] & 0xC0);
    };
    for (std::int64_t offset = from; offset < std::min(to, from + 65536); ++offset) {
        if (source[offset] != 0xFF) continue;
        const HeaderBytes first = header(offset);
        FileInformation probe;
        FrameValues f;
        if (Decode(first, probe, f)) {
            const std::int64_t next = offset + f.FrameLength;
            if (next == to) return 0;
            if (next < to && (TagMarker(header(next)) || Decode(header(next), probe, f))) return 0;
            continue;
        }
        probe.FreeFormatLength = 3460;
        if ((first[2] >> 4) != 0 || !Decode(first, probe, f)) continue;
        const int padding = (first[2] >> 1) & 1;
        const std::int64_t start = ((first[1] & 1) ? 4 : 6) + f.SideInfoSize + padding;
        for (std::int64_t next = offset + start; next <= std::min(offset + 3460, to - 1); ++next) {
            if (!same(first, header(next))) continue;
            probe.FreeFormatLength = static_cast<std::int16_t>(next - offset - padding);
            FrameValues following;
            Decode(header(next), probe, following);
            const std::int64_t end = next + following.FrameLength;
            if (end == to || (end < to && (TagMarker(header(end)) || same(first, header(end))))) {
                return probe.FreeFormatLength;
            }
        }
    }
    return 0;
}

struct Walk {
    Cut point;  // the totals so far, and where the frame before lies
    Cut cut;    // the first safe frame at or after the split time
    double seconds = 0;
    FileInformation info;
    std::int64_t room = -1;   // main data the frame before holds behind its side information
    std::int64_t before = 0;  // where the frame before starts: junk may lie between it and the next
    std::int64_t cutBefore = 0;  // and the frame before the cut
};

// The walk over the frame chain from `start` to `end`, one offset at a time, zeros past
// the source's end. With `split` it notes the first safe frame at or after
// `splitSeconds`.
Walk ReferenceWalk(std::span<const std::uint8_t> source, std::int32_t splitSeconds, bool split,
                   std::int64_t start = 0, std::int64_t end = -1) {
    Walk w;
    w.info.FreeFormatLength = ReferenceFreeLength(source);
    const auto size = static_cast<std::int64_t>(source.size());
    const std::int64_t length = end < 0 ? size : end;
    auto header = [&](std::int64_t at) {
        HeaderBytes h{};
        for (std::int64_t i = 0; i < 8; ++i) h[i] = at + i < size ? source[at + i] : 0;
        return h;
    };
    std::int64_t offset = start;
    while (offset < length) {
        FrameValues f;
        if (source[offset] != 0xFF || !Decode(header(offset), w.info, f)) {
            ++offset;
            continue;
        }
        const std::int64_t next = offset + f.FrameLength;
        if (next < length) {
            const HeaderBytes h = header(next);
            // A tag after the audio, ID3v1, APEv2 or Lyrics3, may follow a frame.
            if (!TagMarker(h)) {
                FrameValues ignored;
                if (!Decode(h, w.info, ignored)) {
                    ++offset;
                    continue;
                }
                if (split && w.cut.At == 0 && w.seconds >= splitSeconds &&
                    f.MainDataBegin <= w.room) {
                    w.cut = w.point;
                    w.cut.At = offset;
                    w.cut.Borrowed = f.MainDataBegin;
                    w.cutBefore = w.before;
                }
            }
        } else if (next != length) {
            ++offset;
            continue;
        }
        w.room = f.FrameLength - ((source[offset + 1] & 1) ? 4 : 6) - f.SideInfoSize;
        w.before = offset;
        w.point.PrevFrameLength = f.FrameLength;
        w.point.PrevSideInfoSize = f.SideInfoSize;
        w.seconds += f.FrameDuration;
        ++w.point.FramesBefore;
        offset = next;
    }
    return w;
}

bool SameInfo(const FileInformation& a, const FileInformation& b) {
    return a.MpegVersion == b.MpegVersion && a.LayerNumber == b.LayerNumber &&
           a.BitRate == b.BitRate && a.SamplingRate == b.SamplingRate &&
           a.FreeFormatLength == b.FreeFormatLength;
}

std::vector<std::uint8_t> Materialise(const OutputPlan& plan, std::span<const std::uint8_t> src) {
    std::vector<std::uint8_t> out;
    for (const auto& piece : plan) {
        Check(piece.Length >= 0);
        if (!piece.Bytes.empty()) {
            Check(static_cast<std::int64_t>(piece.Bytes.size()) == piece.Length);
            out.insert(out.end(), piece.Bytes.begin(), piece.Bytes.end());
            continue;
        }
        Check(piece.SourceOffset >= 0 &&
              piece.SourceOffset + piece.Length <= static_cast<std::int64_t>(src.size()));
        out.insert(out.end(), src.begin() + piece.SourceOffset,
                   src.begin() + piece.SourceOffset + piece.Length);
    }
    return out;
}

// What the scan, both split searches and their plans find in a source.
struct Findings {
    ScanResult scan;
    FileInformation info;
    std::int64_t cuts[2] = {0, 0};
    std::vector<std::uint8_t> outputs[2][2];
};

Findings Find(ByteSource& source, std::span<const std::uint8_t> src, std::int32_t splitSeconds) {
    Findings found;
    found.scan = ScanFrameChain(source, found.info);
    FileInformation info;
    const Cut point = FindCut(source, std::chrono::seconds(splitSeconds), false, info);
    const Cut cut = FindCut(source, std::chrono::seconds(splitSeconds), true, info);
    found.cuts[0] = point.At;
    found.cuts[1] = cut.At;
    for (int exact = 0; exact < 2; ++exact) {
        if (found.cuts[exact] == 0) continue;
        const OutputPlans plans = PlanOutputs(exact ? cut : point, exact, source, keepTags);
        found.outputs[exact][0] = Materialise(plans.First, src);
        found.outputs[exact][1] = Materialise(plans.Second, src);
    }
    return found;
}

// The bytes as a file in memory, read through the buffer and through the smallest mappings,
// give what they give in memory.
void CheckFileReaders(std::span<const std::uint8_t> src, std::int32_t splitSeconds) {
    static const int fd = ::memfd_create("fuzz-source", MFD_CLOEXEC);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    static platform::LocalFileSystem buffered({.MappedWindow = 0});
    static platform::LocalFileSystem mapped({.MappedWindow = 1});
    Check(fd >= 0 && ::ftruncate(fd, 0) == 0 &&
          ::pwrite(fd, src.data(), src.size(), 0) == static_cast<ssize_t>(src.size()));
    MemorySource memory(src);
    const Findings expected = Find(memory, src, splitSeconds);
    for (platform::LocalFileSystem* files : {&buffered, &mapped}) {
        const auto file = files->OpenSource(path);
        const Findings found = Find(*file, src, splitSeconds);
        Check(found.scan.Frames == expected.scan.Frames &&
              found.scan.TotalSeconds == expected.scan.TotalSeconds &&
              SameInfo(found.info, expected.info));
        for (int exact = 0; exact < 2; ++exact) {
            Check(found.cuts[exact] == expected.cuts[exact] &&
                  found.outputs[exact][0] == expected.outputs[exact][0] &&
                  found.outputs[exact][1] == expected.outputs[exact][1]);
        }
    }
}

bool Holds(std::span<const std::uint8_t> src, const char* text) {
    return std::search(src.begin(), src.end(), text, text + 3) != src.end();
}

// Bytes with nothing that looks like a tag or a length header.
bool Plain(std::span<const std::uint8_t> src) {
    return !Holds(src, "ID3") && !Holds(src, "TAG") && !Holds(src, "Xin") && !Holds(src, "Inf") &&
           !Holds(src, "VBR") && !Holds(src, "APE") && !Holds(src, "LYR");
}

// Without tags or length headers, a sample-exact cut's first output is the source up to the
// frame that holds the cut; the second goes on with the source from the first frame it
// plays before the cut frame.
void CheckExactCut(std::span<const std::uint8_t> src, std::int64_t milliseconds) {
    MemorySource source(src);
    FileInformation info;
    const Cut cut = FindCut(source, std::chrono::milliseconds(milliseconds), true, info);
    if (cut.At == 0) return;
    Check(cut.FirstEnd >= cut.At && cut.Primers.size() <= 2 && cut.CutOffset >= 0 &&
          cut.CutOffset < cut.SamplesPerFrame);
    const OutputPlans plans = PlanOutputs(cut, true, source, keepTags);
    const std::vector<std::uint8_t> one = Materialise(plans.First, src);
    const std::vector<std::uint8_t> two = Materialise(plans.Second, src);
    const auto from = cut.Primers.empty() ? cut.At : cut.Primers.front().Offset;
    const auto rest = src.subspan(static_cast<std::size_t>(from));
    Check(two.size() >= rest.size() &&
          std::equal(rest.begin(), rest.end(), two.end() - rest.size()));
    const bool plain = Plain(src);
    if (plain) {
        const std::int64_t start = FirstFrameAt(source);
        Check(std::equal(one.begin(), one.end(), src.begin() + start, src.begin() + cut.FirstEnd) &&
              static_cast<std::int64_t>(one.size()) == cut.FirstEnd - start);
    }
}

bool SamePiece(const OutputPiece& a, const OutputPiece& b) {
    return a.SourceOffset == b.SourceOffset && a.Length == b.Length && a.Bytes == b.Bytes;
}

// A part planned to share the source's blocks is the part planned without, but for its
// ID3v2 tag: the one it opens with grown by zeros, its stated size the new one, or one of
// padding alone put before it; either brings the first byte copied from the source after
// it to that byte's offset within a block.
void CheckSharedBlocks(const OutputPlan& plain, const OutputPlan& shared,
                       std::span<const std::uint8_t> src, std::int64_t block) {
    const bool added = shared.size() == plain.size() + 1;
    Check(added || shared.size() == plain.size());
    const std::size_t same = added ? 0 : 1;
    for (std::size_t i = same; i < plain.size(); ++i) {
        Check(SamePiece(plain[i], shared[i + (added ? 1 : 0)]));
    }
    if (!added && (plain.empty() || SamePiece(plain[0], shared[0]))) return;
    const std::vector<std::uint8_t> tag = Materialise({shared[0]}, src);
    const std::vector<std::uint8_t> before =
        added ? std::vector<std::uint8_t>{'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0}
              : Materialise({plain[0]}, src);
    Check(tag.size() > before.size() &&
          std::equal(before.begin(), before.begin() + 6, tag.begin()));
    Check(std::equal(before.begin() + 10, before.end(), tag.begin() + 10));
    Check(std::all_of(tag.begin() + std::ptrdiff_t(before.size()), tag.end(),
                      [](std::uint8_t byte) { return byte == 0; }));
    const std::size_t stated =
        std::size_t(tag[6]) << 21 | std::size_t(tag[7]) << 14 | std::size_t(tag[8]) << 7 | tag[9];
    Check((tag[6] | tag[7] | tag[8] | tag[9]) < 0x80 && stated + 10 == tag.size());
    std::int64_t at = 0;
    for (const OutputPiece& piece : shared) {
        if (&piece != &shared[0] && piece.Bytes.empty()) {
            Check((at - piece.SourceOffset) % block == 0);
            return;
        }
        at += piece.Length;
    }
    Check(false);
}

// Cutting at two times in one walk finds the cuts two walks find, each the one a split in
// two makes there, and refuses two that fall on one frame. Without tags or length headers
// the first part is the first of a split in two at the first time, the last the second of
// a split at the second time, and the one between holds the source from the first cut to
// the second.
void CheckSeveralCuts(std::span<const std::uint8_t> src, std::int64_t earlier, std::int64_t later,
                      bool exact, std::int64_t block) {
    MemorySource source(src);
    FileInformation info;
    const CutTimes times{{std::chrono::milliseconds(earlier), std::chrono::milliseconds(later)}};
    const SourceCuts cuts = FindCuts(source, times, exact, info);
    OutputPlans one, two;
    std::int64_t at[2] = {0, 0};
    std::int64_t from = 0, to = 0;  // the source's bytes the part between holds, at least
    bool same = false;
    if (exact) {
        const Cut a = FindCut(source, std::chrono::milliseconds(earlier), true, info);
        const Cut b = FindCut(source, std::chrono::milliseconds(later), true, info);
        at[0] = a.At, at[1] = b.At;
        same = a.CutFrame == b.CutFrame;
        if (a.At && b.At && !same) {
            one = PlanOutputs(a, true, source, keepTags);
            two = PlanOutputs(b, true, source, keepTags);
            from = a.Primers.empty() ? a.At : a.Primers.front().Offset;
            to = b.FirstEnd;
            Check(cuts.Cuts[0].FirstEnd == a.FirstEnd && cuts.Cuts[1].FirstEnd == b.FirstEnd);
        }
    } else {
        const Cut a =
            FindCut(source, std::chrono::seconds(std::int32_t(earlier / 1000)), false, info);
        const Cut b =
            FindCut(source, std::chrono::seconds(std::int32_t(later / 1000)), false, info);
        at[0] = a.At, at[1] = b.At;
        same = at[0] == at[1];
        if (at[0] && at[1] && !same) {
            one = PlanOutputs(a, false, source, keepTags);
            two = PlanOutputs(b, false, source, keepTags);
            from = a.At, to = b.At;
            Check(cuts.Cuts[0].FramesBefore == a.FramesBefore &&
                  cuts.Cuts[1].FramesBefore == b.FramesBefore);
        }
    }
    if (cuts.Problem != CutProblem::None) {
        // Refused at the first cut that cannot be made: one missing from a split in two
        // there too, one past the end, or one at the frame cut at already.
        const std::size_t found = cuts.Found();
        Check(found < 2 && cuts.Times.size() == found + 1);
        Check(at[found] == 0 || (found == 1 && same) || cuts.Problem == CutProblem::PastEnd);
        return;
    }
    Check(at[0] && at[1] && !same && cuts.Found() == 2);
    for (std::size_t i = 0; i < 2; ++i) {
        Check(cuts.Cuts[i].At == at[i]);
    }
    std::vector<std::uint8_t> parts[3];
    for (std::size_t i = 0; i < 3; ++i) {
        const OutputPlan plan = PlanPart(cuts, i, source, keepTags).Plan;
        parts[i] = Materialise(plan, src);
        CheckSharedBlocks(plan, PlanPart(cuts, i, source, keepTags, {}, block).Plan, src, block);
    }
    // The walk counts the audio's frames for a seam check: as many as an analysis of one
    // unbroken run counts.
    FileInformation scratch;
    const ScanResult scan = ScanFrameChain(source, scratch);
    const SourceLayout& layout = cuts.Layout;
    if (!layout.Header && scan.RunFrom == layout.AudioStart &&
        scan.RunEnd == layout.Tags.TrailerAt) {
        Check(cuts.RunFrames == scan.Frames);
    }
    const auto tail =
        src.subspan(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
    Check(parts[1].size() >= tail.size());
    if (!Plain(src)) return;
    Check(parts[0] == Materialise(one.First, src) && parts[2] == Materialise(two.Second, src));
    if (exact) {
        Check(std::equal(tail.begin(), tail.end(), parts[1].end() - tail.size()));
        return;
    }
    // The frames that carry what the first cut's frame borrows, then the source up to the
    // second cut, what that cut's frame borrows zeroed; a header frame of the split's own
    // before them counts the part's own frames.
    std::vector<std::uint8_t> between = Materialise(one.Second, src);
    between.resize(between.size() - (src.size() - static_cast<std::size_t>(from)));
    const std::vector<std::uint8_t> first = Materialise(two.First, src);
    const std::int64_t start = FirstFrameAt(source);
    between.insert(between.end(), first.begin() + (from - start), first.begin() + (to - start));
    const std::size_t header = HeaderFrameLength(between, layout.FreeFormatLength);
    Check(header == HeaderFrameLength(parts[1], layout.FreeFormatLength) &&
          parts[1].size() == between.size() &&
          std::equal(between.begin() + header, between.end(), parts[1].begin() + header));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::int32_t splitSeconds = (data[0] | data[1] << 8) % 21;
    const std::span<const std::uint8_t> src(data + 2, size - 2);

    const Walk scanned = ReferenceWalk(src, 0, false);
    MemorySource scanSource(src);
    FileInformation scanInfo;
    const ScanResult scan = ScanFrameChain(scanSource, scanInfo);
    Check(scan.Frames == scanned.point.FramesBefore && scan.TotalSeconds == scanned.seconds);
    Check(SameInfo(scanInfo, scanned.info));

    // The same walk through small blocks filled by short reads, so that frames and
    // headers straddle block boundaries.
    ChunkySource chunky(src, 1 + data[0] % 13);
    BlockReader reader(chunky, 8 + data[1] % 64);
    FileInformation chunkyInfo;
    const SourceTags scanTags = FindTags(scanSource);
    chunkyInfo.FreeFormatLength =
        FindFreeFormatLength(reader, scanTags.Id3v2Length, scanTags.TrailerAt);
    std::int64_t frames = 0;
    double seconds = 0;
    WalkFrameChain(reader, chunkyInfo, [&](const ChainFrame& accepted) {
        ++frames;
        seconds += accepted.Frame.FrameDuration;
        return true;
    });
    Check(frames == scanned.point.FramesBefore && seconds == scanned.seconds);
    Check(SameInfo(chunkyInfo, scanned.info));
    // However an ID3v2 tag nests its chapters, their depth is measured within its bytes.
    const int depth = ChapterDepth(src);
    Check(depth >= 0 && depth <= kDeepestChapters + 1);
    CheckFileReaders(src, splitSeconds);
    CheckExactCut(src, splitSeconds * 1000 + data[0] * 4);

    const std::int32_t laterSeconds = splitSeconds + 1 + data[1] / 2 % 3;
    // The parts planned to share blocks of 512 bytes to 8 KiB too.
    const std::int64_t block = std::int64_t{512} << data[0] % 5;
    // One mode an input, as the check costs as much as the rest.
    if (data[1] & 1) {
        CheckSeveralCuts(src, splitSeconds * 1000 + data[0] * 4, laterSeconds * 1000, true, block);
    } else {
        CheckSeveralCuts(src, splitSeconds * 1000, laterSeconds * 1000, false, block);
    }

    // The split walks the audio alone: from the end of the ID3v2 tag to the tags after it.
    MemorySource source(src);
    const SourceTags tags = FindTags(source);
    const Walk expected = ReferenceWalk(src, splitSeconds, true, tags.Id3v2Length, tags.TrailerAt);
    FileInformation info;
    const Cut point = FindCut(source, std::chrono::seconds(splitSeconds), false, info);
    // A walk that found its cut may end there.
    Check(point.At != 0 || SameInfo(info, expected.info));
    Check(point.At == expected.cut.At);
    if (point.At == 0) return 0;
    Check(point.FramesBefore == expected.cut.FramesBefore &&
          point.PrevFrameLength == expected.cut.PrevFrameLength &&
          point.PrevSideInfoSize == expected.cut.PrevSideInfoSize &&
          point.Borrowed == expected.cut.Borrowed);

    const std::int64_t sp = point.At;
    const std::int32_t m = point.Borrowed;
    const std::int64_t f = point.PrevFrameLength;
    const std::int64_t s = point.PrevSideInfoSize;

    // Without tags or length headers the outputs are the source's bytes: the first up to
    // the split frame, its borrowed bytes zeroed; the second from the split frame on,
    // after a header frame and the silent added frame when something is borrowed. With them, the
    // audio is still where it belongs.
    const OutputPlans plans = PlanOutputs(point, false, source, keepTags);
    const std::vector<std::uint8_t> one = Materialise(plans.First, src);
    const std::vector<std::uint8_t> two = Materialise(plans.Second, src);
    const bool plain = Plain(src);
    std::vector<std::uint8_t> added;
    if (m > 0) {
        added.assign(src.begin() + expected.cutBefore, src.begin() + expected.cutBefore + f);
        std::fill(added.begin() + ((added[1] & 1) ? 4 : 6), added.end() - m, 0);
    }
    const auto endsWith = [](const std::vector<std::uint8_t>& out,
                             std::span<const std::uint8_t> tail) {
        return out.size() >= tail.size() &&
               std::equal(tail.begin(), tail.end(), out.end() - tail.size());
    };
    Check(endsWith(two, src.subspan(sp)));
    if (plain) {
        const std::int64_t start = FirstFrameAt(source);
        std::vector<std::uint8_t> first(src.begin() + start, src.begin() + sp);
        std::fill(first.begin() + (expected.cutBefore + f - m - start),
                  first.begin() + (expected.cutBefore + f - start), 0);
        Check(one == first);
        // Whatever it borrows, the second opens with a header frame of its own that hides
        // the added frame behind its start delay, where the frames of a free-format stream
        // are long enough to hold one.
        const std::int16_t freeLength = FreeFormatLengthOf(source);
        const std::size_t header = HeaderFrameLength(two, freeLength);
        const bool headed = m > 0 && NewHeaderFrame(source, sp, false, freeLength).has_value();
        Check((header > 0) == headed && two.size() == header + added.size() + src.size() - sp);
    }
    if (m > 0) {
        const auto at = two.size() - (src.size() - sp) - added.size();
        // The CRC, when the frame has one, is made anew: compared apart.
        const bool crc = (added[1] & 1) == 0;
        Check(std::equal(added.begin(), added.begin() + 4, two.begin() + at) &&
              std::equal(added.begin() + (crc ? 6 : 4), added.end(),
                         two.begin() + at + (crc ? 6 : 4)));
        Check(!crc || FrameCrc({two.data() + at, added.size()}, static_cast<std::int16_t>(s)) ==
                          (two[at + 4] << 8 | two[at + 5]));
    }

    return 0;
}
