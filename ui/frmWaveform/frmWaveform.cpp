#include "ui/frmWaveform/frmWaveform.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <cmath>

#include "engine/Numbers.h"
#include "engine/SplitTime.h"
#include "platform/Dialogs.h"
#include "platform/Translations.h"
#include "ui/AppIcon.h"
#include "ui/CutPlayer.h"
#include "ui/frmWaveform/WaveView.h"

namespace quorvel::ui {

frmWaveform::frmWaveform(QWidget* owner, WaveSource source)
    : QWidget(owner, Qt::Window), source_(std::move(source)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmWaveform"));
    setWindowTitle(tr("Waveform of %1").arg(QFileInfo(source_.Path).fileName()));
    setWindowIcon(AppIcon());

    view_ = new WaveView(source_.Levels, this);
    view_->setObjectName(QStringLiteral("picWave"));
    view_->setAccessibleName(tr("Waveform"));
    view_->setAccessibleDescription(tr("The source's waveform, the time and the cuts"));
    hsbView = new QScrollBar(Qt::Horizontal, this);
    hsbView->setObjectName(QStringLiteral("hsbView"));
    // Each marker's name after a block of its colour.
    const auto legend = [](const QColor& colour, const QString& name) {
        return QStringLiteral("<span style=\"color:%1\">&#9608;</span>&nbsp;%2")
            .arg(colour.name(), name.toHtmlEscaped());
    };
    const QString gap = QStringLiteral("&nbsp;&nbsp;&nbsp;");
    auto* lblLegend = new QLabel(legend(kTimeColour, tr("the time")) + gap +
                                     legend(kSafeFrameColour, tr("the frame rule's cut")) + gap +
                                     legend(kExactColour, tr("the exact cut")) + gap +
                                     legend(kSilenceColour, tr("silence")),
                                 this);
    lblLegend->setObjectName(QStringLiteral("lblLegend"));
    lblPosition = new QLabel(this);
    lblPosition->setObjectName(QStringLiteral("lblPosition"));
    lblPosition->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblPosition->setWordWrap(true);
    auto* lblHint = new QLabel(tr("Click to set the time; Left and Right move it by a frame, "
                                  "Ctrl+Left and Ctrl+Right to the silence before or after. "
                                  "The wheel or + and - zoom; drag or scroll to move. Space "
                                  "plays across the cut and stops."),
                               this);
    lblHint->setObjectName(QStringLiteral("lblHint"));
    lblHint->setWordWrap(true);
    cmdSnap = new QPushButton(tr("&Snap to Silence"), this);
    cmdSnap->setObjectName(QStringLiteral("cmdSnap"));
    cmdSnap->setEnabled(false);
    connect(cmdSnap, &QPushButton::clicked, this, [this] { view_->MoveToSilence(0); });
    player_ = new CutPlayer(this);
    const auto play = [this](void (CutPlayer::*side)(const QString&, qint64, bool)) {
        return [this, side] { (player_->*side)(source_.Path, CutMs(), source_.Exact); };
    };
    cmdPlayBefore = new QPushButton(tr("Play &Before the Cut"), this);
    cmdPlayBefore->setObjectName(QStringLiteral("cmdPlayBefore"));
    connect(cmdPlayBefore, &QPushButton::clicked, this, play(&CutPlayer::PlayBefore));
    cmdPlayAfter = new QPushButton(tr("Play &After the Cut"), this);
    cmdPlayAfter->setObjectName(QStringLiteral("cmdPlayAfter"));
    connect(cmdPlayAfter, &QPushButton::clicked, this, play(&CutPlayer::PlayAfter));
    cmdPlayAcross = new QPushButton(tr("Play Acr&oss the Cut"), this);
    cmdPlayAcross->setObjectName(QStringLiteral("cmdPlayAcross"));
    connect(cmdPlayAcross, &QPushButton::clicked, this, play(&CutPlayer::PlayAcross));
    auto* space = new QShortcut(Qt::Key_Space, this);
    connect(space, &QShortcut::activated, this, [this, across = play(&CutPlayer::PlayAcross)] {
        if (player_->Active()) {
            player_->Stop();
        } else {
            across();
        }
    });
    connect(player_, &CutPlayer::Failed, this, [this](const QString& message) {
        platform::Dialogs::Current().Message(this, message, windowTitle());
    });
    cmdClose = new QPushButton(tr("&Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_, 1);
    layout->addWidget(hsbView);
    layout->addWidget(lblLegend);
    layout->addWidget(lblPosition);
    layout->addWidget(lblHint);
    // The row for the commands that act at the time.
    auto* buttons = new QHBoxLayout;
    buttons->setObjectName(QStringLiteral("buttonRow"));
    buttons->addWidget(cmdSnap);
    buttons->addWidget(cmdPlayBefore);
    buttons->addWidget(cmdPlayAfter);
    buttons->addWidget(cmdPlayAcross);
    buttons->addStretch(1);
    buttons->addWidget(cmdClose);
    layout->addLayout(buttons);
    resize(view_->fontMetrics().averageCharWidth() * 110, view_->fontMetrics().height() * 22);

    connect(view_, &WaveView::ViewChanged, this, &frmWaveform::View_ViewChanged);
    connect(view_, &WaveView::TimeChosen, this, &frmWaveform::View_TimeChosen);
    connect(hsbView, &QScrollBar::valueChanged, this,
            [this](int block) { view_->ScrollTo(double(block) * view_->BlockSamples()); });

    WaveDecoding::Results results;
    results.Blocks = [this](std::int64_t first, const std::vector<Peak>& peaks) {
        view_->AddBlocks(first, peaks);
    };
    results.Samples = [this](std::int64_t from, const std::vector<Peak>& samples) {
        view_->SetSamples(from, samples);
    };
    results.Cuts = [this](const CutMarks& marks) {
        if (marks.Ms != SplitMs(Ms(view_->Time()))) return;  // the time has moved on since
        cuts_ = marks;
        view_->SetCuts(marks);
        ShowPosition();
    };
    results.Silences = [this](const std::vector<Silence>& more) {
        view_->AddSilences(more);
        cmdSnap->setEnabled(true);
    };
    results.Failed = [this](const Message& why) {
        failure_ = platform::Translated(why);
        ShowPosition();
    };
    decoding_ = std::make_unique<WaveDecoding>(this, std::move(results), source_.Path,
                                               source_.Levels.SamplesPerFrame,
                                               std::int64_t(source_.Levels.Levels.size()));
    SetTime(source_.TimeMs);
}

frmWaveform::~frmWaveform() = default;

std::int64_t frmWaveform::Ms(std::int64_t sample) const {
    return std::llround(double(sample) * 1000 / source_.Levels.SamplingRate);
}

std::int64_t frmWaveform::Sample(std::int64_t ms) const {
    return std::llround(double(ms) * source_.Levels.SamplingRate / 1000);
}

std::int64_t frmWaveform::SplitMs(std::int64_t ms) const {
    return RuledTime(ms, source_.Exact);
}

qint64 frmWaveform::CutMs() const {
    return SplitMs(Ms(view_->Time()));
}

void frmWaveform::SetTime(std::int64_t ms) {
    view_->SetTime(Sample(ms));
    cuts_ = {};
    view_->SetCuts(cuts_);
    decoding_->WantCuts(SplitMs(ms));
    ShowPosition();
}

void frmWaveform::SetExact(bool exact) {
    source_.Exact = exact;
    SetTime(Ms(view_->Time()));
}

void frmWaveform::View_TimeChosen(qint64 sample) {
    const std::int64_t ms = Ms(sample);
    emit TimeChosen(ms);
    cuts_ = {};
    view_->SetCuts(cuts_);
    decoding_->WantCuts(SplitMs(ms));
    ShowPosition();
}

void frmWaveform::View_ViewChanged() {
    const std::int32_t block = view_->BlockSamples();
    const auto first = static_cast<std::int64_t>(view_->First()) / block;
    const std::int64_t end = (view_->VisibleEnd() + block - 1) / block;
    {
        const QSignalBlocker quiet(hsbView);
        hsbView->setRange(0,
                          int(std::max<std::int64_t>(0, view_->Samples() / block - (end - first))));
        hsbView->setPageStep(int(std::max<std::int64_t>(1, end - first)));
        hsbView->setValue(int(first));
    }
    decoding_->WantBlocks(first, end);
    // Less than a frame a column: the single samples around the view, three views wide.
    if (view_->SamplesPerPixel() < block) {
        const auto from = static_cast<std::int64_t>(view_->First());
        const std::int64_t span = view_->VisibleEnd() - from;
        if (from < samplesFrom_ || view_->VisibleEnd() > samplesEnd_) {
            samplesFrom_ = std::max<std::int64_t>(0, from - span);
            samplesEnd_ = std::min(view_->Samples(), from + 2 * span);
            decoding_->WantSamples(samplesFrom_, samplesEnd_ - samplesFrom_);
        }
    }
}

void frmWaveform::ShowPosition() {
    const std::string separator = QLocale::system().decimalPoint().toStdString();
    const auto time = [&](std::int64_t ms) {
        return QString::fromStdString(FormatExactTime(ms, separator));
    };
    const std::int64_t ms = Ms(view_->Time());
    QString text = SplitMs(ms) == ms ? tr("Time %1.").arg(time(ms))
                                     : tr("Time %1, split at %2.").arg(time(ms), time(SplitMs(ms)));
    if (cuts_.SafeFrame) {
        text += "   " + tr("The frame rule cuts at %1.").arg(time(Ms(*cuts_.SafeFrame)));
    }
    if (cuts_.Exact) text += "   " + tr("The exact mode cuts at %1.").arg(time(Ms(*cuts_.Exact)));
    if (!failure_.isEmpty()) text += "   " + failure_;
    lblPosition->setText(text);
}

}  // namespace quorvel::ui
