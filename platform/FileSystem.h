#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/ByteSource.h"

namespace quorvel::platform {

// A failed file operation, worded for the user: "Cannot read PATH: REASON."
class FileError : public std::runtime_error {
  public:
    enum class Operation { Read, Write };
    FileError(Operation operation, const std::string& path, const std::string& reason);
    const std::string& Message() const { return message_; }

  private:
    std::string message_;
};

// A regular file (links followed) whose name does not start with "." — what the
// program calls an ordinary file.
bool OrdinaryFileExists(const std::string& path);
// Any existing entry: file, folder or the target of a link.
bool EntryExists(const std::string& path);
bool IsDirectory(const std::string& path);
std::optional<std::int64_t> FileLength(const std::string& path);

// Makes one folder level. Returns the reason when it could not be made.
std::optional<std::string> CreateFolder(const std::string& path);
// Whether a folder holds an ordinary file directly (not further down).
bool HoldsOrdinaryFiles(const std::string& folder);
// Every entry directly in a folder, hidden ones included, as full paths.
std::vector<std::string> EntriesOf(const std::string& folder);

// A regular file opened for reading only.
class SourceFile final : public ByteSource {
  public:
    explicit SourceFile(const std::string& path);  // throws FileError
    ~SourceFile() override;
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;

    const std::string& Path() const { return path_; }
    std::int64_t Size() const override { return size_; }
    // Throws FileError when the file cannot be read.
    std::size_t ReadAt(std::int64_t offset, std::uint8_t* buffer, std::size_t count) override;
    int Descriptor() const { return fd_; }

  private:
    std::string path_;
    int fd_ = -1;
    std::int64_t size_ = 0;
};

// An output written to a temporary file beside its final path and renamed into place
// by Commit, so that a failed run leaves no partial file and never writes through a
// link into another file. Destroyed without Commit, it removes the temporary file.
class OutputFile {
  public:
    explicit OutputFile(std::string finalPath);  // throws FileError
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void Write(std::span<const std::uint8_t> bytes);
    // Copies a byte range of the source, in the kernel where it can.
    void CopyFrom(SourceFile& source, std::int64_t offset, std::int64_t length);
    void Commit();

  private:
    std::string finalPath_;
    std::string tempPath_;
    int fd_ = -1;
};

// Past a file-size limit the system ends a process that writes on; ignoring that signal
// turns it into a write error, which the program reports like a full disk.
void IgnoreFileSizeSignal();

// Moves a file or folder into the desktop trash, or removes it for good where no trash
// can take it. Returns the reason when neither worked.
std::optional<std::string> DeleteToTrash(const std::string& path);

}  // namespace quorvel::platform
