#include "hardware/region.h"

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>

namespace sim {

namespace {
constexpr size_t kPage = 4096;

size_t page_round(size_t n)
{
    return (n + kPage - 1) & ~(kPage - 1);
}

[[noreturn]] void fail(const char* what)
{
    std::perror(what);
    std::abort();
}

uint8_t* reserve(size_t size)
{
    void* p = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED)
        fail("sim: cannot reserve an aperture");
    return static_cast<uint8_t*>(p);
}

// Places `length` bytes of the shared memory from `offset` at `at`.
void place(int memory, uint8_t* at, size_t offset, size_t length)
{
    if (mmap(at, length, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, memory,
             static_cast<off_t>(offset)) == MAP_FAILED)
        fail("sim: cannot back an aperture with memory");
}
} // namespace

Region::Region(size_t size, size_t accessible)
    : base_(reserve(page_round(size))), size_(page_round(size)), accessible_(accessible)
{
    if (!accessible_)
        return;
    memory_ = memfd_create("sim-aperture", MFD_CLOEXEC);
    if (memory_ < 0 || ftruncate(memory_, static_cast<off_t>(page_round(accessible_))) != 0)
        fail("sim: cannot create aperture memory");
    place(memory_, base_, 0, page_round(accessible_));
}

Region::~Region()
{
    if (base_)
        munmap(base_, size_);
    if (memory_ >= 0)
        close(memory_);
}

Region::Region(Region&& o) noexcept
{
    *this = std::move(o);
}

Region& Region::operator=(Region&& o) noexcept
{
    if (this != &o) {
        this->~Region();
        base_ = std::exchange(o.base_, nullptr);
        size_ = o.size_;
        accessible_ = o.accessible_;
        memory_ = std::exchange(o.memory_, -1);
    }
    return *this;
}

void Region::zero(size_t offset, size_t length)
{
    // Clearing all of video memory at every mode set is most of what the
    // simulation does; pages the system takes back cost nothing to clear.
    size_t first = std::min(page_round(offset), offset + length);
    size_t last = std::max(first, (offset + length) & ~(kPage - 1));
    if (last > first &&
        fallocate(memory_, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, static_cast<off_t>(first),
                  static_cast<off_t>(last - first)) != 0) {
        first = last = offset;
    }
    std::memset(base_ + offset, 0, first - offset);
    std::memset(base_ + last, 0, offset + length - last);
}

View Region::view(size_t offset, size_t length) const
{
    const size_t first_page = offset & ~(kPage - 1);
    const size_t lead = offset - first_page;
    const size_t reserved = page_round(lead + length) + kPage; // and a guard page
    uint8_t* at = reserve(reserved);
    const size_t backed_end = std::min(page_round(accessible_), page_round(offset + length));
    if (memory_ >= 0 && backed_end > first_page)
        place(memory_, at, first_page, backed_end - first_page);
    return View(at, reserved, at + lead, length);
}

View::~View()
{
    if (reservation_)
        munmap(reservation_, reserved_);
}

View::View(View&& o) noexcept
{
    *this = std::move(o);
}

View& View::operator=(View&& o) noexcept
{
    if (this != &o) {
        this->~View();
        reservation_ = std::exchange(o.reservation_, nullptr);
        reserved_ = o.reserved_;
        start_ = o.start_;
        length_ = o.length_;
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
