#include "ui/Twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>

namespace quorvel::ui {
namespace {

// Room a control keeps around its text: frame, padding and focus rectangle.
const QSize kButtonRoom(14, 6);
const QSize kLabelRoom(2, 0);
const QSize kFrameRoom(24, 0);

}  // namespace

Twips Twips::Layout(const QWidget* window, std::initializer_list<Placement> placements) {
    Twips twips(window->logicalDpiX() / 1440.0, window->logicalDpiY() / 1440.0);
    for (const Placement& place : placements) twips.Fit(place);
    // A word-wrapped label takes as many lines as the width it has then needs.
    for (const Placement& place : placements) {
        const auto* label = qobject_cast<const QLabel*>(place.control);
        if (!label || !label->wordWrap()) continue;
        const int height = label->heightForWidth(twips.X(place.width));
        twips.perTwipY_ = std::max(twips.perTwipY_, (height + 1.0) / place.height);
    }
    for (const Placement& place : placements) {
        place.control->setGeometry(twips.X(place.left), twips.Y(place.top), twips.X(place.width),
                                   twips.Y(place.height));
    }
    return twips;
}

// Grows the layout so that the control's caption, with the room the control keeps
// around it, fits the designed width and height, each on its own. Boxes must at least fit a line of
// text; word-wrapped labels and lists have no caption to fit.
void Twips::Fit(const Placement& place) {
    QString caption;
    QSize room;
    if (const auto* label = qobject_cast<const QLabel*>(place.control)) {
        if (label->wordWrap() || label->text().isEmpty()) return;
        caption = label->text();
        room = kLabelRoom;
    } else if (const auto* button = qobject_cast<const QPushButton*>(place.control)) {
        caption = button->text();
        room = kButtonRoom;
    } else if (const auto* check = qobject_cast<const QCheckBox*>(place.control)) {
        // The box and its gap before the caption.
        caption = check->text();
        room = QSize(check->sizeHint().width() -
                         check->fontMetrics().size(Qt::TextShowMnemonic, caption).width(),
                     0);
    } else if (const auto* frame = qobject_cast<const QGroupBox*>(place.control)) {
        caption = frame->title();
        room = kFrameRoom;
    } else if (const auto* log = qobject_cast<const QPlainTextEdit*>(place.control)) {
        // The log shows the run's summary between rules of 42 "=": a rule fits one line.
        caption = QString(42, QLatin1Char('='));
        room = QSize(log->verticalScrollBar()->sizeHint().width() + 2 * log->frameWidth() +
                         2 * static_cast<int>(log->document()->documentMargin()) + 2,
                     0);
    } else if (qobject_cast<const QLineEdit*>(place.control) ||
               qobject_cast<const QComboBox*>(place.control)) {
        caption = QStringLiteral("0");
        room = kButtonRoom;
    } else {
        return;
    }
    const QSize text = place.control->fontMetrics().size(Qt::TextShowMnemonic, caption) + room;
    perTwipX_ = std::max(perTwipX_, (text.width() + 1.0) / place.width);
    perTwipY_ = std::max(perTwipY_, (text.height() + 1.0) / place.height);
}

}  // namespace quorvel::ui
