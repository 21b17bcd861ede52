#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

// One line on the error output, rewritten in place, that tells how a long run goes: what it
// is doing, the megabytes done of all, the percent, the rate and the time left. Only where
// the error output is a terminal, and only once the run has taken a second, so that quick
// runs, pipes and files never see it.
class TerminalProgress {
  public:
    // `wanted`: not turned off by --quiet.
    explicit TerminalProgress(bool wanted);
    ~TerminalProgress() { Clear(); }
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    // A new step, named by the log line that starts it.
    void Doing(const std::string& what);
    // `done` bytes of `total`; a count lower than the last starts a new pass over the files,
    // over which the rate is measured: the steps of one pass (the parts written one after
    // another, two at a time) share it.
    void Reached(std::int64_t done, std::int64_t total);
    // Takes the line away, before anything else is written to the terminal.
    void Clear();

  private:
    using Clock = std::chrono::steady_clock;

    void Draw(std::int64_t done, std::int64_t total);

    const bool shown_;
    const Clock::time_point begun_ = Clock::now();
    Clock::duration after_;  // how long a run goes before the line shows
    std::mutex drawing_;     // the seam check's decoding may report from another thread
    std::string doing_;
    Clock::time_point passBegun_ = begun_;
    std::int64_t passFrom_ = 0;  // the bytes counted when the pass began
    std::int64_t last_ = 0;
    bool drawn_ = false;
};
