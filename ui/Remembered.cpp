#include "ui/Remembered.h"

#include <QEvent>
#include <QWidget>

#include "ui/Windows.h"

namespace quorvel::ui {
namespace {

// Writes the window's size when it closes.
class SizeKeeper final : public QObject {
  public:
    SizeKeeper(QWidget* window, QString key) : QObject(window), key_(std::move(key)) {
        window->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close) {
            Remembered().setValue(key_, static_cast<QWidget*>(watched)->size());
        }
        return false;
    }

  private:
    QString key_;
};

}  // namespace

QSettings Remembered() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quorvel"),
                     QStringLiteral("Quorvel"));
}

bool RememberedFlag(const QSettings& remembered, const QString& key, bool otherwise) {
    // QVariant takes any text but "false" and "0" for true: a damaged value would turn a
    // setting on.
    const QString text = remembered.value(key).toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1")) return true;
    if (text == QLatin1String("false") || text == QLatin1String("0")) return false;
    return otherwise;
}

void RememberSize(QWidget* window, const QString& key) {
    const QSize size = Remembered().value(key).toSize();
    if (size.isValid()) window->resize(size.expandedTo(window->minimumSizeHint()));
    FitWithinScreen(window);
    new SizeKeeper(window, key);
}

}  // namespace quorvel::ui
