#pragma once

#include <QIcon>

namespace quorvel::ui {

// The program's icon in every size the package installs, so that it stays crisp at any
// scale: the window manager and the about box pick the size they need.
QIcon AppIcon();

}  // namespace quorvel::ui
