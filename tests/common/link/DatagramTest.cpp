#include "common/link/Datagram.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace tarnix {
namespace {

struct FrameCase {
    const char* what;
    std::string text;
    bool wellFormed;
};

std::string Payload(std::size_t n) {
    return std::string(n, 'x');
}

TEST(DatagramTest, WellFormedRule) {
    const FrameCase cases[] = {
        {"poll", "<TNA100>", true},
        {"reset command", "<TNC000>", true},
        {"test command", "<TNT000>", true},
        {"error reply", "<TNE100>", true},
        {"7 characters", "<TNA10>", false},
        {"length 01 without payload", "<TNA101>", false},
        {"no final >", "<TNA100", false},
        {"lower-case start", "<tnA100>", false},
        {"trailing text after >", "<TNA100>x", false},
        {"3-character payload", "<TNA103abc>", true},
        {"payload without length", "<TNA100abc>", false},
        {"largest frame", "<TNA199" + Payload(99) + ">", true},
        {"one payload character too many", "<TNA199" + Payload(100) + ">", false},
        // The length field is read leniently.
        {"blank before digit", "<TNA1 3abc>", true},
        {"blank after digit", "<TNA13 abc>", true},
        {"blank field", "<TNA1  >", true},
        {"no number reads 0", "<TNA1xx>", true},
        {"no number but payload", "<TNA1xxy>", false},
        {"sign", "<TNA1+1y>", true},
        {"negative", "<TNA1-1>", false},
        {"negative zero", "<TNA1-0>", true},
        {"decimal point", "<TNA11.y>", true},
        {"fraction never matches", "<TNA1.5>", false},
        {"exponent without digits", "<TNA11ey>", true},
        // Any bytes are accepted where nothing is tested, and none can break the check.
        {"NUL letter and digit",
         "<TN\0\0"
         "00>"s,
         true},
        {"non-ASCII letter",
         "<TN\xC3\xA9"
         "00>",
         true},
        {"NUL in length",
         "<TNA1\0"
         "0>"s,
         true},
        {"empty", "", false},
        {"only >", ">", false},
        {"start and end overlap", "<TN>", false},
        {"largest UDP datagram", "<TNA100" + Payload(65507 - 8) + ">", false},
        {"largest UDP datagram of NULs", std::string(65507, '\0'), false},
    };
    for (const FrameCase& c : cases)
        EXPECT_EQ(IsWellFormed(c.text), c.wellFormed) << c.what;
}

TEST(DatagramTest, StatusReplyIsAWellFormedFrameWithLetterAndPhase) {
    struct {
        char letter;
        int phase;
        const char* reply;
    } const cases[] = {{'B', 1, "<TNB100>"}, {'S', 0, "<TNS000>"}, {'P', 2, "<TNP200>"}};
    for (const auto& c : cases) {
        const std::string reply = StatusReply(c.letter, c.phase);
        EXPECT_EQ(reply, c.reply);
        EXPECT_TRUE(IsWellFormed(reply)) << reply;
        EXPECT_EQ(TypeLetter(reply), c.letter);
        EXPECT_EQ(StateDigitValue(reply), c.phase);
    }
}

TEST(DatagramTest, ReadersOfAWellFormedFrame) {
    struct {
        const char* frame;
        char letter;
        double state;
        bool reset;
        bool test;
    } const cases[] = {
        {"<TNC000>", 'C', 0, true, false},    {"<TNT000>", 'T', 0, false, true},
        {"<TNC100>", 'C', 1, false, false},   {"<TNc000>", 'c', 0, false, false},
        {"<TNT003abc>", 'T', 0, false, true}, {"<TNPx00>", 'P', 0, false, false},
        {"<TNP 00>", 'P', 0, false, false},   {"<TNE100>", 'E', 1, false, false},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(IsWellFormed(c.frame)) << c.frame;
        EXPECT_EQ(TypeLetter(c.frame), c.letter) << c.frame;
        EXPECT_EQ(StateDigitValue(c.frame), c.state) << c.frame;
        EXPECT_EQ(IsResetCommand(c.frame), c.reset) << c.frame;
        EXPECT_EQ(IsTestCommand(c.frame), c.test) << c.frame;
    }
    // Misuse on a short text reads nothing instead of reading past its end.
    EXPECT_EQ(TypeLetter("<TN"), '\0');
    EXPECT_FALSE(IsResetCommand("<TNC"));
}

} // namespace
} // namespace tarnix
