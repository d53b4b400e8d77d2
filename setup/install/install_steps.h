// The steps of the install worker, in the order the worker runs them, and the state of one run.
#pragma once

#include <string>
#include <vector>

#include "install/install_worker.h"

// What one run of the worker keeps for itself; nothing else sees it.
struct WorkerRun {
    WindowsFlags windows;
    // Staging.
    bool UseSystemSourcePath = false;
    char SystemSourcePath[MAX_PATH] = "";
    char DriverSourceFolder[MAX_PATH] = "";
    bool MixerStaged = false;
    char MixerCommand[MAX_PATH] = "";  // the staged mixer in the Windows folder, then " /startup"
    std::vector<std::string> InfCopyList;  // INF copies to patch on the 98 family
    // Detection and registration.
    char HardwareId[256] = "";
    bool RebootRequired = false;
    bool ControllerFound = false;
    // The driver wait.
    UINT BaselineMixerCount = 0;
    // The program path (quoted when it holds a blank) and " /SPEAKER"; at most 259 + 1 + 2 + 18 characters.
    char SpeakerCommand[300] = "";
};

enum class DriverUpdate {
    kSucceededGoesOn,   // installed, chip package, no restart: the source list and re-enumeration follow
    kSucceededEndsRun,  // installed with a restart required, or the codec package: the run ends here
    kFailed,            // every update failed: the device entry goes and the INF files are registered
};

// Preparation: companion programs closed, the tray's volume icon hidden, old INF files removed.
void PrepareSystem(WorkerRun& run);
// Staging: the driver folder for this Windows copied to the staging folder and the system's folders.
void StageDriverFiles(WorkerRun& run);
// The INF copies on the 98 family point to the staging folder.
void PatchInfCopies(WorkerRun& run);

// Detection and registration.
bool DetectController(WorkerRun& run);
void DeleteDriverIndexFiles(WorkerRun& run);
void WaitForCompanionInstaller(WorkerRun& run);
void ShowMainWindow(WorkerRun& run);
DriverUpdate UpdateControllerDriver(WorkerRun& run);
void RemoveControllerDevice(WorkerRun& run);
void RegisterOemInfFiles(WorkerRun& run);
void AddStagingFolderToSourceList(WorkerRun& run);
void ReenumerateDevices(WorkerRun& run);

// The driver wait and the start-up entries.
void WriteSpeakerStartupEntry(WorkerRun& run);
void CountBaselineMixers(WorkerRun& run);
// Waits until a new mixer device is counted; false when the user cancelled meanwhile.
bool WaitForNewMixerDevice(WorkerRun& run, bool (*cancelled)());
void WriteMixerStartupEntry(WorkerRun& run);
