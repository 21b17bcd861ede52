#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/ByteSource.h"
#include "engine/Message.h"

namespace quorvel {

// A failed file operation, worded for the user: "Cannot read PATH: REASON."
class FileError : public std::runtime_error {
  public:
    enum class Operation { Read, Write };
    FileError(Operation operation, const std::string& path, const quorvel::Message& reason)
        : std::runtime_error(English(reason)),
          operation_(operation),
          path_(path),
          reason_(reason) {}
    Operation Failed() const { return operation_; }
    const std::string& Path() const { return path_; }
    const quorvel::Message& Reason() const { return reason_; }
    // "Cannot read PATH: REASON.", or write.
    quorvel::Message Message() const {
        return (operation_ == Operation::Read ? Tr("Files", "Cannot read %1: %2.")
                                              : Tr("Files", "Cannot write %1: %2."))
            .Arg(path_)
            .Arg(reason_);
    }

  private:
    Operation operation_;
    std::string path_;
    quorvel::Message reason_;
};

// The user (or a signal) asked the work to stop: it ends at its next read or write,
// having changed nothing.
class WorkStopped : public std::exception {
  public:
    const char* what() const noexcept override { return "the work was stopped"; }
};

// The source, open for reading only. Reads throw FileError when the file cannot be read
// or ends before the size taken when it was opened.
class SourceFile : public ByteSource {
  public:
    virtual const std::string& Path() const = 0;
    // Which file this is and how it stood when opened, where that can be told: a later
    // opening with the same stamp shows it unchanged, as far as its file system's clock
    // can tell.
    virtual std::optional<FileStamp> Stamp() const { return std::nullopt; }
};

// An output written where no one sees it until it is complete. Stage gives the complete file
// a hidden name beside its own and closes it, so that many outputs can wait for their names
// without holding a descriptor each; naming it is then the file system's Rename. Destroyed
// before Release, it leaves nothing behind. Every operation throws FileError.
class OutputFile {
  public:
    virtual ~OutputFile() = default;
    virtual void Write(std::span<const std::uint8_t> bytes) = 0;
    virtual void CopyFrom(SourceFile& source, std::int64_t offset, std::int64_t length) = 0;
    // Where the next bytes go: writes and copies go on from `at`, over whatever is there.
    virtual void MoveTo(std::int64_t at) = 0;
    // Cuts the file off where the next bytes would go.
    virtual void EndHere() = 0;
    // What is written so far, read as a source under the name the output is to have, on a
    // thread of its own if need be: a check of a complete output reads it before it is
    // named. Throws FileError.
    virtual std::unique_ptr<SourceFile> ReadBack() = 0;
    // The hidden name, given once; a second call gives it again.
    virtual std::string Stage() = 0;
    // The staged file is no longer this one's to remove: a journal of the naming holds it.
    virtual void Release() = 0;
};

// What became of a file or folder that was to go into the trash.
struct Removal {
    enum class Outcome {
        Trashed,
        RemovedForGood,  // no trash could take it
        Kept,            // it could not be removed at all
    };
    Outcome Result = Outcome::Trashed;
    std::string Reason;  // why the trash could not take it, or why it is still there
};

// What the log or a message says of a removal that did not end in the trash; none when
// it did.
std::optional<Message> DescribeRemoval(const std::string& path, const Removal& removal);

// What a folder's file system makes of a name an output is to have (FileSystem::TryNames).
struct NameProblem {
    enum class Kind {
        SameAs,       // it takes the name for that of an earlier one, `Other`
        NotAccepted,  // it does not accept the name
        TooLong,      // the name is longer than it takes
    };
    std::size_t Name = 0;  // which of the names tried
    Kind Is = Kind::NotAccepted;
    std::size_t Other = 0;
};

// A journal of a naming that a run no longer running left in a folder.
struct LeftJournal {
    std::string Path;
    std::string Text;
};

// What stands at a path, a link taken as itself.
enum class Entry {
    None,
    Folder,
    Other,  // a file, a link (to anything or nothing), a pipe, a socket, a device
};

// What the analysis and the split need of the files on disk and of the trash. Paths are
// UTF-8.
class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // A regular file, links followed, whatever its name.
    virtual bool RegularFileExists(const std::string& path) const = 0;
    // Any existing entry: file, folder or the target of a link.
    virtual bool EntryExists(const std::string& path) const = 0;
    // Why a path cannot even be looked up (too long, not searchable, links in a loop);
    // none where it can, whether or not it exists.
    virtual std::optional<std::string> LookupProblem(const std::string& path) const = 0;
    virtual bool IsDirectory(const std::string& path) const = 0;
    virtual Entry EntryAt(const std::string& path) const = 0;
    // Whether both paths exist and name one file, through links or not.
    virtual bool SameFile(const std::string& one, const std::string& other) const = 0;
    // How the file at `path` stands now, links followed, as SourceFile::Stamp tells it; none
    // where that cannot be told.
    virtual std::optional<FileStamp> StampOf(const std::string&) const { return std::nullopt; }

