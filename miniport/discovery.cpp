// Adapter discovery: claim one board of the family per call, map its
// apertures and append it to the board chain.
#include "miniport/korvid.h"
#include "miniport/regs.h"

KORVID_DATA ULONG num_boards = 0;
KORVID_DATA ULONG memory_type = 0;
// The first VGA-compatible board on the bus: the system's VGA, whose BIOS
// is the one at 0xC0000 and the one the BIOS services drive.
KORVID_DATA PBOARD_EXTENSION primary_vga = nullptr;
// The head of the board chain: the first board found.
KORVID_DATA PBOARD_EXTENSION first_board = nullptr;
KORVID_DATA PVOID bios_rom = nullptr;

namespace {

KORVID_DATA PBOARD_EXTENSION* pchain = nullptr;

// The standard VGA ports the board also answers on.
constexpr ULONG VGA_PORT_START = 0x3C0;
constexpr ULONG VGA_PORT_LENGTH = 0x20;

// What the chip's base address registers decode: 64 KiB of registers and a
// 256-byte I/O block.
constexpr ULONG REGISTER_APERTURE_LENGTH = 0x10000;
constexpr ULONG IO_BLOCK_LENGTH = 0x100;
// A bus has at most 32 devices: one call looks no further for a usable board.
constexpr ULONG MAX_BOARDS_PER_BUS = 32;

// The video BIOS image the display driver may read.
constexpr ULONG BIOS_ROM_START = 0xC0000;
constexpr ULONG BIOS_ROM_LENGTH = 0x8000;

ULONG read_config(PBOARD_EXTENSION ext, ULONG slot, ULONG offset)
{
    ULONG value = 0;
    VideoPortGetBusData(ext, PCIConfiguration, slot, &value, offset, sizeof value);
    return value;
}

PUCHAR map_range(PBOARD_EXTENSION ext, ULONG index)
{
    VIDEO_ACCESS_RANGE* range = &ext->AccessRanges[index];
    return static_cast<PUCHAR>(
        VideoPortGetDeviceBase(ext, range->RangeStart, range->RangeLength, range->RangeInIoSpace));
}

BOOLEAN is_vga_compatible(PBOARD_EXTENSION ext)
{
    return ((ext->ulPciClassRevision >> PCI_SUBCLASS_SHIFT) & PCI_SUBCLASS_MASK) ==
           PCI_SUBCLASS_VGA;
}

PVOID map_bios_rom(PBOARD_EXTENSION ext)
{
    PHYSICAL_ADDRESS start;
    start.LowPart = BIOS_ROM_START;
    start.HighPart = 0;
    return VideoPortGetDeviceBase(ext, start, BIOS_ROM_LENGTH, VIDEO_MEMORY_SPACE_MEMORY);
}

} // namespace

BOOLEAN Zorx_is_primary_vga(PBOARD_EXTENSION ext)
{
    return ext == primary_vga;
}

namespace {

// Asks the video port for the next board of the family on this bus, with the
// VGA ports preset in entry 7.
VP_STATUS claim_next_board(PBOARD_EXTENSION ext, ULONG* slot)
{
    VIDEO_ACCESS_RANGE* vga = &ext->AccessRanges[RANGE_VGA_PORTS];
    vga->RangeStart.LowPart = VGA_PORT_START;
    vga->RangeStart.HighPart = 0;
    vga->RangeLength = VGA_PORT_LENGTH;
    vga->RangeInIoSpace = 1;
    vga->RangeVisible = 0;
    vga->RangeShareable = 1;

    USHORT vendor = KORVID_PCI_VENDOR_ID;
    USHORT device = KORVID_PCI_DEVICE_ID;
    *slot = 0;
    return VideoPortGetAccessRanges(ext, 0, nullptr, NUM_ACCESS_RANGES, ext->AccessRanges, &vendor,
                                    &device, slot);
}

BOOLEAN range_is(PBOARD_EXTENSION ext, ULONG index, UCHAR in_io_space, ULONG least_length)
{
    const VIDEO_ACCESS_RANGE* range = &ext->AccessRanges[index];
    return range->RangeInIoSpace == in_io_space && range->RangeLength >= least_length;
}

// The ranges sit where the board's base address registers put them only when
// the BIOS assigned every register: one left unassigned gives no range and
// moves the later ones up, so an I/O range would land where memory is
// expected. Checked before anything is mapped.
BOOLEAN ranges_in_place(PBOARD_EXTENSION ext)
{
    return range_is(ext, RANGE_FRAME_BUFFER, 0, 1) &&
           range_is(ext, RANGE_XY_WINDOW, 0, XY_WINDOW_LENGTH) &&
           range_is(ext, RANGE_REGISTERS, 0, REGISTER_APERTURE_LENGTH) &&
           range_is(ext, RANGE_IO_PORTS, 1, IO_BLOCK_LENGTH);
}

// Reads the board's identity; FALSE for a configuration the driver does not know.
BOOLEAN read_identity(PBOARD_EXTENSION ext, ULONG slot)
{
    memory_type = read_config(ext, slot, PCI_SUBSYSTEM);
    ext->ulBoardConfig = memory_type >> PCI_SUBSYSTEM_ID_SHIFT;
    ext->ulPciClassRevision = read_config(ext, slot, PCI_CLASS_REVISION);
    return ext->ulBoardConfig <= BOARD_CONFIG_MAX;
}

} // namespace

