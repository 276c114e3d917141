#include "platform/registry/registry_store.h"

#include "platform/freestanding/little_endian.h"

namespace korvid_host {

void RegistryStore::set_dword(int board, const std::u16string& name, uint32_t v)
{
    RegistryValue value{kRegDword, std::vector<uint8_t>(4)};
    store_le32(value.data.data(), v);
    keys_[board][name] = value;
}

void RegistryStore::set_binary(int board, const std::u16string& name,
                               const std::vector<uint8_t>& bytes, uint32_t type)
{
    keys_[board][name] = RegistryValue{type, bytes};
}

} // namespace korvid_host
