#include "scan/legacy_cleanup.h"
#include "app/paths.h"

#include <string.h>

#include "win32api.h"

namespace {

// Only the first seven characters of a value are compared, so the value buffer need not hold more than a
// line of an INF's Strings section usually does; a longer value is cut by the profile reader, which does not
// change its first seven characters.
const DWORD kValueSize = 64;
const size_t kWordLength = 7;

const char* const kRecognitionKeys[] = {"SSC-Legacy.DeviceDesc", "WDM_QVPCI.Wave.szPname",
                                        "QVUDA.Wave.szPname"};
// All seven characters long: a value matches when it begins with one of them.
const char* const kRecognitionWords[] = {"QVI6610", "QVI6620", "QVAUDIO", "Korvane"};

// Paths are composed in MAX_PATH buffers. A folder and name that do not fit together are refused, never cut:
// Windows could not open such a path anyway, and a cut one could name, and delete, another file.
bool ComposePath(char* path, const char* folder, const char* name) {
    if (strlen(folder) + strlen(name) >= MAX_PATH) return false;
    wsprintfA(path, "%s%s", folder, name);
    return true;
}

bool IsLegacyInf(const char* path) {
    for (const char* key : kRecognitionKeys) {
        char value[kValueSize];
        GetPrivateProfileStringA("Strings", key, "", value, kValueSize, path);
        value[kWordLength] = '\0';
        for (const char* word : kRecognitionWords)
            if (lstrcmpA(value, word) == 0) return true;
    }
    return false;
}

void DeleteWithTwin(char* path) {
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path);
    // The precompiled twin: the same path with PNF as its last three letters.
    size_t length = strlen(path);
    if (length < 3) return;
    memcpy(path + length - 3, "PNF", 3);
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path);
}

void RemoveIfLegacy(const char* folder, const char* name) {
    char path[MAX_PATH];
    if (!ComposePath(path, folder, name)) return;
    if (IsLegacyInf(path)) DeleteWithTwin(path);
}

// One pass: every file the mask finds in folder (which ends in a backslash), in the search's order. False
// when the search finds no file at all (or cannot search there).
bool RunPass(const char* folder, const char* mask) {
    char pattern[MAX_PATH];
    if (!ComposePath(pattern, folder, mask)) return false;
    crt::_finddata_t found;
    intptr_t search = crt::_findfirst(pattern, &found);
    if (search == -1) return false;
    do {
        RemoveIfLegacy(folder, found.name);
    } while (crt::_findnext(search, &found) == 0);
    crt::_findclose(search);
    return true;
}

}  // namespace

void RemoveLegacyDrivers() {
    char inf_folder[MAX_PATH];
    char other_folder[MAX_PATH];
    if (!WindowsPath(inf_folder, "INF\\") || !WindowsPath(other_folder, "INF\\OTHER\\")) return;
    // The OEM files of the INF folder stand in for INF\OTHER only when that holds no INF file at all; the
    // third pass meets them again either way.
    if (!RunPass(other_folder, "*.INF")) RunPass(inf_folder, "OEM*.INF");
    RunPass(inf_folder, "QV*.INF");
    RunPass(inf_folder, "oem*.INF");
}
