#include "engine/FileSystem.h"

namespace quorvel {

std::optional<Message> DescribeRemoval(const std::string& path, const Removal& removal) {
    switch (removal.Result) {
        case Removal::Outcome::RemovedForGood:
            return Tr("Files", "The trash could not take %1 (%2): it was removed for good.")
                .Arg(path)
                .Arg(removal.Reason);
        case Removal::Outcome::Kept:
            return Tr("Files", "Cannot remove %1: %2.").Arg(path).Arg(removal.Reason);
        case Removal::Outcome::Trashed:
            break;
    }
    return std::nullopt;
}

void CheckUnchanged(const FileSystem& files, const SourceFile& source, const Message& why) {
    const auto opened = source.Stamp();
    const auto now = files.StampOf(source.Path());
    if (opened && now && *opened != *now) {
        throw FileError(FileError::Operation::Read, source.Path(), why);
    }
}

}  // namespace quorvel
