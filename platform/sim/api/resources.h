// Resource functions: strings, bitmaps, cursors and icons of a program's image and the system's own cursors
// and icons, and the raw resource functions. The instance handle is the one the image runs with (0x00400000,
// or NULL for the program's own image where Windows allows it).
#pragma once

#include "sim/api/types.h"

extern "C" {

// An integer resource id passed where a name is expected; names whose high word is zero are ids.
#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)

// Resource types.
#define RT_CURSOR MAKEINTRESOURCEA(1)
#define RT_BITMAP MAKEINTRESOURCEA(2)
#define RT_ICON MAKEINTRESOURCEA(3)
#define RT_MENU MAKEINTRESOURCEA(4)
#define RT_DIALOG MAKEINTRESOURCEA(5)
#define RT_STRING MAKEINTRESOURCEA(6)
#define RT_FONTDIR MAKEINTRESOURCEA(7)
#define RT_FONT MAKEINTRESOURCEA(8)
#define RT_ACCELERATOR MAKEINTRESOURCEA(9)
#define RT_RCDATA MAKEINTRESOURCEA(10)
#define RT_MESSAGETABLE MAKEINTRESOURCEA(11)
#define RT_GROUP_CURSOR MAKEINTRESOURCEA(12)
#define RT_GROUP_ICON MAKEINTRESOURCEA(14)
#define RT_VERSION MAKEINTRESOURCEA(16)

// The system's cursors (LoadCursorA with a NULL instance). IDC_HAND exists from Windows 98 and 2000 on.
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDC_IBEAM MAKEINTRESOURCEA(32513)
#define IDC_WAIT MAKEINTRESOURCEA(32514)
#define IDC_CROSS MAKEINTRESOURCEA(32515)
#define IDC_UPARROW MAKEINTRESOURCEA(32516)
#define IDC_SIZE MAKEINTRESOURCEA(32640)
#define IDC_ICON MAKEINTRESOURCEA(32641)
#define IDC_SIZENWSE MAKEINTRESOURCEA(32642)
#define IDC_SIZENESW MAKEINTRESOURCEA(32643)
#define IDC_SIZEWE MAKEINTRESOURCEA(32644)
#define IDC_SIZENS MAKEINTRESOURCEA(32645)
#define IDC_SIZEALL MAKEINTRESOURCEA(32646)
#define IDC_NO MAKEINTRESOURCEA(32648)
#define IDC_HAND MAKEINTRESOURCEA(32649)
#define IDC_APPSTARTING MAKEINTRESOURCEA(32650)
#define IDC_HELP MAKEINTRESOURCEA(32651)

// The system's icons (LoadIconA with a NULL instance).
#define IDI_APPLICATION MAKEINTRESOURCEA(32512)
#define IDI_HAND MAKEINTRESOURCEA(32513)
#define IDI_QUESTION MAKEINTRESOURCEA(32514)
#define IDI_EXCLAMATION MAKEINTRESOURCEA(32515)
#define IDI_ASTERISK MAKEINTRESOURCEA(32516)
#define IDI_WINLOGO MAKEINTRESOURCEA(32517)
#define IDI_WARNING IDI_EXCLAMATION
#define IDI_ERROR IDI_HAND
#define IDI_INFORMATION IDI_ASTERISK

// Errors of the resource functions.
#ifndef ERROR_RESOURCE_DATA_NOT_FOUND
#define ERROR_RESOURCE_DATA_NOT_FOUND 1812L
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813L
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L
#define ERROR_RESOURCE_LANG_NOT_FOUND 1815L
#endif

// Copies string id, in the system's ANSI code page, into the buffer of size bytes with its NUL, cut at a
// whole character when it does not fit; returns the bytes copied without the NUL, 0 when there is no such
// string.
int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size);
// A new bitmap object of the image's bitmap resource.
HBITMAP WINAPI LoadBitmapA(HINSTANCE instance, LPCSTR name);
// The cursor or icon of the image (the same handle each time), or with a NULL instance the system's.
HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name);
HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name);

// Raw resources: a name or type is an id (MAKEINTRESOURCEA), "#123" for id 123, or a text compared without
// regard to case. The language is the one the user interface runs in, with Windows' fallbacks.
HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource);
LPVOID WINAPI LockResource(HGLOBAL data);
DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource);

}  // extern "C"
