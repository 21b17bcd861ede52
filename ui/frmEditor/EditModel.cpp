#include "ui/frmEditor/EditModel.h"

#include <QUndoCommand>
#include <algorithm>
#include <cmath>
#include <utility>

namespace quorvel::ui {

// One change to the list: the list before and after it, whole, so that any edit (a cut, a
// title, a list from elsewhere) is undone the same way.
class EditModel::Step final : public QUndoCommand {
  public:
    Step(EditModel& model, std::vector<PartStart> before, std::vector<PartStart> after,
         const QString& what)
        : QUndoCommand(what), model_(model), before_(std::move(before)), after_(std::move(after)) {}

    void undo() override { model_.Show(before_); }
    void redo() override { model_.Show(after_); }

  private:
    EditModel& model_;
    std::vector<PartStart> before_;
    std::vector<PartStart> after_;
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

std::vector<RemovedSpan> EditModel::Removed(bool keepOnly, std::int64_t played) const {
    const std::int64_t from = std::min(selection_.From, played);
    const std::int64_t end = std::min(selection_.End, played);
    std::vector<RemovedSpan> spans;
    const auto remove = [&](std::int64_t first, std::int64_t last) {
        if (first < last) spans.push_back({Time(first), Time(last)});
    };
    if (keepOnly) {
        remove(0, from);
        remove(end, played);
    } else {
        remove(from, end);
    }
    return spans;
}

int EditModel::AddCut(std::chrono::microseconds at, Refused& refused) {
    refused = Refused::None;
    if (at <= std::chrono::microseconds(0) || at >= length_) {
        refused = Refused::Outside;
        return -1;
    }
    std::vector<PartStart> parts = parts_;
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
    if (row <= 0 || row >= static_cast<int>(parts_.size())) return;
    std::vector<PartStart> parts = parts_;
    parts.erase(parts.begin() + row);
    Change(std::move(parts), tr("Remove Cut"));
}

void EditModel::SetTitle(int row, const QString& title) {
    std::vector<PartStart> parts = parts_;
    parts.at(std::size_t(row)).Title = title.toStdString();
    if (parts[std::size_t(row)].Title != parts_[std::size_t(row)].Title) {
        Change(std::move(parts), tr("Edit Title"));
    }
}

void EditModel::SetPerformer(int row, const QString& performer) {
    std::vector<PartStart> parts = parts_;
    parts.at(std::size_t(row)).Performer = performer.toStdString();
    if (parts[std::size_t(row)].Performer != parts_[std::size_t(row)].Performer) {
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
    history_.push(new Step(*this, parts_, std::move(parts), what));
}

void EditModel::Show(std::vector<PartStart> parts) {
    parts_ = std::move(parts);
    emit PartsChanged();
}

}  // namespace quorvel::ui
