#include "desktop/window/WindowRules.h"

namespace tarnix {

void WindowRules::OnButtonClicked(Button button) {
    switch (button) {
    case Button::TestS:
        return program_.TestClick();
    case Button::Reset:
        return program_.ResetClick();
    case Button::About:
        return program_.OpenAboutBox(aboutBox_);
    case Button::Config:
        return program_.OpenConfigScreen(configWindow_, *this);
    case Button::Exit:
        return program_.OnWindowClosing();
    }
}

// The viewer's own failure comes after the screen has gone on: it is reported, but unlike a
// missing log it is no reason to end the watchdog.
bool WindowRules::OpenLogFile(const std::filesystem::path& file) {
    return desktop_.OpenTextFile(
        file, [this, name = program_.Config().LogName] { program_.ReportLogFileUnopened(name); });
}

void WindowRules::StepTaken(const StatusStep& step, const ProgramStatus&) {
    if (step.step != Step::AuxWindowExpired) return;
    if (step.expired == AuxWindow::AboutBox) aboutBox_.CloseAboutBox();
    if (step.expired == AuxWindow::ConfigScreen) configWindow_.CloseConfigScreen();
}

} // namespace tarnix
