// Kernel functions of the simulated machine: threads, events, waits, time, handles, the last error, versions,
// modules, the debugger, memory and strings.
#include <cstdio>
#include <cstring>
#include <memory>

#include "sim/api/crt.h"
#include "sim/api/kernel.h"
#include "sim/machine.h"

using namespace sim;

namespace {

// Ticks since the machine started: the simulated machine has been up for a minute when a test begins.
constexpr DWORD kBootTicks = 60000;

HANDLE const kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
HANDLE const kCurrentThread = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2));

std::string Hex(uintptr_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

struct EventObject : KernelObject {
    bool manual_reset = false;
    bool signaled = false;
    std::string Describe() const override { return manual_reset ? "manual-reset event" : "auto-reset event"; }
};

struct ThreadObject : KernelObject {
    Thread* thread;
    explicit ThreadObject(Thread* t) : thread(t) {}
    std::string Describe() const override { return "thread " + Hex(thread->id); }
};

struct ProcessObject : KernelObject {
    Process* process;
    explicit ProcessObject(Process* p) : process(p) {}
    std::string Describe() const override { return "process " + process->name(); }
};

DWORD Fail(DWORD error) {
    CurrentThread().last_error = error;
    return error;
}

std::string TimeoutText(DWORD timeout_ms) {
    return timeout_ms == INFINITE ? "INFINITE" : std::to_string(timeout_ms) + " ms";
}

struct ThreadStart {
    LPTHREAD_START_ROUTINE routine;
    LPVOID parameter;
};

std::shared_ptr<KernelObject> Resolve(HANDLE handle) {
    if (handle == kCurrentThread) return std::make_shared<ThreadObject>(&CurrentThread());
    if (handle == kCurrentProcess) return std::make_shared<ProcessObject>(&CurrentProcess());
    return CurrentProcess().handles.Find(handle);
}

}  // namespace

