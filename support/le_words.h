// Little-endian words in request buffers, and addresses carried in them:
// what the display driver's side reads and writes (i386, 32-bit pointers).
#pragma once

#include "platform/freestanding/little_endian.h"

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace sim::le {

inline void put32(std::vector<uint8_t>& v, uint32_t w)
{
    v.resize(v.size() + 4);
    store_le32(v.data() + v.size() - 4, w);
}

inline void put16(std::vector<uint8_t>& v, uint32_t w)
{
    v.resize(v.size() + 2);
    store_le16(v.data() + v.size() - 2, static_cast<uint16_t>(w));
}

inline std::vector<uint8_t> words(std::initializer_list<uint32_t> list)
{
    std::vector<uint8_t> v;
    for (uint32_t w : list)
        put32(v, w);
    return v;
}

// 0 where the word does not fit.
inline uint32_t get32(const std::vector<uint8_t>& v, size_t at)
{
    return at + 4 <= v.size() ? load_le32(v.data() + at) : 0;
}

template <typename T> T* pointer_at(const std::vector<uint8_t>& v, size_t at)
{
    return reinterpret_cast<T*>(static_cast<uintptr_t>(get32(v, at)));
}

} // namespace sim::le
