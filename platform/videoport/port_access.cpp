// Register and port access: the chip's registers, memory apertures and the
// I/O block, each access traced with its width and value.
#include "platform/videoport/videoport_internal.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using korvid_host::videoport::bus_fault;
using korvid_host::videoport::device_at;
using korvid_host::videoport::record;
using sim::Aperture;
using sim::Op;

namespace {

constexpr size_t kPortWidth = 4;

// Port operations reach the I/O block only.
sim::Location port_at(const char* what, const void* port)
{
    sim::Location loc = device_at(what, port, kPortWidth);
    if (loc.aperture != Aperture::IoBlock)
        bus_fault((std::string(what) + " outside the I/O block").c_str(), port, kPortWidth);
    return loc;
}

// Register operations reach memory space only: an I/O-space address there
// is a port, which the port operations serve.
sim::Location register_at(const char* what, const void* p, size_t len)
{
    sim::Location loc = device_at(what, p, len);
    if (loc.aperture == Aperture::IoBlock) {
        std::fprintf(stderr, "videoport: %s at %p is an I/O-space address\n", what, p);
        std::abort();
    }
    return loc;
}

// A register write of `width` bytes: the chip's registers take it with
// their side effects, memory apertures store it (the low bytes of `value`).
void write_register(void* reg, int width, uint32_t value)
{
    sim::Location loc = register_at("register write", reg, width);
    record(loc.board->index(), Op::Write, loc.aperture, width, loc.offset, value);
    if (loc.aperture == Aperture::Registers)
        loc.board->write_register(loc.offset, width, value);
    else
        std::memcpy(reg, &value, width);
}

} // namespace

extern "C" {

ULONG NTAPI VideoPortReadRegisterUlong(PULONG reg)
{
    sim::Location loc = register_at("register read", reg, 4);
    uint32_t v = 0;
    if (loc.aperture == Aperture::Registers)
        v = loc.board->read_register(loc.offset, 4);
    else
        std::memcpy(&v, reg, 4);
    record(loc.board->index(), Op::Read, loc.aperture, 4, loc.offset, v);
    return v;
}

VOID NTAPI VideoPortWriteRegisterUlong(PULONG reg, ULONG value)
{
    write_register(reg, 4, value);
}

VOID NTAPI VideoPortWriteRegisterUchar(PUCHAR reg, UCHAR value)
{
    write_register(reg, 1, value);
}

ULONG NTAPI VideoPortReadPortUlong(PULONG port)
{
    sim::Location loc = port_at("port read", port);
    uint32_t v = loc.board->read_io(loc.offset);
    record(loc.board->index(), Op::Read, Aperture::IoBlock, 4, loc.offset, v);
    return v;
}

VOID NTAPI VideoPortWritePortUlong(PULONG port, ULONG value)
{
    sim::Location loc = port_at("port write", port);
    record(loc.board->index(), Op::Write, Aperture::IoBlock, 4, loc.offset, value);
    loc.board->write_io(loc.offset, value);
}

} // extern "C"
