// Adapter initialisation and reset: bring a discovered board into its known
// state without setting a mode, and return every board to VGA on reset.
#include "miniport/chip_access.h"
#include "miniport/hardware.h"
#include "miniport/korvid.h"
#include "miniport/registry.h"

namespace {

constexpr ULONG CURSOR_COLOR_WHITE = 0xFFFFFF;
constexpr ULONG DRIVER_OPTION_DEFAULT = 1;

VOID program_memory_type(PBOARD_EXTENSION ext)
{
    if (ext->ulMemoryType == MEMORY_TYPE_SGRAM) {
        Zorx_write_io(ext, IO_MEMORY_TYPE,
                      (Zorx_read_io(ext, IO_MEMORY_TYPE) & SGRAM_TYPE_KEEP_MASK) |
                          SGRAM_TYPE_SET_BITS);
        Zorx_write_io(ext, IO_SGRAM_TIMING, SGRAM_TIMING);
        Zorx_write_io(ext, IO_SGRAM_TIMING, SGRAM_TIMING_LOAD | SGRAM_TIMING);
    } else {
        Zorx_write_io(ext, IO_MEMORY_TYPE,
                      (Zorx_read_io(ext, IO_MEMORY_TYPE) & WRAM_TYPE_KEEP_MASK) |
                          WRAM_TYPE_SET_BITS);
    }
}

VOID initialize_board(PBOARD_EXTENSION ext)
{
    ext->ulMemConfig = 0;
    ext->ulMemoryType =
        (ext->ulBoardConfig & BOARD_CONFIG_SGRAM) ? MEMORY_TYPE_SGRAM : MEMORY_TYPE_WRAM;
    ext->AccessRanges[RANGE_FRAME_BUFFER].RangeLength = Zorx_vram_size(ext);
    ext->AccessRanges[RANGE_XY_WINDOW].RangeLength = XY_WINDOW_LENGTH;
    ext->ulDacType = Zorx_dac_type(ext);

    // Validation runs before the registry's custom rates are applied.
    Zorx_init_mode_info(ext);

    Zorx_native_configuration(ext);
    ext->fDeclock = (Zorx_read_io(ext, IO_MCLOCK_STRAP) & MCLOCK_STRAP_MASK) == 0 ? 1 : 0;

    Zorx_set_registry_parameters(ext);
    Zorx_get_registry_parameters(ext);

    if (ext->fDeclock)
        Zorx_set_declock(ext, DECLOCK_PLL_WORD);
    else
        Zorx_set_mclock(ext, MCLOCK_SELECT_GRAPHICS);

    Zorx_open_windows(ext);
    program_memory_type(ext);

    ext->ulCursorColor = CURSOR_COLOR_WHITE;
    ext->ulDriverOption = DRIVER_OPTION_DEFAULT;
    ext->ulFlags = FLAG_ALL_VIRTUAL_MODES | FLAG_INITIALIZED;
}

} // namespace

KORVID_API BOOLEAN Zorx_Initialize(PVOID)
{
    // The video port initialises a device when it is opened, and the display
    // driver opens one and reaches the other boards by selecting them. One
    // mode table serves every board and each board narrows it, so the whole
    // chain is brought up at the first call, in discovery order, before any
    // request reaches a board; a later open finds its board as it was.
    for (PBOARD_EXTENSION board = first_board; board; board = board->pNextBoard)
        if (!(board->ulFlags & FLAG_INITIALIZED))
            initialize_board(board);
    return TRUE;
}

KORVID_API BOOLEAN Zorx_ResetHw(PVOID HwDeviceExtension, ULONG, ULONG)
{
    // Registers and stalls only: this may run at raised IRQL. A board that
    // was never initialised is still in the state the system left it in.
    for (PBOARD_EXTENSION board = static_cast<PBOARD_EXTENSION>(HwDeviceExtension); board;
         board = board->pNextBoard)
        if (board->ulFlags & FLAG_INITIALIZED)
            Zorx_set_vga_mode(board, FALSE);
    return FALSE;
}
