// The choice of the driver folder on the medium and the staging of the driver files.
#include "install/install_steps.h"

void StageDriverFiles(WorkerRun&) {}
