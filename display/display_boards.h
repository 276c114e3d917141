// The display driver on the simulated boards: the miniport's side of the
// desktop layouts. A layout change sets the miniport's virtuals flag; the
// desktop modes of a layout come from the miniport's mode list read with
// every layout listed (the visible size plus the extra width or height of
// each virtual row); a desktop mode is shown by setting the row whose
// visible size plus extra width and height is the desktop size, on the
// first board, or on every board at its share of the width for Multi Board.
#pragma once

#include "display/display_driver.h"
#include "display/miniport_client.h"

#include <optional>
#include <vector>

namespace sim {

class DisplayBoards : public DisplayBackend {
  public:
    // Runs on every board the booted miniport found.
    explicit DisplayBoards(korvid_host::System& machine);

    size_t boards() const { return clients_.size(); }
    MiniportClient& client(size_t board) { return clients_.at(board); }

    // The display driver's start: it attaches the driver, takes the layout
    // the first board's key stores ("DoubleWide", "TwoTall" and
    // "MultiBoardFlag", as the Control Panel left them) and shows `mode`
    // (its refresh 0: the lowest listed) in it. False when the boards do
    // not offer that mode.
    bool start(DisplayDriver& driver, DisplayMode mode);

    bool set_layout(uint32_t layout) override;
    std::vector<DisplayMode> desktop_modes(uint32_t layout) override;
    bool set_desktop(const DisplayMode& mode, uint32_t layout) override;

    // The stored layout of the first board's key.
    uint32_t stored_layout();

  private:
    std::vector<ModeEntry> every_layout(MiniportClient& client);
    std::optional<ModeEntry> row_for(MiniportClient& client, const DisplayMode& mode,
                                     uint32_t layout);

    korvid_host::System& machine_;
    std::vector<MiniportClient> clients_;
};

} // namespace sim
