#include "tests/fuzz/applet_driver.h"

#include <algorithm>
#include <cstring>

namespace fuzz_tests {

namespace {

constexpr int32_t kOwnAnswerResult = 1;
constexpr int32_t kCallFailed = -1;
constexpr const char* kBiosSeparator = "   ";

// The three caller buffers of ESC_GET_BIOS_DATA, or false for an input that
// does not carry their addresses.
bool bios_buffers(int in_size, const void* in, char* (&buffers)[BIOS_TEXT_COUNT])
{
    uint32_t addresses[BIOS_TEXT_COUNT];
    if (!in || in_size < static_cast<int>(sizeof addresses))
        return false;
    std::memcpy(addresses, in, sizeof addresses);
    for (size_t i = 0; i < BIOS_TEXT_COUNT; ++i) {
        buffers[i] = reinterpret_cast<char*>(static_cast<uintptr_t>(addresses[i]));
        if (!buffers[i])
            return false;
    }
    return true;
}

// The texts in the buffers as the applet must join them: each ends at its
// first zero or at the end of its buffer.
std::string joined_bios_texts(char* const (&buffers)[BIOS_TEXT_COUNT])
{
    std::string joined;
    for (size_t i = 0; i < BIOS_TEXT_COUNT; ++i) {
        if (i > 0)
            joined += kBiosSeparator;
        const char* text = buffers[i];
        joined.append(text, ::strnlen(text, BIOS_TEXT_SIZE));
    }
    return joined;
}

} // namespace

int32_t FuzzedDriver::answer(int escape, int in_size, const void* in, int out_size, void* out)
{
    const EscapePlan* plan = next_ < plans_.size() ? &plans_[next_++] : nullptr;
    int32_t result;
    if (plan && (plan->mode & kPlanOwnAnswer))
        result = own_answer(*plan, escape, in_size, in, out_size, out);
    else
        result = model_.escape(static_cast<uint32_t>(escape), static_cast<uint32_t>(in_size), in,
                               static_cast<uint32_t>(out_size), out);
    switch (plan ? (plan->mode >> kPlanResultShift) & kPlanResultMask : kPlanResultAnswerer) {
    case kPlanResultZero:
        result = 0;
        break;
    case kPlanResultNegative:
        result = kCallFailed;
        break;
    case kPlanResultWord:
        result = plan->result;
        break;
    default:
        break;
    }
    remember(escape, result, in_size, in, out_size, out);
    return result;
}

// The plan's bytes fill the whole output the applet declared, zeros after
// them; for the BIOS texts each of the three 20-byte buffers gets its share.
int32_t FuzzedDriver::own_answer(const EscapePlan& plan, int escape, int in_size, const void* in,
                                 int out_size, void* out)
{
    const std::vector<uint8_t>& data = plan.data;
    auto fill = [&](void* buffer, size_t size, size_t from) {
        auto* bytes = static_cast<uint8_t*>(buffer);
        for (size_t i = 0; i < size; ++i)
            bytes[i] = from + i < data.size() ? data[from + i] : 0;
    };
    if (escape == ESC_GET_BIOS_DATA) {
        char* buffers[BIOS_TEXT_COUNT];
        if (!bios_buffers(in_size, in, buffers))
            return 0;
        for (size_t i = 0; i < BIOS_TEXT_COUNT; ++i)
            fill(buffers[i], BIOS_TEXT_SIZE, i * BIOS_TEXT_SIZE);
    }
    if (out && out_size > 0)
        fill(out, static_cast<size_t>(out_size), 0);
    return kOwnAnswerResult;
}

void FuzzedDriver::remember(int escape, int32_t result, int in_size, const void* in, int out_size,
                            const void* out)
{
    if (escape == ESC_GET_BOARD_FAMILY) {
        family_ = {true, result, 0, {}};
        if (out && out_size >= 4)
            std::memcpy(&family_.family, out, 4);
    } else if (escape == ESC_GET_BIOS_DATA) {
        bios_ = {true, result, 0, {}};
        char* buffers[BIOS_TEXT_COUNT];
        if (bios_buffers(in_size, in, buffers))
            bios_.bios_texts = joined_bios_texts(buffers);
    }
}

} // namespace fuzz_tests
