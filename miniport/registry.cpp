// The hardware description written at initialisation and the options read
// back from the board's device key.
#include "miniport/registry.h"

#include "platform/freestanding/little_endian.h"
#include "miniport/custom_refresh.h"

KORVID_DATA ULONG gVirtualsFlag = VIRTUALS_NONE;

namespace {

constexpr ULONG REGISTRY_DWORD_BYTES = 4;

WCHAR CHIP_TYPE[] = KTEXT("ORV");
WCHAR ADAPTER_STRING[] = KTEXT("Quorvane");
WCHAR DAC_RGB526_SGRAM[] = KTEXT("IBM RGB526 SGRAM");
WCHAR DAC_RGB526_WRAM[] = KTEXT("IBM RGB526 WRAM");
WCHAR DAC_RGB528[] = KTEXT("IBM RGB528 VRAM");
WCHAR DAC_RGB526_DRAM[] = KTEXT("IBM RGB526 DRAM");

WCHAR VALUE_CHIP_TYPE[] = KTEXT("HardwareInformation.ChipType");
WCHAR VALUE_DAC_TYPE[] = KTEXT("HardwareInformation.DacType");
WCHAR VALUE_MEMORY_SIZE[] = KTEXT("HardwareInformation.MemorySize");
WCHAR VALUE_ADAPTER_STRING[] = KTEXT("HardwareInformation.AdapterString");
WCHAR VALUE_DOUBLE_WIDE[] = KTEXT("DoubleWide");
WCHAR VALUE_TWO_TALL[] = KTEXT("TwoTall");
WCHAR VALUE_MCLOCK[] = KTEXT("IBMMCLOCK");

void set_value(PBOARD_EXTENSION ext, PWSTR name, PVOID data, ULONG length)
{
    VideoPortSetRegistryParameters(ext, name, data, length);
}

// The DAC's description by type and memory; null when there is none.
PWSTR dac_type_string(PBOARD_EXTENSION ext, ULONG* length)
{
    switch (ext->ulDacType) {
    case DAC_TYPE_RGB526:
        if (ext->ulMemoryType == MEMORY_TYPE_SGRAM) {
            *length = sizeof DAC_RGB526_SGRAM;
            return DAC_RGB526_SGRAM;
        }
        *length = sizeof DAC_RGB526_WRAM;
        return DAC_RGB526_WRAM;
    case DAC_TYPE_RGB528:
        *length = sizeof DAC_RGB528;
        return DAC_RGB528;
    case DAC_TYPE_RGB526_DRAM:
        *length = sizeof DAC_RGB526_DRAM;
        return DAC_RGB526_DRAM;
    default:
        return nullptr;
    }
}

ULONG read_dword_value(PBOARD_EXTENSION ext, PWSTR name)
{
    ULONG value = 0;
    VideoPortGetRegistryParameters(ext, name, FALSE, qv_control_panel_callback, &value);
    return value;
}

// Refills the custom slots from the rates the display driver stored.
void load_custom_refresh(PBOARD_EXTENSION ext)
{
    CUSTOM_REFRESH_ENTRY entry;
    WCHAR wide_name[CUSTOM_REFRESH_NAME_BYTES];
    for (ULONG row = 0; row < num_display_modes; ++row) {
        if (!(display_mode[row].pTiming->ulTimingFlags & TIMING_CUSTOM_SLOT))
            continue;
        GetKeyString(entry.szValueName, row);
        for (ULONG i = 0; i < CUSTOM_REFRESH_NAME_BYTES; ++i)
            wide_name[i] = static_cast<WCHAR>(static_cast<SHORT>(entry.szValueName[i]));
        entry.ulRefresh = 0;
        VideoPortGetRegistryParameters(ext, wide_name, FALSE, vrel_custom_refresh_callback, &entry);
        if (entry.ulRefresh != 0)
            UpdateCustomRefresh(row, entry.ulRefresh, entry.ulPllWord, entry.ulPixelClock);
    }
}

} // namespace

VOID Zorx_set_registry_parameters(PBOARD_EXTENSION ext)
{
    set_value(ext, VALUE_CHIP_TYPE, CHIP_TYPE, sizeof CHIP_TYPE);
    ULONG dac_length = 0;
    if (PWSTR dac = dac_type_string(ext, &dac_length))
        set_value(ext, VALUE_DAC_TYPE, dac, dac_length);
    ULONG memory_size = board_memory_size(ext);
    set_value(ext, VALUE_MEMORY_SIZE, &memory_size, sizeof memory_size);
    set_value(ext, VALUE_ADAPTER_STRING, ADAPTER_STRING, sizeof ADAPTER_STRING);
}

VOID Zorx_get_registry_parameters(PBOARD_EXTENSION ext)
{
    load_custom_refresh(ext);
    gVirtualsFlag = VIRTUALS_NONE;
    ULONG double_wide = read_dword_value(ext, VALUE_DOUBLE_WIDE);
    ULONG two_tall = read_dword_value(ext, VALUE_TWO_TALL);
    if (ext->ulMemoryType == MEMORY_TYPE_SGRAM)
        ext->ulMclockIndex = read_dword_value(ext, VALUE_MCLOCK);
    if (double_wide == 1)
        gVirtualsFlag = VIRTUALS_DOUBLE_WIDE;
    else if (two_tall == 1)
        gVirtualsFlag = VIRTUALS_TWO_TALL;
}

KORVID_API VP_STATUS qv_control_panel_callback(PVOID, PVOID Context, PWSTR, PVOID ValueData,
                                               ULONG ValueLength)
{
    if (ValueLength == REGISTRY_DWORD_BYTES)
        *static_cast<PULONG>(Context) = load_le32(ValueData);
    return NO_ERROR;
}
