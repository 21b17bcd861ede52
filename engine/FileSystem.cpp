#include "engine/FileSystem.h"

namespace quorvel {

std::string DescribeRemoval(const std::string& path, const Removal& removal) {
    switch (removal.Result) {
        case Removal::Outcome::RemovedForGood:
            return "The trash could not take " + path + " (" + removal.Reason +
                   "): it was removed for good.";
        case Removal::Outcome::Kept:
            return "Cannot remove " + path + ": " + removal.Reason + ".";
        case Removal::Outcome::Trashed:
            break;
    }
    return {};
}

}  // namespace quorvel
