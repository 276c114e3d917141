#include "region.h"

#include <cstdlib>
#include <cstdio>
#include <sys/mman.h>
#include <utility>

namespace sim {

namespace {
size_t page_round(size_t n)
{
    const size_t page = 4096;
    return (n + page - 1) & ~(page - 1);
}
} // namespace

Region::Region(size_t size, size_t accessible) : size_(page_round(size)), accessible_(accessible)
{
    void* p = mmap(nullptr, size_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) {
        std::perror("sim: cannot reserve an aperture");
        std::abort();
    }
    base_ = static_cast<uint8_t*>(p);
    if (accessible_ && mprotect(base_, page_round(accessible_), PROT_READ | PROT_WRITE) != 0) {
        std::perror("sim: cannot back an aperture with memory");
        std::abort();
    }
}

Region::~Region()
{
    if (base_)
        munmap(base_, size_);
}

Region::Region(Region&& o) noexcept
    : base_(std::exchange(o.base_, nullptr)), size_(o.size_), accessible_(o.accessible_)
{
}

Region& Region::operator=(Region&& o) noexcept
{
    if (this != &o) {
        if (base_)
            munmap(base_, size_);
        base_ = std::exchange(o.base_, nullptr);
        size_ = o.size_;
        accessible_ = o.accessible_;
    }
    return *this;
}

bool Region::contains(const void* p, size_t len) const
{
    auto a = reinterpret_cast<uintptr_t>(p);
    auto b = reinterpret_cast<uintptr_t>(base_);
    return base_ && a >= b && len <= size_ && a - b <= size_ - len;
}

} // namespace sim
