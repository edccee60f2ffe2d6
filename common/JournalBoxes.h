#pragma once

#include <string>
#include <vector>

#include "common/MessageBox.h"
#include "common/PowerActions.h"
#include "common/StatusJournal.h"

namespace tarnix {

// The message boxes of a face that nobody looks at: each box is one journal line with its title
// and text, at the box's severity, and nothing waits for anyone. A question (the port in use)
// is answered Yes, "end the program", as nobody can resolve it there. A box that warns or
// reports an error ends the program with a failure when the program ends after it.
class JournalBoxes final : public MessageBoxes {
public:
    explicit JournalBoxes(JournalSink& sink) : sink_(sink) {}

    BoxAnswer Show(const std::string& title, const std::vector<std::string>& lines, BoxIcon icon,
                   BoxButtons buttons) override;
    void Notify(const std::string& title, const std::vector<std::string>& lines, BoxIcon icon) override;

    // Whether a warning or an error was shown: the program's end is then a failure.
    bool Failed() const { return failed_; }

    static JournalPriority PriorityOf(BoxIcon icon);

private:
    void Write(const std::string& title, const std::vector<std::string>& lines, BoxIcon icon);

    JournalSink& sink_;
    bool failed_ = false;
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
