#pragma once

#include <QColor>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "engine/SourceAnalysis.h"
#include "ui/frmEditor/EditModel.h"
#include "ui/frmEditor/WaveDecoding.h"

class QPainter;

namespace quorvel::ui {

// The markers' colours, read on a light and on a dark base alike.
inline const QColor kTimeColour{0xE0, 0x40, 0x40};
inline const QColor kSafeFrameColour{0x2E, 0xA0, 0x43};
inline const QColor kExactColour{0x34, 0x7D, 0xE0};
inline const QColor kSilenceColour{0xE0, 0xA0, 0x20};
inline const QColor kPartCutColour{0x9C, 0x4D, 0xCC};
inline const QColor kLevelColour{0x2E, 0x9E, 0x6B};

// The source's waveform, from the whole file down to single frames, under a ruler of its
// times: the cursor (the time), the selection, the list's cuts, the stretches the edits
// remove (veiled and hatched) and where the two split rules cut at the cursor. Each pixel column
// shows the peak of its samples: the decoded peaks where they are known, the frames' levels (the
// analysis's rough loudness) where not yet. Positions are the source's played samples.
class WaveView final : public QWidget {
    Q_OBJECT

  public:
    explicit WaveView(const FrameLevels& levels, QWidget* parent = nullptr);

    std::int64_t Samples() const { return samples_; }
    std::int32_t BlockSamples() const { return blockSamples_; }
    double First() const { return first_; }
    double SamplesPerPixel() const { return perPixel_; }
    // The samples on view, [first, end).
    std::int64_t VisibleEnd() const;
    std::int64_t Time() const { return time_; }
    const SampleSpan& Selection() const { return selection_; }
    const std::vector<std::int64_t>& PartCuts() const { return partCuts_; }
    int CurrentCut() const { return currentCut_; }
    const std::vector<SampleSpan>& Removed() const { return removed_; }

    void ScrollTo(double first);
    // Zooms by `factor` (above 1: in), keeping the sample at column `x` where it is.
    void Zoom(double factor, double x);
    // Zooms by `factor` about the time, or the middle where there is none.
    void ZoomAtTime(double factor);
    void SetTime(std::int64_t sample);
    void SetSelection(const SampleSpan& span);
    // Where the list's parts start after the first, and which of them is selected (-1: none).
    void SetPartCuts(std::vector<std::int64_t> cuts, int current);
    // The stretches the edits remove.
    void SetRemoved(std::vector<SampleSpan> removed);
    // The changes of level the edits make, each marked over its stretch.
    void SetLevelEdits(std::vector<LevelEdit> levels);
    const std::vector<LevelEdit>& LevelEdits() const { return levelEdits_; }
    // The span on view, `span` in the middle with a little room either side.
    void ShowSpan(const SampleSpan& span);
    void SetCuts(const CutMarks& marks);
    // Silences found after those it has.
    void AddSilences(const std::vector<Silence>& more);
    // Moves the time to the middle of the silence nearest it, or of the next one before
    // (-1) or after it (1); false where there is none.
    bool MoveToSilence(int direction);
    void AddBlocks(std::int64_t first, const std::vector<Peak>& peaks);
    void SetSamples(std::int64_t from, std::vector<Peak> samples);
    // Whether the blocks on view are all decoded.
    bool Decoded() const;

  signals:
    // The user clicked or nudged the time.
    void TimeChosen(qint64 sample);
    // The user dragged over the samples between `from` and `to`, or shift-clicked at `to`
    // from the time.
    void SelectionChosen(qint64 from, qint64 to);
    // The span on view changed.
    void ViewChanged();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    // The peak of the samples [from, end) as far as it is known, and whether it is decoded.
    Peak PeakAt(std::int64_t from, std::int64_t end, bool& decoded) const;
    double Column(std::int64_t sample) const { return (double(sample) - first_) / perPixel_; }
    std::int64_t SampleAt(double x) const;
    void Limit();
    // The ruler's height, above the waves.
    int RulerHeight() const;
    void PaintRuler(QPainter& painter) const;

    std::vector<std::uint8_t> levels_;
    std::uint8_t loudest_ = 0;
    std::int32_t blockSamples_;
    std::int32_t rate_;
    std::int64_t samples_;
    std::vector<Peak> peaks_;
    std::vector<bool> known_;
    // What a run of blocks holds, so that a column over many of them reads a few summaries:
    // the loudest level, how many are not decoded yet and the peak of those that are.
    static constexpr std::size_t kGroupBlocks = 64;
    struct Group {
        std::uint8_t Level = 0;
        std::size_t Unknown = kGroupBlocks;
        Peak Decoded;
    };
    std::vector<Group> groups_;
    std::int64_t detailFrom_ = 0;
    std::vector<Peak> detail_;
    double first_ = 0;
    double perPixel_ = 1;
    std::int64_t time_ = -1;
    std::int64_t safeFrame_ = -1;
    std::int64_t exact_ = -1;
    std::vector<Silence> silences_;
    SampleSpan selection_;
    std::vector<std::int64_t> partCuts_;
    int currentCut_ = -1;
    std::vector<SampleSpan> removed_;
    std::vector<LevelEdit> levelEdits_;
    int pressedX_ = -1;
    bool dragging_ = false;
};

}  // namespace quorvel::ui
