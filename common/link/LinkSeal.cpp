#include "common/link/LinkSeal.h"

#include <utility>

namespace tarnix {
namespace {

struct SealHeader {
    std::uint64_t session, challenge, echo, sequence;
};

void PutNumber(std::string& out, std::uint64_t value) {
    for (int shift = 56; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

std::uint64_t NumberAt(std::string_view data, std::size_t at) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < 8; ++i)
        value = (value << 8) | static_cast<std::uint8_t>(data[at + i]);
    return value;
}

SealHeader HeaderOf(std::string_view datagram) {
    const std::size_t at = SealMagic.size();
    return {NumberAt(datagram, at), NumberAt(datagram, at + 8), NumberAt(datagram, at + 16),
            NumberAt(datagram, at + 24)};
}

SealTag TagAtEnd(std::string_view datagram) {
    SealTag tag{};
    const std::string_view tail = datagram.substr(datagram.size() - SealTagSize);
    for (std::size_t i = 0; i < SealTagSize; ++i)
        tag[i] = static_cast<std::uint8_t>(tail[i]);
    return tag;
}

} // namespace

bool LooksSealed(std::string_view datagram) {
    return datagram.size() >= SealHeaderSize + SealTagSize && datagram.starts_with(SealMagic);
}

LinkSeal::LinkSeal(SealSide side, Sealing& sealing, const PeerKey& key)
    : side_(static_cast<char>(side)),
      peerSide_(side == SealSide::Master ? static_cast<char>(SealSide::Slave)
                                         : static_cast<char>(SealSide::Master)),
      sealing_(sealing), tagger_(sealing.TaggerFor(key)), session_(sealing.RandomNumber()),
      challenge_(sealing.RandomNumber()) {}

std::string LinkSeal::Seal(std::string_view frame) {
    return SealEchoing(peerChallenge_, frame);
}

std::string LinkSeal::Answer() {
    return SealEchoing(handshakeChallenge_, {});
}

std::string LinkSeal::SealEchoing(std::uint64_t echo, std::string_view frame) {
    std::string datagram;
    datagram.reserve(SealHeaderSize + frame.size() + SealTagSize);
    datagram += SealMagic;
    PutNumber(datagram, session_);
    PutNumber(datagram, challenge_);
    PutNumber(datagram, echo);
    PutNumber(datagram, ++sequence_);
    datagram += frame;
    const SealTag tag = tagger_->Tag(side_, datagram);
    datagram.append(reinterpret_cast<const char*>(tag.data()), tag.size());
    return datagram;
}

LinkSeal::Verdict LinkSeal::Open(std::string_view datagram, std::string& frame) {
    if (!LooksSealed(datagram)) return Verdict::KeyMismatch;
    const std::string_view message = datagram.substr(0, datagram.size() - SealTagSize);
    if (!tagger_->Matches(peerSide_, message, TagAtEnd(datagram))) return Verdict::KeyMismatch;

    const SealHeader header = HeaderOf(datagram);
    const std::string_view body = message.substr(SealHeaderSize);
    if (header.session == peerSession_ && header.sequence <= peerSequence_) return Verdict::Replayed;
    if (header.echo != challenge_) {
        if (body.empty()) return Verdict::Outdated; // an answer is never answered
        handshakeChallenge_ = header.challenge;
        return Verdict::Handshake;
    }
    // It echoes the challenge in force, so it was sealed since this end last took up a session.
    if (header.session != peerSession_) TakeUpPeerSession(header.session);
    peerSequence_ = header.sequence;
    peerChallenge_ = header.challenge;
    if (body.empty()) return Verdict::Accepted;
    frame.assign(body);
    return Verdict::Frame;
}

// Whatever the peer's earlier sessions sealed echoes an earlier challenge from now on.
void LinkSeal::TakeUpPeerSession(std::uint64_t session) {
    peerSession_ = session;
    challenge_ = sealing_.RandomNumber();
    newChallenge_ = true;
}

bool LinkSeal::TakeNewChallengeNotice() {
    return std::exchange(newChallenge_, false);
}

} // namespace tarnix
