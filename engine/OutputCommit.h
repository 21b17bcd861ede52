#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "engine/FileSystem.h"
#include "engine/Message.h"
#include "engine/Reporter.h"
#include "engine/SplitPlan.h"

namespace quorvel {

// The outputs of one operation, all or nothing: each is written where no one sees it, then
// all take their names at once; a run that does not get that far changes nothing, and one
// that fails while naming takes back the names it gave that were free before.
class OutputCommit {
  public:
    OutputCommit(FileSystem& files, Reporter& reporter) : files_(files), reporter_(reporter) {}

    // An output to be written at `path`; `replacing`: the entry there goes to the trash once
    // every output is complete.
    void Add(std::string path, bool replacing);
    std::size_t Size() const { return outputs_.size(); }

    // Writes output `index` from its plan where no one sees it yet, telling the log.
    void Write(std::size_t index, SourceFile& source, const OutputPlan& plan);
    // Names every output: an older entry goes to the trash first, the new output already
    // beside it under a hidden name; where no trash takes it, the new output takes its place
    // in one step. Either way the name never stands empty.
    void Commit();
    // Takes back the names given that were free before; the log's last line for a run that
    // did not complete, `why` saying why.
    Message RollBack(const Message& why);

  private:
    struct Output {
        std::string Path;
        bool Replacing = false;
        std::unique_ptr<OutputFile> File;
        bool Committed = false;
    };

    FileSystem& files_;
    Reporter& reporter_;
    std::vector<Output> outputs_;
};

}  // namespace quorvel
