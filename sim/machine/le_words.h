// Little-endian words in request buffers, and addresses carried in them:
// what the display driver's side reads and writes (i386, 32-bit pointers).
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace sim::le {

inline void put32(std::vector<uint8_t>& v, uint32_t w)
{
    for (int i = 0; i < 4; ++i)
        v.push_back(static_cast<uint8_t>(w >> (8 * i)));
}

inline void put16(std::vector<uint8_t>& v, uint32_t w)
{
    v.push_back(static_cast<uint8_t>(w));
    v.push_back(static_cast<uint8_t>(w >> 8));
}

inline uint32_t get32(const std::vector<uint8_t>& v, size_t at)
{
    uint32_t w = 0;
    if (at + 4 <= v.size())
        std::memcpy(&w, v.data() + at, 4);
    return w;
}

template <typename T> T* pointer_at(const std::vector<uint8_t>& v, size_t at)
{
    return reinterpret_cast<T*>(static_cast<uintptr_t>(get32(v, at)));
}

} // namespace sim::le
