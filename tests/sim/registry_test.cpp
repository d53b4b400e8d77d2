// The simulated registry: Windows' rules for keys, values, handles and paths, seen by a program through the
// registry functions, and the REGEDIT4 files a scenario loads and a test reads back.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "sim/errors.h"
#include "sim/machine.h"
#include "sim/registry.h"
#include "win32api.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes BytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}
// A string's bytes with the terminating NUL, as a program stores a REG_SZ.
Bytes Sz(const std::string& text) {
    Bytes bytes = BytesOf(text);
    bytes.push_back(0);
    return bytes;
}

// A key a program creates with every right, or null after reporting why not.
HKEY Create(HKEY root, const std::string& path, REGSAM access = KEY_ALL_ACCESS) {
    HKEY key = nullptr;
    LONG error = RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, access, nullptr, &key, nullptr);
    EXPECT_EQ(error, ERROR_SUCCESS) << "creating " << path;
    return key;
}

HKEY Open(HKEY root, const std::string& path, REGSAM access = KEY_READ) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(root, path.c_str(), 0, access, &key), ERROR_SUCCESS) << "opening " << path;
    return key;
}

LONG Set(HKEY key, const char* name, DWORD type, const Bytes& data) {
    return RegSetValueExA(key, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
}

LONG SetDword(HKEY key, const char* name, DWORD value) {
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

// The type and bytes of a value as a program reads them, after asking for the size first.
std::optional<std::pair<DWORD, Bytes>> Query(HKEY key, const char* name) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    Bytes data(size);
    EXPECT_EQ(RegQueryValueExA(key, name, nullptr, &type, data.data(), &size), ERROR_SUCCESS);
    data.resize(size);
    return std::make_pair(type, data);
}

std::vector<std::string> SubKeys(HKEY key) {
    std::vector<std::string> names;
    char name[300];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        LONG error = RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (error == ERROR_NO_MORE_ITEMS) return names;
        EXPECT_EQ(error, ERROR_SUCCESS);
        if (error != ERROR_SUCCESS) return names;
        names.push_back(name);
    }
}

std::vector<std::string> ValueNames(HKEY key) {
    std::vector<std::string> names;
    char name[300];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        LONG error = RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (error == ERROR_NO_MORE_ITEMS) return names;
        EXPECT_EQ(error, ERROR_SUCCESS);
        if (error != ERROR_SUCCESS) return names;
        names.push_back(name);
    }
}

std::string LongName(size_t length, char c = 'k') {
    return std::string(length, c);
}

// ---- the tree ----

TEST(RegistryTree, ClassesRootIsTheMachineClassesKey) {
    sim::Machine machine("winxp");
    machine.RunCode([] {
        HKEY via_hkcr = Create(HKEY_CLASSES_ROOT, ".korv");
        EXPECT_EQ(Set(via_hkcr, nullptr, REG_SZ, Sz("Korvane.File")), ERROR_SUCCESS);
        RegCloseKey(via_hkcr);
    });
    EXPECT_EQ(machine.registry().GetValue("HKLM\\SOFTWARE\\Classes\\.korv", "")->text(), "Korvane.File");
    machine.registry().SetValue("HKLM\\Software\\Classes\\CLSID\\{1}", "", sim::RegValue::String("x"));
    EXPECT_TRUE(machine.registry().KeyExists("HKEY_CLASSES_ROOT\\clsid\\{1}"));
}

TEST(RegistryTree, CurrentUserIsTheDefaultUserOn9xAndAUserSidOnNt) {
    struct Case {
        const char* version;
        const char* user_key;
    };
    for (const Case& c : {Case{"win98", ".DEFAULT"}, Case{"win95", ".DEFAULT"}, Case{"nt4", "S-1-5-21-"},
                          Case{"winxp", "S-1-5-21-"}}) {
        SCOPED_TRACE(c.version);
        sim::Machine machine(c.version);
        std::string user = machine.registry().CurrentUserKeyName();
        EXPECT_EQ(user.rfind(c.user_key, 0), 0u) << user;
        machine.RunCode([] {
            HKEY key = Create(HKEY_CURRENT_USER, "Software\\Korvane");
            EXPECT_EQ(SetDword(key, "Runs", 3), ERROR_SUCCESS);
            RegCloseKey(key);
        });
        EXPECT_EQ(machine.registry().GetValue("HKU\\" + user + "\\Software\\Korvane", "Runs")->dword(), 3u);
        EXPECT_TRUE(machine.registry().KeyExists("HKEY_USERS\\.DEFAULT"));
    }
}

TEST(RegistryTree, NamesAreCaseInsensitiveAndKeepTheirFirstSpelling) {
    sim::Machine machine;
    machine.RunCode([] {
        HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\MixedCase");
        EXPECT_EQ(SetDword(key, "ValueName", 1), ERROR_SUCCESS);
        EXPECT_EQ(SetDword(key, "VALUENAME", 2), ERROR_SUCCESS);  // the same value
        HKEY again = Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\mixedcase", KEY_READ);
        EXPECT_EQ(Query(again, "valuename")->second, (Bytes{2, 0, 0, 0}));
        EXPECT_EQ(ValueNames(again), std::vector<std::string>{"ValueName"});
        RegCloseKey(again);
        RegCloseKey(key);
    });
    EXPECT_EQ(machine.registry().SubKeyNames("HKLM\\SOFTWARE"),
              (std::vector<std::string>{"Classes", "MixedCase"}));
}

TEST(RegistryTree, SubKeysEnumerateInCaseInsensitiveOrderAndValuesInTheOrderSet) {
    sim::Machine machine;
    machine.RunCode([] {
        HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Order");
        for (const char* name : {"beta", "Alpha", "_under", "Gamma", "alpha2", "10", "9"})
            RegCloseKey(Create(key, name));
        // Windows compares upper-cased names, so '_' (0x5F) sorts after the letters.
        EXPECT_EQ(SubKeys(key),
                  (std::vector<std::string>{"10", "9", "Alpha", "alpha2", "beta", "Gamma", "_under"}));
        for (const char* name : {"Zulu", "alpha", "Mike"}) SetDword(key, name, 0);
        SetDword(key, "ALPHA", 1);  // setting again keeps the place
        EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"Zulu", "alpha", "Mike"}));
        RegCloseKey(key);
    });
}

