#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/link/PeerKey.h"

namespace tarnix {

// A keyed datagram: "TNK1", then four 64-bit numbers in network order (the sender's session,
// its challenge, the echo of the receiver's challenge as the sender last heard it, and the
// sender's sequence number), then the frame, then the first 16 bytes of the tag over the side
// that sent it ('M' or 'S') and everything before the tag. An empty frame only tells the peer
// the sender's session and challenge.
inline constexpr std::string_view SealMagic = "TNK1";
inline constexpr std::size_t SealHeaderSize = 4 + 4 * 8;
inline constexpr std::size_t SealTagSize = 16;
using SealTag = std::array<std::uint8_t, SealTagSize>;

// One key's message authentication code, from a crypto library.
class MessageTagger {
public:
    virtual ~MessageTagger() = default;
    virtual SealTag Tag(char side, std::string_view message) = 0;
    // Compares in constant time.
    virtual bool Matches(char side, std::string_view message, const SealTag& tag) = 0;
};

// What sealing takes from a crypto library: a tagger per key, and unpredictable numbers.
class Sealing {
public:
    virtual ~Sealing() = default;
    virtual std::unique_ptr<MessageTagger> TaggerFor(const PeerKey& key) = 0;
    virtual std::uint64_t RandomNumber() = 0; // never 0
};

enum class SealSide : char { Master = 'M', Slave = 'S' };

// True for a datagram shaped as a keyed one: the magic and room for a header and a tag.
bool LooksSealed(std::string_view datagram);

// One end of a keyed link.
//
// Freshness needs no clock. Each end draws a session number at start and keeps a challenge,
// drawn at start and again whenever it takes up a new session of its peer. A datagram is heard
// only when it echoes the receiver's current challenge, so nothing recorded before the
// receiver's start, or before the peer's latest start, is heard; within a session the sequence
// number must grow, so nothing recorded meanwhile is heard twice. A datagram whose tag is good
// but whose echo is out of date (the peer or this end restarted) is answered with an empty one
// that tells its sender the challenge now in force: a restarted pair is connected again after
// one exchange each way.
class LinkSeal {
public:
    enum class Verdict {
        Frame,       // heard, with a frame for the program
        Accepted,    // heard, nothing to pass on (an empty datagram)
        Handshake,   // good tag, out-of-date echo: answer with Answer()
        Outdated,    // an empty datagram with an out-of-date echo: nothing to do
        KeyMismatch, // unkeyed, sealed with another key, or altered
        Replayed,    // a sequence number of the peer's session that was heard already
    };

    LinkSeal(SealSide side, Sealing& sealing, const PeerKey& key);

    std::string Seal(std::string_view frame);
    // On Frame, `frame` holds the peer's frame.
    Verdict Open(std::string_view datagram, std::string& frame);
    // The answer to the last Handshake: this end's session and challenge, echoing the sender's.
    std::string Answer();
    // True once after this end took up a new session of its peer and drew a new challenge: the
    // peer must learn it before its next datagram, which would echo the old one.
    bool TakeNewChallengeNotice();

private:
    std::string SealEchoing(std::uint64_t echo, std::string_view frame);
    void TakeUpPeerSession(std::uint64_t session);

    char side_;
    char peerSide_;
    Sealing& sealing_;
    std::unique_ptr<MessageTagger> tagger_;
    std::uint64_t session_;
    std::uint64_t challenge_;
    std::uint64_t sequence_ = 0;
    std::uint64_t peerSession_ = 0; // 0: none heard yet
    std::uint64_t peerChallenge_ = 0;
    std::uint64_t peerSequence_ = 0;
    std::uint64_t handshakeChallenge_ = 0; // the challenge of the last Handshake datagram
    bool newChallenge_ = false;
};

} // namespace tarnix
