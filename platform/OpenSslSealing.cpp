#include "platform/OpenSslSealing.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <stdexcept>

namespace tarnix {
namespace {

void RandomBytes(unsigned char* out, int count) {
    // Without entropy there is no sound key or session: nothing may go on with a guess.
    if (RAND_bytes(out, count) != 1) throw std::runtime_error("no random numbers from the system");
}

// One keyed HMAC context, initialised again with the same key for each tag.
class HmacTagger : public MessageTagger {
public:
    explicit HmacTagger(const PeerKey& key) {
        mac_ = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
        if (mac_ != nullptr) context_ = EVP_MAC_CTX_new(mac_);
        char digest[] = "SHA256";
        const OSSL_PARAM parameters[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                                         OSSL_PARAM_construct_end()};
        if (context_ == nullptr ||
            EVP_MAC_init(context_, key.bytes.data(), key.bytes.size(), parameters) != 1)
            throw std::runtime_error("HMAC-SHA-256 is not available");
        keyed_ = true;
    }
    ~HmacTagger() override {
        EVP_MAC_CTX_free(context_);
        EVP_MAC_free(mac_);
    }
    HmacTagger(const HmacTagger&) = delete;
    HmacTagger& operator=(const HmacTagger&) = delete;

    SealTag Tag(char side, std::string_view message) override {
        unsigned char full[EVP_MAX_MD_SIZE];
        std::size_t length = 0;
        SealTag tag{};
        // The first use goes on from the keying; each later one starts again with the same key.
        const bool ready = keyed_ || EVP_MAC_init(context_, nullptr, 0, nullptr) == 1;
        keyed_ = false;
        const auto* sideByte = reinterpret_cast<const unsigned char*>(&side);
        if (!ready || EVP_MAC_update(context_, sideByte, 1) != 1 ||
            EVP_MAC_update(context_, reinterpret_cast<const unsigned char*>(message.data()),
                           message.size()) != 1 ||
            EVP_MAC_final(context_, full, &length, sizeof full) != 1 || length < tag.size())
            throw std::runtime_error("HMAC-SHA-256 failed");
        std::copy_n(full, tag.size(), tag.begin());
        return tag;
    }

    bool Matches(char side, std::string_view message, const SealTag& tag) override {
        const SealTag expected = Tag(side, message);
        return CRYPTO_memcmp(expected.data(), tag.data(), tag.size()) == 0;
    }

private:
    EVP_MAC* mac_ = nullptr;
    EVP_MAC_CTX* context_ = nullptr;
    bool keyed_ = false;
};

} // namespace

std::unique_ptr<MessageTagger> OpenSslSealing::TaggerFor(const PeerKey& key) {
    return std::make_unique<HmacTagger>(key);
}

std::uint64_t OpenSslSealing::RandomNumber() {
    std::uint64_t value = 0;
    while (value == 0)
        RandomBytes(reinterpret_cast<unsigned char*>(&value), sizeof value);
    return value;
}

} // namespace tarnix
