// The single entry of the display driver's requests: pick the board, run the
// request, store its status.
#include "miniport/korvid.h"
#include "miniport/requests.h"

KORVID_DATA ULONG boardNumber = 0;

namespace {

PBOARD_EXTENSION board_for_request(PBOARD_EXTENSION ext)
{
    // An index past the end of the chain selects the last board.
    for (ULONG hops = 0; hops < boardNumber && ext->pNextBoard; ++hops)
        ext = ext->pNextBoard;
    return ext;
}

} // namespace

KORVID_API BOOLEAN Zorx_StartIO(PVOID HwDeviceExtension, PVIDEO_REQUEST_PACKET RequestPacket)
{
    PBOARD_EXTENSION ext = board_for_request(static_cast<PBOARD_EXTENSION>(HwDeviceExtension));
    ULONG code = RequestPacket->IoControlCode;
    REQUEST_HANDLER handler = find_standard_request(code);
    if (!handler)
        handler = find_private_request(code);
    VP_STATUS status = handler ? handler(ext, RequestPacket) : ERROR_INVALID_FUNCTION;
    RequestPacket->StatusBlock->Status = status;
    return TRUE;
}
