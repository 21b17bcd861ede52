#include "platform/LocalFileSystem.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/DesktopServices.h"
#include "platform/EndingSignals.h"
#include "platform/MappedWindows.h"

namespace quorvel::platform {
namespace {

const Message kSourceChanged = Tr("Files", "the file changed while it was being read");

std::string Reason(int error) {
    return std::strerror(error);
}

std::optional<struct stat> StatOf(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) return std::nullopt;
    return info;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A regular file opened for reading only, shown in place through a mapping of `window`
// bytes at a time where it can be.
class LocalSourceFile final : public SourceFile {
  public:
    LocalSourceFile(const std::string& path, std::size_t window);  // throws FileError
    ~LocalSourceFile() override;
    LocalSourceFile(const LocalSourceFile&) = delete;
    LocalSourceFile& operator=(const LocalSourceFile&) = delete;

    const std::string& Path() const override { return path_; }
    std::int64_t Size() const override { return size_; }
    std::size_t ReadAt(std::int64_t offset, std::uint8_t* buffer, std::size_t count) override;
    std::span<const std::uint8_t> View(std::int64_t offset, std::size_t count) override;
    void ConfirmViews() override;
    std::optional<FileStamp> Stamp() const override { return stamp_; }
    int Descriptor() const { return fd_; }

