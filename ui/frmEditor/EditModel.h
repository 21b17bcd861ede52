#pragma once

#include <QObject>
#include <QString>
#include <QUndoStack>
#include <chrono>
#include <cstdint>
#include <vector>

#include "engine/Cut.h"
#include "engine/PartLists.h"

namespace quorvel::ui {

// A stretch of the source's played samples, [From, End).
struct SampleSpan {
    std::int64_t From = 0;
    std::int64_t End = 0;
    bool Empty() const { return End <= From; }
    bool operator==(const SampleSpan&) const = default;
};

// A change of the level of a stretch of the source's played samples: whole steps of 1.5 dB,
// or a fade in or out over it.
struct LevelEdit {
    SampleSpan Span;
    int Steps = 0;
    LevelChange::Shape Fade = LevelChange::Shape::Level;
    bool operator==(const LevelEdit&) const = default;
};

// What the editor edits: the list of parts (each cut with the title and performer of the
// part it starts), the stretches of audio the edits remove and those whose level they
// change, the cursor and the selection.
// Every change to the list or to what is removed is a step of its history, undone and
// redone there; nothing reaches the disk until the split or Save As. The list's times are
// microseconds, as PartStart has them; the removed stretches, the cursor and the selection
// are the source's played samples, as the waveform shows them.
class EditModel final : public QObject {
    Q_OBJECT

  public:
    // Why a cut was not added.
    enum class Refused { None, Outside, Taken };
    // What asking to remove audio did: removed it, or nothing, as all of it was removed
    // already, or as nothing would be left.
    enum class Removal { Removed, Nothing, Everything };

    EditModel(std::int32_t samplingRate, std::chrono::microseconds length,
              QObject* parent = nullptr);

    // The parts in order, the first from the source's start.
    const std::vector<PartStart>& Parts() const { return state_.Parts; }
    std::int64_t Cursor() const { return cursor_; }
    const SampleSpan& Selection() const { return selection_; }
    QUndoStack& History() { return history_; }

    // The cursor at `sample`, nothing selected.
    void SetCursor(std::int64_t sample);
    // The samples between the two ends selected, in either order; the cursor stays.
    void Select(std::int64_t from, std::int64_t to);

    // The stretches the edits remove, in order and apart.
    const std::vector<SampleSpan>& Removed() const { return state_.Removed; }
    // The same as a cut is asked for.
    std::vector<RemovedSpan> RemovedTimes() const;
    // How many of the source's `played` samples the edits keep.
    std::int64_t KeptSamples(std::int64_t played) const;
    // The level changes, in the order made.
    const std::vector<LevelEdit>& Levels() const { return state_.Levels; }
    // The same as a cut is asked for.
    std::vector<LevelChange> LevelTimes() const;
    // Whether any audio is removed or its level changed.
    bool AudioEdited() const { return !state_.Removed.empty() || !state_.Levels.empty(); }
    // Whether the audio edits differ from those last saved.
    bool Unsaved() const {
        return state_.Removed != saved_.Removed || state_.Levels != saved_.Levels;
    }
    void MarkSaved() { saved_ = state_; }

    std::int64_t Sample(std::chrono::microseconds time) const;
    std::chrono::microseconds Time(std::int64_t sample) const;

    // Each change below is one step of the history.
    // A cut at `at`, which starts a part without a title; the row of that part, or -1.
    int AddCut(std::chrono::microseconds at, Refused& refused);
    // Removes the cut that starts the part in `row` (not the first): the part before
    // takes over its time.
    void RemoveCut(int row);
    void SetTitle(int row, const QString& title);
    void SetPerformer(int row, const QString& performer);
    // A new list, as a cue sheet, the chapters or a rule give it; the first part begins
    // at the source's start wherever its own start lies.
    void ReplaceParts(std::vector<PartStart> parts, const QString& what);
    // Removes the selection of a source of `played` samples or, to keep only the selection,
    // what lies before and after it, as one step; the cursor goes to where the selection
    // started.
    Removal RemoveSelection(bool keepOnly, std::int64_t played);
    // Removes what lies before and after `kept`, as the step `what`.
    Removal KeepOnly(SampleSpan kept, std::int64_t played, const QString& what);
    // The selection `steps` of 1.5 dB louder (or quieter), or faded in or out, as one step;
    // a change of the same selection's level just before it takes these steps too. False,
    // and no step, where nothing is selected.
    bool ChangeLevel(int steps);
    bool Fade(LevelChange::Shape fade);

  signals:
    // The list or what is removed changed.
    void PartsChanged();
    // The cursor or the selection moved.
    void CursorChanged();

  private:
    class Step;
    struct State {
        std::vector<PartStart> Parts{PartStart{}};
        std::vector<SampleSpan> Removed;
        std::vector<LevelEdit> Levels;
    };
    // Adds `level` to the changes as the step `what`.
    void AddLevel(LevelEdit level, const QString& what);
    // Shows `state`, as a step of the history does.
    void Show(State state);
    void Change(std::vector<PartStart> parts, const QString& what);
    // Removes `spans` of the `played` samples besides what is removed already, as one step.
    Removal Remove(const std::vector<SampleSpan>& spans, std::int64_t played, const QString& what);

    std::int32_t rate_;
    std::chrono::microseconds length_;
    State state_;
    State saved_;
    std::int64_t cursor_ = 0;
    SampleSpan selection_;
    QUndoStack history_;
};

}  // namespace quorvel::ui
