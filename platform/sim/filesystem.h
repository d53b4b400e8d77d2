// The machine's drives, folders and files.
//
// Each drive (a letter) holds a tree of folders and files; names are case-insensitive and case-preserving, a
// file's contents are bytes. C: is a fixed disk with the Windows folders; a CD-ROM drive holds a medium whose
// content is imported from a host folder, the way a CD's content lies on disk. The family of the machine's
// Windows version decides what the disk looks like to programs:
//   - the 9x family (FAT): every entry has an 8.3 short name (the name itself upper-cased when it is a valid
//     8.3 name), folders list entries in the order they were made;
//   - the NT family (NTFS): only names that are not valid 8.3 names get a short name, folders list entries
//     sorted by their upper-cased names;
//   - a CD (CDFS) lists sorted and reports every entry FILE_ATTRIBUTE_READONLY.
// A drive whose medium is read-only refuses every change the way its file system does: a CD with
// ERROR_ACCESS_DENIED, a write-protected removable medium with ERROR_WRITE_PROTECT, an empty drive with
// ERROR_NOT_READY.
//
// Fault model (FileFaults, set through FileSystem::faults() before or while programs run):
//   - copy_fails: CopyFileA onto a chosen destination fails with a chosen error and leaves the destination
//     as it was (a locked or damaged target file);
//   - free_bytes: the room left on a drive; a write that would make the drive's files grow beyond it fails
//     with ERROR_DISK_FULL and changes nothing (0 is a full disk). Shrinking or deleting gives the room back.
// Faults apply to what programs do through the Windows and CRT calls; the set-up calls below ignore them.
//
// The set-up calls (drives, import, export, ReadFile/WriteFile, ...) prepare and inspect the machine from a
// test or tool; they need no simulated thread, take absolute Windows paths and are not written to the
// transcript (what programs change is, in category "file"). Those that change the machine throw
// sim::InputError on a bad path or host folder; the queries (ReadFile, Exists, Attributes, ShortName) answer
// "nothing there" for a path that cannot name anything, so the platform may ask them with a program's path.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/api/files.h"
#include "sim/text.h"

namespace sim {

class Machine;

struct FileFaults {
    // Destination path (full Windows path, any case) -> the error CopyFileA fails with when copying onto it.
    std::map<std::string, DWORD, LessNoCase> copy_fails;
    // Drive letter (upper case) -> bytes the drive can still take; a drive not listed never fills up.
    std::map<char, uint64_t> free_bytes;
};

// A folder or file.
struct FsNode {
    std::string name;        // as it was made: "Program Files"; a drive's root is named "C:"
    std::string short_name;  // the 8.3 alias: "PROGRA~1"; empty when the name serves as its own (NT family)
    bool directory = false;
    DWORD attributes = 0;      // FILE_ATTRIBUTE_READONLY/HIDDEN/SYSTEM/ARCHIVE as stored
    std::string data;          // a file's bytes
    uint64_t create_time = 0;  // FILETIME ticks (100 ns since 1601)
    uint64_t write_time = 0;
    FsNode* parent = nullptr;
    std::vector<std::shared_ptr<FsNode>> children;  // in the order they were made
    int open_streams = 0;                           // CRT streams open on the file

    // The name 8.3 programs and masks see.
    const std::string& ShortOrName() const { return short_name.empty() ? name : short_name; }
};

struct Drive {
    char letter = 'C';
    UINT type = DRIVE_FIXED;
    std::string label;
    DWORD serial = 0;
    std::string file_system;       // "NTFS", "FAT32", "FAT", "CDFS"
    bool medium = true;            // false: a removable or CD drive with nothing in it
    bool write_protected = false;  // a writable medium with its tab set
    std::shared_ptr<FsNode> root;

    bool cdrom() const { return type == DRIVE_CDROM; }
    bool sorted_listing() const { return file_system != "FAT32" && file_system != "FAT"; }
};

// What a program's path names, found the way Windows resolves it.
struct PathLookup {
    DWORD error = 0;           // when the path cannot name anything: bad name, too long, a folder missing
    Drive* drive = nullptr;    // when error is 0
    FsNode* folder = nullptr;  // the folder holding the final component; the root itself for "C:\"
    FsNode* node = nullptr;    // what the path names, or null when that does not exist
    std::string name;  // the final component as spelled (trailing dots and blanks gone); empty: a root
    std::string full;  // the absolute path as spelled: "C:\Program Files\X", "C:\" for a root
    bool trailing_separator = false;

    bool exists() const { return node != nullptr; }
    bool is_root() const { return name.empty(); }
};

class FileSystem {
  public:
    explicit FileSystem(Machine& machine);
    ~FileSystem();
    FileSystem(const FileSystem&) = delete;
    FileSystem& operator=(const FileSystem&) = delete;

    // --- Set-up, for tests, scenarios and tools ---

