// The file functions of api/files.h on the machine's file system, with Windows' results and last errors.
#include <cstring>

#include "sim/filesystem.h"
#include "sim/machine.h"

namespace {

using sim::Drive;
using sim::FileSystem;
using sim::FsNode;
using sim::PathLookup;

constexpr DWORD kSettableAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

FileSystem& Files() {
    return sim::CurrentMachine().files();
}
std::string& CurrentDir() {
    return sim::CurrentProcess().current_dir;
}
PathLookup Find(const char* path, bool pattern = false) {
    return Files().Lookup(path, CurrentDir(), pattern);
}

// Sets the calling thread's last error and gives the call's failure value.
template <class T = BOOL>
T Fail(DWORD error, T failure = FALSE) {
    sim::CurrentThread().last_error = error;
    return failure;
}

// A size-returning call's answer: the length copied, or the size needed (with the NUL) leaving the buffer as
// it was.
DWORD CopyOut(const std::string& text, LPSTR buffer, DWORD size) {
    if (!buffer || size < text.size() + 1) return static_cast<DWORD>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

std::string AttributeText(DWORD attributes) {
    std::string text;
    const std::pair<DWORD, const char*> names[] = {{FILE_ATTRIBUTE_READONLY, "READONLY"},
                                                   {FILE_ATTRIBUTE_HIDDEN, "HIDDEN"},
                                                   {FILE_ATTRIBUTE_SYSTEM, "SYSTEM"},
                                                   {FILE_ATTRIBUTE_ARCHIVE, "ARCHIVE"}};
    for (const auto& [bit, name] : names)
        if (attributes & bit) text += (text.empty() ? "" : "|") + std::string(name);
    return text.empty() ? "NORMAL" : text;
}

// Whether a living process has the folder as its current folder (which holds it open on the NT family).
bool IsCurrentFolder(const FsNode& folder) {
    for (const auto& process : sim::CurrentMachine().processes()) {
        if (process->ended()) continue;
        PathLookup found = Files().Lookup(process->current_dir.c_str(), process->current_dir);
        if (found.node == &folder) return true;
    }
    return false;
}

void FillFindData(const Drive& drive, const FsNode& node, const std::string& name, WIN32_FIND_DATAA& data) {
    std::memset(&data, 0, sizeof data);
    FileSystem& files = Files();
    data.dwFileAttributes = files.ReportedAttributes(drive, node);
    auto ticks = [](uint64_t t) { return FILETIME{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)}; };
    data.ftCreationTime = ticks(node.create_time);
    data.ftLastAccessTime = ticks(node.write_time);
    data.ftLastWriteTime = ticks(node.write_time);
    uint64_t size = node.directory ? 0 : node.data.size();
    data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(size);
    sim::CopyCut(data.cFileName, sizeof data.cFileName, name);
    if (name != "." && name != "..")
        sim::CopyCut(data.cAlternateFileName, sizeof data.cAlternateFileName, files.AlternateName(node));
}

// A search: what FindFirstFileA found, handed out one entry at a time.
struct FindObject : sim::KernelObject {
    std::string pattern;
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next = 0;
    std::string Describe() const override { return "find " + pattern; }
};

bool EntryMatches(const std::string& mask, const FsNode& node) {
    return sim::MatchesMask(mask, node.name) ||
           (!node.short_name.empty() && sim::MatchesMask(mask, node.short_name));
}

std::vector<WIN32_FIND_DATAA> Search(const PathLookup& found) {
    std::vector<WIN32_FIND_DATAA> entries;
    const FsNode& folder = *found.folder;
    auto add = [&](const FsNode& node, const std::string& name) {
        entries.emplace_back();
        FillFindData(*found.drive, node, name, entries.back());
    };
    if (folder.parent) {  // a folder's own "." and ".." come first; a root has neither
        if (sim::MatchesMask(found.name, ".")) add(folder, ".");
        if (sim::MatchesMask(found.name, "..")) add(*folder.parent, "..");
    }
    for (const FsNode* child : Files().Listing(*found.drive, folder))
        if (EntryMatches(found.name, *child)) add(*child, child->name);
    return entries;
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// One component of GetShortPathNameA's answer. The NT family keeps a component that is already a valid 8.3
// name as it was spelled; the 9x family answers the 8.3 entry the disk holds.
std::string ShortComponent(const std::string& spelled, const FsNode& node) {
    std::string trimmed = spelled;
    while (!trimmed.empty() && (trimmed.back() == '.' || trimmed.back() == ' ')) trimmed.pop_back();
    bool names_node = sim::EqualsNoCase(trimmed, node.name) || sim::EqualsNoCase(trimmed, node.short_name);
    if (!names_node) return spelled;
    if (Files().nt_family() && sim::IsShortName(spelled)) return spelled;
    return node.ShortOrName();
}

// The short form of a path, component by component, keeping its drive, separators and relative parts.
DWORD ShortPathOf(const std::string& path, std::string& out) {
    PathLookup whole = Find(path.c_str());
    // NT 4 gives the short form of the part that exists and copies the rest; later systems insist on all.
    bool tolerate_missing = sim::CurrentMachine().version().name == "nt4";
    if (whole.error && !(tolerate_missing && whole.error == ERROR_PATH_NOT_FOUND && !whole.full.empty()))
        return whole.error;
    if (!whole.exists() && !tolerate_missing) return ERROR_FILE_NOT_FOUND;
    size_t i = 0;
    if (path.size() >= 2 && path[1] == ':') i = 2;
    while (i < path.size() && IsSeparator(path[i])) ++i;
    out = path.substr(0, i);
    while (i < path.size()) {
        size_t end = i;
        while (end < path.size() && !IsSeparator(path[end])) ++end;
        std::string part = path.substr(i, end - i);
        PathLookup here = Find(path.substr(0, end).c_str());
        if (part == "." || part == "..") {
            out += part;
        } else if (here.error || !here.exists()) {
            out += path.substr(i);  // only NT 4 gets here
            return 0;
        } else {
            out += ShortComponent(part, *here.node);
        }
        while (end < path.size() && IsSeparator(path[end])) out += path[end++];
        i = end;
    }
    return 0;
}

}  // namespace

extern "C" {

DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
    std::string dir = CurrentDir();
    if (dir.size() > 3 && dir.back() == '\\') dir.pop_back();
    return CopyOut(dir, buffer, size);
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR path) {
    if (!path) return Fail(ERROR_INVALID_PARAMETER);
    PathLookup found = Find(path);
    if (found.error) return Fail(found.error);
    if (!found.exists()) return Fail(ERROR_FILE_NOT_FOUND);
    if (!found.node->directory) return Fail(ERROR_DIRECTORY);
    std::string dir = found.full;
    if (dir.back() != '\\') dir += '\\';
    if (dir.size() >= MAX_PATH) return Fail(ERROR_FILENAME_EXCED_RANGE);  // it and its NUL fit MAX_PATH
    CurrentDir() = dir;
    return TRUE;
}

BOOL WINAPI CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES) {
    PathLookup found = Find(path);
    // A folder must leave room for an 8.3 name inside it within MAX_PATH.
    if (!found.full.empty() && found.full.size() > MAX_PATH - 12) return Fail(ERROR_FILENAME_EXCED_RANGE);
    // CDFS refuses any create at once, before looking for the name.
    if (found.drive && found.drive->cdrom() && found.drive->medium &&
        (found.error == 0 || found.error == ERROR_PATH_NOT_FOUND))
        return Fail(ERROR_ACCESS_DENIED);
    if (found.error) return Fail(found.error);
    if (found.exists()) return Fail(ERROR_ALREADY_EXISTS);
    if (DWORD error = Files().WriteError(*found.drive)) return Fail(error);
    FsNode& folder = Files().AddEntry(*found.folder, found.name, true, 0);
    Files().Log("mkdir " + Files().PathOf(folder));
    return TRUE;
}

