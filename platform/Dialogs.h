#pragma once

#include <QString>

class QWidget;

namespace quorvel::platform {

// The program's modal boxes and dialogs. Tests install their own answers through
// Dialogs::Install, so that no test has to click a box that blocks it.
class Dialogs {
  public:
    virtual ~Dialogs() = default;

    // A box with the text, an OK button only and no icon.
    virtual void Message(QWidget* parent, const QString& text, const QString& title);
    // OK and Cancel, no icon; true only for OK (Esc and the close button say Cancel).
    virtual bool Question(QWidget* parent, const QString& text, const QString& title);
    // The file-open dialog with one filter entry, opening in `folder`; an empty text when
    // cancelled. The desktop's own dialog (through its portal where it has one), or Qt's
    // where the application asks for that (Qt::AA_DontUseNativeDialogs).
    virtual QString OpenFileName(QWidget* parent, const QString& title, const QString& filter,
                                 const QString& folder);
    // The file-save dialog with one filter entry, opening at `path` (its folder, its name
    // proposed); an empty text when cancelled. An existing file is not asked about here: the
    // work that writes it asks once, as for every output.
    virtual QString SaveFileName(QWidget* parent, const QString& title, const QString& filter,
                                 const QString& path);
    // A one-line text; the empty text when cancelled.
    virtual QString InputText(QWidget* parent, const QString& prompt, const QString& title,
                              const QString& defaultText);

    static Dialogs& Current();
    // Replaces the boxes until Install(nullptr) restores the real ones.
    static void Install(Dialogs* dialogs);
};

// The application title that boxes without a title of their own show.
inline const QString kApplicationTitle = QStringLiteral("Quorvel");

}  // namespace quorvel::platform
