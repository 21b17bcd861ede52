#pragma once

#include <array>
#include <string>
#include <string_view>

namespace quorvel {

// The source file's name without its folder and its last extension.
std::string BaseName(std::string_view sourcePath);

// The two parts' paths in the folder: the source's base name followed by 1 and 2.
std::array<std::string, 2> OutputPaths(std::string_view folder, std::string_view sourcePath);

}  // namespace quorvel
