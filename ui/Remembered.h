#pragma once

#include <QSettings>

class QWidget;

namespace quorvel::ui {

// What the windows remember between runs, in ~/.config/Quorvel/Quorvel.conf. A file that
// cannot be read leaves the defaults, and one that cannot be written keeps what it has.
QSettings Remembered();

// A yes-or-no setting: true or false, 1 or 0; anything else, or nothing, is `otherwise`.
bool RememberedFlag(const QSettings& remembered, const QString& key, bool otherwise);

// Gives the window the size it had when it last closed, within its screen, and keeps the
// size it has when it closes under `key`.
void RememberSize(QWidget* window, const QString& key);

}  // namespace quorvel::ui
