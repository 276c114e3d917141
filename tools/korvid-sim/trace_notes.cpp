#include "tools/korvid-sim/trace_notes.h"

#include "tools/korvid-sim/describe.h"
#include "hardware/board.h"
#include "hardware/dac.h"

#include <map>

namespace ksim {

namespace {

const std::map<uint16_t, const char*> kDacRegisters = {
    {sim::dac_reg::MiscClock, "miscellaneous clock control"},
    {sim::dac_reg::SyncControl, "sync control"},
    {sim::dac_reg::HSyncPosition, "horizontal sync position"},
    {sim::dac_reg::Power, "power management"},
    {sim::dac_reg::Operation, "DAC operation"},
    {sim::dac_reg::PaletteControl, "palette control"},
    {sim::dac_reg::SystemClockControl, "system clock control"},
    {sim::dac_reg::PixelFormat, "pixel format"},
    {sim::dac_reg::Control8, "8-bpp control"},
    {sim::dac_reg::Control16, "16-bpp control"},
    {sim::dac_reg::Control24, "24-bpp control"},
    {sim::dac_reg::Control32, "32-bpp control"},
    {sim::dac_reg::PllControl1, "PLL control 1"},
    {sim::dac_reg::PllControl2, "PLL control 2"},
    {sim::dac_reg::SystemRef, "memory clock reference divider"},
    {sim::dac_reg::SystemVco, "memory clock VCO divider"},
    {sim::dac_reg::PixelVco, "pixel clock VCO divider"},
    {sim::dac_reg::PixelRef, "pixel clock reference divider"},
    {sim::dac_reg::CursorControl, "cursor control"},
    {sim::dac_reg::CursorColour1, "cursor colour 1 red"},
    {sim::dac_reg::CursorColour1 + 1, "cursor colour 1 green"},
    {sim::dac_reg::CursorColour1 + 2, "cursor colour 1 blue"},
    {sim::dac_reg::CursorColour2, "cursor colour 2 red"},
    {sim::dac_reg::CursorColour2 + 1, "cursor colour 2 green"},
    {sim::dac_reg::CursorColour2 + 2, "cursor colour 2 blue"},
    {sim::dac_reg::Misc1, "miscellaneous control 1"},
    {sim::dac_reg::Misc2, "miscellaneous control 2"},
    {sim::dac_reg::Misc3, "miscellaneous control 3"},
    {sim::dac_reg::Misc4, "miscellaneous control 4"},
    {sim::dac_reg::Misc5, "miscellaneous control 5"},
};

const std::map<uint32_t, const char*> kChipRegisters = {
    {sim::chip::DisplayStart, "display start (bytes)"},
    {sim::chip::DisplayPitch, "display pitch (bytes)"},
    {sim::chip::HActive, "horizontal active (memory words)"},
    {sim::chip::HBlank, "horizontal blank (memory words)"},
    {sim::chip::HFrontPorch, "horizontal front porch (memory words)"},
    {sim::chip::HSync, "horizontal sync (memory words)"},
    {sim::chip::VActive, "vertical active (lines)"},
    {sim::chip::VBlank, "vertical blank (lines)"},
    {sim::chip::VFrontPorch, "vertical front porch (lines)"},
    {sim::chip::VSync, "vertical sync (lines)"},
    {sim::chip::DisplayControl, "display control (sync polarities)"},
    {sim::chip::MemoryConfig, "memory configuration"},
    {sim::chip::BusyStatus, "busy status"},
    {sim::chip::BusyCount, "busy count"},
    {sim::chip::DisplayReserved0, "display control 0x20"},
    {sim::chip::DisplayReserved1, "display control 0x24"},
    {sim::chip::DisplayReserved2, "display control 0x50"},
    {sim::chip::DisplayReserved3, "display control 0x54"},
    {sim::chip::Mw0Base, "memory window 0"},
    {sim::chip::Mw0Size, "memory window 0 size"},
    {sim::chip::Mw0Origin, "memory window 0"},
    {sim::chip::Mw0Control, "memory window 0"},
    {sim::chip::Mw0Mask, "memory window 0"},
    {sim::chip::XyAControl, "XY window A control"},
    {sim::chip::XyBControl, "XY window B control"},
};

const std::map<uint32_t, const char*> kIoRegisters = {
    {sim::chip::IoMemoryClockStrap, "board straps (memory clock source)"},
    {sim::chip::IoConfig, "configuration (window enables)"},
    {sim::chip::IoMemoryType, "memory type setup"},
    {sim::chip::IoSgramTiming, "SGRAM mode"},
    {sim::chip::IoMemoryReset, "memory reset"},
    {sim::chip::IoControl, "control"},
};

const std::map<uint32_t, const char*> kDacPorts = {
    {sim::dac_port::PaletteWriteAddress, "DAC palette write address"},
    {sim::dac_port::PaletteData, "DAC palette data"},
    {sim::dac_port::PixelMask, "DAC pixel mask"},
    {sim::dac_port::PaletteReadAddress, "DAC palette read address"},
    {sim::dac_port::IndexLow, "DAC index low"},
    {sim::dac_port::IndexHigh, "DAC index high"},
    {sim::dac_port::IndexData, "DAC index data"},
    {sim::dac_port::IndexControl, "DAC index control"},
};

template <typename K> const char* lookup(const std::map<K, const char*>& m, K key)
{
    auto it = m.find(key);
    return it == m.end() ? nullptr : it->second;
}

std::string dac_reg_text(uint16_t index)
{
    const char* name = dac_register_name(index);
    return format("DAC 0x%02X", index) + (name ? std::string(" ") + name : "");
}

// The DAC as the trace has programmed it so far, per board: a DAC of its
// own takes the trace's writes. The palette read address is left out, so
// that the component count follows the entries written.
struct DacReplay {
    sim::Dac dac;

