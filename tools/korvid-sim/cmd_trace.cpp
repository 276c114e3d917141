// trace: every device access a command makes, one a line, with the
// register each one reaches.
#include "tools/korvid-sim/commands.h"
#include "tools/korvid-sim/describe.h"
#include "tools/korvid-sim/errors.h"
#include "tools/korvid-sim/trace_notes.h"

namespace ksim {

namespace {

constexpr size_t kNoteColumn = 38;

const char* op_name(sim::Op op)
{
    switch (op) {
    case sim::Op::Read:
        return "read";
    case sim::Op::Write:
        return "write";
    case sim::Op::Stall:
        return "stall";
    case sim::Op::ZeroMemory:
        return "zero";
    case sim::Op::Int10:
        return "int10";
    }
    return "?";
}

Json event_json(const sim::Event& e, const std::string& note)
{
    Json j = Json::object().set("board", e.board).set("op", op_name(e.op));
    if (e.op == sim::Op::Read || e.op == sim::Op::Write || e.op == sim::Op::ZeroMemory)
        j.set("aperture", sim::aperture_name(e.aperture))
            .set("width", e.width)
            .set("offset", e.offset);
    j.set("value", e.value);
    if (!note.empty())
        j.set("note", note);
    return j;
}

std::string joined(const Args& words)
{
    std::string s;
    for (const std::string& w : words)
        s += (s.empty() ? "" : " ") + w;
    return s;
}

} // namespace

Result cmd_trace(Context& ctx, const Args& args)
{
    if (args.empty())
        throw UsageError("missing arguments; usage: trace COMMAND... | trace boot");
    Session& s = ctx.session;
    korvid_host::System& m = s.system();
    Result inner;
    if (args[0] == "boot") {
        expect_args(args, 1, 1, "trace boot");
        m.machine().trace.set_enabled(true);
        m.machine().trace.clear();
        s.reboot();
        inner.json = Json::object().set("boot_status", static_cast<int64_t>(s.boot_status()));
    } else {
        const Command* c = find_command(args[0]);
        if (c && (c->run == cmd_trace || c->run == cmd_audit || c->run == cmd_compare ||
                  c->run == cmd_script))
            throw UsageError("trace runs one command on this machine; '" + args[0] +
                             "' cannot be traced");
        s.ensure_booted();
        m.machine().trace.set_enabled(true);
        m.machine().trace.clear();
        inner = run_command(ctx, args);
    }
    const std::vector<sim::Event>& events = m.machine().trace.events();
    std::vector<std::string> notes = annotate(events);

    Result r{Json::object(), ""};
    Json list = Json::array();
    for (size_t i = 0; i < events.size(); ++i) {
        list.push(event_json(events[i], notes[i]));
        // A run of equal stalls is one line: settle times come 50 us at a time.
        size_t run = 1;
        while (events[i].op == sim::Op::Stall && i + run < events.size() &&
               events[i + run] == events[i])
            ++run;
        if (run > 1) {
            for (size_t k = 1; k < run; ++k)
                list.push(event_json(events[i + k], notes[i + k]));
            r.text += format("stall %u us x %zu = %llu us\n", events[i].value, run,
                             static_cast<unsigned long long>(events[i].value) * run);
            i += run - 1;
            continue;
        }
        std::string line = sim::describe(events[i]);
        r.text += line;
        if (!notes[i].empty())
            r.text += std::string(line.size() < kNoteColumn ? kNoteColumn - line.size() : 1, ' ') +
                      notes[i];
        r.text += "\n";
    }
    r.text += format("%zu events for '%s': %zu register and port accesses, %llu us of stalls.\n",
                     events.size(), joined(args).c_str(), m.machine().trace.accesses().size(),
                     static_cast<unsigned long long>(m.machine().trace.stall_us()));
    r.json.set("command", joined(args)).set("events", list).set("result", inner.json);
    r.failed = inner.failed;
    return r;
}

} // namespace ksim
