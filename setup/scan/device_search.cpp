#include "scan/device_search.h"

#include <string.h>

namespace {

const size_t kPatternSize = 256;

// The device-installation functions, loaded at run time: Windows 95 has no SETUPAPI.DLL, and a program that
// imported it would not start there. A missing library or function counts as a failed call.
typedef HDEVINFO(WINAPI* GetClassDevsProc)(const GUID*, PCSTR, HWND, DWORD);
typedef BOOL(WINAPI* EnumDeviceInfoProc)(HDEVINFO, DWORD, PSP_DEVINFO_DATA);
typedef BOOL(WINAPI* GetRegistryPropertyProc)(HDEVINFO, PSP_DEVINFO_DATA, DWORD, PDWORD, PBYTE, DWORD,
                                              PDWORD);
typedef BOOL(WINAPI* RemoveDeviceProc)(HDEVINFO, PSP_DEVINFO_DATA);
typedef BOOL(WINAPI* DestroyInfoListProc)(HDEVINFO);

struct SetupApi {
    HMODULE module;
    GetClassDevsProc GetClassDevs;
    EnumDeviceInfoProc EnumDeviceInfo;
    GetRegistryPropertyProc GetRegistryProperty;
    RemoveDeviceProc RemoveDevice;
    DestroyInfoListProc DestroyInfoList;

    SetupApi() : module(LoadLibraryA("SETUPAPI.DLL")) {
        GetClassDevs = reinterpret_cast<GetClassDevsProc>(Find("SetupDiGetClassDevsA"));
        EnumDeviceInfo = reinterpret_cast<EnumDeviceInfoProc>(Find("SetupDiEnumDeviceInfo"));
        GetRegistryProperty =
            reinterpret_cast<GetRegistryPropertyProc>(Find("SetupDiGetDeviceRegistryPropertyA"));
        RemoveDevice = reinterpret_cast<RemoveDeviceProc>(Find("SetupDiRemoveDevice"));
        DestroyInfoList = reinterpret_cast<DestroyInfoListProc>(Find("SetupDiDestroyDeviceInfoList"));
    }
    ~SetupApi() {
        if (module) FreeLibrary(module);
    }
    SetupApi(const SetupApi&) = delete;
    SetupApi& operator=(const SetupApi&) = delete;
    bool complete() const {
        return GetClassDevs && EnumDeviceInfo && GetRegistryProperty && RemoveDevice && DestroyInfoList;
    }

  private:
    void* Find(const char* name) {
        return module ? reinterpret_cast<void*>(GetProcAddress(module, name)) : NULL;
    }
};

// The first entry of the multi-string list (size bytes) that contains pattern, or NULL.
const char* MatchingEntry(const char* list, DWORD size, const char* pattern) {
    for (DWORD offset = 0; offset < size && list[offset];) {
        const char* entry = list + offset;
        size_t length = strnlen(entry, size - offset);
        // An entry that would not fit the caller's 256-byte buffer is not a match.
        if (length < kPatternSize && strstr(entry, pattern)) return entry;
        offset += static_cast<DWORD>(length) + 1;
    }
    return NULL;
}

enum class Read { kOk, kNoIds, kFailed };

// Reads the device's hardware-ID list into a buffer of the size the services ask for.
Read ReadHardwareIds(SetupApi& api, HDEVINFO set, SP_DEVINFO_DATA* device, char** buffer, DWORD* size) {
    DWORD required = 0;
    BOOL ok = api.GetRegistryProperty(set, device, SPDRP_HARDWAREID, NULL, NULL, 0, &required);
    for (;;) {
        if (ok) return Read::kOk;
        DWORD error = GetLastError();
        if (error == ERROR_INVALID_DATA) return Read::kNoIds;
        if (error != ERROR_INSUFFICIENT_BUFFER) return Read::kFailed;
        if (*buffer) LocalFree(*buffer);
        *buffer = static_cast<char*>(LocalAlloc(LPTR, required));
        if (!*buffer) return Read::kFailed;  // the allocation's error stands as the last error
        *size = required;
        ok = api.GetRegistryProperty(set, device, SPDRP_HARDWAREID, NULL, reinterpret_cast<PBYTE>(*buffer),
                                     required, &required);
    }
}

}  // namespace

int FindDeviceByHardwareId(char* pattern, int* remove) {
    SetupApi api;
    if (!api.complete()) return 0;
    HDEVINFO set = api.GetClassDevs(NULL, NULL, NULL, DIGCF_PRESENT | DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE) return 0;
    int found = 0;
    for (DWORD index = 0;; ++index) {
        SP_DEVINFO_DATA device;
        memset(&device, 0, sizeof device);
        device.cbSize = sizeof device;
        if (!api.EnumDeviceInfo(set, index, &device)) break;
        char* ids = NULL;
        DWORD size = 0;
        Read read = ReadHardwareIds(api, set, &device, &ids, &size);
        if (read == Read::kFailed) {
            DWORD error = GetLastError();
            if (ids) LocalFree(ids);
            api.DestroyInfoList(set);
            SetLastError(error);
            return found;
        }
        if (read == Read::kOk) {
            if (const char* entry = MatchingEntry(ids, size, pattern)) {
                if (*remove) *remove = api.RemoveDevice(set, &device) ? 1 : 0;
                memcpy(pattern, entry, strlen(entry) + 1);
                found = 1;
            }
        }
        if (ids) LocalFree(ids);
        if (found) break;
    }
    DWORD error = GetLastError();
    api.DestroyInfoList(set);
    SetLastError(error);
    return found;
}
