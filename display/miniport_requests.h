// Every request the miniport answers, by name: its control code, the shape of
// its input and output, and the arguments a person gives to build the input.
// This is how a display driver's conversation is written down and replayed
// ("ioctl PRIV_SET_CURSOR_COLOR 0x12 0xFF 0x80").
#pragma once

#include "platform/videoport/video.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

enum class RequestInput : uint8_t {
    None,
    Word,       // one 32-bit word
    Byte,       // one byte: a switch
    Shorts,     // three 16-bit words
    Words,      // fixed-length record of 32-bit words (missing words are 0)
    Clut,       // VIDEO_CLUT: first entry, then 0xRRGGBB per entry
    Gamma,      // header (first entry, count) and one word per entry
    MapAddress, // VIDEO_MEMORY: the requested address (0: anywhere)
    Mapping,    // VIDEO_MEMORY: an address a map request returned
    Ranges,     // the eight VIDEO_PUBLIC_ACCESS_RANGES a query returned
    Share,      // VIDEO_SHARE_MEMORY: process, view offset, view size
    Unshare,    // VIDEO_SHARE_MEMORY: process, and an address a share returned
};

enum class RequestOutput : uint8_t {
    None,
    Words,         // 32-bit words
    String,        // NUL-terminated text
    NumModes,      // VIDEO_NUM_MODES
    Modes,         // VIDEO_MODE_INFORMATION records, as many as last counted
    Mode,          // one VIDEO_MODE_INFORMATION
    Memory,        // VIDEO_MEMORY_INFORMATION
    PublicRanges,  // eight VIDEO_PUBLIC_ACCESS_RANGES
    Share,         // VIDEO_SHARE_MEMORY_INFORMATION
    CustomRefresh, // 32-byte value name, refresh, pixel clock, PLL word
};

struct RequestInfo {
    const char* name; // without "IOCTL_": "VIDEO_SET_CURRENT_MODE", "PRIV_GET_CHIP_NAME"
    ULONG code;
    RequestInput input;
    uint32_t input_length; // bytes (Clut and Gamma: the header; entries follow)
    RequestOutput output;
    uint32_t output_length; // bytes (Modes: per record)
    const char* arguments;  // what to give, for help texts
};

std::span<const RequestInfo> request_catalogue();
// The control codes of the catalogue, in its order.
std::vector<ULONG> request_codes();

// By name (any case; "IOCTL_", "VIDEO_" and "PRIV_" may be left out) or by
// control code in hex or decimal. Null when nothing matches.
const RequestInfo* find_request(std::string_view name_or_code);
const RequestInfo* find_request(ULONG code);

// "NO_ERROR", "ERROR_INVALID_PARAMETER", ... or the number.
std::string status_name(VP_STATUS status);

// A number as people write it: decimal, 0x hex, or a trailing h. Null for
// anything else or a value beyond 32 bits.
std::optional<uint32_t> parse_number(std::string_view text);

} // namespace sim
