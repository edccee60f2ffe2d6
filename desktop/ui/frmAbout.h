#pragma once

#include <QDialog>

#include "common/config/ConfigRecord.h"
#include "common/display/MainWindowView.h"
#include "desktop/ui/OpenWebPage.h"

class QLabel;
class QTimer;

namespace tarnix {

class ClickLabel;

// The about box: program name, version and the maker's web address, with a note counting down
// to its automatic close. The countdown is kept by the program's logic, because the main
// window's supervision cycle is what closes the box when it runs out. Every way of closing the
// box (its button, the window manager, Escape, the supervision cycle) is reported, since
// supervision stays paused until then.
class frmAbout final : public QDialog {
    Q_OBJECT
public:
    frmAbout(ProgramKind kind, bool inhibitShutdown, bool runOnTop, AuxWindowEvents& events,
             UrlOpenFn openUrl, QWidget* parent = nullptr);

    void done(int result) override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void CreateControls(ProgramKind kind);
    void OnTimer1Tick();
    void OnWebSiteClicked();

    std::string programTitle_;
    AuxWindowEvents& events_;
    UrlOpenFn openUrl_;
    ClickLabel* webSite_ = nullptr;
    QLabel* message_ = nullptr;
    QTimer* timer1_ = nullptr;
};

} // namespace tarnix