// A board whose resources the video port refuses (a conflict) or reports
// out of place or too short is passed over, and the next board of the bus is
// asked for, so that one such board does not hide the others.
BOOLEAN Zorx_get_access_ranges(PBOARD_EXTENSION ext)
{
    ULONG slot = 0;
    for (ULONG tried = 0;; ++tried) {
        if (tried == MAX_BOARDS_PER_BUS)
            return FALSE;
        VP_STATUS status = claim_next_board(ext, &slot);
        if (status == ERROR_DEV_NOT_EXIST)
            return FALSE;
        if (status == NO_ERROR && ranges_in_place(ext)) {
            ext->AccessRanges[RANGE_FRAME_BUFFER].RangeInIoSpace = VIDEO_MEMORY_SPACE_P6CACHE;
            if (!read_identity(ext, slot))
                return FALSE;
            // The whole of video memory is cleared through the frame-buffer aperture.
            if (ext->AccessRanges[RANGE_FRAME_BUFFER].RangeLength >= Zorx_vram_size(ext))
                break;
        }
        VideoPortZeroMemory(ext->AccessRanges, sizeof ext->AccessRanges);
    }

    ext->AccessRanges[RANGE_XY_WINDOW].RangeVisible = 1;
    ext->AccessRanges[RANGE_REGISTERS].RangeVisible = 1;

    ULONG command = read_config(ext, slot, PCI_COMMAND) | PCI_COMMAND_DECODE;
    VideoPortSetBusData(ext, PCIConfiguration, slot, &command, PCI_COMMAND, sizeof command);
    return TRUE;
}

BOOLEAN Zorx_map_access_ranges(PBOARD_EXTENSION ext)
{
    ext->pRegisters = map_range(ext, RANGE_REGISTERS);
    if (!ext->pRegisters)
        return FALSE;
    ext->pIoPorts = map_range(ext, RANGE_IO_PORTS);
    if (!ext->pIoPorts)
        return FALSE;
    ext->pVgaPorts = map_range(ext, RANGE_VGA_PORTS);
    ext->pFrameBuffer = map_range(ext, RANGE_FRAME_BUFFER);
    return ext->pFrameBuffer != nullptr;
}

KORVID_API VP_STATUS Zorx_FindAdapter(PVOID HwDeviceExtension, PVOID, PWSTR,
                                      PVIDEO_PORT_CONFIG_INFO ConfigInfo, PUCHAR Again)
{
    PBOARD_EXTENSION ext = static_cast<PBOARD_EXTENSION>(HwDeviceExtension);
    if (ConfigInfo->Length < CONFIG_INFO_SIZE_NT4)
        return ERROR_INVALID_PARAMETER;
    if (!Zorx_get_access_ranges(ext))
        return ERROR_DEV_NOT_EXIST;
    if (!Zorx_map_access_ranges(ext))
        return ERROR_INVALID_PARAMETER;

    // No emulated VGA register access and no saved hardware state.
    ConfigInfo->VdmPhysicalVideoMemoryAddress.LowPart = 0;
    ConfigInfo->VdmPhysicalVideoMemoryAddress.HighPart = 0;
    ConfigInfo->VdmPhysicalVideoMemoryLength = 0;
    ConfigInfo->NumEmulatorAccessEntries = 0;
    ConfigInfo->EmulatorAccessEntries = nullptr;
    ConfigInfo->EmulatorAccessEntriesContext = 0;
    ConfigInfo->HardwareStateSize = 0;

    if (pchain) {
        *pchain = ext;
    } else {
        first_board = ext;
        // The system's video BIOS image, which the display driver may read
        // through any board; kernel mappings are made while boards are found.
        bios_rom = map_bios_rom(ext);
    }
    pchain = &ext->pNextBoard;
    ++num_boards;
    if (!primary_vga && is_vga_compatible(ext))
        primary_vga = ext;
    *Again = TRUE;
    return NO_ERROR;
}