extern "C" {

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                           DWORD flags, LPDWORD thread_id) {
    Process& process = CurrentProcess();
    Machine& machine = *process.machine;
    if (flags & CREATE_SUSPENDED) {
        Fail(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    std::string name = "thread " + std::to_string(process.threads.size() + 1);
    Thread& thread = machine.scheduler().Spawn(process, name, [start, parameter] {
        DWORD code = start(parameter);
        CurrentThread().exit_code = code;
    });
    machine.Log("thread", "create " + Hex(thread.id) + " in " + process.name());
    if (thread_id) *thread_id = thread.id;
    return process.handles.Add(std::make_shared<ThreadObject>(&thread));
}

void WINAPI ExitThread(DWORD exit_code) {
    throw ThreadExit{exit_code};
}

BOOL WINAPI GetExitCodeThread(HANDLE handle, LPDWORD exit_code) {
    auto thread = std::dynamic_pointer_cast<ThreadObject>(Resolve(handle));
    if (!thread || !exit_code) return Fail(ERROR_INVALID_HANDLE), FALSE;
    *exit_code = thread->thread->state == Thread::State::Finished ? thread->thread->exit_code.value_or(0)
                                                                  : STILL_ACTIVE;
    return TRUE;
}

DWORD WINAPI ResumeThread(HANDLE) {
    return 0;
}
DWORD WINAPI GetCurrentThreadId(void) {
    return CurrentThread().id;
}
HANDLE WINAPI GetCurrentThread(void) {
    return kCurrentThread;
}
DWORD WINAPI GetCurrentProcessId(void) {
    return CurrentProcess().id;
}
HANDLE WINAPI GetCurrentProcess(void) {
    return kCurrentProcess;
}

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manual_reset, BOOL initial_state, LPCSTR) {
    auto event = std::make_shared<EventObject>();
    event->manual_reset = manual_reset != FALSE;
    event->signaled = initial_state != FALSE;
    CurrentThread().last_error = 0;
    return CurrentProcess().handles.Add(event);
}

BOOL WINAPI SetEvent(HANDLE handle) {
    auto event = CurrentProcess().handles.Get<EventObject>(handle);
    if (!event) return Fail(ERROR_INVALID_HANDLE), FALSE;
    event->signaled = true;
    return TRUE;
}

BOOL WINAPI ResetEvent(HANDLE handle) {
    auto event = CurrentProcess().handles.Get<EventObject>(handle);
    if (!event) return Fail(ERROR_INVALID_HANDLE), FALSE;
    event->signaled = false;
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD timeout_ms) {
    std::shared_ptr<KernelObject> object = Resolve(handle);
    std::function<bool()> try_acquire;
    if (auto event = std::dynamic_pointer_cast<EventObject>(object)) {
        try_acquire = [event] {
            if (!event->signaled) return false;
            if (!event->manual_reset) event->signaled = false;
            return true;
        };
    } else if (auto thread = std::dynamic_pointer_cast<ThreadObject>(object)) {
        Thread* t = thread->thread;
        try_acquire = [t] { return t->state == Thread::State::Finished; };
    } else if (auto process = std::dynamic_pointer_cast<ProcessObject>(object)) {
        Process* p = process->process;
        try_acquire = [p] { return p->ended(); };
    } else {
        Fail(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    Machine& machine = CurrentMachine();
    std::optional<uint64_t> deadline;
    if (timeout_ms != INFINITE) deadline = machine.now_ms() + timeout_ms;
    std::string what = "WaitForSingleObject(" + object->Describe() + ", " + TimeoutText(timeout_ms) + ")";
    return machine.scheduler().Block(what, try_acquire, deadline) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

BOOL WINAPI CloseHandle(HANDLE handle) {
    if (handle == kCurrentProcess || handle == kCurrentThread) return TRUE;
    if (!CurrentProcess().handles.Close(handle)) return Fail(ERROR_INVALID_HANDLE), FALSE;
    return TRUE;
}

DWORD WINAPI SleepEx(DWORD pause_ms, BOOL) {
    Machine& machine = CurrentMachine();
    if (pause_ms == 0) {
        machine.scheduler().Yield();
        return 0;
    }
    std::optional<uint64_t> deadline;
    if (pause_ms != INFINITE) deadline = machine.now_ms() + pause_ms;
    machine.scheduler().Block("SleepEx(" + TimeoutText(pause_ms) + ")", nullptr, deadline);
    return 0;
}

void WINAPI Sleep(DWORD pause_ms) {
    SleepEx(pause_ms, FALSE);
}

DWORD WINAPI GetTickCount(void) {
    return static_cast<DWORD>(CurrentMachine().now_ms() + kBootTicks);
}

void WINAPI ExitProcess(UINT exit_code) {
    throw ProcessExit{exit_code};
}

BOOL WINAPI GetExitCodeProcess(HANDLE handle, LPDWORD exit_code) {
    auto process = std::dynamic_pointer_cast<ProcessObject>(Resolve(handle));
    if (!process || !exit_code) return Fail(ERROR_INVALID_HANDLE), FALSE;
    *exit_code = process->process->exit_code.value_or(STILL_ACTIVE);
    return TRUE;
}

LPSTR WINAPI GetCommandLineA(void) {
    return CurrentProcess().command_line.data();
}

DWORD WINAPI GetLastError(void) {
    return CurrentThread().last_error;
}
void WINAPI SetLastError(DWORD error) {
    CurrentThread().last_error = error;
}

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) {
    // The systems the machine can run all take the 148-byte record; the NT family since 2000 also the larger
    // one.
    const VersionInfo& version = CurrentMachine().version();
    bool ex_size = version.nt_family() && version.major >= 5 && info && info->dwOSVersionInfoSize == 156;
    if (!info || (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) && !ex_size))
        return Fail(ERROR_INSUFFICIENT_BUFFER), FALSE;
    info->dwMajorVersion = version.major;
    info->dwMinorVersion = version.minor;
    info->dwBuildNumber = version.build;
    info->dwPlatformId = version.platform_id;
    CopyCut(info->szCSDVersion, sizeof info->szCSDVersion, version.csd);
    return TRUE;
}

DWORD WINAPI GetVersion(void) {
    // Low word: major and minor; high word: the build on the NT family, the high bit set on the 9x family.
    const VersionInfo& version = CurrentMachine().version();
    DWORD high = version.nt_family() ? (version.build & 0x7FFF) : 0x8000;
    return (high << 16) | (version.minor << 8) | version.major;
}

void WINAPI OutputDebugStringA(LPCSTR text) {
    Machine& machine = CurrentMachine();
    std::string line = text ? text : "";
    machine.debug_output.push_back(line);
    machine.Log("debug", line);
}

HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T size_bytes) {
    void* memory = (flags & LMEM_ZEROINIT) ? std::calloc(1, size_bytes ? size_bytes : 1)
                                           : std::malloc(size_bytes ? size_bytes : 1);
    if (!memory) Fail(ERROR_NOT_ENOUGH_MEMORY);
    return memory;
}

HLOCAL WINAPI LocalFree(HLOCAL memory) {
    std::free(memory);
    return nullptr;
}

int WINAPI lstrlenA(LPCSTR text) {
    return text ? static_cast<int>(std::strlen(text)) : 0;
}
LPSTR WINAPI lstrcpyA(LPSTR destination, LPCSTR source) {
    return std::strcpy(destination, source);
}
LPSTR WINAPI lstrcpynA(LPSTR destination, LPCSTR source, int size) {
    if (size <= 0) return destination;
    CopyCut(destination, static_cast<size_t>(size), source ? source : "");
    return destination;
}
LPSTR WINAPI lstrcatA(LPSTR destination, LPCSTR source) {
    return std::strcat(destination, source);
}
int WINAPI lstrcmpA(LPCSTR a, LPCSTR b) {
    int order = std::strcmp(a ? a : "", b ? b : "");
    return order < 0 ? -1 : order > 0;
}
int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b) {
    std::string x = Upper(a ? a : ""), y = Upper(b ? b : "");
    int order = x.compare(y);
    return order < 0 ? -1 : order > 0;
}
LPSTR WINAPI CharUpperA(LPSTR text) {
    // A pointer whose high word is zero carries one character in its low word.
    if ((reinterpret_cast<uintptr_t>(text) >> 16) == 0)
        return reinterpret_cast<LPSTR>(static_cast<uintptr_t>(
            static_cast<unsigned char>(FoldCase(static_cast<char>(reinterpret_cast<uintptr_t>(text))))));
    for (char* c = text; *c; ++c) *c = FoldCase(*c);
    return text;
}

}  // extern "C"

namespace crt {
void exit(int status) {
    throw ProcessExit{static_cast<DWORD>(status)};
}
}  // namespace crt
