#pragma once

// Doubles of the configuration screen's surroundings: a dialog that remembers what it was told,
// the window that runs it with a scripted user, and the user's desktop.

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/config/ConfigScreenView.h"
#include "common/program/UserDesktop.h"

namespace tarnix::testing {

class FakeConfigView : public ConfigScreenView {
public:
    void SetTitle(const std::string& text) override { title = text; }
    void SetFieldText(ConfigTextBox box, const std::string& text) override { fields[box] = text; }
    void SetFieldToolTip(ConfigTextBox, const std::string&) override {}
    void SetChecked(ConfigCheckBox box, bool on) override { checked[box] = on; }
    void SelectListItem(ConfigList list, const std::string& item) override { items[list] = item; }
    void SetLabelCaption(ConfigLabel, const std::string&) override {}
    void SetLabelStyle(ConfigLabel, Colour, bool) override {}
    void SetButtonEnabled(ConfigButton button, bool on) override { enabled[button] = on; }
    void SetLinkKeyed(int link, bool on) override { keyed[link] = on; }
    void SetStatusText(const std::string& text) override { status = text; }
    void SetCloseMessage(const std::string&) override {}
    void SetStatusTimerRunning(bool) override {}
    void KeepOnTop() override {}
    void Unload() override { unloaded = true; }

    std::string title, status;
    std::map<ConfigTextBox, std::string> fields;
    std::map<ConfigCheckBox, bool> checked;
    std::map<ConfigList, std::string> items;
    std::map<ConfigButton, bool> enabled;
    std::map<int, bool> keyed; // by link
    bool unloaded = false;
};

// Runs each opening of the screen with `user`, who acts on the screen's logic as a person would
// on the dialog; by default the person just closes it.
class FakeConfigWindow : public ConfigScreenWindow {
public:
    void RunConfigScreen(const Attach& attach) override {
        ++opened;
        FakeConfigView view;
        ConfigScreenEvents& screen = attach(view);
        if (user) {
            user(screen, view);
        } else {
            screen.OnCloseClicked();
        }
    }
    void CloseConfigScreen() override { ++closed; }
    std::function<void(ConfigScreenEvents&, FakeConfigView&)> user;
    int opened = 0;
    int closed = 0; // by the close countdown
};

class FakeDesktop : public UserDesktop {
public:
    bool IsAdministrator() override { return administrator; }
    bool OpenTextFile(const std::filesystem::path& file, std::function<void()> failed) override {
        opened.push_back(file);
        laterFailure = std::move(failed);
        return canOpen;
    }
    bool administrator = true;
    bool canOpen = true;
    std::vector<std::filesystem::path> opened;
    std::function<void()> laterFailure;
};

} // namespace tarnix::testing
