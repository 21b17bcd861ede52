#pragma once

class QWidget;

// What every window of the program shares: its place within the screen, its keys and
// what it presents itself as to a screen reader.
namespace quorvel::ui {

// Shrinks a top-level window, where it is larger, to the available area of the screen it
// opens on, its frame included; its layout decides how far it can give way.
void FitWithinScreen(QWidget* window);

// Places a top-level window over the centre of `over`, within the available area of
// `over`'s screen, so that it opens where the user looks.
void CentreOver(QWidget* window, const QWidget* over);

// F1 opens the help in the window, as in the main window; `escapeCloses`: Esc closes it,
// as it closes a dialog.
void WindowKeys(QWidget* window, bool escapeCloses);

// A window of the program's that is neither a main window nor a dialog presents itself to
// screen readers as a window, not as a plain container.
void PresentWindowsAsWindows();

}  // namespace quorvel::ui