    // A drive with an empty medium (fixed, removable, RAM disk, network). Throws InputError for a letter
    // already used or not A-Z.
    Drive& AddDrive(char letter, UINT type, std::string label = "", DWORD serial = 0);
    // A CD-ROM drive; its medium is the host folder's content, or none when host_folder is empty.
    Drive& AddCdRomDrive(char letter, const std::string& host_folder, std::string label = "",
                         DWORD serial = 0);
    void InsertMedium(char letter, const std::string& host_folder, std::string label = "");
    void EjectMedium(char letter);
    Drive* FindDrive(char letter);
    const Drive* FindDrive(char letter) const;
    std::vector<char> DriveLetters() const;  // in order

    // Copies the host folder's content into the Windows folder (made when missing); host entries are taken in
    // byte order of their names, so short names come out the same on every host.
    void ImportHostFolder(const std::string& host_folder, const std::string& path);
    // Writes a drive ("D:\") or folder to the host folder (made when missing).
    void ExportToHost(const std::string& path, const std::string& host_folder) const;

    // Whole-file access by absolute Windows path ("C:\\WINDOWS\\WIN.INI").
    std::optional<std::string> ReadFile(const std::string& path) const;    // nullopt: no such file
    void WriteFile(const std::string& path, const std::string& contents);  // creates missing folders
    void CreateFolder(const std::string& path);                            // with missing parents
    bool Exists(const std::string& path) const;
    std::optional<DWORD> Attributes(const std::string& path) const;  // as GetFileAttributesA reports them
    void SetAttributes(const std::string& path, DWORD attributes);
    std::vector<std::string> List(const std::string& folder) const;  // names, in the folder's listing order
    std::optional<std::string> ShortName(const std::string& path) const;  // the entry's 8.3 name

    // The standard folders: "C:\WINDOWS" ("C:\WINNT" on nt4 and win2k), or where a test installed Windows,
    // and its SYSTEM or SYSTEM32.
    std::string WindowsDir() const;
    void SetWindowsDir(const std::string& path) { windows_dir_ = path; }
    std::string SystemDir() const;

    FileFaults& faults() { return faults_; }

    // --- For the platform's own file calls (api_files.cpp, crt.cpp) ---

    // Resolves a program's path relative to current_dir. With pattern, the final component is a search mask
    // kept as spelled (name), and a trailing separator means an empty mask.
    PathLookup Lookup(const char* path, const std::string& current_dir, bool pattern = false) const;
    // 0 when the drive takes changes, else the error its file system gives.
    DWORD WriteError(const Drive& drive) const;
    // Makes a folder or an empty file in folder (the caller checked that the name is free).
    FsNode& AddEntry(FsNode& folder, const std::string& name, bool directory, DWORD attributes);
    void RemoveEntry(FsNode& node);  // a file, or an empty folder
    // Checks and books the room a file needs to grow from old_size to new_size on the drive.
    bool Reserve(const Drive& drive, uint64_t old_size, uint64_t new_size);
    void Touch(FsNode& node);                    // the file was written now
    std::shared_ptr<FsNode> Hold(FsNode& node);  // keeps an entry alive for a stream open on it
    // Entries of a folder in the drive's listing order.
    std::vector<const FsNode*> Listing(const Drive& drive, const FsNode& folder) const;
    std::string PathOf(const FsNode& node) const;  // "C:\Program Files\Korvane", as stored
    // Attributes as the Windows calls report them (a CD's entries read-only, a plain file NORMAL).
    DWORD ReportedAttributes(const Drive& drive, const FsNode& node) const;
    // The 8.3 name FindFirstFileA reports in cAlternateFileName; empty when there is none to report.
    std::string AlternateName(const FsNode& node) const;
    bool nt_family() const;
    Machine& machine() { return machine_; }
    void Log(const std::string& text);  // a line of the "file" transcript

  private:
    std::string windows_dir_;  // empty: the version's standard folder
    Drive* DriveFor(char letter, bool must_exist) const;
    FsNode* SetupFind(const std::string& path, Drive** drive = nullptr) const;
    FsNode& SetupFolder(const std::string& path);
    void ImportInto(Drive& drive, FsNode& folder, const std::string& host_folder, int depth);
    uint64_t Now() const;

    Machine& machine_;
    std::map<char, std::unique_ptr<Drive>> drives_;
    FileFaults faults_;
};

// --- Names and masks, with Windows' rules ---

// True when the name is a valid 8.3 name in any case ("readme.txt", "WIN_ME", "PROGRA~1").
bool IsShortName(std::string_view name);
// The 8.3 alias Windows makes for a long name: the first valid characters of the base upper-cased, "~n" with
// the smallest n that taken() refuses to call taken, the first three characters of the last extension.
std::string MakeShortName(std::string_view long_name, const std::function<bool(const std::string&)>& taken);
// Whether a FindFirstFileA mask matches a name (one of the entry's names: the long or the 8.3 one).
bool MatchesMask(std::string_view mask, std::string_view name);

}  // namespace sim
