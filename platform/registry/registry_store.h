// The registry as the platform stand-ins share it: each board's device key,
// whose values the video port hands the driver and stores for it, and which
// the Win32 stand-in binds under the display's service key. It outlives a
// reload of the driver and a power cycle of the boards.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace korvid_host {

// Registry value types as the platform numbers them.
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegMultiSz = 7;

struct RegistryValue {
    uint32_t type = kRegBinary;
    std::vector<uint8_t> data;
};
using RegistryKey = std::map<std::u16string, RegistryValue>;

class RegistryStore {
  public:
    // The device key of board `board` (created empty at its first use).
    RegistryKey& key(int board) { return keys_[board]; }
    void set_dword(int board, const std::u16string& name, uint32_t v);
    void set_binary(int board, const std::u16string& name, const std::vector<uint8_t>& bytes,
                    uint32_t type = kRegBinary);

  private:
    std::map<int, RegistryKey> keys_;
};

} // namespace korvid_host
