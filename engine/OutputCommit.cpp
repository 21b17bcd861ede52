#include "engine/OutputCommit.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string_view>

namespace quorvel {

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

namespace {

// Up to this many outputs stay open, without a name, until all are named: a process killed
// meanwhile leaves nothing of them. More are closed under a hidden name once written, which
// a later run removes should this one be killed.
constexpr std::size_t kOpenOutputs = 16;

constexpr std::string_view kJournalHeader = "quorvel naming journal 1";

std::string NameOf(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

// A name as the journal writes it: blanks, controls and '%' as %XX, so that every name is
// one word of a line.
std::string Escaped(std::string_view name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F || c == '%') {
            escaped += {'%', kHex[byte >> 4], kHex[byte & 0xF]};
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::optional<std::string> Unescaped(std::string_view word) {
    std::string name;
    for (std::size_t at = 0; at < word.size(); ++at) {
        if (word[at] != '%') {
            name += word[at];
            continue;
        }
        unsigned value = 0;
        if (at + 2 >= word.size()) return std::nullopt;
        const auto [end, error] =
            std::from_chars(word.data() + at + 1, word.data() + at + 3, value, 16);
        if (error != std::errc() || end != word.data() + at + 3) return std::nullopt;
        name += static_cast<char>(value);
        at += 2;
    }
    if (name.empty() || name.find('/') != std::string::npos) return std::nullopt;
    return name;
}

// What a journal says: which hidden file takes which name, and which of those names had an
// older entry, set aside in the journal's folder `Aside()` under its own name.
struct Journal {
    struct Part {
        std::string Hidden;  // names in the folder
        std::string Final;
        std::int64_t Bytes = 0;
        bool Replacing = false;
        bool ForGood = false;  // the older entry is removed, not moved to the trash
    };
    std::string Path;
    std::vector<Part> Parts;
    bool Complete = false;  // written to its end: the renames may have begun
    bool Named = false;     // every output has its name

    std::string Folder() const { return FolderOf(Path); }
    std::string In(const std::string& name) const {
        const std::string folder = Folder();
        return folder + (folder.ends_with('/') ? "" : "/") + name;
    }
    std::string Aside() const { return Path + ".old"; }
    std::string SetAside(const Part& part) const { return Aside() + "/" + part.Final; }
    bool Replaces() const {
        return std::any_of(Parts.begin(), Parts.end(), [](const Part& p) { return p.Replacing; });
    }
};

std::string Written(const Journal& journal) {
    std::string text = std::string(kJournalHeader) + "\n";
    for (const Journal::Part& part : journal.Parts) {
        text += "part " + Escaped(part.Hidden) + " " + Escaped(part.Final) + " " +
                std::to_string(part.Bytes) + " " +
                (part.ForGood     ? "2"
                 : part.Replacing ? "1"
                                  : "0") +
                "\n";
    }
    return text + "end\n";
}

// The journal at `path` as its text says; none where the text is no journal of this
// program's.
std::optional<Journal> Read(const LeftJournal& left) {
    Journal journal;
    journal.Path = left.Path;
    std::string_view text = left.Text;
    bool first = true;
    while (!text.empty()) {
        const auto newline = text.find('\n');
        // A last line without its end was being written when the run ended.
        if (newline == std::string_view::npos) break;
        const std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline + 1);
        if (first) {
            if (line != kJournalHeader) return std::nullopt;
            first = false;
            continue;
        }
        if (line == "end") {
            journal.Complete = true;
        } else if (line == "named" && journal.Complete) {
            journal.Named = true;
        } else if (line.starts_with("part ") && !journal.Complete) {
            std::vector<std::string_view> words;
            for (std::size_t at = 5; at <= line.size();) {
                const auto space = std::min(line.find(' ', at), line.size());
                words.push_back(line.substr(at, space - at));
                at = space + 1;
            }
            if (words.size() != 4 || words[3].size() != 1 || words[3][0] < '0' ||
                words[3][0] > '2') {
                return std::nullopt;
            }
            Journal::Part part;
            const auto hidden = Unescaped(words[0]);
            const auto final = Unescaped(words[1]);
            const auto [end, error] =
                std::from_chars(words[2].data(), words[2].data() + words[2].size(), part.Bytes);
            if (!hidden || !final || error != std::errc() ||
                end != words[2].data() + words[2].size()) {
                return std::nullopt;
            }
            part.Hidden = *hidden;
            part.Final = *final;
            part.Replacing = words[3] != "0";
            part.ForGood = words[3] == "2";
            journal.Parts.push_back(std::move(part));
        } else {
            return std::nullopt;
        }
    }
    if (first) return std::nullopt;
    return journal;
}

bool Exists(const FileSystem& files, const std::string& path) {
    return files.EntryAt(path) != Entry::None;
}

// Undoes what a journal's naming did, as far as it got: each step looks at what stands
// where, so that an undoing that was itself ended goes on from where it stood. The journal
// and the hidden files go only once every output's name is free again and every older
// entry has its own back; otherwise they stay for the next try, and what could not be
// undone is returned.
std::vector<Message> Undo(FileSystem& files, const Journal& journal) {
    std::vector<Message> problems;
    const auto tried = [&problems](auto&& step) {
        try {
            step();
        } catch (const FileError& error) {
            problems.push_back(error.Message());
        }
    };
    // The outputs named: back under their hidden names. An output is this run's where its
    // hidden name is gone, its size is the one written and, replacing, its older entry
    // stands aside.
    for (auto part = journal.Parts.rbegin(); part != journal.Parts.rend(); ++part) {
        const std::string hidden = journal.In(part->Hidden);
        const std::string final = journal.In(part->Final);
        const bool aside = part->Replacing && Exists(files, journal.SetAside(*part));
        if (Exists(files, hidden)) {
            // Not named; an empty file at its name is where a file system without a rename
            // that keeps an existing name held it for the output, the run ended between.
            if (part->Bytes > 0 && files.FileSize(final) == 0 && (!part->Replacing || aside)) {
                tried([&] { files.Remove(final); });
            }
            continue;
        }
        if (files.FileSize(final) != part->Bytes || (part->Replacing && !aside)) continue;
        tried([&] { files.Rename(final, hidden); });
    }
    // The older entries: back under their own names.
    for (const Journal::Part& part : journal.Parts) {
        const std::string aside = journal.SetAside(part);
        if (!part.Replacing || !Exists(files, aside)) continue;
        const std::string final = journal.In(part.Final);
        if (Exists(files, final)) {
            problems.push_back(
                Tr("Split", "the older %1 is kept as %2, as another file has its name")
                    .Arg(final)
                    .Arg(aside));
            continue;
        }
        tried([&] { files.Rename(aside, final); });
    }
    if (!problems.empty()) return problems;
    for (const Journal::Part& part : journal.Parts) {
        const std::string hidden = journal.In(part.Hidden);
        if (Exists(files, hidden)) tried([&] { files.Remove(hidden); });
    }
    if (Exists(files, journal.Aside())) tried([&] { files.Remove(journal.Aside()); });
    if (problems.empty()) tried([&] { files.Remove(journal.Path); });
    return problems;
}

// Moves an older entry set aside into the trash, or removes it where no trash takes it or
// where `forGood`, and tells the log; `shown` is the name it had.
void Discard(FileSystem& files, Reporter& reporter, const std::string& entry,
             const std::string& shown, bool forGood) {
    std::optional<std::string> refused;
    if (!forGood) {
        refused = files.MoveToTrash(entry);
        if (!refused) {
            reporter.Log(Tr("Split", "Moved the older %1 to the trash.").Arg(shown));
            return;
        }
    }
    try {
        files.Remove(entry);
        reporter.Log(refused ? *DescribeRemoval(shown, {Removal::Outcome::RemovedForGood, *refused})
                             : Tr("Split", "Removed the older %1.").Arg(shown));
    } catch (const FileError& error) {
        reporter.Log(Tr("Files", "Cannot remove %1: %2.").Arg(entry).Arg(error.Reason()));
    }
}

// Once every output has its name: the older entries go, then the journal. Nothing here
// undoes the naming; what cannot be removed is told of and left.
void Finish(FileSystem& files, Reporter& reporter, const Journal& journal) {
    for (const Journal::Part& part : journal.Parts) {
        const std::string aside = journal.SetAside(part);
        if (part.Replacing && Exists(files, aside)) {
            Discard(files, reporter, aside, journal.In(part.Final), part.ForGood);
        }
    }
    // What cannot be removed stays: a folder still holding an older entry told of above, a
    // journal the next run finds nothing more to do for.
    for (const std::string& left : {journal.Aside(), journal.Path}) {
        try {
            if (Exists(files, left)) files.Remove(left);
        } catch (const FileError&) {
        }
    }
}

// The problems of an undoing, as one text.
Message Joined(const std::vector<Message>& problems) {
    Message joined = problems.front();
    for (std::size_t i = 1; i < problems.size(); ++i) {
        joined = Tr("Split", "%1; %2").Arg(joined).Arg(problems[i]);
    }
    return joined;
}

}  // namespace

void OutputCommit::Add(std::string path, bool replacing) {
    outputs_.push_back({std::move(path), replacing, false, nullptr, 0, {}});
}

void OutputCommit::AddInPlaceOf(std::string path) {
    outputs_.push_back({std::move(path), true, true, nullptr, 0, {}});
}

std::unique_ptr<SourceFile> OutputCommit::Write(std::size_t index, SourceFile& source,
                                                const OutputPlan& plan) {
    Begin(index);
    return Fill(index, source, plan);
}

std::unique_ptr<SourceFile> OutputCommit::Write(std::size_t index,
                                                std::span<SourceFile* const> sources,
                                                const OutputPlan& plan) {
    Begin(index);
    return Fill(index, sources, plan);
}

void OutputCommit::Begin(std::size_t index) {
    Output& output = outputs_.at(index);
    reporter_.Log(Tr("Split", "Writing to %1").Arg(output.Path));
    output.File = files_.CreateOutput(output.Path);
}

std::unique_ptr<SourceFile> OutputCommit::Fill(std::size_t index, SourceFile& source,
                                               const OutputPlan& plan) {
    SourceFile* const sources[] = {&source};
    return Fill(index, sources, plan);
}

std::unique_ptr<SourceFile> OutputCommit::Fill(std::size_t index,
                                               std::span<SourceFile* const> sources,
                                               const OutputPlan& plan) {
    Output& output = outputs_.at(index);
    for (const auto& piece : plan) {
        if (piece.Bytes.empty()) {
            output.File->CopyFrom(*sources[piece.Source], piece.SourceOffset, piece.Length);
        } else {
            output.File->Write(piece.Bytes);
        }
        output.Bytes += piece.Length;
    }
    auto written = output.File->ReadBack();
    if (outputs_.size() > kOpenOutputs) output.Hidden = output.File->Stage();
    return written;
}

void OutputCommit::Commit() {
    files_.BeforeNaming();
    if (outputs_.empty()) return;
    Journal journal;
    for (Output& output : outputs_) {
        if (output.Hidden.empty()) output.Hidden = output.File->Stage();
        journal.Parts.push_back({NameOf(output.Hidden), NameOf(output.Path), output.Bytes,
                                 output.Replacing, output.ForGood});
    }
    journal_ = files_.CreateJournal(FolderOf(outputs_.front().Path), Written(journal));
    journal.Path = journal_;
    journal.Complete = true;
    // The hidden files are the journal's from here on: only an undoing removes them.
    for (Output& output : outputs_) output.File->Release();
    if (journal.Replaces()) files_.MakeFolder(journal.Aside());
    for (const Journal::Part& part : journal.Parts) {
        if (!part.Replacing) continue;
        const std::string final = journal.In(part.Final);
        try {
            files_.Rename(final, journal.SetAside(part));
        } catch (const FileError& error) {
            throw FileError(FileError::Operation::Write, final, error.Reason());
        }
    }
    for (const Journal::Part& part : journal.Parts) {
        files_.Rename(journal.In(part.Hidden), journal.In(part.Final));
    }
    files_.AppendToJournal(journal_, "named\n");
    journal.Named = true;
    journal_.clear();
    Finish(files_, reporter_, journal);
}

Message OutputCommit::RollBack(const Message& why) {
    const Message nothing = Tr("Split", "Nothing was changed: %1.").Arg(why);
    if (journal_.empty()) return nothing;
    Journal journal;
    journal.Path = journal_;
    journal.Complete = true;
    for (const Output& output : outputs_) {
        journal.Parts.push_back({NameOf(output.Hidden), NameOf(output.Path), output.Bytes,
                                 output.Replacing, output.ForGood});
    }
    const auto problems = Undo(files_, journal);
    if (problems.empty()) return nothing;
    return Tr("Split",
              "Not everything could be undone (%1): %2. The next run into the folder tries "
              "again.")
        .Arg(why)
        .Arg(Joined(problems));
}

void OutputCommit::Recover(FileSystem& files, Reporter& reporter, const std::string& folder) {
    for (const LeftJournal& left : files.LeftJournals(folder)) {
        const auto journal = Read(left);
        if (!journal) continue;  // not this program's to read
        if (!journal->Complete) {
            // Ended while it was written: nothing was renamed yet.
            try {
                files.Remove(journal->Path);
            } catch (const FileError&) {
            }
            continue;
        }
        if (journal->Named) {
            reporter.Log(Tr("Split",
                            "An earlier run into %1 was ended while it named its parts, once "
                            "all had their names: it was completed.")
                             .Arg(folder));
            Finish(files, reporter, *journal);
            continue;
        }
        const auto problems = Undo(files, *journal);
        if (problems.empty()) {
            reporter.Log(Tr("Split",
                            "An earlier run into %1 was ended while it named its parts: it was "
                            "rolled back, the older files are as they were.")
                             .Arg(folder));
        } else {
            reporter.Log(Tr("Split",
                            "An earlier run into %1 was ended while it named its parts and could "
                            "not be rolled back entirely: %2. The next run into the folder tries "
                            "again.")
                             .Arg(folder)
                             .Arg(Joined(problems)));
        }
    }
}

}  // namespace quorvel
