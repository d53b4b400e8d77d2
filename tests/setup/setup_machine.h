// A simulated computer for Setup's tests: a Windows version, the device services it has, a CD-ROM drive D:
// holding the medium, and helpers to start Setup and look at its main window.
#pragma once

#include <functional>
#include <optional>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/devices.h"
#include "sim/filesystem.h"
#include "sim/machine.h"
#include "sim/registry.h"
#include "sim/windows.h"
#include "win32api.h"

namespace setup_test {

// The maker's own controller and a chipset controller the driver supports.
inline const char kOwnController[] = "PCI\\VEN_5E1A&DEV_0111&SUBSYS_01115E1A&REV_01";
inline const char kOtherController[] = "PCI\\VEN_8086&DEV_2445&SUBSYS_00000000&REV_02";

inline std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

inline std::string Trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t\r");
    size_t end = text.find_last_not_of(" \t\r");
    return begin == std::string::npos ? "" : text.substr(begin, end - begin + 1);
}

// The value of key in section of a profile or INF file's text, as the file has it (section and key in any
// case), or nullopt.
inline std::optional<std::string> ProfileValue(const std::string& text, const std::string& section,
                                               const std::string& key) {
    bool in_section = false;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos) end = text.size();
        std::string line = Trim(text.substr(begin, end - begin));
        begin = end + 1;
        if (!line.empty() && line[0] == '[') {
            in_section = Lower(line) == "[" + Lower(section) + "]";
            continue;
        }
        size_t equals = line.find('=');
        if (in_section && equals != std::string::npos && Lower(Trim(line.substr(0, equals))) == Lower(key))
            return Trim(line.substr(equals + 1));
    }
    return std::nullopt;
}

struct SetupMachine {
    sim::Machine machine;

    // By default the new driver's mixer device appears as soon as the device tree is enumerated again, so an
    // installation on a machine without a supported controller runs to its end.
    static sim::DeviceOptions DriverLoadsAtOnce() {
        sim::DeviceOptions devices;
        devices.mixer_after_reenumerate_ms = 0;
        return devices;
    }

    explicit SetupMachine(const std::string& version = "win98se",
                          sim::DeviceOptions devices = DriverLoadsAtOnce())
        : machine(version) {
        sim::InstallDeviceServices(machine, std::move(devices));
        machine.files().AddDrive('D', DRIVE_CDROM, "KORVANE");
        ui().WhenShown([this](sim::Window& window) {
            if (IsRestartPrompt(window)) AnswerRestartPrompt(window.handle);
        });
    }

    // How the user answers the restart prompt, a second after it appears. By default "restart later" and OK,
    // so that Setup ends after an installation.
    enum class RestartAnswer { kLater, kNow, kEscape, kNone };
    RestartAnswer restart_answer = RestartAnswer::kLater;
    int restart_prompts = 0;  // how often it appeared

    // The restart prompt: a dialog with the two radio buttons 1000 and 1001 (the main window has no 1000).
    static bool IsRestartPrompt(const sim::Window& window) {
        bool now = false, later = false;
        for (const sim::Window* child : window.children) {
            now |= child->id == 1000;
            later |= child->id == 1001 && child->class_name == "Button";
        }
        return window.class_name == "#32770" && now && later;
    }

    void AnswerRestartPrompt(HWND prompt) {
        ++restart_prompts;
        RestartAnswer answer = restart_answer;
        machine.scheduler().At(machine.now_ms() + 1000, [this, prompt, answer] {
            if (!ui().Find(prompt)) return;
            switch (answer) {
                case RestartAnswer::kLater:
                    sim::UserClickControl(machine, prompt, 1001);
                    sim::UserClickControl(machine, prompt, IDOK);
                    break;
                case RestartAnswer::kNow:
                    sim::UserClickControl(machine, prompt, IDOK);
                    break;
                case RestartAnswer::kEscape:
                    sim::UserPressKey(machine, prompt, VK_ESCAPE);
                    break;
                case RestartAnswer::kNone:
                    break;
            }
        });
    }

    static sim::MachineDevice Controller(const std::string& hardware_id) {
        sim::MachineDevice device;
        device.instance_id = hardware_id + "\\3&13C0B0C5&0&28";
        device.hardware_ids = {hardware_id, hardware_id.substr(0, hardware_id.find("&SUBSYS"))};
        return device;
    }

    // Starts Setup as Windows Explorer would: the program path in quotes, then the arguments.
    sim::Process& Start(const std::string& arguments = "", const std::string& program = "D:\\SETUP.EXE",
                        const std::string& current_dir = "C:\\WINDOWS") {
        sim::Program setup;
        setup.exe_path = program;
        setup.image = sim::ImagePath("Setup");
        std::string command_line = "\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments);
        return machine.Start(setup, command_line, current_dir);
    }

    // A sample medium of tests/media ("chip", "codec") in the CD drive D:, read-only as a pressed CD is.
    void InsertMedium(const std::string& medium) {
        std::string here = __FILE__;
        std::string media = here.substr(0, here.rfind('/')) + "/../media/";
        machine.files().InsertMedium('D', media + medium, "KORVANE");
    }

    sim::UserInterface& ui() { return sim::UI(machine); }

    // Starts Setup from the CD, clicks Install a second later and runs the machine until until_ms; the run
    // must neither deadlock nor crash.
    void RunInstallation(uint64_t until_ms = 30000) {
        sim::Process& setup = Start();
        ClickAt(1000, 1002);
        sim::RunResult result = machine.Run(until_ms);
        EXPECT_FALSE(result.deadlocked()) << result.deadlock;
        EXPECT_EQ(setup.crash, "");
    }

