#include "platform/LogScroll.h"

#include <QPlainTextEdit>
#include <QScrollBar>

namespace quorvel::platform {

void ScrollLines(QPlainTextEdit* log, int lines) {
    // A plain text view scrolls by lines: one step of its scroll bar is one line.
    QScrollBar* bar = log->verticalScrollBar();
    bar->setValue(bar->value() + lines);
}

}  // namespace quorvel::platform