BOOL WINAPI RemoveDirectoryA(LPCSTR path) {
    PathLookup found = Find(path);
    if (found.error) return Fail(found.error);
    if (!found.exists()) return Fail(ERROR_FILE_NOT_FOUND);
    FsNode& folder = *found.node;
    if (!folder.directory) return Fail(ERROR_DIRECTORY);
    if (!folder.parent) return Fail(ERROR_ACCESS_DENIED);
    if (DWORD error = Files().WriteError(*found.drive)) return Fail(error);
    if (IsCurrentFolder(folder)) return Fail(ERROR_SHARING_VIOLATION);
    if (folder.attributes & FILE_ATTRIBUTE_READONLY) return Fail(ERROR_ACCESS_DENIED);
    if (!folder.children.empty()) return Fail(ERROR_DIR_NOT_EMPTY);
    std::string text = "rmdir " + Files().PathOf(folder);
    Files().RemoveEntry(folder);
    Files().Log(text);
    return TRUE;
}

DWORD WINAPI GetFileAttributesA(LPCSTR path) {
    PathLookup found = Find(path);
    if (found.error) return Fail(found.error, INVALID_FILE_ATTRIBUTES);
    if (!found.exists()) return Fail(ERROR_FILE_NOT_FOUND, INVALID_FILE_ATTRIBUTES);
    return Files().ReportedAttributes(*found.drive, *found.node);
}

