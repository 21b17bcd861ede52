#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace quorvel::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline Bytes Slice(const Bytes& bytes, std::int64_t from, std::int64_t to) {
    return Bytes(bytes.begin() + from, bytes.begin() + to);
}

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Every entry of a folder, hidden ones included, with what it holds: a file's bytes, a
// link's target, or its kind. Two snapshots are equal only if nothing was changed.
inline std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const auto status = entry.symlink_status();
        std::string held;
        if (std::filesystem::is_symlink(status)) {
            held = "link to " + std::filesystem::read_symlink(entry.path()).string();
        } else if (std::filesystem::is_regular_file(status)) {
            const Bytes bytes = ReadFile(entry.path().string());
            held.assign(bytes.begin(), bytes.end());
        } else {
            held = "kind " + std::to_string(int(status.type()));
        }
        entries[entry.path().filename().string()] = held;
    }
    return entries;
}

// A folder of a test's own, removed with everything in it when the test ends.
class TempFolder {
  public:
    explicit TempFolder(
        const std::filesystem::path& parent = std::filesystem::temp_directory_path()) {
        std::string pattern = (parent / "quorvel-test-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~TempFolder() { std::filesystem::remove_all(path); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string Write(const std::string& name, const Bytes& bytes) const {
        const std::string file = path + "/" + name;
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return file;
    }
    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    std::string path;
};

}  // namespace quorvel::test
