#pragma once

#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "common/config/ConfigRecord.h"
#include "common/config/ConfigScreenView.h"
#include "common/display/MainWindowView.h"
#include "desktop/ui/OpenWebPage.h"

class QDialog;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tarnix {

class ClickLabel;
class frmAbout;

// What tells the master's window from the slave's in the parts they share.
struct MainWindowSetup {
    ProgramKind kind = ProgramKind::Master;
    int clientWidthTwips = 0;
    int clientHeightTwips = 0;
    int buttonTopTwips = 0; // the five command buttons stand in one row
};

// The part of a main window both programs share: Title, Logo, the five command buttons and the
// tray icon. It renders what the logic tells it and hands
// every event to the logic; it decides nothing itself. The master's and the slave's windows add
// their own controls and the views of those controls.
class frmConfig;

class MainWindowBase : public QWidget, public MainWindowView, public ConfigScreenWindow {
    Q_OBJECT
public:
    ~MainWindowBase() override;

    // The logic that receives the window's events. Until it is set, events are dropped and the
    // window closes like any other.
    void SetEvents(MainWindowEvents* events);
    // Tells whether the desktop has a system tray; tests replace it to pretend either way.
    void SetSystemTrayProbe(std::function<bool()> probe);
    // The tray icon's tooltip, where it is not the program's own (a window showing a service).
    void SetTrayToolTip(const std::string& text);

    void SetCaption(const std::string& text) override;
    void SetTitleText(const std::string& text) override;
    void SetTitleStyle(Colour foreground, bool bold) override;
    void SetCounterText(const std::string& text) override;
    void SetCounterForeground(Colour colour) override;
    void SetCounterBackground(Colour colour) override;
    void SetCounterBold(bool bold) override;
    void SetButtonEnabled(Button button, bool enabled) override;
    void SetButtonCaption(Button button, const std::string& caption) override;
    void SetButtonToolTip(Button button, const std::string& toolTip) override;
    bool IsMinimised() const override;
    void Minimise() override;
    void ShowNormalCentred() override;
    void SetTopmost(bool onTop) override;
    void HideWindow() override;
    void AddTrayIcon() override;
    void RemoveTrayIcon() override;
    void OpenAboutBox(bool inhibitShutdown, bool runOnTop, AuxWindowEvents& events) override;
    void RunConfigScreen(const Attach& attach) override;
    void CloseAboutBox() override;
    void CloseConfigScreen() override;

protected:
    MainWindowBase(const MainWindowSetup& setup, UrlOpenFn openUrl, QWidget* parent);

    QLabel* TitleLabel() const { return title_; }
    ClickLabel* Logo() const { return logo_; }
    // Draws the logo picture at the given place.
    void PlaceLogo(const QRect& geometry);
    void UseCounter(QWidget* counter);

    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void CreateButtons(int topTwips);
    void CreateTrayIcon();
    void OnTrayActivated(QSystemTrayIcon::ActivationReason reason);
    QPushButton* ButtonOf(Button button) const;

    ProgramKind kind_;
    std::string programTitle_;
    UrlOpenFn openUrl_;
    MainWindowEvents* events_ = nullptr;
    std::function<bool()> trayProbe_;

    QLabel* title_ = nullptr;
    ClickLabel* logo_ = nullptr;
    QWidget* counter_ = nullptr;
    struct {
        std::optional<std::string> text;
        std::optional<Colour> foreground, background;
        std::optional<bool> bold;
    } counterShown_; // what the counter was last told
    std::array<QPushButton*, 5> buttons_{};
    QSystemTrayIcon* trayIcon_ = nullptr;
    QPointer<frmAbout> aboutBox_;
    QPointer<frmConfig> configScreen_;
};

} // namespace tarnix
