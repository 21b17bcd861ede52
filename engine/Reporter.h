#pragma once

#include <string>
#include <vector>

#include "engine/Message.h"

namespace quorvel {

// What a long piece of work tells the one who started it while it runs: its log, a line at a
// time, and the one question it may ask. A window shows them, the companion prints them.
// How far the work has come and whether it is to stop reach it through its files
// (WatchedFiles).
class Reporter {
  public:
    virtual ~Reporter() = default;

    // The first line of a run's log: what the log told of an earlier run gives way to it.
    virtual void Begin(const Message& line) = 0;
    virtual void Log(const Message& line) = 0;
    // Whether the work may go on; `names` are the files the question is about.
    virtual bool Ask(const Message& question, const std::vector<std::string>& names) = 0;
};

}  // namespace quorvel
