// The driver's registry parameters: values of its board's device key, read
// through a query routine, written as they come.
#include "platform/videoport/videoport_internal.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using korvid_host::System;
using korvid_host::videoport::check_not_in_reset;
using korvid_host::videoport::current_system;

namespace {

// The video port reads a parameter with RtlQueryRegistryValues and a query
// routine, without RTL_QUERY_REGISTRY_NOEXPAND: a REG_EXPAND_SZ value comes
// expanded, a REG_MULTI_SZ value one string at a time, anything else as stored.

// The system's environment as kernel-mode expansion sees it.
constexpr std::pair<std::u16string_view, std::u16string_view> kEnvironment[] = {
    {u"SystemRoot", u"C:\\WINNT"},
};

// The text of a stored string value, up to its first NUL.
std::u16string text_of(const std::vector<uint8_t>& data)
{
    std::u16string text;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        const char16_t c = static_cast<char16_t>(data[i] | data[i + 1] << 8);
        if (c == 0)
            break;
        text += c;
    }
    return text;
}

// A string as the callback receives it: UTF-16, with its NUL.
std::vector<uint8_t> bytes_of(const std::u16string& text)
{
    std::vector<uint8_t> bytes;
    for (char16_t c : text + u'\0')
        bytes.insert(bytes.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)});
    return bytes;
}

// %NAME% references replaced by the environment; unknown ones stay as written.
std::u16string expand(const std::u16string& text)
{
    std::u16string out;
    for (size_t at = 0; at < text.size();) {
        const size_t open = text.find(u'%', at), close = text.find(u'%', open + 1);
        if (open == std::u16string::npos || close == std::u16string::npos) {
            out += text.substr(at);
            break;
        }
        out += text.substr(at, open - at);
        const std::u16string name = text.substr(open + 1, close - open - 1);
        const auto* var = std::find_if(std::begin(kEnvironment), std::end(kEnvironment),
                                       [&](const auto& v) { return v.first == name; });
        out += var != std::end(kEnvironment) ? std::u16string(var->second)
                                             : text.substr(open, close - open + 1);
        at = close + 1;
    }
    return out;
}

// What the query routine is handed for a value: one buffer per call.
std::vector<std::vector<uint8_t>> parameter_pieces(const korvid_host::RegistryValue& value)
{
    if (value.type == korvid_host::kRegExpandSz)
        return {bytes_of(expand(text_of(value.data)))};
    if (value.type != korvid_host::kRegMultiSz)
        return {value.data};
    std::vector<std::vector<uint8_t>> pieces;
    std::vector<uint8_t> rest = value.data;
    for (std::u16string s = text_of(rest); !s.empty(); s = text_of(rest)) {
        pieces.push_back(bytes_of(s));
        // A last string without its NUL ends the value.
        rest.erase(rest.begin(),
                   rest.begin() + static_cast<long>(std::min(rest.size(), pieces.back().size())));
    }
    return pieces;
}

// With IsParameterFileName the value names a file, and the file's contents
// are handed over instead; none when the machine has no such file.
std::optional<std::vector<std::vector<uint8_t>>>
file_contents(const System& m, const korvid_host::RegistryValue& value)
{
    const std::vector<std::vector<uint8_t>> names = parameter_pieces(value);
    if (names.empty())
        return std::nullopt;
    const std::vector<uint8_t>* file = m.file(text_of(names.front()));
    if (!file)
        return std::nullopt;
    return std::vector<std::vector<uint8_t>>{*file};
}

} // namespace

extern "C" {

VP_STATUS NTAPI VideoPortSetRegistryParameters(PVOID ext, PWSTR name, PVOID data, ULONG length)
{
    System& m = current_system();
    check_not_in_reset(m, "VideoPortSetRegistryParameters");
    if (m.faults().set_registry_status != NO_ERROR)
        return m.faults().set_registry_status;
    int board = m.board_of_extension(ext);
    auto* bytes = static_cast<uint8_t*>(data);
    m.set_registry_binary(board, std::u16string(name), std::vector<uint8_t>(bytes, bytes + length));
    return NO_ERROR;
}

// NO_ERROR once the value was found and the callback called, whatever the
// callback answered (its VP_STATUS is no failure to the query); otherwise
// ERROR_INVALID_PARAMETER.
VP_STATUS NTAPI VideoPortGetRegistryParameters(PVOID ext, PWSTR name, UCHAR is_file_name,
                                               PMINIPORT_GET_REGISTRY_ROUTINE callback,
                                               PVOID context)
{
    System& m = current_system();
    check_not_in_reset(m, "VideoPortGetRegistryParameters");
    korvid_host::RegistryKey& key = m.registry(m.board_of_extension(ext));
    auto it = key.find(std::u16string(name));
    if (it == key.end())
        return ERROR_INVALID_PARAMETER;
    std::optional<std::vector<std::vector<uint8_t>>> pieces =
        is_file_name ? file_contents(m, it->second) : parameter_pieces(it->second);
    if (!pieces)
        return ERROR_INVALID_PARAMETER;
    m.verifier().in_registry_callback([&] {
        // Each call gets a buffer of its own, as the platform hands out.
        for (std::vector<uint8_t>& data : *pieces) {
            data.reserve(data.size() + 1);
            callback(ext, context, name, data.data(), static_cast<ULONG>(data.size()));
        }
    });
    return NO_ERROR;
}

} // extern "C"