  private:
    std::string path_;
    int fd_ = -1;
    std::int64_t size_ = 0;
    FileStamp stamp_;
    std::unique_ptr<MappedWindows> windows_;  // none when the file is read through pread
};

// Named temporary files of this process, removed when a signal ends it while they exist.
// A signal handler may touch only these: fixed arrays and a flag a slot.
constexpr std::size_t kPendingSlots = 8;
char pendingNames[kPendingSlots][PATH_MAX];
volatile std::sig_atomic_t pendingUsed[kPendingSlots];

extern "C" void RemovePendingThenEnd(int signal) {
    for (std::size_t i = 0; i < kPendingSlots; ++i) {
        if (pendingUsed[i]) ::unlink(pendingNames[i]);
    }
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// Takes a slot for a named temporary file; -1 when none is free or the name is too long.
int RememberPending(const std::string& path) {
    // Only where the signal would end the process anyway: a program that stops its work
    // on a signal removes its files itself.
    static const bool installed =
        (CatchEndingSignals(RemovePendingThenEnd, Handlers::KeepExisting, true), true);
    (void)installed;
    if (path.size() >= PATH_MAX) return -1;
    for (std::size_t i = 0; i < kPendingSlots; ++i) {
        if (pendingUsed[i]) continue;
        std::memcpy(pendingNames[i], path.c_str(), path.size() + 1);
        pendingUsed[i] = 1;
        return static_cast<int>(i);
    }
    return -1;
}

void ForgetPending(int slot) {
    if (slot >= 0) pendingUsed[slot] = 0;
}

// An output written into a file without a name in the destination folder, so that not
// even a killed process leaves part of it behind. Where the folder's file system has no
// such files, a hidden named one stands in, removed on the way out and by the signals
// that end the program. Staged, it has a hidden name; committed, its own.
class LocalOutputFile final : public OutputFile {
  public:
    LocalOutputFile(std::string finalPath, bool unnamed);  // throws FileError
    ~LocalOutputFile() override;
    LocalOutputFile(const LocalOutputFile&) = delete;
    LocalOutputFile& operator=(const LocalOutputFile&) = delete;

    void Write(std::span<const std::uint8_t> bytes) override;
    // Copies a byte range of the source: its whole blocks shared with the source where they
    // lie at the same offsets within a block and the file system lets them be, the rest
    // copied in the kernel where it can.
    void CopyFrom(SourceFile& source, std::int64_t offset, std::int64_t length) override;
    void Stage() override;
    void Commit(bool replace) override;
    void Withdraw() override;

  private:
    // Shares `length` bytes of the source from `offset`, whole blocks, at the output's end;
    // false where the file system will not.
    bool Share(const LocalSourceFile& source, std::int64_t offset, std::int64_t length);
    void Copy(SourceFile& source, std::int64_t offset, std::int64_t length);
    [[noreturn]] void Fail(int error) const;
    // Creates a hidden file in the folder, under a name no other file has.
    void CreateNamed(const std::string& folder);
    // Gives the unnamed file `name`; the error number when it cannot.
    int LinkAs(const std::string& name) const;
    // Gives the staged file its own name where no entry has it; the error number when it
    // cannot.
    int NameWithoutReplacing() const;

    std::string finalPath_;
    std::string tempPath_;  // the hidden name, while it exists
    int fd_ = -1;
    std::int64_t written_ = 0;  // where the next bytes go
    std::int64_t block_ = 0;    // the block size at which it may share the source's; 0: none
    int pendingSlot_ = -1;
    dev_t device_ = 0;  // the complete file, once staged
    ino_t inode_ = 0;
    bool committed_ = false;
};

namespace {

// What a path that is no regular file is, in the user's words.
Message KindOf(mode_t mode) {
    if (S_ISDIR(mode)) return Tr("Files", "it is a folder");
    if (S_ISSOCK(mode)) return Tr("Files", "it is a socket");
    if (S_ISFIFO(mode)) return Tr("Files", "it is a named pipe");
    if (S_ISCHR(mode)) return Tr("Files", "it is a character device");
    if (S_ISBLK(mode)) return Tr("Files", "it is a block device");
    return Tr("Files", "it is not a regular file");
}

}  // namespace

LocalSourceFile::LocalSourceFile(const std::string& path, std::size_t window) : path_(path) {
    // A socket cannot even be opened: say what it is rather than why opening failed.
    if (const auto info = StatOf(path); info && !S_ISREG(info->st_mode)) {
        throw FileError(FileError::Operation::Read, path, KindOf(info->st_mode));
    }
    // Non-blocking, so that a named pipe put in the file's place cannot hang the program.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) throw FileError(FileError::Operation::Read, path, Reason(errno));
    struct stat info {};
    std::optional<Message> problem;
    if (::fstat(fd_, &info) != 0) {
        problem = Reason(errno);
    } else if (!S_ISREG(info.st_mode)) {
        problem = KindOf(info.st_mode);
    }
    if (problem) {
        ::close(fd_);
        throw FileError(FileError::Operation::Read, path, *problem);
    }
    size_ = static_cast<std::int64_t>(info.st_size);
    const auto nanoseconds = [](const timespec& time) {
        return std::int64_t{time.tv_sec} * 1'000'000'000 + time.tv_nsec;
    };
    stamp_ = {info.st_dev, info.st_ino, size_, nanoseconds(info.st_mtim),
              nanoseconds(info.st_ctim)};
    if (window > 0) windows_ = std::make_unique<MappedWindows>(fd_, size_, window);
}

LocalSourceFile::~LocalSourceFile() {
    windows_.reset();
    ::close(fd_);
}

std::size_t LocalSourceFile::ReadAt(std::int64_t offset, std::uint8_t* buffer, std::size_t count) {
    if (offset >= size_ || count == 0) return 0;
    ssize_t n;
    do {
        n = ::pread(fd_, buffer, count, offset);
    } while (n < 0 && errno == EINTR);
    if (n < 0) throw FileError(FileError::Operation::Read, path_, Reason(errno));
    if (n == 0) throw FileError(FileError::Operation::Read, path_, kSourceChanged);
    return static_cast<std::size_t>(n);
}

std::span<const std::uint8_t> LocalSourceFile::View(std::int64_t offset, std::size_t count) {
    if (!windows_) return {};
    // After a fault, whatever is still to be shown may not be the file's own.
    if (windows_->Faulted()) ConfirmViews();
    return windows_->View(offset, count);
}

void LocalSourceFile::ConfirmViews() {
    if (!windows_ || !windows_->Used()) return;
    // A file that shrank may fault nowhere (its last page reads as zeros past the end),
    // so its length is looked at too; a fault on a file of the same length is a failed
    // read of the disk.
    struct stat info {};
    const bool shrank = ::fstat(fd_, &info) == 0 && info.st_size < size_;
    if (shrank) throw FileError(FileError::Operation::Read, path_, kSourceChanged);
    if (windows_->Faulted()) throw FileError(FileError::Operation::Read, path_, Reason(EIO));
}

LocalOutputFile::LocalOutputFile(std::string finalPath, bool unnamed)
    : finalPath_(std::move(finalPath)) {
    const std::string folder = FolderOf(finalPath_);
    if (unnamed) {
        fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        // Only a file system without unnamed files calls for the named stand-in.
        if (fd_ < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            throw FileError(FileError::Operation::Write, finalPath_, Reason(errno));
        }
    }
    if (fd_ < 0) CreateNamed(folder);
    struct stat info {};
    if (::fstat(fd_, &info) == 0) block_ = info.st_blksize;
}

void LocalOutputFile::CreateNamed(const std::string& folder) {
    const auto seed = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    for (unsigned attempt = 0; fd_ < 0; ++attempt) {
        tempPath_ = folder + "/.quorvel-" + std::to_string(::getpid()) + "-" +
                    std::to_string((seed + attempt) % 1000000007ULL) + ".tmp";
        fd_ = ::open(tempPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && (errno != EEXIST || attempt == 100)) {
            const int error = errno;
            tempPath_.clear();
            throw FileError(FileError::Operation::Write, finalPath_, Reason(error));
        }
    }
    pendingSlot_ = RememberPending(tempPath_);
}

LocalOutputFile::~LocalOutputFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
    ForgetPending(pendingSlot_);
}

int LocalOutputFile::LinkAs(const std::string& name) const {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
    // Without /proc, a file can be named by its descriptor alone (with the right to).
    if (errno == ENOENT && ::access("/proc/self/fd", F_OK) != 0 &&
        ::linkat(fd_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) {
        return 0;
    }
    return errno;
}

void LocalOutputFile::Write(std::span<const std::uint8_t> bytes) {
    // At the output's end by its own count: a shared range does not move the file's offset.
    while (!bytes.empty()) {
        const ssize_t n = ::pwrite(fd_, bytes.data(), bytes.size(), written_);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw FileError(FileError::Operation::Write, finalPath_, Reason(errno));
        bytes = bytes.subspan(static_cast<std::size_t>(n));
        written_ += n;
    }
}

void LocalOutputFile::CopyFrom(SourceFile& source, std::int64_t offset, std::int64_t length) {
    const auto* local = dynamic_cast<const LocalSourceFile*>(&source);
    // The bytes up to the source's next block boundary, then its whole blocks, then the
    // rest.
    const std::int64_t head = block_ > 0 ? (block_ - offset % block_) % block_ : 0;
    const std::int64_t whole = block_ > 0 ? (length - head) / block_ * block_ : 0;
    if (!local || whole <= 0 || (offset - written_) % block_ != 0) {
        Copy(source, offset, length);
        return;
    }
    Copy(source, offset, head);
    if (!Share(*local, offset + head, whole)) Copy(source, offset + head, whole);
    Copy(source, offset + head + whole, length - head - whole);
}

bool LocalOutputFile::Share(const LocalSourceFile& source, std::int64_t offset,
                            std::int64_t length) {
    file_clone_range range{};
    range.src_fd = source.Descriptor();
    range.src_offset = static_cast<std::uint64_t>(offset);
    range.src_length = static_cast<std::uint64_t>(length);
    range.dest_offset = static_cast<std::uint64_t>(written_);
    int result;
    do {
        result = ::ioctl(fd_, FICLONERANGE, &range);
    } while (result != 0 && errno == EINTR);
    if (result == 0) {
        written_ += length;
        return true;
    }
    // Out of room is the output's to report; anything else (no sharing on this file
    // system or between these files) leaves the copies to the kernel's copy from here on.
    if (errno == ENOSPC || errno == EFBIG || errno == EDQUOT) {
        throw FileError(FileError::Operation::Write, finalPath_, Reason(errno));
    }
    block_ = 0;
    return false;
}

void LocalOutputFile::Copy(SourceFile& source, std::int64_t offset, std::int64_t length) {
    loff_t from = offset;
    // Only a file of this system can be copied in the kernel; any other source goes
    // through the buffer.
    auto* local = dynamic_cast<LocalSourceFile*>(&source);
    // Where the bytes lie at other places within the pages of the output than within
    // those of the source (after an added frame), the kernel's copy moves each page in two
    // pieces, markedly slower than writing whole pages of the output straight out of the
    // mapped source.
    const auto page = static_cast<std::int64_t>(::sysconf(_SC_PAGESIZE));
    while (local && length > 0 && (from - written_) % page != 0) {
        const auto shown = local->View(from, 1);
        if (shown.empty()) break;  // not mapped: copied in the kernel after all
        auto count = std::min<std::int64_t>(static_cast<std::int64_t>(shown.size()), length);
        if (const std::int64_t pageEnd = (written_ + count) / page * page;
            count < length && pageEnd > written_) {
            count = pageEnd - written_;
        }
        const ssize_t n = ::pwrite(fd_, shown.data(), static_cast<std::size_t>(count), written_);
        if (n < 0 && errno == EINTR) continue;
        // The source's pages gave out beneath the mapping: it shrank.
        if (n < 0 && errno == EFAULT) {
            throw FileError(FileError::Operation::Read, source.Path(), kSourceChanged);
        }
        if (n < 0) throw FileError(FileError::Operation::Write, finalPath_, Reason(errno));
        from += n;
        length -= n;
        written_ += n;
    }
    while (local && length > 0) {
        loff_t to = written_;
        const ssize_t n = ::copy_file_range(local->Descriptor(), &from, fd_, &to,
                                            static_cast<std::size_t>(length), 0);
        if (n < 0 && errno == EINTR) continue;
        // A full disk or a size limit is the output's; anything else (no kernel-side copy
        // between these files, or a read error) goes through the buffer below, which tells
        // a failed read from a failed write.
        if (n < 0 && (errno == ENOSPC || errno == EFBIG || errno == EDQUOT)) {
            throw FileError(FileError::Operation::Write, finalPath_, Reason(errno));
        }
        if (n < 0) break;
        if (n == 0) {
            throw FileError(FileError::Operation::Read, source.Path(), kSourceChanged);
        }
        length -= n;
        written_ += n;
    }
    std::vector<std::uint8_t> buffer(
        static_cast<std::size_t>(std::min<std::int64_t>(length, 1 << 20)));
    while (length > 0) {
        const auto chunk = static_cast<std::size_t>(
            std::min<std::int64_t>(length, static_cast<std::int64_t>(buffer.size())));
        const std::size_t n = ReadFully(source, from, buffer.data(), chunk);
        if (n < chunk) throw FileError(FileError::Operation::Read, source.Path(), kSourceChanged);
        Write({buffer.data(), n});
        from += static_cast<loff_t>(n);
        length -= static_cast<std::int64_t>(n);
    }
}

void LocalOutputFile::Fail(int error) const {
    throw FileError(FileError::Operation::Write, finalPath_,
                    error == EEXIST
                        ? Tr("Files", "a file of that name appeared while it was written")
                        : Message(Reason(error)));
}

std::string HiddenName(const std::string& folder, unsigned attempt) {
    return folder + "/.quorvel-" + std::to_string(::getpid()) + "-" + std::to_string(attempt) +
           ".tmp";
}

void LocalOutputFile::Stage() {
    if (tempPath_.empty()) {
        int error = EEXIST;
        for (unsigned attempt = 0; error == EEXIST && attempt < 100; ++attempt) {
            const std::string hidden = HiddenName(FolderOf(finalPath_), attempt);
            error = LinkAs(hidden);
            if (error == 0) tempPath_ = hidden;
        }
        if (error != 0) Fail(error);
        pendingSlot_ = RememberPending(tempPath_);
    }
    struct stat info {};
    if (::fstat(fd_, &info) == 0) device_ = info.st_dev, inode_ = info.st_ino;
    // Closing is the last chance a file system has to report a failed write.
    if (::close(std::exchange(fd_, -1)) != 0) Fail(errno);
}

int LocalOutputFile::NameWithoutReplacing() const {
    const char* from = tempPath_.c_str();
    const char* to = finalPath_.c_str();
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
    // FUSE file systems, vfat and older NFS servers know no such rename; a second link
    // fails as well where the name is taken.
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
    if (::link(from, to) == 0) {
        ::unlink(from);
        return 0;
    }
    if (errno == EEXIST) return errno;
    // Nor links: the name is taken by an empty file of this run's own, which the rename
    // then replaces.
    const int placeholder = ::open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (placeholder < 0) return errno;
    ::close(placeholder);
    if (::rename(from, to) == 0) return 0;
    const int error = errno;
    ::unlink(to);
    return error;
}

void LocalOutputFile::Commit(bool replace) {
    // Where the user let it replace an entry that no trash could take, the rename puts the
    // new file in its place in one step. Otherwise the name must still be free: another
    // run, or anyone, may have taken it since it was looked up.
    const int error = replace ? (::rename(tempPath_.c_str(), finalPath_.c_str()) == 0 ? 0 : errno)
                              : NameWithoutReplacing();
    if (error != 0) Fail(error);
    tempPath_.clear();
    ForgetPending(std::exchange(pendingSlot_, -1));
    committed_ = true;
}

void LocalOutputFile::Withdraw() {
    struct stat info {};
    // Only this output's own file, should anyone have put another in its place.
    if (!committed_ || ::lstat(finalPath_.c_str(), &info) != 0 || info.st_dev != device_ ||
        info.st_ino != inode_) {
        return;
    }
    if (::unlink(finalPath_.c_str()) != 0) Fail(errno);
    committed_ = false;
}

}  // namespace

bool OrdinaryFileExists(const std::string& path) {
    const auto info = StatOf(path);
    const auto name = path.substr(path.rfind('/') + 1);
    return info && S_ISREG(info->st_mode) && !name.starts_with('.');
}

std::optional<std::string> CreateFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) != 0) return Reason(errno);
    return std::nullopt;
}

