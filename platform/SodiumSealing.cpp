#include "platform/SodiumSealing.h"

#include <sodium.h>

#include <algorithm>
#include <stdexcept>

namespace tarnix {
namespace {

class HmacTagger : public MessageTagger {
public:
    explicit HmacTagger(const PeerKey& key) {
        crypto_auth_hmacsha256_init(&keyed_, key.bytes.data(), key.bytes.size());
    }
    ~HmacTagger() override { sodium_memzero(&keyed_, sizeof keyed_); }
    HmacTagger(const HmacTagger&) = delete;
    HmacTagger& operator=(const HmacTagger&) = delete;

    SealTag Tag(char side, std::string_view message) override {
        crypto_auth_hmacsha256_state state = keyed_;
        const auto sideByte = static_cast<unsigned char>(side);
        crypto_auth_hmacsha256_update(&state, &sideByte, 1);
        crypto_auth_hmacsha256_update(&state, reinterpret_cast<const unsigned char*>(message.data()),
                                      message.size());
        unsigned char full[crypto_auth_hmacsha256_BYTES];
        crypto_auth_hmacsha256_final(&state, full);
        SealTag tag{};
        std::copy_n(full, tag.size(), tag.begin());
        return tag;
    }

    bool Matches(char side, std::string_view message, const SealTag& tag) override {
        const SealTag expected = Tag(side, message);
        return sodium_memcmp(expected.data(), tag.data(), tag.size()) == 0;
    }

private:
    crypto_auth_hmacsha256_state keyed_{};
};

} // namespace

SodiumSealing::SodiumSealing() {
    // Without entropy there is no sound session or challenge: nothing may go on with a guess.
    if (sodium_init() < 0) throw std::runtime_error("libsodium could not start");
}

std::unique_ptr<MessageTagger> SodiumSealing::TaggerFor(const PeerKey& key) {
    return std::make_unique<HmacTagger>(key);
}

std::uint64_t SodiumSealing::RandomNumber() {
    std::uint64_t value = 0;
    while (value == 0)
        randombytes_buf(&value, sizeof value);
    return value;
}

} // namespace tarnix
