#include "platform/videoport/exports.h"

#include "platform/videoport/video.h"

#include <cstring>

namespace korvid_host {

namespace {

// clang-format off
#define KORVID_EXPORT(f) VideoPortExport{#f, reinterpret_cast<void*>(&f)}
// clang-format on

// Every operation declared in video.h; a driver image that imports one that
// is missing here cannot be loaded.
const VideoPortExport kExports[] = {
    KORVID_EXPORT(VideoPortInitialize),
    KORVID_EXPORT(VideoPortGetAccessRanges),
    KORVID_EXPORT(VideoPortGetBusData),
    KORVID_EXPORT(VideoPortSetBusData),
    KORVID_EXPORT(VideoPortGetDeviceBase),
    KORVID_EXPORT(VideoPortFreeDeviceBase),
    KORVID_EXPORT(VideoPortMapMemory),
    KORVID_EXPORT(VideoPortUnmapMemory),
    KORVID_EXPORT(VideoPortReadRegisterUlong),
    KORVID_EXPORT(VideoPortWriteRegisterUlong),
    KORVID_EXPORT(VideoPortWriteRegisterUchar),
    KORVID_EXPORT(VideoPortReadPortUlong),
    KORVID_EXPORT(VideoPortWritePortUlong),
    KORVID_EXPORT(VideoPortStallExecution),
    KORVID_EXPORT(VideoPortZeroDeviceMemory),
    KORVID_EXPORT(VideoPortZeroMemory),
    KORVID_EXPORT(VideoPortMoveMemory),
    KORVID_EXPORT(VideoPortInt10),
    KORVID_EXPORT(VideoPortSetRegistryParameters),
    KORVID_EXPORT(VideoPortGetRegistryParameters),
};

#undef KORVID_EXPORT

} // namespace

std::span<const VideoPortExport> videoport_exports()
{
    return kExports;
}

void* find_videoport_export(const char* name)
{
    for (const VideoPortExport& e : kExports)
        if (std::strcmp(e.name, name) == 0)
            return e.address;
    return nullptr;
}

} // namespace korvid_host
