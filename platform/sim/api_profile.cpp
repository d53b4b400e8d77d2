// The profile functions of api/profile.h on the machine's file system, with Windows' rules for reading and
// editing the [section] key=value text of INI and INF files.
//
// Reading: blanks (space, tab, vertical tab) around lines, names and values do not count; section and key
// names match without regard to case; a line starting with ';' is a comment; a line without '=' is no key;
// text before the first section belongs to none; of two sections or keys of one name the first counts; one
// pair of matching quotes around a value goes.
//
// Writing edits the file's lines in place: a new key goes after the last entry of its section, a new section
// at the end of the file; every other line stays as it was, with its own line end. New lines end in CR LF.
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/api/profile.h"
#include "sim/filesystem.h"
#include "sim/machine.h"

namespace {

using sim::FileSystem;
using sim::FsNode;
using sim::PathLookup;

FileSystem& Files() {
    return sim::CurrentMachine().files();
}

void SetError(DWORD error) {
    sim::CurrentThread().last_error = error;
}

template <class T = BOOL>
T Fail(DWORD error, T failure = FALSE) {
    SetError(error);
    return failure;
}

// --- Text in the ANSI code page ---

bool IsLeadByte(char c) {
    auto byte = static_cast<unsigned char>(c);
    switch (sim::CurrentMachine().code_page) {
        case 932:
            return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        case 936:
        case 949:
        case 950:
            return byte >= 0x81 && byte <= 0xFE;
        default:
            return false;
    }
}

// The first c at or after from that is a character of its own, not the second byte of a double-byte
// character ("]" and "[" are such second bytes in code page 932).
size_t FindChar(std::string_view text, char c, size_t from = 0) {
    for (size_t i = from; i < text.size(); ++i) {
        if (text[i] == c) return i;
        if (IsLeadByte(text[i])) ++i;
    }
    return std::string_view::npos;
}

// Names match without regard to the case of their letters; double-byte characters match byte for byte.
bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (IsLeadByte(a[i]) && i + 1 < a.size()) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
            ++i;
        } else if (sim::FoldCase(a[i]) != sim::FoldCase(b[i])) {
            return false;
        }
    }
    return true;
}

// The file's lines lose spaces, tabs and vertical tabs at both ends; a caller's names lose only spaces.
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v';
}
bool IsSpace(char c) {
    return c == ' ';
}

std::string Trim(std::string_view text, bool (*blank)(char) = IsBlank) {
    size_t begin = 0, end = text.size();
    while (begin < end && blank(text[begin])) ++begin;
    while (end > begin && blank(text[end - 1])) --end;
    return std::string(text.substr(begin, end - begin));
}

std::string Unquote(const std::string& value) {
    bool quoted = value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0];
    return quoted ? value.substr(1, value.size() - 2) : value;
}

// --- A profile file's lines ---

enum class Kind { kBlank, kComment, kSection, kEntry, kOther };

struct Line {
    std::string text;
    std::string end;  // "\r\n", "\n" or "\r"; empty for a last line without one
    Kind kind = Kind::kBlank;
    std::string name;   // a section's name or an entry's key
    std::string value;  // an entry's value as written
};

void Parse(Line& line) {
    std::string text = Trim(line.text);
    line.kind = Kind::kBlank;
    line.name.clear();
    line.value.clear();
    if (text.empty()) return;
    if (text[0] == ';') {
        line.kind = Kind::kComment;
    } else if (text[0] == '[') {
        // The name ends at the first ']', or with the line when there is none; what follows does not count.
        line.kind = Kind::kSection;
        size_t close = FindChar(text, ']', 1);
        line.name = Trim(std::string_view(text).substr(1, close == std::string::npos ? close : close - 1));
    } else if (size_t equals = FindChar(text, '='); equals != std::string::npos) {
        line.kind = Kind::kEntry;
        line.name = Trim(std::string_view(text).substr(0, equals));
        line.value = Trim(std::string_view(text).substr(equals + 1));
    } else {
        line.kind = Kind::kOther;
        line.name = text;
    }
}

Line MakeLine(std::string text, std::string end = "\r\n") {
    Line line;
    line.text = std::move(text);
    line.end = std::move(end);
    Parse(line);
    return line;
}

// The lines of a section: its header and the lines up to the next header.
struct Section {
    size_t header = 0;
    size_t end = 0;
};

class Profile {
  public:
    explicit Profile(const std::string& data) {
        size_t start = 0;
        for (size_t i = 0; i < data.size(); ++i) {
            if (data[i] != '\r' && data[i] != '\n') continue;
            size_t width = data[i] == '\r' && i + 1 < data.size() && data[i + 1] == '\n' ? 2 : 1;
            lines_.push_back(MakeLine(data.substr(start, i - start), data.substr(i, width)));
            i += width - 1;
            start = i + 1;
        }
        if (start < data.size()) lines_.push_back(MakeLine(data.substr(start), ""));
    }

