// Paths under the Windows folder, shared by every step that writes there, and the presence test of a file.
#pragma once

#include "win32api.h"

// The Windows folder (GetWindowsDirectoryA), a backslash when it does not end in one, then rest, into out (a
// MAX_PATH buffer). A path that would not fit is refused (false), never cut: a cut path could name another
// file.
bool WindowsPath(char* out, const char* rest);

// A file is present when it opens for reading; it is closed at once.
bool FilePresent(const char* path);
