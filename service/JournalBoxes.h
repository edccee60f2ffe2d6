#pragma once

#include <string>
#include <vector>

#include "common/program/MessageBox.h"
#include "common/supervision/PowerActions.h"
#include "service/StatusJournal.h"

namespace tarnix {

// The message boxes of a face that nobody looks at: each box is one journal line with its title
// and its lines as sentences, at the box's severity, and nothing waits for anyone. A question
// (the port in use) is answered Yes, "end the program", as nobody can resolve it there.
class JournalBoxes final : public MessageBoxes {
public:
    explicit JournalBoxes(JournalSink& sink) : sink_(sink) {}

    // What to do about a configuration file that fails its checks, where the file is the
    // administrator's to edit rather than the package's to restore: it takes the place of the
    // advice to reinstall, at the line's end.
    void SetConfigurationAdvice(std::string advice) { configAdvice_ = std::move(advice); }

    BoxAnswer Show(const std::string& title, const std::vector<std::string>& lines, BoxIcon icon,
                   BoxButtons buttons) override;
    void Notify(const std::string& title, const std::vector<std::string>& lines, BoxIcon icon) override;

    static JournalPriority PriorityOf(BoxIcon icon);

private:
    void Write(const std::string& title, const std::vector<std::string>& lines, BoxIcon icon);
    bool StartsSentence(const std::string& line) const;

    JournalSink& sink_;
    std::string configAdvice_;
};

// The power actions, each announced as a critical line before it is asked for.
class JournalledPower final : public PowerActions {
public:
    JournalledPower(PowerActions& power, JournalSink& sink) : power_(power), sink_(sink) {}
    bool ShutdownSystem(std::int32_t actionCode) override;
    bool HibernateSystem() override;
    bool StandbySystem() override;

private:
    PowerActions& power_;
    JournalSink& sink_;
};

} // namespace tarnix