    std::string Text() const {
        std::string text;
        for (const Line& line : lines_) text += line.text + line.end;
        return text;
    }

    std::vector<std::string> SectionNames() const {
        std::vector<std::string> names;
        for (const Line& line : lines_)
            if (line.kind == Kind::kSection) names.push_back(line.name);
        return names;
    }

    std::optional<Section> Find(const std::string& name) const {
        for (size_t i = 0; i < lines_.size(); ++i) {
            if (lines_[i].kind != Kind::kSection || !SameName(lines_[i].name, name)) continue;
            size_t end = i + 1;
            while (end < lines_.size() && lines_[end].kind != Kind::kSection) ++end;
            return Section{i, end};
        }
        return std::nullopt;
    }

    std::optional<size_t> FindEntry(const Section& section, const std::string& key) const {
        for (size_t i = section.header + 1; i < section.end; ++i)
            if (lines_[i].kind == Kind::kEntry && SameName(lines_[i].name, key)) return i;
        return std::nullopt;
    }

    // The entries (with '=') of a section, or every line of it that is neither blank nor a comment.
    std::vector<size_t> Content(const Section& section, bool entries_only) const {
        std::vector<size_t> content;
        for (size_t i = section.header + 1; i < section.end; ++i) {
            Kind kind = lines_[i].kind;
            if (kind == Kind::kEntry || (kind == Kind::kOther && !entries_only)) content.push_back(i);
        }
        return content;
    }

    const Line& line(size_t i) const { return lines_[i]; }

    // --- Edits ---

    void SetValue(const std::string& section_name, const std::string& key, const std::string& value) {
        std::optional<Section> section = Find(section_name);
        if (!section) {
            Append("[" + section_name + "]");
            Append(key + "=" + value);
        } else if (std::optional<size_t> entry = FindEntry(*section, key)) {
            Replace(*entry, lines_[*entry].name + "=" + value);  // the key keeps the spelling the file has
        } else {
            std::vector<size_t> content = Content(*section, false);
            InsertAfter(content.empty() ? section->header : content.back(), key + "=" + value);
        }
    }

    void DeleteKey(const std::string& section_name, const std::string& key) {
        std::optional<Section> section = Find(section_name);
        if (!section) return;
        if (std::optional<size_t> entry = FindEntry(*section, key)) Remove(*entry);
    }

    // The header and the section's lines go; its comments stay where they are.
    void DeleteSection(const std::string& section_name) {
        std::optional<Section> section = Find(section_name);
        if (!section) return;
        for (size_t i = section->end; i-- > section->header;)
            if (lines_[i].kind != Kind::kComment) Remove(i);
    }

    // The new lines take the places of the old ones in order, so comments between them stay where they were.
    void ReplaceSection(const std::string& section_name, const std::vector<std::string>& entries) {
        std::optional<Section> section = Find(section_name);
        if (!section) {
            Append("[" + section_name + "]");
            for (const std::string& entry : entries) Append(entry);
            return;
        }
        std::vector<size_t> old_lines = Content(*section, false);
        size_t common = std::min(old_lines.size(), entries.size());
        for (size_t i = 0; i < common; ++i) Replace(old_lines[i], entries[i]);
        size_t after = old_lines.empty() ? section->header : old_lines.back();
        for (size_t i = common; i < entries.size(); ++i) InsertAfter(after++, entries[i]);
        for (size_t i = old_lines.size(); i-- > common;) Remove(old_lines[i]);
    }

  private:
    void Append(const std::string& text) {
        if (!lines_.empty() && lines_.back().end.empty()) lines_.back().end = "\r\n";
        lines_.push_back(MakeLine(text));
    }
    void InsertAfter(size_t i, const std::string& text) {
        if (lines_[i].end.empty()) lines_[i].end = "\r\n";
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(i) + 1, MakeLine(text));
    }
    void Replace(size_t i, const std::string& text) { lines_[i] = MakeLine(text, lines_[i].end); }
    void Remove(size_t i) { lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i)); }

    std::vector<Line> lines_;
};

// --- The file ---

// A name without a folder is a file in the Windows folder; a path goes the way every program path goes.
PathLookup FindProfile(const char* file) {
    std::string path = file ? file : "win.ini";
    if (path.find_first_of("\\/:") == std::string::npos) path = Files().WindowsDir() + "\\" + path;
    return Files().Lookup(path.c_str(), sim::CurrentProcess().current_dir);
}

// The file's text; a file that cannot be read reads as empty and leaves its error.
struct Source {
    DWORD error = 0;
    std::string data;
};

