#include "sim/filesystem.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "sim/errors.h"
#include "sim/machine.h"

namespace sim {

namespace {

namespace fs = std::filesystem;

// The machine's clock for file times: virtual time 0 is 2003-01-01 00:00 UTC, in FILETIME ticks.
constexpr uint64_t kTimeZeroTicks = 126858528000000000ull;
constexpr size_t kMaxComponent = 255;
constexpr int kMaxImportDepth = 64;
constexpr DWORD kStoredAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// Characters Windows refuses in a name; a search mask may hold the wildcards.
bool IsValidName(const std::string& name, bool mask) {
    if (name.size() > kMaxComponent) return false;
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20) return false;
        if (std::strchr("<>:\"|", c)) return false;
        if (!mask && (c == '*' || c == '?')) return false;
    }
    return true;
}

// Characters of an 8.3 name besides letters and digits; bytes above 127 are the OEM code page's letters.
bool IsShortNameChar(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u >= 0x80) return true;
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
    return std::strchr("$%'-_@~`!(){}^#&", c) != nullptr && c != '\0';
}

void StripTrailingDotsAndBlanks(std::string& name) {
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
}

// The current folder of a process, "C:\A\B\", as a drive letter and its components.
struct CurrentFolder {
    char letter = 'C';
    std::vector<std::string> parts;
};

CurrentFolder SplitCurrentFolder(const std::string& dir) {
    CurrentFolder out;
    if (dir.size() < 2 || !IsLetter(dir[0]) || dir[1] != ':') return out;
    out.letter = dir[0];
    std::string part;
    for (size_t i = 2; i <= dir.size(); ++i) {
        if (i == dir.size() || IsSeparator(dir[i])) {
            if (!part.empty()) out.parts.push_back(part);
            part.clear();
        } else {
            part += dir[i];
        }
    }
    return out;
}

