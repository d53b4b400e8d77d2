// Registry functions of the simulated machine. An opened key is a handle in the calling process's handle
// table; the predefined keys work as handles in every call and stand for the keys their views show at that
// moment.
//
// Where the two families differ, the behaviour follows the family of the machine's version: the 9x family
// takes a leading backslash, deletes whole trees with RegDeleteKeyA and answers a bad key with ERROR_BADKEY.
#include <algorithm>
#include <cstring>
#include <memory>

#include "sim/api/registry.h"
#include "sim/machine.h"
#include "sim/registry.h"

using namespace sim;

namespace {

constexpr REGSAM kKeyRights = KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_ENUMERATE_SUB_KEYS |
                              KEY_NOTIFY | KEY_CREATE_LINK;
constexpr REGSAM kGenericAll = 0x10000000;
constexpr REGSAM kGenericWrite = 0x40000000;
constexpr REGSAM kGenericRead = 0x80000000;
constexpr REGSAM kMaximumAllowed = 0x02000000;
// Windows documents a tree of at most 512 levels, of which one call creates at most 32.
constexpr int kMaxDepth = 512;
constexpr size_t kMaxLevelsPerCreate = 32;
// The last-write times count from 2001-01-01 00:00 UTC (in 100 ns units since 1601) plus the machine's time.
constexpr uint64_t kFileTimeEpoch = 126227808000000000ull;

struct KeyObject : KernelObject {
    std::shared_ptr<RegKey> key;
    REGSAM access = 0;
    std::string path;
    std::string Describe() const override { return "registry key " + path; }
};

// What an HKEY stands for in a call.
struct Target {
    std::shared_ptr<RegKey> key;
    REGSAM access = 0;
    bool predefined = false;
    bool classes_root = false;
};

Machine& M() {
    return CurrentMachine();
}
Registry& Reg() {
    return M().registry();
}
bool Nt() {
    return M().version().nt_family();
}

LONG BadKey() {
    return Nt() ? ERROR_INVALID_HANDLE : ERROR_BADKEY;
}

std::optional<RegRoot> PredefinedRoot(HKEY key) {
    if (key == HKEY_LOCAL_MACHINE) return RegRoot::LocalMachine;
    if (key == HKEY_USERS) return RegRoot::Users;
    if (key == HKEY_CURRENT_USER) return RegRoot::CurrentUser;
    if (key == HKEY_CLASSES_ROOT) return RegRoot::ClassesRoot;
    return std::nullopt;
}

LONG Resolve(HKEY hkey, Target& out) {
    if (std::optional<RegRoot> root = PredefinedRoot(hkey)) {
        out.key = Reg().RootKey(*root);
        out.access = kKeyRights;  // the simulated user may do anything through the predefined keys
        out.predefined = true;
        out.classes_root = *root == RegRoot::ClassesRoot;
        return ERROR_SUCCESS;
    }
    std::shared_ptr<KeyObject> object =
        CurrentProcess().handles.Get<KeyObject>(reinterpret_cast<HANDLE>(hkey));
    if (!object) return BadKey();
    out.key = object->key;
    out.access = object->access;
    return ERROR_SUCCESS;
}

// The handle's rights, then whether its key still exists: the order NT checks them in.
LONG Check(const Target& target, REGSAM needed) {
    if ((target.access & needed) != needed) return ERROR_ACCESS_DENIED;
    if (target.key->deleted) return ERROR_KEY_DELETED;
    return ERROR_SUCCESS;
}

REGSAM MapAccess(REGSAM desired) {
    if (desired & (kGenericAll | kMaximumAllowed)) desired |= kKeyRights;
    if (desired & kGenericRead) desired |= KEY_READ;
    if (desired & kGenericWrite) desired |= KEY_WRITE;
    return desired & kKeyRights;
}

// Splits a sub-key path the way the machine's Windows reads it: a trailing backslash is dropped; a leading
// one is refused on NT with ERROR_BAD_PATHNAME (HKEY_CLASSES_ROOT takes it from Windows 2000 on) and taken on
// the 9x family; a doubled backslash names an empty key, which is refused (NT's registry has no key named
// "").
LONG SplitSubKey(const char* sub_key, const Target& base, std::vector<std::string>& names) {
    names.clear();
    std::string_view path = sub_key ? sub_key : "";
    bool nt = Nt();
    if (!path.empty() && path[0] == '\\') {
        bool skip = !nt || (base.classes_root && M().version().major >= 5);
        if (!skip) return ERROR_BAD_PATHNAME;
        path.remove_prefix(1);
    }
    while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    size_t max_chars = Reg().limits().key_name_chars;
    size_t start = 0;
    while (start < path.size()) {
        size_t end = std::min(path.find('\\', start), path.size());
        if (end == start) return ERROR_INVALID_PARAMETER;
        if (end - start > max_chars) return ERROR_INVALID_PARAMETER;
        names.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return ERROR_SUCCESS;
}

// The key below base, or ERROR_FILE_NOT_FOUND.
LONG Walk(std::shared_ptr<RegKey> base, const std::vector<std::string>& names, std::shared_ptr<RegKey>& out) {
    for (const std::string& name : names) {
        auto it = base->subkeys.find(name);
        if (it == base->subkeys.end()) return ERROR_FILE_NOT_FOUND;
        base = it->second;
    }
    out = std::move(base);
    return ERROR_SUCCESS;
}

HKEY AddHandle(std::shared_ptr<RegKey> key, REGSAM access) {
    auto object = std::make_shared<KeyObject>();
    object->path = Reg().DisplayPath(*key);
    object->key = std::move(key);
    object->access = access;
    return reinterpret_cast<HKEY>(CurrentProcess().handles.Add(std::move(object)));
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Copies a value's data to a caller's buffer of *size bytes, or tells the size it needs. A string stored
// without its terminating NUL gets one in the caller's buffer when there is room, not counted in the size.
LONG CopyData(const RegValue& value, LPBYTE data, LPDWORD size) {
    DWORD needed = static_cast<DWORD>(value.data.size());
    if (!data) {
        if (size) *size = needed;
        return ERROR_SUCCESS;
    }
    if (*size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (needed) std::memcpy(data, value.data.data(), needed);
    bool unterminated = needed == 0 || value.data.back() != 0;
    if (IsStringType(value.type) && unterminated && *size > needed) data[needed] = 0;
    *size = needed;
    return ERROR_SUCCESS;
}

// The value-name rules of the ANSI functions: NT 4.0 and Windows 2000 convert names through a buffer of 260
// characters and answer a longer one with ERROR_MORE_DATA.
bool ValueNameOverflows(const char* name) {
    const VersionInfo& v = M().version();
    bool small_buffer = v.nt_family() && (v.major < 5 || (v.major == 5 && v.minor == 0));
    return small_buffer && name && std::strlen(name) > 260;
}

// The data RegSetValueExA stores. NT counts the NUL a caller left out of a string's size when it follows the
// data ("abc" with size 3 is stored as four bytes); without that NUL nothing is added.
std::vector<uint8_t> StoredData(DWORD type, const BYTE* data, DWORD size) {
    std::vector<uint8_t> bytes(data, data + size);
    if (Nt() && IsStringType(type) && size > 0 && data[size - 1] != 0 && data[size] == 0) bytes.push_back(0);
    return bytes;
}

LONG CheckSetArguments(const char* name, DWORD type, const BYTE* data, DWORD size) {
    if (ValueNameOverflows(name)) return ERROR_MORE_DATA;
    if (name && std::strlen(name) > Reg().limits().value_name_chars) return ERROR_INVALID_PARAMETER;
    if (!data && size) return Nt() ? ERROR_NOACCESS : ERROR_INVALID_PARAMETER;
    if (!data && !Nt() && type == REG_SZ) return ERROR_INVALID_PARAMETER;
    return ERROR_SUCCESS;
}

// Creates what is missing of names below base.
LONG CreateBelow(const Target& base, const std::vector<std::string>& names, std::shared_ptr<RegKey>& out,
                 bool& created) {
    std::shared_ptr<RegKey> key = base.key;
    size_t i = 0;
    for (; i < names.size(); ++i) {
        auto it = key->subkeys.find(names[i]);
        if (it == key->subkeys.end()) break;
        key = it->second;
    }
    created = i < names.size();
    if (created) {
        if (!(base.access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
        if (names.size() - i > kMaxLevelsPerCreate ||
            key->Depth() + static_cast<int>(names.size() - i) > kMaxDepth)
            return ERROR_INVALID_PARAMETER;
    }
    for (; i < names.size(); ++i) key = Reg().AddSubKey(*key, names[i]);
    out = std::move(key);
    return ERROR_SUCCESS;
}

void WriteFileTime(uint64_t time_ms, PFILETIME out) {
    uint64_t time = kFileTimeEpoch + time_ms * 10000;
    out->dwLowDateTime = static_cast<DWORD>(time);
    out->dwHighDateTime = static_cast<DWORD>(time >> 32);
}

// The sub-key RegDeleteKeyA deletes, with the reasons it may not.
LONG DeleteTarget(const Target& base, LPCSTR sub_key, std::shared_ptr<RegKey>& out) {
    std::vector<std::string> names;
    if (LONG error = SplitSubKey(sub_key, base, names)) return error;
    if (base.key->deleted) return ERROR_KEY_DELETED;
    if (LONG error = Walk(base.key, names, out)) return error;
    if (Reg().IsProtected(*out)) return ERROR_ACCESS_DENIED;
    // NT deletes only a key without sub-keys; the 9x family deletes the whole tree.
    if (Nt() && !out->subkeys.empty()) return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

}  // namespace

extern "C" {

LONG WINAPI RegOpenKeyExA(HKEY key, LPCSTR sub_key, DWORD, REGSAM desired, PHKEY result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    Target base;
    if (LONG error = Resolve(key, base)) return error;
    // A predefined key with no sub-key is the same handle again; any other key gets a new handle.
    if (base.predefined && (!sub_key || !*sub_key)) {
        *result = key;
        return ERROR_SUCCESS;
    }
    *result = nullptr;
    std::vector<std::string> names;
    if (LONG error = SplitSubKey(sub_key, base, names)) return error;
    if (base.key->deleted) return ERROR_KEY_DELETED;
    std::shared_ptr<RegKey> found;
    if (LONG error = Walk(base.key, names, found)) return error;
    *result = AddHandle(std::move(found), MapAccess(desired));
    return ERROR_SUCCESS;
}

LONG WINAPI RegCreateKeyExA(HKEY key, LPCSTR sub_key, DWORD, LPSTR, DWORD, REGSAM desired,
                            LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition) {
    if (!result) return ERROR_INVALID_PARAMETER;
    Target base;
    if (LONG error = Resolve(key, base)) return error;
    *result = nullptr;
    std::vector<std::string> names;
    if (LONG error = SplitSubKey(sub_key, base, names)) return error;
    if (base.key->deleted) return ERROR_KEY_DELETED;
    std::shared_ptr<RegKey> found;
    bool created = false;
    if (LONG error = CreateBelow(base, names, found, created)) return error;
    *result = AddHandle(std::move(found), MapAccess(desired));
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LONG WINAPI RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD name_size, LPDWORD reserved,
                          LPSTR class_name, LPDWORD class_size, PFILETIME last_write) {
    Target target;
    if (LONG error = Resolve(key, target)) return error;
    if (!name || !name_size || reserved || (class_name && !class_size)) return ERROR_INVALID_PARAMETER;
    if (LONG error = Check(target, KEY_ENUMERATE_SUB_KEYS)) return error;
    if (index >= target.key->subkeys.size()) return ERROR_NO_MORE_ITEMS;
    if (class_name && *class_size < 1) return ERROR_MORE_DATA;  // keys have no class: it is always ""
    const RegKey& child = *std::next(target.key->subkeys.begin(), index)->second;
    // The size counts the NUL on the way in and not on the way out; a name that does not fit leaves both
    // the buffer and the size as they were.
    if (*name_size <= child.name.size()) return ERROR_MORE_DATA;
    std::memcpy(name, child.name.c_str(), child.name.size() + 1);
    *name_size = static_cast<DWORD>(child.name.size());
    if (class_name) {
        class_name[0] = '\0';
        *class_size = 0;
    }
    if (last_write) WriteFileTime(child.last_write_ms, last_write);
    return ERROR_SUCCESS;
}

LONG WINAPI RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD name_size, LPDWORD reserved,
                          LPDWORD type, LPBYTE data, LPDWORD data_size) {
    Target target;
    if (LONG error = Resolve(key, target)) return error;
    if (!name || !name_size || reserved || (data && !data_size)) return ERROR_INVALID_PARAMETER;
    if (LONG error = Check(target, KEY_QUERY_VALUE)) return error;
    if (index >= target.key->values.size()) return ERROR_NO_MORE_ITEMS;
    const RegNamedValue& value = target.key->values[index];
    if (type) *type = value.value.type;
    // When the name or the data does not fit, neither is written; the data size tells what the data needs.
    bool name_fits = *name_size > value.name.size();
    bool data_fits = !data || *data_size >= value.value.data.size();
    if (!name_fits || !data_fits) {
        if (data_size) *data_size = static_cast<DWORD>(value.value.data.size());
        return ERROR_MORE_DATA;
    }
    std::memcpy(name, value.name.c_str(), value.name.size() + 1);
    *name_size = static_cast<DWORD>(value.name.size());
    return CopyData(value.value, data, data_size);
}

LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR value_name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                             LPDWORD data_size) {
    Target target;
    if (LONG error = Resolve(key, target)) return error;
    if (reserved || (data && !data_size)) return ERROR_INVALID_PARAMETER;
    if (LONG error = Check(target, KEY_QUERY_VALUE)) return error;
    if (ValueNameOverflows(value_name)) return ERROR_MORE_DATA;
    const RegNamedValue* value = target.key->FindValue(value_name ? value_name : "");
    if (!value) {
        if (data_size && !data) *data_size = 0;
        return ERROR_FILE_NOT_FOUND;
    }
    if (type) *type = value->value.type;
    return CopyData(value->value, data, data_size);
}

LONG WINAPI RegSetValueExA(HKEY key, LPCSTR value_name, DWORD, DWORD type, const BYTE* data,
                           DWORD data_size) {
    Target target;
    if (LONG error = Resolve(key, target)) return error;
    if (LONG error = Check(target, KEY_SET_VALUE)) return error;
    if (LONG error = CheckSetArguments(value_name, type, data, data_size)) return error;
    RegValue value;
    value.type = type;
    if (data) value.data = StoredData(type, data, data_size);
    Reg().PutValue(*target.key, value_name ? value_name : "", value);
    return ERROR_SUCCESS;
}

LONG WINAPI RegDeleteValueA(HKEY key, LPCSTR value_name) {
    Target target;
    if (LONG error = Resolve(key, target)) return error;
    if (LONG error = Check(target, KEY_SET_VALUE)) return error;
    if (ValueNameOverflows(value_name)) return ERROR_MORE_DATA;
    return Reg().RemoveValue(*target.key, value_name ? value_name : "") ? ERROR_SUCCESS
                                                                        : ERROR_FILE_NOT_FOUND;
}

// The rights of the handle do not matter here: Windows opens the sub-key anew to delete it.
LONG WINAPI RegDeleteKeyA(HKEY key, LPCSTR sub_key) {
    Target base;
    if (LONG error = Resolve(key, base)) return error;
    if (!sub_key) {
        const VersionInfo& v = M().version();
        if (!v.nt_family()) return ERROR_BADKEY;
        // NT 4.0 and Windows 2000 take a NULL sub-key for the key itself; later versions refuse it.
        if (v.major > 5 || (v.major == 5 && v.minor >= 1)) return ERROR_INVALID_PARAMETER;
    }
    std::shared_ptr<RegKey> target;
    if (LONG error = DeleteTarget(base, sub_key, target)) return error;
    Reg().RemoveKey(*target);
    return ERROR_SUCCESS;
}

LONG WINAPI RegCloseKey(HKEY key) {
    if (PredefinedRoot(key)) return ERROR_SUCCESS;
    HANDLE handle = reinterpret_cast<HANDLE>(key);
    Process& process = CurrentProcess();
    if (!process.handles.Get<KeyObject>(handle)) {
        // Windows 95 does not mind a key closed twice.
        if (!Nt()) return key ? ERROR_SUCCESS : ERROR_BADKEY;
        return ERROR_INVALID_HANDLE;
    }
    process.handles.Close(handle);
    return ERROR_SUCCESS;
}

}  // extern "C"
