#include "display/miniport_requests.h"

#include "miniport/private_ioctl.h"
#include "support/text_format.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <iterator>
#include <utility>

namespace sim {

namespace {

using In = RequestInput;
using Out = RequestOutput;

constexpr uint32_t kModeRecord = sizeof(VIDEO_MODE_INFORMATION);
constexpr uint32_t kNumPublicRanges = 8;
constexpr uint32_t kPublicRanges = kNumPublicRanges * sizeof(VIDEO_PUBLIC_ACCESS_RANGES);
constexpr uint32_t kStringOutput = 64;
constexpr uint32_t kCustomRefreshOutput = 44;

// A request by its name, which is its control code's without "IOCTL_".
#define REQUEST(name) #name, IOCTL_##name

const RequestInfo kRequests[] = {
    {REQUEST(VIDEO_QUERY_AVAIL_MODES), In::None, 0, Out::Modes, kModeRecord, ""},
    {REQUEST(VIDEO_QUERY_NUM_AVAIL_MODES), In::None, 0, Out::NumModes, sizeof(VIDEO_NUM_MODES), ""},
    {REQUEST(VIDEO_QUERY_CURRENT_MODE), In::None, 0, Out::Mode, kModeRecord, ""},
    {REQUEST(VIDEO_SET_CURRENT_MODE), In::Word, 4, Out::None, 0, "ROW"},
    {REQUEST(VIDEO_RESET_DEVICE), In::None, 0, Out::None, 0, ""},
    {REQUEST(VIDEO_SET_COLOR_REGISTERS), In::Clut, 4, Out::None, 0, "FIRST 0xRRGGBB..."},
    {REQUEST(VIDEO_MAP_VIDEO_MEMORY), In::MapAddress, sizeof(VIDEO_MEMORY), Out::Memory,
     sizeof(VIDEO_MEMORY_INFORMATION), "[ADDRESS]"},
    {REQUEST(VIDEO_UNMAP_VIDEO_MEMORY), In::Mapping, sizeof(VIDEO_MEMORY), Out::None, 0,
     "(the last mapping)"},
    {REQUEST(VIDEO_QUERY_PUBLIC_ACCESS_RANGES), In::None, 0, Out::PublicRanges, kPublicRanges, ""},
    {REQUEST(VIDEO_FREE_PUBLIC_ACCESS_RANGES), In::Ranges, kPublicRanges, Out::None, 0,
     "(the ranges last queried)"},
    {REQUEST(VIDEO_SHARE_VIDEO_MEMORY), In::Share, sizeof(VIDEO_SHARE_MEMORY), Out::Share,
     sizeof(VIDEO_SHARE_MEMORY_INFORMATION), "PROCESS OFFSET SIZE"},
    {REQUEST(VIDEO_UNSHARE_VIDEO_MEMORY), In::Unshare, sizeof(VIDEO_SHARE_MEMORY), Out::None, 0,
     "PROCESS (the last shared view)"},
    {REQUEST(PRIV_MAP_BIOS_ROM), In::None, 0, Out::Words, 4, ""},
    {REQUEST(PRIV_GET_BOARD_CONFIG), In::None, 0, Out::Words, 4, ""},
    {REQUEST(PRIV_SET_VIRTUALS_FLAG), In::Word, 4, Out::None, 0, "0|1|2"},
    {REQUEST(PRIV_GET_EXTRA_HEIGHT), In::Word, 4, Out::Words, 4, "ROW (0xFFFFFFFF: current)"},
    {REQUEST(PRIV_GET_EXTRA_WIDTH), In::Word, 4, Out::Words, 4, "ROW (0xFFFFFFFF: current)"},
    {REQUEST(PRIV_SELECT_BOARD), In::Word, 4, Out::None, 0, "BOARD"},
    {REQUEST(PRIV_STALL), In::Word, 4, Out::None, 0, "MICROSECONDS"},
    {REQUEST(PRIV_GET_NUM_BOARDS), In::None, 0, Out::Words, 4, ""},
    {REQUEST(PRIV_GET_BUS_TYPE), In::None, 0, Out::Words, 4, ""},
    {REQUEST(PRIV_NOP), In::Word, 4, Out::None, 0, "WORD"},
    {REQUEST(PRIV_SET_MCLOCK_INDEX), In::Word, 4, Out::None, 0, "MHZ"},
    {REQUEST(PRIV_GET_CHIP_NAME), In::None, 0, Out::String, kStringOutput, ""},
    {REQUEST(PRIV_GET_DAC_NAME), In::None, 0, Out::String, kStringOutput, ""},
    {REQUEST(PRIV_GET_MEMORY_TYPE_NAME), In::None, 0, Out::String, kStringOutput, ""},
    {REQUEST(PRIV_GET_MEMORY_SIZE_MB), In::None, 0, Out::Words, 4, ""},
    {REQUEST(PRIV_GET_BUS_NAME), In::None, 0, Out::String, kStringOutput, ""},
    {REQUEST(PRIV_GET_CONSTANT_128), In::None, 0, Out::Words, 4, ""},
    {REQUEST(PRIV_GET_CONSTANT_592), In::None, 0, Out::Words, 4, ""},
    {REQUEST(PRIV_GET_BOARD_NAME), In::None, 0, Out::String, kStringOutput, ""},
    {REQUEST(PRIV_SET_ALL_VIRTUAL_MODES), In::Byte, 1, Out::None, 0, "0|1"},
    {REQUEST(PRIV_SET_CURSOR_COLOR), In::Shorts, 6, Out::None, 0, "RED GREEN BLUE"},
    {REQUEST(PRIV_APPLY_CURSOR_COLOR), In::None, 0, Out::None, 0, ""},
    {REQUEST(PRIV_SET_DRIVER_OPTION), In::Word, 4, Out::None, 0, "0..3"},
    {REQUEST(PRIV_GET_DRIVER_OPTION), In::None, 0, Out::Words, 4, ""},
    {REQUEST(PRIV_SET_GAMMA_RAMP), In::Gamma, 4, Out::None, 0, "FIRST 0xBBGGRR00..."},
    {REQUEST(PRIV_GAMMA_CONTROL), In::Word, 4, Out::Words, 4, "1 (off) | 2 (on) | 4 (query)"},
    {REQUEST(PRIV_UPDATE_GAMMA), In::None, 0, Out::None, 0, ""},
    {REQUEST(PRIV_GET_ALL_VIRTUAL_MODES), In::None, 0, Out::Words, 4, ""},
    {REQUEST(PRIV_SET_CUSTOM_REFRESH), In::Words, 12, Out::CustomRefresh, kCustomRefreshOutput,
     "HZ PIXEL_CLOCK_HZ PLL_WORD"},
    {REQUEST(PRIV_TRY_REFRESH), In::Words, 12, Out::Words, 4, "HZ PIXEL_CLOCK_HZ PLL_WORD"},
    {REQUEST(PRIV_GET_TOTALS), In::None, 0, Out::Words, 4, ""},
    {REQUEST(PRIV_QUERY_REFRESH), In::Word, 4, Out::Words, 4, "HZ"},
    {REQUEST(PRIV_SET_TEST_MODES), In::Byte, 1, Out::None, 0, "0|1"},
};

#undef REQUEST

// A status by its name, which is its constant's.
#define STATUS(name)                                                                               \
    {                                                                                              \
        name, #name                                                                                \
    }

const std::pair<VP_STATUS, const char*> kStatusNames[] = {
    STATUS(NO_ERROR),
    STATUS(ERROR_INVALID_FUNCTION),
    STATUS(ERROR_NOT_ENOUGH_MEMORY),
    STATUS(ERROR_DEV_NOT_EXIST),
    STATUS(ERROR_INVALID_PARAMETER),
    STATUS(ERROR_INSUFFICIENT_BUFFER),
    STATUS(ERROR_MORE_DATA),
    STATUS(STATUS_UNSUCCESSFUL),
    STATUS(STATUS_INVALID_PARAMETER),
    STATUS(STATUS_REVISION_MISMATCH),
};

#undef STATUS

const RequestInfo* find_exact(const std::string& name)
{
    auto r = std::ranges::find_if(kRequests,
                                  [&](const RequestInfo& entry) { return name == entry.name; });
    return r == std::end(kRequests) ? nullptr : r;
}

} // namespace

std::span<const RequestInfo> request_catalogue()
{
    return kRequests;
}

std::vector<ULONG> request_codes()
{
    std::vector<ULONG> codes(std::size(kRequests));
    std::ranges::transform(kRequests, codes.begin(), &RequestInfo::code);
    return codes;
}

const RequestInfo* find_request(ULONG code)
{
    auto r = std::ranges::find(kRequests, code, &RequestInfo::code);
    return r == std::end(kRequests) ? nullptr : r;
}

const RequestInfo* find_request(std::string_view name_or_code)
{
    if (auto code = parse_number(name_or_code))
        return find_request(*code);
    std::string name = upper(name_or_code);
    if (name.rfind("IOCTL_", 0) == 0)
        name.erase(0, 6);
    if (const RequestInfo* r = find_exact(name))
        return r;
    if (const RequestInfo* r = find_exact("VIDEO_" + name))
        return r;
    return find_exact("PRIV_" + name);
}

std::string status_name(VP_STATUS status)
{
    for (auto [value, name] : kStatusNames)
        if (status == value)
            return name;
    return "status " + std::to_string(status);
}

std::optional<uint32_t> parse_number(std::string_view text)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    } else if (text.size() > 1 && (text.back() == 'h' || text.back() == 'H')) {
        text.remove_suffix(1);
        base = 16;
    }
    if (text.empty())
        return std::nullopt;
    uint32_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace sim
