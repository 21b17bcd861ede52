#pragma once

#include <QDialog>
#include <QLine>
#include <QPointer>
#include <cstdint>
#include <string>

class QLabel;
class QPushButton;

namespace quorvel::ui {

// The about box: the product's name, version, description and disclaimer, and the
// launcher of the system-information tool, or, where there is none, of the program's own
// facts.
class frmAbout : public QDialog {
    Q_OBJECT

  public:
    // The one about box, created on first use.
    static frmAbout* Instance();
    ~frmAbout() override;

    // Finds and starts the system-information tool, or, without one, shows SystemFacts().
    void StartSysInfo();
    // The versions of the program and of Qt, the system, the locale and whether the
    // desktop module loads.
    static QString SystemFacts();
    // Reads one value; true when a value was read. A value stored with no bytes at all
    // is an error, thrown as std::runtime_error.
    static bool GetKeyValue(std::uint32_t KeyRoot, const std::string& KeyName,
                            const std::string& SubKeyRef, std::string& KeyVal);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    frmAbout();
    void cmdOK_Click();
    void cmdSysInfo_Click();

    QLabel* picIcon;
    QLabel* lblTitle;
    QLabel* lblVersion;
    QLabel* lblDescription;
    QLabel* lblDisclaimer;
    QPushButton* cmdOK;
    QPushButton* cmdSysInfo;
    QLine separator_[2];  // the etched separator, in pixels

    static QPointer<frmAbout> instance_;
};

}  // namespace quorvel::ui
