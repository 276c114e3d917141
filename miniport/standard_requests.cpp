// The platform's standard video requests.
#include "miniport/hardware.h"
#include "miniport/requests.h"

namespace {

constexpr ULONG MODE_INFO_BYTES = sizeof(VIDEO_MODE_INFORMATION);
constexpr ULONG CLUT_HEADER_BYTES = FIELD_OFFSET(VIDEO_CLUT, LookupTable);
constexpr ULONG CLUT_ENTRY_BYTES = sizeof(VIDEO_CLUTDATA);
constexpr ULONG PALETTE_ENTRIES = 256;
constexpr ULONG NUM_PUBLIC_RANGES = NUM_ACCESS_RANGES;
constexpr ULONG PUBLIC_RANGES_BYTES = NUM_PUBLIC_RANGES * sizeof(VIDEO_PUBLIC_ACCESS_RANGES);
// What a free request must carry at least; only whole entries are read.
constexpr ULONG FREE_RANGES_MIN_BYTES = 32;
// The share request reads the process handle, view offset and view size.
constexpr ULONG SHARE_INPUT_BYTES = FIELD_OFFSET(VIDEO_SHARE_MEMORY, RequestedVirtualAddress);

VP_STATUS query_avail_modes(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    if (!output_fits(p, num_selectable_modes * MODE_INFO_BYTES))
        return ERROR_INSUFFICIENT_BUFFER;
    // The list may have grown since it was counted (flags or current mode
    // changed in between): never write past the buffer, ask for the room.
    ULONG count = ulZorx_GetModes(ext, nullptr, num_display_modes);
    if (count > p->OutputBufferLength / MODE_INFO_BYTES) {
        p->StatusBlock->Information = count * MODE_INFO_BYTES;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    ulZorx_GetModes(ext, static_cast<PVIDEO_MODE_INFORMATION>(p->OutputBuffer), num_display_modes);
    return NO_ERROR;
}

VP_STATUS query_num_avail_modes(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    if (!output_fits(p, sizeof(VIDEO_NUM_MODES)))
        return ERROR_INSUFFICIENT_BUFFER;
    num_selectable_modes = ulZorx_GetModes(ext, nullptr, num_display_modes);
    PVIDEO_NUM_MODES out = static_cast<PVIDEO_NUM_MODES>(p->OutputBuffer);
    out->NumModes = num_selectable_modes;
    out->ModeInformationLength = MODE_INFO_BYTES;
    return NO_ERROR;
}

VP_STATUS query_current_mode(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    if (!output_fits(p, MODE_INFO_BYTES))
        return ERROR_INSUFFICIENT_BUFFER;
    if (!Zorx_current_row(ext))
        return ERROR_INVALID_PARAMETER;
    FillModeInformation(ext, ext->ulCurrentMode,
                        static_cast<PVIDEO_MODE_INFORMATION>(p->OutputBuffer));
    return NO_ERROR;
}

VP_STATUS set_current_mode(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    if (!input_fits(p, sizeof(VIDEO_MODE)))
        return ERROR_INSUFFICIENT_BUFFER;
    ULONG index = static_cast<PVIDEO_MODE>(p->InputBuffer)->RequestedMode;
    if (index >= num_display_modes || !display_mode[index].fValid)
        return ERROR_INVALID_PARAMETER;
    ext->ulCurrentMode = index;
    Zorx_set_mode(ext, &display_mode[index]);
    ext->ulFlags &= ~(FLAG_ALL_VIRTUAL_MODES | FLAG_TEST_MODES);
    // The mode set leaves the DAC with gamma off; bring the ramp back.
    if ((ext->ulFlags & FLAG_GAMMA_ENABLED) && fEnableGammaSupport(ext))
        fUpdateGammaLUT(ext);
    return NO_ERROR;
}

VP_STATUS reset_device(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET)
{
    Zorx_set_vga_mode(ext, TRUE);
    return NO_ERROR;
}

VP_STATUS set_color_registers(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    if (!input_fits(p, CLUT_HEADER_BYTES))
        return ERROR_INSUFFICIENT_BUFFER;
    PVIDEO_CLUT clut = static_cast<PVIDEO_CLUT>(p->InputBuffer);
    ULONG count = clut->NumEntries;
    ULONG first = clut->FirstEntry;
    if (CLUT_HEADER_BYTES + CLUT_ENTRY_BYTES * count > p->InputBufferLength)
        return ERROR_INSUFFICIENT_BUFFER;
    if (count == 0 || first >= PALETTE_ENTRIES || first + count > PALETTE_ENTRIES)
        return ERROR_INVALID_PARAMETER;
    Zorx_set_colors(ext, first, count, &clut->LookupTable[0].RgbArray);
    return NO_ERROR;
}

VP_STATUS map_video_memory(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    if (!output_fits(p, sizeof(VIDEO_MEMORY_INFORMATION)) || !input_fits(p, sizeof(VIDEO_MEMORY)))
        return ERROR_INSUFFICIENT_BUFFER;
    PDISPLAY_MODE mode = Zorx_current_row(ext);
    if (!mode)
        return ERROR_INVALID_PARAMETER;
    PVOID requested = static_cast<PVIDEO_MEMORY>(p->InputBuffer)->RequestedVirtualAddress;
    PVIDEO_MEMORY_INFORMATION out = static_cast<PVIDEO_MEMORY_INFORMATION>(p->OutputBuffer);
    ULONG memory_size = board_memory_size(ext);
    ULONG length = memory_size;
    ULONG space = VIDEO_MEMORY_SPACE_P6CACHE;
    out->VideoRamBase = requested;
    VP_STATUS status = VideoPortMapMemory(ext, ext->AccessRanges[RANGE_FRAME_BUFFER].RangeStart,
                                          &length, &space, &out->VideoRamBase);
    ULONG offset = ModeStartOffset(mode);
    out->VideoRamLength = memory_size;
    out->FrameBufferBase = static_cast<PUCHAR>(out->VideoRamBase) + offset;
    out->FrameBufferLength = memory_size - offset;
    return status;
}

VP_STATUS unmap_video_memory(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    if (!input_fits(p, sizeof(VIDEO_MEMORY)))
        return ERROR_INSUFFICIENT_BUFFER;
    PVOID address = static_cast<PVIDEO_MEMORY>(p->InputBuffer)->RequestedVirtualAddress;
    return VideoPortUnmapMemory(ext, address, nullptr);
}

VP_STATUS query_public_access_ranges(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    if (!output_fits(p, PUBLIC_RANGES_BYTES))
        return ERROR_INSUFFICIENT_BUFFER;
    PVIDEO_PUBLIC_ACCESS_RANGES out = static_cast<PVIDEO_PUBLIC_ACCESS_RANGES>(p->OutputBuffer);
    VP_STATUS status = NO_ERROR;
    for (ULONG k = 0; k < NUM_PUBLIC_RANGES; ++k) {
        out[k].VirtualAddress = nullptr;
        VIDEO_ACCESS_RANGE* range = &ext->AccessRanges[k];
        if (status != NO_ERROR || !range->RangeVisible)
            continue;
        out[k].InIoSpace = range->RangeInIoSpace;
        out[k].MappedInIoSpace = range->RangeInIoSpace;
        ULONG length = range->RangeLength;
        status = VideoPortMapMemory(ext, range->RangeStart, &length, &out[k].MappedInIoSpace,
                                    &out[k].VirtualAddress);
    }
    return status;
}

VP_STATUS free_public_access_ranges(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    if (!input_fits(p, FREE_RANGES_MIN_BYTES))
        return ERROR_INSUFFICIENT_BUFFER;
    PVIDEO_PUBLIC_ACCESS_RANGES in = static_cast<PVIDEO_PUBLIC_ACCESS_RANGES>(p->InputBuffer);
    ULONG entries = p->InputBufferLength / sizeof(VIDEO_PUBLIC_ACCESS_RANGES);
    if (entries > NUM_PUBLIC_RANGES)
        entries = NUM_PUBLIC_RANGES;
    VP_STATUS status = NO_ERROR;
    for (ULONG k = 0; k < entries; ++k) {
        if (!in[k].VirtualAddress || in[k].MappedInIoSpace != 0)
            continue;
        VP_STATUS s = VideoPortUnmapMemory(ext, in[k].VirtualAddress, nullptr);
        if (s != NO_ERROR)
            status = s;
    }
    return status;
}

VP_STATUS share_video_memory(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    if (p->OutputBufferLength < sizeof(VIDEO_SHARE_MEMORY_INFORMATION) ||
        !input_fits(p, SHARE_INPUT_BYTES))
        return ERROR_INSUFFICIENT_BUFFER;
    PVIDEO_SHARE_MEMORY in = static_cast<PVIDEO_SHARE_MEMORY>(p->InputBuffer);
    HANDLE process = in->ProcessHandle;
    ULONG offset = in->ViewOffset;
    ULONG size = in->ViewSize;
    ULONG memory_size = board_memory_size(ext);
    // Compared without the sum, which could wrap around.
    if (offset > memory_size || size > memory_size - offset)
        return ERROR_INVALID_PARAMETER;
    p->StatusBlock->Information = sizeof(VIDEO_SHARE_MEMORY_INFORMATION);
    PVOID address = process;
    ULONG length = size;
    ULONG space = VIDEO_MEMORY_SPACE_MEMORY;
    VP_STATUS status = VideoPortMapMemory(ext, ext->AccessRanges[RANGE_FRAME_BUFFER].RangeStart,
                                          &length, &space, &address);
    PVIDEO_SHARE_MEMORY_INFORMATION out =
        static_cast<PVIDEO_SHARE_MEMORY_INFORMATION>(p->OutputBuffer);
    out->SharedViewOffset = offset;
    out->SharedViewSize = length;
    out->VirtualAddress = address;
    return status;
}

VP_STATUS unshare_video_memory(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET p)
{
    if (!input_fits(p, sizeof(VIDEO_SHARE_MEMORY)))
        return ERROR_INSUFFICIENT_BUFFER;
    PVIDEO_SHARE_MEMORY in = static_cast<PVIDEO_SHARE_MEMORY>(p->InputBuffer);
    return VideoPortUnmapMemory(ext, in->RequestedVirtualAddress, in->ProcessHandle);
}

const REQUEST_ENTRY STANDARD_REQUESTS[] = {
    {IOCTL_VIDEO_QUERY_AVAIL_MODES, query_avail_modes},
    {IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES, query_num_avail_modes},
    {IOCTL_VIDEO_QUERY_CURRENT_MODE, query_current_mode},
    {IOCTL_VIDEO_SET_CURRENT_MODE, set_current_mode},
    {IOCTL_VIDEO_RESET_DEVICE, reset_device},
    {IOCTL_VIDEO_SET_COLOR_REGISTERS, set_color_registers},
    {IOCTL_VIDEO_MAP_VIDEO_MEMORY, map_video_memory},
    {IOCTL_VIDEO_UNMAP_VIDEO_MEMORY, unmap_video_memory},
    {IOCTL_VIDEO_QUERY_PUBLIC_ACCESS_RANGES, query_public_access_ranges},
    {IOCTL_VIDEO_FREE_PUBLIC_ACCESS_RANGES, free_public_access_ranges},
    {IOCTL_VIDEO_SHARE_VIDEO_MEMORY, share_video_memory},
    {IOCTL_VIDEO_UNSHARE_VIDEO_MEMORY, unshare_video_memory},
};

} // namespace

REQUEST_HANDLER find_standard_request(ULONG code)
{
    for (const REQUEST_ENTRY& entry : STANDARD_REQUESTS)
        if (entry.IoControlCode == code)
            return entry.Handler;
    return nullptr;
}
