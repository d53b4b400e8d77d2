// The INF copies' source disks, pointed at the staging folder.
//
// On the 98 family the copies in the INF folders still name the medium as their source disk; once patched,
// the system finds the driver files in the staging folder without asking for the CD.
#include <string.h>

#include "install/install_steps.h"

namespace {

const int kReadSize = 1024;

// The staging folder's 8.3 form without a trailing backslash, as INF source-disk paths are written.
bool ShortStagingFolder(char* out) {
    DWORD length = GetShortPathNameA("C:\\Program Files\\Korvane\\WIN_ME", out, MAX_PATH);
    return length > 0 && length < MAX_PATH;
}

bool ReadSourceDisk(const char* key, char* value, const char* inf) {
    memset(value, 0, kReadSize);
    GetPrivateProfileStringA("SourceDisksNames", key, "", value, kReadSize, inf);
    return value[0] != '\0';
}

// Rewrites the source disk key as description,,,folder and maps the catalog to that disk. Without the short
// form of the staging folder (its creation failed, so the files are not there either) the copy keeps naming
// the medium, where the files still are.
void PointDiskAtStaging(const char* inf, const char* key, const char* description, const char* catalog) {
    char folder[MAX_PATH];
    if (!ShortStagingFolder(folder)) return;
    char entry[kReadSize];
    size_t description_length = strlen(description);
    memcpy(entry, description, description_length);
    memcpy(entry + description_length, folder, strlen(folder) + 1);
    WritePrivateProfileStringA("SourceDisksNames", key, entry, inf);
    WritePrivateProfileStringA("SourceDisksFiles", catalog, key, inf);
}

void PatchInfCopy(const char* inf) {
    char value[kReadSize];
    if (ReadSourceDisk("200", value, inf)) {
        // The chip package's disk: its catalog line names qvaudio.cat whichever package was staged.
        PointDiskAtStaging(inf, "200", "\"Korvane WDM Audio Driver Disk\",,,", "qvaudio.cat");
        return;
    }
    if (ReadSourceDisk("222", value, inf))
        PointDiskAtStaging(inf, "222", "%DiskDescription%,,,", ChipPackage ? "qvaudio.cat" : "qvuda.cat");
}

}  // namespace

void PatchInfCopies(WorkerRun& run) {
    for (const std::string& inf : run.InfCopyList) PatchInfCopy(inf.c_str());
    run.InfCopyList.clear();
    run.InfCopyList.shrink_to_fit();
}
