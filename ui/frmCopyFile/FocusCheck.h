#pragma once

#include <QObject>
#include <array>
#include <functional>

class QLineEdit;
class QPushButton;

namespace quorvel::ui {

// The check of the two time boxes as the user leaves them.
//
// - A box's check runs when the user moves the focus out of it, by key or by click; the
//   focus coming and going with the window's activation, the menu bar or a popup is no
//   leaving. The check is queued, so that it runs once the focus has settled elsewhere.
// - A refusal shows its message, then gives the focus back to the box, its text selected.
//   The focus that the box takes back runs no check of the box it leaves: two boxes
//   holding bad values never pass the focus to and fro.
// - A pressed command acts only when no refusal is showing, the pending check (run at
//   once) accepts, and the focus reached the pressed command: a press that arrives after
//   a box refused and took the focus back does nothing.
class FocusCheck final : public QObject {
  public:
    // Runs a box's check: false when the box refused its text, which it does through
    // Refuse.
    using Check = std::function<bool()>;

    FocusCheck(QLineEdit* minute, Check minuteCheck, QLineEdit* second, Check secondCheck);

    // Whether a focus change is the user's own, not one of the activation, a menu or a
    // popup.
    static bool IsUserFocusChange(Qt::FocusReason reason);

    // Whether the pressed command may act.
    bool CommandMayAct(const QPushButton* command);
    // Shows a box's refusal through `show` and gives the box the focus back.
    void Refuse(QLineEdit* box, const std::function<void()>& show);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Box {
        QLineEdit* edit;
        Check check;
    };

    // Runs the check of the box last left, if it has not run yet.
    bool RunPending();

    std::array<Box, 2> boxes_;
    const Box* pending_ = nullptr;
    bool showing_ = false;
    bool returning_ = false;
};

}  // namespace quorvel::ui
