#pragma once

#include <cstddef>
#include <string>

namespace tarnix {

// What a notice is about: a slot's next notice takes the place of the one it shows.
enum class NoticeSlot { Countdown, CountdownCancelled, TestRun, Remote1, Remote2, Remote3, Remote4 };

// The slot of the master's remote computer index + 1.
inline NoticeSlot RemoteSlot(std::size_t index) {
    return static_cast<NoticeSlot>(static_cast<std::size_t>(NoticeSlot::Remote1) + index);
}

enum class NoticeUrgency { Normal, Critical };

struct Notice {
    NoticeSlot slot = NoticeSlot::Countdown;
    // A critical notice stays up until it is closed; a normal one goes when the desktop decides.
    NoticeUrgency urgency = NoticeUrgency::Normal;
    std::string summary;
    std::string body;
    bool offersReset = false; // a Reset button, where the desktop can show one

    bool operator==(const Notice&) const = default;
};

// The desktop's notifications. Neither call may wait for the desktop.
class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void Show(const Notice& notice) = 0;
    virtual void Close(NoticeSlot slot) = 0;
};

} // namespace tarnix
