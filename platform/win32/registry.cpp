// The registry of the host: keys exist only where a test created or bound
// them (the applet never creates one), values keep their type, text values
// are held as the platform holds them (UTF-16) and converted for the ANSI
// calls, and a key can be bound to a store outside, such as a board's device
// key of the simulated machine, so that both sides see the same values.
#include "platform/win32/state.h"

#include "support/le_words.h"

#include <cctype>
#include <cstring>
#include <stdexcept>

namespace win32_host {

namespace {

std::string root_name(HKEY root)
{
    if (root == HKEY_LOCAL_MACHINE)
        return "HKEY_LOCAL_MACHINE";
    if (root == HKEY_CURRENT_USER)
        return "HKEY_CURRENT_USER";
    if (root == HKEY_CLASSES_ROOT)
        return "HKEY_CLASSES_ROOT";
    if (root == HKEY_USERS)
        return "HKEY_USERS";
    return "";
}

std::string full_path(HKEY root, const std::string& path)
{
    std::string base = root_name(root);
    if (base.empty())
        throw std::invalid_argument("not a predefined registry key");
    return upper(path.empty() ? base : base + "\\" + path);
}

bool is_text(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

std::u16string widen(const std::string& s)
{
    std::u16string w;
    for (char c : s)
        w += static_cast<char16_t>(static_cast<unsigned char>(c));
    return w;
}

std::vector<uint8_t> to_stored(DWORD type, const uint8_t* data, size_t size)
{
    if (!is_text(type))
        return std::vector<uint8_t>(data, data + size);
    std::vector<uint8_t> out;
    for (size_t i = 0; i < size; ++i) {
        out.push_back(data[i]);
        out.push_back(0);
    }
    return out;
}

std::vector<uint8_t> from_stored(const korvid_host::RegistryValue& v)
{
    if (!is_text(v.type))
        return v.data;
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < v.data.size(); i += 2) {
        const char16_t c = load_le16(&v.data[i]);
        out.push_back(c < 0x100 ? static_cast<uint8_t>(c) : '?');
    }
    return out;
}

bool same_name(const std::u16string& a, const std::u16string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i] < 0x80 ? static_cast<char16_t>(std::toupper(a[i])) : a[i];
        char16_t y = b[i] < 0x80 ? static_cast<char16_t>(std::toupper(b[i])) : b[i];
        if (x != y)
            return false;
    }
    return true;
}

// Value names compare without regard to case; a value written again keeps
// the spelling it was first stored with.
korvid_host::RegistryKey::iterator find_value(korvid_host::RegistryKey& key,
                                              const std::string& name)
{
    std::u16string wide = widen(name);
    for (auto it = key.begin(); it != key.end(); ++it)
        if (same_name(it->first, wide))
            return it;
    return key.end();
}

Key* find_key(const std::string& full)
{
    auto& keys = state().keys;
    auto it = keys.find(full);
    return it == keys.end() ? nullptr : &it->second;
}

OpenKey* open_key(HKEY h)
{
    auto& open = state().open_keys;
    auto it = open.find(h);
    return it == open.end() ? nullptr : &it->second;
}

std::string describe(DWORD type, const std::vector<uint8_t>& data)
{
    if (type == REG_DWORD && data.size() == 4)
        return std::to_string(load_le32(data.data()));
    return "(" + std::to_string(data.size()) + " bytes)";
}

} // namespace

void create_key(HKEY root, const std::string& path)
{
    state().keys[full_path(root, path)];
}

void bind_key(HKEY root, const std::string& path, korvid_host::RegistryKey& store)
{
    state().keys[full_path(root, path)].bound = &store;
}

void delete_key(HKEY root, const std::string& path)
{
    state().keys.erase(full_path(root, path));
}

bool key_exists(HKEY root, const std::string& path)
{
    return find_key(full_path(root, path)) != nullptr;
}

void deny_key(HKEY root, const std::string& path, LONG status)
{
    state().keys[full_path(root, path)].deny = status;
}

void refuse_writes(HKEY root, const std::string& path, LONG status)
{
    state().keys[full_path(root, path)].refuse_writes = status;
}

void read_only_key(HKEY root, const std::string& path, bool read_only)
{
    state().keys[full_path(root, path)].read_only = read_only;
}

void set_value(HKEY root, const std::string& path, const std::string& name, DWORD type,
               const std::vector<uint8_t>& data)
{
    korvid_host::RegistryKey& key = state().keys[full_path(root, path)].values();
    auto it = find_value(key, name);
    korvid_host::RegistryValue v{type, data};
    if (it != key.end())
        it->second = v;
    else
        key[widen(name)] = v;
}

void set_dword(HKEY root, const std::string& path, const std::string& name, DWORD value)
{
    set_value(root, path, name, REG_DWORD, sim::le::words({value}));
}

