#include "support/test_pattern.h"

#include <algorithm>
#include <cstring>
#include <vector>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb/stb_easy_font.h>
#pragma GCC diagnostic pop

namespace sim {

namespace {

constexpr Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255}, kRed{255, 0, 0}, kGreen{0, 255, 0},
    kBlue{0, 0, 255}, kYellow{255, 255, 0}, kCyan{0, 255, 255}, kMagenta{255, 0, 255};

// Colour bars in the usual order, brightest first.
constexpr Rgb kBars[8] = {kWhite, kYellow, kCyan, kGreen, kMagenta, kRed, kBlue, kBlack};

constexpr uint32_t kGridStep = 32;
constexpr uint32_t kCornerMark = 16;

void fill(Image& img, uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1, Rgb c)
{
    x1 = std::min(x1, img.width);
    y1 = std::min(y1, img.height);
    for (uint32_t y = y0; y < y1; ++y)
        for (uint32_t x = x0; x < x1; ++x)
            img.at(x, y) = c;
}

void frame(Image& img, Rgb c)
{
    fill(img, 0, 0, img.width, 1, c);
    fill(img, 0, img.height - 1, img.width, img.height, c);
    fill(img, 0, 0, 1, img.height, c);
    fill(img, img.width - 1, 0, img.width, img.height, c);
}

// Eight bars over the top two thirds, the same bars reversed below: a
// wrong pitch shears the edges, a wrong start moves them.
void draw_bars(Image& img)
{
    uint32_t split = img.height * 2 / 3;
    for (uint32_t i = 0; i < 8; ++i) {
        uint32_t x0 = img.width * i / 8, x1 = img.width * (i + 1) / 8;
        fill(img, x0, 0, x1, split, kBars[i]);
        fill(img, x0, split, x1, img.height, kBars[7 - i]);
    }
    frame(img, kRed);
}

void draw_grid(Image& img)
{
    for (uint32_t y = 0; y < img.height; ++y)
        for (uint32_t x = 0; x < img.width; ++x)
            if (x % kGridStep == 0 || y % kGridStep == 0)
                img.at(x, y) = kWhite;
    // Both diagonals, so that any shear or flip shows.
    for (uint32_t x = 0; x < img.width; ++x) {
        uint32_t y = uint32_t(uint64_t(x) * (img.height - 1) / std::max(1u, img.width - 1));
        img.at(x, y) = kGreen;
        img.at(img.width - 1 - x, y) = kGreen;
    }
    // A mark in each corner: red top left, green top right, blue bottom left, yellow bottom right.
    uint32_t right = img.width - 1, bottom = img.height - 1, mark = kCornerMark;
    fill(img, 1, 1, 1 + mark, 1 + mark, kRed);
    fill(img, right - mark, 1, right, 1 + mark, kGreen);
    fill(img, 1, bottom - mark, 1 + mark, bottom, kBlue);
    fill(img, right - mark, bottom - mark, right, bottom, kYellow);
    frame(img, kRed);
}

// One line of text at an integer scale; stb_easy_font builds each glyph
// from axis-aligned quads, which are filled here pixel by pixel.
void draw_text(Image& img, uint32_t x, uint32_t y, const std::string& text, uint32_t scale, Rgb c)
{
    struct Vertex {
        float x, y, z;
        unsigned char colour[4];
    };
    std::vector<Vertex> quads(text.size() * 80 + 64);
    std::vector<char> chars(text.begin(), text.end());
    chars.push_back('\0');
    int n = stb_easy_font_print(0, 0, chars.data(), nullptr, quads.data(),
                                static_cast<int>(quads.size() * sizeof(Vertex)));
    for (int q = 0; q < n; ++q) {
        const Vertex* v = &quads[size_t(q) * 4];
        auto px = [&](float f) { return x + uint32_t(std::max(0.0f, f)) * scale; };
        auto py = [&](float f) { return y + uint32_t(std::max(0.0f, f)) * scale; };
        fill(img, px(v[0].x), py(v[0].y), px(v[2].x), py(v[2].y), c);
    }
}

uint32_t text_height(uint32_t scale)
{
    return 12 * scale;
}

void draw_text_page(Image& img, const std::string& caption)
{
    fill(img, 0, 0, img.width, img.height, kBlue);
    uint32_t big = std::max(1u, img.width / 320), small = std::max(1u, big / 2 + big % 2);
    uint32_t y = 8 * big;
    draw_text(img, 8 * big, y, caption.empty() ? "korvid-sim" : caption, big, kWhite);
    y += text_height(big) + 4 * big;
    const char* lines[] = {"THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG",
                           "the quick brown fox jumps over the lazy dog",
                           "0123456789 !\"#$%&'()*+,-./:;<=>?@[\\]^_{|}~"};
    const Rgb colours[] = {kYellow, kCyan, kWhite};
    // Text down to the bottom, so that a fault anywhere on the screen shows.
    for (int i = 0; y + text_height(small) < img.height; i = (i + 1) % 3) {
        draw_text(img, 8 * big, y, lines[i], small, colours[i]);
        y += text_height(small) + 2 * small;
    }
    frame(img, kWhite);
}

} // namespace

const char* pattern_name(Pattern p)
{
    switch (p) {
    case Pattern::Bars:
        return "bars";
    case Pattern::Grid:
        return "grid";
    case Pattern::Text:
        return "text";
    }
    return "?";
}

std::optional<Pattern> parse_pattern(std::string_view name)
{
    for (Pattern p : {Pattern::Bars, Pattern::Grid, Pattern::Text})
        if (name == pattern_name(p))
            return p;
    return std::nullopt;
}

Image render_pattern(Pattern p, uint32_t width, uint32_t height, const std::string& caption)
{
    Image img(width, height);
    if (width < 2 || height < 2)
        return img;
    switch (p) {
    case Pattern::Bars:
        draw_bars(img);
        break;
    case Pattern::Grid:
        draw_grid(img);
        break;
    case Pattern::Text:
        draw_text_page(img, caption);
        break;
    }
    return img;
}

std::array<Rgb, 256> pattern_palette()
{
    std::array<Rgb, 256> pal{};
    for (unsigned i = 0; i < 256; ++i)
        pal[i] = Rgb{uint8_t((i >> 5) * 255 / 7), uint8_t(((i >> 2) & 7) * 255 / 7),
                     uint8_t((i & 3) * 255 / 3)};
    return pal;
}

uint32_t pack_pixel(Rgb c, unsigned bpp)
{
    switch (bpp) {
    case 8:
        return (c.r >> 5) << 5 | (c.g >> 5) << 2 | c.b >> 6;
    case 16:
        return (c.r >> 3) << 11 | (c.g >> 2) << 5 | c.b >> 3;
    default:
        return uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
    }
}

bool write_picture(const Image& picture, unsigned bpp, uint8_t* base, uint32_t pitch,
                   uint32_t length)
{
    const uint32_t bytes = bpp / 8;
    bool fits = true;
    for (uint32_t y = 0; y < picture.height; ++y)
        for (uint32_t x = 0; x < picture.width; ++x) {
            uint64_t at = uint64_t(y) * pitch + uint64_t(x) * bytes;
            if (at + bytes > length) {
                fits = false;
                continue;
            }
            uint32_t v = pack_pixel(picture.at(x, y), bpp);
            std::memcpy(base + at, &v, bytes); // little-endian, as the board stores it
        }
    return fits;
}

} // namespace sim