// ---- values ----

TEST(RegistryValues, EveryTypeIsStoredAsTheBytesGiven) {
    struct Case {
        DWORD type;
        Bytes data;
    };
    const std::vector<Case> cases = {
        {REG_SZ, Sz("text")},
        {REG_EXPAND_SZ, Sz("%windir%\\x")},
        {REG_BINARY, {0x00, 0xff, 0x10}},
        {REG_DWORD, {0x78, 0x56, 0x34, 0x12}},
        {REG_MULTI_SZ, {'a', 0, 'b', 'c', 0, 0}},
        {REG_NONE, {1, 2}},
        {REG_BINARY, {}},
        {0x1234, {9, 8, 7}},         // any type number
        {REG_DWORD, {1, 2, 3}},      // a DWORD of the wrong size is kept as it is
        {REG_SZ, {'a', 0, 'b', 0}},  // embedded NULs too
    };
    sim::Machine machine;
    machine.RunCode([&] {
        HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Types");
        for (size_t i = 0; i < cases.size(); ++i) {
            std::string name = "v" + std::to_string(i);
            ASSERT_EQ(Set(key, name.c_str(), cases[i].type, cases[i].data), ERROR_SUCCESS);
            auto read = Query(key, name.c_str());
            ASSERT_TRUE(read) << name;
            EXPECT_EQ(read->first, cases[i].type) << name;
            EXPECT_EQ(read->second, cases[i].data) << name;
        }
        RegCloseKey(key);
    });
}

