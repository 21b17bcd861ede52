#pragma once

#include <QString>

#include "engine/Message.h"

class QCoreApplication;

namespace quorvel::platform {

// Gives the program the user's language where it has a translation for it (Quorvel's own
// and Qt's, for the buttons of its boxes); English, the language of the sources, otherwise.
void InstallTranslations(QCoreApplication& application);

// The message in the language installed: its translation, or its English text where it
// has none, with its placeholders filled in the same language.
QString Translated(const Message& message);

}  // namespace quorvel::platform
