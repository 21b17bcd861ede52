#include "platform/LocalFileSystem.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
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

FileStamp StampOf(const struct stat& info) {
    const auto nanoseconds = [](const timespec& time) {
        return std::int64_t{time.tv_sec} * 1'000'000'000 + time.tv_nsec;
    };
    return {info.st_dev, info.st_ino, static_cast<std::int64_t>(info.st_size),
            nanoseconds(info.st_mtim), nanoseconds(info.st_ctim)};
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

const auto kPageSize = static_cast<std::int64_t>(::sysconf(_SC_PAGESIZE));

// A full disk, a quota or a size limit: the output's to report, whichever way it is written.
bool OutOfRoom(int error) {
    return error == ENOSPC || error == EFBIG || error == EDQUOT;
}

// A pipe to move one range through, as long as the system gives one without privileges
// (1 MiB unless set otherwise; the default 64 KiB where the user's pipes already hold
// their share).
class Pipe {
  public:
    Pipe() {
        if (::pipe2(ends_, O_CLOEXEC) != 0) return;
        const int size = ::fcntl(ends_[1], F_SETPIPE_SZ, 1 << 20);
        size_ = size > 0 ? size : ::fcntl(ends_[1], F_GETPIPE_SZ);
    }
    ~Pipe() {
        for (const int end : ends_) {
            if (end >= 0) ::close(end);
        }
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    bool Open() const { return ends_[0] >= 0 && size_ > 0; }
    int Out() const { return ends_[0]; }
    int In() const { return ends_[1]; }
    std::int64_t Size() const { return size_; }

  private:
    int ends_[2] = {-1, -1};
    std::int64_t size_ = 0;
};

// A regular file opened for reading only, shown in place through a mapping of `window`
// bytes at a time where it can be.
class LocalSourceFile final : public SourceFile {
  public:
    LocalSourceFile(const std::string& path, std::size_t window);  // throws FileError
    // The regular file open at `fd`, which it takes, under the name `path`.
    LocalSourceFile(int fd, std::string path, std::size_t window);  // throws FileError
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
    // Takes in the file open at fd_: its size and stamp. Throws FileError, fd_ closed.
    void Open(std::size_t window);

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
// Two outputs may be written, and so named, on two threads at once: a slot is taken by one.
std::mutex pendingTaking;

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
    const std::lock_guard lock(pendingTaking);
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
// that end the program. Staged, it has a hidden name and is closed.
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
    void MoveTo(std::int64_t at) override { written_ = at; }
    void EndHere() override;
    // Read through a descriptor of its own, so that it may be read on another thread.
    std::unique_ptr<SourceFile> ReadBack() override;
    std::string Stage() override;
    void Release() override;

  private:
    // Shares `length` bytes of the source from `offset`, whole blocks, at the output's end;
    // false where the file system will not.
    bool Share(const LocalSourceFile& source, std::int64_t offset, std::int64_t length);
    void Copy(SourceFile& source, std::int64_t offset, std::int64_t length);
    // Copy's ways in the kernel: each copies what it can from `from` on, moving `from`,
    // `length` and the output's end on, and leaves the rest to the next.
    void CopyInKernel(const LocalSourceFile& source, loff_t& from, std::int64_t& length);
    void Splice(const LocalSourceFile& source, loff_t& from, std::int64_t& length);
    [[noreturn]] void Fail(int error) const;
    // Creates a hidden file in the folder, under a name no other file has.
    void CreateNamed(const std::string& folder);
    // Gives the unnamed file `name`; the error number when it cannot.
    int LinkAs(const std::string& name) const;

    std::string finalPath_;
    std::string tempPath_;  // the hidden name, while it exists
    int fd_ = -1;
    std::int64_t written_ = 0;  // where the next bytes go
    std::int64_t block_ = 0;    // the block size at which it may share the source's; 0: none
    int pendingSlot_ = -1;
    bool released_ = false;  // the hidden file is a journal's
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
    Open(window);
}

LocalSourceFile::LocalSourceFile(int fd, std::string path, std::size_t window)
    : path_(std::move(path)), fd_(fd) {
    if (fd_ < 0) throw FileError(FileError::Operation::Read, path_, Reason(errno));
    Open(window);
}

void LocalSourceFile::Open(std::size_t window) {
    struct stat info {};
    std::optional<Message> problem;
    if (::fstat(fd_, &info) != 0) {
        problem = Reason(errno);
    } else if (!S_ISREG(info.st_mode)) {
        problem = KindOf(info.st_mode);
    }
    if (problem) {
        ::close(fd_);
        throw FileError(FileError::Operation::Read, path_, *problem);
    }
    size_ = static_cast<std::int64_t>(info.st_size);
    stamp_ = StampOf(info);
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
        fd_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
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
        fd_ = ::open(tempPath_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
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
    if (!tempPath_.empty() && !released_) ::unlink(tempPath_.c_str());
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
    if (OutOfRoom(errno)) throw FileError(FileError::Operation::Write, finalPath_, Reason(errno));
    block_ = 0;
    return false;
}

void LocalOutputFile::Copy(SourceFile& source, std::int64_t offset, std::int64_t length) {
    loff_t from = offset;
    // Only a file of this system can be copied in the kernel; any other source goes
    // through the buffer.
    if (const auto* local = dynamic_cast<const LocalSourceFile*>(&source)) {
        // Where the bytes lie at other places within the pages of the output than within
        // those of the source (after a part's own frames), the kernel's copy between files
        // moves them a few pages at a time; through a pipe of its own it moves many.
        if ((from - written_) % kPageSize == 0) CopyInKernel(*local, from, length);
        Splice(*local, from, length);
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

void LocalOutputFile::CopyInKernel(const LocalSourceFile& source, loff_t& from,
                                   std::int64_t& length) {
    while (length > 0) {
        loff_t to = written_;
        const ssize_t n = ::copy_file_range(source.Descriptor(), &from, fd_, &to,
                                            static_cast<std::size_t>(length), 0);
        if (n < 0 && errno == EINTR) continue;
        // A full disk or a size limit is the output's; anything else (no kernel-side copy
        // between these files, or a read error) goes another way, which tells a failed read
        // from a failed write.
        if (n < 0 && OutOfRoom(errno)) {
            throw FileError(FileError::Operation::Write, finalPath_, Reason(errno));
        }
        if (n < 0) return;
        if (n == 0) throw FileError(FileError::Operation::Read, source.Path(), kSourceChanged);
        length -= n;
        written_ += n;
    }
}

void LocalOutputFile::Splice(const LocalSourceFile& source, loff_t& from, std::int64_t& length) {
    if (length <= 0) return;
    const Pipe pipe;
    while (pipe.Open() && length > 0) {
        // The source's pages go into the pipe as they are, and are copied once, out of it.
        loff_t at = from;
        const ssize_t in = ::splice(source.Descriptor(), &at, pipe.In(), nullptr,
                                    static_cast<std::size_t>(std::min(length, pipe.Size())), 0);
        if (in < 0 && errno == EINTR) continue;
        // No splicing from this file: the buffer tells a failed read from the rest.
        if (in < 0) return;
        if (in == 0) throw FileError(FileError::Operation::Read, source.Path(), kSourceChanged);
        for (ssize_t left = in; left > 0;) {
            loff_t to = written_;
            const ssize_t out =
                ::splice(pipe.Out(), nullptr, fd_, &to, static_cast<std::size_t>(left), 0);
            if (out < 0 && errno == EINTR) continue;
            if (out < 0 && OutOfRoom(errno)) {
                throw FileError(FileError::Operation::Write, finalPath_, Reason(errno));
            }
            // No splicing into this file: what the pipe holds is read again into the buffer.
            if (out <= 0) return;
            written_ += out;
            from += out;
            length -= out;
            left -= out;
        }
    }
}

void LocalOutputFile::EndHere() {
    int result;
    do {
        result = ::ftruncate(fd_, static_cast<off_t>(written_));
    } while (result != 0 && errno == EINTR);
    if (result != 0) throw FileError(FileError::Operation::Write, finalPath_, Reason(errno));
}

void LocalOutputFile::Fail(int error) const {
    throw FileError(FileError::Operation::Write, finalPath_,
                    error == EEXIST
                        ? Tr("Files", "a file of that name appeared while it was written")
                        : Message(Reason(error)));
}

// A hidden name for a staged output, of this process and not given before.
std::string HiddenName(const std::string& folder) {
    static std::atomic<unsigned long> next{0};
    return folder + "/.quorvel-" + std::to_string(::getpid()) + "-" + std::to_string(next++) +
           ".tmp";
}

std::unique_ptr<SourceFile> LocalOutputFile::ReadBack() {
    // Read with pread: what was just written is in the page cache, and only a few frames
    // of it are read.
    return std::make_unique<LocalSourceFile>(::fcntl(fd_, F_DUPFD_CLOEXEC, 0), finalPath_, 0);
}

std::string LocalOutputFile::Stage() {
    if (fd_ < 0) return tempPath_;
    if (tempPath_.empty()) {
        int error = EEXIST;
        for (unsigned attempt = 0; error == EEXIST && attempt < 100; ++attempt) {
            const std::string hidden = HiddenName(FolderOf(finalPath_));
            error = LinkAs(hidden);
            if (error == 0) tempPath_ = hidden;
        }
        if (error != 0) Fail(error);
        pendingSlot_ = RememberPending(tempPath_);
    }
    // Closing is the last chance a file system has to report a failed write.
    if (::close(std::exchange(fd_, -1)) != 0) Fail(errno);
    return tempPath_;
}

void LocalOutputFile::Release() {
    released_ = true;
    ForgetPending(std::exchange(pendingSlot_, -1));
}

// Gives the entry at `from` the name `to` where no entry has it; the error number when it
// cannot.
int NameWithoutReplacing(const std::string& fromPath, const std::string& toPath) {
    const char* from = fromPath.c_str();
    const char* to = toPath.c_str();
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
    // FUSE file systems, vfat and older NFS servers know no such rename; a second link
    // fails as well where the name is taken.
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
    struct stat info {};
    const bool linkable = ::lstat(from, &info) == 0 && !S_ISDIR(info.st_mode);
    if (linkable && ::link(from, to) == 0) {
        ::unlink(from);
        return 0;
    }
    if (linkable && errno == EEXIST) return errno;
    // Nor links: the name is taken by an empty file of this run's own, which the rename
    // then replaces. A journal's undoing knows it for one.
    const int placeholder = ::open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (placeholder < 0) return errno;
    ::close(placeholder);
    if (::rename(from, to) == 0) return 0;
    const int error = errno;
    ::unlink(to);
    return error;
}

// Why a name could not be given, in the user's words: a name the destination's file system
// does not accept is said to be one, whatever number the system gives for it (vfat and
// exFAT give "invalid argument", exFAT through FUSE "no such file or directory").
Message NamingReason(int error, const std::string& from, const std::string& to) {
    if (error == EEXIST) return Tr("Files", "a file of that name appeared while it was written");
    if (error == EINVAL || error == EILSEQ ||
        (error == ENOENT && StatOf(FolderOf(to)) && ::access(from.c_str(), F_OK) == 0)) {
        return Tr("Files", "the destination's file system does not accept that name");
    }
    if (error == ENAMETOOLONG) {
        return Tr("Files", "the name is longer than the destination's file system takes");
    }
    return Reason(error);
}

// Makes what was written to `fd` stay on the disk; a folder's file system that cannot say
// (FUSE ones, some network ones) is taken at its word.
int Synced(int fd) {
    if (::fsync(fd) == 0 || errno == EINVAL || errno == ENOSYS || errno == EROFS ||
        errno == EOPNOTSUPP || errno == EBADF) {
        return 0;
    }
    return errno;
}

// Writes all of `text` to `fd`, keeps it on the disk and closes `fd`; the error number where
// any of it fails.
int WriteDurably(int fd, const std::string& text) {
    int error = 0;
    for (std::size_t done = 0; done < text.size() && error == 0;) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno != EINTR) error = errno;
        if (n > 0) done += std::size_t(n);
    }
    if (error == 0) error = Synced(fd);
    if (::close(fd) != 0 && error == 0) error = errno;
    return error;
}

// Keeps a folder's entries on the disk.
int SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno == EACCES ? 0 : errno;  // unreadable: its entries as they are
    const int error = Synced(fd);
    ::close(fd);
    return error;
}

// Whether an entry of the folder is one of this program's, named PREFIX-PID-N (then
// `suffix`), of a process no longer running.
bool LeftByEndedRun(const std::string& name, std::string_view prefix, std::string_view suffix) {
    if (!name.starts_with(prefix) || !name.ends_with(suffix)) return false;
    char* end = nullptr;
    const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
    if (pid <= 0 || *end != '-') return false;
    const char* restEnd = name.c_str() + name.size() - suffix.size();
    if (end + 1 > restEnd) return false;
    const std::string rest(static_cast<const char*>(end + 1), restEnd);
    if (rest.empty() || rest.find_first_not_of("0123456789") != std::string::npos) return false;
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

constexpr std::string_view kJournalPrefix = ".quorvel-journal-";
constexpr std::string_view kProbePrefix = ".quorvel-probe-";

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

std::optional<FileStamp> LocalFileSystem::StampOf(const std::string& path) const {
    const auto info = StatOf(path);
    if (!info) return std::nullopt;
    return platform::StampOf(*info);
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
    // A hidden output is named ".quorvel-PID-N.tmp", a folder of names tried
    // ".quorvel-probe-PID-N"; one whose process is gone was left by a run that was killed.
    // A journal left beside them holds its hidden outputs until it is done with.
    if (!LeftJournals(folder).empty()) return;
    VisitEntries(folder, [](const std::string& entry) {
        const std::string name = entry.substr(entry.rfind('/') + 1);
        struct stat info {};
        if (::lstat(entry.c_str(), &info) != 0) return true;
        if (S_ISREG(info.st_mode) && LeftByEndedRun(name, ".quorvel-", ".tmp")) {
            ::unlink(entry.c_str());
        } else if (S_ISDIR(info.st_mode) && LeftByEndedRun(name, kProbePrefix, "")) {
            std::error_code ignored;
            std::filesystem::remove_all(entry, ignored);
        }
        return true;
    });
}

std::optional<std::int64_t> LocalFileSystem::FileSize(const std::string& path) const {
    struct stat info {};
    if (path.empty() || ::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(info.st_size);
}

void LocalFileSystem::Rename(const std::string& from, const std::string& to) {
    if (const int error = NameWithoutReplacing(from, to)) {
        throw FileError(FileError::Operation::Write, to, NamingReason(error, from, to));
    }
}

void LocalFileSystem::Remove(const std::string& path) {
    if (::remove(path.c_str()) != 0) {
        throw FileError(FileError::Operation::Write, path, Reason(errno));
    }
}

void LocalFileSystem::MakeFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) != 0) {
        throw FileError(FileError::Operation::Write, path, Reason(errno));
    }
}

std::string LocalFileSystem::CreateJournal(const std::string& folder, const std::string& text) {
    static std::atomic<unsigned long> next{0};
    std::string path;
    int fd = -1;
    for (unsigned attempt = 0; fd < 0; ++attempt) {
        path = folder + (folder.ends_with('/') ? "" : "/") + std::string(kJournalPrefix) +
               std::to_string(::getpid()) + "-" + std::to_string(next++);
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && (errno != EEXIST || attempt == 100)) {
            throw FileError(FileError::Operation::Write, path, Reason(errno));
        }
    }
    int error = WriteDurably(fd, text);
    if (error == 0) error = SyncFolder(folder);
    if (error != 0) {
        ::unlink(path.c_str());
        throw FileError(FileError::Operation::Write, path, Reason(error));
    }
    return path;
}

