#include "ui/frmCopyFile/FocusCheck.h"

#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <utility>

namespace quorvel::ui {

FocusCheck::FocusCheck(QLineEdit* minute, Check minuteCheck, QLineEdit* second, Check secondCheck)
    : boxes_{{{minute, std::move(minuteCheck)}, {second, std::move(secondCheck)}}} {
    for (const Box& box : boxes_) box.edit->installEventFilter(this);
}

bool FocusCheck::IsUserFocusChange(Qt::FocusReason reason) {
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
           reason != Qt::MenuBarFocusReason;
}

bool FocusCheck::CommandMayAct(const QPushButton* command) {
    return !showing_ && RunPending() && command->window()->focusWidget() == command;
}

void FocusCheck::Refuse(QLineEdit* box, const std::function<void()>& show) {
    showing_ = true;
    show();
    showing_ = false;
    returning_ = true;
    box->setFocus(Qt::OtherFocusReason);
    box->selectAll();
    returning_ = false;
}

bool FocusCheck::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut && !returning_ &&
        IsUserFocusChange(static_cast<QFocusEvent*>(event)->reason())) {
        for (const Box& box : boxes_) {
            if (watched != box.edit) continue;
            pending_ = &box;
            QMetaObject::invokeMethod(this, &FocusCheck::RunPending, Qt::QueuedConnection);
        }
    }
    return QObject::eventFilter(watched, event);
}

bool FocusCheck::RunPending() {
    const Box* box = std::exchange(pending_, nullptr);
    return !box || box->check();
}

}  // namespace quorvel::ui
