// Memory windows, the WRAM reset and the return to VGA.
#include "tests/miniport/hw_board.h"
#include "miniport/korvid.h"

using namespace miniport_tests;

namespace {

constexpr uint32_t kConfig = 0x1F04; // what the configuration register held before

TEST(MemoryWindows, OpenWithTheirSizeCodesAndKeepNeighbouringBits)
{
    HwBoard hw(0x10); // 4 MiB
    hw.board().poke_io(chip::IoConfig, kConfig);
    hw.board().poke_reg(chip::XyAControl, 0xA5A5A5A5);
    hw.board().poke_reg(chip::XyBControl, 0x5A5A5A5A);
    Zorx_enable_mw0(&hw.ext);
    Zorx_enable_xyA(&hw.ext);
    Zorx_enable_xyB(&hw.ext);
    const uint32_t c = kConfig | 0x10000;
    EXPECT_TRACE(hw.events(), window0_open(10) + io_update(chip::IoConfig, kConfig, c) +
                                  reg_update(chip::XyAControl, 0xA5A5A5A5, 0xA5A5A1A5) +
                                  io_update(chip::IoConfig, c, c | 0x100000) +
                                  reg_update(chip::XyBControl, 0x5A5A5A5A, 0x5A5A515A) +
                                  io_update(chip::IoConfig, c | 0x100000, c | 0x300000));

    // Smallest c with 4 KiB << c covering the length; lengths past 2 GiB end
    // the search instead of shifting forever.
    const std::pair<ULONG, ULONG> codes[] = {
        {0x1800000, 13}, {0x1400000, 13}, {0x1000000, 12}, {0x800000, 11},   {0x2000, 1},
        {4097, 1},       {4096, 0},       {0, 0},          {0x80000001, 20}, {~0u, 20}};
    for (auto [length, code] : codes) {
        hw.ext.AccessRanges[RANGE_FRAME_BUFFER].RangeLength = length;
        Zorx_enable_mw0(&hw.ext);
        EXPECT_EQ(hw.board().reg(chip::Mw0Size), code) << length;
    }
    hw.ext.AccessRanges[RANGE_XY_WINDOW].RangeLength = ~0u;
    Zorx_enable_xyA(&hw.ext);
    EXPECT_EQ(hw.board().reg(chip::XyAControl) & ~0xF00u, 0xA5A5A0A5u);
}

Events dac_to_vga()
{
    return dac(dac_reg::Misc1, {0}, true) + dac(dac_reg::Misc3, {0, 0}) +
           dac(dac_reg::MiscClock, {0, 0, 0, 0, 2, 0, 1}) + dac(dac_reg::PllControl1, {0}) +
           dac(dac_reg::Misc2, {0}) + dac(dac_reg::CursorControl, {0});
}

TEST(VgaReturn, SequencesByMemoryTypeClockAndBoardClass)
{
    struct Case {
        uint32_t code;
        bool vga_board, primary;
        ULONG mem_config, declock;
        BOOLEAN bios;
        Events want;
    } cases[] = {
        {0x04, true, true, 0x40100, 0, TRUE,
         Events{W32(chip::MemoryConfig, 0x40000)} + wram_reset(0x30) + clock_load(0x0626) +
             dac_to_vga()},
        // The reset callback's form, at raised interrupt level: registers and stalls only.
        {0x14, true, true, 0x20000100, 0, FALSE,
         Events{W32(chip::MemoryConfig, 0x20000000)} + clock_load(0x0626) + dac_to_vga()},
        // Before any mode set, on the fixed memory clock, not a VGA controller.
        {0x04, false, false, 0, 1, TRUE,
         Events{W32(chip::MemoryConfig, 0)} + wram_reset(0x30) + dac_to_vga()},
        // A VGA-compatible board that is not the system's VGA: the BIOS
        // would reset the other board.
        {0x14, true, false, 0, 0, TRUE,
         Events{W32(chip::MemoryConfig, 0)} + clock_load(0x0626) + dac_to_vga()},
    };
    for (Case& c : cases) {
        sim::BoardSetup setup;
        setup.vga_compatible = c.vga_board;
        HwBoard hw(c.code, setup);
        primary_vga = c.primary ? &hw.ext : nullptr;
        hw.ext.ulMemConfig = c.mem_config;
        hw.ext.fDeclock = c.declock;
        hw.board().poke_io(chip::IoMemoryReset, 0x30);
        hw.board().set_text_mode(false);
        Zorx_set_vga_mode(&hw.ext, c.bios);
        const bool called = c.bios && c.primary;
        Events want = stalls(1) + c.want;
        if (called)
            want.push_back({0, Op::Int10, Aperture::VgaPorts, 0, 0, 3});
        EXPECT_TRACE(hw.events(), want) << "code " << c.code << " bios " << int(c.bios);
        ASSERT_EQ(hw.system.int10_calls().size(), called ? 1u : 0u);
        if (called) {
            const VIDEO_X86_BIOS_ARGUMENTS& a = hw.system.int10_calls()[0];
            EXPECT_EQ(a.Ebx | a.Ecx | a.Edx | a.Esi | a.Edi | a.Ebp, 0u);
            EXPECT_TRUE(hw.board().text_mode());
        }
        EXPECT_EQ(hw.ext.ulMemConfig, c.mem_config);
        EXPECT_FALSE(hw.decoded().native);
    }
    primary_vga = nullptr;
}

} // namespace
