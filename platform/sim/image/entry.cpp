// The entry of a system program's image on the simulator: the machine calls it on the process's main thread
// with what the CRT would hand WinMain.
#include "framework/app.h"

extern "C" __attribute__((visibility("default"))) int SimImageMain(HINSTANCE instance, LPSTR command_line,
                                                                   int show) {
    return AppMain(instance, command_line, show);
}
