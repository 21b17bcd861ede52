#include "ui/CutPlayer.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QByteArray>
#include <QLocale>
#include <QMediaDevices>
#include <QMetaObject>
#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/FrameHeader.h"
#include "engine/Split.h"
#include "engine/SplitPlan.h"
#include "engine/WatchedFiles.h"
#include "platform/LocalFileSystem.h"
#include "platform/Mpg123Decoder.h"
#include "platform/TagLibEditor.h"
#include "platform/Translations.h"

namespace quorvel::ui {

// What the decoding hands the window's thread: the samples to play, or why there are none.
struct CutPlayer::Sound {
    QByteArray Samples;  // 16-bit, the channels interleaved
    int Rate = 0;
    int Channels = 0;
    std::optional<Message> Problem;
};

namespace {

// How long the sound device is asked to hold ahead of what it plays.
constexpr qint64 kHeldMs = 500;

// The most samples a frame holds: no seam of a cut lies farther from the time it was
// asked for.
constexpr std::int64_t kFrameSamples = 1152;

// The most of a span played, held in memory at once: ten minutes.
constexpr qint64 kMostSpanMs = 10 * 60 * 1000;

// The sample frames of a decoded part from `from` on, `count` of them where it has them,
// after the ones before.
void Append(QByteArray& samples, DecodedAudio& audio, std::int64_t from, std::int64_t count) {
    const std::vector<std::int16_t> read = audio.Read(from, count);
    samples.append(reinterpret_cast<const char*>(read.data()),
                   static_cast<qsizetype>(read.size() * sizeof(std::int16_t)));
}

// Planning a cut to hear it has nothing to tell and no one to ask.
class Unheard final : public Reporter {
  public:
    explicit Unheard(const std::atomic<bool>& stopping) : stopping_(stopping) {}
    void Begin(const Message&) override {}
    void Log(const Message&) override {}
    bool Ask(const Message&, const std::vector<std::string>&) override { return false; }
    void Progress(std::int64_t, std::int64_t) override {}
    bool Stopped() const override { return stopping_; }