// Every entry directly in a folder; a folder that cannot be read, or stops being
// readable, simply yields what was read.
template <typename Visit>
void VisitEntries(const std::string& folder, Visit&& visit) {
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (!visit(it->path().string())) return;
    }
}

bool HoldsOrdinaryFiles(const std::string& folder) {
    bool found = false;
    VisitEntries(folder, [&](const std::string& entry) {
        found = OrdinaryFileExists(entry);
        return !found;
    });
    return found;
}

void IgnoreFileSizeSignal() {
    ::signal(SIGXFSZ, SIG_IGN);
}

Removal DeleteToTrash(const std::string& path) {
    const auto refused = TrashThroughDesktop(path);
    if (!refused) return {Removal::Outcome::Trashed, {}};
    std::error_code failure;
    std::filesystem::remove_all(path, failure);
    if (failure) return {Removal::Outcome::Kept, failure.message()};
    return {Removal::Outcome::RemovedForGood, *refused};
}

bool LocalFileSystem::RegularFileExists(const std::string& path) const {
    const auto info = StatOf(path);
    return info && S_ISREG(info->st_mode);
}

bool LocalFileSystem::EntryExists(const std::string& path) const {
    return StatOf(path).has_value();
}

std::optional<std::string> LocalFileSystem::LookupProblem(const std::string& path) const {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) == 0 || errno == ENOENT || errno == ENOTDIR) {
        return std::nullopt;
    }
    return Reason(errno);
}

