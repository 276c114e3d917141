// VideoPortInt10: the real-mode BIOS, which is the system VGA's whichever
// device asks.
#include "platform/videoport/videoport_internal.h"

using korvid_host::System;
using korvid_host::videoport::check_not_in_reset;
using korvid_host::videoport::current_system;
using korvid_host::videoport::record;

namespace {

constexpr ULONG kSetModeFunction = 0xFF00; // AH = 0: set video mode
constexpr ULONG kModeNumber = 0x7F;        // AL without its keep-memory bit
constexpr ULONG kTextMode = 3;             // 80x25 colour text

bool sets_text_mode(const VIDEO_X86_BIOS_ARGUMENTS& args)
{
    return (args.Eax & kSetModeFunction) == 0 && (args.Eax & kModeNumber) == kTextMode;
}

} // namespace

extern "C" {

VP_STATUS NTAPI VideoPortInt10(PVOID ext, PVIDEO_X86_BIOS_ARGUMENTS args)
{
    System& m = current_system();
    check_not_in_reset(m, "VideoPortInt10");
    int board = m.board_of_extension(ext);
    m.record_int10(*args);
    record(board, sim::Op::Int10, sim::Aperture::VgaPorts, 0, 0, args->Eax);
    if (m.faults().int10_status != NO_ERROR)
        return m.faults().int10_status;
    sim::Machine& machine = m.machine();
    int vga = machine.primary_vga();
    if (vga < 0)
        return ERROR_INVALID_FUNCTION;
    machine.drive_vga_ports();
    if (sets_text_mode(*args))
        machine.board(vga).set_text_mode(true);
    return NO_ERROR;
}

} // extern "C"
