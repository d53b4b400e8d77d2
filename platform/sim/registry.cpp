#include "sim/registry.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "sim/errors.h"
#include "sim/machine.h"

namespace sim {

namespace {

// The user of an NT machine: a fixed SID, so that runs repeat exactly.
const char kNtUserSid[] = "S-1-5-21-1004336348-1177238915-682003330-1003";
const char kDefaultUser[] = ".DEFAULT";

// A transcript line stays readable however large the value.
constexpr size_t kLogDataChars = 120;

std::shared_ptr<RegKey> NewKey(std::string name, RegKey* parent) {
    auto key = std::make_shared<RegKey>();
    key->name = std::move(name);
    key->parent = parent;
    return key;
}

// The sub-key of parent called name, made without a transcript line: the machine's own structure.
std::shared_ptr<RegKey> EnsureQuietly(RegKey& parent, const std::string& name) {
    auto it = parent.subkeys.find(name);
    if (it != parent.subkeys.end()) return it->second;
    auto key = NewKey(name, &parent);
    parent.subkeys.emplace(name, key);
    return key;
}

void MarkDeleted(RegKey& key) {
    for (auto& [name, child] : key.subkeys) {
        MarkDeleted(*child);
        child->parent = nullptr;
    }
    key.subkeys.clear();
    key.values.clear();
    key.deleted = true;
}

std::string LogData(const RegValue& value) {
    std::string text = regfile::FormatData(value);
    if (text.size() <= kLogDataChars) return text;
    return text.substr(0, kLogDataChars - 20) + "... (" + std::to_string(value.data.size()) + " bytes)";
}

std::string NamedValuePath(const std::string& key_path, const std::string& name) {
    return key_path + "\\" + regfile::FormatName(name);
}

}  // namespace

// ---- values ----

RegValue RegValue::Dword(uint32_t value) {
    RegValue v;
    v.type = REG_DWORD;
    for (int i = 0; i < 4; ++i) v.data.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return v;
}

RegValue RegValue::String(std::string_view text, DWORD type) {
    RegValue v;
    v.type = type;
    v.data.assign(text.begin(), text.end());
    v.data.push_back(0);
    return v;
}

RegValue RegValue::Binary(std::vector<uint8_t> bytes, DWORD type) {
    RegValue v;
    v.type = type;
    v.data = std::move(bytes);
    return v;
}

RegValue RegValue::MultiString(const std::vector<std::string>& strings) {
    RegValue v;
    v.type = REG_MULTI_SZ;
    for (const std::string& s : strings) {
        v.data.insert(v.data.end(), s.begin(), s.end());
        v.data.push_back(0);
    }
    v.data.push_back(0);
    return v;
}

std::optional<uint32_t> RegValue::dword() const {
    if (type != REG_DWORD || data.size() != 4) return std::nullopt;
    return uint32_t{data[0]} | uint32_t{data[1]} << 8 | uint32_t{data[2]} << 16 | uint32_t{data[3]} << 24;
}

std::optional<std::string> RegValue::text() const {
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) return std::nullopt;
    std::string s(data.begin(), data.end());
    return s.substr(0, s.find('\0'));
}

// ---- keys ----

RegKey* RegKey::FindSubKey(std::string_view sub_name) const {
    auto it = subkeys.find(sub_name);
    return it == subkeys.end() ? nullptr : it->second.get();
}

const RegNamedValue* RegKey::FindValue(std::string_view value_name) const {
    for (const RegNamedValue& v : values)
        if (EqualsNoCase(v.name, value_name)) return &v;
    return nullptr;
}

int RegKey::Depth() const {
    int depth = 0;
    for (const RegKey* k = parent; k; k = k->parent) ++depth;
    return depth;
}

// ---- paths ----

RegLimits RegLimitsFor(const VersionInfo& version) {
    // The 9x family documents 255 characters for key and value names. NT takes key names of up to 256
    // characters (257 fail with ERROR_INVALID_PARAMETER) and value names of up to 16,383.
    if (!version.nt_family()) return {255, 255};
    return {256, 16383};
}

