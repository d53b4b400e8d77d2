#include "scan/audio_scan.h"

#include <string.h>

LONG RestartNeeded = 0;

namespace {

const char* const kSupportedDevices[] = {"QVI6620/V3DX PCI Audio Device", "QVI6610/V3DX PCI Audio Device"};
const char kCurrentName[] = "IndependentVolumeControl";
const char kOlderName[] = "IndepedentVolumeControl";
const char kNtClassRoot[] = "SYSTEM\\CurrentControlSet\\Control\\Class";
const char* const kNtControlSets[] = {"SYSTEM\\CurrentControlSet\\Control\\Class",
                                      "SYSTEM\\ControlSet001\\Control\\Class",
                                      "SYSTEM\\ControlSet002\\Control\\Class"};

const int kPathSize = 1024;  // composed key paths: up to 1023 characters
const int kNameSize = 256;   // sub-key names: up to 255 characters
const int kTextSize = 255;   // text values: up to 255 bytes
const int kSettingSize = 10;

// Joins a key path, a backslash and a name; false when the result would not fit.
bool JoinPath(char* out, const char* path, const char* name) {
    if (strlen(path) + 1 + strlen(name) >= static_cast<size_t>(kPathSize)) return false;
    strcpy(out, path);
    strcat(out, "\\");
    strcat(out, name);
    return true;
}

bool IsSupportedDevice(HKEY entry) {
    char description[kTextSize + 1] = "";
    DWORD size = kTextSize;
    DWORD type = 0;
    if (RegQueryValueExA(entry, "DriverDesc", NULL, &type, reinterpret_cast<BYTE*>(description), &size) !=
        ERROR_SUCCESS)
        return false;
    description[size < static_cast<DWORD>(kTextSize) ? size : kTextSize] = '\0';
    for (const char* supported : kSupportedDevices)
        if (strcmp(description, supported) == 0) return true;
    return false;
}

void MoveSetting(HKEY settings) {
    BYTE current[kSettingSize] = {0};
    DWORD current_size = sizeof current;
    DWORD current_type = 0;
    bool have_current = RegQueryValueExA(settings, kCurrentName, NULL, &current_type, current,
                                         &current_size) == ERROR_SUCCESS;
    BYTE older[kSettingSize] = {0};
    DWORD older_size = sizeof older;
    DWORD older_type = 0;
    if (RegQueryValueExA(settings, kOlderName, NULL, &older_type, older, &older_size) != ERROR_SUCCESS)
        return;
    DWORD current_value, older_value;
    memcpy(&current_value, current, 4);
    memcpy(&older_value, older, 4);
    if (have_current && current_value != older_value) RestartNeeded = 1;
    if (RegSetValueExA(settings, kCurrentName, 0, older_type, older, older_size) == ERROR_SUCCESS)
        RegDeleteValueA(settings, kOlderName);
}

}  // namespace

void MigrateAudioDeviceSettings(const char* class_key_path) {
    HKEY class_key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, class_key_path, 0, KEY_ENUMERATE_SUB_KEYS, &class_key) !=
        ERROR_SUCCESS)
        return;
    for (DWORD index = 0;; ++index) {
        char name[kNameSize];
        DWORD name_size = sizeof name;
        if (RegEnumKeyExA(class_key, index, name, &name_size, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
        char path[kPathSize];
        if (!JoinPath(path, class_key_path, name)) continue;
        HKEY entry;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &entry) != ERROR_SUCCESS) continue;
        bool supported = IsSupportedDevice(entry);
        RegCloseKey(entry);
        if (!supported) continue;
        char settings_path[kPathSize];
        if (!JoinPath(settings_path, path, "Settings")) continue;
        HKEY settings;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, settings_path, 0,
                          KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY, &settings) != ERROR_SUCCESS)
            continue;
        MoveSetting(settings);
        RegCloseKey(settings);
    }
    RegCloseKey(class_key);
}

namespace {

void ScanNtClasses() {
    char root_path[kPathSize];
    strcpy(root_path, kNtClassRoot);
    strcat(root_path, "\\");
    HKEY root;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, root_path, 0, KEY_ENUMERATE_SUB_KEYS, &root) != ERROR_SUCCESS)
        return;
    for (DWORD index = 0;; ++index) {
        char name[kNameSize];
        DWORD name_size = sizeof name;
        LONG status = RegEnumKeyExA(root, index, name, &name_size, NULL, NULL, NULL, NULL);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) continue;
        char class_path[kPathSize];
        if (!JoinPath(class_path, kNtClassRoot, name)) continue;
        HKEY class_key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, class_path, 0, KEY_QUERY_VALUE, &class_key) != ERROR_SUCCESS)
            continue;
        char class_name[kTextSize + 1] = "";
        DWORD size = kTextSize;
        DWORD type = 0;
        LONG read =
            RegQueryValueExA(class_key, "Class", NULL, &type, reinterpret_cast<BYTE*>(class_name), &size);
        RegCloseKey(class_key);
        class_name[size < static_cast<DWORD>(kTextSize) ? size : kTextSize] = '\0';
        if (read != ERROR_SUCCESS || strcmp(class_name, "MEDIA") != 0) continue;
        for (const char* control_set : kNtControlSets) {
            char path[kPathSize];
            if (JoinPath(path, control_set, name)) MigrateAudioDeviceSettings(path);
        }
    }
    RegCloseKey(root);
}

}  // namespace

void ScanAudioDevices() {
    OSVERSIONINFOA info;
    memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);
    if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && info.dwMinorVersion != 0)
        MigrateAudioDeviceSettings("System\\CurrentControlSet\\Services\\Class\\MEDIA");
    else if (info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion >= 5)
        ScanNtClasses();
}