bool LocalFileSystem::IsDirectory(const std::string& path) const {
    const auto info = StatOf(path);
    return info && S_ISDIR(info->st_mode);
}

Entry LocalFileSystem::EntryAt(const std::string& path) const {
    struct stat info {};
    if (path.empty() || ::lstat(path.c_str(), &info) != 0) return Entry::None;
    return S_ISDIR(info.st_mode) ? Entry::Folder : Entry::Other;
}

bool LocalFileSystem::SameFile(const std::string& one, const std::string& other) const {
    const auto a = StatOf(one);
    const auto b = StatOf(other);
    return a && b && a->st_dev == b->st_dev && a->st_ino == b->st_ino;
}

std::unique_ptr<SourceFile> LocalFileSystem::OpenSource(const std::string& path) {
    return std::make_unique<LocalSourceFile>(path, options_.MappedWindow);
}

std::unique_ptr<OutputFile> LocalFileSystem::CreateOutput(const std::string& path) {
    return std::make_unique<LocalOutputFile>(path, options_.UnnamedOutputs);
}

std::int64_t LocalFileSystem::SharedBlockSize(SourceFile& source, const std::string& folder) {
    // Sharing the source's first block with a file there tells whether the file system
    // shares blocks at all, and between these two files: a single cheap try.
    const auto* local = dynamic_cast<const LocalSourceFile*>(&source);
    if (!local || local->Size() == 0) return 0;
    const int probe = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (probe < 0) return 0;
    std::int64_t block = 0;
    struct stat info {};
    if (::fstat(probe, &info) == 0 && info.st_blksize > 0) {
        file_clone_range range{};
        range.src_fd = local->Descriptor();
        range.src_length =
            static_cast<std::uint64_t>(std::min<std::int64_t>(info.st_blksize, local->Size()));
        if (::ioctl(probe, FICLONERANGE, &range) == 0) block = info.st_blksize;
    }
    ::close(probe);
    return block;
}

std::optional<std::string> LocalFileSystem::MoveToTrash(const std::string& path) {
    return TrashThroughDesktop(path);
}

void LocalFileSystem::RemoveLeftovers(const std::string& folder) {
    // A hidden output is named ".quorvel-PID-N.tmp"; one whose process is gone was left by
    // a run that was killed.
    VisitEntries(folder, [](const std::string& entry) {
        const std::string name = entry.substr(entry.rfind('/') + 1);
        constexpr std::string_view prefix = ".quorvel-";
        if (!name.starts_with(prefix) || !name.ends_with(".tmp")) return true;
        char* end = nullptr;
        const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
        struct stat info {};
        if (pid > 0 && *end == '-' && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH &&
            ::lstat(entry.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            ::unlink(entry.c_str());
        }
        return true;
    });
}

}  // namespace quorvel::platform
