// A whole simulated computer: its Windows version, registry, drives, modules and COM classes, the processes
// running on it and their threads, in virtual time. A test makes one Machine per case.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/api/com.h"
#include "sim/api/kernel.h"
#include "sim/handles.h"
#include "sim/scheduler.h"
#include "sim/text.h"
#include "sim/trace.h"
#include "sim/versions.h"

namespace sim {

class Registry;
class FileSystem;
class ResourceSet;

// A program a process can run: either a compiled image of a system program (a shared object whose entry is
// SimImageMain, loaded afresh for each process, so each run starts with fresh process-wide state) or a
// program of the simulator itself.
struct Program {
    std::string exe_path;           // the program's Windows path: "D:\SETUP.EXE"
    std::string image;              // host path of the compiled image, or empty
    std::function<DWORD()> native;  // or the body of a simulator program
};

// The host path of the compiled image of a system program ("QviSystemInfo"), found beside the simulator's
// library or in the folder named by SIM_IMAGE_DIR.
std::string ImagePath(const std::string& program_name);

class Process {
  public:
    DWORD id = 0;
    Machine* machine = nullptr;
    Program program;
    std::string command_line;  // GetCommandLineA
    std::string current_dir;   // "C:\", always ending in a backslash
    HandleTable handles;
    std::vector<Thread*> threads;
    std::optional<DWORD> exit_code;                      // set when the process has ended
    std::string crash;                                   // what ended it, when it did not end by itself
    std::map<std::string, int, LessNoCase> module_refs;  // loaded modules by name
    void* image_handle = nullptr;
    std::shared_ptr<const ResourceSet> resources;  // of the image, read when it is loaded; null when none
    bool reaped = false;  // ended, its threads gone, its handles closed and its image unloaded

    bool ended() const { return exit_code.has_value(); }
    std::string name() const;  // the file name of the program
};

// A module a test installs for LoadLibraryA: its exported functions by name.
struct Module {
    std::string name;  // "DDRAW.DLL"
    std::map<std::string, FARPROC> exports;
};

// A COM class of the machine: creates an object for the interface asked for.
using ComFactory = std::function<HRESULT(REFIID iid, void** object)>;

class Machine {
  public:
    explicit Machine(const VersionInfo& version);
    explicit Machine(std::string_view version_name = "winxp");
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    const VersionInfo& version() const { return version_; }
    void set_version(const VersionInfo& version) { version_ = version; }

    // The user-interface language resources are chosen by (0x409 English, 0x404 Traditional Chinese, 0x411
    // Japanese, 0x412 Korean) and the ANSI code page texts are handed out in (1252, 950, 932, 949).
    LANGID ui_language = 0x409;
    UINT code_page = 1252;

    Scheduler& scheduler() { return scheduler_; }
    Registry& registry() { return *registry_; }
    FileSystem& files() { return *files_; }
    Trace& trace() { return trace_; }
    uint64_t now_ms() const { return scheduler_.now_ms(); }
    // Adds a line to the transcript, stamped with the time and the calling thread.
    void Log(std::string category, std::string text);

    // Processes. Start queues the process's main thread; Run runs the machine.
    Process& Start(Program program, std::string command_line, std::string current_dir = "C:\\");
    RunResult Run(std::optional<uint64_t> until_ms = std::nullopt);
    // Runs body as the main thread of a fresh process, then the machine until it is idle. For tests of the
    // platform itself.
    RunResult RunCode(std::function<void()> body, std::string current_dir = "C:\\");
    const std::vector<std::unique_ptr<Process>>& processes() const { return processes_; }
    void EndProcess(Process& process, DWORD exit_code);  // from a thread of the process or the driver
    // Called when a process has ended and its threads are gone, before its handles close (the windows of the
    // process go then, as Windows takes them away without a message to the ended program).
    void WhenProcessEnds(std::function<void(Process&)> observer) { process_end_observers_.push_back(observer); }

    // Programs WinExec can start, by file name ("SysTray.exe") or full Windows path. The machine knows the
    // tray program of Windows; tests and scenarios add others.
    void InstallProgram(const std::string& name_or_path, Program program);
    const Program* FindProgram(const std::string& name_or_path) const;

    // Ending the session. ExitWindowsEx records a request (it only starts a shutdown on Windows); a test or
    // the scenario runner carries a restart out with Restart: every process ends (their windows go without
    // a message), the machine boots and logs on, and the commands of the Run and RunOnce keys start as
    // Windows starts them (HKLM RunOnce, deleted before it runs, then HKLM Run, then HKCU Run).
    struct SessionEnd {
        uint64_t time_ms;
        UINT flags;           // EWX_REBOOT, EWX_SHUTDOWN, ...
        std::string program;  // the program that asked
    };
    const std::vector<SessionEnd>& restart_requests() const { return restart_requests_; }
    bool restart_pending() const { return restart_pending_; }
    void RequestSessionEnd(UINT flags);  // ExitWindowsEx's effect, once it has passed its checks
    void Restart();
    int boots() const { return boots_; }  // 1 until the first restart
    // Parts of the platform that change at a boot (a driver installed before it loads at the next start).
    void WhenRestarts(std::function<void()> observer) { restart_observers_.push_back(observer); }
    // On the NT family the user's account holds the shutdown privilege unless a test says otherwise.
    bool shutdown_privilege_held = true;

    // Modules and COM classes.
    void InstallModule(Module module);
    const Module* FindModule(std::string_view name) const;
    void RegisterComClass(const CLSID& clsid, ComFactory factory);
    void UnregisterComClass(const CLSID& clsid);
    const ComFactory* FindComClass(const CLSID& clsid) const;
    // Objects the machine made for programs; kept alive until the machine goes.
    void Keep(std::shared_ptr<void> object) { kept_.push_back(std::move(object)); }

    // What programs sent to the debugger (OutputDebugStringA).
    std::vector<std::string> debug_output;

    // State that a part of the platform keeps per machine (devices, multimedia, DirectX, ...), made on first
    // use.
    template <class T>
    T& slot(const std::string& key) {
        auto& object = slots_[key];
        if (!object) object = std::make_shared<T>();
        return *static_cast<T*>(object.get());
    }

    // The machine of the calling simulated thread.
    static Machine& Current();

  private:
    friend class Scheduler;
    void ReapEndedProcesses();

    VersionInfo version_;
    Trace trace_;
    Scheduler scheduler_;
    std::unique_ptr<Registry> registry_;
    std::unique_ptr<FileSystem> files_;
    std::vector<std::unique_ptr<Process>> processes_;
    std::map<std::string, Module, LessNoCase> modules_;
    std::map<std::string, Program, LessNoCase> programs_;
    std::vector<std::pair<CLSID, ComFactory>> com_classes_;
    std::vector<std::shared_ptr<void>> kept_;
    std::map<std::string, std::shared_ptr<void>> slots_;
    std::vector<std::function<void(Process&)>> process_end_observers_;
    std::vector<SessionEnd> restart_requests_;
    bool restart_pending_ = false;
    int boots_ = 1;
    std::vector<std::function<void()>> restart_observers_;
};

// The calling simulated thread and its process; a platform call outside a simulated thread is a test's
// mistake and ends the test binary with a message.
Thread& CurrentThread();
Process& CurrentProcess();
inline Machine& CurrentMachine() {
    return Machine::Current();
}

}  // namespace sim