Source ReadProfile(const char* file) {
    PathLookup found = FindProfile(file);
    if (found.error) return {found.error, ""};
    if (!found.exists()) return {ERROR_FILE_NOT_FOUND, ""};
    if (found.node->directory) return {ERROR_ACCESS_DENIED, ""};
    return {0, found.node->data};
}

// What opening the file for writing would say; 0 when it may be written (or made).
DWORD WriteRefusal(const PathLookup& found) {
    // CDFS refuses writing access to what it finds, and a new file once it has found the folder.
    if (found.drive && found.drive->cdrom() && found.drive->medium && !found.error)
        return ERROR_ACCESS_DENIED;
    if (found.error) return found.error;
    if (found.exists() && found.node->directory) return ERROR_ACCESS_DENIED;
    if (DWORD error = Files().WriteError(*found.drive)) return error;
    if (found.exists() && (found.node->attributes & FILE_ATTRIBUTE_READONLY)) return ERROR_ACCESS_DENIED;
    return 0;
}

// Edits the file's lines and stores the result, making the file when it is missing (even when the edit
// changes nothing, as Windows does). what says in the transcript what changed.
BOOL Rewrite(const char* file, const std::function<void(Profile&)>& edit, const std::string& what) {
    FileSystem& files = Files();
    PathLookup found = FindProfile(file);
    if (DWORD error = WriteRefusal(found)) return Fail(error);
    bool create = !found.exists();
    std::string old_data = create ? "" : found.node->data;
    Profile profile(old_data);
    edit(profile);
    std::string data = profile.Text();
    if (!create && data == old_data) return TRUE;
    if (!files.Reserve(*found.drive, old_data.size(), data.size())) return Fail(ERROR_DISK_FULL);
    FsNode& node =
        create ? files.AddEntry(*found.folder, found.name, false, FILE_ATTRIBUTE_ARCHIVE) : *found.node;
    node.data = data;
    node.attributes |= FILE_ATTRIBUTE_ARCHIVE;
    files.Touch(node);
    files.Log("profile write " + files.PathOf(node) + " " + what);
    if (create)
        SetError(ERROR_FILE_NOT_FOUND);  // Windows succeeds and still reports the file it did not find
    return TRUE;
}

// The call with every argument null asks to flush a cache of the file, which the simulator does not keep; the
// 9x family reports the flush as 0, the NT family as success.
BOOL FlushAnswer() {
    return sim::CurrentMachine().version().nt_family() ? TRUE : FALSE;
}

// --- Answers into the caller's buffer ---

// One string, cut to size - 1 characters.
DWORD CopyString(const std::string& text, char* buffer, DWORD size) {
    if (text.size() < size) {
        std::memcpy(buffer, text.c_str(), text.size() + 1);
        return static_cast<DWORD>(text.size());
    }
    std::memcpy(buffer, text.data(), size - 1);
    buffer[size - 1] = '\0';
    SetError(ERROR_MORE_DATA);
    return size - 1;
}

// Strings each ending in a NUL, with a final NUL. A list that does not fit is cut to size - 2 characters and
// ends in two NULs. Windows' listing of section names cuts a list that would fill the buffer exactly, too.
DWORD CopyList(const std::vector<std::string>& items, char* buffer, DWORD size, bool cut_exact_fit) {
    std::string list;
    for (const std::string& item : items) list += item + '\0';
    size_t room = cut_exact_fit ? size - 1 : size;
    if (list.empty() || list.size() + 1 <= room) {
        std::memcpy(buffer, list.data(), list.size());
        buffer[list.size()] = '\0';
        return static_cast<DWORD>(list.size());
    }
    if (size < 2) {
        buffer[0] = '\0';
        return 0;
    }
    std::memcpy(buffer, list.data(), size - 2);
    buffer[size - 2] = buffer[size - 1] = '\0';
    SetError(ERROR_MORE_DATA);
    return size - 2;
}

// What GetPrivateProfileStringA finds: a value (or the default), or a list of section or key names.
struct Answer {
    bool is_list = false;
    std::string text;
    std::vector<std::string> list;
};

Answer Query(const char* app, const char* key, const char* fallback, const char* file) {
    Source source = ReadProfile(file);
    if (source.error) SetError(source.error);
    Profile profile(source.data);
    Answer answer;
    answer.is_list = !app || !key;
    if (!app) {
        answer.list = profile.SectionNames();
        return answer;
    }
    std::optional<Section> section = profile.Find(Trim(app, IsSpace));
    if (!key) {
        if (section)
            for (size_t i : profile.Content(*section, true)) answer.list.push_back(profile.line(i).name);
        return answer;
    }
    if (section)
        if (std::optional<size_t> entry = profile.FindEntry(*section, Trim(key, IsSpace))) {
            answer.text = Unquote(profile.line(*entry).value);
            return answer;
        }
    // The default loses its trailing spaces.
    answer.text = fallback ? fallback : "";
    while (!answer.text.empty() && answer.text.back() == ' ') answer.text.pop_back();
    return answer;
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The number a text starts with: blanks, a sign, then decimal digits, or 0x and hexadecimal digits. It wraps
// at 32 bits (4294967297 reads as 1); a text without leading digits reads as 0.
UINT ParseNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    uint32_t base = 10;
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    uint32_t value = 0;
    for (int digit;
         i < text.size() && (digit = DigitValue(text[i])) >= 0 && static_cast<uint32_t>(digit) < base; ++i)
        value = value * base + static_cast<uint32_t>(digit);
    return negative ? 0u - value : value;
}

