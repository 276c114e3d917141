// A request of the catalogue built from a person's arguments, as `ioctl`,
// scripts and `compare` give them ("PRIV_SET_CURSOR_COLOR 0x12 0xFF 0x80"),
// and sent through the display driver's client. A release with no address
// given hands back what the client kept from the answer it releases.
#pragma once

#include "display/miniport_client.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ksim {

// `request` with its input built from `args`; lengths override the usual
// buffer sizes when given (a mode list is as long as the last count says).
// Null with the reason in *error when the input cannot be built.
std::optional<sim::Reply> send_with_args(sim::MiniportClient& client,
                                         const sim::RequestInfo& request,
                                         const std::vector<uint32_t>& args, std::string* error,
                                         std::optional<uint32_t> input_length = {},
                                         std::optional<uint32_t> output_length = {});

} // namespace ksim
