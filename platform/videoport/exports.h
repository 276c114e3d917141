// The video port stand-in's operations by name, as a driver image imports
// them from videoprt.sys.
#pragma once

#include <span>

namespace korvid_host {

struct VideoPortExport {
    const char* name;
    void* address; // an NTAPI (stdcall) function
};

std::span<const VideoPortExport> videoport_exports();

// Null when the stand-in has no operation of that name (names are exact).
void* find_videoport_export(const char* name);

} // namespace korvid_host
