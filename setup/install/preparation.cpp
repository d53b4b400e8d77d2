// Preparation of the system before the driver files are staged.
#include "install/install_steps.h"

void PrepareSystem(WorkerRun&) {}
