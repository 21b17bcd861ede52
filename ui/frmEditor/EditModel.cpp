#include "ui/frmEditor/EditModel.h"

#include <QUndoCommand>
#include <algorithm>
#include <cmath>
#include <utility>

namespace quorvel::ui {

// One change: what is edited before and after it, whole, so that any edit (a cut, a title,
// a list from elsewhere, audio removed) is undone the same way.
class EditModel::Step final : public QUndoCommand {
  public:
    Step(EditModel& model, State before, State after, const QString& what)
        : QUndoCommand(what), model_(model), before_(std::move(before)), after_(std::move(after)) {}

    void undo() override { model_.Show(before_); }
    void redo() override { model_.Show(after_); }

  private:
    EditModel& model_;
    State before_;
    State after_;
};

EditModel::EditModel(std::int32_t samplingRate, std::chrono::microseconds length, QObject* parent)
    : QObject(parent), rate_(std::max(1, samplingRate)), length_(length) {}

std::int64_t EditModel::Sample(std::chrono::microseconds time) const {
    return std::llround(double(time.count()) * rate_ / 1e6);
}

std::chrono::microseconds EditModel::Time(std::int64_t sample) const {
    return std::chrono::microseconds(std::llround(double(sample) * 1e6 / rate_));
}

void EditModel::SetCursor(std::int64_t sample) {
    cursor_ = std::clamp<std::int64_t>(sample, 0, std::max<std::int64_t>(0, Sample(length_) - 1));
    selection_ = {};
    emit CursorChanged();
}

void EditModel::Select(std::int64_t from, std::int64_t to) {
    selection_ = {std::max<std::int64_t>(0, std::min(from, to)), std::max(from, to)};
    emit CursorChanged();
}

std::vector<RemovedSpan> EditModel::RemovedTimes() const {
    std::vector<RemovedSpan> spans;
    for (const SampleSpan& span : state_.Removed)
        spans.push_back({Time(span.From), Time(span.End)});
    return spans;
}

std::int64_t EditModel::KeptSamples(std::int64_t played) const {
    std::int64_t kept = played;
    for (const SampleSpan& span : state_.Removed) {
        kept -= std::clamp<std::int64_t>(span.End, 0, played) -
                std::clamp<std::int64_t>(span.From, 0, played);
    }
    return kept;
}

EditModel::Removal EditModel::RemoveSelection(bool keepOnly, std::int64_t played) {
    const std::int64_t from = std::min(selection_.From, played);
    const std::int64_t end = std::min(selection_.End, played);
    const Removal removal = keepOnly ? KeepOnly({from, end}, played, tr("Keep Only the Selection"))
                                     : Remove({{from, end}}, played, tr("Cut Out the Selection"));
    if (removal == Removal::Removed) SetCursor(from);
    return removal;
}

EditModel::Removal EditModel::KeepOnly(SampleSpan kept, std::int64_t played, const QString& what) {
    return Remove({{0, kept.From}, {kept.End, played}}, played, what);
}

EditModel::Removal EditModel::Remove(const std::vector<SampleSpan>& spans, std::int64_t played,
                                     const QString& what) {
    std::vector<SampleSpan> removed = state_.Removed;
    for (const SampleSpan& span : spans) {
        if (!span.Empty()) removed.push_back(span);
    }
    std::ranges::sort(removed, {}, &SampleSpan::From);
    std::vector<SampleSpan> joined;
    for (const SampleSpan& span : removed) {
        if (!joined.empty() && span.From <= joined.back().End) {
            joined.back().End = std::max(joined.back().End, span.End);
        } else {
            joined.push_back(span);
        }
    }
    if (joined == state_.Removed) return Removal::Nothing;
    if (joined.size() == 1 && joined[0].From <= 0 && joined[0].End >= played) {
        return Removal::Everything;
    }
    State after = state_;
    after.Removed = std::move(joined);
    history_.push(new Step(*this, state_, std::move(after), what));
    return Removal::Removed;
}

std::vector<LevelChange> EditModel::LevelTimes() const {
    std::vector<LevelChange> levels;
    for (const LevelEdit& level : state_.Levels) {
        levels.push_back({Time(level.Span.From), Time(level.Span.End), level.Steps, level.Fade});
    }
    return levels;
}

bool EditModel::ChangeLevel(int steps) {
    if (selection_.Empty()) return false;
    const QString what = tr("Change the Level");
    const LevelEdit* last = state_.Levels.empty() ? nullptr : &state_.Levels.back();
    if (last && last->Span == selection_ && last->Fade == LevelChange::Shape::Level &&
        history_.canUndo() && !history_.canRedo() && history_.undoText() == what) {
        // Pressed again: the change before takes these steps too, one step to undo.
        const int total = last->Steps + steps;
        history_.undo();
        if (total != 0) AddLevel({selection_, total, LevelChange::Shape::Level}, what);
        return true;
    }
    AddLevel({selection_, steps, LevelChange::Shape::Level}, what);
    return true;
}

bool EditModel::Fade(LevelChange::Shape fade) {
    if (selection_.Empty()) return false;
    AddLevel({selection_, 0, fade},
             fade == LevelChange::Shape::FadeIn ? tr("Fade In") : tr("Fade Out"));
    return true;
}

void EditModel::AddLevel(LevelEdit level, const QString& what) {
    State after = state_;
    after.Levels.push_back(level);
    history_.push(new Step(*this, state_, std::move(after), what));
}

int EditModel::AddCut(std::chrono::microseconds at, Refused& refused) {
    refused = Refused::None;
    if (at <= std::chrono::microseconds(0) || at >= length_) {
        refused = Refused::Outside;
        return -1;
    }
    std::vector<PartStart> parts = state_.Parts;
    const auto next =
        std::ranges::find_if(parts, [&](const PartStart& part) { return part.Start >= at; });
    if (next != parts.end() && next->Start == at) {
        refused = Refused::Taken;
        return -1;
    }
    const int row = static_cast<int>(next - parts.begin());
    parts.insert(next, PartStart{at, {}, {}});
    Change(std::move(parts), tr("Add Cut"));
    return row;
}

void EditModel::RemoveCut(int row) {
    if (row <= 0 || row >= static_cast<int>(state_.Parts.size())) return;
    std::vector<PartStart> parts = state_.Parts;
    parts.erase(parts.begin() + row);
    Change(std::move(parts), tr("Remove Cut"));
}

void EditModel::SetTitle(int row, const QString& title) {
    std::vector<PartStart> parts = state_.Parts;
    parts.at(std::size_t(row)).Title = title.toStdString();
    if (parts[std::size_t(row)].Title != state_.Parts[std::size_t(row)].Title) {
        Change(std::move(parts), tr("Edit Title"));
    }
}

void EditModel::SetPerformer(int row, const QString& performer) {
    std::vector<PartStart> parts = state_.Parts;
    parts.at(std::size_t(row)).Performer = performer.toStdString();
    if (parts[std::size_t(row)].Performer != state_.Parts[std::size_t(row)].Performer) {
        Change(std::move(parts), tr("Edit Performer"));
    }
}

void EditModel::ReplaceParts(std::vector<PartStart> parts, const QString& what) {
    if (parts.empty()) parts.push_back({});
    parts.front().Start = std::chrono::microseconds(0);
    Change(std::move(parts), what);
}

void EditModel::Change(std::vector<PartStart> parts, const QString& what) {
    // The step shows its list as it is pushed.
    State after = state_;
    after.Parts = std::move(parts);
    history_.push(new Step(*this, state_, std::move(after), what));
}

void EditModel::Show(State state) {
    state_ = std::move(state);
    emit PartsChanged();
}

}  // namespace quorvel::ui
