#include "platform/MappedWindows.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <system_error>
#include <utility>

namespace quorvel::platform {

// What the bus-error handler knows of one source's window. Only the thread reading
// through a window touches it, so the handler looks only at the windows of the thread
// that faulted.
struct MappedWindowSlot {
    std::atomic<bool> Used{false};
    std::atomic<pid_t> Reader{0};
    std::atomic<std::uintptr_t> Begin{0};
    std::atomic<std::uintptr_t> End{0};
    std::atomic<bool> Faulted{false};
};

// The handler may touch only what needs no lock.
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<pid_t>::is_always_lock_free &&
              std::atomic<std::uintptr_t>::is_always_lock_free);

namespace {

constexpr std::size_t kSlots = 8;
MappedWindowSlot slots[kSlots];
struct sigaction busActionBefore;
const auto pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));

extern "C" void ZeroFaultedWindow(int, siginfo_t* fault, void*) {
    const auto address = reinterpret_cast<std::uintptr_t>(fault->si_addr);
    const pid_t self = ::gettid();
    for (MappedWindowSlot& slot : slots) {
        if (!slot.Used || slot.Reader != self) continue;
        const std::uintptr_t begin = slot.Begin;
        const std::uintptr_t end = slot.End;
        if (address < begin || address >= end) continue;
        // Zeros over the rest of the window, from the page that faulted; on Linux mmap is
        // a plain system call, safe here.
        const std::uintptr_t page = address & ~(pageSize - 1);
        if (::mmap(reinterpret_cast<void*>(page), end - page, PROT_READ,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) == MAP_FAILED) {
            break;
        }
        slot.Faulted = true;
        return;
    }
    // Not a window's fault: it recurs under the handling there was before.
    ::sigaction(SIGBUS, &busActionBefore, nullptr);
}

// A slot for a source's windows, or none when all are taken.
MappedWindowSlot* TakeSlot() {
    static const bool installed = [] {
        struct sigaction action {};
        action.sa_sigaction = ZeroFaultedWindow;
        action.sa_flags = SA_SIGINFO;
        ::sigemptyset(&action.sa_mask);
        return ::sigaction(SIGBUS, &action, &busActionBefore) == 0;
    }();
    if (!installed) return nullptr;
    for (MappedWindowSlot& slot : slots) {
        bool used = false;
        if (slot.Used.compare_exchange_strong(used, true)) {
            slot.Faulted = false;
            return &slot;
        }
    }
    return nullptr;
}

// The calling thread's id, asked of the kernel once a thread: the C library does not keep
// it, and a reader such as the decoder asks for a view per frame.
pid_t ThisThread() {
    thread_local const pid_t self = ::gettid();
    return self;
}

std::int64_t PageStart(std::int64_t offset) {
    return offset & ~static_cast<std::int64_t>(pageSize - 1);
}

}  // namespace

MappedWindows::MappedWindows(int descriptor, std::int64_t size, std::size_t window)
    : descriptor_(descriptor),
      size_(size),
      // Whole pages, as mappings start on page boundaries, and two at least, as the next
      // window starts on the last page of the one before.
      window_(window == 0 ? 0
                          : std::max(PageStart(static_cast<std::int64_t>(window + pageSize - 1)),
                                     static_cast<std::int64_t>(2 * pageSize))) {}

MappedWindows::~MappedWindows() {
    if (helper_.joinable()) {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_one();
        helper_.join();  // once it has unmapped what it was given
    }
    if (slot_) slot_->End = 0;
    for (const Window& window : {current_, ahead_}) {
        if (window.At) Unmap(window);
    }
    if (slot_) slot_->Used = false;
}

bool MappedWindows::Faulted() const {
    return slot_ && slot_->Faulted;
}