std::optional<RegRoot> ParseRegRoot(std::string_view name) {
    static const std::pair<const char*, RegRoot> kNames[] = {
        {"HKEY_LOCAL_MACHINE", RegRoot::LocalMachine},
        {"HKLM", RegRoot::LocalMachine},
        {"HKEY_USERS", RegRoot::Users},
        {"HKU", RegRoot::Users},
        {"HKEY_CURRENT_USER", RegRoot::CurrentUser},
        {"HKCU", RegRoot::CurrentUser},
        {"HKEY_CLASSES_ROOT", RegRoot::ClassesRoot},
        {"HKCR", RegRoot::ClassesRoot},
    };
    for (const auto& [text, root] : kNames)
        if (EqualsNoCase(name, text)) return root;
    return std::nullopt;
}

std::string RegRootName(RegRoot root) {
    switch (root) {
        case RegRoot::LocalMachine:
            return "HKEY_LOCAL_MACHINE";
        case RegRoot::Users:
            return "HKEY_USERS";
        case RegRoot::CurrentUser:
            return "HKEY_CURRENT_USER";
        case RegRoot::ClassesRoot:
            return "HKEY_CLASSES_ROOT";
    }
    return "";
}

std::string RegRootShortName(RegRoot root) {
    switch (root) {
        case RegRoot::LocalMachine:
            return "HKLM";
        case RegRoot::Users:
            return "HKU";
        case RegRoot::CurrentUser:
            return "HKCU";
        case RegRoot::ClassesRoot:
            return "HKCR";
    }
    return "";
}

std::optional<RegPath> ParseRegPath(std::string_view path, const RegLimits& limits, std::string* error) {
    auto fail = [&](std::string what) -> std::optional<RegPath> {
        if (error) *error = std::move(what);
        return std::nullopt;
    };
    while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    size_t slash = path.find('\\');
    std::string_view root_name = path.substr(0, slash);
    std::optional<RegRoot> root = ParseRegRoot(root_name);
    if (!root) return fail("unknown root key \"" + std::string(root_name) + "\"");
    RegPath result{*root, {}};
    while (slash != std::string_view::npos) {
        size_t next = path.find('\\', slash + 1);
        std::string_view name =
            path.substr(slash + 1, next == std::string_view::npos ? next : next - slash - 1);
        if (name.empty()) return fail("empty key name (doubled backslash)");
        if (name.size() > limits.key_name_chars)
            return fail("key name longer than " + std::to_string(limits.key_name_chars) + " characters");
        result.names.emplace_back(name);
        slash = next;
    }
    return result;
}

// ---- the registry ----

Registry::Registry(Machine& machine)
    : machine_(machine),
      local_machine_(NewKey("HKEY_LOCAL_MACHINE", nullptr)),
      users_(NewKey("HKEY_USERS", nullptr)) {
    EnsureQuietly(*EnsureQuietly(*local_machine_, "SOFTWARE"), "Classes");
    EnsureQuietly(*local_machine_, "SYSTEM");
    // HKEY_USERS\.DEFAULT is there on both families; on NT the user has a key of their own beside it.
    EnsureQuietly(*EnsureQuietly(*users_, kDefaultUser), "Software");
    if (machine_.version().nt_family()) EnsureQuietly(*EnsureQuietly(*users_, kNtUserSid), "Software");
}

Registry::~Registry() = default;

std::string Registry::CurrentUserKeyName() const {
    return machine_.version().nt_family() ? kNtUserSid : kDefaultUser;
}

RegLimits Registry::limits() const {
    return RegLimitsFor(machine_.version());
}

// The views are looked up on each use: the version can change after the machine was made, and a program can
// delete what a view shows.
std::shared_ptr<RegKey> Registry::UserKey() const {
    return EnsureQuietly(*users_, CurrentUserKeyName());
}

std::shared_ptr<RegKey> Registry::ClassesKey() const {
    return EnsureQuietly(*EnsureQuietly(*local_machine_, "SOFTWARE"), "Classes");
}

std::shared_ptr<RegKey> Registry::RootKey(RegRoot root) const {
    switch (root) {
        case RegRoot::LocalMachine:
            return local_machine_;
        case RegRoot::Users:
            return users_;
        case RegRoot::CurrentUser:
            return UserKey();
        case RegRoot::ClassesRoot:
            return ClassesKey();
    }
    return nullptr;
}

std::shared_ptr<RegKey> Registry::Resolve(const RegPath& path) const {
    std::shared_ptr<RegKey> key = RootKey(path.root);
    for (const std::string& name : path.names) {
        auto it = key->subkeys.find(name);
        if (it == key->subkeys.end()) return nullptr;
        key = it->second;
    }
    return key;
}

