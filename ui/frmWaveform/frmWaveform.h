#pragma once

#include <QWidget>
#include <cstdint>
#include <memory>

#include "engine/SourceAnalysis.h"
#include "ui/frmWaveform/WaveDecoding.h"

class QLabel;
class QPushButton;
class QScrollBar;

namespace quorvel::ui {

class CutPlayer;
class WaveView;

// What the window shows, as the main window's analysis found it.
struct WaveSource {
    QString Path;
    FrameLevels Levels;
    bool Exact = false;       // File > Split Exactly at the Time Given
    std::int64_t TimeMs = 0;  // the boxes' time
};

// The main window's source as a waveform, at once from its frames' levels, then decoded
// on a thread of its own: the time, where the frame rule and the exact mode cut there,
// zoom down to single frames, the silences once found. A click or a nudge hands the time to
// the main window by a signal; either side of the cut can be heard as the split will write it.
class frmWaveform final : public QWidget {
    Q_OBJECT

  public:
    frmWaveform(QWidget* owner, WaveSource source);
    ~frmWaveform() override;

    const QString& Path() const { return source_.Path; }
    // The main window's time or split rule as the user changed it there.
    void SetTime(std::int64_t ms);
    void SetExact(bool exact);

  signals:
    // The time the user chose here, for the main window's boxes.
    void TimeChosen(qint64 ms);

  private:
    std::int64_t Ms(std::int64_t sample) const;
    std::int64_t Sample(std::int64_t ms) const;
    // The time the split takes for `ms` (RuledTime): whole seconds by the frame rule.
    std::int64_t SplitMs(std::int64_t ms) const;
    void View_ViewChanged();
    void View_TimeChosen(qint64 sample);
    void ShowPosition();
    // The time the split takes, in milliseconds, as the player is to plan it.
    qint64 CutMs() const;

    WaveSource source_;
    WaveView* view_;
    QScrollBar* hsbView;
    QLabel* lblPosition;
    QPushButton* cmdSnap;
    QPushButton* cmdPlayBefore;
    QPushButton* cmdPlayAfter;
    QPushButton* cmdPlayAcross;
    QPushButton* cmdClose;
    CutPlayer* player_;
    CutMarks cuts_;
    QString failure_;
    std::int64_t samplesFrom_ = 0, samplesEnd_ = 0;  // the single samples asked for
    // Last, so that its thread ends before the view it fills goes.
    std::unique_ptr<WaveDecoding> decoding_;
};

}  // namespace quorvel::ui
