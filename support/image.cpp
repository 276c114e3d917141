#include "support/image.h"

#include <algorithm>

namespace sim {

ImageDifference compare_images(const Image& want, const Image& got)
{
    ImageDifference d;
    if (want.width != got.width || want.height != got.height) {
        d.size_differs = true;
        d.count = std::max<uint64_t>(want.pixels.size(), got.pixels.size());
        return d;
    }
    for (uint32_t y = 0; y < want.height; ++y)
        for (uint32_t x = 0; x < want.width; ++x) {
            if (want.at(x, y) == got.at(x, y))
                continue;
            if (d.count++ == 0) {
                d.x = x;
                d.y = y;
                d.want = want.at(x, y);
                d.got = got.at(x, y);
            }
        }
    return d;
}

} // namespace sim