bool Registry::IsProtected(const RegKey& key) const {
    if (&key == local_machine_.get() || &key == users_.get()) return true;
    if (key.parent == users_.get() &&
        (EqualsNoCase(key.name, kDefaultUser) || EqualsNoCase(key.name, kNtUserSid)))
        return true;
    return &key == ClassesKey().get() || &key == ClassesKey()->parent;
}

std::string Registry::DisplayPath(const RegKey& key) const {
    const RegKey* classes = ClassesKey().get();
    const RegKey* user = UserKey().get();
    std::string path;
    for (const RegKey* k = &key; k; k = k->parent) {
        if (k == classes) return "HKCR" + path;
        if (k == user) return "HKCU" + path;
        if (k == local_machine_.get()) return "HKLM" + path;
        if (k == users_.get()) return "HKU" + path;
        path = "\\" + k->name + path;
    }
    return "(deleted)" + path;
}

void Registry::Log(const std::string& text) {
    if (logging_) machine_.Log("reg", text);
}

void Registry::Touch(RegKey& key) {
    key.last_write_ms = machine_.now_ms();
}

std::shared_ptr<RegKey> Registry::AddSubKey(RegKey& parent, const std::string& name) {
    auto key = NewKey(name, &parent);
    parent.subkeys.emplace(name, key);
    Touch(parent);
    Touch(*key);
    Log("create " + DisplayPath(*key));
    return key;
}

void Registry::PutValue(RegKey& key, const std::string& name, const RegValue& value) {
    bool found = false;
    for (RegNamedValue& v : key.values)
        if (EqualsNoCase(v.name, name)) {
            v.value = value;  // the name keeps the spelling it was first set with
            found = true;
        }
    if (!found) key.values.push_back({name, value});
    Touch(key);
    Log("set " + NamedValuePath(DisplayPath(key), name) + " = " + LogData(value));
}

bool Registry::RemoveValue(RegKey& key, std::string_view name) {
    for (auto it = key.values.begin(); it != key.values.end(); ++it)
        if (EqualsNoCase(it->name, name)) {
            std::string line = "delete value " + NamedValuePath(DisplayPath(key), it->name);
            key.values.erase(it);
            Touch(key);
            Log(line);
            return true;
        }
    return false;
}

void Registry::RemoveKey(RegKey& key) {
    if (!key.parent) return;
    std::string line = "delete key " + DisplayPath(key);
    if (!key.subkeys.empty()) line += " (with its sub-keys)";
    RegKey& parent = *key.parent;
    std::shared_ptr<RegKey> keep = parent.subkeys.at(key.name);  // alive until this returns
    parent.subkeys.erase(key.name);
    MarkDeleted(key);
    key.parent = nullptr;
    Touch(parent);
    Log(line);
}

// ---- access by path ----

std::shared_ptr<RegKey> Registry::ResolveOrThrow(const std::string& path) const {
    std::string error;
    std::optional<RegPath> parsed = ParseRegPath(path, limits(), &error);
    if (!parsed) throw std::invalid_argument("registry path \"" + path + "\": " + error);
    return Resolve(*parsed);
}

std::shared_ptr<RegKey> Registry::CreatePath(const RegPath& path) {
    std::shared_ptr<RegKey> key = RootKey(path.root);
    for (const std::string& name : path.names) {
        auto it = key->subkeys.find(name);
        key = it != key->subkeys.end() ? it->second : AddSubKey(*key, name);
    }
    return key;
}

bool Registry::KeyExists(const std::string& path) const {
    return ResolveOrThrow(path) != nullptr;
}

std::optional<RegValue> Registry::GetValue(const std::string& path, const std::string& name) const {
    std::shared_ptr<RegKey> key = ResolveOrThrow(path);
    const RegNamedValue* v = key ? key->FindValue(name) : nullptr;
    if (!v) return std::nullopt;
    return v->value;
}

void Registry::SetValue(const std::string& path, const std::string& name, const RegValue& value) {
    ResolveOrThrow(path);  // checks the path
    PutValue(*CreatePath(*ParseRegPath(path, limits(), nullptr)), name, value);
}

void Registry::CreateKey(const std::string& path) {
    ResolveOrThrow(path);
    CreatePath(*ParseRegPath(path, limits(), nullptr));
}

