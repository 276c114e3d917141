// PNG files of scanned-out pictures, written and read with stb's image
// libraries (Debian libstb-dev).
#pragma once

#include "support/image.h"

#include <optional>
#include <string>

namespace sim {

// False with the reason in *error when the file cannot be written.
bool write_png(const std::string& path, const Image& img, std::string* error);
// An 8-bit RGB (or RGBA, alpha dropped) PNG file; null with the reason in *error.
std::optional<Image> read_png(const std::string& path, std::string* error);

} // namespace sim
