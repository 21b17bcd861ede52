#include "platform/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <string>

namespace quorvel::platform {
namespace {

// Quorvel's own translation, where one is installed; looked up directly, so that a text it
// lacks falls back to the English singular or plural as the count asks.
QTranslator* own = nullptr;

}  // namespace

void InstallTranslations(QCoreApplication& application) {
    const QLocale locale;
    auto* qt = new QTranslator(&application);
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qt);
    }
    auto* quorvel = new QTranslator(&application);
    if (quorvel->load(locale, QStringLiteral("quorvel"), QStringLiteral("_"),
                      QStringLiteral(":/i18n"))) {
        QCoreApplication::installTranslator(quorvel);
        own = quorvel;
    }
}

QString Translated(const Message& message) {
    return QString::fromStdString(Render(message, [](const Message& marked) {
        if (!own) return std::string();
        return own
            ->translate(marked.Context(), marked.Source().c_str(), marked.Singular(),
                        marked.Count() ? int(*marked.Count()) : -1)
            .toStdString();
    }));
}

}  // namespace quorvel::platform
