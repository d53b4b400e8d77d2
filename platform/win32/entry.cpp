// The entry of the real Windows programs.
#include "framework/app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int show) {
    return AppMain(instance, command_line, show);
}
