// The registry writer of QviSystemInfo.
#pragma once

#include "win32api.h"

// The running system, as the values of the key tell it.
enum WindowsVersion {
    Win95 = 0,
    Win98 = 1,
    Win98SE = 2,
    WinME = 3,
    WinNT = 4,
    Win2K = 5,
    WinXP = 6,
    WinOther = 7,
};

WindowsVersion ClassifyWindows();

// Opens sub_key below HKEY_LOCAL_MACHINE (never creates it) and writes the nine values: "OSVER_95" to
// "OSVER_XP", "DirectX" and "DXMedia". The sub-key is used exactly as given.
void WriteSystemInfo(LPCSTR sub_key);