std::span<const std::uint8_t> MappedWindows::View(std::int64_t offset, std::size_t count) {
    if (window_ <= 0 || failed_ || offset < 0 || offset >= size_) return {};
    const std::int64_t end =
        offset + std::min<std::int64_t>(static_cast<std::int64_t>(count), size_ - offset);
    const auto holds = [&](const Window& window) {
        return window.At && offset >= window.Start && end <= window.End;
    };
    if (!holds(current_)) {
        if (!slot_ && !(slot_ = TakeSlot())) {
            failed_ = true;
            return {};
        }
        slot_->End = 0;
        // Only a reader that runs on into the window after the one it read (mapped ahead,
        // or not yet) reads front to back and has the next one mapped and filled in ahead
        // of it; one that jumps about reads a few bytes at each place, and only the window
        // it reads is mapped. The windows share a page, so that a header across the
        // boundary lies whole in the next.
        const bool intoAhead = holds(ahead_);
        const std::int64_t next = PageStart(current_.End - 1);
        const bool onward =
            intoAhead || (current_.At && !ahead_.At && offset >= next && end <= next + window_);
        Retire(current_);
        if (intoAhead) {
            current_ = std::exchange(ahead_, {});
        } else {
            Retire(ahead_);
            const std::int64_t start = onward ? next : PageStart(offset);
            current_ = Map(start, std::max(window_, end - start));
            if (!current_.At) {
                failed_ = true;  // what cannot be mapped is read through pread: the same bytes
                return {};
            }
        }
        Show(current_);
        if (onward) MapAhead();
    }
    // The bus-error handler looks for the thread that reads; it changes seldom.
    if (const pid_t self = ThisThread(); slot_->Reader != self) slot_->Reader = self;
    return {current_.At + (offset - current_.Start),
            static_cast<std::size_t>(current_.End - offset)};
}

MappedWindows::Window MappedWindows::Map(std::int64_t start, std::int64_t length) const {
    length = std::min(length, size_ - start);
    void* at = ::mmap(nullptr, static_cast<std::size_t>(length), PROT_READ, MAP_SHARED, descriptor_,
                      start);
    if (at == MAP_FAILED) return {};
    return {static_cast<const std::uint8_t*>(at), start, start + length};
}

void MappedWindows::Unmap(const Window& window) {
    ::munmap(const_cast<std::uint8_t*>(window.At),
             static_cast<std::size_t>(window.End - window.Start));
}

void MappedWindows::MapAhead() {
    if (current_.End >= size_) return;
    ahead_ = Map(PageStart(current_.End - 1), window_);
    if (!ahead_.At) return;
    if (!helper_.joinable()) {
        try {
            helper_ = std::thread(&MappedWindows::Help, this);
        } catch (const std::system_error&) {
            return;  // without a helper, the reader's own faults fill the windows in
        }
    }
    {
        const std::lock_guard lock(mutex_);
        jobs_.push_back({ahead_, false});
    }
    wake_.notify_one();
}

void MappedWindows::Retire(Window& window) {
    if (!window.At) return;
    bool queued = false;
    if (helper_.joinable()) {
        const std::lock_guard lock(mutex_);
        // Filling in a window that nobody will read is wasted.
        std::erase_if(jobs_, [&](const Job& job) { return job.Target.At == window.At; });
        // A helper held up by a busy machine would leave windows mapped, each a window of
        // the file's pages in memory: past a few, the reader unmaps its own.
        constexpr std::ptrdiff_t kMostRetired = 3;
        queued = std::count_if(jobs_.begin(), jobs_.end(),
                               [](const Job& job) { return job.Unmap; }) < kMostRetired;
        if (queued) jobs_.push_back({window, true});
    }
    if (queued) {
        wake_.notify_one();
    } else {
        Unmap(window);
    }
    window = {};
}

void MappedWindows::Show(const Window& window) {
    slot_->Begin = reinterpret_cast<std::uintptr_t>(window.At);
    slot_->End = reinterpret_cast<std::uintptr_t>(window.At) +
                 static_cast<std::uintptr_t>(window.End - window.Start);
}

void MappedWindows::Help() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || !jobs_.empty(); });
        if (jobs_.empty()) return;
        const Job job = jobs_.front();
        jobs_.pop_front();
        lock.unlock();
        if (job.Unmap) {
            Unmap(job.Target);
        } else {
            // Sets up the page tables of the pages the file holds; past a shrunk end it
            // fails without a fault, and the reader's own access faults there.
            ::madvise(const_cast<std::uint8_t*>(job.Target.At),
                      static_cast<std::size_t>(job.Target.End - job.Target.Start),
                      MADV_POPULATE_READ);
        }
        lock.lock();
    }
}

}  // namespace quorvel::platform
