// The one door between the applet and its platform: the Win32 names come
// from the system headers on the real target and from the host stand-ins
// everywhere else.
#pragma once

#include <stddef.h>

#if defined(_WIN32)
#include <windows.h>
#include <commctrl.h>
#include <cpl.h>
#include <prsht.h>
#else
#include "platform/win32/windows.h"
#include "platform/win32/commctrl.h"
#include "platform/win32/cpl.h"
#include "platform/win32/prsht.h"
#endif

static_assert(sizeof(NEWCPLINFOA) == 244);
static_assert(sizeof(PROPSHEETPAGEA_V1) == 40);
static_assert(offsetof(PROPSHEETHEADERA, pfnCallback) + sizeof(PFNPROPSHEETCALLBACK) == 40);
static_assert(sizeof(DEVMODEA) == 156);
