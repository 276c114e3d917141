#include "tools/korvid-sim/request_args.h"

#include "support/le_words.h"

#include <algorithm>

namespace ksim {

using sim::RequestInfo;
using sim::RequestInput;
using sim::le::put16;
using sim::le::put32;

namespace {

using Bytes = std::vector<uint8_t>;
using Words = std::vector<uint32_t>;

constexpr uint32_t kMaxByte = 0xFF;
constexpr uint32_t kMaxShort = 0xFFFF;
constexpr uint32_t kMaxColour = 0xFFFFFF;
constexpr size_t kMaxEntries = 256; // palette and gamma entries after the first index

bool wrong_count(const RequestInfo& r, size_t have, size_t least, size_t most, std::string* error)
{
    if (have >= least && have <= most)
        return false;
    *error = std::string(r.name) + " takes " +
             (least == most ? std::to_string(least)
                            : std::to_string(least) + " to " + std::to_string(most)) +
             " argument" + (most == 1 ? "" : "s") + (*r.arguments ? ": " : "") + r.arguments;
    return true;
}

bool too_big(const RequestInfo& r, uint32_t value, uint32_t limit, std::string* error)
{
    if (value <= limit)
        return false;
    *error = std::string(r.name) + ": " + std::to_string(value) + " does not fit (at most " +
             std::to_string(limit) + ")";
    return true;
}

bool refuse(const RequestInfo& r, const char* why, std::string* error)
{
    *error = std::string(r.name) + ": " + why;
    return false;
}

size_t least_arguments(RequestInput in)
{
    switch (in) {
    case RequestInput::Word:
    case RequestInput::Byte:
    case RequestInput::Gamma:
        return 1;
    case RequestInput::Clut:
        return 2;
    case RequestInput::Shorts:
    case RequestInput::Share:
        return 3;
    default:
        return 0;
    }
}

bool shorts(const RequestInfo& r, const Words& a, Bytes& in, std::string* error)
{
    if (wrong_count(r, a.size(), 3, 3, error))
        return false;
    for (uint32_t v : a) {
        if (too_big(r, v, kMaxShort, error))
            return false;
        put16(in, v);
    }
    return true;
}

bool clut(const RequestInfo& r, const Words& a, Bytes& in, std::string* error)
{
    if (wrong_count(r, a.size(), 2, kMaxEntries + 1, error) || too_big(r, a[0], kMaxShort, error))
        return false;
    put16(in, static_cast<uint32_t>(a.size() - 1));
    put16(in, a[0]);
    for (size_t i = 1; i < a.size(); ++i) {
        if (too_big(r, a[i], kMaxColour, error))
            return false;
        in.insert(in.end(), {uint8_t(a[i] >> 16), uint8_t(a[i] >> 8), uint8_t(a[i]), 0});
    }
    return true;
}

bool gamma(const RequestInfo& r, const Words& a, Bytes& in, std::string* error)
{
    if (wrong_count(r, a.size(), 1, kMaxEntries + 1, error) || too_big(r, a[0], kMaxShort, error))
        return false;
    put32(in, a[0] | static_cast<uint32_t>(a.size() - 1) << 16);
    for (size_t i = 1; i < a.size(); ++i)
        put32(in, a[i]);
    return true;
}

// A map request asks for an address (0: anywhere); an unmap hands back the
// one the last map returned unless another is given.
bool memory(const sim::MiniportClient& c, const RequestInfo& r, const Words& a, Bytes& in,
            std::string* error)
{
    if (wrong_count(r, a.size(), 0, 1, error))
        return false;
    bool release = r.input == RequestInput::Mapping;
    if (release && a.empty() && !c.kept().mapping)
        return refuse(r, "no video memory is mapped", error);
    put32(in, a.empty() ? static_cast<uint32_t>(release ? c.kept().mapping : 0) : a[0]);
    return true;
}

bool ranges(const sim::MiniportClient& c, const RequestInfo& r, const Words& a, Bytes& in,
            std::string* error)
{
    if (wrong_count(r, a.size(), 0, 0, error))
        return false;
    if (c.kept().ranges.empty())
        return refuse(r, "no public access ranges were queried", error);
    in = c.kept().ranges;
    return true;
}

bool unshare(const sim::MiniportClient& c, const RequestInfo& r, const Words& a, Bytes& in,
             std::string* error)
{
    if (wrong_count(r, a.size(), 0, 1, error))
        return false;
    if (!c.kept().share)
        return refuse(r, "no video memory is shared", error);
    for (uint32_t v : {a.empty() ? 0u : a[0], 0u, 0u, static_cast<uint32_t>(c.kept().share)})
        put32(in, v);
    return true;
}

bool fill(const sim::MiniportClient& c, const RequestInfo& r, const Words& a, Bytes& in,
          std::string* error)
{
    switch (r.input) {
    case RequestInput::None:
        return !wrong_count(r, a.size(), 0, 0, error);
    case RequestInput::Word:
        if (wrong_count(r, a.size(), 1, 1, error))
            return false;
        put32(in, a[0]);
        return true;
    case RequestInput::Byte:
        if (wrong_count(r, a.size(), 1, 1, error) || too_big(r, a[0], kMaxByte, error))
            return false;
        in.push_back(static_cast<uint8_t>(a[0]));
        return true;
    case RequestInput::Shorts:
        return shorts(r, a, in, error);
    case RequestInput::Words:
        if (wrong_count(r, a.size(), 0, r.input_length / 4, error))
            return false;
        for (uint32_t v : a)
            put32(in, v);
        in.resize(r.input_length, 0);
        return true;
    case RequestInput::Clut:
        return clut(r, a, in, error);
    case RequestInput::Gamma:
        return gamma(r, a, in, error);
    case RequestInput::MapAddress:
    case RequestInput::Mapping:
        return memory(c, r, a, in, error);
    case RequestInput::Ranges:
        return ranges(c, r, a, in, error);
    case RequestInput::Share:
        if (wrong_count(r, a.size(), 3, 3, error))
            return false;
        for (uint32_t v : {a[0], a[1], a[2], 0u})
            put32(in, v);
        return true;
    case RequestInput::Unshare:
        return unshare(c, r, a, in, error);
    }
    return true;
}

} // namespace

std::optional<sim::Reply> send_with_args(sim::MiniportClient& client, const RequestInfo& request,
                                         const Words& args, std::string* error,
                                         std::optional<uint32_t> input_length,
                                         std::optional<uint32_t> output_length)
{
    // With the input length given, missing arguments are zeros: the point
    // is then the buffer, not its contents.
    Words padded(args);
    if (input_length)
        padded.resize(std::max(padded.size(), least_arguments(request.input)), 0);
    Bytes input;
    if (!fill(client, request, padded, input, error))
        return std::nullopt;
    if (input_length)
        input.resize(*input_length, 0);
    size_t out = request.output_length;
    if (request.output == sim::RequestOutput::Modes)
        out = size_t(client.kept().modes_counted) * request.output_length;
    return client.send(request.code, input, output_length ? *output_length : out);
}

} // namespace ksim
