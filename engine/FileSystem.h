#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>

#include "engine/ByteSource.h"

namespace quorvel {

// A failed file operation, worded for the user: "Cannot read PATH: REASON."
class FileError : public std::runtime_error {
  public:
    enum class Operation { Read, Write };
    FileError(Operation operation, const std::string& path, const std::string& reason)
        : std::runtime_error(reason),
          message_((operation == Operation::Read ? "Cannot read " : "Cannot write ") + path + ": " +
                   reason + ".") {}
    const std::string& Message() const { return message_; }

  private:
    std::string message_;
};

// The source, open for reading only. Reads throw FileError when the file cannot be read
// or ends before the size taken when it was opened.
class SourceFile : public ByteSource {
  public:
    virtual const std::string& Path() const = 0;
};

// An output that appears under its final name only once Commit has succeeded; destroyed
// without Commit, it leaves nothing behind. Every operation throws FileError.
class OutputFile {
  public:
    virtual ~OutputFile() = default;
    virtual void Write(std::span<const std::uint8_t> bytes) = 0;
    virtual void CopyFrom(SourceFile& source, std::int64_t offset, std::int64_t length) = 0;
    // Gives the output its name. Unless `replace`, an entry that took the name meanwhile
    // is kept and the commit fails.
    virtual void Commit(bool replace) = 0;
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

// What the analysis and the split need of the files on disk and of the trash. Paths are
// UTF-8.
class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // A regular file (links followed) whose name does not start with ".".
    virtual bool OrdinaryFileExists(const std::string& path) const = 0;
    // Any existing entry: file, folder or the target of a link.
    virtual bool EntryExists(const std::string& path) const = 0;
    virtual bool IsDirectory(const std::string& path) const = 0;
    virtual std::optional<std::int64_t> FileLength(const std::string& path) const = 0;
    // Whether any entry has this name, a link that leads nowhere included.
    virtual bool NameTaken(const std::string& path) const = 0;
    // Whether both paths exist and name one file, through links or not.
    virtual bool SameFile(const std::string& one, const std::string& other) const = 0;

    virtual std::unique_ptr<SourceFile> OpenSource(const std::string& path) = 0;
    virtual std::unique_ptr<OutputFile> CreateOutput(const std::string& path) = 0;
    // Moves an older output into the trash, or removes it for good where no trash can
    // take it.
    virtual Removal MoveToTrash(const std::string& path) = 0;
};

}  // namespace quorvel
