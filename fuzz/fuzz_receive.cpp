// Feeds arbitrary datagrams, interleaved with supervision seconds, to a master's and a slave's
// receive handlers: no input may crash them or drive them into undefined behaviour.

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzPrograms.h"

using namespace tarnix;
using namespace tarnix::testing;

namespace {

struct Programs : FuzzPrograms {
    Programs() { Start({{"IPAdd2", "127.0.0.2"}}, "127.0.0.1"); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The state carries over from one input to the next, as in a long run.
    static auto programs = std::make_unique<Programs>();
    // The first byte chooses the receiver and whether a second passes; the rest is the datagram.
    if (size == 0) return 0;
    const std::uint8_t control = data[0];
    const std::string datagram(reinterpret_cast<const char*>(data + 1), size - 1);
    try {
        if (control & 1) {
            programs->master->program->OnDatagram(1 + (control >> 1) % 4, datagram);
        } else {
            programs->slave->program->OnDatagram(datagram);
        }
        if (control & 0x80) {
            programs->slave->Tick();
            programs->master->Tick();
            programs->master->Tick();
        }
        programs->network.Drop();
    } catch (const ProgramEnded&) {
        // A countdown ran out and the program ended: start over.
        programs.reset();
        programs = std::make_unique<Programs>();
    }
    return 0;
}
