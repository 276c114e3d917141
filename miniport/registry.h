// Registry parameters: the hardware description a board publishes and the
// options the user set (virtual desktop, SGRAM memory clock, custom rates).
#pragma once

#include "miniport/board.h"

// Virtual-desktop choice, numbered like the applet's layout codes.
constexpr ULONG VIRTUALS_NONE = 0;
constexpr ULONG VIRTUALS_DOUBLE_WIDE = 1;
constexpr ULONG VIRTUALS_TWO_TALL = 2;

extern ULONG gVirtualsFlag;

VOID Zorx_set_registry_parameters(PBOARD_EXTENSION ext);
VOID Zorx_get_registry_parameters(PBOARD_EXTENSION ext);
KORVID_API VP_STATUS qv_control_panel_callback(PVOID HwDeviceExtension, PVOID Context,
                                               PWSTR ValueName, PVOID ValueData, ULONG ValueLength);
