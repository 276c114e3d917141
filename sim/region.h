// A reserved range of the host address space. Device apertures that only the
// video port's access operations may reach are reserved without access
// rights, so a direct dereference faults; memory apertures are readable and
// writable up to the size of the memory behind them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sim {

class Region {
  public:
    Region() = default;
    // Reserves `size` bytes, of which the first `accessible` are read/write.
    Region(size_t size, size_t accessible);
    ~Region();
    Region(Region&& o) noexcept;
    Region& operator=(Region&& o) noexcept;
    Region(const Region&) = delete;
    Region& operator=(const Region&) = delete;

    uint8_t* base() const { return base_; }
    size_t size() const { return size_; }
    size_t accessible() const { return accessible_; }
    bool contains(const void* p, size_t len = 1) const;
    uint32_t offset_of(const void* p) const
    {
        return static_cast<uint32_t>(static_cast<const uint8_t*>(p) - base_);
    }

  private:
    uint8_t* base_ = nullptr;
    size_t size_ = 0;
    size_t accessible_ = 0;
};

} // namespace sim
