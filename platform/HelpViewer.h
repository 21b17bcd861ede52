#pragma once

class QWidget;

namespace quorvel::platform {

// Opens the program's help document at its contents in a viewer of its own, which
// needs no browser and no network. The viewer closes with its owner.
void ShowHelp(QWidget* owner);

}  // namespace quorvel::platform
