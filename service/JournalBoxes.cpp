#include "service/JournalBoxes.h"

#include <string_view>

#include "common/config/ConfigBoxes.h"

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
    return buttons == BoxButtons::YesNo ? BoxAnswer::Yes : BoxAnswer::Ok;
}

void JournalBoxes::Notify(const std::string& title, const std::vector<std::string>& lines, BoxIcon icon) {
    Write(title, lines, icon);
}

// A box breaks its lines where its width asks, mid-sentence or not; on one line of text the
// sentences the face itself adds after a box's own text need the one before them ended.
bool JournalBoxes::StartsSentence(const std::string& line) const {
    return line == ProgramWillTerminate || line == ConfigurationKept || line == configAdvice_;
}

void JournalBoxes::Write(const std::string& title, const std::vector<std::string>& lines, BoxIcon icon) {
    std::vector<std::string> sentences;
    bool advised = false;
    for (const std::string& line : lines) {
        if (line == ReinstallToRestore && !configAdvice_.empty()) {
            advised = true;
            continue;
        }
        sentences.push_back(line);
    }
    if (advised) sentences.push_back(configAdvice_);
    std::string text = title + ":";
    for (std::string sentence : sentences) {
        while (!sentence.empty() && sentence.back() == ' ')
            sentence.pop_back();
        if (sentence.empty()) continue;
        if (StartsSentence(sentence) && std::string_view(".?!:").find(text.back()) == std::string_view::npos)
            text += ".";
        text += " " + sentence;
    }
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