TEST(RegistryValues, NullAndEmptyNameAreTheDefaultValue) {
    sim::Machine machine;
    machine.RunCode([] {
        HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Default");
        EXPECT_EQ(RegQueryValueExA(key, nullptr, nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(Set(key, nullptr, REG_SZ, Sz("one")), ERROR_SUCCESS);
        EXPECT_EQ(Query(key, "")->second, Sz("one"));
        EXPECT_EQ(Set(key, "", REG_SZ, Sz("two")), ERROR_SUCCESS);
        EXPECT_EQ(Query(key, nullptr)->second, Sz("two"));
        EXPECT_EQ(RegDeleteValueA(key, nullptr), ERROR_SUCCESS);
        EXPECT_EQ(RegDeleteValueA(key, ""), ERROR_FILE_NOT_FOUND);
        RegCloseKey(key);
    });
}

TEST(RegistryValues, SizeNegotiation) {
    sim::Machine machine;
    machine.RunCode([] {
        HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Sizes");
        ASSERT_EQ(Set(key, "Data", REG_BINARY, {1, 2, 3, 4, 5, 6}), ERROR_SUCCESS);
        struct Case {
            const char* what;
            const char* name;
            bool buffer;
            DWORD size_in;
            LONG result;
            DWORD size_out;
            bool filled;
        };
        const Case cases[] = {
            {"no buffer: the size", "Data", false, 0, ERROR_SUCCESS, 6, false},
            {"too small: the size needed", "Data", true, 5, ERROR_MORE_DATA, 6, false},
            {"zero bytes", "Data", true, 0, ERROR_MORE_DATA, 6, false},
            {"exact", "Data", true, 6, ERROR_SUCCESS, 6, true},
            {"larger", "Data", true, 10, ERROR_SUCCESS, 6, true},
            {"missing value, no buffer: size 0", "None", false, 99, ERROR_FILE_NOT_FOUND, 0, false},
            {"missing value with a buffer: size kept", "None", true, 10, ERROR_FILE_NOT_FOUND, 10, false},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            BYTE buffer[10];
            std::memset(buffer, 0xbd, sizeof buffer);
            DWORD size = c.size_in, type = 0;
            EXPECT_EQ(RegQueryValueExA(key, c.name, nullptr, &type, c.buffer ? buffer : nullptr, &size),
                      c.result);
            EXPECT_EQ(size, c.size_out);
            EXPECT_EQ(buffer[0], c.filled ? 1 : 0xbd);
            EXPECT_EQ(buffer[6], 0xbd);  // never past the data
            if (c.result != ERROR_FILE_NOT_FOUND) {
                EXPECT_EQ(type, REG_BINARY);
            }
        }
        BYTE buffer[8];
        EXPECT_EQ(RegQueryValueExA(key, "Data", nullptr, nullptr, buffer, nullptr), ERROR_INVALID_PARAMETER);
        EXPECT_EQ(RegQueryValueExA(key, "Data", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
        RegCloseKey(key);
    });
}

// RegSetValueExA on NT counts a string's NUL that the caller left out of the size when the NUL follows the
// data; RegQueryValueExA adds a NUL to an unterminated string when the buffer has room, without counting it.
TEST(RegistryValues, StringTermination) {
    const char full[] = "FullString";  // 10 characters and a NUL
    struct Case {
        const char* version;
        DWORD set_size;
        DWORD stored_size;
    };
    for (const Case& c : {Case{"winxp", 10, 11}, Case{"winxp", 9, 9}, Case{"winxp", 11, 11},
                          Case{"winxp", 0, 0}, Case{"win98", 10, 10}}) {
        SCOPED_TRACE(std::string(c.version) + " size " + std::to_string(c.set_size));
        sim::Machine machine(c.version);
        machine.RunCode([&] {
            HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Strings");
            ASSERT_EQ(RegSetValueExA(key, "s", 0, REG_SZ, reinterpret_cast<const BYTE*>(full), c.set_size),
                      ERROR_SUCCESS);
            DWORD size = 0;
            EXPECT_EQ(RegQueryValueExA(key, "s", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
            EXPECT_EQ(size, c.stored_size);
            BYTE buffer[16];
            // Exactly the stored size: no room for a NUL, and none is written.
            std::memset(buffer, 0xbd, sizeof buffer);
            size = c.stored_size;
            EXPECT_EQ(RegQueryValueExA(key, "s", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
            EXPECT_EQ(buffer[c.stored_size], 0xbd);
            // One more byte: an unterminated string gets its NUL, the size stays.
            std::memset(buffer, 0xbd, sizeof buffer);
            size = c.stored_size + 1;
            EXPECT_EQ(RegQueryValueExA(key, "s", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
            EXPECT_EQ(size, c.stored_size);
            EXPECT_EQ(buffer[c.stored_size], c.stored_size == 11 ? 0xbd : 0);
            RegCloseKey(key);
        });
    }
}

TEST(RegistryValues, NullDataAndLongNames) {
    struct Case {
        const char* version;
        const char* what;
        std::string name;
        DWORD type;
        bool null_data;
        DWORD size;
        LONG result;
    };
    const std::vector<Case> cases = {
        {"winxp", "NULL string of no size: an empty value", "v", REG_SZ, true, 0, ERROR_SUCCESS},
        {"win98", "NULL string of no size", "v", REG_SZ, true, 0, ERROR_INVALID_PARAMETER},
        {"winxp", "NULL data with a size", "v", REG_DWORD, true, 4, ERROR_NOACCESS},
        {"win98", "NULL data with a size", "v", REG_DWORD, true, 4, ERROR_INVALID_PARAMETER},
        {"winxp", "name of 16383 characters", LongName(16383, 'v'), REG_DWORD, false, 4, ERROR_SUCCESS},
        {"winxp", "name of 16384 characters", LongName(16384, 'v'), REG_DWORD, false, 4,
         ERROR_INVALID_PARAMETER},
        {"win2k", "name of 260 characters", LongName(260, 'v'), REG_DWORD, false, 4, ERROR_SUCCESS},
        {"win2k", "name of 261 characters", LongName(261, 'v'), REG_DWORD, false, 4, ERROR_MORE_DATA},
        {"win98", "name of 255 characters", LongName(255, 'v'), REG_DWORD, false, 4, ERROR_SUCCESS},
        {"win98", "name of 256 characters", LongName(256, 'v'), REG_DWORD, false, 4, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.version) + ": " + c.what);
        sim::Machine machine(c.version);
        machine.RunCode([&] {
            HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Null");
            DWORD value = 7;
            const BYTE* data = c.null_data ? nullptr : reinterpret_cast<const BYTE*>(&value);
            EXPECT_EQ(RegSetValueExA(key, c.name.c_str(), 0, c.type, data, c.size), c.result);
            DWORD size = 99;
            LONG read = RegQueryValueExA(key, c.name.c_str(), nullptr, nullptr, nullptr, &size);
            if (c.result == ERROR_SUCCESS) {
                EXPECT_EQ(size, c.null_data ? 0u : 4u);
            }
            if (c.result == ERROR_MORE_DATA) {  // the name itself does not fit
                EXPECT_EQ(read, ERROR_MORE_DATA);
            }
            RegCloseKey(key);
        });
    }
}

// ---- handles and rights ----

TEST(RegistryHandles, AccessMaskIsHonoured) {
    struct Case {
        const char* what;
        REGSAM access;
        LONG query, set, enumerate_keys, enumerate_values, create, remove_value;
    };
    const Case cases[] = {
        {"KEY_READ", KEY_READ, ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_SUCCESS, ERROR_SUCCESS,
         ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
        {"KEY_WRITE", KEY_WRITE, ERROR_ACCESS_DENIED, ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED,
         ERROR_SUCCESS, ERROR_SUCCESS},
        {"KEY_QUERY_VALUE", KEY_QUERY_VALUE, ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED,
         ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
        {"KEY_SET_VALUE", KEY_SET_VALUE, ERROR_ACCESS_DENIED, ERROR_SUCCESS, ERROR_ACCESS_DENIED,
         ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, ERROR_SUCCESS},
        {"KEY_ENUMERATE_SUB_KEYS", KEY_ENUMERATE_SUB_KEYS, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED,
         ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
        {"no rights", 0, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED,
         ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
        {"GENERIC_READ", 0x80000000, ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_SUCCESS, ERROR_SUCCESS,
         ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
        {"KEY_ALL_ACCESS", KEY_ALL_ACCESS, ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SUCCESS,
         ERROR_SUCCESS, ERROR_SUCCESS},
    };
    sim::Machine machine;
    machine.RunCode([&] {
        HKEY setup = Create(HKEY_LOCAL_MACHINE, "Software\\Rights\\Child");
        RegCloseKey(setup);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            HKEY full = Open(HKEY_LOCAL_MACHINE, "Software\\Rights", KEY_ALL_ACCESS);
            SetDword(full, "v", 1);
            HKEY key = Open(HKEY_LOCAL_MACHINE, "Software\\Rights", c.access);
            DWORD size = 4, value = 0;
            EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
                      c.query);
            EXPECT_EQ(SetDword(key, "w", 2), c.set);
            char name[64];
            size = sizeof name;
            EXPECT_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
                      c.enumerate_keys);
            size = sizeof name;
            EXPECT_EQ(RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
                      c.enumerate_values);
            HKEY created = nullptr;
            EXPECT_EQ(RegCreateKeyExA(key, "New", 0, nullptr, 0, KEY_READ, nullptr, &created, nullptr),
                      c.create);
            if (created) RegCloseKey(created);
            EXPECT_EQ(RegDeleteValueA(key, "v"), c.remove_value);
            // Opening an existing key through the handle creates nothing and needs no right to create.
            EXPECT_EQ(RegCreateKeyExA(key, "Child", 0, nullptr, 0, KEY_READ, nullptr, &created, nullptr),
                      ERROR_SUCCESS);
            RegCloseKey(created);
            RegDeleteKeyA(full, "New");
            RegCloseKey(key);
            RegCloseKey(full);
        }
    });
}

TEST(RegistryHandles, PredefinedKeysAndNewHandles) {
    sim::Machine machine;
    machine.RunCode([] {
        // A predefined key with no sub-key is handed back as it is; any other key gets a new handle.
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT}) {
            HKEY same = nullptr;
            EXPECT_EQ(RegOpenKeyExA(root, nullptr, 0, KEY_READ, &same), ERROR_SUCCESS);
            EXPECT_EQ(same, root);
            EXPECT_EQ(RegOpenKeyExA(root, "", 0, KEY_READ, &same), ERROR_SUCCESS);
            EXPECT_EQ(same, root);
            EXPECT_EQ(RegCloseKey(root), ERROR_SUCCESS);  // closing a predefined key is harmless
        }
        HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Handles");
        HKEY again = nullptr, third = nullptr;
        EXPECT_EQ(RegOpenKeyExA(key, "", 0, KEY_READ, &again), ERROR_SUCCESS);
        EXPECT_EQ(RegOpenKeyExA(key, nullptr, 0, KEY_READ, &third), ERROR_SUCCESS);
        EXPECT_NE(again, key);
        EXPECT_NE(third, again);
        DWORD disposition = 0;
        HKEY created = nullptr;
        EXPECT_EQ(RegCreateKeyExA(key, "Sub", 0, nullptr, 0, KEY_READ, nullptr, &created, &disposition),
                  ERROR_SUCCESS);
        EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
        RegCloseKey(created);
        EXPECT_EQ(RegCreateKeyExA(key, "sub", 0, nullptr, 0, KEY_READ, nullptr, &created, &disposition),
                  ERROR_SUCCESS);
        EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
        for (HKEY k : {created, third, again, key}) EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
    });
}

TEST(RegistryHandles, BadHandles) {
    struct Case {
        const char* version;
        LONG bad, closed_again;
    };
    for (const Case& c : {Case{"winxp", ERROR_INVALID_HANDLE, ERROR_INVALID_HANDLE},
                          Case{"win95", ERROR_BADKEY, ERROR_SUCCESS}}) {
        SCOPED_TRACE(c.version);
        sim::Machine machine(c.version);
        machine.RunCode([&] {
            HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Bad");
            EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
            HKEY made_up = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0xcafe0));
            HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);  // a handle, but not of a key
            for (HKEY bad : {key, static_cast<HKEY>(nullptr), made_up, reinterpret_cast<HKEY>(event)}) {
                HKEY out = made_up;
                EXPECT_EQ(RegOpenKeyExA(bad, "x", 0, KEY_READ, &out), c.bad);
                EXPECT_EQ(out, made_up);  // untouched
                EXPECT_EQ(SetDword(bad, "v", 1), c.bad);
                EXPECT_EQ(RegQueryValueExA(bad, "v", nullptr, nullptr, nullptr, nullptr), c.bad);
                EXPECT_EQ(RegDeleteKeyA(bad, "x"), c.bad);
            }
            EXPECT_EQ(RegCloseKey(key), c.closed_again);
            EXPECT_EQ(RegCloseKey(nullptr), c.bad);
            CloseHandle(event);
            HKEY out = nullptr;
            EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, nullptr),
                      ERROR_INVALID_PARAMETER);
            EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Missing", 0, KEY_READ, &out),
                      ERROR_FILE_NOT_FOUND);
            EXPECT_EQ(out, nullptr);
        });
    }
}

TEST(RegistryHandles, AHandleToADeletedKeySeesItDeleted) {
    sim::Machine machine;
    machine.RunCode([] {
        HKEY parent = Create(HKEY_LOCAL_MACHINE, "Software\\Doomed");
        HKEY key = Create(parent, "Leaf");
        EXPECT_EQ(SetDword(key, "v", 1), ERROR_SUCCESS);
        EXPECT_EQ(RegDeleteKeyA(parent, "Leaf"), ERROR_SUCCESS);
        char name[32];
        DWORD size = sizeof name;
        HKEY out = nullptr;
        EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
        EXPECT_EQ(SetDword(key, "v", 2), ERROR_KEY_DELETED);
        EXPECT_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
        EXPECT_EQ(RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
        EXPECT_EQ(RegOpenKeyExA(key, "x", 0, KEY_READ, &out), ERROR_KEY_DELETED);
        EXPECT_EQ(RegCreateKeyExA(key, "x", 0, nullptr, 0, KEY_READ, nullptr, &out, nullptr),
                  ERROR_KEY_DELETED);
        EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
        // A new key of the same name is a different key.
        HKEY reborn = Create(parent, "Leaf");
        EXPECT_FALSE(Query(reborn, "v"));
        RegCloseKey(reborn);
        RegCloseKey(parent);
    });
}

TEST(RegistryHandles, DeleteKey) {
    struct Case {
        const char* version;
        LONG with_sub_keys, null_sub_key;
    };
    const Case cases[] = {
        {"winxp", ERROR_ACCESS_DENIED, ERROR_INVALID_PARAMETER},
        {"win2k", ERROR_ACCESS_DENIED, ERROR_SUCCESS},  // NT 4.0 and 2000 take NULL for the key itself
        {"win98", ERROR_SUCCESS, ERROR_BADKEY},         // the 9x family deletes the whole tree
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        sim::Machine machine(c.version);
        machine.RunCode([&] {
            HKEY parent = Create(HKEY_LOCAL_MACHINE, "Software\\Tree");
            RegCloseKey(Create(parent, "Branch\\Leaf"));
            EXPECT_EQ(RegDeleteKeyA(parent, "Branch"), c.with_sub_keys);
            EXPECT_EQ(RegDeleteKeyA(parent, "Branch\\Leaf"),
                      c.with_sub_keys == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS);
            EXPECT_EQ(RegDeleteKeyA(parent, "Branch"),
                      c.with_sub_keys == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS);
            // The handle's rights do not matter; "" is the key itself.
            HKEY read_only = Create(parent, "Alone", KEY_READ);
            EXPECT_EQ(RegDeleteKeyA(read_only, ""), ERROR_SUCCESS);
            RegCloseKey(read_only);
            HKEY self = Create(parent, "Self");
            EXPECT_EQ(RegDeleteKeyA(self, nullptr), c.null_sub_key);
            RegCloseKey(self);
            // The machine's own keys stay.
            EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED);
            EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, ""), ERROR_ACCESS_DENIED);
            EXPECT_EQ(RegDeleteKeyA(HKEY_USERS, ".DEFAULT"), ERROR_ACCESS_DENIED);
            EXPECT_EQ(RegDeleteKeyA(parent, "Missing"), ERROR_FILE_NOT_FOUND);
            RegCloseKey(parent);
        });
    }
}

// ---- enumeration ----

TEST(RegistryEnumeration, KeysEndWithNoMoreItemsAndReportTheNameLength) {
    sim::Machine machine;
    machine.RunCode([] {
        HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Enum");
        RegCloseKey(Create(key, "Four"));
        char name[8];
        std::memset(name, 'x', sizeof name);
        DWORD size = 4;  // "Four" and its NUL need 5
        EXPECT_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
        EXPECT_EQ(size, 4u);
        EXPECT_EQ(name[0], 'x');
        size = 5;
        char class_name[4] = "zz";
        DWORD class_size = sizeof class_name;
        FILETIME time{};
        EXPECT_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, class_name, &class_size, &time), ERROR_SUCCESS);
        EXPECT_STREQ(name, "Four");
        EXPECT_EQ(size, 4u);
        EXPECT_STREQ(class_name, "");
        EXPECT_EQ(class_size, 0u);
        EXPECT_NE(time.dwHighDateTime, 0u);
        EXPECT_EQ(RegEnumKeyExA(key, 1, name, &size, nullptr, nullptr, nullptr, nullptr),
                  ERROR_NO_MORE_ITEMS);
        EXPECT_EQ(RegEnumKeyExA(key, 0, nullptr, &size, nullptr, nullptr, nullptr, nullptr),
                  ERROR_INVALID_PARAMETER);
        RegCloseKey(key);
    });
}

