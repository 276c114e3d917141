#include "tests/fuzz/miniport_invariants.h"

#include "miniport/korvid.h"
#include "miniport/private_ioctl.h"
#include "miniport/requests.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fuzz_tests {

namespace {

constexpr ULONG kSlotFlags = TIMING_CUSTOM_SLOT | TIMING_TEST_SLOT;
constexpr ULONG kKnownFlags =
    FLAG_ALL_VIRTUAL_MODES | FLAG_GAMMA_ENABLED | FLAG_TEST_MODES | FLAG_INITIALIZED;
constexpr ULONG kMaxDriverOption = 3;
constexpr ULONG kMaxCursorColor = 0xFFFFFF;
constexpr ULONG kMemConfigWords[] = {0, 0x20000100, 0x40100, 0x40102};

// Device time a request may take: a mode set waits at most a second in each
// of its two idle waits on a chip that never idles; otherwise its delays and
// one clear of 24 MiB stay far below 100 ms. The stall request is capped.
constexpr uint64_t kModeSetNs = 100'000'000;
constexpr uint64_t kStuckModeSetNs = 2'100'000'000;
constexpr uint64_t kResetNs = 10'000'000;
constexpr uint64_t kStallNs = 50'000;

bool is_mapping_request(ULONG code)
{
    switch (code) {
    case IOCTL_VIDEO_MAP_VIDEO_MEMORY:
    case IOCTL_VIDEO_UNMAP_VIDEO_MEMORY:
    case IOCTL_VIDEO_QUERY_PUBLIC_ACCESS_RANGES:
    case IOCTL_VIDEO_FREE_PUBLIC_ACCESS_RANGES:
    case IOCTL_VIDEO_SHARE_VIDEO_MEMORY:
    case IOCTL_VIDEO_UNSHARE_VIDEO_MEMORY:
    case IOCTL_PRIV_MAP_BIOS_ROM:
        return true;
    default:
        return false;
    }
}

bool same_timing(const MODE_TIMING& live, const MODE_TIMING& loaded)
{
    MODE_TIMING t = live;
    if (loaded.ulTimingFlags & kSlotFlags) {
        // A slot takes the clock and PLL words of the rate stored in it.
        t.ulPll526 = loaded.ulPll526;
        t.ulPll528 = loaded.ulPll528;
        t.ulNominalClock = loaded.ulNominalClock;
        t.ulPixelClock = loaded.ulPixelClock;
    }
    return std::memcmp(&t, &loaded, sizeof t) == 0;
}

} // namespace

void broken(const char* format, ...)
{
    std::fprintf(stderr, "invariant broken: ");
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fprintf(stderr, "\n");
    std::abort();
}

void LoadTimeTables::take()
{
    sgram_.assign(display_mode_sgram, display_mode_sgram + num_display_modes_sgram);
    wram_.assign(display_mode_wram, display_mode_wram + num_display_modes_wram);
    records_.clear();
    for (const auto* table : {&sgram_, &wram_})
        for (const DISPLAY_MODE& row : *table) {
            bool seen = false;
            for (const Record& r : records_)
                seen = seen || r.live == row.pTiming;
            if (!seen)
                records_.push_back({row.pTiming, *row.pTiming});
        }
}

void LoadTimeTables::check_table(const DISPLAY_MODE* live, const std::vector<DISPLAY_MODE>& loaded,
                                 const char* name) const
{
    for (size_t i = 0; i < loaded.size(); ++i) {
        const DISPLAY_MODE& now = live[i];
        const DISPLAY_MODE& then = loaded[i];
        VIDEO_MODE_INFORMATION info = now.ModeInformation;
        if (then.pTiming->ulTimingFlags & kSlotFlags)
            info.Frequency = then.ModeInformation.Frequency;
        if (std::memcmp(&info, &then.ModeInformation, sizeof info) != 0)
            broken("%s row %zu: mode information changed", name, i);
        if (now.pTiming != then.pTiming || now.ulExtraWidth != then.ulExtraWidth ||
            now.ulExtraHeight != then.ulExtraHeight)
            broken("%s row %zu: timing or extent changed", name, i);
        if (now.fValid > 1 || now.fValid > then.fValid)
            broken("%s row %zu: validity %u (loaded %u)", name, i, now.fValid, then.fValid);
    }
}

