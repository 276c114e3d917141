#include "display/display_driver.h"

#include <algorithm>
#include <cstring>

namespace sim {

namespace {

bool write_u32(uint32_t out_size, void* out, uint32_t value)
{
    if (out_size < 4 || !out)
        return false;
    std::memcpy(out, &value, 4);
    return true;
}

// What a driver of this family offers on one board.
std::vector<DisplayMode> standard_modes()
{
    static const uint32_t sizes[][2] = {{640, 480}, {800, 600}, {1024, 768}, {1280, 1024}};
    std::vector<DisplayMode> list;
    for (auto& size : sizes)
        for (uint32_t bpp : {8u, 16u, 32u})
            list.push_back({size[0], size[1], bpp, 75});
    return list;
}

} // namespace

DisplayDriver::DisplayDriver()
    : bios_texts{"Halcyra 3D BIOS", "Version 1.06", "08/14/97"},
      board_modes(standard_modes()), current{1024, 768, 16, 75}, registry_mode(current)
{
}

void DisplayDriver::attach(DisplayBackend* boards)
{
    boards_ = boards;
    listed_.clear();
}

int32_t DisplayDriver::escape(uint32_t code, uint32_t in_size, const void* in, uint32_t out_size,
                              void* out)
{
    auto it = faults_.find(code);
    EscapeFault fault = it == faults_.end() ? EscapeFault::None : it->second;
    int32_t result = 0;
    switch (fault) {
    case EscapeFault::None:
        result = answer(code, in_size, in, out_size, out);
        break;
    case EscapeFault::FailAfterWrite:
        answer(code, in_size, in, out_size, out);
        result = 0;
        break;
    case EscapeFault::Unsupported:
    case EscapeFault::Fail:
        result = 0;
        break;
    case EscapeFault::Error:
        result = -1;
        break;
    case EscapeFault::SilentSuccess:
        result = 1;
        break;
    }
    uint32_t input = 0;
    if (in && in_size >= 4)
        std::memcpy(&input, in, 4);
    escapes.push_back({code, input, in_size, out_size, result});
    return result;
}

int32_t DisplayDriver::answer(uint32_t code, uint32_t in_size, const void* in, uint32_t out_size,
                              void* out)
{
    uint32_t input = 0;
    bool has_input = in && in_size >= 4;
    if (has_input)
        std::memcpy(&input, in, 4);

    switch (code) {
    case ESC_GET_BOARD_FAMILY:
        return write_u32(out_size, out, family);
    case ESC_GET_VIRTUAL_LAYOUT:
        if (out_size < 8 || !out)
            return 0;
        write_u32(4, out, layout == LAYOUT_DOUBLE_WIDE);
        write_u32(4, static_cast<uint8_t*>(out) + 4, layout == LAYOUT_TWO_TALL);
        return 1;
    case ESC_GET_BIOS_DATA: {
        uint32_t addresses[BIOS_TEXT_COUNT];
        if (!in || in_size < sizeof addresses)
            return 0;
        std::memcpy(addresses, in, sizeof addresses);
        for (int i = 0; i < BIOS_TEXT_COUNT; ++i) {
            auto* buffer = reinterpret_cast<char*>(static_cast<uintptr_t>(addresses[i]));
            if (!buffer)
                return 0;
            const std::string& text = bios_texts[i];
            size_t n = std::min<size_t>(text.size(), BIOS_TEXT_SIZE);
            std::memcpy(buffer, text.data(), n);
            if (n < BIOS_TEXT_SIZE)
                buffer[n] = '\0';
        }
        return 1;
    }
    case ESC_GET_BOARD_INDEX:
        return write_u32(out_size, out, board_index);
    case ESC_SET_VIRTUAL_LAYOUT:
        return has_input && set_layout(input);
    case ESC_GET_MULTI_BOARD:
        return write_u32(out_size, out,
                         layout == LAYOUT_MULTI_BOARD ? MULTI_BOARD_ON : MULTI_BOARD_OFF);
    case ESC_GET_BOARD_COUNT:
        return write_u32(out_size, out, board_count);
    default:
        return 0;
    }
}

bool DisplayDriver::set_layout(uint32_t code)
{
    if (code > LAYOUT_MULTI_BOARD || refused_layouts.count(code) ||
        (boards_ && !boards_->set_layout(code)))
        return false;
    layout = code;
    return true;
}

std::vector<DisplayMode> DisplayDriver::desktop_modes(uint32_t in_layout)
{
    if (boards_)
        return boards_->desktop_modes(in_layout);
    std::vector<DisplayMode> list;
    for (DisplayMode m : board_modes) {
        if (in_layout == LAYOUT_DOUBLE_WIDE)
            m.width *= 2;
        else if (in_layout == LAYOUT_TWO_TALL)
            m.height *= 2;
        else if (in_layout == LAYOUT_MULTI_BOARD)
            m.width *= board_count;
        list.push_back(m);
    }
    return list;
}

bool DisplayDriver::enum_mode(uint32_t index, DisplayMode& mode)
{
    if (fail_mode_list)
        return false;
    if (index == 0) {
        ++mode_list_reads;
        listed_ = desktop_modes(layout);
    }
    if (index >= listed_.size())
        return false;
    mode = listed_[index];
    return true;
}

bool DisplayDriver::current_mode(DisplayMode& mode) const
{
    if (fail_current_mode)
        return false;
    mode = current;
    return true;
}

bool DisplayDriver::stored_mode(DisplayMode& mode) const
{
    mode = registry_mode;
    return true;
}

int32_t DisplayDriver::change_mode(const DisplayMode& mode, bool test, bool update_registry)
{
    int32_t result = test ? test_fault : change_fault;
    if (result == kDispChangeSuccessful) {
        // Only what the list offered when it was last read can be set.
        bool offered = std::find(listed_.begin(), listed_.end(), mode) != listed_.end();
        if (!offered)
            result = kDispChangeBadMode;
        else if (!test && boards_ && !boards_->set_desktop(mode, layout))
            result = kDispChangeFailed;
    }
    if (result == kDispChangeSuccessful && !test) {
        current = mode;
        if (update_registry)
            registry_mode = mode;
    }
    mode_changes.push_back({mode, test, update_registry, result});
    return result;
}

} // namespace sim
