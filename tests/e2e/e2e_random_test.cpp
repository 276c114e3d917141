// A long conversation of arbitrary requests (known and unknown codes, short
// and odd buffers, shared and separate, out-of-range values) on two boards.
// The replies are not predicted here: what counts is that korvid.sys answers
// every one of them exactly as the host build does, touching the devices in
// the same way, and never writes outside a buffer.
#include "tests/e2e/e2e.h"

#include "display/miniport_requests.h"

#include <iterator>
#include <random>

namespace e2e {

namespace {

constexpr unsigned kSeed = 0x4B56;
constexpr int kRequests = 3000;

// Every code the miniport answers, and a few it does not.
std::vector<ULONG> request_codes()
{
    std::vector<ULONG> codes = sim::request_codes();
    for (ULONG unknown : {KORVID_PRIVATE_IOCTL(0xEBA), KORVID_PRIVATE_IOCTL(0xEC7),
                          KORVID_PRIVATE_IOCTL(0xEF3), 0UL})
        codes.push_back(unknown);
    return codes;
}
const std::vector<ULONG> kCodes = request_codes();

// Buffer lengths around the sizes the requests check.
const size_t kLengths[] = {0, 1, 3, 4, 5, 6, 7, 8, 11, 12, 15, 16, 31, 32, 43, 44, 79, 80, 95, 96};

class Conversation {
  public:
    explicit Conversation(unsigned seed) : random_(seed) {}

    uint32_t below(uint32_t n)
    {
        return std::uniform_int_distribution<uint32_t>(0, n - 1)(random_);
    }

    // Words that mean something to some request: row indices, counts and
    // first entries, refresh rates, PLL words, and anything at all.
    uint32_t word()
    {
        switch (below(6)) {
        case 0:
            return below(470);
        case 1:
            return below(4);
        case 2:
            return (below(300) << 16) | below(300);
        case 3:
            return 0xFFFFFFFF - below(2);
        case 4:
            return 60 + below(30);
        default:
            return std::uniform_int_distribution<uint32_t>()(random_);
        }
    }

    Bytes input()
    {
        Bytes in;
        const size_t length = below(20) == 0 ? 4 + 4 * 257 : kLengths[below(std::size(kLengths))];
        while (in.size() < length) {
            const Bytes w = words({word()});
            in.insert(in.end(), w.begin(), w.end());
        }
        in.resize(length);
        return in;
    }

    void send_one(Session& s)
    {
        const ULONG code = kCodes[below(static_cast<uint32_t>(kCodes.size()))];
        size_t out = kLengths[below(std::size(kLengths))];
        if (code == IOCTL_VIDEO_QUERY_AVAIL_MODES && below(2))
            out = 80 * below(300);
        const Buffers buffers = below(3) == 0 ? Buffers::Shared : Buffers::Separate;
        Reply r = s.send(code, input(), out, buffers, static_cast<int>(below(2)));
        EXPECT_TRUE(r.handled);
    }

  private:
    std::mt19937 random_;
};

void random_conversation(Session& s)
{
    ASSERT_EQ(s.boot(boards({0x11, 0x13})), NO_ERROR);
    Conversation talk(kSeed);
    for (int i = 0; i < kRequests; ++i) {
        talk.send_one(s);
        if (::testing::Test::HasFailure())
            return; // the first fault is the one to chase
    }
}

TEST_P(EndToEnd, AnswersAnyConversationLikeTheHostBuild)
{
    play(random_conversation);
}

} // namespace

} // namespace e2e