void LoadTimeTables::check() const
{
    check_table(display_mode_sgram, sgram_, "SGRAM table");
    check_table(display_mode_wram, wram_, "WRAM table");
    for (const Record& r : records_)
        if (!same_timing(*r.live, r.loaded))
            broken("timing record at %p changed beyond its slot rate",
                   static_cast<const void*>(r.live));
}

BootState::BootState(korvid_host::System& m) : table_(display_mode), table_rows_(num_display_modes)
{
    for (PVOID ext : m.devices())
        boards_.push_back(*static_cast<PBOARD_EXTENSION>(ext));
    for (const korvid_host::Mapping& map : m.mappings())
        if (map.kernel)
            kernel_mappings_.push_back(map);
    for (const auto& b : m.machine().boards())
        any_never_idle_ = any_never_idle_ || b->setup().never_idle;
}

void BootState::check_board(korvid_host::System& m, size_t i) const
{
    const BOARD_EXTENSION& now = *static_cast<PBOARD_EXTENSION>(m.device_extension(i));
    const BOARD_EXTENSION& then = boards_[i];
    if (std::memcmp(now.AccessRanges, then.AccessRanges, sizeof now.AccessRanges) != 0)
        broken("board %zu: access ranges changed", i);
    if (now.pRegisters != then.pRegisters || now.pIoPorts != then.pIoPorts ||
        now.pVgaPorts != then.pVgaPorts || now.pFrameBuffer != then.pFrameBuffer)
        broken("board %zu: aperture mappings changed", i);
    if (now.pNextBoard != then.pNextBoard)
        broken("board %zu: chain link changed", i);
    if (now.ulPciClassRevision != then.ulPciClassRevision ||
        now.ulBoardConfig != then.ulBoardConfig || now.ulMemoryType != then.ulMemoryType ||
        now.ulDacType != then.ulDacType || now.fDeclock != then.fDeclock)
        broken("board %zu: identity changed", i);
    if (now.ulCurrentMode >= num_display_modes || !display_mode[now.ulCurrentMode].fValid)
        broken("board %zu: current mode %lu is not a valid row", i, now.ulCurrentMode);
    if (now.ulFlags & ~kKnownFlags)
        broken("board %zu: flags 0x%lx", i, now.ulFlags);
    if (now.ulDriverOption > kMaxDriverOption || now.ulCursorColor > kMaxCursorColor)
        broken("board %zu: driver option %lu, cursor colour 0x%lx", i, now.ulDriverOption,
               now.ulCursorColor);
    bool known_config = false;
    for (ULONG w : kMemConfigWords)
        known_config = known_config || now.ulMemConfig == w;
    if (!known_config)
        broken("board %zu: memory configuration 0x%lx", i, now.ulMemConfig);
}

namespace {

bool inside_aperture(sim::Board& b, sim::Aperture aperture, uint32_t phys, uint32_t length)
{
    for (const sim::ApertureMapEntry& e : sim::kApertureMap)
        if (e.aperture == aperture && b.region(aperture))
            return sim::range_holds(b.phys(aperture), e.size, phys, length);
    return false;
}

} // namespace

