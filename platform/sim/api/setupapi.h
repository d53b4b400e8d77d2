// Device installation: SetupAPI (setupapi.dll), the new-device installer (newdev.dll) and the configuration
// manager (cfgmgr32.dll).
//
// Not every Windows version has these libraries (Windows 95 has none of them, newdev.dll comes with Windows
// 2000), so programs reach the functions through LoadLibraryA and GetProcAddress. The simulator therefore
// defines no functions of these names: the declarations give each function's type, for a typedef of the
// prototype (decltype(&SetupDiGetClassDevsA)), and a direct call fails to link, as it does on Windows without
// the import library.
#pragma once

#include "sim/api/com.h"
#include "sim/api/kernel.h"

extern "C" {

// General system errors the device functions report.
#ifndef ERROR_INVALID_FLAGS
#define ERROR_INVALID_FLAGS 1004L
#endif
#ifndef ERROR_INVALID_USER_BUFFER
#define ERROR_INVALID_USER_BUFFER 1784L
#endif

// SetupAPI's own errors: customer-defined error codes with the error severity.
#define APPLICATION_ERROR_MASK 0x20000000
#define ERROR_SEVERITY_ERROR 0xC0000000
#define ERROR_NO_DRIVER_SELECTED (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x203)
#define ERROR_INVALID_CLASS (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x206)
#define ERROR_INVALID_REG_PROPERTY (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x209)
#define ERROR_NO_SUCH_DEVINST (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x20B)
#define ERROR_NO_COMPAT_DRIVERS (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x228)

// Device information sets.
typedef PVOID HDEVINFO;

typedef struct _SP_DEVINFO_DATA {
    DWORD cbSize;  // sizeof(SP_DEVINFO_DATA), set by the caller
    GUID ClassGuid;
    DWORD DevInst;  // the device's node in the configuration manager
    ULONG_PTR Reserved;
} SP_DEVINFO_DATA, *PSP_DEVINFO_DATA;

#define DIGCF_DEFAULT 0x00000001
#define DIGCF_PRESENT 0x00000002
#define DIGCF_ALLCLASSES 0x00000004
#define DIGCF_PROFILE 0x00000008
#define DIGCF_DEVICEINTERFACE 0x00000010

// Device registry properties.
#define SPDRP_DEVICEDESC 0x00000000
#define SPDRP_HARDWAREID 0x00000001
#define SPDRP_COMPATIBLEIDS 0x00000002
#define SPDRP_MAXIMUM_PROPERTY 0x00000024

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* class_guid, PCSTR enumerator, HWND parent, DWORD flags);
BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA device);
BOOL WINAPI SetupDiGetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property,
                                              PDWORD value_type, LPBYTE buffer, DWORD buffer_size,
                                              PDWORD required_size);
BOOL WINAPI SetupDiRemoveDevice(HDEVINFO set, PSP_DEVINFO_DATA device);
BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO set);

// OEM INF files.
#define SPOST_NONE 0
#define SPOST_PATH 1
#define SPOST_URL 2
#define SPOST_MAX 3

#define SP_COPY_DELETESOURCE 0x0000001
#define SP_COPY_REPLACEONLY 0x0000002
#define SP_COPY_NOOVERWRITE 0x0000008

BOOL WINAPI SetupCopyOEMInfA(PCSTR source_inf, PCSTR source_media_location, DWORD source_media_type,
                             DWORD copy_style, PSTR destination_inf, DWORD destination_size,
                             PDWORD required_size, PSTR* destination_file_part);

// The lists of installation sources.
#define SRCLIST_TEMPORARY 0x00000001
#define SRCLIST_NOBROWSE 0x00000002
#define SRCLIST_SYSTEM 0x00000010
#define SRCLIST_USER 0x00000020
#define SRCLIST_SYSIFADMIN 0x00000040
#define SRCLIST_SUBDIRS 0x00000100
#define SRCLIST_APPEND 0x00000200
#define SRCLIST_NOSTRIPPLATFORM 0x00000400

BOOL WINAPI SetupQuerySourceListA(DWORD flags, PCSTR** list, UINT* count);
BOOL WINAPI SetupSetSourceListA(DWORD flags, PCSTR* list, UINT count);
BOOL WINAPI SetupFreeSourceListA(PCSTR** list, UINT count);

// The new-device installer.
#define INSTALLFLAG_FORCE 0x00000001
#define INSTALLFLAG_READONLY 0x00000002
#define INSTALLFLAG_NONINTERACTIVE 0x00000004
#define INSTALLFLAG_BITS 0x00000007

BOOL WINAPI UpdateDriverForPlugAndPlayDevicesA(HWND parent, LPCSTR hardware_id, LPCSTR full_inf_path,
                                               DWORD install_flags, BOOL* reboot_required);

// The configuration manager.
typedef DWORD RETURN_TYPE;
typedef RETURN_TYPE CONFIGRET;
typedef DWORD DEVNODE, DEVINST;
typedef DEVNODE *PDEVNODE, *PDEVINST;
typedef CHAR *DEVNODEID_A, *DEVINSTID_A;

#define MAX_DEVICE_ID_LEN 200

#define CR_SUCCESS 0x00000000
#define CR_DEFAULT 0x00000001
#define CR_OUT_OF_MEMORY 0x00000002
#define CR_INVALID_POINTER 0x00000003
#define CR_INVALID_FLAG 0x00000004
#define CR_INVALID_DEVNODE 0x00000005
#define CR_INVALID_DEVINST CR_INVALID_DEVNODE
#define CR_NO_SUCH_DEVNODE 0x0000000D
#define CR_NO_SUCH_DEVINST CR_NO_SUCH_DEVNODE
#define CR_FAILURE 0x00000013
#define CR_INVALID_DEVICE_ID 0x0000001E
#define CR_ACCESS_DENIED 0x00000033

#define CM_LOCATE_DEVNODE_NORMAL 0x00000000
#define CM_LOCATE_DEVNODE_PHANTOM 0x00000001
#define CM_LOCATE_DEVNODE_CANCELREMOVE 0x00000002
#define CM_LOCATE_DEVNODE_NOVALIDATION 0x00000004
#define CM_LOCATE_DEVNODE_BITS 0x00000007

#define CM_REENUMERATE_NORMAL 0x00000000
#define CM_REENUMERATE_SYNCHRONOUS 0x00000001
#define CM_REENUMERATE_RETRY_INSTALLATION 0x00000002
#define CM_REENUMERATE_ASYNCHRONOUS 0x00000004
#define CM_REENUMERATE_BITS 0x00000007

CONFIGRET WINAPI CM_Locate_DevNodeA(PDEVINST device_node, DEVINSTID_A device_id, ULONG flags);
CONFIGRET WINAPI CM_Reenumerate_DevNode(DEVINST device_node, ULONG flags);

}  // extern "C"
