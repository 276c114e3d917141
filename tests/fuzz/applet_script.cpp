#include "tests/fuzz/applet_script.h"

#include "tests/fuzz/byte_reader.h"

#include <algorithm>

namespace fuzz_tests {

namespace {

// The platform's results of a mode change, by selector.
constexpr int32_t kChangeResults[] = {0, 1, -1, -2, -3, -4, -5};
constexpr size_t kChangeResultCount = sizeof kChangeResults / sizeof kChangeResults[0];
constexpr uint8_t kBiosLengthMask = 0x3F;
constexpr size_t kValueCounts[] = {1, 2}; // values of the MCD key, of the layout key

using Reader = ByteReader;

// A small value in one byte, any other in a word.
uint32_t read_small(Reader& in)
{
    uint8_t b = in.byte();
    return b < kWordFollows ? b : in.word();
}

class Writer {
  public:
    void byte(uint32_t b) { bytes_.push_back(static_cast<uint8_t>(b)); }
    void half(uint32_t h)
    {
        byte(h);
        byte(h >> 8);
    }
    void word(uint32_t w)
    {
        half(w);
        half(w >> 16);
    }
    void value(uint32_t v)
    {
        if (v < kWordFollows)
            return byte(v);
        byte(kWordFollows);
        word(v);
    }
    void bytes(const std::vector<uint8_t>& v) { bytes_.insert(bytes_.end(), v.begin(), v.end()); }
    std::vector<uint8_t> take() { return std::move(bytes_); }

