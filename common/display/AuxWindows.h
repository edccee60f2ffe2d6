#pragma once

#include <cstdint>

namespace tarnix {

// The seconds an auxiliary window's countdown starts again from once its time was up.
inline constexpr std::int16_t AuxCloseSeconds = 30;

// What the about box and the configuration screen report of their life. Each counts down to
// its automatic close; the main window's supervision cycle is what closes it when the count
// runs out.
class AuxWindowEvents {
public:
    virtual ~AuxWindowEvents() = default;

    // pausesSupervision: the box pauses supervision itself (the slave's); the master's About
    // button has done so already.
    virtual void AboutBoxLoaded(std::int16_t closeSeconds, bool pausesSupervision) = 0;
    // One second of the box's countdown; returns the seconds to show before this one is taken.
    virtual std::int16_t AboutBoxSecond() = 0;
    // Every way of closing the box, the supervision cycle's included.
    virtual void AboutBoxClosed() = 0;

    // The screen pauses supervision while it is open.
    virtual void ConfigScreenLoaded(std::int16_t closeSeconds) = 0;
    virtual std::int16_t ConfigScreenSecond() = 0;
    // Closed without a re-initialisation: that clears the pause itself.
    virtual void ConfigScreenClosed() = 0;
};

enum class AuxWindow { None, AboutBox, ConfigScreen };

// The auxiliary windows as the program's logic sees them: whether one is open (supervision
// pauses meanwhile) and their close countdowns.
class AuxWindows final : public AuxWindowEvents {
public:
    // The About button: supervision pauses before the box opens.
    void NoteOpened() { open_ = true; }
    // The program's (re-)initialisation: supervision resumes.
    void NoteClosed() { open_ = false; }
    bool AnyOpen() const { return open_; }
    void ResetCountdowns();

    // The window whose time is up, the about box first; it counts as closed from now and its
    // countdown starts again at AuxCloseSeconds. The caller closes the window itself.
    AuxWindow TakeExpired();

    std::int16_t AboutSecondsLeft() const { return aboutCountdown_; }
    std::int16_t ConfigSecondsLeft() const { return configCountdown_; }

    void AboutBoxLoaded(std::int16_t closeSeconds, bool pausesSupervision) override;
    std::int16_t AboutBoxSecond() override { return aboutCountdown_--; }
    void AboutBoxClosed() override;
    void ConfigScreenLoaded(std::int16_t closeSeconds) override;
    std::int16_t ConfigScreenSecond() override { return configCountdown_--; }
    void ConfigScreenClosed() override;

private:
    // One flag for both windows. A window closed once its time was up restarts its count, so
    // that it cannot be taken as expired later and end the other window's pause.
    bool open_ = false;
    std::int16_t aboutCountdown_ = AuxCloseSeconds;
    std::int16_t configCountdown_ = AuxCloseSeconds;
};

} // namespace tarnix
