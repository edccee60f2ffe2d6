// The tagger against HMAC-SHA-256 values computed elsewhere (Python's hmac module): the keyed
// state that each tag starts from a copy of must give the right tag every time, in any order.

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "platform/SodiumSealing.h"

namespace tarnix {
namespace {

std::string Hex(const SealTag& tag) {
    std::string text;
    for (const std::uint8_t byte : tag) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", byte);
        text += digits;
    }
    return text;
}

TEST(SodiumSealing, TagsAreTruncatedHmacSha256OfTheSideAndTheMessageEveryTime) {
    SodiumSealing sealing;
    PeerKey key;
    for (std::size_t i = 0; i < key.bytes.size(); ++i)
        key.bytes[i] = static_cast<std::uint8_t>(i * 7);
    const std::unique_ptr<MessageTagger> tagger = sealing.TaggerFor(key);
    struct Case {
        char side;
        std::string message;
        const char* tag;
    };
    const std::vector<Case> cases = {{'M', "TNK1 first", "d81726b056a20944c135b52f2a7d07c8"},
                                     {'S', "TNK1 first", "0e1b9d2649a5a8092630429aef4479b3"},
                                     {'M', "", "d287a1d104030ccf8c4b46f9af0bf7ca"},
                                     {'M', std::string(300, 'x'), "e7d6839dfe2abe74302babd62f936241"},
                                     {'S', "TNK1 last", "5d85f2f6f5cfd474e866d9ca6310c3ef"}};
    for (int round = 0; round < 2; ++round)
        for (const Case& c : cases) {
            const SealTag tag = tagger->Tag(c.side, c.message);
            EXPECT_EQ(Hex(tag), c.tag) << c.side << c.message.size();
            EXPECT_TRUE(tagger->Matches(c.side, c.message, tag));
            SealTag wrong = tag;
            wrong[15] ^= 0x80;
            EXPECT_FALSE(tagger->Matches(c.side, c.message, wrong));
        }
}

TEST(SodiumSealing, NumbersAreFreshAndNeverZero) {
    SodiumSealing sealing;
    std::set<std::uint64_t> numbers;
    for (int i = 0; i < 100; ++i)
        numbers.insert(sealing.RandomNumber());
    EXPECT_EQ(numbers.size(), 100u);
    EXPECT_FALSE(numbers.contains(0));
}

} // namespace
} // namespace tarnix
