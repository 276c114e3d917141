// Host stand-in for the common controls library (commctrl.h): its start-up
// call and the property sheet.
#pragma once

#include "prsht.h"

extern "C" void WINAPI InitCommonControls(void);
