// Unload and reload of the host-built miniport: every global in the driver's
// data section returns to the value it had when the image was loaded.
#pragma once

namespace korvid_host {
void reload_driver_data();
// Bytes of driver state that a reload restores (0 when no driver is linked).
unsigned driver_data_size();
} // namespace korvid_host
