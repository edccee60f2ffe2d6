// The polkit rule grants exactly the logind actions the power layer can call, so a power call
// added or renamed in one place and not the other fails here instead of failing on a user's
// computer when the countdown ends.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>

#include "platform/LogindPower.h"

namespace tarnix {
namespace {

// logind names its polkit actions after the method verb: PowerOff -> power-off.
std::string ActionStem(const std::string& verb) {
    std::string stem;
    for (const char c : verb) {
        if (std::isupper(static_cast<unsigned char>(c))) {
            if (!stem.empty()) stem += '-';
            stem += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        } else {
            stem += c;
        }
    }
    return stem;
}

std::set<std::string> ActionsInRule() {
    std::ifstream in(TARNIX_POLKIT_RULE);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    const std::regex action(R"re("(org\.freedesktop\.login1\.[a-z-]+)")re");
    std::set<std::string> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), action); it != std::sregex_iterator(); ++it)
        found.insert((*it)[1]);
    return found;
}

TEST(PolkitRule, GrantsExactlyTheActionsOfThePowerCalls) {
    std::set<std::string> expected;
    for (const PowerCall call : {PowerCall::PowerOff, PowerCall::Reboot, PowerCall::Halt,
                                 PowerCall::EndSession, PowerCall::Hibernate, PowerCall::Suspend}) {
        const std::string verb = LogindVerb(call).toStdString();
        if (verb.empty()) continue; // the own session ends without a permission
        // Other users logged in, and their inhibitors when forced, each need their own grant.
        for (const char* variant : {"", "-multiple-sessions", "-ignore-inhibit"})
            expected.insert("org.freedesktop.login1." + ActionStem(verb) + variant);
    }
    ASSERT_EQ(expected.size(), 15u);
    EXPECT_EQ(ActionsInRule(), expected);
}

TEST(PolkitRule, ActionStemsFollowLogindsNames) {
    EXPECT_EQ(ActionStem("PowerOff"), "power-off");
    EXPECT_EQ(ActionStem("Suspend"), "suspend");
}

} // namespace
} // namespace tarnix
