#include "install/install_worker.h"

#include <string.h>

#include "install/install_steps.h"

std::atomic<DWORD> InstallPhase(kPhaseIdle);
HANDLE CancelEvent = NULL;
HANDLE WorkerThread = NULL;
DWORD WorkerThreadId = 0;
bool ChipPackage = false;

namespace {

// The cancel event, tested without waiting: a signal seen here is consumed and ends the run.
bool Cancelled() {
    return WaitForSingleObject(CancelEvent, 0) == WAIT_OBJECT_0;
}

void Publish(DWORD phase) {
    InstallPhase.store(phase);
}

// Ends the worker's thread; the run leaves everything it wrote as it is.
void Finish() {
    Publish(kPhaseFinished);
    ExitThread(0);
}

}  // namespace

WindowsFlags ClassifyWindows() {
    OSVERSIONINFOA info;
    memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    WindowsFlags flags;
    // A failed call leaves the record zeroed: no flag is set.
    GetVersionExA(&info);
    DWORD version_word = info.dwBuildNumber >> 16;  // the 9x family keeps major and minor here
    bool windows_platform = info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && info.dwMinorVersion != 0;
    flags.IsWin98Family = windows_platform && version_word < 0x0410;
    flags.IsWin98SE = flags.IsWin98Family && (info.dwBuildNumber & 0xFF00) == 0x0800;
    flags.IsWinMe = windows_platform && version_word >= 0x0410;
    flags.IsNt5 = info.dwMajorVersion >= 5 && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
    flags.IsWinXp = flags.IsNt5 && info.dwBuildNumber >= 2600;
    return flags;
}

DWORD WINAPI InstallWorkerProc(LPVOID) {
    if (Cancelled()) Finish();
    Publish(kPhaseStarted);
    WorkerRun run;
    run.windows = ClassifyWindows();
    PrepareSystem(run);
    StageDriverFiles(run);
    PatchInfCopies(run);
    Publish(kPhaseCopyingFiles);
    if (Cancelled()) Finish();

    bool controller_found = DetectController(run);
    DeleteDriverIndexFiles(run);
    WriteSpeakerStartupEntry(run);
    CountBaselineMixers(run);
    if (controller_found) {
        WaitForCompanionInstaller(run);
        Publish(kPhaseWaitingForDriver);
        ShowMainWindow(run);
        DriverUpdate update = UpdateControllerDriver(run);
        if (update == DriverUpdate::kSucceededEndsRun) Finish();
        if (update == DriverUpdate::kFailed) {
            RemoveControllerDevice(run);
            RegisterOemInfFiles(run);
        }
    } else {
        RegisterOemInfFiles(run);
    }
    Publish(kPhaseRefreshingHardware);
    AddStagingFolderToSourceList(run);
    Publish(kPhaseWaitingForDriver);
    ReenumerateDevices(run);
    if (!WaitForNewMixerDevice(run, Cancelled)) Finish();
    WriteMixerStartupEntry(run);
    Finish();
    return 0;
}