    // Another program's window on the desktop from open_ms to close_ms (never closed when close_ms is 0).
    void OpenWindow(const std::string& class_name, const std::string& title, uint64_t open_ms,
                    uint64_t close_ms = 0) {
        sim::Program actor;
        actor.exe_path = "C:\\OTHER\\" + class_name + ".EXE";
        actor.native = [class_name, title, open_ms, close_ms]() -> DWORD {
            Sleep(static_cast<DWORD>(open_ms));
            WNDCLASSA window_class = {};
            window_class.lpfnWndProc = DefWindowProcA;
            window_class.lpszClassName = class_name.c_str();
            RegisterClassA(&window_class);
            HWND window =
                CreateWindowExA(0, class_name.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10,
                                10, 300, 200, nullptr, nullptr, nullptr, nullptr);
            if (close_ms) SetTimer(window, 1, static_cast<UINT>(close_ms - open_ms), nullptr);
            MSG msg;
            while (GetMessageA(&msg, nullptr, 0, 0)) {
                if (msg.message == WM_TIMER) break;
                DispatchMessageA(&msg);
            }
            DestroyWindow(window);
            return 0;
        };
        machine.Start(actor, actor.exe_path);
    }

    // A companion program's window from open_ms on, which closes when asked to with WM_CLOSE; its program
    // then ends. Class "#32770" makes it a system dialog (class atom 0x8002) with its own dialog procedure.
    void OpenClosableWindow(const std::string& class_name, const std::string& title, uint64_t open_ms) {
        StartCompanion([class_name, title, open_ms]() -> DWORD {
            Sleep(static_cast<DWORD>(open_ms));
            if (!CreateCompanionWindow(class_name, title)) return 1;
            MSG msg;
            while (GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
            return 0;
        });
    }

    // A program whose window opens at open_ms and whose thread, after retrieving its messages once, stays
    // busy without retrieving any until busy_until_ms; then the program ends. Windows counts it hung from 5 s
    // after its last retrieval.
    void OpenHungWindow(const std::string& class_name, const std::string& title, uint64_t open_ms,
                        uint64_t busy_until_ms) {
        StartCompanion([class_name, title, open_ms, busy_until_ms]() -> DWORD {
            Sleep(static_cast<DWORD>(open_ms));
            HWND window = CreateCompanionWindow(class_name, title);
            if (!window) return 1;
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            SleepEx(static_cast<DWORD>(busy_until_ms - open_ms), FALSE);
            DestroyWindow(window);
            return 0;
        });
    }

    static LRESULT CALLBACK ClosableWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_CLOSE) {
            DestroyWindow(window);
            return 0;
        }
        if (message == WM_DESTROY) PostQuitMessage(0);
        return DefWindowProcA(window, message, wparam, lparam);
    }
    static INT_PTR CALLBACK ClosableDialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
        if (message == WM_CLOSE) {
            DestroyWindow(dialog);
            return TRUE;
        }
        if (message == WM_DESTROY) PostQuitMessage(0);
        return FALSE;
    }
    static HWND CreateCompanionWindow(const std::string& class_name, const std::string& title) {
        bool dialog = class_name == "#32770";
        if (!dialog) {
            WNDCLASSA window_class = {};
            window_class.lpfnWndProc = ClosableWindowProc;
            window_class.lpszClassName = class_name.c_str();
            RegisterClassA(&window_class);
        }
        HWND window = CreateWindowExA(0, class_name.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                      10, 10, 300, 200, nullptr, nullptr, nullptr, nullptr);
        if (window && dialog)
            SetWindowLongPtrA(window, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(ClosableDialogProc));
        return window;
    }
    void StartCompanion(std::function<DWORD()> body) {
        sim::Program actor;
        actor.exe_path = "C:\\OTHER\\COMPANION" + std::to_string(++companions_) + ".EXE";
        actor.native = std::move(body);
        machine.Start(actor, actor.exe_path);
    }
    int companions_ = 0;

    // The user clicks a control of the main window at a virtual time.
    void ClickAt(uint64_t time_ms, int control_id) {
        machine.scheduler().At(time_ms, [this, control_id] {
            if (sim::Window* main = MainWindow()) sim::UserClickControl(machine, main->handle, control_id);
        });
    }

    // When a transcript line of the category containing text was written, or -1.
    int64_t TimeOf(const std::string& category, const std::string& text) {
        for (const sim::TraceEvent& e : machine.trace().events())
            if (e.category == category && e.text.find(text) != std::string::npos)
                return static_cast<int64_t>(e.time_ms);
        return -1;
    }

    sim::Window* MainWindow() {
        for (sim::Window* w : ui().TopLevel())
            if (w->text == "Setup" && w->class_name == "#32770") return w;
        return nullptr;
    }

    sim::Window* Control(int id) {
        sim::Window* main = MainWindow();
        if (!main) return nullptr;
        for (sim::Window* child : main->children)
            if (child->id == id) return child;
        return nullptr;
    }

    std::vector<std::string> ProgressLines() {
        sim::Window* list = Control(1001);
        return list ? list->items : std::vector<std::string>{};
    }

    // Runs the machine until the virtual time, then returns (the programs go on at the next Run).
    sim::RunResult RunFor(uint64_t ms) { return machine.Run(machine.now_ms() + ms); }
};

}  // namespace setup_test
