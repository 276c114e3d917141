// Little-endian loads and stores for buffers that carry no alignment promise
// (registry data, request buffers).
#pragma once

#include "platform.h"

inline ULONG load_ulong(const void* p)
{
    const UCHAR* b = static_cast<const UCHAR*>(p);
    return static_cast<ULONG>(b[0]) | (static_cast<ULONG>(b[1]) << 8) |
           (static_cast<ULONG>(b[2]) << 16) | (static_cast<ULONG>(b[3]) << 24);
}

inline VOID store_ulong(void* p, ULONG v)
{
    UCHAR* b = static_cast<UCHAR*>(p);
    b[0] = static_cast<UCHAR>(v);
    b[1] = static_cast<UCHAR>(v >> 8);
    b[2] = static_cast<UCHAR>(v >> 16);
    b[3] = static_cast<UCHAR>(v >> 24);
}
