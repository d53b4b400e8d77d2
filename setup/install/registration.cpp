// Controller detection, the driver update or OEM INF registration, the driver source list and re-enumeration.
#include <string.h>

#include <vector>

#include "app/setup_dlg.h"
#include "app/paths.h"
#include "install/install_steps.h"
#include "scan/device_search.h"

namespace {

// Searched in this order; the first ID a present device carries decides. The same list serves both packages.
const char* const kSupportedControllers[] = {
    "PCI\\VEN_5E1A&DEV_0111", "PCI\\VEN_1039&DEV_7012", "PCI\\VEN_1039&DEV_7018", "PCI\\VEN_1106&DEV_3058",
    "PCI\\VEN_1106&DEV_3059", "PCI\\VEN_8086&DEV_2415", "PCI\\VEN_8086&DEV_2425", "PCI\\VEN_8086&DEV_2445",
    "PCI\\VEN_8086&DEV_24C5", "PCI\\VEN_01DE&DEV_01B1", "PCI\\VEN_10B9&DEV_5451",
};

const char kStagingFolder[] = "C:\\Program Files\\Korvane\\WIN_ME";
const char* const kChipInfs[] = {"QVAUDIO.INF", "QVAUDIO1.INF"};
const char* const kCodecInfs[] = {"QVUDA.INF",  "QVUDA1.INF", "QVUDA2.INF", "QVUDA3.INF", "QVUDA4.INF",
                                  "QVUDA5.INF", "QVUDA6.INF", "QVUDA7.INF", "QVUDA8.INF", "QVUDA9.INF"};
const DWORD kSourceListFlags = SRCLIST_SYSTEM | SRCLIST_USER;
const DWORD kCompanionPollMs = 500;

typedef BOOL(WINAPI* UpdateDriverProc)(HWND, LPCSTR, LPCSTR, DWORD, BOOL*);
typedef BOOL(WINAPI* CopyOemInfProc)(PCSTR, PCSTR, DWORD, DWORD, PSTR, DWORD, PDWORD, PSTR*);
typedef BOOL(WINAPI* QuerySourceListProc)(DWORD, PCSTR**, UINT*);
typedef BOOL(WINAPI* SetSourceListProc)(DWORD, PCSTR*, UINT);
typedef BOOL(WINAPI* FreeSourceListProc)(PCSTR**, UINT);
typedef CONFIGRET(WINAPI* LocateDevNodeProc)(PDEVINST, DEVINSTID_A, ULONG);
typedef CONFIGRET(WINAPI* ReenumerateDevNodeProc)(DEVINST, ULONG);

// A library of the device-installation services, loaded for one step: Windows 95 has none of them and NT 4
// lacks the new-device installer, so they are never imported. A missing library or function counts as a
// failed call.
class Library {
  public:
    explicit Library(const char* name) : module_(LoadLibraryA(name)) {}
    ~Library() {
        if (module_) FreeLibrary(module_);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    void* Find(const char* name) const {
        return module_ ? reinterpret_cast<void*>(GetProcAddress(module_, name)) : NULL;
    }

  private:
    HMODULE module_;
};

bool RunningOnWine() {
    Library ntdll("NTDLL.DLL");
    return ntdll.Find("wine_get_version") != NULL;
}

// Wine 8 exports SetupQuerySourceListA and SetupFreeSourceListA as stubs that raise an exception (0x80000100)
// and so end the process when called. Its generated stubs have one shape per processor, each naming the
// function before the call that raises:
//   i386:   nine NOPs, "sub esp, 12", "mov dword [esp+4], <address of the name>";
//   x86-64: "sub rsp, 40", "lea rcx, [rip+<library name>]", "lea rdx, [rip+<function name>]".
// Such a function is recognised before it is called and treated as missing, which counts as a failed call.
// Outside Wine the code is never read.
const char* StubName(const unsigned char* code) {
    static const unsigned char kI386[] = {0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90,
                                          0x90, 0x83, 0xEC, 0x0C, 0xC7, 0x44, 0x24, 0x04};
    static const unsigned char kX64[] = {0x48, 0x83, 0xEC, 0x28, 0x48, 0x8D, 0x0D};
    static const unsigned char kX64Name[] = {0x48, 0x8D, 0x15};
    if (memcmp(code, kI386, sizeof kI386) == 0) {
        DWORD address = 0;
        memcpy(&address, code + sizeof kI386, sizeof address);
        return reinterpret_cast<const char*>(static_cast<ULONG_PTR>(address));
    }
    if (memcmp(code, kX64, sizeof kX64) == 0 && memcmp(code + 11, kX64Name, sizeof kX64Name) == 0) {
        LONG offset = 0;  // from the end of the second lea, 18 bytes into the stub
        memcpy(&offset, code + 14, sizeof offset);
        return reinterpret_cast<const char*>(code + 18 + offset);
    }
    return NULL;
}

bool IsUnimplementedStub(void* function, const char* name) {
    if (!function || !RunningOnWine()) return false;
    const char* stub_name = StubName(static_cast<const unsigned char*>(function));
    return stub_name && strncmp(stub_name, name, strlen(name) + 1) == 0;
}

// A function of the library that can safely be called, or null.
void* Callable(const Library& library, const char* name) {
    void* function = library.Find(name);
    return IsUnimplementedStub(function, name) ? NULL : function;
}

// The full path of a package INF in the staging folder; the folder and the names are fixed, so it fits.
void StagedInfPath(const char* inf, char* path) {
    strcpy(path, kStagingFolder);
    strcat(path, "\\");
    strcat(path, inf);
}

}  // namespace

bool DetectController(WorkerRun& run) {
    int remove = 0;
    for (const char* id : kSupportedControllers) {
        memset(run.HardwareId, 0, sizeof run.HardwareId);
        strcpy(run.HardwareId, id);
        if (FindDeviceByHardwareId(run.HardwareId, &remove)) return run.ControllerFound = true;
    }
    return run.ControllerFound = false;
}

// The system's cached index of the INF folder; it rebuilds them.
void DeleteDriverIndexFiles(WorkerRun&) {
    const char* const index_files[] = {"INF\\Drvdata.bin", "INF\\Drvidx.bin"};
    for (const char* file : index_files) {
        char path[MAX_PATH];
        if (!WindowsPath(path, file)) continue;
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path);
    }
}