TEST(RegistryEnumeration, ValuesThatDoNotFit) {
    struct Case {
        const char* what;
        DWORD name_size, data_size;
        LONG result;
        DWORD name_size_out, data_size_out;
        bool name_written, data_written;
    };
    // "Test" = "foobar" (7 bytes with the NUL).
    const Case cases[] = {
        {"both fit", 20, 20, ERROR_SUCCESS, 4, 7, true, true},
        {"name too small", 4, 20, ERROR_MORE_DATA, 4, 7, false, false},
        {"empty name buffer", 0, 20, ERROR_MORE_DATA, 0, 7, false, false},
        {"data too small", 20, 2, ERROR_MORE_DATA, 20, 7, false, false},
        {"both too small", 2, 2, ERROR_MORE_DATA, 2, 7, false, false},
    };
    sim::Machine machine;
    machine.RunCode([&] {
        HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\EnumValues");
        ASSERT_EQ(Set(key, "Test", REG_SZ, Sz("foobar")), ERROR_SUCCESS);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            char name[20] = "xxxxxxxxxx";
            BYTE data[20] = "xxxxxxxxxx";
            DWORD name_size = c.name_size, data_size = c.data_size, type = 0;
            EXPECT_EQ(RegEnumValueA(key, 0, name, &name_size, nullptr, &type, data, &data_size), c.result);
            EXPECT_EQ(type, REG_SZ);
            EXPECT_EQ(name_size, c.name_size_out);
            EXPECT_EQ(data_size, c.data_size_out);
            EXPECT_STREQ(name, c.name_written ? "Test" : "xxxxxxxxxx");
            EXPECT_STREQ(reinterpret_cast<char*>(data), c.data_written ? "foobar" : "xxxxxxxxxx");
        }
        DWORD size = 20;
        EXPECT_EQ(RegEnumValueA(key, 1, nullptr, &size, nullptr, nullptr, nullptr, nullptr),
                  ERROR_INVALID_PARAMETER);
        char name[20];
        EXPECT_EQ(RegEnumValueA(key, 1, name, &size, nullptr, nullptr, nullptr, nullptr),
                  ERROR_NO_MORE_ITEMS);
        RegCloseKey(key);
    });
}

