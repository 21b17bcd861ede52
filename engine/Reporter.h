#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/Message.h"

namespace quorvel {

// What a long piece of work tells the one who started it while it runs, and hears from it:
// its log, a line at a time, the one question it may ask, how far it has come, and whether
// it is to stop. A window shows them, the companion prints them. The work reads and writes
// through WatchedFiles, which tells the progress and looks at the stop flag.
class Reporter {
  public:
    virtual ~Reporter() = default;

    // The first line of a run's log: what the log told of an earlier run gives way to it.
    virtual void Begin(const Message& line) = 0;
    virtual void Log(const Message& line) = 0;
    // Whether the work may go on; `names` are the files the question is about.
    virtual bool Ask(const Message& question, const std::vector<std::string>& names) = 0;
    // The bytes read or written so far, out of the source's size.
    virtual void Progress(std::int64_t done, std::int64_t total) = 0;
    // A step of the work that its log does not announce, for the progress shown.
    virtual void Step(const Message&) {}
    // Whether the user or a signal asked the work to stop.
    virtual bool Stopped() const = 0;
};

}  // namespace quorvel