void BootState::check_mappings(korvid_host::System& m) const
{
    size_t kernel = 0;
    bool rom = false;
    for (const korvid_host::Mapping& map : m.mappings()) {
        if (map.kernel) {
            if (kernel < kernel_mappings_.size()) {
                const korvid_host::Mapping& then = kernel_mappings_[kernel];
                if (map.va != then.va || map.length != then.length || map.board != then.board)
                    broken("kernel mapping %zu changed", kernel);
            } else if (map.aperture != sim::Aperture::Rom || rom) {
                broken("unexpected kernel mapping of %s", sim::aperture_name(map.aperture));
            } else {
                rom = true;
            }
            ++kernel;
            continue;
        }
        if (map.board < 0 || static_cast<size_t>(map.board) >= m.machine().num_boards())
            broken("mapping of board %d", map.board);
        // The display driver's own view, exactly as long as asked, of a
        // range inside the board's aperture.
        if (map.view && (map.view->start() != map.va || map.view->length() != map.length))
            broken("mapping at %p is not the view it was given", map.va);
        if (!inside_aperture(m.machine().board(map.board), map.aperture, map.phys, map.length))
            broken("mapping of 0x%x (%u bytes) is not inside board %d's %s", map.phys, map.length,
                   map.board, sim::aperture_name(map.aperture));
    }
    if (kernel < kernel_mappings_.size())
        broken("a kernel mapping was released");
}

void BootState::check(korvid_host::System& m) const
{
    if (num_boards != m.device_count())
        broken("num_boards %lu with %zu devices", num_boards, m.device_count());
    if (display_mode != table_ || num_display_modes != table_rows_)
        broken("the active mode table changed");
    if (num_selectable_modes > num_display_modes)
        broken("%lu selectable modes of %lu rows", num_selectable_modes, num_display_modes);
    for (size_t i = 0; i < boards_.size(); ++i)
        check_board(m, i);
    check_mappings(m);
}

void BootState::check_request(korvid_host::System& m, ULONG code, size_t mappings_before,
                              uint64_t device_ns) const
{
    if (!is_mapping_request(code) && m.mappings().size() != mappings_before)
        broken("request 0x%lx changed the mapping table", code);
    uint64_t limit = 0;
    if (code == IOCTL_VIDEO_SET_CURRENT_MODE)
        limit = any_never_idle_ ? kStuckModeSetNs : kModeSetNs;
    else if (code == IOCTL_VIDEO_RESET_DEVICE)
        limit = kResetNs;
    else if (code == IOCTL_PRIV_STALL)
        limit = kStallNs;
    if (device_ns > limit)
        broken("request 0x%lx took %llu ns of device time (limit %llu)", code,
               static_cast<unsigned long long>(device_ns), static_cast<unsigned long long>(limit));
}

