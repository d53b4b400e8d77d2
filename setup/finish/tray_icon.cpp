#include "finish/tray_icon.h"

#include "win32api.h"

namespace {

const BYTE kVolumeIconBit = 4;
const DWORD kTrayStartPauseMs = 500;

void UpdateServices(HKEY root, const char* path, bool show_volume_icon) {
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    BYTE data[8] = {0};
    DWORD size = sizeof data;
    DWORD type = 0;
    if (RegQueryValueExA(key, "Services", NULL, &type, data, &size) == ERROR_SUCCESS) {
        if (show_volume_icon)
            data[0] |= kVolumeIconBit;
        else
            data[0] &= static_cast<BYTE>(~kVolumeIconBit);
        RegSetValueExA(key, "Services", 0, type, data, 4);
    }
    RegCloseKey(key);
}

}  // namespace

void UpdateTrayIcon(bool show_volume_icon) {
    UpdateServices(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Systray",
                   show_volume_icon);
    UpdateServices(HKEY_USERS, ".DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Systray",
                   show_volume_icon);
    WinExec("SysTray.exe", SW_SHOW);
    SleepEx(kTrayStartPauseMs, FALSE);
}
