#pragma once

class QPlainTextEdit;

namespace quorvel::platform {

// Scrolls the log's view down by whole lines from where it stands.
void ScrollLines(QPlainTextEdit* log, int lines);

}  // namespace quorvel::platform