std::vector<std::string> SplitParts(const std::string& text) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : text) {
        if (c == '\\') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

std::string JoinPath(char letter, const std::vector<std::string>& parts) {
    std::string full = std::string(1, letter) + ":\\";
    for (size_t i = 0; i < parts.size(); ++i) full += (i ? "\\" : "") + parts[i];
    return full;
}

FsNode* FindChild(const FsNode& folder, const std::string& name) {
    for (const auto& child : folder.children)
        if (EqualsNoCase(child->name, name)) return child.get();
    for (const auto& child : folder.children)
        if (!child->short_name.empty() && EqualsNoCase(child->short_name, name)) return child.get();
    return nullptr;
}

bool IsAbsolute(const std::string& path) {
    return path.size() >= 2 && IsLetter(path[0]) && path[1] == ':' &&
           (path.size() == 2 || IsSeparator(path[2]));
}

// A host entry's name as a Windows name, or a clear refusal.
void CheckHostName(const fs::path& host_path, const std::string& name) {
    bool bad = name.empty() || name == "." || name == ".." || !IsValidName(name, false) ||
               name.back() == '.' || name.back() == ' ';
    if (bad)
        throw InputError(host_path.string() + ": the name \"" + name + "\" cannot be a Windows file name");
}

std::string ReadHostFile(const fs::path& host_path) {
    std::ifstream in(host_path, std::ios::binary);
    if (!in) throw InputError(host_path.string() + ": cannot read the file");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

// --- Names and masks ---

bool IsShortName(std::string_view name) {
    if (name.empty() || name.size() > 12) return false;
    size_t dot = name.find('.');
    if (dot != std::string_view::npos && name.find('.', dot + 1) != std::string_view::npos) return false;
    std::string_view base = name.substr(0, dot);
    std::string_view ext = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || ext.size() > 3) return false;
    if (dot != std::string_view::npos && ext.empty()) return false;
    for (char c : name)
        if (c != '.' && !IsShortNameChar(c)) return false;
    return true;
}

std::string MakeShortName(std::string_view long_name, const std::function<bool(const std::string&)>& taken) {
    // Blanks go everywhere, dots at the start; the extension is what follows the last remaining dot. A
    // character a long name may hold but an 8.3 one may not ("+,;=[]") becomes '_'.
    std::string upper = Upper(long_name);
    size_t start = 0;
    while (start < upper.size() && (upper[start] == '.' || upper[start] == ' ')) ++start;
    std::string body = upper.substr(start);
    size_t last_dot = body.rfind('.');
    std::string base, ext;
    auto take = [](char c, std::string& out) {
        if (c == ' ' || c == '.') return;
        out += IsShortNameChar(c) ? c : '_';
    };
    for (size_t i = 0; i < body.size() && i < last_dot; ++i) take(body[i], base);
    if (last_dot != std::string::npos)
        for (size_t i = last_dot + 1; i < body.size() && ext.size() < 3; ++i) take(body[i], ext);
    if (base.empty()) base = "_";
    for (int n = 1; n < 1000000; ++n) {
        std::string tail = "~" + std::to_string(n);
        std::string candidate = base.substr(0, std::min(base.size(), 8 - tail.size())) + tail;
        if (!ext.empty()) candidate += "." + ext;
        if (!taken(candidate)) return candidate;
    }
    return base.substr(0, 1) + "~999999";
}

namespace {

// A mask after kernel32's rewriting of DOS wildcards, as the file system's matcher sees it.
enum class MaskToken { Literal, Star, DosStar, DosQm, DosDot };
struct MaskItem {
    MaskToken kind;
    char c;
};

// kernel32 rewrites a mask before the file system matches it: "*.*" is "*"; '?' matches one character or
// none before a dot or the end (DOS_QM); a '.' before '?' or '*' matches a dot or the end (DOS_DOT); a '*'
// before a dot (or before a trailing dot, which is dropped) cannot swallow the name's last dot (DOS_STAR).
std::vector<MaskItem> RewriteMask(std::string_view mask) {
    std::string m(mask);
    bool trailing_dot = false;
    while (!m.empty() && (m.back() == '.' || m.back() == ' ')) {
        trailing_dot |= m.back() == '.';
        m.pop_back();
    }
    if (m == "*.*") m = "*";
    std::vector<MaskItem> items;
    for (size_t i = 0; i < m.size(); ++i) {
        char next = i + 1 < m.size() ? m[i + 1] : (trailing_dot ? '.' : '\0');
        char c = m[i];
        if (c == '?')
            items.push_back({MaskToken::DosQm, c});
        else if (c == '*')
            items.push_back({next == '.' ? MaskToken::DosStar : MaskToken::Star, c});
        else if (c == '.' && (next == '?' || next == '*'))
            items.push_back({MaskToken::DosDot, c});
        else
            items.push_back({MaskToken::Literal, c});
    }
    return items;
}

}  // namespace

bool MatchesMask(std::string_view mask, std::string_view name) {
    constexpr size_t kLimit = 4096;  // far beyond MAX_PATH; keeps the table small whatever the input
    if (mask.size() > kLimit || name.size() > kLimit) return false;
    std::vector<MaskItem> items = RewriteMask(mask);
    const size_t p = items.size(), n = name.size();
    size_t last_dot = name.rfind('.');
    // match[i][j]: items from i match the name from j. Filled from the end, so every step is a lookup.
    std::vector<char> match((p + 1) * (n + 1), 0);
    auto at = [&](size_t i, size_t j) -> char& { return match[i * (n + 1) + j]; };
    at(p, n) = 1;
    for (size_t i = p; i-- > 0;) {
        for (size_t j = n + 1; j-- > 0;) {
            const MaskItem& item = items[i];
            bool more = j < n;
            bool ok = false;
            switch (item.kind) {
                case MaskToken::Star:
                    ok = at(i + 1, j) || (more && at(i, j + 1));
                    break;
                case MaskToken::DosStar:
                    ok = at(i + 1, j) || (more && j != last_dot && at(i, j + 1));
                    break;
                case MaskToken::DosQm:
                    ok = (!more || name[j] == '.') ? at(i + 1, j) : at(i + 1, j + 1);
                    break;
                case MaskToken::DosDot:
                    ok = (!more && at(i + 1, j)) || (more && name[j] == '.' && at(i + 1, j + 1));
                    break;
                case MaskToken::Literal:
                    ok = more && FoldCase(name[j]) == FoldCase(item.c) && at(i + 1, j + 1);
                    break;
            }
            at(i, j) = ok;
        }
    }
    return at(0, 0);
}

// --- The file system ---

FileSystem::FileSystem(Machine& machine) : machine_(machine) {
    AddDrive('C', DRIVE_FIXED, "", 0x1C3A5E07);
    FsNode& root = *drives_['C']->root;
    std::string windows = WindowsDir().substr(3);
    FsNode& windows_folder = AddEntry(root, windows, true, 0);
    AddEntry(windows_folder, nt_family() ? "SYSTEM32" : "SYSTEM", true, 0);
    // Every Windows has its INF folder; the 9x family keeps it hidden.
    AddEntry(windows_folder, nt_family() ? "inf" : "INF", true, nt_family() ? 0 : FILE_ATTRIBUTE_HIDDEN);
    AddEntry(root, "Program Files", true, 0);
}

FileSystem::~FileSystem() = default;

bool FileSystem::nt_family() const {
    return machine_.version().nt_family();
}

std::string FileSystem::WindowsDir() const {
    if (!windows_dir_.empty()) return windows_dir_;
    const std::string& name = machine_.version().name;
    return name == "nt4" || name == "win2k" ? "C:\\WINNT" : "C:\\WINDOWS";
}

std::string FileSystem::SystemDir() const {
    return WindowsDir() + (nt_family() ? "\\SYSTEM32" : "\\SYSTEM");
}

uint64_t FileSystem::Now() const {
    return kTimeZeroTicks + machine_.now_ms() * 10000;
}

void FileSystem::Log(const std::string& text) {
    machine_.Log("file", text);
}

Drive& FileSystem::AddDrive(char letter, UINT type, std::string label, DWORD serial) {
    char upper = FoldCase(letter);
    if (upper < 'A' || upper > 'Z') throw InputError(std::string("not a drive letter: '") + letter + "'");
    if (drives_.count(upper)) throw InputError(std::string("drive ") + upper + ": exists already");
    auto drive = std::make_unique<Drive>();
    drive->letter = upper;
    drive->type = type;
    drive->label = std::move(label);
    drive->serial = serial ? serial : 0x4D2A0000u + static_cast<DWORD>(upper) * 0x101u;
    if (type == DRIVE_CDROM)
        drive->file_system = "CDFS";
    else if (type == DRIVE_FIXED || type == DRIVE_REMOTE)
        drive->file_system = nt_family() ? "NTFS" : machine_.version().name == "win95" ? "FAT" : "FAT32";
    else
        drive->file_system = "FAT";
    drive->root = std::make_shared<FsNode>();
    drive->root->name = std::string(1, upper) + ":";
    drive->root->directory = true;
    drive->root->create_time = drive->root->write_time = Now();
    Drive& added = *drive;
    drives_[upper] = std::move(drive);
    return added;
}

Drive& FileSystem::AddCdRomDrive(char letter, const std::string& host_folder, std::string label,
                                 DWORD serial) {
    if (!host_folder.empty() && !fs::is_directory(host_folder))
        throw InputError(host_folder + ": no such host folder for the CD in drive " + std::string(1, letter) +
                         ":");
    Drive& drive = AddDrive(letter, DRIVE_CDROM, std::move(label), serial);
    drive.medium = !host_folder.empty();
    if (!drive.medium) return drive;
    try {
        ImportInto(drive, *drive.root, host_folder, 0);
    } catch (...) {
        drives_.erase(drive.letter);  // nothing of a bad medium stays
        throw;
    }
    return drive;
}

void FileSystem::InsertMedium(char letter, const std::string& host_folder, std::string label) {
    Drive* drive = DriveFor(letter, true);
    if (!fs::is_directory(host_folder))
        throw InputError(host_folder + ": no such host folder for the medium");
    auto root = std::make_shared<FsNode>();
    root->name = drive->root->name;
    root->directory = true;
    Drive staged = *drive;
    staged.root = root;
    ImportInto(staged, *root, host_folder, 0);
    drive->root = root;
    drive->label = std::move(label);
    drive->medium = true;
}

void FileSystem::EjectMedium(char letter) {
    Drive* drive = DriveFor(letter, true);
    auto root = std::make_shared<FsNode>();
    root->name = drive->root->name;
    root->directory = true;
    drive->root = root;
    drive->medium = false;
}

Drive* FileSystem::DriveFor(char letter, bool must_exist) const {
    auto it = drives_.find(FoldCase(letter));
    if (it != drives_.end()) return it->second.get();
    if (must_exist) throw InputError(std::string("no drive ") + FoldCase(letter) + ":");
    return nullptr;
}

Drive* FileSystem::FindDrive(char letter) {
    return DriveFor(letter, false);
}
const Drive* FileSystem::FindDrive(char letter) const {
    return DriveFor(letter, false);
}

std::vector<char> FileSystem::DriveLetters() const {
    std::vector<char> letters;
    for (const auto& entry : drives_) letters.push_back(entry.first);
    return letters;
}

// --- Paths ---

PathLookup FileSystem::Lookup(const char* path, const std::string& current_dir, bool pattern) const {
    PathLookup out;
    if (!path || !*path) {
        out.error = ERROR_PATH_NOT_FOUND;
        return out;
    }
    // An ANSI path goes through a buffer of MAX_PATH + 1 characters on its way to the file system.
    size_t length = strnlen(path, MAX_PATH + 1);
    if (length > MAX_PATH) {
        out.error = ERROR_FILENAME_EXCED_RANGE;
        return out;
    }
    std::string text(path, length);
    std::replace(text.begin(), text.end(), '/', '\\');
    if (text.size() >= 2 && text[0] == '\\' && text[1] == '\\') {  // network and device paths: none here
        out.error = ERROR_PATH_NOT_FOUND;
        return out;
    }
    CurrentFolder cwd = SplitCurrentFolder(current_dir);
    char letter = cwd.letter;
    std::vector<std::string> parts;
    std::string rest = text;
    if (text.size() >= 2 && text[1] == ':') {
        if (!IsLetter(text[0])) {
            out.error = ERROR_INVALID_NAME;
            return out;
        }
        letter = text[0];
        rest = text.substr(2);
        // "C:a" is relative to C:'s current folder, which is the process's when it is on C:, else the root.
        bool from_root = !rest.empty() && rest[0] == '\\';
        if (!from_root && FoldCase(letter) == FoldCase(cwd.letter)) parts = cwd.parts;
    } else if (text[0] != '\\') {
        parts = cwd.parts;
    }
    bool trailing = !rest.empty() && rest.back() == '\\';
    out.trailing_separator = trailing;
    std::vector<std::string> tokens = SplitParts(rest);
    std::string mask;
    bool has_mask = false;
    bool nt = nt_family();
    for (size_t i = 0; i < tokens.size(); ++i) {
        std::string part = tokens[i];
        bool last = i + 1 == tokens.size() && !trailing;
        if (part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        if (pattern && last) {
            mask = part;
            has_mask = true;
            continue;
        }
        // Trailing dots and blanks: the 9x family drops them from every component; the NT family from the
        // last one, and a single dot from a folder on the way ("a.\b" is "a\b", "a..\b" is "a.\b").
        if (!nt || last)
            StripTrailingDotsAndBlanks(part);
        else if (part.back() == '.')
            part.pop_back();
        if (part.empty()) continue;
        if (!IsValidName(part, false)) {
            out.error = ERROR_INVALID_NAME;
            return out;
        }
        parts.push_back(part);
    }
    if (pattern && !has_mask && !trailing && !parts.empty()) {  // "C:\WINDOWS\." searches for WINDOWS
        mask = parts.back();
        parts.pop_back();
    }
    if (pattern && !IsValidName(mask, true)) {
        out.error = ERROR_INVALID_NAME;
        return out;
    }
    std::vector<std::string> named = parts;
    if (pattern && !mask.empty()) named.push_back(mask);
    out.full = JoinPath(letter, named);
    // The NT path of a name whose full form has MAX_PATH characters or more cannot be made.
    if (out.full.size() >= MAX_PATH) {
        out.error = ERROR_PATH_NOT_FOUND;
        return out;
    }
    Drive* drive = DriveFor(letter, false);
    if (!drive) {
        out.error = ERROR_PATH_NOT_FOUND;
        return out;
    }
    out.drive = drive;
    if (!drive->medium) {
        out.error = ERROR_NOT_READY;
        return out;
    }
    size_t folders = pattern ? parts.size() : (parts.empty() ? 0 : parts.size() - 1);
    FsNode* at = drive->root.get();
    for (size_t i = 0; i < folders; ++i) {
        FsNode* child = FindChild(*at, parts[i]);
        if (!child || !child->directory) {
            out.error = ERROR_PATH_NOT_FOUND;
            return out;
        }
        at = child;
    }
    out.folder = at;
    if (pattern) {
        out.name = mask;
        return out;
    }
    if (parts.empty()) {
        out.node = at;
        return out;
    }
    out.name = parts.back();
    out.node = FindChild(*at, out.name);
    if (trailing && out.node && !out.node->directory) out.error = ERROR_INVALID_NAME;  // "file.txt\"
    return out;
}

DWORD FileSystem::WriteError(const Drive& drive) const {
    if (!drive.medium) return ERROR_NOT_READY;
    if (drive.cdrom()) return ERROR_ACCESS_DENIED;  // CDFS refuses any access that would change the disc
    if (drive.write_protected) return ERROR_WRITE_PROTECT;
    return 0;
}

FsNode& FileSystem::AddEntry(FsNode& folder, const std::string& name, bool directory, DWORD attributes) {
    auto node = std::make_shared<FsNode>();
    node->name = name;
    node->directory = directory;
    node->attributes = attributes & kStoredAttributes;
    node->parent = &folder;
    node->create_time = node->write_time = Now();
    auto taken = [&folder](const std::string& candidate) {
        for (const auto& child : folder.children)
            if (EqualsNoCase(child->name, candidate) || EqualsNoCase(child->short_name, candidate))
                return true;
        return false;
    };
    // FAT keeps an upper-case 8.3 entry for every name; NTFS makes one only for names that are not 8.3.
    if (!IsShortName(name))
        node->short_name = MakeShortName(name, taken);
    else if (!nt_family())
        node->short_name = Upper(name);
    folder.children.push_back(node);
    folder.write_time = node->create_time;
    return *node;
}

void FileSystem::RemoveEntry(FsNode& node) {
    FsNode* folder = node.parent;
    if (!folder) return;
    if (!node.directory) {
        const FsNode* root = folder;
        while (root->parent) root = root->parent;
        if (Drive* drive = DriveFor(root->name[0], false)) Reserve(*drive, node.data.size(), 0);
    }
    auto& siblings = folder->children;
    siblings.erase(
        std::remove_if(siblings.begin(), siblings.end(),
                       [&node](const std::shared_ptr<FsNode>& child) { return child.get() == &node; }),
        siblings.end());
    folder->write_time = Now();
}

bool FileSystem::Reserve(const Drive& drive, uint64_t old_size, uint64_t new_size) {
    auto it = faults_.free_bytes.find(drive.letter);
    if (it == faults_.free_bytes.end()) return true;
    if (new_size <= old_size) {
        it->second += old_size - new_size;
        return true;
    }
    if (new_size - old_size > it->second) return false;
    it->second -= new_size - old_size;
    return true;
}

void FileSystem::Touch(FsNode& node) {
    node.write_time = Now();
}

std::shared_ptr<FsNode> FileSystem::Hold(FsNode& node) {
    if (node.parent)
        for (const auto& child : node.parent->children)
            if (child.get() == &node) return child;
    for (const auto& entry : drives_)
        if (entry.second->root.get() == &node) return entry.second->root;
    return nullptr;
}

std::vector<const FsNode*> FileSystem::Listing(const Drive& drive, const FsNode& folder) const {
    std::vector<const FsNode*> entries;
    for (const auto& child : folder.children) entries.push_back(child.get());
    if (drive.sorted_listing())
        std::stable_sort(entries.begin(), entries.end(),
                         [](const FsNode* a, const FsNode* b) { return Upper(a->name) < Upper(b->name); });
    return entries;
}

std::string FileSystem::PathOf(const FsNode& node) const {
    std::vector<const FsNode*> chain;
    for (const FsNode* at = &node; at; at = at->parent) chain.push_back(at);
    std::string path = chain.back()->name + "\\";
    for (size_t i = chain.size() - 1; i-- > 0;) path += chain[i]->name + (i ? "\\" : "");
    return path;
}

DWORD FileSystem::ReportedAttributes(const Drive& drive, const FsNode& node) const {
    DWORD attributes = node.attributes & kStoredAttributes;
    if (!node.parent) {
        // The root of an NTFS volume shows as hidden and system.
        attributes = drive.file_system == "NTFS" ? FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM : 0;
    }
    if (node.directory) attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (drive.cdrom()) attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

std::string FileSystem::AlternateName(const FsNode& node) const {
    if (nt_family()) return node.short_name;
    return node.short_name == node.name ? std::string() : node.short_name;
}

// --- Set-up ---

namespace {

PathLookup CheckedSetupLookup(const FileSystem& files, const std::string& path) {
    if (!IsAbsolute(path)) throw InputError("\"" + path + "\" is not an absolute Windows path");
    PathLookup found = files.Lookup(path.c_str(), "C:\\");
    if (found.error == ERROR_INVALID_NAME || found.error == ERROR_FILENAME_EXCED_RANGE ||
        (found.error == ERROR_PATH_NOT_FOUND && found.full.size() >= MAX_PATH))
        throw InputError("\"" + path + "\" is not a valid Windows path");
    if (!found.drive)
        throw InputError("\"" + path + "\": no drive " + std::string(1, FoldCase(path[0])) + ":");
    return found;
}

}  // namespace

FsNode* FileSystem::SetupFind(const std::string& path, Drive** drive) const {
    if (!IsAbsolute(path)) return nullptr;
    PathLookup found = Lookup(path.c_str(), "C:\\");
    if (drive) *drive = found.drive;
    return found.error ? nullptr : found.node;
}

FsNode& FileSystem::SetupFolder(const std::string& path) {
    PathLookup found = CheckedSetupLookup(*this, path);
    if (!found.drive->medium) throw InputError("\"" + path + "\": the drive has no medium");
    FsNode* at = found.drive->root.get();
    for (const std::string& part : SplitParts(found.full.substr(3))) {
        FsNode* child = FindChild(*at, part);
        if (child && !child->directory)
            throw InputError("\"" + path + "\": " + PathOf(*child) + " is a file");
        at = child ? child : &AddEntry(*at, part, true, 0);
    }
    return *at;
}

void FileSystem::ImportInto(Drive& drive, FsNode& folder, const std::string& host_folder, int depth) {
    if (depth > kMaxImportDepth) throw InputError(host_folder + ": folders nest too deep to import");
    std::error_code error;
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(host_folder, error), end; !error && it != end; it.increment(error))
        entries.push_back(it->path());
    if (error) throw InputError(host_folder + ": cannot list the host folder (" + error.message() + ")");
    std::sort(entries.begin(), entries.end(), [](const fs::path& a, const fs::path& b) {
        return a.filename().string() < b.filename().string();
    });
    std::map<std::string, std::string, LessNoCase>
        imported;  // Windows name -> host path, to catch case twins
    for (const fs::path& entry : entries) {
        std::string name = entry.filename().string();
        CheckHostName(entry, name);
        auto twin = imported.find(name);
        if (twin != imported.end())
            throw InputError(entry.string() + ": the same Windows name as " + twin->second);
        imported[name] = entry.string();
        bool directory = fs::is_directory(entry, error);
        FsNode* existing = FindChild(folder, name);
        if (existing && existing->directory != directory)
            throw InputError(entry.string() + ": " + PathOf(*existing) +
                             " exists and is not of the same kind");
        if (directory) {
            FsNode& sub = existing ? *existing : AddEntry(folder, name, true, 0);
            ImportInto(drive, sub, entry.string(), depth + 1);
            continue;
        }
        if (!fs::is_regular_file(entry, error)) throw InputError(entry.string() + ": not a file or folder");
        FsNode& file =
            existing ? *existing : AddEntry(folder, name, false, drive.cdrom() ? 0 : FILE_ATTRIBUTE_ARCHIVE);
        file.data = ReadHostFile(entry);
    }
}

void FileSystem::ImportHostFolder(const std::string& host_folder, const std::string& path) {
    if (!fs::is_directory(host_folder)) throw InputError(host_folder + ": no such host folder to import");
    Drive* drive = CheckedSetupLookup(*this, path).drive;
    FsNode& folder = SetupFolder(path);
    ImportInto(*drive, folder, host_folder, 0);
}

void FileSystem::ExportToHost(const std::string& path, const std::string& host_folder) const {
    FsNode* node = SetupFind(path);
    if (!node) throw InputError("\"" + path + "\": nothing there to export");
    std::function<void(const FsNode&, const fs::path&)> write = [&](const FsNode& entry,
                                                                    const fs::path& into) {
        std::error_code error;
        fs::create_directories(into, error);
        if (error)
            throw InputError(into.string() + ": cannot make the host folder (" + error.message() + ")");
        for (const auto& child : entry.children) {
            fs::path target = into / child->name;
            if (child->directory) {
                write(*child, target);
                continue;
            }
            std::ofstream out(target, std::ios::binary | std::ios::trunc);
            out.write(child->data.data(), static_cast<std::streamsize>(child->data.size()));
            if (!out) throw InputError(target.string() + ": cannot write the host file");
        }
    };
    if (node->directory) {
        write(*node, host_folder);
        return;
    }
    FsNode holder;
    holder.children.push_back(std::shared_ptr<FsNode>(node, [](FsNode*) {}));
    write(holder, host_folder);
}

std::optional<std::string> FileSystem::ReadFile(const std::string& path) const {
    FsNode* node = SetupFind(path);
    if (!node || node->directory) return std::nullopt;
    return node->data;
}

void FileSystem::WriteFile(const std::string& path, const std::string& contents) {
    PathLookup found = CheckedSetupLookup(*this, path);
    if (found.full.size() <= 3) throw InputError("\"" + path + "\" names a drive, not a file");
    size_t cut = found.full.rfind('\\');
    std::string name = found.full.substr(cut + 1);
    FsNode& folder = SetupFolder(found.full.substr(0, cut == 2 ? 3 : cut));
    FsNode* file = FindChild(folder, name);
    if (file && file->directory) throw InputError("\"" + path + "\" is a folder");
    if (!file) file = &AddEntry(folder, name, false, found.drive->cdrom() ? 0 : FILE_ATTRIBUTE_ARCHIVE);
    file->data = contents;
    Touch(*file);
}

void FileSystem::CreateFolder(const std::string& path) {
    SetupFolder(path);
}

bool FileSystem::Exists(const std::string& path) const {
    return SetupFind(path) != nullptr;
}

std::optional<DWORD> FileSystem::Attributes(const std::string& path) const {
    Drive* drive = nullptr;
    FsNode* node = SetupFind(path, &drive);
    if (!node) return std::nullopt;
    return ReportedAttributes(*drive, *node);
}

void FileSystem::SetAttributes(const std::string& path, DWORD attributes) {
    CheckedSetupLookup(*this, path);
    FsNode* node = SetupFind(path);
    if (!node) throw InputError("\"" + path + "\": no such file or folder");
    node->attributes = attributes & kStoredAttributes;
}

std::vector<std::string> FileSystem::List(const std::string& folder) const {
    CheckedSetupLookup(*this, folder);
    Drive* drive = nullptr;
    FsNode* node = SetupFind(folder, &drive);
    if (!node || !node->directory) throw InputError("\"" + folder + "\": no such folder");
    std::vector<std::string> names;
    for (const FsNode* entry : Listing(*drive, *node)) names.push_back(entry->name);
    return names;
}

std::optional<std::string> FileSystem::ShortName(const std::string& path) const {
    FsNode* node = SetupFind(path);
    if (!node) return std::nullopt;
    return node->ShortOrName();
}

}  // namespace sim
