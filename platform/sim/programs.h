// The programs of the driver CD that a simulated machine can run once they lie on its disk: Setup (its
// compiled image, in whatever folder the file is) and the maker's mixer program, which the simulator stands
// in for with a window titled "Mixer".
#pragma once

#include "sim/machine.h"

namespace sim {

// Makes "Setup.exe" and "NewMixer.exe", in any folder, programs the machine runs (WinExec, the Run keys at
// log-on). The file must still exist on the simulated disk for a log-on to start it.
void InstallDriverCdPrograms(Machine& machine);

// The class of the stand-in mixer's window.
inline constexpr char kMixerWindowClass[] = "KorvaneMixerWindow";

}  // namespace sim