void LocalFileSystem::AppendToJournal(const std::string& path, const std::string& text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) throw FileError(FileError::Operation::Write, path, Reason(errno));
    int error = WriteDurably(fd, text);
    if (error != 0) throw FileError(FileError::Operation::Write, path, Reason(error));
}

std::vector<LeftJournal> LocalFileSystem::LeftJournals(const std::string& folder) {
    std::vector<LeftJournal> journals;
    VisitEntries(folder, [&journals](const std::string& entry) {
        const std::string name = entry.substr(entry.rfind('/') + 1);
        if (!LeftByEndedRun(name, kJournalPrefix, "")) return true;
        // Opened without waiting, in case something else took the name; read only as a
        // regular file.
        const int fd = ::open(entry.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
        struct stat info {};
        if (fd < 0) return true;
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size < (64 << 20)) {
            std::string text(static_cast<std::size_t>(info.st_size), '\0');
            std::size_t size = 0;
            while (size < text.size()) {
                const ssize_t n = ::read(fd, text.data() + size, text.size() - size);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) break;
                size += std::size_t(n);
            }
            text.resize(size);
            journals.push_back({entry, std::move(text)});
        }
        ::close(fd);
        return true;
    });
    std::sort(journals.begin(), journals.end(),
              [](const LeftJournal& a, const LeftJournal& b) { return a.Path < b.Path; });
    return journals;
}

