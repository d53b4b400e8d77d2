// The machine a scenario describes, and the other programs whose windows it shows.
#include "sim/errors.h"
#include "sim/filesystem.h"
#include "sim/programs.h"
#include "sim/registry.h"
#include "sim/scenario/run.h"
#include "sim/windows.h"
#include "win32api.h"

namespace sim::scenario {

namespace {

LRESULT CALLBACK ClosableProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_CLOSE) {
        DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(window, message, wparam, lparam);
}

// A program that asks to be closed but does not go.
LRESULT CALLBACK StubbornProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_CLOSE) return 0;
    return DefWindowProcA(window, message, wparam, lparam);
}

INT_PTR CALLBACK ClosableDialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_CLOSE) {
        DestroyWindow(dialog);
        return TRUE;
    }
    if (message == WM_DESTROY) PostQuitMessage(0);
    return FALSE;
}

INT_PTR CALLBACK StubbornDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_CLOSE;
}

HWND OpenWindow(const WindowSpec& w) {
    bool dialog = w.class_name == "#32770";  // the system's dialog class, atom 0x8002
    if (!dialog) {
        WNDCLASSA window_class = {};
        window_class.lpfnWndProc = w.closes_when_asked ? ClosableProc : StubbornProc;
        window_class.lpszClassName = w.class_name.c_str();
        RegisterClassA(&window_class);
    }
    HWND window = CreateWindowExA(0, w.class_name.c_str(), w.title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  10, 10, 300, 200, nullptr, nullptr, nullptr, nullptr);
    if (window && dialog)
        SetWindowLongPtrA(
            window, DWLP_DLGPROC,
            reinterpret_cast<LONG_PTR>(w.closes_when_asked ? ClosableDialogProc : StubbornDialogProc));
    return window;
}

// The program behind another program's window: it opens the window at its time, may stop retrieving messages
// for a while (hung), closes it at its time or when asked, and then ends.
DWORD WindowProgram(const WindowSpec& w) {
    Sleep(static_cast<DWORD>(w.open_ms));
    HWND window = OpenWindow(w);
    if (!window) return 1;
    if (w.hung_until_ms) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        SleepEx(static_cast<DWORD>(*w.hung_until_ms - w.open_ms), FALSE);
    }
    uint64_t shown_until = w.hung_until_ms.value_or(w.open_ms);
    if (w.close_ms)
        SetTimer(window, 1, static_cast<UINT>(*w.close_ms > shown_until ? *w.close_ms - shown_until : 1),
                 nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        if (msg.message == WM_TIMER && msg.hwnd == window) break;
        DispatchMessageA(&msg);
    }
    if (IsWindow(window)) DestroyWindow(window);
    return 0;
}

void ImportDrive(Machine& machine, const DriveSpec& d) {
    FileSystem& files = machine.files();
    if (d.type == DRIVE_CDROM) {
        files.AddCdRomDrive(d.letter, d.host_folder, d.label);
        return;
    }
    Drive& drive = files.AddDrive(d.letter, d.type, d.label);
    if (!d.host_folder.empty()) files.ImportHostFolder(d.host_folder, std::string(1, d.letter) + ":\\");
    drive.write_protected = d.write_protected;
}

}  // namespace

void StartWindowPrograms(Machine& machine, const Scenario& s, int boot) {
    int n = 0;
    for (const WindowSpec& w : s.windows) {
        ++n;
        if (w.boot != boot) continue;
        Program program;
        program.exe_path = "C:\\OTHER\\WINDOW" + std::to_string(n) + ".EXE";
        program.native = [w] { return WindowProgram(w); };
        machine.Start(program, program.exe_path);
    }
}

std::unique_ptr<Machine> BuildMachine(const Scenario& s) {
    auto machine = std::make_unique<Machine>(s.version);
    machine->ui_language = s.language;
    machine->code_page = s.code_page;
    UI(*machine).desktop_width = s.desktop_width;
    UI(*machine).desktop_height = s.desktop_height;
    InstallDeviceServices(*machine, s.devices);
    if (s.component) InstallAudioComponent(*machine, *s.component);
    // The CD's Setup and the mixer, in whatever folder they are copied to, for the log-on after a restart.
    InstallDriverCdPrograms(*machine);
    for (const DriveSpec& d : s.drives) ImportDrive(*machine, d);
    for (const FileSpec& file : s.files) {
        try {
            machine->files().WriteFile(file.path, file.data);
        } catch (const InputError& e) {
            throw InputErrorAt(s.file, file.line, "field \"machine.files\": " + std::string(e.what()));
        }
    }
    for (const std::string& reg : s.reg_files) machine->registry().ImportRegFile(reg, false);
    for (int answer : s.message_box_answers) UI(*machine).message_box_answers.push_back(answer);
    if (!machine->files().Exists(s.program))
        throw InputErrorAt(
            s.file, s.program_line,
            "field \"start.program\": " + s.program + " is not on the machine (is the medium there?)");
    return machine;
}

}  // namespace sim::scenario
