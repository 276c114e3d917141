// The hardware description written at initialisation and the options read
// back from the board's device key.
#include "registry.h"

#include "bytes.h"
#include "custom_refresh.h"

KORVID_DATA ULONG gVirtualsFlag = VIRTUALS_NONE;

namespace {

constexpr ULONG REGISTRY_DWORD_BYTES = 4;

WCHAR kChipType[] = KTEXT("ORV");
WCHAR kAdapterString[] = KTEXT("Quorvane");
WCHAR kDacRgb526Sgram[] = KTEXT("IBM RGB526 SGRAM");
WCHAR kDacRgb526Wram[] = KTEXT("IBM RGB526 WRAM");
WCHAR kDacRgb528[] = KTEXT("IBM RGB528 VRAM");
WCHAR kDacRgb526Dram[] = KTEXT("IBM RGB526 DRAM");

WCHAR kValueChipType[] = KTEXT("HardwareInformation.ChipType");
WCHAR kValueDacType[] = KTEXT("HardwareInformation.DacType");
WCHAR kValueMemorySize[] = KTEXT("HardwareInformation.MemorySize");
WCHAR kValueAdapterString[] = KTEXT("HardwareInformation.AdapterString");
WCHAR kValueDoubleWide[] = KTEXT("DoubleWide");
WCHAR kValueTwoTall[] = KTEXT("TwoTall");
WCHAR kValueMclock[] = KTEXT("IBMMCLOCK");

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
            *length = sizeof kDacRgb526Sgram;
            return kDacRgb526Sgram;
        }
        *length = sizeof kDacRgb526Wram;
        return kDacRgb526Wram;
    case DAC_TYPE_RGB528:
        *length = sizeof kDacRgb528;
        return kDacRgb528;
    case DAC_TYPE_RGB526_DRAM:
        *length = sizeof kDacRgb526Dram;
        return kDacRgb526Dram;
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
    set_value(ext, kValueChipType, kChipType, sizeof kChipType);
    ULONG dac_length = 0;
    if (PWSTR dac = dac_type_string(ext, &dac_length))
        set_value(ext, kValueDacType, dac, dac_length);
    ULONG memory_size = board_memory_size(ext);
    set_value(ext, kValueMemorySize, &memory_size, sizeof memory_size);
    set_value(ext, kValueAdapterString, kAdapterString, sizeof kAdapterString);
}

VOID Zorx_get_registry_parameters(PBOARD_EXTENSION ext)
{
    load_custom_refresh(ext);
    gVirtualsFlag = VIRTUALS_NONE;
    ULONG double_wide = read_dword_value(ext, kValueDoubleWide);
    ULONG two_tall = read_dword_value(ext, kValueTwoTall);
    if (ext->ulMemoryType == MEMORY_TYPE_SGRAM)
        ext->ulMclockIndex = read_dword_value(ext, kValueMclock);
    if (double_wide == 1)
        gVirtualsFlag = VIRTUALS_DOUBLE_WIDE;
    else if (two_tall == 1)
        gVirtualsFlag = VIRTUALS_TWO_TALL;
}

KORVID_API VP_STATUS qv_control_panel_callback(PVOID, PVOID Context, PWSTR, PVOID ValueData,
                                               ULONG ValueLength)
{
    if (ValueLength == REGISTRY_DWORD_BYTES)
        *static_cast<PULONG>(Context) = load_ulong(ValueData);
    return NO_ERROR;
}
