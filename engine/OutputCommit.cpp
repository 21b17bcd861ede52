#include "engine/OutputCommit.h"

#include <optional>

namespace quorvel {
void OutputCommit::Add(std::string path, bool replacing) {
    outputs_.push_back({std::move(path), replacing, nullptr, false});
}

void OutputCommit::Write(std::size_t index, SourceFile& source, const OutputPlan& plan) {
    Output& output = outputs_.at(index);
    if (output.Replacing)
        reporter_.Log(Tr("Split", "Moving file %1 to the trash").Arg(output.Path));
    reporter_.Log(Tr("Split", "Writing to %1").Arg(output.Path));
    output.File = files_.CreateOutput(output.Path);
    for (const auto& piece : plan) {
        if (piece.Bytes.empty()) {
            output.File->CopyFrom(source, piece.SourceOffset, piece.Length);
        } else {
            output.File->Write(piece.Bytes);
        }
    }
}

void OutputCommit::Commit() {
    for (Output& output : outputs_) {
        output.File->Stage();
        bool replace = false;
        if (output.Replacing) {
            if (const auto refused = files_.MoveToTrash(output.Path)) {
                reporter_.Log(
                    *DescribeRemoval(output.Path, {Removal::Outcome::RemovedForGood, *refused}));
                replace = true;
            }
        }
        output.File->Commit(replace);
        output.Committed = true;
    }
}

Message OutputCommit::RollBack(const Message& why) {
    std::vector<std::string> replaced, kept;
    std::optional<Message> problem;
    for (Output& output : outputs_) {
        if (!output.Committed) continue;
        if (output.Replacing) {
            replaced.push_back(output.Path);
            continue;
        }
        try {
            output.File->Withdraw();
        } catch (const FileError& error) {
            kept.push_back(output.Path);
            if (!problem) problem = error.Message();
        }
    }
    if (problem) {
        kept.insert(kept.begin(), replaced.begin(), replaced.end());
        return Tr("Split", "Only %1 was written: %2; %3").Arg(Listed(kept)).Arg(why).Arg(*problem);
    }
    if (!replaced.empty())
        return Tr("Split", "Only %1 was replaced: %2.").Arg(Listed(replaced)).Arg(why);
    return Tr("Split", "Nothing was changed: %1.").Arg(why);
}

}  // namespace quorvel
