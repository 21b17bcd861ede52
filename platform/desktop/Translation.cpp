// The module's translations of the companion's messages, through Qt Core, from the
// program's own resources.

#include <QLocale>
#include <QString>
#include <QTranslator>

#include <memory>

#include "platform/desktop/Module.h"

namespace quorvel::desktop {

char* Translate(const char* context, const char* source, const char* disambiguation, int n) {
    static const auto translator = [] {
        auto loaded = std::make_unique<QTranslator>();
        if (!loaded->load(QLocale(), QStringLiteral("quorvel"), QStringLiteral("_"),
                          QStringLiteral(":/i18n"))) {
            loaded.reset();
        }
        return loaded;
    }();
    if (!translator) return nullptr;
    const QString text = translator->translate(context, source, disambiguation, n);
    return text.isEmpty() ? nullptr : Copy(text.toStdString());
}

}  // namespace quorvel::desktop
