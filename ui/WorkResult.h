#pragma once

#include <QString>

#include "engine/Edit.h"

namespace quorvel::ui {

// How a run of work ended, as the line below a window's log tells it.
enum class Ended { Completed, Stopped, Failed, Refused };

// An edit's outcome as such an end.
Ended EndOf(EditOutcome outcome);

// The line's text: `completed` where it completed, otherwise why it changed nothing.
QString ResultText(Ended ended, const QString& completed, const QString& why);

// What a completed edit says: the file it wrote.
QString EditWritten(const EditReport& report);

}  // namespace quorvel::ui
