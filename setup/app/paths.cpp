#include "app/paths.h"

#include <string.h>

bool WindowsPath(char* out, const char* rest) {
    out[0] = '\0';
    char folder[MAX_PATH];
    UINT length = GetWindowsDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    if (folder[length - 1] != '\\') {
        if (length + 1 >= MAX_PATH) return false;
        folder[length++] = '\\';
        folder[length] = '\0';
    }
    if (length + strlen(rest) >= MAX_PATH) return false;
    strcpy(out, folder);
    strcat(out, rest);
    return true;
}

bool FilePresent(const char* path) {
    crt::FILE* file = crt::fopen(path, "rb");
    if (!file) return false;
    crt::fclose(file);
    return true;
}
