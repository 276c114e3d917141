#include "platform/videoport/videoport_internal.h"

#include <cstdio>
#include <cstdlib>

namespace korvid_host::videoport {

System& current_system()
{
    System* m = System::current();
    if (!m) {
        std::fprintf(stderr, "videoport: no simulated machine\n");
        std::abort();
    }
    return *m;
}

void bus_fault(const char* what, const void* p, size_t len)
{
    std::fprintf(stderr, "videoport: %s at %p (%zu bytes) lies in no device aperture\n", what, p,
                 len);
    std::abort();
}

void record(int board, sim::Op op, sim::Aperture ap, int width, uint32_t offset, uint32_t value)
{
    System& m = current_system();
    m.machine().trace.add(sim::Event{board, op, ap, static_cast<uint8_t>(width), offset, value});
    m.platform_call();
}

sim::Location device_at(const char* what, const void* p, size_t len)
{
    sim::Location loc = current_system().machine().locate(p, len);
    if (!loc.board)
        bus_fault(what, p, len);
    return loc;
}

} // namespace korvid_host::videoport