bool Registry::DeleteValue(const std::string& path, const std::string& name) {
    std::shared_ptr<RegKey> key = ResolveOrThrow(path);
    return key && RemoveValue(*key, name);
}

bool Registry::DeleteKey(const std::string& path) {
    std::shared_ptr<RegKey> key = ResolveOrThrow(path);
    if (!key) return false;
    if (IsProtected(*key))
        throw std::invalid_argument("registry path \"" + path + "\": a key of the machine itself");
    RemoveKey(*key);
    return true;
}

std::vector<std::string> Registry::SubKeyNames(const std::string& path) const {
    std::vector<std::string> names;
    if (std::shared_ptr<RegKey> key = ResolveOrThrow(path))
        for (const auto& [name, child] : key->subkeys) names.push_back(child->name);
    return names;
}

std::vector<std::string> Registry::ValueNames(const std::string& path) const {
    std::vector<std::string> names;
    if (std::shared_ptr<RegKey> key = ResolveOrThrow(path))
        for (const RegNamedValue& v : key->values) names.push_back(v.name);
    return names;
}

// ---- REGEDIT4 ----

void Registry::ImportRegText(const std::string& text, const std::string& source_name, bool log_changes) {
    // Parse all of it first: a fault anywhere leaves the registry as it was.
    std::vector<regfile::Operation> operations = regfile::Parse(text, source_name, limits());
    bool was_logging = logging_;
    logging_ = log_changes;
    Log("import " + source_name);
    for (const regfile::Operation& op : operations) {
        switch (op.kind) {
            case regfile::Operation::Kind::CreateKey:
                CreatePath(op.key);
                break;
            case regfile::Operation::Kind::SetValue:
                PutValue(*CreatePath(op.key), op.name, op.value);
                break;
            case regfile::Operation::Kind::DeleteValue:
                if (std::shared_ptr<RegKey> key = Resolve(op.key)) RemoveValue(*key, op.name);
                break;
            case regfile::Operation::Kind::DeleteKey:
                if (std::shared_ptr<RegKey> key = Resolve(op.key)) RemoveKey(*key);
                break;
        }
    }
    logging_ = was_logging;
}

void Registry::ImportRegFile(const std::string& host_path, bool log_changes) {
    std::ifstream file(host_path, std::ios::binary);
    if (!file) throw InputError(host_path + ": cannot open the file");
    std::ostringstream text;
    text << file.rdbuf();
    ImportRegText(text.str(), host_path, log_changes);
}

namespace {

// The default value first, then the others by name, so that an export does not depend on the order of writes.
std::vector<const RegNamedValue*> SortedValues(const RegKey& key) {
    std::vector<const RegNamedValue*> sorted;
    for (const RegNamedValue& v : key.values) sorted.push_back(&v);
    std::stable_sort(sorted.begin(), sorted.end(), [](const RegNamedValue* a, const RegNamedValue* b) {
        return LessNoCase()(a->name, b->name);
    });
    return sorted;
}

void ExportKey(const RegKey& key, const std::string& path, std::string& out) {
    constexpr size_t kWrapColumn = 79;
    out += "[" + path + "]\n";
    for (const RegNamedValue* v : SortedValues(key)) {
        std::string name = regfile::FormatName(v->name) + "=";
        out += name + regfile::FormatData(v->value, kWrapColumn, name.size()) + "\n";
    }
    out += "\n";
    for (const auto& [name, child] : key.subkeys) ExportKey(*child, path + "\\" + child->name, out);
}

}  // namespace

std::string Registry::ExportRegText(const std::string& key_path) const {
    std::string error;
    std::optional<RegPath> path = ParseRegPath(key_path, limits(), &error);
    if (!path) throw std::invalid_argument("registry path \"" + key_path + "\": " + error);
    std::shared_ptr<RegKey> key = Resolve(*path);
    if (!key) throw std::invalid_argument("registry path \"" + key_path + "\": no such key");
    // The sections name the root as the caller did and the keys as they are spelled in the registry.
    std::string name = RegRootName(path->root);
    std::shared_ptr<RegKey> walk = RootKey(path->root);
    for (const std::string& part : path->names) {
        walk = walk->subkeys.at(part);
        name += "\\" + walk->name;
    }
    std::string out = "REGEDIT4\n\n";
    ExportKey(*key, name, out);
    return out;
}

}  // namespace sim
