// The INF copies' source disks, pointed at the staging folder.
#include "install/install_steps.h"

void PatchInfCopies(WorkerRun& run) {
    run.InfCopyList.clear();
}