    virtual std::unique_ptr<SourceFile> OpenSource(const std::string& path) = 0;
    // A source read beside the work's own reading and writing, as a check that runs
    // alongside reads it: it counts toward no progress.
    virtual std::unique_ptr<SourceFile> OpenBeside(const std::string& path) {
        return OpenSource(path);
    }
    virtual std::unique_ptr<OutputFile> CreateOutput(const std::string& path) = 0;
    // The block size at which outputs in `folder` can share the source's blocks instead of
    // holding copies of them, where its file system lets files share blocks and the source
    // lies on it; 0 where they cannot. An output shares the whole blocks of what it copies
    // from the source that lie at the same offsets within a block as in the source.
    virtual std::int64_t SharedBlockSize(SourceFile& source, const std::string& folder) = 0;
    // Moves an older output into the trash. Where no trash can take it, it stays and the
    // reason is returned.
    virtual std::optional<std::string> MoveToTrash(const std::string& path) = 0;
    // Removes what an earlier run, ended before it could clean up, left in the folder: not
    // what a journal that is still there holds.
    virtual void RemoveLeftovers(const std::string& folder) = 0;

    // What naming outputs needs: every operation throws FileError naming the path and why.
    // The size of the regular file at `path`, a link not followed; none where there is none.
    virtual std::optional<std::int64_t> FileSize(const std::string& path) const = 0;
    // Gives the entry at `from` the name `to` in a folder of the same file system, where no
    // entry has that name: one that has it is kept, and the rename fails.
    virtual void Rename(const std::string& from, const std::string& to) = 0;
    // Removes a file, a link, a pipe or a socket, or an empty folder.
    virtual void Remove(const std::string& path) = 0;
    virtual void MakeFolder(const std::string& path) = 0;
    // Writes a journal into `folder` under a hidden name of its own and keeps it, and the
    // folder's entry for it, on the disk before it returns; gives its path.
    virtual std::string CreateJournal(const std::string& folder, const std::string& text) = 0;
    // Adds to a journal, kept on the disk before it returns.
    virtual void AppendToJournal(const std::string& path, const std::string& text) = 0;
    // The journals that runs no longer running left in `folder`.
    virtual std::vector<LeftJournal> LeftJournals(const std::string& folder) = 0;
    // Tries each of `names` (names in `folder`, each different) on the folder's file system
    // without writing anything under them: those it would take for an earlier one (another
    // case, another form of the same characters), those it does not accept. None where all
    // may be given; a file system that cannot be asked gives none.
    virtual std::vector<NameProblem> TryNames(const std::string& folder,
                                              const std::vector<std::string>& names) = 0;
    // Called once every output is complete, before the first is named: the last moment at
    // which the work may still end having changed nothing.
    virtual void BeforeNaming() {}
};

// Passes every call on to another file system, for wrappers that change only a few.
class FileSystemWrapper : public FileSystem {
  public:
    explicit FileSystemWrapper(FileSystem& files) : files_(files) {}

    bool RegularFileExists(const std::string& path) const override {
        return files_.RegularFileExists(path);
    }
    bool EntryExists(const std::string& path) const override { return files_.EntryExists(path); }
    std::optional<std::string> LookupProblem(const std::string& path) const override {
        return files_.LookupProblem(path);
    }
    bool IsDirectory(const std::string& path) const override { return files_.IsDirectory(path); }
    Entry EntryAt(const std::string& path) const override { return files_.EntryAt(path); }
    bool SameFile(const std::string& one, const std::string& other) const override {
        return files_.SameFile(one, other);
    }
    std::optional<FileStamp> StampOf(const std::string& path) const override {
        return files_.StampOf(path);
    }
    std::unique_ptr<SourceFile> OpenSource(const std::string& path) override {
        return files_.OpenSource(path);
    }
    std::unique_ptr<OutputFile> CreateOutput(const std::string& path) override {
        return files_.CreateOutput(path);
    }
    std::int64_t SharedBlockSize(SourceFile& source, const std::string& folder) override {
        return files_.SharedBlockSize(source, folder);
    }
    std::optional<std::string> MoveToTrash(const std::string& path) override {
        return files_.MoveToTrash(path);
    }
    void RemoveLeftovers(const std::string& folder) override { files_.RemoveLeftovers(folder); }
    std::optional<std::int64_t> FileSize(const std::string& path) const override {
        return files_.FileSize(path);
    }
    void Rename(const std::string& from, const std::string& to) override {
        files_.Rename(from, to);
    }
    void Remove(const std::string& path) override { files_.Remove(path); }
    void MakeFolder(const std::string& path) override { files_.MakeFolder(path); }
    std::string CreateJournal(const std::string& folder, const std::string& text) override {
        return files_.CreateJournal(folder, text);
    }
    void AppendToJournal(const std::string& path, const std::string& text) override {
        files_.AppendToJournal(path, text);
    }
    std::vector<LeftJournal> LeftJournals(const std::string& folder) override {
        return files_.LeftJournals(folder);
    }
    std::vector<NameProblem> TryNames(const std::string& folder,
                                      const std::vector<std::string>& names) override {
        return files_.TryNames(folder, names);
    }
    void BeforeNaming() override { files_.BeforeNaming(); }

  protected:
    FileSystem& files_;
};

// An output made from a source rewritten while it was read holds some of either version:
// throws FileError, saying `why`, where the source's stamp now differs from the one it was
// opened with. A source that cannot be told so is taken as unchanged.
void CheckUnchanged(const FileSystem& files, const SourceFile& source, const Message& why);

}  // namespace quorvel
