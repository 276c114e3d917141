// korvid-sim: boots the simulated machine with the miniport and shows, in
// plain terms, what the boards are doing.
#include "sim/decode.h"
#include "sim/host_driver.h"
#include "sim/machine.h"

#include <cstdio>

int main()
{
    sim::Machine machine({sim::BoardSpec{}});
    ULONG status = machine.boot(sim::host_miniport());
    std::printf("korvid-sim: simulated machine with %zu board(s); driver load status %lu\n",
                machine.num_boards(), status);
    for (auto& b : machine.boards())
        std::printf("  board %d: configuration code 0x%02X, %u MiB %s\n", b->index(),
                    b->spec().config_code, b->memory_size() >> 20,
                    sim::is_sgram_code(b->spec().config_code) ? "SGRAM" : "WRAM");
    return status == 0 ? 0 : 1;
}
