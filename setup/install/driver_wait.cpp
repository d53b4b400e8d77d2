// The wait for the new driver's mixer device and the start-up entries.
#include "install/install_steps.h"

void WriteSpeakerStartupEntry(WorkerRun&) {}
void CountBaselineMixers(WorkerRun&) {}
bool WaitForNewMixerDevice(WorkerRun&, bool (*)()) {
    return true;
}
void WriteMixerStartupEntry(WorkerRun&) {}
