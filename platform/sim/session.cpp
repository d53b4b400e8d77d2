// The end of a session and the next boot: ExitWindowsEx, the restart the machine then carries out, and the
// log-on that starts the commands of the Run keys. Also the access tokens a program enables its shutdown
// privilege with.
#include <string>
#include <vector>

#include "sim/api/security.h"
#include "sim/api/user.h"
#include "sim/filesystem.h"
#include "sim/machine.h"
#include "sim/registry.h"

namespace sim {

namespace {

const char kRunKey[] = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunOnceKey[] = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char kUserRunKey[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const DWORD kShutdownPrivilege = 19;  // the locally unique id of SeShutdownPrivilege on the NT family

// A process's access token: the privileges its account holds, and which of them are enabled.
struct TokenObject : KernelObject {
    DWORD process_id = 0;
    std::string Describe() const override { return "token of process " + std::to_string(process_id); }
};

// The enabled privileges of each process, by process id; a fresh process has none enabled.
struct TokenState {
    std::map<DWORD, bool> shutdown_enabled;
};

TokenState& Tokens(Machine& machine) {
    return machine.slot<TokenState>("tokens");
}

bool NtFamily(const Machine& machine) {
    return machine.version().nt_family();
}

std::string FlagsText(UINT flags) {
    std::string text;
    auto add = [&](UINT flag, const char* name) {
        if (flags & flag) text += std::string(text.empty() ? "" : "|") + name;
    };
    add(EWX_SHUTDOWN, "EWX_SHUTDOWN");
    add(EWX_REBOOT, "EWX_REBOOT");
    add(EWX_FORCE, "EWX_FORCE");
    add(EWX_POWEROFF, "EWX_POWEROFF");
    return text.empty() ? "EWX_LOGOFF" : text;
}

// The program file a command line names, as CreateProcess finds it: a quoted path is taken whole; an
// unquoted one is tried at each blank in turn ("C:\Program.exe" before "C:\Program Files\...\Setup.exe"),
// with ".exe" added to a name without an extension. The arguments follow the program.
struct Command {
    std::string program;
    std::string arguments;
};

std::vector<Command> Candidates(const std::string& command_line) {
    std::vector<Command> candidates;
    auto add = [&](std::string program, std::string rest) {
        size_t slash = program.find_last_of('\\');
        if (program.find('.', slash == std::string::npos ? 0 : slash) == std::string::npos) program += ".exe";
        size_t start = rest.find_first_not_of(" \t");
        candidates.push_back({program, start == std::string::npos ? "" : rest.substr(start)});
    };
    if (!command_line.empty() && command_line[0] == '"') {
        size_t end = command_line.find('"', 1);
        if (end == std::string::npos) end = command_line.size();
        add(command_line.substr(1, end - 1), end < command_line.size() ? command_line.substr(end + 1) : "");
        return candidates;
    }
    for (size_t blank = command_line.find(' '); blank != std::string::npos;
         blank = command_line.find(' ', blank + 1))
        add(command_line.substr(0, blank), command_line.substr(blank));
    add(command_line, "");
    return candidates;
}

// Starts one command of a Run key the way the shell does at log-on; an unknown or missing program is
// reported in the transcript and passed over.
void StartAtLogOn(Machine& machine, const std::string& key, const std::string& name,
                  const std::string& command) {
    for (const Command& candidate : Candidates(command)) {
        if (!machine.files().Exists(candidate.program)) continue;
        const Program* known = machine.FindProgram(candidate.program);
        if (!known) {
            machine.Log("session",
                        key + " \"" + name + "\": " + candidate.program + " is no program this machine runs");
            return;
        }
        Program program = *known;
        program.exe_path = candidate.program;
        machine.Log("session", key + " \"" + name + "\" starts " + command);
        machine.Start(program, command, machine.files().WindowsDir() + "\\");
        return;
    }
    machine.Log("session", key + " \"" + name + "\": cannot find the program of " + command);
}

void RunKey(Machine& machine, const std::string& key, const char* short_name, bool delete_first) {
    Registry& registry = machine.registry();
    if (!registry.KeyExists(key)) return;
    for (const std::string& name : registry.ValueNames(key)) {
        std::optional<RegValue> value = registry.GetValue(key, name);
        std::optional<std::string> command = value ? value->text() : std::nullopt;
        if (delete_first) registry.DeleteValue(key, name);
        if (command) StartAtLogOn(machine, short_name, name, *command);
    }
}

}  // namespace

void Machine::RequestSessionEnd(UINT flags) {
    restart_requests_.push_back({now_ms(), flags, CurrentProcess().name()});
    if (flags & EWX_REBOOT) restart_pending_ = true;
    Log("session", CurrentProcess().name() + " asks Windows to end the session: " + FlagsText(flags));
}

void Machine::Restart() {
    Log("session", "restart: every program ends");
    for (auto& process : processes_)
        if (!process->ended()) EndProcess(*process, 0);
    Run();
    restart_pending_ = false;
    ++boots_;
    for (auto& observer : restart_observers_) observer();
    Log("session", "boot " + std::to_string(boots_) + ": Windows starts and the user logs on");
    RunKey(*this, kRunOnceKey, "RunOnce", true);
    RunKey(*this, kRunKey, "Run", false);
    RunKey(*this, kUserRunKey, "Run (current user)", false);
}

}  // namespace sim

using namespace sim;

extern "C" {

BOOL WINAPI ExitWindowsEx(UINT flags, DWORD) {
    Machine& machine = CurrentMachine();
    // The NT family ends the session for a caller whose token has the shutdown privilege enabled; the 9x
    // family has no security.
    bool shutting_down = flags & (EWX_SHUTDOWN | EWX_REBOOT | EWX_POWEROFF);
    if (NtFamily(machine) && shutting_down && !Tokens(machine).shutdown_enabled[CurrentProcess().id]) {
        machine.Log("session",
                    "ExitWindowsEx(" + FlagsText(flags) + ") refused: the shutdown privilege is not enabled");
        SetLastError(ERROR_PRIVILEGE_NOT_HELD);
        return FALSE;
    }
    machine.RequestSessionEnd(flags);
    return TRUE;
}

BOOL WINAPI OpenProcessToken(HANDLE process, DWORD, PHANDLE token) {
    Machine& machine = CurrentMachine();
    if (!NtFamily(machine)) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    if (!token || process != GetCurrentProcess()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto object = std::make_shared<TokenObject>();
    object->process_id = CurrentProcess().id;
    *token = CurrentProcess().handles.Add(object);
    return TRUE;
}

BOOL WINAPI LookupPrivilegeValueA(LPCSTR system_name, LPCSTR name, PLUID luid) {
    Machine& machine = CurrentMachine();
    if (!NtFamily(machine)) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    // Only the privilege this system uses is known here; any other name is not found, as an unknown one is.
    if ((system_name && *system_name) || !name || !luid || LessNoCase()(name, SE_SHUTDOWN_NAME) ||
        LessNoCase()(SE_SHUTDOWN_NAME, name)) {
        SetLastError(1313);  // ERROR_NO_SUCH_PRIVILEGE
        return FALSE;
    }
    luid->LowPart = kShutdownPrivilege;
    luid->HighPart = 0;
    return TRUE;
}

BOOL WINAPI AdjustTokenPrivileges(HANDLE token, BOOL disable_all, PTOKEN_PRIVILEGES new_state, DWORD,
                                  PTOKEN_PRIVILEGES, PDWORD) {
    Machine& machine = CurrentMachine();
    auto object = CurrentProcess().handles.Get<TokenObject>(token);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    bool& enabled = Tokens(machine).shutdown_enabled[object->process_id];
    if (disable_all) {
        enabled = false;
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    // A privilege the account does not hold is passed over: the call still succeeds, and says so only
    // through ERROR_NOT_ALL_ASSIGNED.
    DWORD error = ERROR_SUCCESS;
    for (DWORD i = 0; new_state && i < new_state->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES& entry = new_state->Privileges[i];
        if (entry.Luid.LowPart != kShutdownPrivilege || entry.Luid.HighPart != 0 ||
            !machine.shutdown_privilege_held) {
            error = ERROR_NOT_ALL_ASSIGNED;
            continue;
        }
        enabled = (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
    machine.Log("session", std::string("AdjustTokenPrivileges: shutdown privilege ") +
                               (enabled ? "enabled" : "not enabled"));
    SetLastError(error);
    return TRUE;
}

}  // extern "C"
