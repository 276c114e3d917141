// Request handling shared by the dispatcher and its handlers.
#pragma once

#include "miniport/board.h"

// One request handler: works on the selected board, returns the status.
typedef VP_STATUS (*REQUEST_HANDLER)(PBOARD_EXTENSION ext, PVIDEO_REQUEST_PACKET packet);

typedef struct _REQUEST_ENTRY {
    ULONG IoControlCode;
    REQUEST_HANDLER Handler;
} REQUEST_ENTRY;

extern ULONG boardNumber;

// The handler of a standard or private control code, or null.
REQUEST_HANDLER find_standard_request(ULONG code);
REQUEST_HANDLER find_private_request(ULONG code);

// Output check that first reports the size the request needs.
inline BOOLEAN output_fits(PVIDEO_REQUEST_PACKET packet, ULONG needed)
{
    packet->StatusBlock->Information = needed;
    return packet->OutputBufferLength >= needed;
}

inline BOOLEAN input_fits(PVIDEO_REQUEST_PACKET packet, ULONG needed)
{
    return packet->InputBufferLength >= needed;
}

// A NUL-terminated string as the output, cut to fit; an empty output buffer
// is refused with the size the whole string needs.
VP_STATUS IOReturnString(PVIDEO_REQUEST_PACKET packet, const CHAR* text);
