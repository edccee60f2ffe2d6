#include "common/JournalBoxes.h"

namespace tarnix {

JournalPriority JournalBoxes::PriorityOf(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::Error:
        return JournalPriority::Error;
    case BoxIcon::Warning:
        return JournalPriority::Warning;
    case BoxIcon::Information:
    case BoxIcon::None:
        break;
    }
    return JournalPriority::Notice;
}

BoxAnswer JournalBoxes::Show(const std::string& title, const std::vector<std::string>& lines, BoxIcon icon,
                             BoxButtons buttons) {
    Write(title, lines, icon);
    if (icon == BoxIcon::Error || icon == BoxIcon::Warning) failed_ = true;
    return buttons == BoxButtons::YesNo ? BoxAnswer::Yes : BoxAnswer::Ok;
}

void JournalBoxes::Notify(const std::string& title, const std::vector<std::string>& lines, BoxIcon icon) {
    Write(title, lines, icon);
}

void JournalBoxes::Write(const std::string& title, const std::vector<std::string>& lines, BoxIcon icon) {
    std::string text = title + ":";
    for (const std::string& line : lines)
        text += " " + line;
    sink_.Line(PriorityOf(icon), text);
}

bool JournalledPower::ShutdownSystem(std::int32_t actionCode) {
    sink_.Line(JournalPriority::Critical,
               "Countdown expired: asking logind to act (action code " + std::to_string(actionCode) + ")");
    return power_.ShutdownSystem(actionCode);
}

bool JournalledPower::HibernateSystem() {
    sink_.Line(JournalPriority::Critical, "Countdown expired: asking logind to hibernate the computer");
    return power_.HibernateSystem();
}

bool JournalledPower::StandbySystem() {
    sink_.Line(JournalPriority::Critical, "Countdown expired: asking logind to suspend the computer");
    return power_.StandbySystem();
}

} // namespace tarnix
