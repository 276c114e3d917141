#include "trace_notes.h"

#include "describe.h"
#include "sim/machine/board.h"
#include "sim/machine/dac.h"

#include <map>

namespace ksim {

namespace {

const std::map<uint16_t, const char*> kDacRegisters = {
    {0x02, "miscellaneous clock control"},
    {0x03, "sync control"},
    {0x04, "horizontal sync position"},
    {0x05, "power management"},
    {0x06, "DAC operation"},
    {0x07, "palette control"},
    {0x08, "system clock control"},
    {0x0A, "pixel format"},
    {0x0B, "8-bpp control"},
    {0x0C, "16-bpp control"},
    {0x0D, "24-bpp control"},
    {0x0E, "32-bpp control"},
    {0x10, "PLL control 1"},
    {0x11, "PLL control 2"},
    {0x15, "memory clock reference divider"},
    {0x16, "memory clock VCO divider"},
    {0x20, "pixel clock VCO divider"},
    {0x21, "pixel clock reference divider"},
    {0x30, "cursor control"},
    {0x40, "cursor colour 1 red"},
    {0x41, "cursor colour 1 green"},
    {0x42, "cursor colour 1 blue"},
    {0x43, "cursor colour 2 red"},
    {0x44, "cursor colour 2 green"},
    {0x45, "cursor colour 2 blue"},
    {0x70, "miscellaneous control 1"},
    {0x71, "miscellaneous control 2"},
    {0x72, "miscellaneous control 3"},
    {0x73, "miscellaneous control 4"},
    {0x74, "miscellaneous control 5"},
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
    {0x20, "display control 0x20"},
    {0x24, "display control 0x24"},
    {0x50, "display control 0x50"},
    {0x54, "display control 0x54"},
    {0x2000, "memory window 0"},
    {0x2008, "memory window 0 size"},
    {0x200C, "memory window 0"},
    {0x2010, "memory window 0"},
    {0x2024, "memory window 0"},
    {0x4010, "XY window A control"},
    {0x6010, "XY window B control"},
};

const std::map<uint32_t, const char*> kIoRegisters = {
    {0x18, "board straps (memory clock source)"},
    {sim::chip::IoConfig, "configuration (window enables)"},
    {0x20, "memory type setup"},
    {0x24, "SGRAM mode"},
    {0x28, "memory reset"},
    {0x30, "control"},
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

// The DAC as the trace has programmed it so far, per board.
struct DacReplay {
    uint16_t index = 0;
    bool autoinc = false;
    uint8_t palette_entry = 0;
    int component = 0;

    std::string note(const sim::Event& e)
    {
        static const char* const kComponent[] = {"red", "green", "blue"};
        uint8_t v = static_cast<uint8_t>(e.value);
        const char* port = lookup(kDacPorts, e.offset & ~3u);
        std::string base = port ? port : "DAC";
        if (e.op != sim::Op::Write)
            return base;
        switch (e.offset & ~3u) {
        case sim::dac_port::IndexLow:
            index = static_cast<uint16_t>((index & 0xFF00) | v);
            return base + ": select " + dac_reg_text(index);
        case sim::dac_port::IndexHigh:
            index = static_cast<uint16_t>((index & 0xFF) | (v << 8));
            return base;
        case sim::dac_port::IndexControl:
            autoinc = v & 1;
            return base + (autoinc ? ": auto-increment on" : ": auto-increment off");
        case sim::dac_port::IndexData: {
            std::string s = base + ": " + dac_reg_text(index) + format(" = 0x%02X", v);
            if (autoinc)
                ++index;
            return s;
        }
        case sim::dac_port::PaletteWriteAddress:
            palette_entry = v;
            component = 0;
            return base + format(": entry %u", v);
        case sim::dac_port::PaletteData: {
            std::string s = base + format(": entry %u %s", palette_entry, kComponent[component]);
            if (++component == 3) {
                component = 0;
                ++palette_entry;
            }
            return s;
        }
        default:
            return base;
        }
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
