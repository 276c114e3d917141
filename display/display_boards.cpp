#include "display/display_boards.h"

#include "miniport/private_ioctl.h"

#include <algorithm>
#include <cstring>

namespace sim {

namespace {

Layout board_layout(uint32_t layout)
{
    return layout == LAYOUT_DOUBLE_WIDE ? Layout::Wide
           : layout == LAYOUT_TWO_TALL  ? Layout::Tall
                                        : Layout::Single;
}

// The desktop a row shows in `layout`; Multi Board puts `boards` of them
// side by side.
DisplayMode desktop_of(const ModeEntry& row, uint32_t layout, size_t boards)
{
    DisplayMode m{row.width() + row.extra_width, row.height() + row.extra_height, row.bpp(),
                  row.frequency()};
    if (layout == LAYOUT_MULTI_BOARD)
        m.width *= static_cast<uint32_t>(boards);
    return m;
}

uint32_t stored_dword(const korvid_host::RegistryKey& key, const std::u16string& name,
                      uint32_t otherwise)
{
    auto it = key.find(name);
    if (it == key.end() || it->second.type != korvid_host::kRegDword || it->second.data.size() != 4)
        return otherwise;
    uint32_t v;
    std::memcpy(&v, it->second.data.data(), 4);
    return v;
}

} // namespace

DisplayBoards::DisplayBoards(korvid_host::System& machine) : machine_(machine)
{
    // The display driver learns how many boards there are from the device it
    // opened, and reaches the others by selecting them.
    MiniportClient first(machine, 0);
    uint32_t count = first.query_word(IOCTL_PRIV_GET_NUM_BOARDS).value_or(0);
    for (uint32_t i = 0; i < count; ++i)
        clients_.emplace_back(machine, static_cast<int>(i));
}

uint32_t DisplayBoards::stored_layout()
{
    const korvid_host::RegistryKey& key = machine_.registry(0);
    if (stored_dword(key, u"DoubleWide", 0) == 1)
        return LAYOUT_DOUBLE_WIDE;
    if (stored_dword(key, u"TwoTall", 0) == 1)
        return LAYOUT_TWO_TALL;
    if (stored_dword(key, u"MultiBoardFlag", MULTI_BOARD_OFF) == MULTI_BOARD_ON)
        return LAYOUT_MULTI_BOARD;
    return LAYOUT_NORMAL;
}

bool DisplayBoards::start(DisplayDriver& driver, DisplayMode mode)
{
    driver.attach(this);
    driver.board_count = static_cast<uint32_t>(boards());
    driver.layout = stored_layout();
    if (mode.frequency == 0) {
        for (const DisplayMode& m : desktop_modes(driver.layout))
            if (m.width == mode.width && m.height == mode.height &&
                m.bits_per_pixel == mode.bits_per_pixel &&
                (mode.frequency == 0 || m.frequency < mode.frequency))
                mode.frequency = m.frequency;
    }
    if (boards() == 0 || !set_desktop(mode, driver.layout))
        return false;
    driver.current = driver.registry_mode = mode;
    return true;
}

bool DisplayBoards::set_layout(uint32_t layout)
{
    // The miniport has no flag of its own for Multi Board: each board shows
    // a single screen.
    uint32_t flag = layout == LAYOUT_MULTI_BOARD ? uint32_t{LAYOUT_NORMAL} : layout;
    return !clients_.empty() &&
           clients_[0].send_word(IOCTL_PRIV_SET_VIRTUALS_FLAG, flag) == NO_ERROR;
}

// The miniport lists virtual rows of other layouts only while every layout
// is asked for; the filter is put back as it was.
std::vector<ModeEntry> DisplayBoards::every_layout(MiniportClient& client)
{
    bool all = client.query_word(IOCTL_PRIV_GET_ALL_VIRTUAL_MODES).value_or(0) != 0;
    if (!all)
        client.send_switch(IOCTL_PRIV_SET_ALL_VIRTUAL_MODES, true);
    std::vector<ModeEntry> rows = client.list_modes();
    if (!all)
        client.send_switch(IOCTL_PRIV_SET_ALL_VIRTUAL_MODES, false);
    return rows;
}

std::vector<DisplayMode> DisplayBoards::desktop_modes(uint32_t layout)
{
    std::vector<DisplayMode> list;
    if (clients_.empty())
        return list;
    for (const ModeEntry& row : every_layout(clients_[0])) {
        if (row.layout() != board_layout(layout))
            continue;
        DisplayMode m = desktop_of(row, layout, boards());
        if (std::find(list.begin(), list.end(), m) == list.end())
            list.push_back(m);
    }
    return list;
}

std::optional<ModeEntry> DisplayBoards::row_for(MiniportClient& client, const DisplayMode& mode,
                                                uint32_t layout)
{
    for (const ModeEntry& row : every_layout(client))
        if (row.layout() == board_layout(layout) && desktop_of(row, layout, boards()) == mode)
            return row;
    return std::nullopt;
}

bool DisplayBoards::set_desktop(const DisplayMode& mode, uint32_t layout)
{
    size_t used = layout == LAYOUT_MULTI_BOARD ? boards() : 1;
    for (size_t i = 0; i < used; ++i) {
        auto row = row_for(clients_[i], mode, layout);
        if (!row || clients_[i].set_mode(row->index()) != NO_ERROR)
            return false;
    }
    return true;
}

} // namespace sim
