// Process security: access tokens and privileges, as far as enabling a privilege needs them.
#pragma once

#include "sim/api/kernel.h"

extern "C" {

typedef struct _LUID {
    DWORD LowPart;
    LONG HighPart;
} LUID, *PLUID;

typedef struct _LUID_AND_ATTRIBUTES {
    LUID Luid;
    DWORD Attributes;
} LUID_AND_ATTRIBUTES;

typedef struct _TOKEN_PRIVILEGES {
    DWORD PrivilegeCount;
    LUID_AND_ATTRIBUTES Privileges[1];
} TOKEN_PRIVILEGES, *PTOKEN_PRIVILEGES;

#define TOKEN_ADJUST_PRIVILEGES 0x0020
#define TOKEN_QUERY 0x0008
#define SE_PRIVILEGE_ENABLED 0x00000002L
#define SE_SHUTDOWN_NAME "SeShutdownPrivilege"

BOOL WINAPI OpenProcessToken(HANDLE process, DWORD desired_access, PHANDLE token);
BOOL WINAPI LookupPrivilegeValueA(LPCSTR system_name, LPCSTR name, PLUID luid);
BOOL WINAPI AdjustTokenPrivileges(HANDLE token, BOOL disable_all, PTOKEN_PRIVILEGES new_state,
                                  DWORD buffer_length, PTOKEN_PRIVILEGES previous_state,
                                  PDWORD return_length);

}  // extern "C"
