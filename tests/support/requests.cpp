#include "tests/support/requests.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace testing_support {
namespace {

constexpr size_t kGuardBytes = 32;
constexpr uint8_t kGuardFill = 0xA5;
constexpr size_t kWordBytes = 4;

// A buffer of exactly `length` bytes between two runs of guard bytes.
class Guarded {
  public:
    Guarded(const Bytes& content, size_t length)
        : storage_(kGuardBytes + length + kGuardBytes, kGuardFill), length_(length)
    {
        std::fill_n(data(), length, kUnwritten);
        std::copy_n(content.begin(), std::min(content.size(), length), data());
    }
    uint8_t* data() { return storage_.data() + kGuardBytes; }
    Bytes content() const
    {
        return Bytes(storage_.begin() + kGuardBytes, storage_.begin() + kGuardBytes + length_);
    }
    bool guards_intact() const
    {
        auto is_guard = [](uint8_t b) { return b == kGuardFill; };
        return std::all_of(storage_.begin(), storage_.begin() + kGuardBytes, is_guard) &&
               std::all_of(storage_.end() - kGuardBytes, storage_.end(), is_guard);
    }

  private:
    Bytes storage_;
    size_t length_;
};

} // namespace

std::string format_code(ULONG code)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%06lX", static_cast<unsigned long>(code));
    return buf;
}

Reply send(korvid_host::System& system, ULONG code, const Bytes& input, size_t output_length,
           Buffers buffers, int device)
{
    const bool shared = buffers == Buffers::Shared;
    Guarded in(input, shared ? std::max(input.size(), output_length) : input.size());
    Guarded out({}, shared ? 0 : output_length);
    Reply r;
    static_cast<sim::Reply&>(r) =
        sim::start_request(system, device, code, in.data(), input.size(),
                           shared ? in.data() : out.data(), output_length, kUntouchedInformation);
    const Bytes in_after = in.content();
    r.output = shared ? Bytes(in_after.begin(), in_after.begin() + output_length) : out.content();
    EXPECT_TRUE(in.guards_intact() && out.guards_intact())
        << "request " << format_code(code) << " wrote outside its buffers";
    if (!shared) {
        EXPECT_EQ(in_after, input)
            << "request " << format_code(code) << " wrote into its input buffer";
    }
    return r;
}

uint32_t Reply::word(size_t i) const
{
    if (output.size() < (i + 1) * kWordBytes)
        ADD_FAILURE() << "the reply has no word " << i << " (" << output.size() << " bytes)";
    return sim::le::get32(output, i * kWordBytes);
}

} // namespace testing_support
