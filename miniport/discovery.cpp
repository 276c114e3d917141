// Adapter discovery: claim one board of the family per call, map its
// apertures and append it to the board chain.
#include "korvid.h"

KORVID_DATA ULONG num_boards = 0;
KORVID_DATA ULONG memory_type = 0;
// The first VGA-compatible board on the bus: the system's VGA, whose BIOS
// is the one at 0xC0000 and the one the BIOS services drive.
KORVID_DATA PBOARD_EXTENSION primary_vga = nullptr;
KORVID_DATA PVOID bios_rom = nullptr;

namespace {

KORVID_DATA PBOARD_EXTENSION* pchain = nullptr;

// PCI configuration space offsets.
constexpr ULONG PCI_COMMAND = 0x04;
constexpr ULONG PCI_CLASS_REVISION = 0x08;
constexpr ULONG PCI_SUBSYSTEM = 0x2C;
constexpr ULONG PCI_COMMAND_DECODE = 0x3; // I/O and memory space decoding
constexpr ULONG PCI_SUBCLASS_SHIFT = 16;
constexpr ULONG PCI_SUBCLASS_MASK = 0xFF;
constexpr ULONG PCI_SUBCLASS_VGA = 0x00;

// The standard VGA ports the board also answers on.
constexpr ULONG VGA_PORT_START = 0x3C0;
constexpr ULONG VGA_PORT_LENGTH = 0x20;

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

BOOLEAN Zorx_get_access_ranges(PBOARD_EXTENSION ext)
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
    ULONG slot = 0;
    if (VideoPortGetAccessRanges(ext, 0, nullptr, NUM_ACCESS_RANGES, ext->AccessRanges, &vendor,
                                 &device, &slot) != NO_ERROR)
        return FALSE;

    ext->AccessRanges[RANGE_FRAME_BUFFER].RangeInIoSpace = VIDEO_MEMORY_SPACE_P6CACHE;
    memory_type = read_config(ext, slot, PCI_SUBSYSTEM);
    ext->ulBoardConfig = memory_type >> 16;
    ext->ulPciClassRevision = read_config(ext, slot, PCI_CLASS_REVISION);
    if (ext->ulBoardConfig > BOARD_CONFIG_MAX)
        return FALSE;

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

    if (pchain)
        *pchain = ext;
    pchain = &ext->pNextBoard;
    ++num_boards;
    if (!primary_vga && is_vga_compatible(ext)) {
        primary_vga = ext;
        bios_rom = map_bios_rom(ext);
    }
    *Again = TRUE;
    return NO_ERROR;
}
