#pragma once

#include "common/LinkSeal.h"

namespace tarnix {

// HMAC-SHA-256 from OpenSSL's libcrypto, cut to SealTagSize bytes, and its random numbers.
class OpenSslSealing : public Sealing {
public:
    std::unique_ptr<MessageTagger> TaggerFor(const PeerKey& key) override;
    std::uint64_t RandomNumber() override;
};

} // namespace tarnix
