// Feeds arbitrary datagrams to a keyed master's and a keyed slave's sockets, interleaved with
// supervision seconds. Some inputs are sealed here with the pair's own key around header values
// and a frame taken from the input, so that what follows a good tag (sessions, echoes,
// sequence numbers, the answers to out-of-date datagrams) is explored too; the rest must fail
// the tag. No input may crash the programs or drive them into undefined behaviour.

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzPrograms.h"

using namespace tarnix;
using namespace tarnix::testing;

namespace {

const std::string KeyDigits(64, '5');

struct KeyedPrograms : FuzzPrograms {
    SodiumSealing sealing;
    std::unique_ptr<MessageTagger> tagger;

    KeyedPrograms() {
        folder.WriteKey("TarnixM.key", KeyDigits);
        folder.WriteKey("TarnixS.key", KeyDigits);
        Start({{"IPAdd1", "127.0.0.2"}}, "127.0.0.2");
        PeerKey key;
        key.bytes.fill(0x55);
        tagger = sealing.TaggerFor(key);
    }

    // The magic, the input as header and frame, and the tag a peer on the given side would give it.
    std::string Sealed(char side, const std::string& input) const {
        std::string datagram = std::string(SealMagic) + input;
        if (datagram.size() < SealHeaderSize) datagram.resize(SealHeaderSize, '\0');
        const SealTag tag = tagger->Tag(side, datagram);
        return datagram.append(reinterpret_cast<const char*>(tag.data()), tag.size());
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto programs = std::make_unique<KeyedPrograms>();
    // The first byte: bit 0 the receiver, bit 1 whether the rest is sealed here, bit 7 whether
    // a second passes; the rest is the datagram, or what is sealed.
    if (size == 0) return 0;
    const std::uint8_t control = data[0];
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    const bool toMaster = (control & 1) != 0;
    const std::string datagram = (control & 2) != 0 ? programs->Sealed(toMaster ? 'S' : 'M', input) : input;
    try {
        if (toMaster) {
            programs->master->Port(1).Arrive(datagram, std::string("127.0.0.2"));
            programs->master->program->ReadAllPorts();
        } else {
            programs->slave->port.Arrive(datagram, std::string("127.0.0.1"));
        }
        if (control & 0x80) {
            programs->slave->Tick();
            programs->master->Tick();
            programs->master->Tick();
        }
        programs->network.Deliver(); // the answers and polls reach the other program
    } catch (const ProgramEnded&) {
        programs.reset();
        programs = std::make_unique<KeyedPrograms>();
    }
    return 0;
}
