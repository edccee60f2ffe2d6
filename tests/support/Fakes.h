#pragma once

// Test doubles of the programs' outside world: a window that remembers what it was told, message
// boxes with scripted answers, recorded power actions, a fixed clock, and a program end that
// stops the test's call chain.

#include <deque>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "common/base/Clock.h"
#include "common/display/MainWindowView.h"
#include "common/program/MessageBox.h"
#include "common/program/ProgramControl.h"
#include "common/program/WatchdogEvents.h"
#include "common/supervision/PowerActions.h"
#include "common/supervision/SupervisionTimer.h"
#include "support/FixedClock.h"

namespace tarnix::testing {

struct ProgramEnded : std::exception {};

// The events a program told, in order, as "name" or "name key=value ..." (a test run's marked
// with " [test]").
class RecordedEvents : public EventSink {
public:
    void Emit(const WatchdogEvent& event) override {
        std::string line = event.name;
        for (const auto& [key, value] : event.details)
            line += " " + key + "=" + value;
        if (event.testRun) line += " [test]";
        lines.push_back(line);
        sequences.push_back(event.sequence);
    }
    std::vector<std::string> lines;
    std::vector<std::uint64_t> sequences;
};

class FakeControl : public ProgramControl {
public:
    void RaisePriority() override { ++priorityRaised; }
    void EndProgram(ProgramEnd end) override {
        ++ended;
        lastEnd = end;
        throw ProgramEnded{};
    }
    int priorityRaised = 0;
    int ended = 0;
    ProgramEnd lastEnd = ProgramEnd::Closed;
};

using FakeClock = FixedClock;

struct ShownBox {
    std::string title;
    std::vector<std::string> lines;
    BoxIcon icon;
    BoxButtons buttons;
};

class FakeBoxes : public MessageBoxes {
public:
    BoxAnswer Show(const std::string& title, const std::vector<std::string>& lines, BoxIcon icon,
                   BoxButtons buttons) override {
        shown.push_back({title, lines, icon, buttons});
        if (journal) journal->push_back("!box " + title + ": " + BoxText{"", icon, lines}.Message());
        if (auto run = onShow) run(); // a copy: the hook may replace itself
        if (!answers.empty()) {
            const BoxAnswer answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return buttons == BoxButtons::YesNo ? BoxAnswer::No : BoxAnswer::Ok;
    }
    void Notify(const std::string& title, const std::vector<std::string>& lines, BoxIcon icon) override {
        notices.push_back({title, lines, icon, BoxButtons::Ok});
        if (journal) journal->push_back("!notice " + title + ": " + BoxText{"", icon, lines}.Message());
    }
    std::vector<ShownBox> shown;
    std::vector<ShownBox> notices; // what was told without waiting
    std::deque<BoxAnswer> answers;
    std::function<void()> onShow;
    std::vector<std::string>* journal = nullptr; // where a test keeps one record of everything
};

class FakePower : public PowerActions {
public:
    bool ShutdownSystem(std::int32_t actionCode) override {
        return Act("ShutdownSystem(" + std::to_string(actionCode) + ")");
    }
    bool HibernateSystem() override { return Act("HibernateSystem"); }
    bool StandbySystem() override { return Act("StandbySystem"); }
    std::vector<std::string> calls;
    std::optional<PowerActionError> failWith; // every action fails with it
    std::vector<std::string>* journal = nullptr;

private:
    bool Act(const std::string& call) {
        calls.push_back(call);
        if (failWith) throw *failWith;
        if (journal) journal->push_back("!power " + call);
        return true;
    }
};

// Remembers the last text, colour and state of every control it was told about.
// Either program's window: the shared parts, the master's rows and the slave's CPU band.
// Its timer stands in for the supervision timer: tests tick the logic themselves.
class FakeWindow : public MainWindowView,
                   public PeerRowsView,
                   public CpuLoadBandView,
                   public SupervisionTimer {
public:
    void SetCaption(const std::string& text) override { caption = text; }
    void SetTitleText(const std::string& text) override { title = text; }
    void SetTitleStyle(Colour foreground, bool bold) override {
        titleColour = foreground;
        titleBold = bold;
    }
    void SetCounterText(const std::string& text) override {
        counter = text;
        counterHistory.push_back(text);
    }
    void SetCounterForeground(Colour colour) override { counterForeground = colour; }
    void SetCounterBackground(Colour colour) override { counterBackground = colour; }
    void SetCounterBold(bool bold) override { counterBold = bold; }
    void SetCpuLoadText(const std::string& text) override {
        cpuLoad = text;
        cpuLoadHistory.push_back(text);
    }
    void SetCpuLoadColours(Colour foreground, Colour background) override {
        cpuLoadColours = {foreground, background};
        cpuLoadColoured = true;
    }
    void SetButtonEnabled(Button button, bool enabled) override { buttonEnabled[button] = enabled; }
    void SetButtonCaption(Button button, const std::string& caption) override {
        buttonCaption[button] = caption;
    }
    void SetButtonToolTip(Button button, const std::string& toolTip) override {
        buttonToolTip[button] = toolTip;
    }
    void SetRowText(int row, RowBox box, const std::string& text) override { rowText[{row, box}] = text; }
    void SetRowColour(int row, RowBox box, Colour colour) override { rowColour[{row, box}] = colour; }
    std::string RowText(int row, RowBox box) const {
        const auto it = rowText.find({row, box});
        return it == rowText.end() ? std::string() : it->second;
    }
    Colour RowColour(int row, RowBox box) const {
        const auto it = rowColour.find({row, box});
        return it == rowColour.end() ? colours::ButtonText : it->second;
    }
    bool IsMinimised() const override { return minimised; }
    // Like a real window, a change of state is reported back to the logic while the window is
    // being minimised, and the window ends up shown (minimised, in the task bar).
    void Minimise() override {
        ++minimiseCalls;
        minimised = true;
        if (events) events->OnWindowStateChanged();
        hidden = false;
    }
    void ShowNormalCentred() override {
        placementCalls.push_back("ShowNormalCentred");
        minimised = false;
        hidden = false;
        ++centred;
        if (events) events->OnWindowStateChanged();
    }
    void SetTopmost(bool onTop) override {
        topmost = onTop;
        ++topmostCalls;
    }
    void HideWindow() override { hidden = true; }
    void AddTrayIcon() override { trayIcon = true; }
    void RemoveTrayIcon() override {
        trayIcon = false;
        placementCalls.push_back("RemoveTrayIcon");
    }
    void SetTimerEnabled(bool enabled) override { timerEnabled = enabled; }
    bool TimerEnabled() const override { return timerEnabled; }
    void OpenAboutBox(bool inhibitShutdown, bool runOnTop, AuxWindowEvents& events) override {
        aboutOpen = true;
        aboutEvents = &events;
        aboutInhibit = inhibitShutdown;
        aboutOnTop = runOnTop;
    }
    void CloseAboutBox() override {
        aboutOpen = false;
        ++aboutClosed;
    }

    MainWindowEvents* events = nullptr;
    std::string caption, title, counter, cpuLoad;
    std::vector<std::string> counterHistory, cpuLoadHistory; // every text in turn
    std::vector<std::string> placementCalls;                 // ShowNormalCentred and RemoveTrayIcon in order
    bool cpuLoadColoured = false;
    Colour titleColour = colours::ButtonText;
    bool titleBold = false;
    Colour counterForeground = colours::ButtonText;
    Colour counterBackground = colours::ButtonFace;
    bool counterBold = false;
    std::pair<Colour, Colour> cpuLoadColours{colours::ButtonText, colours::ButtonFace};
    std::map<Button, bool> buttonEnabled;
    std::map<Button, std::string> buttonCaption, buttonToolTip;
    std::map<std::pair<int, RowBox>, std::string> rowText;
    std::map<std::pair<int, RowBox>, Colour> rowColour;
    bool minimised = false, hidden = false, topmost = false, trayIcon = false, timerEnabled = false;
    int minimiseCalls = 0, centred = 0, topmostCalls = 0;
    bool aboutOpen = false, aboutInhibit = false, aboutOnTop = false;
    AuxWindowEvents* aboutEvents = nullptr; // the last box's, to drive its countdown
    int aboutClosed = 0;
};

} // namespace tarnix::testing
