#include "ui/frmSplitParts/SplitPartsForm.h"

#include <QLocale>
#include <QWidget>

#include "platform/Dialogs.h"
#include "platform/Translations.h"

namespace quorvel::ui {

SplitPartsForm::SplitPartsForm(QWidget* window, QWidget* times) : window_(window), times_(times) {}

void SplitPartsForm::Take(const QString& source, const QString& folder, bool exact) {
    source_ = source.toStdString();
    folder_ = folder.toStdString();
    exact_ = exact;
}

std::string SplitPartsForm::Text(Control control) const {
    // Only the places are read; the times come with the request.
    switch (control) {
        case Control::txtMP3:
            return source_;
        case Control::txtToFolder:
            return folder_;
        default:
            return {};
    }
}

void SplitPartsForm::SetText(Control control, const Message& text) {
    emit SetField(control, platform::Translated(text));
}

void SplitPartsForm::SetFocus(Control control) {
    // The source and the folder are the main window's to correct.
    if (control == Control::txtSplitMinute || control == Control::txtSplitSecond) {
        times_->setFocus(Qt::OtherFocusReason);
    }
}

void SplitPartsForm::LogReset(const Message& message) {
    emit ResetLog(platform::Translated(message));
}

void SplitPartsForm::LogAppend(const Message& message) {
    emit AppendToLog(platform::Translated(message));
}

void SplitPartsForm::LogRepaint() {
    emit RepaintLog();
}

void SplitPartsForm::LogScroll() {
    emit ScrollLog();
}

void SplitPartsForm::MessageBox(const Message& text) {
    platform::Dialogs::Current().Message(window_, platform::Translated(text),
                                         platform::kApplicationTitle);
}

bool SplitPartsForm::Question(const Message& text) {
    return platform::Dialogs::Current().Question(window_, platform::Translated(text),
                                                 platform::kApplicationTitle);
}

std::string SplitPartsForm::DecimalSeparator() const {
    return QLocale::system().decimalPoint().toStdString();
}

bool SplitPartsForm::ExactSplit() const {
    return exact_;
}

Message SplitPartsForm::ExactSplitHint() const {
    return Tr("SplitPartsForm",
              "To cut at the times given themselves, choose File > Split Exactly at the Time "
              "Given and open this window again.");
}

}  // namespace quorvel::ui
