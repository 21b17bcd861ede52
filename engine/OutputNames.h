#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// The source file's name without its folder and its last extension.
std::string BaseName(std::string_view sourcePath);

// The paths of `count` parts in the folder. Without a pattern, each is the source's base
// name followed by the part's number, zero-padded to the width of the count from 10 parts
// on, and ".mp3": two parts are <name>1.mp3 and <name>2.mp3. A pattern names each part in
// its place: %n its number (padded so), %t its title (`titles`, as far as given), %b the
// source's base name, %% a percent sign; ".mp3" follows unless it ends the pattern. What no
// file name can hold or a name had better not ('/', control characters, a leading dot or
// blank) becomes "_"; a name left empty is the part's number.
std::vector<std::string> PartPaths(std::string_view folder, std::string_view sourcePath,
                                   std::size_t count, std::string_view pattern = {},
                                   const std::vector<std::string>& titles = {});

}  // namespace quorvel
