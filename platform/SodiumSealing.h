#pragma once

#include "common/link/LinkSeal.h"

namespace tarnix {

// HMAC-SHA-256 from libsodium, cut to SealTagSize bytes, and its random numbers. The key's
// state is computed once; each tag starts from a copy of it, with no allocation, so that a
// master's few tags a second cost little even with cold caches.
class SodiumSealing : public Sealing {
public:
    SodiumSealing(); // throws when libsodium cannot start (no random numbers from the system)
    std::unique_ptr<MessageTagger> TaggerFor(const PeerKey& key) override;
    std::uint64_t RandomNumber() override;
};

} // namespace tarnix
