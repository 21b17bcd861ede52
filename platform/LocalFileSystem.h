#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/FileSystem.h"

namespace quorvel::platform {

// A regular file (links followed) whose name does not start with "." — what the
// program calls an ordinary file.
bool OrdinaryFileExists(const std::string& path);

// Makes one folder level. Returns the reason when it could not be made.
std::optional<std::string> CreateFolder(const std::string& path);
// Whether a folder holds an ordinary file directly (not further down).
bool HoldsOrdinaryFiles(const std::string& folder);

// Past a file-size limit the system ends a process that writes on; ignoring that signal
// turns it into a write error, which the program reports like a full disk.
void IgnoreFileSizeSignal();

// Moves a file or folder, with all it holds, into the desktop trash of its volume, or
// removes it for good where no trash can take it.
Removal DeleteToTrash(const std::string& path);

// The files of this computer as the analysis and the split reach them. The source is
// read in place through a mapping, a window at a time, or with pread where it cannot be
// mapped; each output is written beside its final path, without a name, and given one
// only once complete, so that a failed or killed run leaves no partial file and never
// writes through a link into another file. Where the file system lacks unnamed files or
// a rename that keeps an existing name, links or exclusive creation stand in. Where the
// file system lets files share blocks (btrfs, XFS), an output shares the source's whole
// blocks that it copies to the same offsets within a block.
class LocalFileSystem final : public FileSystem {
  public:
    struct Options {
        // Outputs are written into files without a name until complete, where the file
        // system has them; false uses the hidden named files throughout.
        bool UnnamedOutputs = true;
        // How much of a source one mapping shows (resident memory grows with it); 0 reads
        // sources through a buffer instead.
        std::size_t MappedWindow = 4 << 20;
    };

    LocalFileSystem() = default;
    explicit LocalFileSystem(Options options) : options_(options) {}

    bool RegularFileExists(const std::string& path) const override;
    bool EntryExists(const std::string& path) const override;
    std::optional<std::string> LookupProblem(const std::string& path) const override;
    bool IsDirectory(const std::string& path) const override;
    Entry EntryAt(const std::string& path) const override;
    bool SameFile(const std::string& one, const std::string& other) const override;
    std::optional<FileStamp> StampOf(const std::string& path) const override;
    std::unique_ptr<SourceFile> OpenSource(const std::string& path) override;
    std::unique_ptr<OutputFile> CreateOutput(const std::string& path) override;
    // Tries to share the source's first block with a file without a name in the folder.
    std::int64_t SharedBlockSize(SourceFile& source, const std::string& folder) override;
    std::optional<std::string> MoveToTrash(const std::string& path) override;
    void RemoveLeftovers(const std::string& folder) override;
    std::optional<std::int64_t> FileSize(const std::string& path) const override;
    void Rename(const std::string& from, const std::string& to) override;
    void Remove(const std::string& path) override;
    void MakeFolder(const std::string& path) override;
    // The journal is ".quorvel-journal-PID-N", written with fsync, as is the folder after it.
    std::string CreateJournal(const std::string& folder, const std::string& text) override;
    void AppendToJournal(const std::string& path, const std::string& text) override;
    std::vector<LeftJournal> LeftJournals(const std::string& folder) override;
    // Makes an empty file of each name in a hidden folder of the folder's own.
    std::vector<NameProblem> TryNames(const std::string& folder,
                                      const std::vector<std::string>& names) override;

  private:
    Options options_;
};

}  // namespace quorvel::platform
