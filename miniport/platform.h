// The one door between the miniport and its platform: the NT video port's
// names come from the DDK headers on the real target and from the host
// stand-ins everywhere else. Nothing else differs between the two builds.
#pragma once

#if defined(_WIN32)
#include <ntdef.h>
#include <ddk/miniport.h>
#include <ddk/dderror.h>
#include <devioctl.h>
#include <ddk/video.h>
#include <ntddvdeo.h>
// Wide string literal in the platform's WCHAR type.
#define KTEXT(s) L##s
// Mutable driver state; the real image gets a fresh copy at every load.
#define KORVID_DATA
#else
#include "platform/videoport/video.h"
#define KTEXT(s) u##s
// On the host every mutable global lives in one section, so that an unload
// and reload can return it to its load-time value.
#define KORVID_DATA __attribute__((section("korvid_data"), used))
#endif

// Callbacks and helpers that the video port or its stand-in calls by address.
#define KORVID_API extern "C" NTAPI

// The NT 4.0 sizes of the two records the entry code exchanges.
constexpr ULONG HW_INIT_DATA_SIZE_NT4 = 40;
constexpr ULONG CONFIG_INFO_SIZE_NT4 = 72;

static_assert(sizeof(VIDEO_MODE_INFORMATION) == 80);
static_assert(sizeof(VIDEO_ACCESS_RANGE) == 16);
static_assert(sizeof(VIDEO_PUBLIC_ACCESS_RANGES) == 12);
static_assert(sizeof(VIDEO_MEMORY_INFORMATION) == 16);
static_assert(sizeof(VIDEO_NUM_MODES) == 8);
static_assert(sizeof(VIDEO_SHARE_MEMORY) == 16);
static_assert(sizeof(VIDEO_SHARE_MEMORY_INFORMATION) == 12);
static_assert(sizeof(VIDEO_CLUTDATA) == 4);
static_assert(sizeof(VIDEO_X86_BIOS_ARGUMENTS) == 28);
static_assert(FIELD_OFFSET(VIDEO_PORT_CONFIG_INFO, VdmPhysicalVideoMemoryAddress) == 40);
static_assert(FIELD_OFFSET(VIDEO_HW_INITIALIZATION_DATA, HwTimer) == 36);
static_assert(sizeof(WCHAR) == 2);
