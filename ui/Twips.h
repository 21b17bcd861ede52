#pragma once

#include <QFontMetrics>
#include <QRect>
#include <QWidget>
#include <algorithm>

namespace quorvel::ui {

// Places controls by their designed positions in twips (1/1440 inch) at the screen's
// logical resolution. The designed font was narrower than any desktop's, so the whole
// layout may grow by one factor, keeping its proportions, until every caption fits.
class Twips {
  public:
    explicit Twips(const QWidget* window) : pixelsPerTwip_(window->logicalDpiX() / 1440.0) {}

    int Pixels(int twips) const { return static_cast<int>(twips * pixelsPerTwip_ + 0.5); }
    QRect Rect(int left, int top, int width, int height) const {
        return {Pixels(left), Pixels(top), Pixels(width), Pixels(height)};
    }
    void Place(QWidget* widget, int left, int top, int width, int height) const {
        widget->setGeometry(Rect(left, top, width, height));
    }

    // Grows the layout so that a caption, with the room its control keeps around the
    // text, fits the designed width and height.
    void Fit(const QFontMetrics& metrics, const QString& caption, QSize room, int twipsWidth,
             int twipsHeight) {
        const QSize text = metrics.size(Qt::TextShowMnemonic, caption) + room;
        pixelsPerTwip_ = std::max({pixelsPerTwip_, (text.width() + 1.0) / twipsWidth,
                                   (text.height() + 1.0) / twipsHeight});
    }

  private:
    double pixelsPerTwip_;
};

}  // namespace quorvel::ui
