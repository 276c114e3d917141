// Pictures drawn as the display driver draws them: through the frame buffer
// the miniport maps for it, with the pattern palette loaded at 8 bits per
// pixel. The screenshot command draws this way before the scan-out reads
// what a monitor shows.
#pragma once

#include "display/miniport_client.h"
#include "support/image.h"
#include "support/test_pattern.h"

#include <string>

namespace ksim {

// Draws `picture` at the top left of the current mode's surface: maps video
// memory, loads the pattern palette at 8 bpp, writes, unmaps. False with the
// reason in *why when the mode, the mapping or the frame buffer's size do not
// allow it.
bool draw(sim::MiniportClient& client, const sim::Image& picture, std::string* why);
// `pattern` at the current mode's visible size, with `caption`.
bool draw_pattern(sim::MiniportClient& client, sim::Pattern pattern, const std::string& caption,
                  std::string* why);

} // namespace ksim
