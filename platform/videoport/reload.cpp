#include "platform/videoport/reload.h"

#include <cstdint>
#include <vector>

// Bounds of the driver's data section, provided by the linker; weak so that
// programs without the miniport still link.
extern "C" __attribute__((weak)) uint8_t __start_korvid_data[];
extern "C" __attribute__((weak)) uint8_t __stop_korvid_data[];

namespace {

std::vector<uint8_t>& load_image()
{
    static std::vector<uint8_t> image;
    return image;
}

// Byte loops: the section may hold sanitizer red zones between globals.
__attribute__((no_sanitize("address"))) void copy_bytes(uint8_t* dst, const uint8_t* src,
                                                        unsigned n)
{
    for (unsigned i = 0; i < n; ++i)
        dst[i] = src[i];
}

// Taken before main: the miniport's globals are constant-initialised, so the
// section already holds its load-time values.
__attribute__((constructor(101))) void snapshot()
{
    unsigned n = korvid_host::driver_data_size();
    load_image().resize(n);
    if (n)
        copy_bytes(load_image().data(), __start_korvid_data, n);
}

} // namespace

namespace korvid_host {

unsigned driver_data_size()
{
    if (!__start_korvid_data || !__stop_korvid_data)
        return 0;
    return static_cast<unsigned>(__stop_korvid_data - __start_korvid_data);
}

void reload_driver_data()
{
    unsigned n = driver_data_size();
    if (n && load_image().size() == n)
        copy_bytes(__start_korvid_data, load_image().data(), n);
}

} // namespace korvid_host
