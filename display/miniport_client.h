// The display driver's request-sending half: what a display driver of the
// family asks the miniport, as one component that the display-driver model
// and korvid-sim share. It counts and lists modes, picks and sets a mode by
// index or by "WxHxBPP[@HZ][:layout]", maps and unmaps video memory, loads
// the palette and sends any request. Everything goes through the miniport's
// StartIO, so it works the same on the host-built miniport and on a loaded
// korvid.sys.
//
// Whoever builds a request, the client keeps what a display driver keeps
// from the answer: the mode count that sizes the list, the addresses it must
// hand back to release what it was given, and a committed custom refresh
// rate, stored in the registry where the miniport reads it at its next start.
//
// The display-driver model turns a desktop-layout change into a mode set with
// change_layout(): the same resolution, depth and refresh in the new layout
// (the escape's layout codes 0, 1 and 2 are Layout::Single, Wide and Tall).
// It holds one client per board, each on the board's own device.
#pragma once

#include "platform/videoport/system.h"
#include "display/miniport_requests.h"
#include "display/request_packet.h"
#include "display/mode_entry.h"
#include "support/rgb.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// Where the display driver sees video memory after a map request.
struct VideoMemory {
    uint8_t* ram_base = nullptr;
    uint32_t ram_length = 0;
    uint8_t* frame_buffer = nullptr;
    uint32_t frame_length = 0;
};

// What the display driver keeps from the miniport's answers.
struct KeptAnswers {
    uint32_t modes_counted = 0; // the last mode count, which sizes the list
    // Addresses to hand back when releasing what the miniport gave.
    uintptr_t mapping = 0;
    uintptr_t share = 0;
    std::vector<uint8_t> ranges;
};

// The device whose handle the family's display driver opens.
constexpr int kDisplayDevice = 0;

class MiniportClient {
  public:
    // Talks to board `board` as the family's display driver does: through
    // the handle of device 0, the one it opens, selecting any other board
    // with the private board-selection request before each request and
    // selecting board 0 again after it.
    explicit MiniportClient(korvid_host::System& machine, int board = 0);

    korvid_host::System& machine() { return machine_; }
    int board() const { return board_; }

    // One request through the video port, input and output sharing one
    // buffer as the buffered method hands it over; what its answer tells a
    // display driver to keep is kept.
    Reply send(ULONG code, const std::vector<uint8_t>& input, size_t output_length);
    const KeptAnswers& kept() const { return kept_; }

    // ---- modes -------------------------------------------------------
    std::optional<uint32_t> count_modes();
    // The list as the display driver gets it (count, then the records),
    // each with its virtual extents.
    std::vector<ModeEntry> list_modes();
    std::optional<ModeEntry> current_mode();
    VP_STATUS set_mode(uint32_t row);
    // The listed mode that fits `want`; virtual layouts are looked up with
    // every layout listed, the list filter put back afterwards.
    std::optional<ModeEntry> find_mode(const WantedMode& want, std::string* why);
    std::optional<ModeEntry> set_mode(const WantedMode& want, std::string* why);
    // The current resolution, depth and refresh in another layout.
    std::optional<ModeEntry> change_layout(Layout layout, std::string* why);
    uint32_t extra_width(uint32_t row);
    uint32_t extra_height(uint32_t row);

    // ---- memory, palette -----------------------------------------------
    std::optional<VideoMemory> map_video_memory(VP_STATUS* status = nullptr);
    VP_STATUS unmap_video_memory(const VideoMemory& memory);
    VP_STATUS load_palette(uint32_t first, std::span<const Rgb> colours);
    VP_STATUS reset_device();

    // ---- private requests ----------------------------------------------
    std::optional<uint32_t> query_word(ULONG code);
    std::string query_string(ULONG code);
    VP_STATUS send_word(ULONG code, uint32_t value);
    VP_STATUS send_switch(ULONG code, bool on);

  private:
    void remember(ULONG code, const Reply& reply);
    void store_custom_refresh(const Reply& reply);
    uint32_t query_word_with(ULONG code, uint32_t input);
    std::string missing_mode(const WantedMode& want, const std::vector<ModeEntry>& list);

    Reply send_on_device(ULONG code, const std::vector<uint8_t>& input, size_t output_length);
    void select_board(uint32_t board);

    korvid_host::System& machine_;
    int board_;
    KeptAnswers kept_;
};

} // namespace sim
