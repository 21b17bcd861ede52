#include "engine/OutputNames.h"

#include "engine/Numbers.h"

namespace quorvel {

std::string BaseName(std::string_view sourcePath) {
    std::string_view name = TrimBlanks(sourcePath);
    if (const auto slash = name.rfind('/'); slash != std::string_view::npos) {
        name.remove_prefix(slash + 1);
    }
    const auto dot = name.rfind('.');
    return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

std::array<std::string, 2> OutputPaths(std::string_view folder, std::string_view sourcePath) {
    // A folder text that ends in "/" (as the folder browser gives it) takes no second.
    const std::string stem =
        std::string(folder) + (folder.ends_with('/') ? "" : "/") + BaseName(sourcePath);
    return {stem + "1.mp3", stem + "2.mp3"};
}

}  // namespace quorvel
