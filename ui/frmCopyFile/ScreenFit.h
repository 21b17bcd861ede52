#pragma once

#include <QMetaObject>
#include <QObject>
#include <QRect>

class QMainWindow;
class QPlainTextEdit;
class QScreen;

namespace quorvel::ui {

// Keeps the main window, designed at a fixed size, within its screen's available area.
// Where that area is too short, the message log gives way, down to two lines, and the
// frame holding it and the window with it; where it is tall enough, the window keeps
// its designed size. The window is placed within the area when it is shown at a place
// of its own and when the area changes; the window manager places it otherwise.
class ScreenFit : public QObject {
  public:
    // The log stands in a frame on the window's central widget, at its designed height.
    ScreenFit(QMainWindow* window, QPlainTextEdit* log);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Gives the log the height the screen has room for and, if `place`, moves the window
    // within the screen's available area.
    void Fit(bool place);
    void Watch(QScreen* screen);
    void ScreenChanged(QScreen* screen);
    // The window with its frame, in the screen's coordinates.
    QRect Frame() const;

    QMainWindow* window_;
    QPlainTextEdit* log_;
    int designed_;   // the log's designed height
    int frame_ = 0;  // the height the frame added in the last fit
    QMetaObject::Connection screenWatch_;
};

}  // namespace quorvel::ui
