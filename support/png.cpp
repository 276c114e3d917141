#include "support/png.h"

#include <cerrno>
#include <cstring>
#include <vector>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb/stb_image_write.h>
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace sim {

static_assert(sizeof(Rgb) == 3, "pixels are handed to the encoder as packed RGB");

bool write_png(const std::string& path, const Image& img, std::string* error)
{
    if (img.empty()) {
        *error = "an empty picture";
        return false;
    }
    errno = 0;
    int stride = static_cast<int>(img.width * sizeof(Rgb));
    if (!stbi_write_png(path.c_str(), static_cast<int>(img.width), static_cast<int>(img.height), 3,
                        img.pixels.data(), stride)) {
        *error = "cannot write " + path + (errno ? std::string(": ") + std::strerror(errno) : "");
        return false;
    }
    return true;
}

std::optional<Image> read_png(const std::string& path, std::string* error)
{
    int w = 0, h = 0, channels = 0;
    unsigned char* data = stbi_load(path.c_str(), &w, &h, &channels, 3);
    if (!data) {
        *error = "cannot read " + path + ": " + stbi_failure_reason();
        return std::nullopt;
    }
    Image img(static_cast<uint32_t>(w), static_cast<uint32_t>(h));
    std::memcpy(img.pixels.data(), data, img.pixels.size() * sizeof(Rgb));
    stbi_image_free(data);
    return img;
}

} // namespace sim
