// A reserved range of the host address space. Device apertures that only the
// video port's access operations may reach are reserved without access
// rights, so a direct dereference faults; memory apertures are readable and
// writable up to the size of the memory behind them. The memory is shared,
// so a view elsewhere in the address space shows the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sim {

// A second mapping of part of a region at an address of its own, exactly as
// long as asked: the page after it, and any part beyond the region's memory,
// fault when touched.
class View {
  public:
    View() = default;
    View(uint8_t* reservation, size_t reserved, uint8_t* start, size_t length)
        : reservation_(reservation), reserved_(reserved), start_(start), length_(length)
    {
    }
    ~View();
    View(View&& o) noexcept;
    View& operator=(View&& o) noexcept;
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    uint8_t* start() const { return start_; }
    size_t length() const { return length_; }

  private:
    uint8_t* reservation_ = nullptr;
    size_t reserved_ = 0;
    uint8_t* start_ = nullptr;
    size_t length_ = 0;
};

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
    // Zeroes `length` accessible bytes from `offset`: whole pages are handed
    // back to the system (they read as zero again), the ends are cleared.
    void zero(size_t offset, size_t length);
    // `length` bytes from `offset` (within the region) seen at a new address.
    View view(size_t offset, size_t length) const;

  private:
    uint8_t* base_ = nullptr;
    size_t size_ = 0;
    size_t accessible_ = 0;
    int memory_ = -1; // the shared memory behind the accessible part
};

} // namespace sim
