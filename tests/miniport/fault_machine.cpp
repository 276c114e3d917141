#include "tests/miniport/fault_machine.h"

#include "hardware/decode.h"

namespace miniport_tests {

using testing_support::Buffers;
using testing_support::Reply;
using testing_support::send;
using testing_support::words;

namespace {

constexpr size_t kModeInfoBytes = sizeof(VIDEO_MODE_INFORMATION);
constexpr size_t kModeIndexWord = 1;
constexpr size_t kVisWidthWord = 2;
constexpr size_t kVisHeightWord = 3;

::testing::AssertionResult refused(const char* what, const Reply& r)
{
    return ::testing::AssertionFailure() << what << " ended with status " << r.status;
}

} // namespace

Reply call(korvid_host::System& m, ULONG code, const std::vector<uint8_t>& in, size_t out)
{
    return send(m, code, in, out);
}

::testing::AssertionResult serves_requests(korvid_host::System& m, int device)
{
    Reply count = send(m, IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES, {}, 8, Buffers::Separate, device);
    if (count.status != NO_ERROR || count.word() == 0)
        return refused("the mode count", count);
    Reply list = send(m, IOCTL_VIDEO_QUERY_AVAIL_MODES, {}, count.word() * kModeInfoBytes,
                      Buffers::Separate, device);
    if (list.status != NO_ERROR)
        return refused("the mode list", list);
    Reply set = send(m, IOCTL_VIDEO_SET_CURRENT_MODE, words({list.word(kModeIndexWord)}), 0,
                     Buffers::Separate, device);
    if (set.status != NO_ERROR)
        return refused("the mode set", set);
    sim::Board& board = m.machine().board(m.board_of_device(device));
    sim::DisplayState shown = sim::decode_display(board);
    if (!shown.native || shown.h_active != list.word(kVisWidthWord) ||
        shown.v_active != list.word(kVisHeightWord))
        return ::testing::AssertionFailure() << "the board shows " << sim::describe(shown);
    Reply colour = send(m, IOCTL_VIDEO_SET_COLOR_REGISTERS, words({1 | (7 << 16), 0x00336699}), 0,
                        Buffers::Separate, device);
    if (colour.status != NO_ERROR || !(board.dac().palette(7) == sim::Rgb{0x99, 0x66, 0x33}))
        return refused("the palette load", colour);
    Reply reset = send(m, IOCTL_VIDEO_RESET_DEVICE, {}, 0, Buffers::Separate, device);
    if (reset.status != NO_ERROR || sim::decode_display(board).native)
        return refused("the return to VGA", reset);
    return ::testing::AssertionSuccess();
}

} // namespace miniport_tests
