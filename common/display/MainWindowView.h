#pragma once

#include <cstdint>
#include <string>

#include "common/display/AuxWindows.h"
#include "common/display/Colour.h"

namespace tarnix {

enum class Button { TestS, Config, Reset, About, Exit };
enum class RowBox { Comp, Type1, Shut1 };

// What the programs' logic asks of a main window, one interface for each part of it.

// The caption, `Title`, `Counter` and the buttons: what both programs' windows show.
class StatusBandView {
public:
    virtual ~StatusBandView() = default;

    virtual void SetCaption(const std::string& text) = 0;

    // `Title`: the configuration summary or the set-up prompt.
    virtual void SetTitleText(const std::string& text) = 0;
    virtual void SetTitleStyle(Colour foreground, bool bold) = 0;

    // `Counter`: the phase text.
    virtual void SetCounterText(const std::string& text) = 0;
    virtual void SetCounterForeground(Colour colour) = 0;
    virtual void SetCounterBackground(Colour colour) = 0;
    virtual void SetCounterBold(bool bold) = 0;

    virtual void SetButtonEnabled(Button button, bool enabled) = 0;
    virtual void SetButtonCaption(Button button, const std::string& caption) = 0;
    virtual void SetButtonToolTip(Button button, const std::string& toolTip) = 0;
};

// The slave's `CPULoad` band, painted during the countdown.
class CpuLoadBandView {
public:
    virtual ~CpuLoadBandView() = default;
    virtual void SetCpuLoadText(const std::string& text) = 0;
    virtual void SetCpuLoadColours(Colour foreground, Colour background) = 0;
};

// The master's status rows: row 0 is this computer, rows 1..4 the remote computers.
class PeerRowsView {
public:
    virtual ~PeerRowsView() = default;
    virtual void SetRowText(int row, RowBox box, const std::string& text) = 0;
    virtual void SetRowColour(int row, RowBox box, Colour colour) = 0;
};

// Where the window is. Minimise() sends the window to the tray (or, without a tray, to the task
// bar); ShowNormalCentred() restores it to normal, shows it and centres it.
class PlacementView {
public:
    virtual ~PlacementView() = default;
    virtual bool IsMinimised() const = 0;
    virtual void Minimise() = 0;
    virtual void ShowNormalCentred() = 0;
    virtual void SetTopmost(bool onTop) = 0; // shows the window, never activates, moves or sizes it
    // Hides the minimised window, leaving its tray icon; where the desktop has no tray the
    // window stays minimised in the task bar instead, so it can always be brought back.
    virtual void HideWindow() = 0;
    virtual void AddTrayIcon() = 0;
    virtual void RemoveTrayIcon() = 0;
};

// The about box, opened from the main window. OpenAboutBox() shows it modally and returns when
// it has closed; the supervision timer keeps ticking meanwhile. The box reports its countdown
// and its closing to events.
class AuxWindowsView {
public:
    virtual ~AuxWindowsView() = default;
    virtual void OpenAboutBox(bool inhibitShutdown, bool runOnTop, AuxWindowEvents& events) = 0;
    virtual void CloseAboutBox() = 0;
};

// The parts every main window has; the master's adds its rows, the slave's its CPU band.
class MainWindowView : public StatusBandView, public PlacementView, public AuxWindowsView {};

// What a main window reports to the program's logic. The window itself decides nothing.
class MainWindowEvents {
public:
    virtual ~MainWindowEvents() = default;
    virtual void OnButtonClicked(Button button) = 0;
    virtual void OnWindowClosing() = 0;        // Exit, or closed by any other means
    virtual void OnWindowStateChanged() = 0;   // minimised or restored by the user
    virtual void OnTrayRestoreRequested() = 0; // double-click (or click where that is all the tray reports)
    virtual void OnWindowActivated() = 0;
};

} // namespace tarnix
