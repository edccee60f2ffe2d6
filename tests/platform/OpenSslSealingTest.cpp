// The tagger against libcrypto's one-shot HMAC: the keyed context that is used again for each
// tag must give the same tag as a fresh one every time.

#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <set>

#include "platform/OpenSslSealing.h"

namespace tarnix {
namespace {

SealTag OneShot(const PeerKey& key, char side, const std::string& message) {
    const std::string data = std::string(1, side) + message;
    unsigned char full[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha256(), key.bytes.data(), static_cast<int>(key.bytes.size()),
         reinterpret_cast<const unsigned char*>(data.data()), data.size(), full, &length);
    SealTag tag{};
    std::copy_n(full, tag.size(), tag.begin());
    return tag;
}

TEST(OpenSslSealing, TagsAreTruncatedHmacSha256OfTheSideAndTheMessageEveryTime) {
    OpenSslSealing sealing;
    PeerKey key;
    for (std::size_t i = 0; i < key.bytes.size(); ++i)
        key.bytes[i] = static_cast<std::uint8_t>(i * 7);
    const std::unique_ptr<MessageTagger> tagger = sealing.TaggerFor(key);
    const std::vector<std::pair<char, std::string>> messages = {{'M', "TNK1 first"},
                                                                {'S', "TNK1 first"},
                                                                {'M', ""},
                                                                {'M', std::string(300, 'x')},
                                                                {'S', "TNK1 last"}};
    for (const auto& [side, message] : messages) {
        const SealTag tag = tagger->Tag(side, message);
        EXPECT_EQ(tag, OneShot(key, side, message)) << side << message.size();
        EXPECT_TRUE(tagger->Matches(side, message, tag));
        SealTag wrong = tag;
        wrong[15] ^= 0x80;
        EXPECT_FALSE(tagger->Matches(side, message, wrong));
    }
}

TEST(OpenSslSealing, NumbersAreFreshAndNeverZero) {
    OpenSslSealing sealing;
    std::set<std::uint64_t> numbers;
    for (int i = 0; i < 100; ++i)
        numbers.insert(sealing.RandomNumber());
    EXPECT_EQ(numbers.size(), 100u);
    EXPECT_FALSE(numbers.contains(0));
}

} // namespace
} // namespace tarnix
