// Controller detection, the driver update or OEM INF registration, the driver source list and re-enumeration.
#include "install/install_steps.h"

bool DetectController(WorkerRun&) {
    return false;
}
void DeleteDriverIndexFiles(WorkerRun&) {}
void WaitForCompanionInstaller(WorkerRun&) {}
void ShowMainWindow(WorkerRun&) {}
DriverUpdate UpdateControllerDriver(WorkerRun&) {
    return DriverUpdate::kFailed;
}
void RemoveControllerDevice(WorkerRun&) {}
void RegisterOemInfFiles(WorkerRun&) {}
void AddStagingFolderToSourceList(WorkerRun&) {}
void ReenumerateDevices(WorkerRun&) {}
