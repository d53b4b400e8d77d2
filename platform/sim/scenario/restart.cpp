// The machine's restarts, as the story loop sees them.
#include "sim/machine.h"

namespace sim::scenario {

// The simulated machine does not end sessions yet: every story has one boot.
bool RestartPending(Machine&) {
    return false;
}
void Restart(Machine&) {}
int Boots(Machine&) {
    return 1;
}
int RestartRequests(Machine&) {
    return 0;
}

}  // namespace sim::scenario