// The strings of a section's new content: "key=value\0key2=value2\0\0".
std::vector<std::string> SplitStrings(const char* strings) {
    std::vector<std::string> items;
    for (const char* at = strings; *at; at += std::strlen(at) + 1) items.emplace_back(at);
    return items;
}

}  // namespace

extern "C" {

DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                      LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName) {
    if (!lpReturnedString) return Fail<DWORD>(ERROR_INVALID_PARAMETER, 0);
    if (nSize == 0) return 0;
    Answer answer = Query(lpAppName, lpKeyName, lpDefault, lpFileName);
    if (answer.is_list) return CopyList(answer.list, lpReturnedString, nSize, !lpAppName);
    return CopyString(answer.text, lpReturnedString, nSize);
}

UINT WINAPI GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault, LPCSTR lpFileName) {
    // A null name reads the first name of the list it asks for.
    Answer answer = Query(lpAppName, lpKeyName, nullptr, lpFileName);
    std::string text = answer.is_list ? (answer.list.empty() ? "" : answer.list[0]) : answer.text;
    if (text.empty()) return static_cast<UINT>(nDefault);
    return ParseNumber(text);
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                       LPCSTR lpFileName) {
    if (!lpAppName && !lpKeyName && !lpString) return FlushAnswer();
    if (!lpAppName) return Fail(ERROR_FILE_NOT_FOUND);
    std::string section = Trim(lpAppName, IsSpace);
    std::string where = "[" + section + "]";
    if (!lpKeyName)
        return Rewrite(
            lpFileName, [&](Profile& profile) { profile.DeleteSection(section); }, where + " (deleted)");
    std::string key = Trim(lpKeyName, IsSpace);
    if (!lpString)
        return Rewrite(
            lpFileName, [&](Profile& profile) { profile.DeleteKey(section, key); },
            where + " " + key + " (deleted)");
    std::string value = lpString;  // written as given: the blanks around it only go when it is read
    return Rewrite(
        lpFileName, [&](Profile& profile) { profile.SetValue(section, key, value); },
        where + " " + key + "=" + value);
}

DWORD WINAPI GetPrivateProfileSectionA(LPCSTR lpAppName, LPSTR lpReturnedString, DWORD nSize,
                                       LPCSTR lpFileName) {
    if (!lpAppName || !lpReturnedString || nSize == 0) return Fail<DWORD>(ERROR_INVALID_PARAMETER, 0);
    Source source = ReadProfile(lpFileName);
    Profile profile(source.data);
    std::vector<std::string> lines;
    if (std::optional<Section> section = profile.Find(Trim(lpAppName, IsSpace))) {
        for (size_t i : profile.Content(*section, false)) {
            const Line& line = profile.line(i);
            lines.push_back(line.kind == Kind::kEntry ? line.name + "=" + line.value : line.name);
        }
    }
    SetError(source.error);
    return CopyList(lines, lpReturnedString, nSize, false);
}

BOOL WINAPI WritePrivateProfileSectionA(LPCSTR lpAppName, LPCSTR lpString, LPCSTR lpFileName) {
    if (!lpAppName && !lpString) return FlushAnswer();
    if (!lpAppName) return Fail(ERROR_FILE_NOT_FOUND);
    std::string section = Trim(lpAppName, IsSpace);
    std::string where = "[" + section + "]";
    if (!lpString)
        return Rewrite(
            lpFileName, [&](Profile& profile) { profile.DeleteSection(section); }, where + " (deleted)");
    std::vector<std::string> entries = SplitStrings(lpString);
    std::string what = where + " (" + std::to_string(entries.size()) + " lines)";
    return Rewrite(
        lpFileName, [&](Profile& profile) { profile.ReplaceSection(section, entries); }, what);
}

DWORD WINAPI GetPrivateProfileSectionNamesA(LPSTR lpszReturnBuffer, DWORD nSize, LPCSTR lpFileName) {
    return GetPrivateProfileStringA(nullptr, nullptr, nullptr, lpszReturnBuffer, nSize, lpFileName);
}

}  // extern "C"
