#pragma once

#include <QRect>
#include <initializer_list>

class QWidget;

namespace quorvel::ui {

// A control at its designed position, in twips relative to its parent.
struct Placement {
    QWidget* control;
    int left, top, width, height;
};

// Places controls by their designed positions in twips (1/1440 inch) at the screen's
// logical resolution. The designed font was narrower than any desktop's, so the layout
// grows until every caption fits: across by the captions' widths, down by their heights
// alone, so that a wide font does not make the window taller than a short screen.
class Twips {
  public:
    // Scales the layout so that each control's caption fits, then places the controls.
    static Twips Layout(const QWidget* window, std::initializer_list<Placement> placements);

    // A width or a left, and a height or a top, in pixels.
    int X(int twips) const { return static_cast<int>(twips * perTwipX_ + 0.5); }
    int Y(int twips) const { return static_cast<int>(twips * perTwipY_ + 0.5); }

  private:
    Twips(double perTwipX, double perTwipY) : perTwipX_(perTwipX), perTwipY_(perTwipY) {}
    void Fit(const Placement& place);

    double perTwipX_, perTwipY_;  // pixels a twip
};

}  // namespace quorvel::ui
