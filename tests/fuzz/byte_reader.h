// A fuzz input read as a stream of bytes; whatever lies past its end reads
// as zero. Words are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fuzz_tests {

class ByteReader {
  public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool empty() const { return pos_ >= size_; }
    uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint16_t half()
    {
        const uint16_t low = byte();
        return static_cast<uint16_t>(low | byte() << 8);
    }
    uint32_t word()
    {
        const uint32_t low = half();
        return low | uint32_t{half()} << 16;
    }
    // n bytes; missing ones read as zero.
    void fill(uint8_t* out, size_t n)
    {
        for (size_t i = 0; i < n; ++i)
            out[i] = byte();
    }
    std::vector<uint8_t> bytes(size_t n)
    {
        std::vector<uint8_t> v(n);
        fill(v.data(), n);
        return v;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

} // namespace fuzz_tests
