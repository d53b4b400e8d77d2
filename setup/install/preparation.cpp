// Preparation of the system before the driver files are staged: the maker's programs that may hold the old
// driver open are closed, the system's volume icon is hidden, the mixer is told to initialise afresh, the INF
// files of earlier releases go and the extra INF folders are made.
#include "finish/tray_icon.h"
#include "app/paths.h"
#include "install/install_steps.h"
#include "scan/legacy_cleanup.h"

namespace {

// The system dialog class, by its atom (#32770).
const ATOM kDialogClassAtom = 0x8002;

struct CompanionWindow {
    LPCSTR class_name;  // NULL: any class
    LPCSTR title;
};

LPCSTR DialogClass() {
    return reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(kDialogClassAtom));
}

// A companion program that does not answer the close request holds the worker at most this long per window.
// One that Windows already counts as hung (it has retrieved no message for 5 seconds) is passed over at once.
const UINT kCloseTimeoutMs = 5000;
const DWORD kAfterClosePauseMs = 1000;

void CloseCompanionWindows() {
    const CompanionWindow windows[] = {
        {NULL, "Mixer"},                                 // the maker's mixer
        {DialogClass(), "Korvane Audio Configuration"},  // its audio configuration panel
        {"Hidden Window class", "Hidden Main Window"},   // a hidden program window
    };
    for (const CompanionWindow& companion : windows) {
        // Only the first window that matches is closed.
        HWND window = FindWindowExA(NULL, NULL, companion.class_name, companion.title);
        if (!window) continue;
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(window, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, kCloseTimeoutMs, &answer);
    }
    SleepEx(kAfterClosePauseMs, FALSE);
}

// The mixer reads its settings afresh at its next start. A missing settings file is not made.
void ResetMixerRuntimeFlag() {
    char path[MAX_PATH];
    if (!WindowsPath(path, "mixerdef.ini")) return;
    // The presence test closes the stream at once, so the write never meets a file this program holds open.
    crt::FILE* file = crt::fopen(path, "r");
    if (!file) return;
    crt::fclose(file);
    WritePrivateProfileStringA("RUNTIME", "Initialize", "0", path);
}

void CreateWindowsFolder(const char* rest) {
    char path[MAX_PATH];
    // A folder that exists already is no error.
    if (WindowsPath(path, rest)) CreateDirectoryA(path, NULL);
}

}  // namespace

void PrepareSystem(WorkerRun& run) {
    CloseCompanionWindows();
    // The tray icon update with the bit cleared. It clears bit value 4 in the first byte of "Services"; the
    // value is little-endian, so that is bit value 4 of its first 32-bit word, and the rest is written back
    // as read (4 bytes, the type read), then the tray program is restarted and given 500 ms.
    UpdateTrayIcon(false);
    ResetMixerRuntimeFlag();
    run.InfCopyList.clear();  // filled by the staging on the 98 family
    RemoveLegacyDrivers();
    CreateWindowsFolder("INF\\OTHER\\");
    CreateWindowsFolder("INF\\CATALOG\\");
}
