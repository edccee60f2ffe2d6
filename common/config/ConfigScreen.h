#pragma once

#include <array>
#include <filesystem>
#include <string>

#include "common/base/Clock.h"
#include "common/config/ConfigFile.h"
#include "common/config/ConfigRecord.h"
#include "common/config/ConfigSchema.h"
#include "common/config/ConfigScreenHost.h"
#include "common/config/ConfigScreenRules.h"
#include "common/config/ConfigScreenView.h"
#include "common/display/AuxWindows.h"
#include "common/program/MessageBox.h"

namespace tarnix {

// The box of a log the viewer could not open (the screen's View Log adds that the program ends).
BoxText LogFileUnopenedBox(const std::string& logName);

// The logic of the configuration screen: it holds the fields as the user edits them, checks
// and highlights them, saves them through WriteConfiguration, and after Close has the program
// re-read its file when that is needed. The dialog renders what it is told and reports its
// events; the program behind it is reached through ConfigScreenHost.
class ConfigScreen final : public ConfigScreenEvents {
public:
    struct Setup {
        ProgramKind kind = ProgramKind::Master;
        // The record in force, except CPUDelay and ShutTime as the file holds them: under
        // "-InhibitShutdown" the two in force are shortened test values, which a save for another
        // change must not write over the user's settings.
        ConfigRecord record;
        bool inhibitShutdown = false;
        std::filesystem::path configFile;
        // Which links the keys in force seal, by link (ProgramBase::LinkKeyed).
        std::array<bool, RemoteComputerCount + 1> linkKeyed{};
        // Set for a file the screen only shows (a service's): where it is and how a change takes
        // effect, shown in place of the status; Save and Restore stay off.
        std::string readOnlyNote = {};
    };

    ConfigScreen(Setup setup, ConfigScreenView& view, MessageBoxes& boxes, ConfigScreenHost& host,
                 AuxWindowEvents& auxEvents, const Clock& clock,
                 FolderExistsFn folderExists = StoredFolderExists);

    // Opening: enables Save and Restore for an administrator, fills in the fields, starts the
    // close countdown, pauses supervision and shows the first validation.
    void Load();

    // Checks every field, highlights the out-of-range labels and returns the number of rules
    // broken.
    int ValidateFields();

    const ConfigScreenValues& Fields() const { return fields_; }

    // The window has closed and returned: a Close after a save, or while the program is not
    // set up, re-initialises the program now, outside the dialog's event loop. Nothing follows
    // any other end of the screen (its countdown).
    void Closed();

    void OnTextEdited(ConfigTextBox box, const std::string& text) override;
    void OnCheckClicked(ConfigCheckBox box, bool checked) override;
    void OnListItemChosen(ConfigList list, const std::string& item) override;
    void OnSaveClicked() override;
    void OnRestoreClicked() override;
    // Unloads the dialog. A re-initialisation it calls for waits for Closed().
    void OnCloseClicked() override;
    void OnViewLogClicked() override;
    void OnTimer1Tick() override;
    void OnTimer2Tick() override;
    void OnActivated() override;

private:
    void DataLoad();
    void ShowFields();
    void LabelReset();
    void AddressModeRefresh();
    void PowerActionRefresh();
    void ShowLinkKeys();
    void StartStatusTimer();
    std::string* TextOf(ConfigTextBox box);
    void EndWithBox(const BoxText& box);

    Setup setup_;
    std::string programTitle_;
    ConfigScreenView& view_;
    MessageBoxes& boxes_;
    ConfigScreenHost& host_;
    AuxWindowEvents& auxEvents_;
    const Clock& clock_;
    FolderExistsFn folderExists_;

    ConfigScreenValues fields_;
    ConfigScreenValues snapshot_;
    std::string logLevelItem_; // the selected list items; the codes follow at validation
    std::string shutNameItem_;
    bool saveEnabled_ = false;
    bool restoreEnabled_ = false;
    bool unloaded_ = false;
    bool reinitialiseWhenClosed_ = false;
};

} // namespace tarnix
