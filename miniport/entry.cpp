// Driver entry: registration of the callbacks with the video port.
#include "miniport/korvid.h"

KORVID_API ULONG DriverEntry(PVOID Context1, PVOID Context2)
{
    VIDEO_HW_INITIALIZATION_DATA init;
    VideoPortZeroMemory(&init, HW_INIT_DATA_SIZE_NT4);
    init.HwInitDataSize = HW_INIT_DATA_SIZE_NT4;
    init.AdapterInterfaceType = PCIBus;
    init.HwFindAdapter = Zorx_FindAdapter;
    init.HwInitialize = Zorx_Initialize;
    init.HwInterrupt = nullptr;
    init.HwStartIO = Zorx_StartIO;
    init.HwDeviceExtensionSize = sizeof(BOARD_EXTENSION);
    init.StartingDeviceNumber = 0;
    init.HwResetHw = Zorx_ResetHw;
    init.HwTimer = nullptr;
    return VideoPortInitialize(Context1, Context2, &init, nullptr);
}
