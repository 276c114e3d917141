// Callbacks not yet implemented.
#include "korvid.h"

KORVID_API BOOLEAN Zorx_Initialize(PVOID) { return TRUE; }

KORVID_API BOOLEAN Zorx_StartIO(PVOID, PVIDEO_REQUEST_PACKET packet)
{
    packet->StatusBlock->Status = ERROR_INVALID_FUNCTION;
    return TRUE;
}

KORVID_API BOOLEAN Zorx_ResetHw(PVOID, ULONG, ULONG) { return FALSE; }
