#include "ui/WorkResult.h"

#include <QCoreApplication>

namespace quorvel::ui {

Ended EndOf(EditOutcome outcome) {
    switch (outcome) {
        case EditOutcome::Completed:
            return Ended::Completed;
        case EditOutcome::Stopped:
            return Ended::Stopped;
        case EditOutcome::Failed:
        case EditOutcome::Unreadable:
            return Ended::Failed;
        case EditOutcome::Refused:
        case EditOutcome::Declined:
            break;
    }
    return Ended::Refused;
}

QString ResultText(Ended ended, const QString& completed, const QString& why) {
    switch (ended) {
        case Ended::Completed:
            return completed;
        case Ended::Stopped:
            return QCoreApplication::translate("WorkResult", "Stopped: nothing was changed.");
        case Ended::Failed:
            return QCoreApplication::translate("WorkResult", "Failed: %1").arg(why);
        case Ended::Refused:
            break;
    }
    return QCoreApplication::translate("WorkResult", "Refused: %1").arg(why);
}

QString EditWritten(const EditReport& report) {
    return QCoreApplication::translate("WorkResult", "Completed: %1 written.")
        .arg(QString::fromStdString(report.Path));
}

}  // namespace quorvel::ui
