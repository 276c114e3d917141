// boards: what the display driver learns about each board from the private
// requests, next to what the simulated bus holds.
#include "tools/korvid-sim/commands.h"
#include "tools/korvid-sim/describe.h"

#include "miniport/private_ioctl.h"

namespace ksim {

namespace {

struct BoardFacts {
    int index = 0;
    std::string board_name, chip, dac, memory_type, bus;
    uint32_t memory_mb = 0, config_code = 0, bus_type = 0;
    uint32_t memory_bytes = 0; // what the simulated board carries
    int pci_bus = 0;           // where it sits: 0 host bridge, 1 behind the AGP bridge
    bool vga_compatible = false;
};

BoardFacts gather(Session& s, int device)
{
    sim::MiniportClient& c = s.client(device);
    BoardFacts f;
    f.index = device;
    f.board_name = c.query_string(IOCTL_PRIV_GET_BOARD_NAME);
    f.chip = c.query_string(IOCTL_PRIV_GET_CHIP_NAME);
    f.dac = c.query_string(IOCTL_PRIV_GET_DAC_NAME);
    f.memory_type = c.query_string(IOCTL_PRIV_GET_MEMORY_TYPE_NAME);
    f.bus = c.query_string(IOCTL_PRIV_GET_BUS_NAME);
    f.memory_mb = c.query_word(IOCTL_PRIV_GET_MEMORY_SIZE_MB).value_or(0);
    f.config_code = c.query_word(IOCTL_PRIV_GET_BOARD_CONFIG).value_or(0);
    f.bus_type = c.query_word(IOCTL_PRIV_GET_BUS_TYPE).value_or(0);
    int board = s.system().board_of_device(device);
    f.memory_bytes = s.system().machine().board(board).memory_size();
    f.vga_compatible = s.system().machine().board(board).setup().vga_compatible;
    f.pci_bus = s.system().machine().board(board).bus();
    return f;
}

Json facts_json(const BoardFacts& f)
{
    return Json::object()
        .set("index", f.index)
        .set("board_name", f.board_name)
        .set("chip", f.chip)
        .set("dac", f.dac)
        .set("memory_type", f.memory_type)
        .set("memory_mb", f.memory_mb)
        .set("memory_bytes", f.memory_bytes)
        .set("bus", f.bus)
        .set("bus_type", f.bus_type)
        .set("config_code", f.config_code)
        .set("pci_bus", f.pci_bus)
        .set("vga_compatible", f.vga_compatible);
}

std::string facts_text(const BoardFacts& f)
{
    return format("  board %d: %s, chip %s, DAC %s, %u MiB %s on %s (bus type %u), bus %d, "
                  "configuration code 0x%02X%s\n",
                  f.index, f.board_name.c_str(), f.chip.c_str(), f.dac.c_str(), f.memory_mb,
                  f.memory_type.c_str(), f.bus.c_str(), f.bus_type, f.pci_bus, f.config_code,
                  f.vga_compatible ? ", VGA-compatible" : "");
}

} // namespace

Result cmd_boards(Context& ctx, const Args& args)
{
    expect_args(args, 0, 0, "boards");
    Session& s = ctx.session;
    s.ensure_booted();
    Result r{Json::object(), ""};
    Json list = Json::array();
    uint32_t found = s.client(0).query_word(IOCTL_PRIV_GET_NUM_BOARDS).value_or(0);
    r.text = format("The miniport found %u board%s:\n", found, found == 1 ? "" : "s");
    for (size_t i = 0; i < s.num_devices(); ++i) {
        BoardFacts f = gather(s, static_cast<int>(i));
        list.push(facts_json(f));
        r.text += facts_text(f);
    }
    r.json.set("num_boards", found).set("boards", list);
    return r;
}

} // namespace ksim
