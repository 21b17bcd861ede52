#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <thread>

namespace quorvel::platform {

struct MappedWindowSlot;

// Shows an open file's bytes in place through mappings of a bounded size, so that
// resident memory stays small whatever the file's length. Read front to back, the next
// window is mapped ahead of the reader, and a thread of its own sets up its page tables
// and tears down the windows left behind while the reader walks on.
//
// A file that shrinks beneath a mapping faults where it ended; the fault is turned into
// zeros there and noted, so the program never dies of it: Faulted() tells the reader
// that what it was shown was not the file's own.
class MappedWindows {
  public:
    MappedWindows(int descriptor, std::int64_t size, std::size_t window);
    ~MappedWindows();
    MappedWindows(const MappedWindows&) = delete;
    MappedWindows& operator=(const MappedWindows&) = delete;

    // The bytes from `offset` on, at least `count` of them unless the file ends first, up
    // to the end of the window that holds them; valid until the next call. Empty when
    // the file cannot be mapped.
    std::span<const std::uint8_t> View(std::int64_t offset, std::size_t count);
    // Whether any mapping faulted since the file was opened.
    bool Faulted() const;
    // Whether the file has ever been shown through a mapping.
    bool Used() const { return slot_ != nullptr; }

  private:
    struct Window {
        const std::uint8_t* At = nullptr;
        std::int64_t Start = 0;
        std::int64_t End = 0;
    };
    // Maps [start, start + length) of the file; a window without bytes where it cannot.
    Window Map(std::int64_t start, std::int64_t length) const;
    static void Unmap(const Window& window);
    // Maps the window after the current one and hands it to the helper to fill in.
    void MapAhead();
    // Unmaps a window the reader is done with (through the helper, once there is one).
    void Retire(Window& window);
    // Tells the bus-error handler which window the reader reads.
    void Show(const Window& window);
    void Help();  // the helper thread's loop

    int descriptor_;
    std::int64_t size_;
    std::int64_t window_;
    bool failed_ = false;  // a mapping failed: the file is read through pread from then on
    MappedWindowSlot* slot_ = nullptr;
    Window current_;
    Window ahead_;

    // The helper's work: windows to fill in (populate) and windows to unmap.
    struct Job {
        Window Target;
        bool Unmap = false;
    };
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool stopping_ = false;
    std::thread helper_;
};

}  // namespace quorvel::platform
