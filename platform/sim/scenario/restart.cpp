// The machine's restarts, as the story loop sees them.
#include "sim/machine.h"

namespace sim::scenario {

bool RestartPending(Machine& machine) {
    return machine.restart_pending();
}
void Restart(Machine& machine) {
    machine.Restart();
}
int Boots(Machine& machine) {
    return machine.boots();
}
int RestartRequests(Machine& machine) {
    return static_cast<int>(machine.restart_requests().size());
}

}  // namespace sim::scenario
