// Requests of the catalogue built from a person's arguments, and what the
// display driver keeps from their answers.
#include "display/miniport_client.h"

#include "support/le_words.h"

#include "miniport/private_ioctl.h"

#include <algorithm>

namespace sim {

using le::put16;
using le::put32;

namespace {

constexpr size_t kValueNameBytes = 32;
constexpr size_t kCustomRefreshEntry = kValueNameBytes + 12;

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

} // namespace

void MiniportClient::store_custom_refresh(const Reply& r)
{
    if (r.output.size() < kCustomRefreshEntry)
        return;
    std::u16string name;
    for (size_t i = 0; i < kValueNameBytes && r.output[i]; ++i)
        name.push_back(static_cast<char16_t>(r.output[i]));
    std::vector<uint8_t> value(r.output.begin() + kValueNameBytes,
                               r.output.begin() + kCustomRefreshEntry);
    machine_.set_registry_binary(board_, name, value);
}

std::optional<std::vector<uint8_t>> MiniportClient::build_input(const RequestInfo& r,
                                                                const std::vector<uint32_t>& a,
                                                                std::string* error)
{
    std::vector<uint8_t> in;
    switch (r.input) {
    case RequestInput::None:
        if (wrong_count(r, a.size(), 0, 0, error))
            return std::nullopt;
        break;
    case RequestInput::Word:
        if (wrong_count(r, a.size(), 1, 1, error))
            return std::nullopt;
        put32(in, a[0]);
        break;
    case RequestInput::Byte:
        if (wrong_count(r, a.size(), 1, 1, error) || too_big(r, a[0], 0xFF, error))
            return std::nullopt;
        in.push_back(static_cast<uint8_t>(a[0]));
        break;
    case RequestInput::Shorts:
        if (wrong_count(r, a.size(), 3, 3, error))
            return std::nullopt;
        for (uint32_t v : a) {
            if (too_big(r, v, 0xFFFF, error))
                return std::nullopt;
            put16(in, v);
        }
        break;
    case RequestInput::Words:
        if (wrong_count(r, a.size(), 0, r.input_length / 4, error))
            return std::nullopt;
        for (uint32_t v : a)
            put32(in, v);
        in.resize(r.input_length, 0);
        break;
    case RequestInput::Clut:
        if (wrong_count(r, a.size(), 2, 257, error) || too_big(r, a[0], 0xFFFF, error))
            return std::nullopt;
        put16(in, static_cast<uint32_t>(a.size() - 1));
        put16(in, a[0]);
        for (size_t i = 1; i < a.size(); ++i) {
            if (too_big(r, a[i], 0xFFFFFF, error))
                return std::nullopt;
            in.insert(in.end(), {uint8_t(a[i] >> 16), uint8_t(a[i] >> 8), uint8_t(a[i]), 0});
        }
        break;
    case RequestInput::Gamma:
        if (wrong_count(r, a.size(), 1, 257, error) || too_big(r, a[0], 0xFFFF, error))
            return std::nullopt;
        put32(in, a[0] | static_cast<uint32_t>(a.size() - 1) << 16);
        for (size_t i = 1; i < a.size(); ++i)
            put32(in, a[i]);
        break;
    case RequestInput::MapAddress:
    case RequestInput::Mapping:
        if (wrong_count(r, a.size(), 0, 1, error))
            return std::nullopt;
        if (r.input == RequestInput::Mapping && a.empty() && !last_mapping_) {
            *error = std::string(r.name) + ": no video memory is mapped";
            return std::nullopt;
        }
        put32(in, a.empty()
                      ? static_cast<uint32_t>(r.input == RequestInput::Mapping ? last_mapping_ : 0)
                      : a[0]);
        break;
    case RequestInput::Ranges:
        if (wrong_count(r, a.size(), 0, 0, error))
            return std::nullopt;
        if (last_ranges_.empty()) {
            *error = std::string(r.name) + ": no public access ranges were queried";
            return std::nullopt;
        }
        in = last_ranges_;
        break;
    case RequestInput::Share:
        if (wrong_count(r, a.size(), 3, 3, error))
            return std::nullopt;
        for (uint32_t v : {a[0], a[1], a[2], 0u})
            put32(in, v);
        break;
    case RequestInput::Unshare:
        if (wrong_count(r, a.size(), 0, 1, error))
            return std::nullopt;
        if (!last_share_) {
            *error = std::string(r.name) + ": no video memory is shared";
            return std::nullopt;
        }
        for (uint32_t v : {a.empty() ? 0u : a[0], 0u, 0u, static_cast<uint32_t>(last_share_)})
            put32(in, v);
        break;
    }
    return in;
}

std::optional<Reply> MiniportClient::send(const RequestInfo& request,
                                          const std::vector<uint32_t>& args, std::string* error,
                                          std::optional<uint32_t> input_length,
                                          std::optional<uint32_t> output_length)
{
    // With the input length given, missing arguments are zeros: the point
    // is then the buffer, not its contents.
    std::vector<uint32_t> padded(args);
    if (input_length)
        padded.resize(std::max(padded.size(), least_arguments(request.input)), 0);
    auto input = build_input(request, padded, error);
    if (!input)
        return std::nullopt;
    if (input_length)
        input->resize(*input_length, 0);
    size_t out = request.output_length;
    if (request.output == RequestOutput::Modes)
        out = size_t(modes_counted_) * request.output_length;
    return send(request.code, *input, output_length ? *output_length : out);
}

} // namespace sim
