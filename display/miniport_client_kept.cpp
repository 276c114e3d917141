// What the display driver keeps from the miniport's answers, whoever built
// the request: the mode count, the addresses it must hand back to release
// what it was given, and a committed custom refresh rate.
#include "display/miniport_client.h"

#include "miniport/private_ioctl.h"

namespace sim {

namespace {

// The answer to a commit: the value name, NUL-padded, then the 12-byte value.
constexpr size_t kValueNameBytes = 32;
constexpr size_t kCustomRefreshEntry = kValueNameBytes + 12;

} // namespace

void MiniportClient::remember(ULONG code, const Reply& r)
{
    if (!r.ok())
        return;
    switch (code) {
    case IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES:
        kept_.modes_counted = r.word(0);
        break;
    case IOCTL_VIDEO_MAP_VIDEO_MEMORY:
        kept_.mapping = r.word(0);
        break;
    case IOCTL_VIDEO_UNMAP_VIDEO_MEMORY:
        kept_.mapping = 0;
        break;
    case IOCTL_VIDEO_QUERY_PUBLIC_ACCESS_RANGES:
        kept_.ranges = r.output;
        break;
    case IOCTL_VIDEO_SHARE_VIDEO_MEMORY:
        kept_.share = r.word(2);
        break;
    case IOCTL_PRIV_SET_CUSTOM_REFRESH:
        store_custom_refresh(r);
        break;
    default:
        break;
    }
}

// The miniport never writes the value itself: the display driver stores it
// under the board's device key, where the miniport reads it at its next start.
void MiniportClient::store_custom_refresh(const Reply& r)
{
    if (r.output.size() < kCustomRefreshEntry)
        return;
    std::u16string name;
    for (size_t i = 0; i < kValueNameBytes && r.output[i]; ++i)
        name.push_back(static_cast<char16_t>(r.output[i]));
    std::vector<uint8_t> value(r.output.begin() + kValueNameBytes,
                               r.output.begin() + kCustomRefreshEntry);
    machine_.set_registry_binary(board_, name, value);
}

} // namespace sim
