// The miniport's callbacks and the globals of discovery.
#pragma once

#include "miniport/board.h"

// PCI identity of the family's graphics chip.
constexpr USHORT KORVID_PCI_VENDOR_ID = 0x1A7C;
constexpr USHORT KORVID_PCI_DEVICE_ID = 0x0526;

extern ULONG num_boards;
extern ULONG memory_type;
extern PBOARD_EXTENSION primary_vga;
extern PBOARD_EXTENSION first_board;
// Kernel mapping of the system's video BIOS image at 0xC0000, made while the
// first board is found (kernel mappings belong to discovery); null when it failed.
extern PVOID bios_rom;

KORVID_API ULONG DriverEntry(PVOID Context1, PVOID Context2);
KORVID_API VP_STATUS Zorx_FindAdapter(PVOID HwDeviceExtension, PVOID HwContext,
                                      PWSTR ArgumentString, PVIDEO_PORT_CONFIG_INFO ConfigInfo,
                                      PUCHAR Again);
KORVID_API BOOLEAN Zorx_Initialize(PVOID HwDeviceExtension);
KORVID_API BOOLEAN Zorx_StartIO(PVOID HwDeviceExtension, PVIDEO_REQUEST_PACKET RequestPacket);
KORVID_API BOOLEAN Zorx_ResetHw(PVOID HwDeviceExtension, ULONG Columns, ULONG Rows);

BOOLEAN Zorx_get_access_ranges(PBOARD_EXTENSION ext);
BOOLEAN Zorx_map_access_ranges(PBOARD_EXTENSION ext);
// Whether the board is the system's VGA (the first VGA-compatible board
// found), the only one the BIOS services drive.
BOOLEAN Zorx_is_primary_vga(PBOARD_EXTENSION ext);
