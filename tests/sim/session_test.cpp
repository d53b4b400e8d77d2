// The end of a session and the next boot: the shutdown privilege on the two families, the restart request,
// and the log-on that runs the Run keys' commands the way the shell starts them.
#include <gtest/gtest.h>

#include "sim/filesystem.h"
#include "sim/machine.h"
#include "sim/programs.h"
#include "sim/registry.h"
#include "sim/windows.h"
#include "win32api.h"

namespace {

const char kRun[] = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Enables the shutdown privilege as an installer does; returns what each call gave.
struct PrivilegeSteps {
    BOOL opened = FALSE, looked_up = FALSE, adjusted = FALSE;
    DWORD open_error = 0, adjust_error = 0;
};

PrivilegeSteps EnableShutdownPrivilege() {
    PrivilegeSteps steps;
    HANDLE token = NULL;
    steps.opened = OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token);
    steps.open_error = GetLastError();
    if (!steps.opened) return steps;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    steps.looked_up = LookupPrivilegeValueA(NULL, "SeShutdownPrivilege", &privileges.Privileges[0].Luid);
    if (steps.looked_up) {
        steps.adjusted = AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL);
        steps.adjust_error = GetLastError();
    }
    CloseHandle(token);
    return steps;
}

TEST(Session, NineXHasNoTokensAndRestartsForAnyCaller) {
    sim::Machine machine("win98se");
    PrivilegeSteps steps;
    BOOL restarted = FALSE;
    machine.RunCode([&] {
        steps = EnableShutdownPrivilege();
        restarted = ExitWindowsEx(EWX_REBOOT, 0);
    });
    EXPECT_FALSE(steps.opened);
    EXPECT_EQ(steps.open_error, static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
    EXPECT_TRUE(restarted);
    EXPECT_TRUE(machine.restart_pending());
    ASSERT_EQ(machine.restart_requests().size(), 1u);
    EXPECT_EQ(machine.restart_requests()[0].flags, static_cast<UINT>(EWX_REBOOT));
}

TEST(Session, NtFamilyRestartsOnlyWithTheShutdownPrivilegeEnabled) {
    struct Case {
        const char* name;
        bool held, enable;
        DWORD adjust_error;
        bool restarts;
    };
    const Case cases[] = {
        {"not enabled", true, false, 0, false},
        {"enabled", true, true, ERROR_SUCCESS, true},
        {"not held: the adjustment still succeeds", false, true, ERROR_NOT_ALL_ASSIGNED, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Machine machine("winxp");
        machine.shutdown_privilege_held = c.held;
        PrivilegeSteps steps;
        BOOL restarted = FALSE;
        DWORD error = 0;
        machine.RunCode([&] {
            if (c.enable) steps = EnableShutdownPrivilege();
            restarted = ExitWindowsEx(EWX_REBOOT, 0);
            error = GetLastError();
        });
        if (c.enable) {
            EXPECT_TRUE(steps.adjusted);
            EXPECT_EQ(steps.adjust_error, c.adjust_error);
        }
        EXPECT_EQ(restarted != FALSE, c.restarts);
        EXPECT_EQ(machine.restart_pending(), c.restarts);
        if (!c.restarts) {
            EXPECT_EQ(error, static_cast<DWORD>(ERROR_PRIVILEGE_NOT_HELD));
        }
    }
}

// A program of the log-on that remembers its command line.
sim::Program Recorder(std::vector<std::string>& started) {
    sim::Program program;
    program.native = [&started] {
        started.push_back(GetCommandLineA());
        return DWORD{0};
    };
    return program;
}

TEST(Session, RestartEndsEveryProgramAndStartsTheRunCommands) {
    sim::Machine machine("win98se");
    sim::InstallDriverCdPrograms(machine);
    std::vector<std::string> started;
    machine.InstallProgram("Tool.exe", Recorder(started));
    machine.InstallProgram("Program.exe", Recorder(started));  // would take an unquoted path with a blank
    sim::FileSystem& files = machine.files();
    files.WriteFile("C:\\Program Files\\Korvane\\Tool.exe", "MZ");
    files.WriteFile("C:\\Tools\\Tool.exe", "MZ");
    files.WriteFile("C:\\WINDOWS\\NewMixer.exe", "MZ");
    sim::Registry& registry = machine.registry();
    registry.SetValue(kRun, "quoted", sim::RegValue::String("\"C:\\Program Files\\Korvane\\Tool.exe\" /A"));
    registry.SetValue(kRun, "unquoted", sim::RegValue::String("C:\\Program Files\\Korvane\\Tool /B"));
    registry.SetValue(kRun, "mixer", sim::RegValue::String("C:\\WINDOWS\\NewMixer.exe"));
    registry.SetValue(kRun, "gone", sim::RegValue::String("C:\\Gone\\Tool.exe"));
    const std::string run_once = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
    registry.SetValue(run_once, "once", sim::RegValue::String("C:\\Tools\\Tool.exe /ONCE"));

    // A program that runs until the restart ends it.
    sim::Program waiter;
    waiter.native = [] {
        Sleep(INFINITE);
        return DWORD{0};
    };
    sim::Process& before = machine.Start(waiter, "WAIT.EXE");
    machine.Run(1000);
    machine.Restart();
    machine.Run(2000);

    EXPECT_TRUE(before.ended());
    EXPECT_EQ(machine.boots(), 2);
    EXPECT_EQ(started, (std::vector<std::string>{"C:\\Tools\\Tool.exe /ONCE",
                                                 "\"C:\\Program Files\\Korvane\\Tool.exe\" /A",
                                                 "C:\\Program Files\\Korvane\\Tool /B"}));
    EXPECT_FALSE(registry.GetValue(run_once, "once")) << "a RunOnce command is deleted before it runs";
    EXPECT_TRUE(registry.GetValue(kRun, "gone")) << "a Run value whose program is missing stays";
    bool mixer_window = false;
    for (sim::Window* window : sim::UI(machine).TopLevel()) mixer_window |= window->text == "Mixer";
    EXPECT_TRUE(mixer_window) << "the mixer of the Run key opened its window";
}

}  // namespace
