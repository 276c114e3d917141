// The DAC's palette as the 8-bpp colour map, the gamma ramp that 16-bpp and
// 32-bpp pixels pass through when gamma is on, and the cursor colours.
#include "miniport/dac.h"
#include "miniport/hardware.h"

namespace {

constexpr ULONG PALETTE_ENTRIES = 256;

// Gamma words: red in bits 8 to 15, green 16 to 23, blue 24 to 31.
constexpr ULONG GAMMA_RED_SHIFT = 8;
constexpr ULONG GAMMA_GREEN_SHIFT = 16;
constexpr ULONG GAMMA_BLUE_SHIFT = 24;

// ulCursorColor is 0x00RRGGBB.
constexpr ULONG CURSOR_RED_SHIFT = 16;
constexpr ULONG CURSOR_GREEN_SHIFT = 8;
constexpr UCHAR CURSOR_COLOR1_BLACK[] = {0, 0, 0};

enum { RED, GREEN, BLUE };

BOOLEAN known_dac(PBOARD_EXTENSION ext)
{
    return ext->ulDacType >= DAC_TYPE_RGB526 && ext->ulDacType <= DAC_TYPE_RGB526_DRAM;
}

// Depth of the current mode; 0 when no mode table is in force.
ULONG current_depth(PBOARD_EXTENSION ext)
{
    if (!display_mode || ext->ulCurrentMode >= num_display_modes)
        return 0;
    return display_mode[ext->ulCurrentMode].ModeInformation.BitsPerPlane;
}

// The gamma operations write the DAC 32 bits wide.
VOID write_depth_controls(PBOARD_EXTENSION ext, UCHAR c16, UCHAR c24, UCHAR c32)
{
    const UCHAR settings[3][2] = {{DAC_REG_16BPP, c16}, {DAC_REG_24BPP, c24}, {DAC_REG_32BPP, c32}};
    for (const auto& s : settings) {
        Zorx_dac_port_write_ulong(ext, DAC_INDEX_HIGH, DAC_INDEX_HIGH_ZERO);
        Zorx_dac_port_write_ulong(ext, DAC_INDEX_LOW, s[0]);
        Zorx_dac_port_write_ulong(ext, DAC_INDEX_DATA, s[1]);
    }
}

VOID fill_identity_ramp(PBOARD_EXTENSION ext)
{
    for (ULONG i = 0; i < GAMMA_ENTRIES; ++i)
        ext->GammaTable[i][RED] = ext->GammaTable[i][GREEN] = ext->GammaTable[i][BLUE] =
            static_cast<UCHAR>(i);
}

} // namespace

VOID Zorx_set_colors(PBOARD_EXTENSION ext, ULONG first, ULONG count, PVIDEO_CLUTDATA entries)
{
    // The caller refuses ranges past entry 255; stopping there as well keeps
    // the address register from wrapping onto entry 0.
    for (ULONG i = first; i < first + count && i < PALETTE_ENTRIES; ++i) {
        const VIDEO_CLUTDATA& e = entries[i - first];
        Zorx_dac_port_write(ext, DAC_PALETTE_WRITE_ADDRESS, i);
        Zorx_dac_port_write(ext, DAC_PALETTE_DATA, e.Red);
        Zorx_dac_port_write(ext, DAC_PALETTE_DATA, e.Green);
        Zorx_dac_port_write(ext, DAC_PALETTE_DATA, e.Blue);
    }
}

// Palette-driven 8-bpp modes have no gamma.
BOOLEAN fQueryGammaSupport(PBOARD_EXTENSION ext)
{
    return known_dac(ext) && current_depth(ext) > 8;
}

BOOLEAN fUpdateGammaLUT(PBOARD_EXTENSION ext)
{
    if (!known_dac(ext))
        return FALSE;
    Zorx_dac_port_write_ulong(ext, DAC_PALETTE_WRITE_ADDRESS, 0);
    for (ULONG i = 0; i < GAMMA_ENTRIES; ++i)
        for (UCHAR component : ext->GammaTable[i])
            Zorx_dac_port_write_ulong(ext, DAC_PALETTE_DATA, component);
    return TRUE;
}

BOOLEAN fEnableGammaSupport(PBOARD_EXTENSION ext)
{
    if (!fQueryGammaSupport(ext))
        return FALSE;
    // A ramp stored while gamma is on survives; switching on starts from identity.
    if (!(ext->ulFlags & FLAG_GAMMA_ENABLED)) {
        fill_identity_ramp(ext);
        fUpdateGammaLUT(ext);
    }
    if (!known_dac(ext))
        return FALSE;
    write_depth_controls(ext, DAC_16BPP_GAMMA, DAC_24BPP_GAMMA, DAC_32BPP_GAMMA);
    ext->ulFlags |= FLAG_GAMMA_ENABLED;
    return TRUE;
}

BOOLEAN fDisableGammaSupport(PBOARD_EXTENSION ext)
{
    if (!known_dac(ext))
        return FALSE;
    write_depth_controls(ext, DAC_16BPP_DIRECT, DAC_24BPP_GAMMA_OFF, DAC_32BPP_DIRECT);
    ext->ulFlags &= ~FLAG_GAMMA_ENABLED;
    return TRUE;
}

BOOLEAN fSetGammaLUT(PBOARD_EXTENSION ext, ULONG first, ULONG count, const ULONG* words,
                     LONG wordBytes)
{
    if (!fQueryGammaSupport(ext))
        return FALSE;
    // Range checked without sums or products that could wrap.
    if (first > GAMMA_ENTRIES || count > GAMMA_ENTRIES - first)
        return FALSE;
    if (static_cast<LONG>(count * sizeof(ULONG)) > wordBytes)
        return FALSE;
    for (ULONG k = 0; k < count; ++k) {
        UCHAR* entry = ext->GammaTable[first + k];
        entry[RED] = static_cast<UCHAR>(words[k] >> GAMMA_RED_SHIFT);
        entry[GREEN] = static_cast<UCHAR>(words[k] >> GAMMA_GREEN_SHIFT);
        entry[BLUE] = static_cast<UCHAR>(words[k] >> GAMMA_BLUE_SHIFT);
    }
    return fUpdateGammaLUT(ext);
}

// Colour 1 is black, colour 2 the user's colour.
VOID vSetCursorColor(PBOARD_EXTENSION ext)
{
    if (!known_dac(ext))
        return;
    Zorx_dac_port_write(ext, DAC_INDEX_CONTROL, DAC_INDEX_AUTO_INCREMENT);
    Zorx_dac_port_write(ext, DAC_INDEX_HIGH, DAC_INDEX_HIGH_ZERO);
    Zorx_dac_port_write(ext, DAC_INDEX_LOW, DAC_REG_CURSOR_COLOR1);
    for (UCHAR value : CURSOR_COLOR1_BLACK)
        Zorx_dac_write(ext, value);
    ULONG c = ext->ulCursorColor;
    Zorx_dac_write(ext, c >> CURSOR_RED_SHIFT);
    Zorx_dac_write(ext, c >> CURSOR_GREEN_SHIFT);
    Zorx_dac_write(ext, c);
}
