#include "engine/OutputNames.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <vector>

#include "engine/Numbers.h"

namespace quorvel {
namespace {

// The longest name most file systems take, in bytes.
constexpr std::size_t kLongestName = 255;

constexpr std::string_view kExtension = ".mp3";

// A name's pieces: the pattern's text and what it put in, and the part's number, which is
// never cut.
struct Piece {
    std::string Text;
    bool Number = false;
};

// The pieces as one stem that fits a file name with ".mp3" after it: too long, the longest
// of the other pieces is cut first, between two characters of UTF-8, until it fits.
std::string Fitted(std::vector<Piece> pieces) {
    constexpr std::size_t budget = kLongestName - kExtension.size();
    std::size_t total = 0;
    for (const Piece& piece : pieces) total += piece.Text.size();
    while (total > budget) {
        Piece* longest = nullptr;
        for (Piece& piece : pieces) {
            if (!piece.Number && (!longest || piece.Text.size() > longest->Text.size())) {
                longest = &piece;
            }
        }
        if (!longest || longest->Text.empty()) break;  // numbers alone: cut below
        std::string& text = longest->Text;
        std::size_t cut = text.size() - std::min(text.size(), total - budget);
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
        total -= text.size() - cut;
        text.erase(cut);
    }
    std::string stem;
    for (const Piece& piece : pieces) stem += piece.Text;
    if (stem.size() > budget) stem.erase(budget);  // digits only past this point
    return stem;
}

// The name with what a file name cannot hold, or had better not, made "_", and cut to what
// a file system takes, the number and ".mp3" kept.
std::string SaneName(std::vector<Piece> pieces, std::string_view number) {
    for (Piece& piece : pieces) {
        for (char& c : piece.Text) {
            if (c == '/' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
        }
    }
    std::string stem = Fitted(std::move(pieces));
    const auto blank = stem.find_last_not_of(' ');
    stem.erase(blank == std::string::npos ? 0 : blank + 1);
    if (stem.empty()) stem = number;
    if (stem.front() == '.' || stem.front() == ' ' || stem.front() == '-') stem.front() = '_';
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
            // The source's name as it is (the name it had took no mending), cut only where
            // the number would make it too long.
            paths.push_back(place + Fitted({{base}, {number, true}}) + std::string(kExtension));
            continue;
        }
        std::vector<Piece> pieces(1);
        for (std::size_t at = 0; at < pattern.size(); ++at) {
            const char next = at + 1 < pattern.size() ? pattern[at + 1] : '\0';
            if (pattern[at] != '%' || (next != 'n' && next != 't' && next != 'b' && next != '%')) {
                pieces.back().Text += pattern[at];
                continue;
            }
            ++at;
            if (next == '%') {
                pieces.back().Text += '%';
                continue;
            }
            if (next == 'n') pieces.push_back({number, true});
            if (next == 't') pieces.push_back({part <= titles.size() ? titles[part - 1] : ""});
            if (next == 'b') pieces.push_back({base});
            pieces.emplace_back();  // the pattern's text goes on in a piece of its own
        }
        paths.push_back(place + SaneName(std::move(pieces), number));
    }
    return paths;
}

}  // namespace quorvel
