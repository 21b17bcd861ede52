#include "TerminalProgress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

// Megabytes to the tenth, with a point.
std::string Megabytes(std::int64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", double(bytes) / 1e6);
    return text;
}

std::string MinutesSeconds(double seconds) {
    const auto whole = static_cast<long long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
}

// The terminal's width, so that the line never wraps: a wrapped line cannot be rewritten.
std::size_t Columns() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1) return size.ws_col - 1;
    return 79;
}

}  // namespace

TerminalProgress::TerminalProgress(bool wanted)
    : shown_(wanted && ::isatty(STDERR_FILENO)), after_(std::chrono::seconds(1)) {
    // The tests see the line at once, rather than wait a second for it.
    if (const char* ms = std::getenv("QUORVEL_PROGRESS_AFTER_MS")) {
        after_ = std::chrono::milliseconds(std::atoll(ms));
    }
}

void TerminalProgress::Doing(const std::string& what) {
    if (!shown_) return;
    const std::lock_guard lock(drawing_);
    doing_ = what;
}

void TerminalProgress::Reached(std::int64_t done, std::int64_t total) {
    if (!shown_) return;
    const std::lock_guard lock(drawing_);
    if (done < last_) {
        passBegun_ = Clock::now();
        passFrom_ = done;
    }
    last_ = done;
    if (Clock::now() - begun_ < after_) return;
    Draw(done, total);
}

void TerminalProgress::Draw(std::int64_t done, std::int64_t total) {
    done = std::clamp<std::int64_t>(done, 0, total);
    // A rate over a moment says little: the bytes of one copy reported at once.
    const double seconds = std::chrono::duration<double>(Clock::now() - passBegun_).count();
    const double rate = seconds >= 0.2 ? double(done - passFrom_) / seconds : 0;
    // The step as its log line names it, up to the dots that end some, shortened at its
    // start where the line would not fit: a name's end says most.
    std::string what = doing_.empty() ? std::string("Working") : doing_;
    what.erase(std::min(what.find("..."), what.size()));
    what.erase(what.find_last_not_of(". ") + 1);
    std::string figures = ": " + Megabytes(done) + " of " + Megabytes(total) + " MB, " +
                          std::to_string(total > 0 ? done * 100 / total : 0) + "%";
    if (rate > 0) {
        figures += ", " + Megabytes(static_cast<std::int64_t>(rate)) + " MB/s, " +
                   MinutesSeconds(double(total - done) / rate) + " left";
    }
    const std::size_t columns = Columns();
    if (what.size() + figures.size() > columns) {
        const std::size_t room = columns > figures.size() + 3 ? columns - figures.size() - 3 : 0;
        what = "..." + what.substr(what.size() - std::min(room, what.size()));
    }
    std::fprintf(stderr, "\r%s%s\033[K", what.c_str(), figures.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void TerminalProgress::Clear() {
    if (!shown_) return;
    const std::lock_guard lock(drawing_);
    if (!drawn_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    drawn_ = false;
}
