// Plays the display driver's side of one request: the packet's buffers have
// exactly the stated lengths and lie between guard bytes, so an overrun shows
// even in korvid.sys, which the sanitizers cannot see into; the request goes
// through the video port to the miniport's StartIO.
#pragma once

#include "display/request_packet.h"
#include "platform/videoport/system.h"
#include "support/le_words.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace testing_support {

using Bytes = std::vector<uint8_t>;

// Information as the request found it; a request that sets none leaves it so.
constexpr ULONG kUntouchedInformation = 0xDEADBEEF;
// What an output byte holds until the miniport writes it.
constexpr uint8_t kUnwritten = 0xCC;

// Separate input and output buffers, or one for both as the buffered method
// hands them over.
enum class Buffers { Separate, Shared };

// Little-endian 32-bit words, as the requests take them.
inline Bytes words(std::initializer_list<uint32_t> list)
{
    return sim::le::words(list);
}

// What came back: status, Information and the output buffer as left.
struct Reply : sim::Reply {
    // Word i of the output; a failure when the output is shorter.
    uint32_t word(size_t i = 0) const;
};

// Sends one request to device `device`; a failure when it writes outside its
// buffers, or into its input when the buffers are separate.
Reply send(korvid_host::System& system, ULONG code, const Bytes& input, size_t output_length,
           Buffers buffers = Buffers::Separate, int device = 0);

// A control code as the transcripts write it (0x23200C).
std::string format_code(ULONG code);

} // namespace testing_support
