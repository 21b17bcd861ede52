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
// logical resolution. The designed font was narrower than any desktop's, so the whole
// layout grows by one factor, keeping its proportions, until every caption fits.
class Twips {
  public:
    // Scales the layout so that each control's caption fits, then places the controls.
    static Twips Layout(const QWidget* window, std::initializer_list<Placement> placements);

    int Pixels(int twips) const { return static_cast<int>(twips * pixelsPerTwip_ + 0.5); }

  private:
    explicit Twips(double pixelsPerTwip) : pixelsPerTwip_(pixelsPerTwip) {}
    void Fit(const Placement& place);

    double pixelsPerTwip_;
};

}  // namespace quorvel::ui
