#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace quorvel {

// Random access to the bytes of a source. Size() is the length taken when the source
// was opened; ReadAt returns fewer bytes than asked only at that end, unless the
// underlying file shrank meanwhile.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual std::int64_t Size() const = 0;
    virtual std::size_t ReadAt(std::int64_t offset, std::uint8_t* buffer, std::size_t count) = 0;

    // The bytes from `offset` on, in place and without a copy, where the source can show
    // them (a mapped file): at least `count` of them unless the source ends first, often
    // more. Empty where they must be read with ReadAt. What it shows stays valid until
    // the next call.
    virtual std::span<const std::uint8_t> View(std::int64_t, std::size_t) { return {}; }
    // Fails (as a read does) when bytes shown by View were not the source's own: a file
    // that shrank beneath its mapping shows zeros where it ended.
    virtual void ConfirmViews() {}
};

// A file's identity and the times of its last changes, to tell whether it is the same
// file, unchanged, as one opened before.
struct FileStamp {
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    std::int64_t Size = 0;
    std::int64_t Modified = 0;  // nanoseconds, of its bytes
    std::int64_t Changed = 0;   // nanoseconds, of its bytes or its entry
    bool operator==(const FileStamp&) const = default;
};

// Reads count bytes unless the source ends first; returns how many were read.
inline std::size_t ReadFully(ByteSource& source, std::int64_t offset, std::uint8_t* buffer,
                             std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const std::size_t n =
            source.ReadAt(offset + static_cast<std::int64_t>(done), buffer + done, count - done);
        if (n == 0) break;
        done += n;
    }
    return done;
}

class MemorySource final : public ByteSource {
  public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::int64_t Size() const override { return static_cast<std::int64_t>(bytes_.size()); }

    std::size_t ReadAt(std::int64_t offset, std::uint8_t* buffer, std::size_t count) override {
        if (offset < 0 || offset >= Size()) return 0;
        const auto n = std::min(count, bytes_.size() - static_cast<std::size_t>(offset));
        std::memcpy(buffer, bytes_.data() + offset, n);
        return n;
    }

  private:
    std::span<const std::uint8_t> bytes_;
};

}  // namespace quorvel
