#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "engine/AudioDecoder.h"
#include "engine/Message.h"
#include "engine/Silences.h"
#include "engine/WatchedFiles.h"
#include "platform/LocalFileSystem.h"
#include "platform/Mpg123Decoder.h"

namespace quorvel::ui {

// The lowest and highest sample of a stretch, over all its channels.
struct Peak {
    std::int16_t Min = 0;
    std::int16_t Max = 0;
};

// Where the two split rules cut at a time, in the source's played samples; none where a
// rule finds no cut there.
struct CutMarks {
    std::int64_t Ms = 0;
    std::optional<std::int64_t> SafeFrame;  // the frame rule: the safe frame's start
    std::optional<std::int64_t> Exact;      // the exact mode: the cut sample
};

// Decodes the source on a thread of its own into the peaks of blocks of one frame's
// samples: what the window shows first, then the rest of the file from its start, so that
// the rough levels give way to the real peaks as they come; a stretch of single samples
// and the cuts at a time when asked; beside it, on a thread of its own, the file's silences
// from its start, a minute at a time.
// Its results reach `receiver` on the window's thread.
class WaveDecoding {
  public:
    struct Results {
        std::function<void(std::int64_t firstBlock, const std::vector<Peak>& peaks)> Blocks;
        std::function<void(std::int64_t from, const std::vector<Peak>& samples)> Samples;
        std::function<void(const CutMarks& marks)> Cuts;
        std::function<void(const std::vector<Silence>& more)> Silences;  // in order
        std::function<void(const Message& why)> Failed;
    };

    WaveDecoding(QObject* receiver, Results results, const QString& path, std::int32_t blockSamples,
                 std::int64_t blocks);
    // Stops the decoding at its next read and waits for it to end.
    ~WaveDecoding();

    // The blocks on view, decoded before any other.
    void WantBlocks(std::int64_t first, std::int64_t end);
    // The samples on view one by one, each a peak over its channels.
    void WantSamples(std::int64_t from, std::int64_t count);
    void WantCuts(std::int64_t ms);

  private:
    void Run();
    void FindFileSilences();
    // Decodes the chunk of blocks and hands over its peaks.
    void DecodeChunk(DecodedAudio& audio, std::int64_t chunk);

    QObject* receiver_;
    Results results_;
    std::string path_;
    std::int32_t blockSamples_;
    std::int64_t blocks_;
    std::vector<bool> chunkDone_;  // the thread's own
    std::int64_t sweep_ = 0;       // the next chunk the sweep from the start looks at

    std::mutex mutex_;
    std::condition_variable wake_;
    std::int64_t wantedFirst_ = 0, wantedEnd_ = 0;
    std::optional<std::pair<std::int64_t, std::int64_t>> wantedSamples_;
    std::optional<std::int64_t> wantedCuts_;

    std::atomic<bool> stopping_ = false;
    platform::LocalFileSystem localFiles_;
    WatchedFiles files_{localFiles_, stopping_};
    // What is seen seeks in every stream, not only in MPEG 1.
    platform::Mpg123Decoder decoder_{platform::Mpg123Decoder::Seeking::Near};
    // Last: they start once all the rest is there.
    std::thread thread_;
    std::thread silences_;
};

}  // namespace quorvel::ui