void set_string(HKEY root, const std::string& path, const std::string& name,
                const std::string& value)
{
    std::string with_zero = value + '\0';
    set_value(
        root, path, name, REG_SZ,
        to_stored(REG_SZ, reinterpret_cast<const uint8_t*>(with_zero.data()), with_zero.size()));
}

const korvid_host::RegistryValue* value(HKEY root, const std::string& path, const std::string& name)
{
    Key* k = find_key(full_path(root, path));
    if (!k)
        return nullptr;
    auto it = find_value(k->values(), name);
    return it == k->values().end() ? nullptr : &it->second;
}

namespace {

LSTATUS query_value(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                    LPBYTE lpData, LPDWORD lpcbData)
{
    OpenKey* open = open_key(hKey);
    if (!open)
        return ERROR_INVALID_HANDLE;
    if (lpReserved || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    if (!(open->access & KEY_QUERY_VALUE))
        return ERROR_ACCESS_DENIED;
    Key* key = find_key(open->path);
    if (!key)
        return ERROR_FILE_NOT_FOUND; // deleted while open
    auto it = find_value(key->values(), lpValueName ? lpValueName : "");
    if (it == key->values().end())
        return ERROR_FILE_NOT_FOUND;
    std::vector<uint8_t> data = from_stored(it->second);
    if (lpType)
        *lpType = it->second.type;
    if (!lpcbData)
        return ERROR_SUCCESS;
    DWORD room = *lpcbData;
    *lpcbData = static_cast<DWORD>(data.size());
    if (!lpData)
        return ERROR_SUCCESS;
    if (room < data.size())
        return ERROR_MORE_DATA;
    if (!data.empty()) // an empty value has no bytes to copy from
        std::memcpy(lpData, data.data(), data.size());
    return ERROR_SUCCESS;
}

} // namespace

int open_key_handles()
{
    return static_cast<int>(state().open_keys.size());
}

} // namespace win32_host

using namespace win32_host;

extern "C" {

LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult)
{
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    std::string base;
    if (OpenKey* parent = open_key(hKey))
        base = parent->path;
    else if (!root_name(hKey).empty())
        base = root_name(hKey);
    else
        return ERROR_INVALID_HANDLE;
    std::string sub = lpSubKey ? lpSubKey : "";
    std::string full = upper(sub.empty() ? base : base + "\\" + sub);
    record_call("RegOpenKeyExA " + sub);
    Key* key = find_key(full);
    if (!key)
        return ERROR_FILE_NOT_FOUND;
    if (key->deny != ERROR_SUCCESS)
        return key->deny;
    constexpr REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
    if (key->read_only && (samDesired & kWriteRights))
        return ERROR_ACCESS_DENIED;
    HKEY h = reinterpret_cast<HKEY>(state().next_key++);
    state().open_keys[h] = OpenKey{full, samDesired};
    *phkResult = h;
    return ERROR_SUCCESS;
}

// The data buffer of a failed query is left undefined (ERROR_MORE_DATA
// included): it is poisoned, and only *lpcbData says what it would need.
LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                LPBYTE lpData, LPDWORD lpcbData)
{
    const DWORD room = lpData && lpcbData ? *lpcbData : 0;
    LSTATUS status = query_value(hKey, lpValueName, lpReserved, lpType, lpData, lpcbData);
    if (status != ERROR_SUCCESS)
        poison(lpData, room);
    return status;
}

LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                              CONST BYTE* lpData, DWORD cbData)
{
    OpenKey* open = open_key(hKey);
    if (!open)
        return ERROR_INVALID_HANDLE;
    if (Reserved || (!lpData && cbData))
        return ERROR_INVALID_PARAMETER;
    if (!(open->access & KEY_SET_VALUE))
        return ERROR_ACCESS_DENIED;
    Key* key = find_key(open->path);
    if (!key)
        return ERROR_FILE_NOT_FOUND;
    std::string name = lpValueName ? lpValueName : "";
    std::vector<uint8_t> raw(lpData, lpData + cbData);
    record_call("RegSetValueExA " + name + " " + std::to_string(dwType) + " " +
                describe(dwType, raw));
    if (key->refuse_writes != ERROR_SUCCESS)
        return key->refuse_writes;
    korvid_host::RegistryValue v{dwType, to_stored(dwType, raw.data(), raw.size())};
    auto it = find_value(key->values(), name);
    if (it != key->values().end())
        it->second = v;
    else
        key->values()[widen(name)] = v;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCloseKey(HKEY hKey)
{
    if (!root_name(hKey).empty())
        return ERROR_SUCCESS;
    if (!state().open_keys.erase(hKey))
        return ERROR_INVALID_HANDLE;
    record_call("RegCloseKey");
    return ERROR_SUCCESS;
}

} // extern "C"
