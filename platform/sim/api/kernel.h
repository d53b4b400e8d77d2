// Kernel functions: threads, events and waits, time, handles, the last error, versions, modules, the
// debugger.
#pragma once

#include "sim/api/types.h"

extern "C" {

// Threads, events and waits.
typedef DWORD(WINAPI* LPTHREAD_START_ROUTINE)(LPVOID parameter);
typedef struct _SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_FAILED 0xFFFFFFFFu
#define CREATE_SUSPENDED 0x00000004u
#define STILL_ACTIVE 259u

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stack_size, LPTHREAD_START_ROUTINE start,
                           LPVOID parameter, DWORD flags, LPDWORD thread_id);
void WINAPI ExitThread(DWORD exit_code);
BOOL WINAPI GetExitCodeThread(HANDLE thread, LPDWORD exit_code);
DWORD WINAPI ResumeThread(HANDLE thread);
DWORD WINAPI GetCurrentThreadId(void);
HANDLE WINAPI GetCurrentThread(void);
DWORD WINAPI GetCurrentProcessId(void);
HANDLE WINAPI GetCurrentProcess(void);
HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES attributes, BOOL manual_reset, BOOL initial_state,
                           LPCSTR name);
BOOL WINAPI SetEvent(HANDLE event);
BOOL WINAPI ResetEvent(HANDLE event);
DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD timeout_ms);
BOOL WINAPI CloseHandle(HANDLE handle);
DWORD WINAPI SleepEx(DWORD pause_ms, BOOL alertable);
void WINAPI Sleep(DWORD pause_ms);
DWORD WINAPI GetTickCount(void);
void WINAPI ExitProcess(UINT exit_code);
BOOL WINAPI GetExitCodeProcess(HANDLE process, LPDWORD exit_code);
LPSTR WINAPI GetCommandLineA(void);
UINT WINAPI WinExec(LPCSTR command_line, UINT show);

// The last error of the calling thread.
DWORD WINAPI GetLastError(void);
void WINAPI SetLastError(DWORD error);

// Versions.
typedef struct _OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
} OSVERSIONINFOA, *POSVERSIONINFOA, *LPOSVERSIONINFOA;
typedef OSVERSIONINFOA OSVERSIONINFO;
typedef LPOSVERSIONINFOA LPOSVERSIONINFO;
static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA is 148 bytes");

#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info);
DWORD WINAPI GetVersion(void);

// Modules.
HMODULE WINAPI LoadLibraryA(LPCSTR file_name);
BOOL WINAPI FreeLibrary(HMODULE module);
FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR proc_name);
HMODULE WINAPI GetModuleHandleA(LPCSTR module_name);
DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR file_name, DWORD size);

// The debugger.
void WINAPI OutputDebugStringA(LPCSTR text);

// Memory.
#define LMEM_FIXED 0x0000
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
typedef HANDLE HLOCAL;
HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T size_bytes);
HLOCAL WINAPI LocalFree(HLOCAL memory);

// Strings.
int WINAPI lstrlenA(LPCSTR text);
LPSTR WINAPI lstrcpyA(LPSTR destination, LPCSTR source);
LPSTR WINAPI lstrcpynA(LPSTR destination, LPCSTR source, int size);
LPSTR WINAPI lstrcatA(LPSTR destination, LPCSTR source);
int WINAPI lstrcmpA(LPCSTR a, LPCSTR b);
int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b);
LPSTR WINAPI CharUpperA(LPSTR text);

}  // extern "C"
