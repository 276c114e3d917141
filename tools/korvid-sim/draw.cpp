#include "tools/korvid-sim/draw.h"

namespace ksim {

namespace {

constexpr const char* kNoCurrentMode = "the miniport does not report the current mode";

bool drawable_depth(unsigned bpp)
{
    return bpp == 8 || bpp == 16 || bpp == 32;
}

} // namespace

bool draw(sim::MiniportClient& client, const sim::Image& picture, std::string* why)
{
    auto mode = client.current_mode();
    if (!mode) {
        *why = kNoCurrentMode;
        return false;
    }
    unsigned bpp = mode->bpp();
    if (!drawable_depth(bpp)) {
        *why = "the current mode has " + std::to_string(bpp) + " bits per pixel";
        return false;
    }
    VP_STATUS status = NO_ERROR;
    auto memory = client.map_video_memory(&status);
    if (!memory) {
        *why = "mapping video memory failed: " + sim::status_name(status);
        return false;
    }
    if (bpp == 8)
        client.load_palette(0, sim::pattern_palette());
    bool fits =
        sim::write_picture(picture, bpp, memory->frame_buffer, mode->pitch(), memory->frame_length);
    client.unmap_video_memory(*memory);
    if (!fits)
        *why = "the picture runs past the end of the frame buffer";
    return fits;
}

bool draw_pattern(sim::MiniportClient& client, sim::Pattern pattern, const std::string& caption,
                  std::string* why)
{
    auto mode = client.current_mode();
    if (!mode) {
        *why = kNoCurrentMode;
        return false;
    }
    return draw(client, sim::render_pattern(pattern, mode->width(), mode->height(), caption), why);
}

} // namespace ksim
