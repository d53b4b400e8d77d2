#include "system_info.h"

#include <string.h>

namespace {

// The value each recognised system sets to 1, by WindowsVersion code.
const char* const kVersionValues[] = {"OSVER_95", "OSVER_98", "OSVER_SE", "OSVER_ME",
                                      "OSVER_NT", "OSVER_2K", "OSVER_XP"};
const int kVersionValueCount = sizeof kVersionValues / sizeof kVersionValues[0];

// DirectX versions are major * 256.
const DWORD kDirectX7 = 0x0700;
const DWORD kDirectX8 = 0x0800;

// The public DirectShow filter graph class and its graph builder interface.
const CLSID kClsidFilterGraph = {
    0xE436EBB3, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
const IID kIidGraphBuilder = {0x56A868A9, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};

typedef HRESULT(WINAPI* DirectDrawCreateProc)(GUID* driver, IUnknown** direct_draw, IUnknown* outer);

void WriteDword(HKEY key, const char* name, DWORD value) {
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

// Loads DirectDraw and creates its object. Whatever happens, the version it reports is 0: the probe never
// learns more from DirectDraw than that it answered.
DWORD ProbeDirectDraw() {
    HMODULE ddraw = LoadLibraryA("DDRAW.DLL");
    if (!ddraw) return 0;
    DirectDrawCreateProc create = reinterpret_cast<DirectDrawCreateProc>(
        reinterpret_cast<void*>(GetProcAddress(ddraw, "DirectDrawCreate")));
    if (!create) {
        FreeLibrary(ddraw);
        OutputDebugStringA("Couldn't LoadLibrary DDraw\r\n");
        return 0;
    }
    if (crt::FILE* dump = crt::fopen("VornDump.txt", "at")) {
        crt::fputs("Get DirectDrawCreate\n", dump);
        crt::fclose(dump);
    }
    IUnknown* direct_draw = NULL;
    if (FAILED(create(NULL, &direct_draw, NULL))) {
        FreeLibrary(ddraw);
        OutputDebugStringA("Couldn't create DDraw\r\n");
    }
    return 0;
}

// True when the DirectShow filter graph can be created.
bool ProbeDirectShow() {
    CoInitialize(NULL);
    IUnknown* graph = NULL;
    HRESULT hr = CoCreateInstance(kClsidFilterGraph, NULL, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                  kIidGraphBuilder, reinterpret_cast<void**>(&graph));
    bool created = hr == S_OK;
    if (created) graph->Release();
    CoUninitialize();
    return created;
}

}  // namespace

WindowsVersion ClassifyWindows() {
    OSVERSIONINFOA info;
    memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);
    if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        if (info.dwMajorVersion != 4) return WinOther;
        switch (info.dwMinorVersion) {
            case 0:
                return Win95;
            case 10:
                return info.szCSDVersion[1] == 'A' ? Win98SE : Win98;
            case 90:
                return WinME;
            default:
                return WinOther;
        }
    }
    if (info.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        if (info.dwMajorVersion <= 4) return WinNT;
        if (info.dwMajorVersion == 5 && info.dwMinorVersion == 0) return Win2K;
        if (info.dwMajorVersion == 5 && info.dwMinorVersion == 1) return WinXP;
    }
    return WinOther;
}

void WriteSystemInfo(LPCSTR sub_key) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, sub_key, 0, KEY_READ | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    for (int i = 0; i < kVersionValueCount; ++i) WriteDword(key, kVersionValues[i], 0);

    WindowsVersion version = ClassifyWindows();
    if (version < kVersionValueCount) WriteDword(key, kVersionValues[version], 1);
    DWORD directx_version = version == Win98SE ? ProbeDirectDraw() : kDirectX8;

    DWORD directx = 0;
    DWORD dxmedia = 0;
    if (directx_version <= kDirectX7) {
        if (!ProbeDirectShow()) dxmedia = 1;
        if (directx_version < kDirectX7) directx = 1;
    }
    WriteDword(key, "DirectX", directx);
    WriteDword(key, "DXMedia", dxmedia);
    RegCloseKey(key);
}
