// The private requests of the family's display driver.
#include "platform/freestanding/little_endian.h"
#include "miniport/custom_refresh.h"
#include "miniport/hardware.h"
#include "miniport/korvid.h"
#include "miniport/private_ioctl.h"
#include "miniport/registry.h"
#include "miniport/requests.h"

VP_STATUS IOReturnString(PVIDEO_REQUEST_PACKET packet, const CHAR* text)
{
    ULONG length = 0;
    while (text[length])
        ++length;
    ULONG size = packet->OutputBufferLength;
    if (size == 0) {
        // Nothing can be returned; tell the caller the room it needs.
        packet->StatusBlock->Information = length + 1;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    // A short buffer gets the text cut to fit, still NUL-terminated.
    if (length > size - 1)
        length = size - 1;
    PCHAR out = static_cast<PCHAR>(packet->OutputBuffer);
    for (ULONG i = 0; i < size; ++i)
        out[i] = i < length ? text[i] : 0;
    packet->StatusBlock->Information = length + 1;
    return NO_ERROR;
}

namespace {

constexpr ULONG WORD_BYTES = 4;
constexpr ULONG CURRENT_MODE_ROW = 0xFFFFFFFF;
constexpr ULONG MAX_STALL_US = 50;
constexpr ULONG CURSOR_COLOR_INPUT_BYTES = 6;
constexpr ULONG GAMMA_HEADER_BYTES = 4;
constexpr ULONG GAMMA_INPUT_MIN_BYTES = 8;
constexpr ULONG REFRESH_INPUT_BYTES = 12;
constexpr ULONG DRIVER_OPTION_MASK = 3;
constexpr ULONG MEGABYTE_SHIFT = 20;
constexpr ULONG DISPLAY_DRIVER_CONSTANT_128 = 128;
constexpr ULONG DISPLAY_DRIVER_CONSTANT_592 = 592;

const CHAR CHIP_NAME[] = "Orvanel(tm), Rev. 1";
const CHAR DAC_RGB526_NAME[] = "IBM RGB 526";
const CHAR DAC_RGB528_NAME[] = "IBM RGB 528";
const CHAR UNKNOWN_NAME[] = "UNKOWN";
const CHAR WRAM_NAME[] = "WRAM";
const CHAR SGRAM_NAME[] = "SGRAM";
const CHAR BUS_NAME[] = "PCI";
const CHAR BOARD_NAME[] = "Halcyra(tm) 3D";

ULONG input_word(PVIDEO_REQUEST_PACKET p, ULONG index = 0)
{
    return load_le32(static_cast<const UCHAR*>(p->InputBuffer) + index * WORD_BYTES);
}

// Answers one 32-bit word.
VP_STATUS return_word(PVIDEO_REQUEST_PACKET p, ULONG value)
{
    if (!output_fits(p, WORD_BYTES))
        return ERROR_INSUFFICIENT_BUFFER;
    store_le32(p->OutputBuffer, value);
    return NO_ERROR;
}

VP_STATUS map_bios_rom(PBOARD_EXTENSION, PVIDEO_REQUEST_PACKET p)
{
    if (!output_fits(p, WORD_BYTES))
        return ERROR_INSUFFICIENT_BUFFER;
    // The image at 0xC0000 is the system VGA's BIOS, whichever board asks:
    // with a primary board of the family it is the right one, and the
    // mapping is only read. It was mapped while the boards were found.
    if (!bios_rom)
        return ERROR_INVALID_PARAMETER;
    store_le32(p->OutputBuffer, static_cast<ULONG>(reinterpret_cast<ULONG_PTR>(bios_rom)));
    return NO_ERROR;
}

VP_STATUS get_board_config(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    return return_word(p, ext->ulBoardConfig);
}

VP_STATUS set_virtuals_flag(PBOARD_EXTENSION, PVIDEO_REQUEST_PACKET p)
{
    if (!input_fits(p, WORD_BYTES))
        return ERROR_INSUFFICIENT_BUFFER;
    gVirtualsFlag = input_word(p);
    return NO_ERROR;
}

// The row an extent request asks about, or null when it names no row.
PDISPLAY_MODE requested_row(PBOARD_EXTENSION ext, ULONG row)
{
    if (row == CURRENT_MODE_ROW)
        return Zorx_current_row(ext);
    return row < num_display_modes ? &display_mode[row] : nullptr;
}

VP_STATUS get_extra_extent(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p, BOOLEAN height)
{
    if (!input_fits(p, WORD_BYTES))
        return ERROR_INSUFFICIENT_BUFFER;
    ULONG row = input_word(p);
    if (!output_fits(p, WORD_BYTES))
        return ERROR_INSUFFICIENT_BUFFER;
    PDISPLAY_MODE mode = requested_row(ext, row);
    if (!mode)
        return ERROR_INVALID_PARAMETER;
    store_le32(p->OutputBuffer, height ? mode->ulExtraHeight : mode->ulExtraWidth);
    return NO_ERROR;
}

VP_STATUS get_extra_height(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    return get_extra_extent(ext, p, TRUE);
}

VP_STATUS get_extra_width(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    return get_extra_extent(ext, p, FALSE);
}

VP_STATUS select_board(PBOARD_EXTENSION, PVIDEO_REQUEST_PACKET p)
{
    if (!input_fits(p, WORD_BYTES))
        return ERROR_INSUFFICIENT_BUFFER;
    boardNumber = input_word(p);
    return NO_ERROR;
}

VP_STATUS stall(PBOARD_EXTENSION, PVIDEO_REQUEST_PACKET p)
{
    if (!input_fits(p, WORD_BYTES))
        return ERROR_INSUFFICIENT_BUFFER;
    ULONG us = input_word(p);
    if (us != 0)
        VideoPortStallExecution(us > MAX_STALL_US ? MAX_STALL_US : us);
    return NO_ERROR;
}

VP_STATUS get_num_boards(PBOARD_EXTENSION, PVIDEO_REQUEST_PACKET p)
{
    return return_word(p, num_boards);
}

VP_STATUS get_bus_type(PBOARD_EXTENSION, PVIDEO_REQUEST_PACKET p)
{
    return return_word(p, PRIV_BUS_TYPE_PCI);
}

VP_STATUS nop(PBOARD_EXTENSION, PVIDEO_REQUEST_PACKET p)
{
    return input_fits(p, WORD_BYTES) ? NO_ERROR : ERROR_INSUFFICIENT_BUFFER;
}

VP_STATUS set_mclock_index(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    if (!input_fits(p, WORD_BYTES))
        return ERROR_INSUFFICIENT_BUFFER;
    // WRAM boards take their memory clock from the board configuration.
    if (ext->ulMemoryType == MEMORY_TYPE_SGRAM)
        ext->ulMclockIndex = input_word(p);
    return NO_ERROR;
}

VP_STATUS get_chip_name(PBOARD_EXTENSION, PVIDEO_REQUEST_PACKET p)
{
    return IOReturnString(p, CHIP_NAME);
}

// A board property's name by its value; UNKNOWN_NAME for a value not listed.
struct PROPERTY_NAME {
    ULONG value;
    const CHAR* name;
};

const PROPERTY_NAME DAC_NAMES[] = {
    {DAC_TYPE_RGB526, DAC_RGB526_NAME},
    {DAC_TYPE_RGB526_DRAM, DAC_RGB526_NAME},
    {DAC_TYPE_RGB528, DAC_RGB528_NAME},
};
const PROPERTY_NAME MEMORY_TYPE_NAMES[] = {
    {MEMORY_TYPE_WRAM, WRAM_NAME},
    {MEMORY_TYPE_SGRAM, SGRAM_NAME},
};

template <ULONG N>
VP_STATUS return_name(PVIDEO_REQUEST_PACKET p, ULONG value, const PROPERTY_NAME (&names)[N])
{
    for (const PROPERTY_NAME& entry : names)
        if (entry.value == value)
            return IOReturnString(p, entry.name);
    return IOReturnString(p, UNKNOWN_NAME);
}

VP_STATUS get_dac_name(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    return return_name(p, ext->ulDacType, DAC_NAMES);
}

VP_STATUS get_memory_type_name(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    return return_name(p, ext->ulMemoryType, MEMORY_TYPE_NAMES);
}

VP_STATUS get_memory_size_mb(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    return return_word(p, board_memory_size(ext) >> MEGABYTE_SHIFT);
}

VP_STATUS get_bus_name(PBOARD_EXTENSION, PVIDEO_REQUEST_PACKET p)
{
    return IOReturnString(p, BUS_NAME);
}

VP_STATUS get_constant_128(PBOARD_EXTENSION, PVIDEO_REQUEST_PACKET p)
{
    return return_word(p, DISPLAY_DRIVER_CONSTANT_128);
}

VP_STATUS get_constant_592(PBOARD_EXTENSION, PVIDEO_REQUEST_PACKET p)
{
    return return_word(p, DISPLAY_DRIVER_CONSTANT_592);
}

VP_STATUS get_board_name(PBOARD_EXTENSION, PVIDEO_REQUEST_PACKET p)
{
    return IOReturnString(p, BOARD_NAME);
}

VP_STATUS set_flag_from_byte(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p, ULONG flag)
{
    if (!input_fits(p, 1))
        return ERROR_INSUFFICIENT_BUFFER;
    if (*static_cast<const UCHAR*>(p->InputBuffer))
        ext->ulFlags |= flag;
    else
        ext->ulFlags &= ~flag;
    return NO_ERROR;
}

VP_STATUS set_all_virtual_modes(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    return set_flag_from_byte(ext, p, FLAG_ALL_VIRTUAL_MODES);
}

VP_STATUS set_test_modes(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    return set_flag_from_byte(ext, p, FLAG_TEST_MODES);
}

VP_STATUS set_cursor_color(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    if (!input_fits(p, CURSOR_COLOR_INPUT_BYTES))
        return ERROR_INSUFFICIENT_BUFFER;
    // Three 16-bit words; only their low bytes carry the colour.
    const UCHAR* in = static_cast<const UCHAR*>(p->InputBuffer);
    ext->ulCursorColor = (ULONG(in[0]) << 16) | (ULONG(in[2]) << 8) | ULONG(in[4]);
    vSetCursorColor(ext);
    return NO_ERROR;
}

VP_STATUS apply_cursor_color(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET)
{
    vSetCursorColor(ext);
    return NO_ERROR;
}

VP_STATUS set_driver_option(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    if (!input_fits(p, WORD_BYTES))
        return ERROR_INSUFFICIENT_BUFFER;
    ext->ulDriverOption = input_word(p) & DRIVER_OPTION_MASK;
    return NO_ERROR;
}

VP_STATUS get_driver_option(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    return return_word(p, ext->ulDriverOption);
}

VP_STATUS set_gamma_ramp(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    if (!input_fits(p, GAMMA_INPUT_MIN_BYTES))
        return ERROR_INSUFFICIENT_BUFFER;
    ULONG header = input_word(p);
    const ULONG* words = reinterpret_cast<const ULONG*>(static_cast<const UCHAR*>(p->InputBuffer) +
                                                        GAMMA_HEADER_BYTES);
    LONG word_bytes = static_cast<LONG>(p->InputBufferLength - GAMMA_HEADER_BYTES);
    if (!fSetGammaLUT(ext, header & 0xFFFF, header >> 16, words, word_bytes))
        return ERROR_INVALID_PARAMETER;
    return NO_ERROR;
}

VP_STATUS gamma_control(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    if (!output_fits(p, WORD_BYTES) || !input_fits(p, WORD_BYTES))
        return ERROR_INSUFFICIENT_BUFFER;
    ULONG command = input_word(p);
    ULONG answer = 0;
    if (fQueryGammaSupport(ext)) {
        switch (command) {
        case GAMMA_CONTROL_DISABLE:
            answer = fDisableGammaSupport(ext) ? 1 : 0;
            break;
        case GAMMA_CONTROL_ENABLE:
            answer = fEnableGammaSupport(ext) ? 1 : 0;
            break;
        case GAMMA_CONTROL_QUERY:
            answer = 1;
            break;
        default:
            break;
        }
    }
    store_le32(p->OutputBuffer, answer);
    return NO_ERROR;
}

VP_STATUS update_gamma(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET)
{
    return fQueryGammaSupport(ext) && fUpdateGammaLUT(ext) ? NO_ERROR : ERROR_INVALID_PARAMETER;
}

VP_STATUS get_all_virtual_modes(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    return return_word(p, (ext->ulFlags & FLAG_ALL_VIRTUAL_MODES) ? 1 : 0);
}

struct REFRESH_INPUT {
    ULONG refresh;
    ULONG pixel_clock;
    ULONG pll_word;
};

REFRESH_INPUT read_refresh_input(PVIDEO_REQUEST_PACKET p)
{
    return REFRESH_INPUT{input_word(p, 0), input_word(p, 1), input_word(p, 2)};
}

VP_STATUS set_custom_refresh(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    if (!input_fits(p, REFRESH_INPUT_BYTES))
        return ERROR_INSUFFICIENT_BUFFER;
    REFRESH_INPUT in = read_refresh_input(p);
    if (!output_fits(p, sizeof(CUSTOM_REFRESH_ENTRY)))
        return ERROR_INSUFFICIENT_BUFFER;
    ULONG found = fill_custom_slots(ext->ulCurrentMode, in.refresh, in.pll_word, in.pixel_clock);
    if (found == NO_ROW)
        return ERROR_INVALID_PARAMETER;
    PCUSTOM_REFRESH_ENTRY out = static_cast<PCUSTOM_REFRESH_ENTRY>(p->OutputBuffer);
    GetKeyString(out->szValueName, found);
    store_le32(&out->ulRefresh, in.refresh);
    store_le32(&out->ulPixelClock, in.pixel_clock);
    store_le32(&out->ulPllWord, in.pll_word);
    return NO_ERROR;
}

VP_STATUS try_refresh(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    if (!input_fits(p, REFRESH_INPUT_BYTES))
        return ERROR_INSUFFICIENT_BUFFER;
    REFRESH_INPUT in = read_refresh_input(p);
    if (!output_fits(p, WORD_BYTES))
        return ERROR_INSUFFICIENT_BUFFER;
    ULONG row = fill_trial_slot(ext->ulCurrentMode, in.refresh, in.pll_word, in.pixel_clock);
    if (row == NO_ROW)
        return ERROR_INVALID_PARAMETER;
    store_le32(p->OutputBuffer, ulZorx_GetModes(ext, nullptr, row + 1));
    return NO_ERROR;
}

VP_STATUS get_totals(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    const DISPLAY_MODE* mode = Zorx_current_row(ext);
    if (!mode)
        return ERROR_INVALID_PARAMETER;
    const MODE_TIMING* t = mode->pTiming;
    ULONG h_total = (ULONG(t->usHActive) + t->usHBlank) * t->usCharWidth;
    ULONG v_total = ULONG(t->usVActive) + t->usVBlank;
    return return_word(p, (h_total << 16) | v_total);
}

VP_STATUS query_refresh(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    if (!input_fits(p, WORD_BYTES))
        return ERROR_INSUFFICIENT_BUFFER;
    ULONG refresh = input_word(p);
    ULONG exists = 0;
    for (ULONG row = 0; row < num_display_modes && !exists; ++row)
        exists = CompareModes(ext->ulCurrentMode, row, COMPARE_IGNORE_REFRESH) &&
                 display_mode[row].ModeInformation.Frequency == refresh &&
                 !(display_mode[row].pTiming->ulTimingFlags & TIMING_TEST_SLOT);
    return return_word(p, exists);
}

const REQUEST_ENTRY PRIVATE_REQUESTS[] = {
    {IOCTL_PRIV_MAP_BIOS_ROM, map_bios_rom},
    {IOCTL_PRIV_GET_BOARD_CONFIG, get_board_config},
    {IOCTL_PRIV_SET_VIRTUALS_FLAG, set_virtuals_flag},
    {IOCTL_PRIV_GET_EXTRA_HEIGHT, get_extra_height},
    {IOCTL_PRIV_GET_EXTRA_WIDTH, get_extra_width},
    {IOCTL_PRIV_SELECT_BOARD, select_board},
    {IOCTL_PRIV_STALL, stall},
    {IOCTL_PRIV_GET_NUM_BOARDS, get_num_boards},
    {IOCTL_PRIV_GET_BUS_TYPE, get_bus_type},
    {IOCTL_PRIV_NOP, nop},
    {IOCTL_PRIV_SET_MCLOCK_INDEX, set_mclock_index},
    {IOCTL_PRIV_GET_CHIP_NAME, get_chip_name},
    {IOCTL_PRIV_GET_DAC_NAME, get_dac_name},
    {IOCTL_PRIV_GET_MEMORY_TYPE_NAME, get_memory_type_name},
    {IOCTL_PRIV_GET_MEMORY_SIZE_MB, get_memory_size_mb},
    {IOCTL_PRIV_GET_BUS_NAME, get_bus_name},
    {IOCTL_PRIV_GET_CONSTANT_128, get_constant_128},
    {IOCTL_PRIV_GET_CONSTANT_592, get_constant_592},
    {IOCTL_PRIV_GET_BOARD_NAME, get_board_name},
    {IOCTL_PRIV_SET_ALL_VIRTUAL_MODES, set_all_virtual_modes},
    {IOCTL_PRIV_SET_CURSOR_COLOR, set_cursor_color},
    {IOCTL_PRIV_APPLY_CURSOR_COLOR, apply_cursor_color},
    {IOCTL_PRIV_SET_DRIVER_OPTION, set_driver_option},
    {IOCTL_PRIV_GET_DRIVER_OPTION, get_driver_option},
    {IOCTL_PRIV_SET_GAMMA_RAMP, set_gamma_ramp},
    {IOCTL_PRIV_GAMMA_CONTROL, gamma_control},
    {IOCTL_PRIV_UPDATE_GAMMA, update_gamma},
    {IOCTL_PRIV_GET_ALL_VIRTUAL_MODES, get_all_virtual_modes},
    {IOCTL_PRIV_SET_CUSTOM_REFRESH, set_custom_refresh},
    {IOCTL_PRIV_TRY_REFRESH, try_refresh},
    {IOCTL_PRIV_GET_TOTALS, get_totals},
    {IOCTL_PRIV_QUERY_REFRESH, query_refresh},
    {IOCTL_PRIV_SET_TEST_MODES, set_test_modes},
};

} // namespace

REQUEST_HANDLER find_private_request(ULONG code)
{
    for (const REQUEST_ENTRY& entry : PRIVATE_REQUESTS)
        if (entry.IoControlCode == code)
            return entry.Handler;
    return nullptr;
}
