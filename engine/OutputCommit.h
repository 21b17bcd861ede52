#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/FileSystem.h"
#include "engine/Message.h"
#include "engine/Reporter.h"
#include "engine/SplitPlan.h"

namespace quorvel {

// The folder a path names a file in: "." for a bare name.
std::string FolderOf(const std::string& path);

// The outputs of one operation, all or nothing, named as a database commits: each is
// written where no one sees it; once all are complete, a journal beside them says which
// hidden file takes which name and which older entries are set aside, and is on the disk
// before anything is renamed. The older entries then move into a hidden folder of the
// journal's, under their own names, the outputs take theirs, and the journal is marked
// complete; only then do the older entries go to the trash (or, where no trash takes them,
// away for good) and the journal is removed. A failure before the mark undoes it all; a run
// killed meanwhile leaves the journal, and the next run into the folder completes or undoes
// what it says (Recover).
class OutputCommit {
  public:
    OutputCommit(FileSystem& files, Reporter& reporter) : files_(files), reporter_(reporter) {}

    // An output to be written at `path`; `replacing`: the entry there goes to the trash once
    // every output has its name.
    void Add(std::string path, bool replacing);
    // An output that takes the place of the file at `path` itself, its audio the same and
    // only its tag changed: the older file is removed for good once every output has its
    // name, not moved to the trash, where a copy for every file tagged would pile up.
    void AddInPlaceOf(std::string path);
    std::size_t Size() const { return outputs_.size(); }

    // Writes output `index` from its plan where no one sees it yet: Begin, then Fill.
    std::unique_ptr<SourceFile> Write(std::size_t index, SourceFile& source,
                                      const OutputPlan& plan);
    // The same for an output of several sources, each piece's range read from the source
    // it names.
    std::unique_ptr<SourceFile> Write(std::size_t index, std::span<SourceFile* const> sources,
                                      const OutputPlan& plan);
    // Begins output `index`: tells the log, and creates its file where no one sees it yet.
    void Begin(std::size_t index);
    // Writes output `index`, begun, from its plan, and gives it to be read back
    // (OutputFile::ReadBack). Outputs begun may be written on several threads at once, each
    // on one, `source` then read on that thread alone. Where there are many outputs, each is
    // closed under its hidden name once written, so that they hold no descriptor each until
    // they are named.
    std::unique_ptr<SourceFile> Fill(std::size_t index, SourceFile& source, const OutputPlan& plan);
    std::unique_ptr<SourceFile> Fill(std::size_t index, std::span<SourceFile* const> sources,
                                     const OutputPlan& plan);
    // Names every output, or none: see above. Tells the log of each older entry once it is
    // in the trash or removed.
    void Commit();
    // Undoes whatever the commit did; the log's last line for a run that did not complete,
    // `why` saying why.
    Message RollBack(const Message& why);

    // Completes or undoes, as their journals say, what runs no longer running left half
    // named in `folder`; a line in the log for each.
    static void Recover(FileSystem& files, Reporter& reporter, const std::string& folder);

  private:
    struct Output {
        std::string Path;
        bool Replacing = false;
        bool ForGood = false;
        std::unique_ptr<OutputFile> File;
        std::int64_t Bytes = 0;
        std::string Hidden;  // once staged
    };

    FileSystem& files_;
    Reporter& reporter_;
    std::vector<Output> outputs_;
    std::string journal_;  // once written
};

}  // namespace quorvel
