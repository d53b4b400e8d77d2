// The machine's registry: a tree of keys with typed values under HKEY_LOCAL_MACHINE and HKEY_USERS, the views
// HKEY_CLASSES_ROOT (HKLM\SOFTWARE\Classes) and HKEY_CURRENT_USER (HKEY_USERS\<user>), REGEDIT4 import and
// export, and a transcript line ("reg") for every change.
//
// Names of keys and values are case-insensitive and case-preserving. Sub-keys enumerate in case-insensitive
// order; values enumerate in the order they were first set, as Windows does.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/api/registry.h"
#include "sim/text.h"
#include "sim/versions.h"

namespace sim {

class Machine;

// A typed value: the type number and the bytes exactly as stored.
struct RegValue {
    DWORD type = REG_NONE;
    std::vector<uint8_t> data;

    static RegValue Dword(uint32_t value);
    static RegValue String(std::string_view text, DWORD type = REG_SZ);  // stores the terminating NUL
    static RegValue Binary(std::vector<uint8_t> bytes, DWORD type = REG_BINARY);
    static RegValue MultiString(const std::vector<std::string>& strings);

    std::optional<uint32_t> dword() const;    // a REG_DWORD of four bytes
    std::optional<std::string> text() const;  // a string type, up to its first NUL
    bool operator==(const RegValue& other) const { return type == other.type && data == other.data; }
    bool operator!=(const RegValue& other) const { return !(*this == other); }
};

struct RegNamedValue {
    std::string name;  // "" for the default value
    RegValue value;
};

struct RegKey {
    std::string name;          // as created
    RegKey* parent = nullptr;  // null for a root and for a deleted key
    std::map<std::string, std::shared_ptr<RegKey>, LessNoCase> subkeys;
    std::vector<RegNamedValue> values;  // in the order first set
    bool deleted = false;               // deleted while a handle still held it
    uint64_t last_write_ms = 0;

    RegKey* FindSubKey(std::string_view sub_name) const;
    const RegNamedValue* FindValue(std::string_view value_name) const;
    int Depth() const;  // 0 for a root
};

// The four roots a path or a predefined handle can name.
enum class RegRoot { LocalMachine, Users, CurrentUser, ClassesRoot };

// A path split into its root and the names below it: "HKLM\Software\X" or "HKEY_LOCAL_MACHINE\Software\X".
struct RegPath {
    RegRoot root = RegRoot::LocalMachine;
    std::vector<std::string> names;
};

// How long names may be on a Windows version.
struct RegLimits {
    size_t key_name_chars;    // one component of a key path
    size_t value_name_chars;  // longer value names are refused when set
};
RegLimits RegLimitsFor(const VersionInfo& version);

// "HKEY_LOCAL_MACHINE" / "HKLM" and so on, case-insensitive.
std::optional<RegRoot> ParseRegRoot(std::string_view name);
std::string RegRootName(RegRoot root);       // "HKEY_LOCAL_MACHINE"
std::string RegRootShortName(RegRoot root);  // "HKLM"
// Splits and checks a path; the message says what is wrong ("empty key name", "unknown root ...").
std::optional<RegPath> ParseRegPath(std::string_view path, const RegLimits& limits, std::string* error);

class Registry {
  public:
    explicit Registry(Machine& machine);
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    // Loads a REGEDIT4 text; a malformed text throws InputError naming source:line, and nothing of it is
    // loaded. Each change goes to the transcript unless log_changes is false (a machine's starting state).
    void ImportRegText(const std::string& text, const std::string& source_name, bool log_changes = true);
    void ImportRegFile(const std::string& host_path, bool log_changes = true);
    // The tree below a root or key ("HKEY_LOCAL_MACHINE", "HKEY_LOCAL_MACHINE\\Software\\X") as REGEDIT4
    // text: keys in case-insensitive order, each key's default value first and then its values by name. A
    // missing key throws std::invalid_argument.
    std::string ExportRegText(const std::string& key_path) const;

    // Access by path for tests and tools, without a simulated thread. A malformed path throws
    // std::invalid_argument. The default value is named "". Changes are logged like a program's.
    bool KeyExists(const std::string& path) const;
    std::optional<RegValue> GetValue(const std::string& path, const std::string& name) const;
    void SetValue(const std::string& path, const std::string& name,
                  const RegValue& value);  // creates the key
    void CreateKey(const std::string& path);
    bool DeleteValue(const std::string& path, const std::string& name);
    bool DeleteKey(const std::string& path);                              // with everything below it
    std::vector<std::string> SubKeyNames(const std::string& path) const;  // in enumeration order
    std::vector<std::string> ValueNames(const std::string& path) const;   // in enumeration order

    // The key under HKEY_USERS that HKEY_CURRENT_USER shows: ".DEFAULT" on the 9x family, the user's SID on
    // NT.
    std::string CurrentUserKeyName() const;
    RegLimits limits() const;

    // For the API layer. The key a root stands for (made again if a program deleted it).
    std::shared_ptr<RegKey> RootKey(RegRoot root) const;
    std::shared_ptr<RegKey> Resolve(const RegPath& path) const;  // null when missing
    // True for the keys programs may not delete: the roots and the keys behind HKCR and HKCU.
    bool IsProtected(const RegKey& key) const;
    // Changes, each logged.
    std::shared_ptr<RegKey> AddSubKey(RegKey& parent, const std::string& name);
    void PutValue(RegKey& key, const std::string& name, const RegValue& value);
    bool RemoveValue(RegKey& key, std::string_view name);
    void RemoveKey(RegKey& key);  // with its tree; handles to any of it then see ERROR_KEY_DELETED
    // "HKLM\Software\X", with HKCR and HKCU for keys inside those views; for the transcript.
    std::string DisplayPath(const RegKey& key) const;

  private:
    std::shared_ptr<RegKey> ResolveOrThrow(const std::string& path) const;
    std::shared_ptr<RegKey> CreatePath(const RegPath& path);
    std::shared_ptr<RegKey> UserKey() const;
    std::shared_ptr<RegKey> ClassesKey() const;
    void Log(const std::string& text);
    void Touch(RegKey& key);

    Machine& machine_;
    std::shared_ptr<RegKey> local_machine_;
    std::shared_ptr<RegKey> users_;
    bool logging_ = true;
};

// REGEDIT4 text, shared by the import, the export and the transcript.
namespace regfile {

struct Operation {
    enum class Kind { CreateKey, DeleteKey, SetValue, DeleteValue };
    Kind kind;
    RegPath key;
    std::string name;  // of the value
    RegValue value;
};

// Parses the whole text; throws InputError("source:line: what is wrong") on the first fault.
std::vector<Operation> Parse(const std::string& text, const std::string& source_name,
                             const RegLimits& limits);
// The part after '=': "text", dword:0000000a, hex:01,02, hex(2):... When wrap_column is not zero a hex list
// is broken into lines of at most that many characters, with the backslash continuation the parser reads;
// first_line_used is how much of the first line the name already takes.
std::string FormatData(const RegValue& value, size_t wrap_column = 0, size_t first_line_used = 0);
// "name" with \\ and \" escaped, or @ for the default value.
std::string FormatName(const std::string& name);

}  // namespace regfile

}  // namespace sim