namespace {

bool is_slot_row(ULONG row)
{
    return display_mode[row].pTiming->ulTimingFlags & kSlotFlags;
}

bool same_bytes(const auto& a, const auto& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A list without its slot rows, whose rates a refresh request may store.
std::vector<VIDEO_MODE_INFORMATION> fixed_rows(const auto& modes)
{
    std::vector<VIDEO_MODE_INFORMATION> out;
    for (const auto& m : modes)
        if (!m.slot)
            out.push_back(m.info);
    return out;
}

bool same_lists(const std::vector<VIDEO_MODE_INFORMATION>& a,
                const std::vector<VIDEO_MODE_INFORMATION>& b)
{
    return a.size() == b.size() &&
           std::memcmp(a.data(), b.data(), a.size() * sizeof(VIDEO_MODE_INFORMATION)) == 0;
}

} // namespace

size_t BoardAnswers::target(korvid_host::System& m, int device)
{
    auto* ext = static_cast<PBOARD_EXTENSION>(m.device_extension(device));
    for (ULONG hops = 0; hops < boardNumber && ext->pNextBoard; ++hops)
        ext = ext->pNextBoard;
    for (size_t i = 0; i < m.device_count(); ++i)
        if (m.devices()[i] == ext)
            return i;
    broken("board selection left the chain");
}

BoardAnswers::Answers BoardAnswers::answers(PBOARD_EXTENSION ext)
{
    Answers a;
    a.record = *ext;
    std::vector<VIDEO_MODE_INFORMATION> list(num_display_modes);
    list.resize(ulZorx_GetModes(ext, list.data(), num_display_modes));
    for (const VIDEO_MODE_INFORMATION& info : list)
        a.modes.push_back({info, is_slot_row(info.ModeIndex)});
    // A current row outside the active table is a change in itself; it is
    // never read.
    a.current_in_table = ext->ulCurrentMode < num_display_modes;
    if (a.current_in_table) {
        FillModeInformation(ext, ext->ulCurrentMode, &a.current);
        a.timing = *display_mode[ext->ulCurrentMode].pTiming;
        a.current_slot = is_slot_row(ext->ulCurrentMode);
    }
    return a;
}

const char* BoardAnswers::what_changed(const Answers& before, const Answers& after,
                                       bool slots_shared)
{
    if (!same_bytes(before.record, after.record))
        return "its board record";
    if (before.current_in_table != after.current_in_table)
        return "whether its current row lies in the mode table";
    VIDEO_MODE_INFORMATION current = before.current;
    MODE_TIMING timing = before.timing;
    if (slots_shared && before.current_slot && after.current_slot) {
        // The rate, clock and PLL word of the slot are what such a request stores.
        current.Frequency = after.current.Frequency;
        timing.ulPll526 = after.timing.ulPll526;
        timing.ulPll528 = after.timing.ulPll528;
        timing.ulNominalClock = after.timing.ulNominalClock;
        timing.ulPixelClock = after.timing.ulPixelClock;
    }
    if (!same_bytes(current, after.current))
        return "its current mode";
    if (!same_bytes(timing, after.timing))
        return "its current row's timing (and so its totals)";
    auto same = [](const Listed& x, const Listed& y) { return same_bytes(x.info, y.info); };
    if (slots_shared ? !same_lists(fixed_rows(before.modes), fixed_rows(after.modes))
                     : !std::equal(before.modes.begin(), before.modes.end(), after.modes.begin(),
                                   after.modes.end(), same))
        return "its mode list";
    return nullptr;
}

bool BoardAnswers::table_changed()
{
    constexpr size_t kWords = 4;
    bool changed = table_ != display_mode || rows_.size() != num_display_modes * kWords;
    table_ = display_mode;
    rows_.resize(num_display_modes * kWords);
    ULONG* w = rows_.data();
    for (ULONG i = 0; i < num_display_modes; ++i, w += kWords) {
        const DISPLAY_MODE& row = display_mode[i];
        const ULONG now[kWords] = {row.fValid, row.ModeInformation.Frequency, row.pTiming->ulPll526,
                                   row.pTiming->ulPixelClock};
        if (std::memcmp(w, now, sizeof now) != 0) {
            std::memcpy(w, now, sizeof now);
            changed = true;
        }
    }
    return changed;
}

void BoardAnswers::take(korvid_host::System& m)
{
    boards_.clear();
    for (PVOID ext : m.devices())
        boards_.push_back(answers(static_cast<PBOARD_EXTENSION>(ext)));
    table_changed();
}

void BoardAnswers::check_request(korvid_host::System& m, ULONG code, size_t target)
{
    const bool slots_shared =
        code == IOCTL_PRIV_SET_CUSTOM_REFRESH || code == IOCTL_PRIV_TRY_REFRESH;
    const bool same_table = !table_changed();
    for (size_t i = 0; i < boards_.size(); ++i) {
        auto* ext = static_cast<PBOARD_EXTENSION>(m.device_extension(i));
        if (same_table && same_bytes(*ext, boards_[i].record))
            continue;
        Answers now = answers(ext);
        if (i != target)
            if (const char* what = what_changed(boards_[i], now, slots_shared))
                broken("request 0x%lx to board %zu changed what board %zu answers: %s (%zu "
                       "modes listed before, %zu after)",
                       code, target, i, what, boards_[i].modes.size(), now.modes.size());
        boards_[i] = std::move(now);
    }
}

} // namespace fuzz_tests