std::vector<NameProblem> LocalFileSystem::TryNames(const std::string& folder,
                                                   const std::vector<std::string>& names) {
    // Each name is given to an empty file in a hidden folder of the destination's, which
    // compares names as the destination does (a folder made in a case-insensitive one of
    // ext4 is case-insensitive too): the file system itself says which names it takes as
    // one, in any case or form of the same characters, and which it does not take at all.
    static std::atomic<unsigned long> next{0};
    const std::string probe = folder + (folder.ends_with('/') ? "" : "/") +
                              std::string(kProbePrefix) + std::to_string(::getpid()) + "-" +
                              std::to_string(next++);
    // A folder no file can be made in says so when the outputs are written.
    if (::mkdir(probe.c_str(), 0700) != 0) return {};
    std::vector<NameProblem> problems;
    std::vector<std::size_t> made;
    for (std::size_t i = 0; i < names.size() && problems.empty(); ++i) {
        const std::string path = probe + "/" + names[i];
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            made.push_back(i);
            continue;
        }
        const int error = errno;
        if (error == EEXIST) {
            // Which earlier name it was taken for: the one whose file, removed, lets it be made.
            // Made, not looked up: a FUSE file system's lookups may be answered from the
            // kernel's cache.
            NameProblem same{i, NameProblem::Kind::SameAs, 0};
            for (auto other = made.begin(); other != made.end(); other = made.erase(other)) {
                ::unlink((probe + "/" + names[*other]).c_str());
                const int again =
                    ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
                if (again >= 0) {
                    ::close(again);
                    ::unlink(path.c_str());
                    same.Other = *other;
                    break;
                }
            }
            problems.push_back(same);
        } else if (error == ENAMETOOLONG) {
            problems.push_back({i, NameProblem::Kind::TooLong, 0});
        } else if (error == EINVAL || error == EILSEQ || (error == ENOENT && StatOf(probe))) {
            problems.push_back({i, NameProblem::Kind::NotAccepted, 0});
        } else {
            break;  // out of room or rights: the outputs' writing says so
        }
    }
    for (const std::size_t i : made) ::unlink((probe + "/" + names[i]).c_str());
    if (::rmdir(probe.c_str()) != 0) {
        std::error_code ignored;
        std::filesystem::remove_all(probe, ignored);
    }
    return problems;
}

}  // namespace quorvel::platform
