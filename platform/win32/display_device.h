// What the Win32 stand-in needs of the display device behind "display": it
// passes on the escapes of ExtEscape and the display-settings calls. Whoever
// sets the stand-in up hands it a device (the display-driver model, from the
// layer above) with set_display_device().
#pragma once

#include <cstdint>

namespace win32_host {

// A display mode as the display-settings calls carry it.
struct DisplayMode {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bits_per_pixel = 0;
    uint32_t frequency = 0;
    bool operator==(const DisplayMode&) const = default;
};

class DisplayDevice {
  public:
    virtual ~DisplayDevice() = default;
    // An escape as ExtEscape hands it over. Returns the driver's result:
    // 0 for failure or an unknown escape, positive for success, below 0
    // when the call itself failed.
    virtual int32_t escape(uint32_t code, uint32_t in_size, const void* in, uint32_t out_size,
                           void* out) = 0;
    // Mode number `index` of the list; false past its end. Asking for mode 0
    // builds the list afresh.
    virtual bool enum_mode(uint32_t index, DisplayMode& mode) = 0;
    // The current settings and the settings stored for the next start, as
    // EnumDisplaySettingsA reads them; false when the read fails.
    virtual bool current_mode(DisplayMode& mode) const = 0;
    virtual bool stored_mode(DisplayMode& mode) const = 0;
    // The mode the display shows: a mode change keeps its values for the
    // fields its record leaves out, even while reading the current settings
    // fails.
    virtual DisplayMode mode_in_force() const = 0;
    // A mode change as ChangeDisplaySettingsA asks for it; the result is a
    // DISP_CHANGE_* code.
    virtual int32_t change_mode(const DisplayMode& mode, bool test, bool update_registry) = 0;
};

} // namespace win32_host
