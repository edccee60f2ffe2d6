#include "common/display/AuxWindows.h"

namespace tarnix {

void AuxWindows::ResetCountdowns() {
    aboutCountdown_ = AuxCloseSeconds;
    configCountdown_ = AuxCloseSeconds;
}

AuxWindow AuxWindows::TakeExpired() {
    if (!open_) return AuxWindow::None;
    if (aboutCountdown_ < 1) {
        open_ = false;
        aboutCountdown_ = AuxCloseSeconds;
        return AuxWindow::AboutBox;
    }
    if (configCountdown_ < 1) {
        open_ = false;
        configCountdown_ = AuxCloseSeconds;
        return AuxWindow::ConfigScreen;
    }
    return AuxWindow::None;
}

void AuxWindows::AboutBoxLoaded(std::int16_t closeSeconds, bool pausesSupervision) {
    aboutCountdown_ = closeSeconds;
    if (pausesSupervision) open_ = true;
}

void AuxWindows::AboutBoxClosed() {
    open_ = false;
    if (aboutCountdown_ < 1) aboutCountdown_ = AuxCloseSeconds;
}

void AuxWindows::ConfigScreenClosed() {
    open_ = false;
    if (configCountdown_ < 1) configCountdown_ = AuxCloseSeconds;
}

void AuxWindows::ConfigScreenLoaded(std::int16_t closeSeconds) {
    configCountdown_ = closeSeconds;
    open_ = true;
}

} // namespace tarnix
