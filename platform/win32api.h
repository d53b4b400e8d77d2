// The one header through which the system code reaches the operating system.
//
// On Windows it is the SDK of the MinGW toolchain. On Linux it is our own declaration of the same names, with
// Windows' widths and values, implemented by the simulated machine in platform/sim. System code includes only
// this header and never asks which platform it is on.
//
// The few C runtime calls the system makes on simulated files and the simulated process (fopen, fputs, the
// wildcard search, exit) are reached through namespace crt: the real CRT on Windows, the simulator on Linux.
#pragma once

#if defined(_WIN32)

#include <windows.h>
#include <objbase.h>
#include <mmsystem.h>
#include <setupapi.h>
#include <cfgmgr32.h>
#include <newdev.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>

// newdev.h declares the installer for WINVER 0x0500 and later only; the system reaches it through
// GetProcAddress on every version and needs its type.
#if WINVER < 0x0500
extern "C" BOOL WINAPI UpdateDriverForPlugAndPlayDevicesA(HWND parent, LPCSTR hardware_id,
                                                          LPCSTR full_inf_path, DWORD install_flags,
                                                          PBOOL reboot_required);
#endif

namespace crt {
using ::_findclose;
using ::_finddata_t;
using ::_findfirst;
using ::_findnext;
using ::exit;
using ::fclose;
using ::fgets;
using ::FILE;
using ::fopen;
using ::fputs;
using ::fread;
using ::fwrite;
}  // namespace crt

#else

#include "sim/api/win32.h"

#endif