BOOL WINAPI SetFileAttributesA(LPCSTR path, DWORD attributes) {
    PathLookup found = Find(path);
    if (found.error) return Fail(found.error);
    if (!found.exists()) return Fail(ERROR_FILE_NOT_FOUND);
    if (DWORD error = Files().WriteError(*found.drive)) return Fail(error);
    // FILE_ATTRIBUTE_NORMAL alone clears them all; the directory bit and the rest cannot be set here.
    found.node->attributes = attributes & kSettableAttributes;
    Files().Log("attrib " + Files().PathOf(*found.node) + " " + AttributeText(found.node->attributes));
    return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR path) {
    PathLookup found = Find(path);
    if (found.error) return Fail(found.error);
    if (!found.exists()) return Fail(ERROR_FILE_NOT_FOUND);
    FsNode& file = *found.node;
    if (file.directory) return Fail(ERROR_ACCESS_DENIED);
    if (DWORD error = Files().WriteError(*found.drive)) return Fail(error);
    if (file.attributes & FILE_ATTRIBUTE_READONLY) return Fail(ERROR_ACCESS_DENIED);
    if (file.open_streams > 0) return Fail(ERROR_SHARING_VIOLATION);  // the CRT opens without delete sharing
    std::string text = "delete " + Files().PathOf(file);
    Files().RemoveEntry(file);
    Files().Log(text);
    return TRUE;
}

BOOL WINAPI CopyFileA(LPCSTR existing, LPCSTR new_file, BOOL fail_if_exists) {
    FileSystem& files = Files();
    PathLookup source = Find(existing);
    if (source.error) return Fail(source.error);
    if (!source.exists()) return Fail(ERROR_FILE_NOT_FOUND);
    if (source.node->directory) return Fail(ERROR_ACCESS_DENIED);
    PathLookup target = Find(new_file);
    // CDFS refuses a new file at once, and an overwrite once it has found the folder.
    if (target.drive && target.drive->cdrom() && target.drive->medium && (fail_if_exists || !target.error))
        return Fail(ERROR_ACCESS_DENIED);
    if (target.error) return Fail(target.error);
    if (target.node == source.node)
        return Fail(files.nt_family() ? ERROR_SHARING_VIOLATION : ERROR_FILE_EXISTS);
    if (target.exists() && fail_if_exists) return Fail(ERROR_FILE_EXISTS);
    if (target.exists() && target.node->directory) return Fail(ERROR_ACCESS_DENIED);
    if (DWORD error = files.WriteError(*target.drive)) return Fail(error);
    if (target.exists() && (target.node->attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN)))
        return Fail(ERROR_ACCESS_DENIED);
    std::string destination = target.exists() ? files.PathOf(*target.node) : target.full;
    auto& fails = files.faults().copy_fails;
    auto fault = fails.find(destination);
    if (fault == fails.end()) fault = fails.find(target.full);
    if (fault != fails.end()) return Fail(fault->second);
    const FsNode& from = *source.node;
    if (!files.Reserve(*target.drive, target.exists() ? target.node->data.size() : 0, from.data.size()))
        return Fail(ERROR_DISK_FULL);
    FsNode& to = target.exists() ? *target.node : files.AddEntry(*target.folder, target.name, false, 0);
    to.data = from.data;
    // The copy takes the source's attributes (a CD's read-only too) and its time; being new, it is archive.
    DWORD attributes = files.ReportedAttributes(*source.drive, from) & kSettableAttributes;
    to.attributes = attributes | FILE_ATTRIBUTE_ARCHIVE;
    to.write_time = from.write_time;
    files.Log("copy " + files.PathOf(from) + " -> " + files.PathOf(to));
    return TRUE;
}

HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
    if (!data) return Fail(ERROR_NOACCESS, INVALID_HANDLE_VALUE);
    PathLookup found = Find(pattern, true);
    if (found.error) return Fail(found.error, INVALID_HANDLE_VALUE);
    if (found.name.empty()) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);  // "C:\", "C:\WINDOWS\"
    auto search = std::make_shared<FindObject>();
    search->pattern = found.full;
    search->entries = Search(found);
    if (search->entries.empty()) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    *data = search->entries[0];
    search->next = 1;
    return sim::CurrentProcess().handles.Add(search);
}

BOOL WINAPI FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data) {
    auto search = sim::CurrentProcess().handles.Get<FindObject>(find);
    if (!search) return Fail(ERROR_INVALID_HANDLE);
    if (!data) return Fail(ERROR_NOACCESS);
    if (search->next >= search->entries.size()) return Fail(ERROR_NO_MORE_FILES);
    *data = search->entries[search->next++];
    return TRUE;
}

BOOL WINAPI FindClose(HANDLE find) {
    auto& handles = sim::CurrentProcess().handles;
    if (!handles.Get<FindObject>(find)) return Fail(ERROR_INVALID_HANDLE);
    handles.Close(find);
    return TRUE;
}

UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size) {
    return CopyOut(Files().WindowsDir(), buffer, size);
}

UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size) {
    return CopyOut(Files().SystemDir(), buffer, size);
}

DWORD WINAPI GetShortPathNameA(LPCSTR long_path, LPSTR short_path, DWORD size) {
    if (!long_path) return Fail<DWORD>(ERROR_INVALID_PARAMETER, 0);
    std::string result;
    if (DWORD error = ShortPathOf(long_path, result)) return Fail<DWORD>(error, 0);
    return CopyOut(result, short_path, size);  // short_path may be long_path itself: result is a copy
}

DWORD WINAPI GetLogicalDriveStringsA(DWORD size, LPSTR buffer) {
    std::string strings;
    for (char letter : Files().DriveLetters()) strings += std::string(1, letter) + ":\\" + '\0';
    // The answer is the strings' length without the final NUL; too small a buffer gets the size with it.
    if (!buffer || size < strings.size() + 1) return static_cast<DWORD>(strings.size() + 1);
    std::memcpy(buffer, strings.data(), strings.size());
    buffer[strings.size()] = '\0';
    return static_cast<DWORD>(strings.size());
}

UINT WINAPI GetDriveTypeA(LPCSTR root) {
    std::string text = root ? root : CurrentDir().substr(0, 3);
    if (text.size() == 1 && IsSeparator(text[0])) text = CurrentDir().substr(0, 3);
    bool drive_spec = (text.size() == 2 || (text.size() == 3 && IsSeparator(text[2]))) && text[1] == ':';
    if (!drive_spec) return DRIVE_NO_ROOT_DIR;
    const Drive* drive = Files().FindDrive(text[0]);
    return drive ? drive->type : DRIVE_NO_ROOT_DIR;
}

}  // extern "C"