  private:
    const std::atomic<bool>& stopping_;
};

}  // namespace

CutPlayer::CutPlayer(QObject* parent) : QObject(parent) {}

CutPlayer::~CutPlayer() {
    Halt();
}

void CutPlayer::PlayBefore(const QString& source, qint64 milliseconds, bool exact) {
    Play(Side::Before, source, milliseconds, exact);
}

void CutPlayer::PlayAfter(const QString& source, qint64 milliseconds, bool exact) {
    Play(Side::After, source, milliseconds, exact);
}

void CutPlayer::PlayAcross(const QString& source, qint64 milliseconds, bool exact) {
    Play(Side::Across, source, milliseconds, exact);
}

void CutPlayer::PlaySpan(const QString& source, qint64 fromSample, qint64 endSample) {
    Play(Side::Span, source, fromSample, false, endSample);
}

void CutPlayer::PlayRemoved(Side side, const QString& source, std::vector<RemovedSpan> removed,
                            std::vector<LevelChange> levels, qint64 fromSample) {
    Play(side, source, fromSample, false, 0, std::move(removed), std::move(levels));
}

void CutPlayer::Stop() {
    if (!active_) return;
    Halt();
    active_ = false;
    emit Stopped();
}

void CutPlayer::Play(Side side, const QString& source, qint64 at, bool exact, qint64 end,
                     std::vector<RemovedSpan> removed, std::vector<LevelChange> levels) {
    Stop();
    active_ = true;
    const unsigned play = ++play_;
    const std::string path = source.toStdString();
    const std::string separator = QLocale::system().decimalPoint().toStdString();
    decoding_ = std::thread([=, this] {
        Sound sound;
        try {
            platform::LocalFileSystem local;
            WatchedFiles files(local, stopping_);
            platform::TagLibEditor tags;
            // What is heard need not match a decode from the start to the last step of
            // rounding: a seek spares decoding an hour of MPEG 2 to hear its last seconds.
            platform::Mpg123Decoder decoder(platform::Mpg123Decoder::Seeking::Near);
            const std::shared_ptr<SourceFile> file = files.OpenSource(path);
            if (const auto why = decoder.Unavailable()) {
                sound.Problem = Tr("CutPlayer",
                                   "The cut cannot be heard: the decoder could not be loaded (%1).")
                                    .Arg(*why);
            } else if (side == Side::Span) {
                // The source as it is, decoded from its start.
                const auto audio =
                    decoder.Open(files.OpenSource(path), AudioDecoder::Length::Stated);
                sound.Rate = audio->Rate();
                sound.Channels = audio->Channels();
                Append(sound.Samples, *audio, at,
                       std::clamp<qint64>(end - at, 0, kMostSpanMs * sound.Rate / 1000));
            } else if (!removed.empty()) {
                CutOutRequest request;
                request.Files.Sources = {path};
                request.Remove = std::move(removed);
                request.Levels = std::move(levels);
                Unheard quiet(stopping_);
                auto planned = PlanCutOut(request, *file, tags, decoder, files, quiet);
                if (auto* report = std::get_if<EditReport>(&planned)) {
                    if (report->Problem) sound.Problem = report->Problem->Text;
                } else {
                    const PlannedCutOut& cut = std::get<PlannedCutOut>(planned);
                    const auto audio = decoder.Open(
                        std::make_unique<PlannedFile>(cut.Leveled ? cut.Leveled : file, cut.Plan),
                        AudioDecoder::Length::Stated);
                    sound.Rate = audio->Rate();
                    sound.Channels = audio->Channels();
                    // Where the stretch went: the seam the cut made at it, on the frame
                    // boundary nearest its start; where none is, it reached the start or
                    // the end.
                    std::int64_t seam = at <= 0 ? 0 : audio->Length();
                    for (const CutSeam& made : cut.Seams) {
                        if (std::abs(made.SourceBefore - at) <= kFrameSamples) {
                            seam = made.OutputBefore;
                        }
                    }
                    const std::int64_t heard = kHeardMs * sound.Rate / 1000;
                    const std::int64_t first =
                        side == Side::After ? seam : std::max<std::int64_t>(0, seam - heard);
                    const std::int64_t last = side == Side::Before ? seam : seam + heard;
                    Append(sound.Samples, *audio, first, last - first);
                }
            } else if (PlannedParts parts = PlanSplitAt(*file, at, exact, tags, separator);
                       parts.Refusal) {
                sound.Problem = parts.Refusal;
            } else {
                // The first part is counted to find its end; the second is read from its start.
                if (side != Side::After) {
                    const auto first =
                        decoder.Open(std::make_unique<PlannedFile>(file, std::move(parts.First)),
                                     AudioDecoder::Length::Counted);
                    sound.Rate = first->Rate();
                    sound.Channels = first->Channels();
                    const std::int64_t heard = kHeardMs * sound.Rate / 1000;
                    Append(sound.Samples, *first,
                           std::max<std::int64_t>(0, first->Length() - heard), heard);
                }
                if (side != Side::Before) {
                    const auto second =
                        decoder.Open(std::make_unique<PlannedFile>(file, std::move(parts.Second)),
                                     AudioDecoder::Length::Stated);
                    if (sound.Rate != 0 &&
                        (second->Rate() != sound.Rate || second->Channels() != sound.Channels)) {
                        sound.Problem = Tr("CutPlayer",
                                           "The parts differ in their sample rate or channels: "
                                           "they cannot be heard as one.");
                    } else {
                        sound.Rate = second->Rate();
                        sound.Channels = second->Channels();
                        Append(sound.Samples, *second, 0, kHeardMs * sound.Rate / 1000);
                    }
                }
            }
        } catch (const FileError& error) {
            sound.Problem = error.Message();
        } catch (const WorkStopped&) {
            // Stopped or replaced: there is nothing to play or tell.
            return;
        }
        QMetaObject::invokeMethod(
            this, [this, play, sound] { Decoded(play, sound); }, Qt::QueuedConnection);
    });
}

void CutPlayer::Decoded(unsigned play, const Sound& sound) {
    // A play stopped or replaced meanwhile has been told of already.
    if (play != play_) return;
    decoding_.join();
    if (sound.Problem) return Fail(*sound.Problem);
    Begin(sound);
}

void CutPlayer::Begin(const Sound& sound) {
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        return Fail(Tr("CutPlayer", "No sound device was found: the cut cannot be heard."));
    }
    QAudioFormat format;
    format.setSampleRate(sound.Rate);
    format.setChannelCount(sound.Channels);
    format.setSampleFormat(QAudioFormat::Int16);
    sink_ = new QAudioSink(device, format, this);
    // The sink is idle once it has handed the device its last bytes, and stopping it then
    // drops what the device still holds: the sound is followed by silence for twice as
    // long as the device is asked to hold, so that only silence is dropped.
    const qsizetype held = format.bytesForDuration(kHeldMs * 1000);
    sink_->setBufferSize(held);
    auto* buffer = new QBuffer(sink_);
    buffer->setData(sound.Samples + QByteArray(format.bytesForDuration(2 * kHeldMs * 1000), 0));
    buffer->open(QIODevice::ReadOnly);
    sink_->start(buffer);
    // Told of its state only once it has started: a sink that fails at once ends here.
    if (sink_->error() != QAudio::NoError || sink_->state() == QAudio::StoppedState) {
        return Fail(Tr("CutPlayer", "The sound device %1 could not be opened.")
                        .Arg(device.description().toStdString()));
    }
    connect(sink_, &QAudioSink::stateChanged, this, &CutPlayer::SinkChanged);
    emit Started();
}

void CutPlayer::SinkChanged(QAudio::State state) {
    if (state == QAudio::IdleState) {
        // All was handed to the device: the play is over.
        Stop();
    } else if (state == QAudio::StoppedState && sink_->error() != QAudio::NoError) {
        Fail(Tr("CutPlayer", "The sound device failed while playing the cut."));
    }
}

void CutPlayer::Fail(const Message& message) {
    Halt();
    active_ = false;
    emit Failed(platform::Translated(message));
}

void CutPlayer::Halt() {
    ++play_;
    stopping_ = true;
    if (decoding_.joinable()) decoding_.join();
    stopping_ = false;
    if (sink_) {
        // The sink may be telling of its state right now: it goes once that call is done.
        sink_->disconnect(this);
        sink_->stop();
        sink_->deleteLater();
        sink_ = nullptr;
    }
}

}  // namespace quorvel::ui