// ---- sub-key paths, byte for byte ----

struct PathCase {
    const char* version;
    HKEY root;
    std::optional<std::string> sub_key;
    LONG open;
};

std::string Repeat(const std::string& part, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += part;
    return out;
}

TEST(RegistryPaths, OpenTakesWhatWindowsTakes) {
    const std::vector<PathCase> cases = {
        {"winxp", HKEY_LOCAL_MACHINE, std::nullopt, ERROR_SUCCESS},
        {"winxp", HKEY_LOCAL_MACHINE, "", ERROR_SUCCESS},
        {"winxp", HKEY_LOCAL_MACHINE, "SOFTWARE\\Test Key", ERROR_SUCCESS},
        {"winxp", HKEY_LOCAL_MACHINE, "software\\TEST KEY", ERROR_SUCCESS},
        {"winxp", HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Test Key", ERROR_BAD_PATHNAME},
        {"winxp", HKEY_LOCAL_MACHINE, "\\", ERROR_BAD_PATHNAME},
        {"winxp", HKEY_LOCAL_MACHINE, "SOFTWARE\\Test Key\\", ERROR_SUCCESS},
        {"winxp", HKEY_LOCAL_MACHINE, "SOFTWARE\\Test Key\\\\", ERROR_SUCCESS},
        {"winxp", HKEY_LOCAL_MACHINE, "SOFTWARE\\\\Test Key", ERROR_INVALID_PARAMETER},
        {"winxp", HKEY_LOCAL_MACHINE, "SOFTWARE\\Test Key ",
         ERROR_FILE_NOT_FOUND},  // the blank is in the name
        {"winxp", HKEY_LOCAL_MACHINE, "SOFTWARE\\\"Quoted\" Name", ERROR_SUCCESS},
        {"winxp", HKEY_LOCAL_MACHINE, "\"SOFTWARE\\Test Key\"", ERROR_FILE_NOT_FOUND},
        {"winxp", HKEY_LOCAL_MACHINE, "SOFTWARE\\" + LongName(256), ERROR_SUCCESS},
        {"winxp", HKEY_LOCAL_MACHINE, "SOFTWARE\\" + LongName(257), ERROR_INVALID_PARAMETER},
        {"winxp", HKEY_LOCAL_MACHINE, "Missing\\" + LongName(5000), ERROR_INVALID_PARAMETER},
        {"winxp", HKEY_LOCAL_MACHINE, "SOFTWARE\\" + Repeat("abcdefghi\\", 700), ERROR_FILE_NOT_FOUND},
        {"winxp", HKEY_CLASSES_ROOT, "\\CLSID", ERROR_SUCCESS},  // HKCR takes it from Windows 2000 on
        {"winxp", HKEY_CLASSES_ROOT, "\\", ERROR_SUCCESS},
        {"nt4", HKEY_CLASSES_ROOT, "\\CLSID", ERROR_BAD_PATHNAME},
        {"nt4", HKEY_LOCAL_MACHINE, "SOFTWARE\\" + LongName(256), ERROR_SUCCESS},
        {"win98", HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Test Key", ERROR_SUCCESS},
        {"win98", HKEY_LOCAL_MACHINE, "\\\\SOFTWARE", ERROR_INVALID_PARAMETER},
        {"win98", HKEY_LOCAL_MACHINE, "SOFTWARE\\Test Key\\", ERROR_SUCCESS},
        {"win98", HKEY_LOCAL_MACHINE, "SOFTWARE\\" + LongName(255), ERROR_SUCCESS},
        {"win98", HKEY_LOCAL_MACHINE, "SOFTWARE\\" + LongName(256), ERROR_INVALID_PARAMETER},
    };
    for (const PathCase& c : cases) {
        std::string shown = c.sub_key ? c.sub_key->substr(0, 40) : "(NULL)";
        SCOPED_TRACE(std::string(c.version) + " \"" + shown + "\" (" +
                     std::to_string(c.sub_key ? c.sub_key->size() : 0) + " characters)");
        sim::Machine machine(c.version);
        size_t longest = machine.registry().limits().key_name_chars;
        machine.registry().CreateKey("HKLM\\SOFTWARE\\Test Key");
        machine.registry().CreateKey("HKLM\\SOFTWARE\\\"Quoted\" Name");
        machine.registry().CreateKey("HKLM\\SOFTWARE\\" + LongName(longest));
        machine.registry().CreateKey("HKCR\\CLSID");
        machine.RunCode([&] {
            HKEY key = nullptr;
            EXPECT_EQ(RegOpenKeyExA(c.root, c.sub_key ? c.sub_key->c_str() : nullptr, 0, KEY_READ, &key),
                      c.open);
            if (c.open == ERROR_SUCCESS) {
                EXPECT_NE(key, nullptr);
                EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
            } else {
                EXPECT_EQ(key, nullptr);
            }
        });
    }
}

TEST(RegistryPaths, CreateMakesExactlyTheKeysNamed) {
    struct Case {
        const char* version;
        std::string sub_key;
        LONG result;
        std::vector<std::string> keys_after;  // below HKLM\SOFTWARE\Made
    };
    const std::vector<Case> cases = {
        {"winxp", "A\\B\\C", ERROR_SUCCESS, {"A", "A\\B", "A\\B\\C"}},
        {"winxp", "Trail\\\\", ERROR_SUCCESS, {"Trail"}},
        {"winxp", "\\Lead", ERROR_BAD_PATHNAME, {}},
        {"win98", "\\Lead", ERROR_SUCCESS, {"Lead"}},
        {"winxp", "A\\\\B", ERROR_INVALID_PARAMETER, {}},  // nothing made before the fault
        {"winxp", "with \"quotes\" and  spaces", ERROR_SUCCESS, {"with \"quotes\" and  spaces"}},
        {"winxp", "A\\" + LongName(257), ERROR_INVALID_PARAMETER, {}},
        {"winxp", Repeat("L\\", 31) + "L", ERROR_SUCCESS, {}},  // 32 levels at once
        {"winxp", Repeat("L\\", 32) + "L", ERROR_INVALID_PARAMETER, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.version) + " \"" + c.sub_key.substr(0, 40) + "\"");
        sim::Machine machine(c.version);
        machine.RunCode([&] {
            HKEY base = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Made");
            HKEY key = nullptr;
            EXPECT_EQ(
                RegCreateKeyExA(base, c.sub_key.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
                c.result);
            if (key) RegCloseKey(key);
            RegCloseKey(base);
        });
        for (const std::string& path : c.keys_after)
            EXPECT_TRUE(machine.registry().KeyExists("HKLM\\SOFTWARE\\Made\\" + path)) << path;
        if (c.result != ERROR_SUCCESS) {
            EXPECT_TRUE(machine.registry().SubKeyNames("HKLM\\SOFTWARE\\Made").empty());
        }
    }
}

// ---- the transcript ----

TEST(RegistryTranscript, ChangesAreLoggedAndReadsAreNot) {
    sim::Machine machine;
    machine.RunCode([] {
        HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\X");
        SetDword(key, "OSVER_95", 0);
        Set(key, nullptr, REG_SZ, Sz("say \"hi\""));
        Set(key, "Bin", REG_BINARY, {0xde, 0xad});
        Query(key, "OSVER_95");
        SubKeys(key);
        RegDeleteValueA(key, "Bin");
        RegCloseKey(Create(HKEY_CURRENT_USER, "Software\\Y"));
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Y");
        RegCloseKey(key);
    });
    EXPECT_EQ(machine.trace().Lines("reg"), (std::vector<std::string>{
                                                "create HKLM\\SOFTWARE\\X",
                                                "set HKLM\\SOFTWARE\\X\\\"OSVER_95\" = dword:00000000",
                                                "set HKLM\\SOFTWARE\\X\\@ = \"say \\\"hi\\\"\"",
                                                "set HKLM\\SOFTWARE\\X\\\"Bin\" = hex:de,ad",
                                                "delete value HKLM\\SOFTWARE\\X\\\"Bin\"",
                                                "create HKCU\\Software\\Y",
                                                "delete key HKCU\\Software\\Y",
                                            }));
}

// ---- REGEDIT4 ----

const char kAllForms[] =
    "REGEDIT4\r\n"
    "\r\n"
    "; every form the import reads\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Forms]\r\n"
    "@=\"default\"\r\n"
    "\"Path\"=\"C:\\\\Dir\\\\\\\"q\\\"\"\r\n"
    "\"Count\"=dword:0000000A\r\n"
    "\"Short\"=dword:7\r\n"
    "\"Blob\"=hex:00,01,\\\r\n"
    "  02,ff\r\n"
    "\"Empty\"=hex:\r\n"
    "\"Expand\"=hex(2):25,00\r\n"
    "\"Multi\"=hex(7):61,00,00\r\n"
    "\"None\"=hex(0):01\r\n"
    "\"Odd\"=hex(1234):09\r\n"
    "  \"Indented\" = \"ok\"  \r\n"
    "[HKCU\\Software\\Forms]\r\n"
    "[hkcr\\.forms]\r\n"
    "@=\"Forms.File\"\r\n"
    "[HKU\\.DEFAULT\\Forms]\r\n";

TEST(RegFile, ImportReadsEveryForm) {
    sim::Machine machine;
    sim::Registry& reg = machine.registry();
    reg.ImportRegText(kAllForms, "forms.reg");
    const std::string key = "HKLM\\SOFTWARE\\Forms";
    EXPECT_EQ(reg.GetValue(key, "")->text(), "default");
    EXPECT_EQ(reg.GetValue(key, "Path")->text(), "C:\\Dir\\\"q\"");
    EXPECT_EQ(reg.GetValue(key, "Count")->dword(), 10u);
    EXPECT_EQ(reg.GetValue(key, "Short")->dword(), 7u);
    EXPECT_EQ(*reg.GetValue(key, "Blob"), sim::RegValue::Binary({0, 1, 2, 0xff}));
    EXPECT_EQ(*reg.GetValue(key, "Empty"), sim::RegValue::Binary({}));
    EXPECT_EQ(*reg.GetValue(key, "Expand"), sim::RegValue::Binary({0x25, 0}, REG_EXPAND_SZ));
    EXPECT_EQ(*reg.GetValue(key, "Multi"), sim::RegValue::MultiString({"a"}));
    EXPECT_EQ(*reg.GetValue(key, "None"), sim::RegValue::Binary({1}, REG_NONE));
    EXPECT_EQ(*reg.GetValue(key, "Odd"), sim::RegValue::Binary({9}, 0x1234));
    EXPECT_EQ(reg.GetValue(key, "Indented")->text(), "ok");
    EXPECT_TRUE(reg.KeyExists("HKEY_CURRENT_USER\\Software\\Forms"));
    EXPECT_EQ(reg.GetValue("HKLM\\SOFTWARE\\Classes\\.forms", "")->text(), "Forms.File");
    EXPECT_TRUE(reg.KeyExists("HKEY_USERS\\.DEFAULT\\Forms"));
}

TEST(RegFile, ExportIsSortedAndReadsBackTheSame) {
    sim::Machine machine;
    sim::Registry& reg = machine.registry();
    reg.SetValue("HKLM\\Software\\Out\\b", "z", sim::RegValue::Dword(1));
    reg.SetValue("HKLM\\Software\\Out\\b", "a", sim::RegValue::String("x\\y \"z\""));
    reg.SetValue("HKLM\\Software\\Out\\b", "", sim::RegValue::String("def"));
    reg.SetValue("HKLM\\Software\\Out\\A", "nul", sim::RegValue::Binary(BytesOf("no nul"), REG_SZ));
    reg.SetValue("HKLM\\Software\\Out\\A", "lines", sim::RegValue::String("one\r\ntwo"));
    reg.CreateKey("HKLM\\Software\\Out\\c\\empty");
    EXPECT_EQ(reg.ExportRegText("HKEY_LOCAL_MACHINE\\software\\out"),
              "REGEDIT4\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Out]\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Out\\A]\n"
              "\"lines\"=hex(1):6f,6e,65,0d,0a,74,77,6f,00\n"
              "\"nul\"=hex(1):6e,6f,20,6e,75,6c\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Out\\b]\n"
              "@=\"def\"\n"
              "\"a\"=\"x\\\\y \\\"z\\\"\"\n"
              "\"z\"=dword:00000001\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Out\\c]\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Out\\c\\empty]\n"
              "\n");
    EXPECT_THROW(reg.ExportRegText("HKLM\\Software\\Nowhere"), std::invalid_argument);
}

TEST(RegFile, RoundTrip) {
    sim::Machine first;
    first.registry().ImportRegText(kAllForms, "forms.reg");
    Bytes long_blob(300);
    for (size_t i = 0; i < long_blob.size(); ++i) long_blob[i] = static_cast<uint8_t>(i);
    first.registry().SetValue("HKLM\\Software\\Forms\\Long", "blob", sim::RegValue::Binary(long_blob));
    first.registry().SetValue("HKLM\\Software\\Forms\\Long", "dw3",
                              sim::RegValue::Binary({1, 2, 3}, REG_DWORD));
    for (const char* root : {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_USERS", "HKEY_CLASSES_ROOT"}) {
        SCOPED_TRACE(root);
        std::string text = first.registry().ExportRegText(root);
        for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
            EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
        sim::Machine second;
        second.registry().ImportRegText(text, "export.reg");
        EXPECT_EQ(second.registry().ExportRegText(root), text);
    }
}

TEST(RegFile, DeletionsAndFixtureFile) {
    sim::Machine machine;
    sim::Registry& reg = machine.registry();
    std::string here = __FILE__;
    reg.ImportRegFile(here.substr(0, here.find_last_of('/')) + "/data/sample.reg");
    const std::string key = "HKLM\\SOFTWARE\\Korvane Test";
    EXPECT_EQ(reg.GetValue(key, "Path")->text(), "C:\\Program Files\\Korvane \"Test\"");
    EXPECT_EQ(reg.GetValue(key, "Count")->dword(), 42u);
    EXPECT_EQ(reg.GetValue(key, "Blob")->data.size(), 26u);
    EXPECT_EQ(reg.GetValue("HKCU\\Software\\Korvane Test\\Settings", "Empty")->data, Bytes{0});
    reg.ImportRegText(
        "REGEDIT4\n[HKLM\\Software\\Korvane Test]\n\"Count\"=-\n\"Never\"=-\n"
        "[-HKEY_CURRENT_USER\\Software\\Korvane Test]\n[-HKLM\\Software\\Not There]\n",
        "delete.reg");
    EXPECT_FALSE(reg.GetValue(key, "Count"));
    EXPECT_TRUE(reg.GetValue(key, "Path"));
    EXPECT_FALSE(reg.KeyExists("HKCU\\Software\\Korvane Test"));
    EXPECT_TRUE(reg.KeyExists("HKCU\\Software"));
    EXPECT_THROW(reg.ImportRegFile("/nonexistent/file.reg"), sim::InputError);
}

TEST(RegFile, ImportIsLoggedUnlessAsked) {
    sim::Machine machine;
    machine.registry().ImportRegText("REGEDIT4\n[HKLM\\Software\\Quiet]\n\"v\"=dword:1\n", "start.reg",
                                     false);
    EXPECT_TRUE(machine.trace().Lines("reg").empty());
    machine.registry().ImportRegText("REGEDIT4\n[HKLM\\Software\\Loud]\n\"v\"=dword:1\n", "run.reg");
    EXPECT_EQ(machine.trace().Lines("reg"),
              (std::vector<std::string>{"import run.reg", "create HKLM\\SOFTWARE\\Loud",
                                        "set HKLM\\SOFTWARE\\Loud\\\"v\" = dword:00000001"}));
}

TEST(RegFile, MalformedInputNamesTheLineAndLoadsNothing) {
    struct Case {
        std::string text;
        std::string message;           // what the error says, after "bad.reg:"
        bool after_good_lines = true;  // a good section goes before the fault, and must not be loaded either
    };
    const std::vector<Case> cases = {
        {"", "1: expected the header REGEDIT4", false},
        {"Windows Registry Editor Version 5.00\n", "1: expected the header REGEDIT4", false},
        {"REGEDIT4\n\"v\"=dword:1\n", "2: a value before the first [KEY] section", false},
        {"REGEDIT4\n[HKLM\\A]\n\n[HKEY_NOWHERE\\A]\n", "4: unknown root key \"HKEY_NOWHERE\""},
        {"REGEDIT4\n[HKLM\\A\n", "2: a key section must end with ]"},
        {"REGEDIT4\n[HKLM\\A\\\\B]\n", "2: empty key name (doubled backslash)"},
        {"REGEDIT4\n[HKLM\\" + LongName(257) + "]\n", "2: key name longer than 256 characters"},
        {"REGEDIT4\n[-HKLM]\n", "2: a root key cannot be deleted"},
        {"REGEDIT4\n[-HKLM\\A]\n\"v\"=dword:1\n", "3: a value in a section that deletes its key"},
        {"REGEDIT4\n[HKLM\\A]\n\"v\"dword:1\n", "3: expected = after the value name"},
        {"REGEDIT4\n[HKLM\\A]\n\"v=dword:1\n", "3: a string without its closing \""},
        {"REGEDIT4\n[HKLM\\A]\n\"v\"=\"C:\\dir\"\n", "3: unknown escape \\d"},
        {"REGEDIT4\n[HKLM\\A]\n\"v\"=\"x\" junk\n", "3: unexpected text after the closing \""},
        {"REGEDIT4\n[HKLM\\A]\n\"v\"=dword:123456789\n", "3: dword: takes one to eight hex digits"},
        {"REGEDIT4\n[HKLM\\A]\n\"v\"=dword:\n", "3: dword: takes one to eight hex digits"},
        {"REGEDIT4\n[HKLM\\A]\n\"v\"=hex:01,zz\n", "3: a hex list takes bytes"},
        {"REGEDIT4\n[HKLM\\A]\n\"v\"=hex:01,\n", "3: a hex list ends with a comma"},
        {"REGEDIT4\n[HKLM\\A]\n\"v\"=hex:01,,02\n", "3: a hex list takes bytes"},
        {"REGEDIT4\n[HKLM\\A]\n\"v\"=hex(x):01\n", "3: hex(N): needs the type N in hex"},
        {"REGEDIT4\n[HKLM\\A]\n\"v\"=word:1\n", "3: unknown data"},
        {"REGEDIT4\n[HKLM\\A]\nv=dword:1\n", "3: expected [KEY]"},
        {"REGEDIT4\n[HKLM\\A]\n\"v\"=hex:01,\\\n", "3: the text ends inside a continued line"},
        {"REGEDIT4\n[HKLM\\A]\n\"v\"=hex:01,\\\n  02,\\\n  zz\n\"w\"=dword:1\n", "3: a hex list takes bytes"},
        {"REGEDIT4\n[HKLM\\A]\n\"v\"=hex:01,\\\n  02\n\"w\"=dword:\n", "5: dword: takes one to eight"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        sim::Machine machine;
        std::string text = c.text;
        std::string expected = c.message;
        if (c.after_good_lines) {
            text.insert(text.find('\n') + 1, "[HKLM\\Software\\Loaded]\n\"first\"=dword:1\n");
            expected = std::to_string(std::stoi(expected) + 2) + expected.substr(expected.find(':'));
        }
        try {
            machine.registry().ImportRegText(text, "bad.reg");
            ADD_FAILURE() << "no error";
        } catch (const sim::InputError& error) {
            EXPECT_EQ(std::string(error.what()).rfind("bad.reg:" + expected, 0), 0u) << error.what();
        }
        EXPECT_FALSE(machine.registry().KeyExists("HKLM\\Software\\Loaded"));
        EXPECT_FALSE(machine.registry().KeyExists("HKLM\\A"));
        EXPECT_TRUE(machine.trace().Lines("reg").empty());
    }
}

TEST(RegistryAccessors, MalformedPathsThrow) {
    sim::Machine machine;
    for (const char* path : {"HKEY_NOWHERE\\x", "HKLM\\a\\\\b", ""})
        EXPECT_THROW(machine.registry().KeyExists(path), std::invalid_argument) << path;
    EXPECT_THROW(machine.registry().DeleteKey("HKLM\\SOFTWARE\\Classes"), std::invalid_argument);
    EXPECT_FALSE(machine.registry().DeleteKey("HKLM\\SOFTWARE\\Nothing"));
    EXPECT_FALSE(machine.registry().GetValue("HKLM\\SOFTWARE\\Nothing", "v"));
}

}  // namespace
