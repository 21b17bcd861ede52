#include "engine/OutputNames.h"

#include <algorithm>
#include <cctype>

#include "engine/Numbers.h"

namespace quorvel {
namespace {

// The longest name most file systems take, in bytes.
constexpr std::size_t kLongestName = 255;

// The name with what a file name cannot hold, or had better not, made "_", and cut to what
// a file system takes, ".mp3" kept, between two characters of UTF-8.
std::string SaneName(std::string stem, std::string_view number) {
    for (char& c : stem) {
        if (c == '/' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
    }
    const auto blank = stem.find_last_not_of(' ');
    stem.erase(blank == std::string::npos ? 0 : blank + 1);
    if (stem.empty()) stem = number;
    if (stem.front() == '.' || stem.front() == ' ' || stem.front() == '-') stem.front() = '_';
    constexpr std::string_view kExtension = ".mp3";
    if (stem.size() > kLongestName - kExtension.size()) {
        std::size_t cut = kLongestName - kExtension.size();
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80) --cut;
        stem.erase(cut);
    }
    return stem + std::string(kExtension);
}

bool EndsWithMp3(std::string_view text) {
    if (text.size() < 4) return false;
    std::string tail(text.substr(text.size() - 4));
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return tail == ".mp3";
}

}  // namespace

std::string BaseName(std::string_view sourcePath) {
    std::string_view name = TrimBlanks(sourcePath);
    if (const auto slash = name.rfind('/'); slash != std::string_view::npos) {
        name.remove_prefix(slash + 1);
    }
    const auto dot = name.rfind('.');
    return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

std::vector<std::string> PartPaths(std::string_view folder, std::string_view sourcePath,
                                   std::size_t count, std::string_view pattern,
                                   const std::vector<std::string>& titles) {
    // A folder text that ends in "/" (as the folder browser gives it) takes no second.
    const std::string place = std::string(folder) + (folder.ends_with('/') ? "" : "/");
    const std::string base = BaseName(sourcePath);
    const std::size_t width = count >= 10 ? std::to_string(count).size() : 1;
    if (EndsWithMp3(pattern)) pattern.remove_suffix(4);
    std::vector<std::string> paths;
    for (std::size_t part = 1; part <= count; ++part) {
        std::string number = std::to_string(part);
        number.insert(0, width - std::min(width, number.size()), '0');
        if (pattern.empty()) {
            // The source's name as it is: the name it had took no mending.
            paths.push_back(place + base + number + ".mp3");
            continue;
        }
        std::string stem;
        for (std::size_t at = 0; at < pattern.size(); ++at) {
            const char next = at + 1 < pattern.size() ? pattern[at + 1] : '\0';
            if (pattern[at] != '%' || (next != 'n' && next != 't' && next != 'b' && next != '%')) {
                stem += pattern[at];
                continue;
            }
            ++at;
            if (next == 'n') stem += number;
            if (next == 't' && part <= titles.size()) stem += titles[part - 1];
            if (next == 'b') stem += base;
            if (next == '%') stem += '%';
        }
        paths.push_back(place + SaneName(stem, number));
    }
    return paths;
}

}  // namespace quorvel
