#include "common/supervision/ShutdownModule.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

namespace tarnix {
namespace {

std::string Name(PowerCall call) {
    switch (call) {
    case PowerCall::PowerOff:
        return "PowerOff";
    case PowerCall::Reboot:
        return "Reboot";
    case PowerCall::Halt:
        return "Halt";
    case PowerCall::EndSession:
        return "EndSession";
    case PowerCall::Hibernate:
        return "Hibernate";
    case PowerCall::Suspend:
        return "Suspend";
    }
    return "?";
}

// Records what the module asks of the system, in order.
class FakeBackend : public PowerBackend {
public:
    PrivilegeAnswer Can(PowerCall call, std::string& errorText) override {
        log.push_back("Can(" + Name(call) + ")");
        errorText = answerText;
        return answer;
    }
    PowerCallResult Call(PowerCall call, bool force) override {
        log.push_back("Call(" + Name(call) + (force ? ", force)" : ", gentle)"));
        return result;
    }

    PrivilegeAnswer answer = PrivilegeAnswer::Yes;
    std::string answerText;
    PowerCallResult result;
    std::vector<std::string> log;
};

PowerActionError Raised(const std::function<void()>& action) {
    try {
        action();
    } catch (const PowerActionError& error) {
        return error;
    }
    ADD_FAILURE() << "no error was raised";
    return PowerActionError(0, "", "");
}

using Log = std::vector<std::string>;

TEST(ShutdownSystem, PerformsTheStrongestActionOfTheFlagsAfterThePrivilegeStep) {
    const struct {
        std::int32_t code;
        std::string call;
        std::string force;
    } cases[] = {
        {0, "EndSession", "gentle"}, {1, "Halt", "gentle"},      {2, "Reboot", "gentle"},
        {3, "Reboot", "gentle"},     {4, "EndSession", "force"}, {5, "Halt", "force"},
        {6, "Reboot", "force"},      {8, "PowerOff", "gentle"},  {9, "PowerOff", "gentle"},
        {10, "PowerOff", "gentle"},  {12, "PowerOff", "force"},  {16, "EndSession", "gentle"},
        {17, "Halt", "gentle"},      {31, "PowerOff", "force"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        FakeBackend backend;
        ShutdownModule module(backend, "TarnixM");
        EXPECT_TRUE(module.ShutdownSystem(c.code));
        EXPECT_EQ(backend.log, (Log{"Can(" + c.call + ")", "Call(" + c.call + ", " + c.force + ")"}));
    }
}

TEST(ShutdownSystem, RejectsCodesOutsideTheFlagsBeforeAskingAnything) {
    const struct {
        std::int32_t code;
        std::string program;
        std::string description;
    } cases[] = {
        {-1, "TarnixM", "Invalid parameter to ShutdownSystem: -1"},
        {32, "TarnixS", "Invalid parameter to ShutdownSystem: 32"},
        {INT32_MIN, "TarnixM", "Invalid parameter to ShutdownSystem: -2147483648"},
        {INT32_MAX, "TarnixM", "Invalid parameter to ShutdownSystem: 2147483647"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        FakeBackend backend;
        ShutdownModule module(backend, c.program);
        const PowerActionError error = Raised([&] { module.ShutdownSystem(c.code); });
        EXPECT_EQ(error.Number, 0x8004062Fu);
        EXPECT_EQ(error.Source, c.program + ".mShutDown");
        EXPECT_EQ(error.Description, c.description);
        EXPECT_STREQ(error.what(), c.description.c_str());
        EXPECT_TRUE(backend.log.empty());
    }
}

TEST(ShutdownModule, RaisesWhenThePrivilegeIsNotGrantedAndThenActsNot) {
    const std::string noPrivilege =
        "Can't enable shutdown: You do not have the privileges to shutdown this system. [why]";
    const struct {
        PrivilegeAnswer answer;
        std::uint32_t number;
        std::string description;
    } answers[] = {
        {PrivilegeAnswer::No, 0x8004062E, noPrivilege},
        {PrivilegeAnswer::Challenge, 0x8004062E, noPrivilege},
        {PrivilegeAnswer::Failed, 0x8004062E, noPrivilege},
        {PrivilegeAnswer::ServiceMissing, 0x8004062C,
         "Can't enable shutdown: logind could not be reached on the system bus. [why]"},
        {PrivilegeAnswer::BusUnreachable, 0x8004062C,
         "Can't enable shutdown: The system bus could not be reached. [why]"},
    };
    const struct {
        std::string name;
        std::function<void(ShutdownModule&)> act;
        std::string call;
    } actions[] = {
        {"ShutdownSystem(12)", [](ShutdownModule& m) { m.ShutdownSystem(12); }, "PowerOff"},
        {"HibernateSystem", [](ShutdownModule& m) { m.HibernateSystem(); }, "Hibernate"},
        {"StandbySystem", [](ShutdownModule& m) { m.StandbySystem(); }, "Suspend"},
    };
    for (const auto& a : answers) {
        for (const auto& action : actions) {
            SCOPED_TRACE(action.name + " answer " + std::to_string(static_cast<int>(a.answer)));
            FakeBackend backend;
            backend.answer = a.answer;
            backend.answerText = "why";
            ShutdownModule module(backend, "TarnixS");
            const PowerActionError error = Raised([&] { action.act(module); });
            EXPECT_EQ(error.Number, a.number);
            EXPECT_EQ(error.Source, "TarnixS.mShutDown");
            EXPECT_EQ(error.Description, a.description);
            EXPECT_EQ(backend.log, Log{"Can(" + action.call + ")"});
        }
    }
}

// "na" is no question of rights: the user must change the action, not the account.
TEST(ShutdownModule, ActionNotAvailableHereIsAFailedCallNamingTheAction) {
    const struct {
        std::function<void(ShutdownModule&)> act;
        std::string description;
    } actions[] = {
        {[](ShutdownModule& m) { m.HibernateSystem(); },
         "Hibernation is not available on this computer. [na]"},
        {[](ShutdownModule& m) { m.StandbySystem(); }, "Standby is not available on this computer. [na]"},
        {[](ShutdownModule& m) { m.ShutdownSystem(2); }, "Reboot is not available on this computer. [na]"},
    };
    for (const auto& action : actions) {
        FakeBackend backend;
        backend.answer = PrivilegeAnswer::NotAvailable;
        backend.answerText = "na";
        ShutdownModule module(backend, "TarnixM");
        const PowerActionError error = Raised([&] { action.act(module); });
        EXPECT_EQ(error.Number, 0x8004062Bu);
        EXPECT_EQ(error.Description, action.description);
        EXPECT_EQ(backend.log.size(), 1u) << "nothing is attempted";
    }
}

TEST(ShutdownModule, EmptySystemTextLeavesEmptyBrackets) {
    FakeBackend backend;
    backend.answer = PrivilegeAnswer::ServiceMissing;
    ShutdownModule module(backend, "TarnixM");
    EXPECT_EQ(Raised([&] { module.EnableShutdownPrivilege(PowerCall::Reboot); }).Description,
              "Can't enable shutdown: logind could not be reached on the system bus. []");
}

TEST(ShutdownSystem, RaisesTheSystemsReasonWhenTheActionIsRefused) {
    const struct {
        PowerCallResult result;
        std::string description;
    } cases[] = {
        {{false, "org.freedesktop.DBus.Error.AccessDenied", "Permission denied"},
         "ShutdownSystem failed: Permission denied"},
        {{false, "org.freedesktop.DBus.Error.AccessDenied", ""},
         "ShutdownSystem failed: org.freedesktop.DBus.Error.AccessDenied"},
    };
    for (const auto& c : cases) {
        FakeBackend backend;
        backend.result = c.result;
        ShutdownModule module(backend, "TarnixM");
        const PowerActionError error = Raised([&] { module.ShutdownSystem(6); });
        EXPECT_EQ(error.Number, 0x8004062Bu);
        EXPECT_EQ(error.Source, "TarnixM.mShutDown");
        EXPECT_EQ(error.Description, c.description);
    }
}

TEST(ShutdownModule, SuspensionsAreForcedAndTheirFailureIsNotReported) {
    const struct {
        std::function<bool(ShutdownModule&)> act;
        std::string call;
    } cases[] = {
        {[](ShutdownModule& m) { return m.HibernateSystem(); }, "Hibernate"},
        {[](ShutdownModule& m) { return m.StandbySystem(); }, "Suspend"},
    };
    for (const auto& c : cases) {
        for (const bool succeeds : {true, false}) {
            SCOPED_TRACE(c.call + (succeeds ? " succeeds" : " fails"));
            FakeBackend backend;
            backend.result = {succeeds, succeeds ? "" : "org.freedesktop.login1.SleepVerbNotSupported", "no"};
            ShutdownModule module(backend, "TarnixM");
            EXPECT_TRUE(c.act(module));
            EXPECT_EQ(backend.log, (Log{"Can(" + c.call + ")", "Call(" + c.call + ", force)"}));
        }
    }
}

} // namespace
} // namespace tarnix
