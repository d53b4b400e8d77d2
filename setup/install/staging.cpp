// The choice of the driver folder on the medium and the staging of the driver files.
//
// Every path is built in a 260-character buffer by appending a name to a folder text that ends with a
// backslash. A path that would not fit is not built: the probe it belongs to fails, or the copy it names is
// not made (a copy into the system's source folder counts as failed, as Windows' own copy onto a path too
// long would). The file keeps its other copies, so nothing already staged is lost to a long name.
#include <string.h>

#include "app/setup_app.h"
#include "app/paths.h"
#include "install/install_steps.h"

namespace {

const char kDosFolder[] = "C:\\Program Files\\Korvane\\DOS\\";
const char kDosAppFolder[] = "C:\\Program Files\\Korvane\\DOS\\DOSAPP\\";
const char kStagingFolder[] = "C:\\Program Files\\Korvane\\WIN_ME\\";

// folder + name into out; false, with out emptied, when the result would not fit.
bool JoinPath(char* out, const char* folder, const char* name) {
    size_t folder_length = strlen(folder);
    size_t name_length = strlen(name);
    out[0] = '\0';
    if (folder_length + name_length >= MAX_PATH) return false;
    memcpy(out, folder, folder_length);
    memcpy(out + folder_length, name, name_length + 1);
    return true;
}

// Appends a backslash unless the text ends with one; false when there is no room for it.
bool EndWithBackslash(char* folder) {
    size_t length = strlen(folder);
    if (length > 0 && folder[length - 1] == '\\') return true;
    if (length + 1 >= MAX_PATH) return false;
    folder[length] = '\\';
    folder[length + 1] = '\0';
    return true;
}

// A folder exists when it can be made the current folder.
bool FolderExists(const char* folder) {
    return SetCurrentDirectoryA(folder) != FALSE;
}

// Destination attributes reset first, so that an earlier read-only copy is overwritten.
BOOL PlainCopy(const char* source, const char* destination) {
    SetFileAttributesA(destination, FILE_ATTRIBUTE_NORMAL);
    return CopyFileA(source, destination, FALSE);
}

// A plain copy whose result is writable even when the source is a read-only file of a CD.
void CleanCopy(const char* source, const char* destination) {
    PlainCopy(source, destination);
    SetFileAttributesA(destination, FILE_ATTRIBUTE_NORMAL);
}

// name from source_folder into destination_folder, keeping the name; false when a path does not fit.
bool CopyPaths(char* source, char* destination, const char* source_folder, const char* destination_folder,
               const char* name) {
    return JoinPath(source, source_folder, name) && JoinPath(destination, destination_folder, name);
}

// Clean copies of every file (subfolders skipped) of pattern's folder into destination_folder.
void CleanCopyFiles(const char* source_folder, const char* pattern, const char* destination_folder) {
    char search[MAX_PATH];
    if (!JoinPath(search, source_folder, pattern)) return;
    // The files lie where the pattern points: in source_folder or in a subfolder the pattern names.
    char files_folder[MAX_PATH];
    memcpy(files_folder, search, MAX_PATH);
    strrchr(files_folder, '\\')[1] = '\0';  // source_folder ends with one, so there is a backslash
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(search, &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        char source[MAX_PATH];
        char destination[MAX_PATH];
        if (CopyPaths(source, destination, files_folder, destination_folder, found.cFileName))
            CleanCopy(source, destination);
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

// The system's installation-source folder, when the registry names one that exists.
void ProbeSystemSourcePath(WorkerRun& run) {
    run.UseSystemSourcePath = false;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Setup", 0,
                      KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    char path[MAX_PATH + 1];
    memset(path, 0, sizeof path);
    DWORD type = REG_SZ;
    DWORD size = MAX_PATH;
    // One byte past the buffer stays zero, so a value stored without its terminator still ends.
    LONG read = RegQueryValueExA(key, "SourcePath", NULL, &type, reinterpret_cast<BYTE*>(path), &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS || strlen(path) >= MAX_PATH) return;
    // A folder text that has no room left for its backslash is refused rather than cut.
    if (!FolderExists(path) || !EndWithBackslash(path)) return;
    memcpy(run.SystemSourcePath, path, MAX_PATH);
    run.UseSystemSourcePath = true;
}

void CreateProgramFilesTree() {
    CreateDirectoryA("C:\\Program Files", NULL);
    CreateDirectoryA("C:\\Program Files\\Korvane", NULL);
    CreateDirectoryA("C:\\Program Files\\Korvane\\DOS", NULL);
    CreateDirectoryA("C:\\Program Files\\Korvane\\DOS\\DOSAPP", NULL);
}

void CopyDosPrograms() {
    char dos[MAX_PATH];
    if (!JoinPath(dos, SourceRoot, "Dosdrv\\")) return;
    CleanCopyFiles(dos, "*.*", kDosFolder);
    CleanCopyFiles(dos, "DOSAPP\\*.*", kDosAppFolder);
}

// The folder of the version's own driver on the medium, or null when no classification flag is set.
const char* VersionCandidate(const WindowsFlags& windows) {
    if (windows.IsWin98SE) return "Win_98SE";
    if (windows.IsWinMe) return "Win_ME";
    if (windows.IsWinXp) return "Win_XP";
    if (windows.IsNt5) return "Win_2K";
    return NULL;
}

// Probes folder in SourceRoot; when it exists, DriverSourceFolder becomes folder\driver_subfolder.
bool TakeDriverFolder(WorkerRun& run, const char* folder, const char* driver_subfolder) {
    char probe[MAX_PATH];
    char chosen[MAX_PATH];
    if (!JoinPath(probe, SourceRoot, folder) || !FolderExists(probe)) return false;
    if (!JoinPath(chosen, probe, driver_subfolder)) return false;
    memcpy(run.DriverSourceFolder, chosen, MAX_PATH);
    return true;
}

void ChooseDriverSourceFolder(WorkerRun& run) {
    const char* candidate = VersionCandidate(run.windows);
    if (candidate && TakeDriverFolder(run, candidate, "\\drv\\")) return;
    struct Generic {
        const char* probe;
        const char* driver_subfolder;
    };
    static const Generic generic[] = {
        {"W2K-ME", "\\drv\\"}, {"WIN_ME", "\\drv\\"}, {"XP-2K-ME", "\\drv\\"},
        {"WDM", "\\"},         {"Driver\\WDM", "\\"},
    };
    for (const Generic& g : generic)
        if (TakeDriverFolder(run, g.probe, g.driver_subfolder)) return;
    memcpy(run.DriverSourceFolder, SourceRoot, MAX_PATH);
}

bool Contains(const char* text, const char* part) {
    return strstr(text, part) != NULL;
}

// Rule for the system's source folder: files whose name holds "SETUP" in any case stay out of it. A copy
// that fails ends its use for the rest of the run and sends the file to INF\OTHER instead.
void CopyToSystemSourcePath(WorkerRun& run, const char* source, const char* name) {
    char upper[MAX_PATH];
    lstrcpynA(upper, name, MAX_PATH);
    CharUpperA(upper);
    if (Contains(upper, "SETUP")) return;
    // A destination too long to name fails as Windows' own copy would.
    char destination[MAX_PATH];
    if (JoinPath(destination, run.SystemSourcePath, name) && PlainCopy(source, destination)) return;
    run.UseSystemSourcePath = false;
    char other[MAX_PATH];
    char fallback[MAX_PATH];
    if (WindowsPath(other, "INF\\OTHER\\") && JoinPath(fallback, other, name)) PlainCopy(source, fallback);
}

// On the 98 family the INF folders get their own copies, which the patching step points at the staging
// folder afterwards.
void CopyToInfFolders(WorkerRun& run, const char* source, const char* name) {
    static const char* const folders[] = {"INF\\", "INF\\OTHER\\"};
    for (const char* folder : folders) {
        char inf_folder[MAX_PATH];
        char destination[MAX_PATH];
        if (!WindowsPath(inf_folder, folder) || !JoinPath(destination, inf_folder, name)) continue;
        CleanCopy(source, destination);
        run.InfCopyList.push_back(destination);
    }
}

void StageOneFile(WorkerRun& run, const char* name) {
    char source[MAX_PATH];
    char staged[MAX_PATH];
    if (!JoinPath(source, run.DriverSourceFolder, name)) return;
    if (JoinPath(staged, kStagingFolder, name)) PlainCopy(source, staged);
    if (run.UseSystemSourcePath) CopyToSystemSourcePath(run, source, name);
    // Exactly these spellings: a name like Foo.Inf is staged but not put into the INF folders.
    if ((Contains(name, ".inf") || Contains(name, ".INF")) && run.windows.IsWin98Family)
        CopyToInfFolders(run, source, name);
    char windows_copy[MAX_PATH];
    if ((Contains(name, ".ini") || Contains(name, ".INI")) && WindowsPath(windows_copy, name))
        CleanCopy(source, windows_copy);
}

void StageDriverFolder(WorkerRun& run) {
    char search[MAX_PATH];
    if (!JoinPath(search, run.DriverSourceFolder, "*.*")) return;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(search, &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) StageOneFile(run, found.cFileName);
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

// The catalog the driver folder carries tells which of the two packages the medium holds.
void CopyCatalog(WorkerRun& run) {
    char source[MAX_PATH];
    char destination[MAX_PATH];
    char catalog_folder[MAX_PATH];
    if (!WindowsPath(catalog_folder, "INF\\CATALOG\\")) return;
    if (JoinPath(source, run.DriverSourceFolder, "qvaudio.cat") && FilePresent(source)) {
        ChipPackage = true;
        if (JoinPath(destination, catalog_folder, "qvaudio.cat")) PlainCopy(source, destination);
        return;
    }
    if (CopyPaths(source, destination, run.DriverSourceFolder, catalog_folder, "qvuda.cat"))
        PlainCopy(source, destination);
}

// The medium carries the mixer program as Mixer.dat; it runs from the Windows folder as NewMixer.exe.
void StageMixer(WorkerRun& run) {
    run.MixerStaged = false;
    char source[MAX_PATH];
    char destination[MAX_PATH];
    if (!JoinPath(source, run.DriverSourceFolder, "Mixer.dat") || !FilePresent(source)) return;
    if (!WindowsPath(destination, "NewMixer.exe")) return;
    PlainCopy(source, destination);
    if (!JoinPath(run.MixerCommand, destination, " /startup")) return;
    run.MixerStaged = true;
}

}  // namespace

void StageDriverFiles(WorkerRun& run) {
    ProbeSystemSourcePath(run);
    CreateProgramFilesTree();
    CopyDosPrograms();
    CreateDirectoryA("C:\\Program Files\\Korvane\\WIN_ME", NULL);
    ChooseDriverSourceFolder(run);
    StageDriverFolder(run);
    CopyCatalog(run);
    StageMixer(run);
}
