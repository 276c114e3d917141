// Host stand-in for the common controls library (commctrl.h): its start-up
// call and the property sheet.
#pragma once

#include "platform/win32/prsht.h"

extern "C" void WINAPI InitCommonControls(void);