  private:
    std::vector<uint8_t> bytes_;
};

int32_t read_result(Reader& in)
{
    uint8_t select = in.byte();
    if (select == kResultWord)
        return static_cast<int32_t>(in.word());
    return select < kChangeResultCount ? kChangeResults[select] : 0;
}

void write_result(Writer& out, int32_t result)
{
    const int32_t* known = std::find(kChangeResults, kChangeResults + kChangeResultCount, result);
    if (known != kChangeResults + kChangeResultCount)
        return out.byte(static_cast<uint32_t>(known - kChangeResults));
    out.byte(kResultWord);
    out.word(static_cast<uint32_t>(result));
}

DisplayChoice read_display(Reader& in)
{
    DisplayChoice d;
    d.flags = in.byte();
    d.test_result = read_result(in);
    d.change_result = read_result(in);
    return d;
}

void write_display(Writer& out, const DisplayChoice& d)
{
    out.byte(d.flags);
    write_result(out, d.test_result);
    write_result(out, d.change_result);
}

ModeChoice read_mode(Reader& in)
{
    ModeChoice m;
    m.width = in.half();
    m.height = in.half();
    m.bits_per_pixel = in.byte();
    m.frequency = in.byte();
    return m;
}

void write_mode(Writer& out, const ModeChoice& m)
{
    out.half(m.width);
    out.half(m.height);
    out.byte(m.bits_per_pixel);
    out.byte(m.frequency);
}

ValueChoice read_value(Reader& in)
{
    ValueChoice v;
    uint8_t type = in.byte();
    if (type == kValueAbsent)
        return v;
    v.present = true;
    v.type = type == kValueTypeWord ? in.word() : type - 1u;
    v.data = in.bytes(std::min<size_t>(in.byte(), kMaxValueBytes));
    return v;
}

void write_value(Writer& out, const ValueChoice& v)
{
    if (!v.present)
        return out.byte(kValueAbsent);
    if (v.type + 1 < kValueTypeWord) {
        out.byte(v.type + 1);
    } else {
        out.byte(kValueTypeWord);
        out.word(v.type);
    }
    out.byte(static_cast<uint32_t>(v.data.size()));
    out.bytes(v.data);
}

KeyChoice read_key(Reader& in, size_t values)
{
    KeyChoice k;
    uint8_t state = in.byte();
    k.state = state <= static_cast<uint8_t>(KeyState::RefusesWrites) ? static_cast<KeyState>(state)
                                                                     : KeyState::Present;
    for (size_t i = 0; i < values; ++i)
        k.values.push_back(read_value(in));
    return k;
}

void write_key(Writer& out, const KeyChoice& k, size_t values)
{
    out.byte(static_cast<uint8_t>(k.state));
    for (size_t i = 0; i < values; ++i)
        write_value(out, i < k.values.size() ? k.values[i] : ValueChoice{});
}

EscapePlan read_plan(Reader& in)
{
    EscapePlan p;
    p.mode = in.byte();
    if (((p.mode >> kPlanResultShift) & kPlanResultMask) == kPlanResultWord)
        p.result = static_cast<int32_t>(in.word());
    if (p.mode & kPlanOwnAnswer)
        p.data = in.bytes(std::min<size_t>(in.byte(), kMaxPlanData));
    return p;
}

void write_plan(Writer& out, const EscapePlan& p)
{
    out.byte(p.mode);
    if (((p.mode >> kPlanResultShift) & kPlanResultMask) == kPlanResultWord)
        out.word(static_cast<uint32_t>(p.result));
    if (p.mode & kPlanOwnAnswer) {
        out.byte(static_cast<uint32_t>(p.data.size()));
        out.bytes(p.data);
    }
}

Action read_action(Reader& in)
{
    Action a;
    a.op = static_cast<Op>(in.byte() % static_cast<uint8_t>(Op::Count));
    switch (a.op) {
    case Op::Select:
    case Op::Click:
    case Op::Notify:
        a.a = in.byte();
        break;
    case Op::Command:
        a.a = in.half();
        a.b = in.half();
        break;
    case Op::ControlPanel:
        a.a = in.byte();
        a.b = read_small(in);
        break;
    case Op::Display:
        a.display = read_display(in);
        break;
    case Op::Driver:
        a.a = read_small(in);
        a.b = read_small(in);
        break;
    default:
        break;
    }
    return a;
}

void write_action(Writer& out, const Action& a)
{
    out.byte(static_cast<uint8_t>(a.op));
    switch (a.op) {
    case Op::Select:
    case Op::Click:
    case Op::Notify:
        out.byte(a.a);
        break;
    case Op::Command:
        out.half(a.a);
        out.half(a.b);
        break;
    case Op::ControlPanel:
        out.byte(a.a);
        out.value(a.b);
        break;
    case Op::Display:
        write_display(out, a.display);
        break;
    case Op::Driver:
        out.value(a.a);
        out.value(a.b);
        break;
    default:
        break;
    }
}

} // namespace

AppletInput read_input(const uint8_t* data, size_t size)
{
    Reader in(data, size);
    AppletInput r;
    r.family = read_small(in);
    r.board_index = in.word();
    r.board_count = in.word();
    r.layout = read_small(in);
    for (std::string& text : r.bios) {
        std::vector<uint8_t> b = in.bytes(in.byte() & kBiosLengthMask);
        text.assign(b.begin(), b.end());
    }
    r.display = read_display(in);
    size_t modes = std::min<size_t>(in.byte(), kMaxModes);
    for (size_t i = 0; i < modes; ++i)
        r.modes.push_back(read_mode(in));
    r.current_index = in.byte();
    r.custom_current = r.current_index == kCustomMode;
    if (r.custom_current)
        r.current = read_mode(in);
    r.mcd_key = read_key(in, kValueCounts[0]);
    r.layout_key = read_key(in, kValueCounts[1]);
    r.directory = in.byte();
    r.failing_contexts = in.byte();
    size_t plans = in.byte();
    for (size_t i = 0; i < plans; ++i)
        r.plans.push_back(read_plan(in));
    while (!in.empty() && r.actions.size() < kMaxActions)
        r.actions.push_back(read_action(in));
    return r;
}

std::vector<uint8_t> write_input(const AppletInput& r)
{
    Writer out;
    out.value(r.family);
    out.word(r.board_index);
    out.word(r.board_count);
    out.value(r.layout);
    for (const std::string& text : r.bios) {
        size_t n = std::min<size_t>(text.size(), kBiosLengthMask);
        out.byte(static_cast<uint32_t>(n));
        out.bytes(std::vector<uint8_t>(text.begin(), text.begin() + n));
    }
    write_display(out, r.display);
    out.byte(static_cast<uint32_t>(std::min(r.modes.size(), kMaxModes)));
    for (size_t i = 0; i < r.modes.size() && i < kMaxModes; ++i)
        write_mode(out, r.modes[i]);
    out.byte(r.custom_current ? kCustomMode : r.current_index);
    if (r.custom_current)
        write_mode(out, r.current);
    write_key(out, r.mcd_key, kValueCounts[0]);
    write_key(out, r.layout_key, kValueCounts[1]);
    out.byte(r.directory);
    out.byte(r.failing_contexts);
    out.byte(static_cast<uint32_t>(std::min<size_t>(r.plans.size(), 0xFF)));
    for (size_t i = 0; i < r.plans.size() && i < 0xFF; ++i)
        write_plan(out, r.plans[i]);
    for (const Action& a : r.actions)
        write_action(out, a);
    return out.take();
}

} // namespace fuzz_tests
