// The applet's stored switches: 4-byte numbers under a key a page keeps open.
#pragma once

#include "applet/win32.h"

// The value as stored; 0 when it is missing, cannot be read, or is not a
// 4-byte REG_DWORD.
inline DWORD read_stored_dword(HKEY key, const char* name)
{
    DWORD type = REG_NONE;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExA(key, name, NULL, &type, reinterpret_cast<LPBYTE>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return 0;
    return value;
}

// Closes a page's key at its end; a key that was never opened stays null.
inline void close_key(HKEY& key)
{
    if (key)
        RegCloseKey(key);
    key = NULL;
}
