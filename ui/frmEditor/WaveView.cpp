#include "ui/frmEditor/WaveView.h"

#include <QImage>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>

#include "engine/Numbers.h"

namespace quorvel::ui {

using namespace Qt::StringLiterals;
namespace {

// How far the mouse moves, pressed, before it selects instead of clicking.
constexpr int kDragDistance = 4;

// The ruler's steps between two labelled ticks, in milliseconds, and how many ticks each
// step is divided into: the first step that leaves room for a label between them is taken.
struct RulerStep {
    std::int64_t Ms;
    int Ticks;
};
constexpr RulerStep kRulerSteps[] = {
    {1, 5},       {2, 4},       {5, 5},        {10, 5},      {20, 4},     {50, 5},     {100, 5},
    {200, 4},     {500, 5},     {1000, 5},     {2000, 4},    {5000, 5},   {10000, 5},  {15000, 3},
    {30000, 3},   {60000, 4},   {120000, 4},   {300000, 5},  {600000, 5}, {900000, 3}, {1800000, 3},
    {3600000, 4}, {7200000, 4}, {18000000, 5}, {36000000, 5}};

}  // namespace

WaveView::WaveView(const FrameLevels& levels, QWidget* parent)
    : QWidget(parent),
      levels_(levels.Levels),
      blockSamples_(levels.SamplesPerFrame),
      rate_(levels.SamplingRate),
      samples_(std::int64_t(levels.Levels.size()) * levels.SamplesPerFrame) {
    if (!levels_.empty()) loudest_ = *std::max_element(levels_.begin(), levels_.end());
    groups_.resize((levels_.size() + kGroupBlocks - 1) / kGroupBlocks);
    for (std::size_t block = 0; block < levels_.size(); ++block) {
        Group& group = groups_[block / kGroupBlocks];
        group.Level = std::max(group.Level, levels_[block]);
    }
    // The last group counts only the blocks it has.
    if (const std::size_t rest = levels_.size() % kGroupBlocks) groups_.back().Unknown = rest;
    setFocusPolicy(Qt::StrongFocus);
    setMinimumHeight(120);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    perPixel_ = std::max<double>(1, double(samples_));
}

std::int64_t WaveView::VisibleEnd() const {
    return std::min<std::int64_t>(samples_, std::llround(std::ceil(first_ + width() * perPixel_)));
}

void WaveView::Limit() {
    // From the whole file in the view's width down to one frame across it.
    const double widest = std::max(1.0, double(samples_) / std::max(1, width()));
    const double narrowest = std::min(widest, double(blockSamples_) / std::max(1, width()));
    perPixel_ = std::clamp(perPixel_, narrowest, widest);
    first_ = std::clamp(first_, 0.0, std::max(0.0, double(samples_) - width() * perPixel_));
}

void WaveView::ScrollTo(double first) {
    first_ = first;
    Limit();
    update();
    emit ViewChanged();
}

void WaveView::Zoom(double factor, double x) {
    const double at = first_ + x * perPixel_;
    perPixel_ /= factor;
    first_ = at - x * perPixel_;
    Limit();
    update();
    emit ViewChanged();
}

std::int64_t WaveView::SampleAt(double x) const {
    return std::clamp<std::int64_t>(std::llround(first_ + x * perPixel_), 0,
                                    std::max<std::int64_t>(0, samples_ - 1));
}

int WaveView::RulerHeight() const {
    return fontMetrics().height() + 6;
}

void WaveView::SetSelection(const SampleSpan& span) {
    selection_ = span;
    update();
}

void WaveView::SetLevelEdits(std::vector<LevelEdit> levels) {
    levelEdits_ = std::move(levels);
    update();
}

void WaveView::SetRemoved(std::vector<SampleSpan> removed) {
    removed_ = std::move(removed);
    update();
}

void WaveView::SetPartCuts(std::vector<std::int64_t> cuts, int current) {
    partCuts_ = std::move(cuts);
    currentCut_ = current;
    update();
}

void WaveView::ShowSpan(const SampleSpan& span) {
    if (span.Empty()) return;
    // A twentieth of the span's length either side, so that its ends show.
    const double room = double(span.End - span.From) / 20;
    perPixel_ = (double(span.End - span.From) + 2 * room) / std::max(1, width());
    first_ = double(span.From) - room;
    Limit();
    update();
    emit ViewChanged();
}

void WaveView::SetTime(std::int64_t sample) {
    time_ = std::clamp<std::int64_t>(sample, 0, std::max<std::int64_t>(0, samples_ - 1));
    // The time stays on view.
    const double column = Column(time_);
    if (column < 0 || column >= width()) {
        ScrollTo(double(time_) - width() * perPixel_ / 2);
    } else {
        update();
    }
}

void WaveView::AddSilences(const std::vector<Silence>& more) {
    silences_.insert(silences_.end(), more.begin(), more.end());
    update();
}

bool WaveView::MoveToSilence(int direction) {
    std::int64_t best = -1;
    for (const Silence& silence : silences_) {
        const std::int64_t middle = (silence.Start + silence.End) / 2;
        const bool wanted = direction < 0 ? middle < time_ : direction > 0 ? middle > time_ : true;
        if (wanted && (best < 0 || std::abs(middle - time_) < std::abs(best - time_))) {
            best = middle;
        }
    }
    if (best < 0) return false;
    SetTime(best);
    emit TimeChosen(time_);
    return true;
}

void WaveView::SetCuts(const CutMarks& marks) {
    safeFrame_ = marks.SafeFrame.value_or(-1);
    exact_ = marks.Exact.value_or(-1);
    update();
}

void WaveView::AddBlocks(std::int64_t first, const std::vector<Peak>& peaks) {
    // Taken only once decoded peaks come, so that the overview appears without them.
    if (peaks_.empty()) {
        peaks_.resize(levels_.size());
        known_.resize(levels_.size());
    }
    for (std::size_t i = 0; i < peaks.size(); ++i) {
        const auto at = static_cast<std::size_t>(first) + i;
        if (at >= peaks_.size()) break;
        Group& group = groups_[at / kGroupBlocks];
        if (!known_[at]) --group.Unknown;
        peaks_[at] = peaks[i];
        known_[at] = true;
        group.Decoded.Min = std::min(group.Decoded.Min, peaks[i].Min);
        group.Decoded.Max = std::max(group.Decoded.Max, peaks[i].Max);
    }
    const std::int64_t end = first + std::int64_t(peaks.size());
    if (Column(end * blockSamples_) >= 0 && Column(first * blockSamples_) < width()) update();
}

void WaveView::SetSamples(std::int64_t from, std::vector<Peak> samples) {
    detailFrom_ = from;
    detail_ = std::move(samples);
    update();
}

bool WaveView::Decoded() const {
    const auto first = static_cast<std::size_t>(first_ / blockSamples_);
    const auto end = static_cast<std::size_t>((VisibleEnd() + blockSamples_ - 1) / blockSamples_);
    if (known_.empty()) return first >= std::min(end, levels_.size());
    return std::all_of(known_.begin() + std::min(first, known_.size()),
                       known_.begin() + std::min(end, known_.size()),
                       [](bool known) { return known; });
}

Peak WaveView::PeakAt(std::int64_t from, std::int64_t end, bool& decoded) const {
    // Less than a frame a column: the single samples, where they have come.
    const std::int64_t detailEnd = detailFrom_ + std::int64_t(detail_.size());
    if (perPixel_ < blockSamples_ && from >= detailFrom_ && end <= detailEnd) {
        Peak peak{0, 0};
        for (auto i = from; i < std::max(end, from + 1); ++i) {
            const Peak& sample = detail_[std::size_t(i - detailFrom_)];
            peak.Min = std::min(peak.Min, sample.Min);
            peak.Max = std::max(peak.Max, sample.Max);
        }
        decoded = true;
        return peak;
    }
    const auto first = static_cast<std::size_t>(from / blockSamples_);
    const auto last = std::clamp<std::size_t>(static_cast<std::size_t>((end - 1) / blockSamples_),
                                              first, levels_.size() - 1);
    Peak peak{0, 0};
    decoded = true;
    std::uint8_t level = 0;
    const auto add = [&](const Peak& known) {
        peak.Min = std::min(peak.Min, known.Min);
        peak.Max = std::max(peak.Max, known.Max);
    };
    for (std::size_t block = first; block <= last;) {
        // A whole group all decoded or none, as its summary has it; else block by block.
        const Group& group = groups_[block / kGroupBlocks];
        if (block % kGroupBlocks == 0 && block + kGroupBlocks - 1 <= last &&
            (group.Unknown == 0 || group.Unknown == kGroupBlocks)) {
            if (group.Unknown == 0) {
                add(group.Decoded);
            } else {
                decoded = false;
                level = std::max(level, group.Level);
            }
            block += kGroupBlocks;
            continue;
        }
        if (!known_.empty() && known_[block]) {
            add(peaks_[block]);
        } else {
            decoded = false;
            level = std::max(level, levels_[block]);
        }
        ++block;
    }
    if (!decoded && level > 0) {
        // 4 steps of the global gain are 6 dB; the loudest frame reaches near full scale.
        const double amplitude = 30000 * std::exp2((double(level) - loudest_) / 4);
        peak.Min = std::min<std::int16_t>(peak.Min, std::int16_t(-amplitude));
        peak.Max = std::max<std::int16_t>(peak.Max, std::int16_t(amplitude));
    }
    return peak;
}

void WaveView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colours = palette();
    const int top = RulerHeight();
    const int waves = std::max(1, height() - top);
    painter.fillRect(rect(), colours.base());
    PaintRuler(painter);
    const double middle = waves / 2.0;
    const double scale = (waves / 2.0 - 2) / 32768.0;
    const auto stretch = [&](std::int64_t start, std::int64_t end, const QBrush& colour) {
        const double from = std::max(Column(start), -1.0);
        const double to = std::min(Column(end), width() + 1.0);
        if (from < to) painter.fillRect(QRectF(from, top, to - from, waves), colour);
    };
    QColor silence = kSilenceColour;
    silence.setAlphaF(0.25);
    for (const Silence& quiet : silences_) stretch(quiet.Start, quiet.End, silence);
    if (!selection_.Empty()) {
        QColor selected = colours.color(QPalette::Highlight);
        selected.setAlphaF(0.3);
        stretch(selection_.From, std::max(selection_.End, selection_.From + 1), selected);
    }
    painter.setPen(colours.color(QPalette::Mid));
    painter.drawLine(QPointF(0, top + middle), QPointF(width(), top + middle));
    if (levels_.empty()) return;
    // The columns go into an image of their own, drawn at once: the raster engine hands
    // every tall line to its threads, and a line a column cost more than the decoding.
    const QColor decodedColour = colours.color(QPalette::Highlight);
    const QColor base = colours.color(QPalette::Base), text = colours.color(QPalette::Text);
    // The rough levels show as the text's colour a third of the way over the base.
    const QRgb rough =
        qRgb((2 * base.red() + text.red()) / 3, (2 * base.green() + text.green()) / 3,
             (2 * base.blue() + text.blue()) / 3);
    const qreal ratio = devicePixelRatioF();
    QImage columns(QSize(width(), waves) * ratio, QImage::Format_ARGB32_Premultiplied);
    columns.setDevicePixelRatio(ratio);
    columns.fill(Qt::transparent);
    const int deviceWidth = columns.width(), deviceHeight = columns.height();
    const double deviceScale = scale * ratio;
    // A column a device pixel, so that a finer screen shows finer detail.
    const double perColumn = perPixel_ / ratio;
    for (int x = 0; x < deviceWidth; ++x) {
        const std::int64_t from = std::llround(first_ + x * perColumn);
        const auto end =
            std::min<std::int64_t>(samples_, std::llround(first_ + (x + 1) * perColumn));
        if (from >= samples_) break;
        bool decoded = false;
        const Peak peak = PeakAt(from, std::max(end, from + 1), decoded);
        const QRgb colour = decoded ? decodedColour.rgb() : rough;
        // At least one row, where the column is silent.
        const int high =
            std::clamp(int(middle * ratio - peak.Max * deviceScale), 0, deviceHeight - 1);
        const int low =
            std::clamp(int(middle * ratio - peak.Min * deviceScale), high + 1, deviceHeight);
        for (int y = high; y < low; ++y) reinterpret_cast<QRgb*>(columns.scanLine(y))[x] = colour;
    }
    painter.drawImage(QPointF(0, top), columns);
    // What the edits remove stays in view, veiled by the base and crossed out.
    QColor veil = base;
    veil.setAlphaF(0.7);
    QColor hatch = text;
    hatch.setAlphaF(0.35);
    for (const SampleSpan& gone : removed_) {
        stretch(gone.From, gone.End, veil);
        stretch(gone.From, gone.End, QBrush(hatch, Qt::BDiagPattern));
    }
    // Each change of level as a band along the top of its stretch, saying what it does: a
    // ramp for a fade.
    const int band = fontMetrics().height();
    for (const LevelEdit& level : levelEdits_) {
        const double from = std::max(Column(level.Span.From), -1.0);
        const double to = std::min(Column(level.Span.End), width() + 1.0);
        if (from >= to) continue;
        QColor tint = kLevelColour;
        tint.setAlphaF(0.35);
        const QRectF strip(from, top, to - from, band);
        if (level.Fade == LevelChange::Shape::Level) {
            painter.fillRect(strip, tint);
        } else {
            const bool in = level.Fade == LevelChange::Shape::FadeIn;
            const QPointF ramp[] = {strip.bottomLeft(), in ? strip.topRight() : strip.topLeft(),
                                    strip.bottomRight()};
            QPainterPath path;
            path.addPolygon(QPolygonF(std::begin(ramp), std::end(ramp)));
            painter.fillPath(path, tint);
        }
        const QString said = level.Fade == LevelChange::Shape::FadeIn ? tr("fade in")
                             : level.Fade == LevelChange::Shape::FadeOut
                                 ? tr("fade out")
                                 : tr("%1 dB").arg((level.Steps > 0 ? u"+"_s : QString()) +
                                                   QLocale().toString(level.Steps * 1.5, 'f', 1));
        painter.setPen(colours.color(QPalette::Text));
        painter.drawText(strip.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter, said);
    }
    // Frame boundaries, once frames are wide enough to tell apart.
    if (blockSamples_ / perPixel_ >= 8) {
        QColor boundary = colours.color(QPalette::Text);
        boundary.setAlphaF(0.15);
        painter.setPen(boundary);
        for (auto block = std::int64_t(first_ / blockSamples_);
             block * blockSamples_ < VisibleEnd(); ++block) {
            const double x = Column(block * blockSamples_);
            painter.drawLine(QPointF(x, top), QPointF(x, height()));
        }
    }
    const auto mark = [&](std::int64_t sample, const QColor& colour, Qt::PenStyle style,
                          int width = 2) {
        if (sample < 0) return;
        QPen pen(colour, width, style);
        painter.setPen(pen);
        const double x = Column(sample);
        painter.drawLine(QPointF(x, top), QPointF(x, height()));
    };
    for (std::size_t cut = 0; cut < partCuts_.size(); ++cut) {
        mark(partCuts_[cut], kPartCutColour, Qt::SolidLine, int(cut) == currentCut_ ? 3 : 1);
    }
    mark(safeFrame_, kSafeFrameColour, Qt::DashLine);
    mark(exact_, kExactColour, Qt::DotLine);
    mark(time_, kTimeColour, Qt::SolidLine);
    if (hasFocus()) {
        painter.setPen(QPen(colours.color(QPalette::Highlight), 1));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void WaveView::PaintRuler(QPainter& painter) const {
    const QPalette& colours = palette();
    const int top = RulerHeight();
    painter.fillRect(QRect(0, 0, width(), top), colours.window());
    painter.setPen(colours.color(QPalette::Mid));
    painter.drawLine(QPointF(0, top - 0.5), QPointF(width(), top - 0.5));
    if (samples_ <= 0 || rate_ <= 0) return;
    const double rate = rate_;
    const QFontMetrics metrics = fontMetrics();
    const std::string separator = locale().decimalPoint().toStdString();
    const auto label = [&](std::int64_t ms) {
        return QString::fromStdString(FormatClockTime(ms, separator));
    };
    // Room for the widest label the view can show, and as much again.
    const double room =
        2.0 * metrics.horizontalAdvance(label(std::int64_t(double(samples_) * 1000 / rate) + 888));
    const double pixelsPerMs = rate / 1000 / perPixel_;
    const RulerStep* step = std::find_if(
        std::begin(kRulerSteps), std::end(kRulerSteps),
        [&](const RulerStep& candidate) { return candidate.Ms * pixelsPerMs >= room; });
    if (step == std::end(kRulerSteps)) step = std::end(kRulerSteps) - 1;
    const std::int64_t labelled = step->Ms;
    const std::int64_t minor = std::max<std::int64_t>(1, labelled / step->Ticks);
    const auto firstMs = std::int64_t(first_ * 1000 / rate);
    const double endMs = (first_ + width() * perPixel_) * 1000 / rate;
    painter.setPen(colours.color(QPalette::WindowText));
    for (std::int64_t ms = firstMs - firstMs % minor; ms <= endMs; ms += minor) {
        const double x = (double(ms) * rate / 1000 - first_) / perPixel_;
        const bool major = ms % labelled == 0;
        painter.drawLine(QPointF(x, top - (major ? top / 2.0 : top / 5.0)), QPointF(x, top));
        // A label that would run off the view's end is left out.
        if (major && x + 3 + metrics.horizontalAdvance(label(ms)) <= width()) {
            painter.drawText(QPointF(x + 3, metrics.ascent() + 1), label(ms));
        }
    }
    // The list's cuts, a mark each in the ruler too.
    for (std::size_t cut = 0; cut < partCuts_.size(); ++cut) {
        const double x = Column(partCuts_[cut]);
        const double half = top / 4.0;
        const QPointF corners[] = {
            {x - half, top - 2 * half}, {x + half, top - 2 * half}, {x, double(top)}};
        painter.setPen(Qt::NoPen);
        painter.setBrush(int(cut) == currentCut_ ? kPartCutColour : kPartCutColour.lighter(130));
        painter.drawPolygon(corners, 3);
    }
    painter.setBrush(Qt::NoBrush);
}

void WaveView::resizeEvent(QResizeEvent*) {
    Limit();
    emit ViewChanged();
}

void WaveView::wheelEvent(QWheelEvent* event) {
    // Shift or a sideways wheel scrolls, a step a tenth of the view; else the wheel zooms.
    const QPoint delta = event->angleDelta();
    const int sideways =
        delta.x() != 0 ? delta.x() : (event->modifiers() & Qt::ShiftModifier ? delta.y() : 0);
    if (sideways != 0) {
        ScrollTo(first_ - double(sideways) / 120 * width() * perPixel_ / 10);
        event->accept();
        return;
    }
    const int steps = delta.y() / 120;
    if (steps == 0) return;
    Zoom(std::pow(2.0, steps), event->position().x());
    event->accept();
}

void WaveView::ZoomAtTime(double factor) {
    Zoom(factor, time_ >= 0 ? Column(time_) : width() / 2.0);
}

void WaveView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            ZoomAtTime(2);
            break;
        case Qt::Key_Minus:
            ZoomAtTime(0.5);
            break;
        case Qt::Key_Left:
        case Qt::Key_Right:
            if (time_ < 0) return QWidget::keyPressEvent(event);
            if (event->modifiers() & Qt::ControlModifier) {
                MoveToSilence(event->key() == Qt::Key_Left ? -1 : 1);
                break;
            }
            SetTime(time_ + (event->key() == Qt::Key_Left ? -blockSamples_ : blockSamples_));
            emit TimeChosen(time_);
            break;
        default:
            return QWidget::keyPressEvent(event);
    }
    event->accept();
}

void WaveView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    pressedX_ = qRound(event->position().x());
    dragging_ = false;
}

void WaveView::mouseMoveEvent(QMouseEvent* event) {
    if (pressedX_ < 0) return;
    const int x = qRound(event->position().x());
    if (!dragging_ && std::abs(x - pressedX_) < kDragDistance) return;
    if (!dragging_) {
        // The drag starts at the time: the cursor goes where it was pressed.
        dragging_ = true;
        SetTime(SampleAt(pressedX_));
        emit TimeChosen(time_);
    }
    emit SelectionChosen(time_, SampleAt(x));
}

void WaveView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || pressedX_ < 0)
        return QWidget::mouseReleaseEvent(event);
    pressedX_ = -1;
    if (dragging_) return;
    const std::int64_t clicked = SampleAt(event->position().x());
    if ((event->modifiers() & Qt::ShiftModifier) && time_ >= 0) {
        emit SelectionChosen(time_, clicked);
        return;
    }
    SetTime(clicked);
    emit TimeChosen(time_);
}

}  // namespace quorvel::ui