    std::string note(const sim::Event& e)
    {
        static const char* const kComponent[] = {"red", "green", "blue"};
        const uint32_t port = e.offset & ~3u;
        const uint8_t v = static_cast<uint8_t>(e.value);
        const char* name = lookup(kDacPorts, port);
        std::string text = name ? name : "DAC";
        if (e.op != sim::Op::Write || port == sim::dac_port::PaletteReadAddress)
            return text;
        if (port == sim::dac_port::IndexData)
            text += ": " + dac_reg_text(dac.index()) + format(" = 0x%02X", v);
        if (port == sim::dac_port::PaletteData)
            text += format(": entry %u %s", dac.palette_write_address(),
                           kComponent[dac.palette_component()]);
        dac.write(port, v);
        if (port == sim::dac_port::IndexLow)
            text += ": select " + dac_reg_text(dac.index());
        if (port == sim::dac_port::IndexControl)
            text += dac.auto_increment() ? ": auto-increment on" : ": auto-increment off";
        if (port == sim::dac_port::PaletteWriteAddress)
            text += format(": entry %u", v);
        return text;
    }
};

} // namespace

const char* dac_register_name(uint16_t index)
{
    return lookup(kDacRegisters, index);
}

std::vector<std::string> annotate(const std::vector<sim::Event>& events)
{
    std::map<int, DacReplay> dacs;
    std::vector<std::string> notes;
    for (const sim::Event& e : events) {
        const char* name = nullptr;
        std::string note;
        if (e.op == sim::Op::Read || e.op == sim::Op::Write) {
            switch (e.aperture) {
            case sim::Aperture::Registers:
                if (e.offset < sim::dac_port::End)
                    note = dacs[e.board].note(e);
                else
                    name = lookup(kChipRegisters, e.offset);
                break;
            case sim::Aperture::IoBlock:
                name = lookup(kIoRegisters, e.offset);
                break;
            case sim::Aperture::PciConfig:
                name = "PCI configuration space";
                break;
            default:
                break;
            }
        } else if (e.op == sim::Op::ZeroMemory) {
            note = "video memory cleared";
        } else if (e.op == sim::Op::Int10) {
            note = "video BIOS call";
        }
        notes.push_back(name ? name : note);
    }
    return notes;
}

} // namespace ksim
