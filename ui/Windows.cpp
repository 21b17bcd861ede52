#include "ui/Windows.h"

#include <QAccessibleWidget>
#include <QDialog>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QWidget>
#include <algorithm>

#include "platform/HelpViewer.h"

namespace quorvel::ui {
namespace {

// Until the window manager frames a window its frame is unknown: a border on each side and
// a title bar as tall as the style's own stand for it.
QSize FrameRoom(const QWidget* window) {
    if (window->isVisible() && window->frameGeometry() != window->geometry()) {
        return window->frameGeometry().size() - window->geometry().size();
    }
    const int border = window->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
    return {2 * border,
            window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window) + border};
}

// The program's own plain windows, by the class that makes each one, as a window.
QAccessibleInterface* AsWindow(const QString& key, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget || !widget->isWindow() || key != QLatin1String(object->metaObject()->className()) ||
        !key.startsWith(QLatin1String("quorvel::ui::")) || qobject_cast<QDialog*>(widget) ||
        qobject_cast<QMainWindow*>(widget)) {
        return nullptr;
    }
    return new QAccessibleWidget(widget, QAccessible::Window);
}

QScreen* ScreenOf(const QWidget* window) {
    QScreen* screen = window->screen();
    return screen ? screen : QGuiApplication::primaryScreen();
}

}  // namespace

void FitWithinScreen(QWidget* window) {
    const QSize room = ScreenOf(window)->availableGeometry().size() - FrameRoom(window);
    const QSize size = window->size().boundedTo(room);
    if (size != window->size()) window->resize(size);
}

void CentreOver(QWidget* window, const QWidget* over) {
    const QRect available = ScreenOf(over)->availableGeometry();
    const QSize room = FrameRoom(window);
    QRect frame(QPoint(), window->size() + room);
    frame.moveCenter(over->frameGeometry().center());
    // Where the window is larger than the area, its title bar stays within it.
    frame.moveLeft(
        std::max(available.left(), std::min(frame.left(), available.right() - frame.width() + 1)));
    frame.moveTop(
        std::max(available.top(), std::min(frame.top(), available.bottom() - frame.height() + 1)));
    window->move(frame.topLeft());
}

void WindowKeys(QWidget* window, bool escapeCloses) {
    auto* help = new QShortcut(QKeySequence::HelpContents, window);
    QObject::connect(help, &QShortcut::activated, window, [window] { platform::ShowHelp(window); });
    if (!escapeCloses) return;
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    QObject::connect(escape, &QShortcut::activated, window, &QWidget::close);
}

void PresentWindowsAsWindows() {
    static const bool installed = [] {
        QAccessible::installFactory(AsWindow);
        return true;
    }();
    static_cast<void>(installed);
}

}  // namespace quorvel::ui
