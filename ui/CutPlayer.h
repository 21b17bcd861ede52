#pragma once

#include <QObject>
#include <QString>
#include <QtMultimedia/QAudio>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "engine/Cut.h"
#include "engine/Message.h"

class QAudioSink;

namespace quorvel::ui {

// Plays either side of a split in two as its outputs will sound, before they are written:
// the parts are planned at the time given (PlanSplitAt) and their bytes decoded as a
// gapless player decodes the files. Planning and decoding run on a thread of their own;
// only the sound device is reached from the window's thread.
//
// A window with play buttons calls PlayBefore, PlayAfter or PlayAcross with the source's
// path, the time in milliseconds into its playing time and the split rule (exact: at the
// sample; otherwise by the frame rule, at the time as the split is given it), or PlaySpan
// for a stretch of the source as it is, and Stop; a
// key that plays and stops asks Active(). Each play ends in exactly one of Stopped (played
// out, stopped, or replaced by the next play) and Failed (with the text to show the user);
// Started comes once sound goes to the device.
class CutPlayer final : public QObject {
    Q_OBJECT

  public:
    // How much of each part is heard: the end of the first, the start of the second.
    static constexpr std::int64_t kHeardMs = 3000;

    explicit CutPlayer(QObject* parent = nullptr);
    // Stops the playing and waits for the decoding to end.
    ~CutPlayer() override;

    void PlayBefore(const QString& source, qint64 milliseconds, bool exact);
    void PlayAfter(const QString& source, qint64 milliseconds, bool exact);
    // The end of the first part followed at once by the start of the second.
    void PlayAcross(const QString& source, qint64 milliseconds, bool exact);
    // The source's own samples [from, end), as a gapless player decodes it.
    void PlaySpan(const QString& source, qint64 fromSample, qint64 endSample);
    // Where the source without `removed` (each span as a cut asks for it) goes from what lies
    // before the stretch removed from its sample `fromSample` on to what lies after it, as
    // the cut will write it: what plays before it, after it, or both (Side::Span is not one).
    enum class Side { Before, After, Across, Span };
    void PlayRemoved(Side side, const QString& source, std::vector<RemovedSpan> removed,
                     std::vector<LevelChange> levels, qint64 fromSample);
    void Stop();
    // From a play until its Stopped or Failed: decoding or playing.
    bool Active() const { return active_; }

  signals:
    void Started();
    void Stopped();
    void Failed(const QString& message);

  private:
    struct Sound;

    // `at`: the cut's milliseconds, or for a span (or a stretch of `removed`) its first
    // sample; `end` the span's end.
    void Play(Side side, const QString& source, qint64 at, bool exact, qint64 end = 0,
              std::vector<RemovedSpan> removed = {}, std::vector<LevelChange> levels = {});
    // On the window's thread, with what the decoding made of the play numbered `play`.
    void Decoded(unsigned play, const Sound& sound);
    // Plays the samples on the system's default sound device.
    void Begin(const Sound& sound);
    void SinkChanged(QAudio::State state);
    void Fail(const Message& message);
    // Ends the decoding and the playing, if any, without a word.
    void Halt();

    bool active_ = false;
    unsigned play_ = 0;  // the current play's number: what an earlier decoding sends is late
    std::atomic<bool> stopping_ = false;
    std::thread decoding_;
    QAudioSink* sink_ = nullptr;  // a child, holding the buffer it plays as its own child
};

}  // namespace quorvel::ui
