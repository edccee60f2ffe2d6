#pragma once

#include <functional>
#include <string>

#include "common/display/Colour.h"

namespace tarnix {

// The configuration screen's controls, by the names of the screen. The slave has IPAddT and
// IPAddM (its master's address and its hint); the master has the computer table instead.
enum class ConfigTextBox {
    CompT0,
    CompT1,
    CompT2,
    CompT3,
    CompT4,
    IPAddT,
    IPAddT1,
    IPAddT2,
    IPAddT3,
    IPAddT4,
    Port1T,
    Port2T,
    CPUDelayT,
    StartDelayT,
    LogNameT,
    LogPathT,
    ShutTimeT,
};
enum class ConfigCheckBox { DNameT, RunOnTopT, StartMinT };
enum class ConfigList { LogLevelT, ShutNameT };
enum class ConfigButton { Save, Restore };

// The labels the screen recolours or recaptions: the column headers, the row labels of the
// computer table and the hints beside the fields.
enum class ConfigLabel {
    CompL,
    IPAddL,
    IPAddM0,
    IPAddM1,
    IPAddM2,
    IPAddM3,
    IPAddM4,
    IPAddM,
    CPUDelayM,
    LogLevelM,
    LogNameM,
    LogPathM,
    Port1M,
    ShutTimeM,
    ShutTypeM,
    StartDelayM,
};

// What the configuration screen's logic asks of its dialog. The dialog shows exactly this and
// decides nothing.
class ConfigScreenView {
public:
    virtual ~ConfigScreenView() = default;
    virtual void SetTitle(const std::string& text) = 0;
    virtual void SetFieldText(ConfigTextBox box, const std::string& text) = 0;
    // Tooltip and accessible description together.
    virtual void SetFieldToolTip(ConfigTextBox box, const std::string& text) = 0;
    virtual void SetChecked(ConfigCheckBox box, bool checked) = 0;
    // Selects the item with this text; an empty text leaves the list without a selection.
    virtual void SelectListItem(ConfigList list, const std::string& item) = 0;
    virtual void SetLabelCaption(ConfigLabel label, const std::string& text) = 0;
    virtual void SetLabelStyle(ConfigLabel label, Colour colour, bool bold) = 0;
    virtual void SetButtonEnabled(ConfigButton button, bool enabled) = 0;
    // Whether a link's datagrams are sealed with a key: link 0 is a slave's master, 1..4 a
    // master's remote computers. The screen shows that a key is in force, never the key.
    virtual void SetLinkKeyed(int link, bool keyed) = 0;
    virtual void SetStatusText(const std::string& text) = 0;   // `Status`
    virtual void SetCloseMessage(const std::string& text) = 0; // `TMessage`
    // `Timer2`, which clears the status two seconds after it starts; starting it again restarts it.
    virtual void SetStatusTimerRunning(bool running) = 0;
    virtual void KeepOnTop() = 0; // topmost, without activating, moving or resizing
    virtual void Unload() = 0;    // closes the dialog; no event follows
};

// What the dialog reports. Edits arrive as the user makes them; a value the logic sets is
// never reported back.
class ConfigScreenEvents {
public:
    virtual ~ConfigScreenEvents() = default;
    virtual void OnTextEdited(ConfigTextBox box, const std::string& text) = 0;
    virtual void OnCheckClicked(ConfigCheckBox box, bool checked) = 0;
    virtual void OnListItemChosen(ConfigList list, const std::string& item) = 0;
    virtual void OnSaveClicked() = 0;
    virtual void OnRestoreClicked() = 0;
    virtual void OnCloseClicked() = 0; // the Close button and the window's own close box
    virtual void OnViewLogClicked() = 0;
    virtual void OnTimer1Tick() = 0;
    virtual void OnTimer2Tick() = 0;
    virtual void OnActivated() = 0;
};

// The window that runs the configuration screen for a program: it makes the dialog, lets
// `attach` connect the screen's logic to it, and shows it modally until it closes.
class ConfigScreenWindow {
public:
    virtual ~ConfigScreenWindow() = default;
    using Attach = std::function<ConfigScreenEvents&(ConfigScreenView& view)>;
    virtual void RunConfigScreen(const Attach& attach) = 0;
    // Closes the open screen as if Close were clicked (its countdown ran out).
    virtual void CloseConfigScreen() = 0;
};

} // namespace tarnix