// No time limit and no cancellation test: the companion installer owns the device until it closes.
void WaitForCompanionInstaller(WorkerRun&) {
    while (CompanionInstallerPresent()) SleepEx(kCompanionPollMs, FALSE);
}

// The request is posted, never sent: the destroy handler may be waiting for this thread without handling
// messages, and a sent message would then wait for ever. A window that is gone ignores the request.
void ShowMainWindow(WorkerRun&) {
    if (MainWindow) MainWindow->PostMessageA(WM_SHOW_PROGRESS);
}

// On the window's thread: the timer handler may have hidden the window while the companion installer ran.
void CSetupDlg::OnShowProgress() {
    ShowWindow(SW_SHOW);
    ProgressList.RedrawWindow(NULL, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

DriverUpdate UpdateControllerDriver(WorkerRun& run) {
    Library newdev("NEWDEV.DLL");
    UpdateDriverProc update =
        reinterpret_cast<UpdateDriverProc>(newdev.Find("UpdateDriverForPlugAndPlayDevicesA"));
    const char* const* infs = ChipPackage ? kChipInfs : kCodecInfs;
    // The chip package is updated from its first INF only; the codec package tries each until one installs.
    size_t inf_count = ChipPackage ? 1 : sizeof kCodecInfs / sizeof kCodecInfs[0];
    BOOL reboot_required = FALSE;
    bool installed = false;
    for (size_t i = 0; update && i < inf_count && !installed; ++i) {
        char path[MAX_PATH];
        StagedInfPath(infs[i], path);
        installed =
            update(GetDesktopWindow(), run.HardwareId, path, INSTALLFLAG_FORCE, &reboot_required) != 0;
    }
    run.RebootRequired = reboot_required != FALSE;
    if (!installed) return DriverUpdate::kFailed;
    return !run.RebootRequired && ChipPackage ? DriverUpdate::kSucceededGoesOn
                                              : DriverUpdate::kSucceededEndsRun;
}

// The buffer holds the full ID the detection found; the next re-enumeration detects the device as new.
void RemoveControllerDevice(WorkerRun& run) {
    int remove = 1;
    FindDeviceByHardwareId(run.HardwareId, &remove);
}

void RegisterOemInfFiles(WorkerRun&) {
    Library setupapi("SETUPAPI.DLL");
    CopyOemInfProc copy = reinterpret_cast<CopyOemInfProc>(setupapi.Find("SetupCopyOEMInfA"));
    if (!copy) return;
    const char* const* infs = ChipPackage ? kChipInfs : kCodecInfs;
    size_t inf_count =
        ChipPackage ? sizeof kChipInfs / sizeof kChipInfs[0] : sizeof kCodecInfs / sizeof kCodecInfs[0];
    for (size_t i = 0; i < inf_count; ++i) {
        char path[MAX_PATH];
        StagedInfPath(infs[i], path);
        copy(path, kStagingFolder, SPOST_PATH, SP_COPY_DELETESOURCE, NULL, 0, NULL, NULL);
    }
}

// The system's list followed by the staging folder, even when the list holds it already. The new list is as
// long as it needs to be, so a system list of any length is kept whole; when the query fails, or the
// functions are missing, the system's list stays as it is rather than being replaced by the staging folder.
void AddStagingFolderToSourceList(WorkerRun&) {
    Library setupapi("SETUPAPI.DLL");
    QuerySourceListProc query =
        reinterpret_cast<QuerySourceListProc>(Callable(setupapi, "SetupQuerySourceListA"));
    SetSourceListProc set = reinterpret_cast<SetSourceListProc>(Callable(setupapi, "SetupSetSourceListA"));
    FreeSourceListProc release =
        reinterpret_cast<FreeSourceListProc>(Callable(setupapi, "SetupFreeSourceListA"));
    if (!query || !set) return;
    PCSTR* system_list = NULL;
    UINT count = 0;
    if (!query(kSourceListFlags, &system_list, &count) || (count && !system_list)) return;
    static const char kStagingSource[] = "C:\\Program Files\\Korvane\\WIN_ME\\";
    std::vector<PCSTR> sources(system_list, system_list + count);
    sources.push_back(kStagingSource);
    set(kSourceListFlags, &sources[0], static_cast<UINT>(sources.size()));
    // Without a usable free function the queried copy is left to the process's end.
    if (release) release(&system_list, count);
}

void ReenumerateDevices(WorkerRun&) {
    // The configuration manager is its own library on the 98 family; 2000 and XP also have it there.
    Library cfgmgr32("CFGMGR32.DLL");
    Library setupapi("SETUPAPI.DLL");
    const Library& library = cfgmgr32.Find("CM_Locate_DevNodeA") ? cfgmgr32 : setupapi;
    LocateDevNodeProc locate = reinterpret_cast<LocateDevNodeProc>(library.Find("CM_Locate_DevNodeA"));
    ReenumerateDevNodeProc reenumerate =
        reinterpret_cast<ReenumerateDevNodeProc>(library.Find("CM_Reenumerate_DevNode"));
    if (!locate || !reenumerate) return;
    DEVINST root = 0;
    if (locate(&root, NULL, CM_LOCATE_DEVNODE_NORMAL) != CR_SUCCESS) return;
    reenumerate(root, 0);
}
