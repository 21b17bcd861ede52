#include "ui/frmCopyFile/ScreenFit.h"

#include <QEvent>
#include <QLayout>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStyle>
#include <QWindow>
#include <algorithm>

namespace quorvel::ui {
namespace {

// Two lines of the log stay in view, however short the screen.
int MinimumLogHeight(const QPlainTextEdit* log) {
    return 2 * log->fontMetrics().lineSpacing() + 2 * log->frameWidth() +
           2 * static_cast<int>(log->document()->documentMargin());
}

}  // namespace

ScreenFit::ScreenFit(QMainWindow* window, QPlainTextEdit* log)
    : QObject(window), window_(window), log_(log), designed_(log->height()) {
    window->installEventFilter(this);
}

bool ScreenFit::eventFilter(QObject* watched, QEvent* event) {
    QWindow* handle = window_->windowHandle();
    if (watched == window_ && event->type() == QEvent::Show) {
        // The screen may change once the window is shown, and the window with it.
        connect(handle, &QWindow::screenChanged, this, &ScreenFit::ScreenChanged,
                Qt::UniqueConnection);
        handle->installEventFilter(this);
        Watch(window_->screen());
        // A window the window manager places is left to it.
        Fit(window_->testAttribute(Qt::WA_Moved));
    } else if (watched == handle && event->type() == QEvent::Expose && handle->isExposed() &&
               Frame().height() - window_->height() > frame_) {
        // Framed taller than assumed, the window gives way further; it keeps its place, as
        // the window manager may be placing it still. A frame lower than assumed leaves
        // the room spare rather than resize the window under the window manager again.
        Fit(false);
    }
    return false;
}

void ScreenFit::Fit(bool place) {
    const QRect available = window_->screen()->availableGeometry();
    frame_ = Frame().height() - window_->height();
    const int rest = window_->height() - log_->height();
    const int height = std::clamp(available.height() - frame_ - rest,
                                  std::min(MinimumLogHeight(log_), designed_), designed_);
    if (const int growth = height - log_->height(); growth != 0) {
        QWidget* box = log_->parentWidget();
        QWidget* client = window_->centralWidget();
        const QSize size(window_->width(), window_->height() + growth);
        log_->resize(log_->width(), height);
        box->resize(box->width(), box->height() + growth);
        client->setFixedHeight(client->height() + growth);
        // The window's least size follows its central widget's before the window shrinks.
        window_->layout()->activate();
        window_->resize(size);
    }
    if (!place) return;
    // Where the window is larger than the area, its top left corner stays within it, and
    // the title bar with it.
    const QRect frame = Frame();
    const QPoint shift(
        std::max(available.left() - frame.left(), std::min(0, available.right() - frame.right())),
        std::max(available.top() - frame.top(), std::min(0, available.bottom() - frame.bottom())));
    if (!shift.isNull()) window_->move(window_->pos() + shift);
}

void ScreenFit::Watch(QScreen* screen) {
    disconnect(screenWatch_);
    if (!screen) return;
    screenWatch_ = connect(screen, &QScreen::availableGeometryChanged, this, [this] { Fit(true); });
}

// Moved to another screen, the window is where the user or the window manager put it.
void ScreenFit::ScreenChanged(QScreen* screen) {
    Watch(screen);
    if (screen) Fit(false);
}

QRect ScreenFit::Frame() const {
    // Until the window manager has framed the window, the window's place is its client
    // area's and its frame unknown (or, while it frames it, a passing wrong one): a title
    // bar as tall as the style's own stands for it.
    QRect frame = window_->frameGeometry();
    if (frame == window_->geometry() || !frame.contains(window_->geometry())) {
        frame = window_->geometry();
        frame.setTop(frame.top() -
                     window_->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window_));
    }
    return frame;
}

}  // namespace quorvel::ui
