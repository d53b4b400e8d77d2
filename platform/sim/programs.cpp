#include "sim/programs.h"

#include "sim/api/user.h"

namespace sim {

namespace {

LRESULT CALLBACK MixerWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(window, message, wparam, lparam);
}

// The mixer opens its window and runs until the window is closed (WM_CLOSE destroys it).
DWORD RunMixer() {
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = MixerWindowProc;
    window_class.lpszClassName = kMixerWindowClass;
    RegisterClassA(&window_class);
    HWND window = CreateWindowExA(0, kMixerWindowClass, "Mixer", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                                  400, 300, nullptr, nullptr, nullptr, nullptr);
    if (!window) return 1;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}

}  // namespace

void InstallDriverCdPrograms(Machine& machine) {
    Program setup;
    setup.exe_path = "Setup.exe";
    setup.image = ImagePath("Setup");
    machine.InstallProgram("Setup.exe", setup);
    Program mixer;
    mixer.exe_path = "NewMixer.exe";
    mixer.native = RunMixer;
    machine.InstallProgram("NewMixer.exe", mixer);
}

}  // namespace sim
