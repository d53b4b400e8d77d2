// The device-installation functions of setupapi.dll, newdev.dll and cfgmgr32.dll over the machine's devices.
// They are exports of the modules InstallDeviceServices installs, never functions a program links against.
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "sim/api/files.h"
#include "sim/api/profile.h"
#include "sim/devices.h"
#include "sim/filesystem.h"

namespace sim {
namespace {

constexpr DEVINST kRootNode = 1;
constexpr uintptr_t kFirstSetHandle = 0x00A30000;

DeviceState& State() {
    return Devices(CurrentMachine());
}
void Log(const std::string& text) {
    CurrentMachine().Log("device", text);
}

std::string ErrorText(DWORD error) {
    char text[32];
    // SetupAPI's own errors read best in hexadecimal, the system's in decimal.
    std::snprintf(text, sizeof text, error >= 0x10000 ? "error 0x%08X" : "error %u",
                  static_cast<unsigned>(error));
    return text;
}
std::string HexText(uintptr_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}
std::string Text(PCSTR text) {
    return text ? "\"" + std::string(text) + "\"" : "NULL";
}

// Fails the call with the error and logs the call.
BOOL Fail(const std::string& call, DWORD error) {
    Log(call + " -> FALSE, " + ErrorText(error));
    SetLastError(error);
    return FALSE;
}

std::string FileNameOf(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The enumerator is the first part of an instance id: "PCI" of "PCI\VEN_...\3&...".
std::string EnumeratorOf(const std::string& instance_id) {
    return instance_id.substr(0, instance_id.find('\\'));
}

bool HasHardwareId(const MachineDevice& device, std::string_view id) {
    for (const std::string& entry : device.hardware_ids)
        if (EqualsNoCase(entry, id)) return true;
    return false;
}

// ---- Device information sets ----

DeviceInfoSet* FindSet(HDEVINFO handle) {
    DeviceState& state = State();
    auto it = state.sets.find(reinterpret_cast<uintptr_t>(handle));
    if (it == state.sets.end() || it->second.process_id != CurrentProcess().id) return nullptr;
    return &it->second;
}

// The device a record of the set stands for: the record must have the right size and come from the set.
MachineDevice* DeviceOf(DeviceInfoSet& set, const SP_DEVINFO_DATA* data) {
    if (!data || data->cbSize != sizeof(SP_DEVINFO_DATA)) return nullptr;
    if (data->Reserved == 0 || data->Reserved > set.devices.size()) return nullptr;
    MachineDevice& device = State().devices[set.devices[data->Reserved - 1]];
    return device.devinst == data->DevInst ? &device : nullptr;
}

bool Listed(const MachineDevice& device, const GUID* class_guid, PCSTR enumerator, DWORD flags) {
    if (device.removed) return false;
    if ((flags & DIGCF_PRESENT) && !device.present) return false;
    if (!(flags & DIGCF_ALLCLASSES) && class_guid && device.class_guid != *class_guid) return false;
    if (enumerator && *enumerator && !EqualsNoCase(EnumeratorOf(device.instance_id), enumerator))
        return false;
    return true;
}

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* class_guid, PCSTR enumerator, HWND, DWORD flags) {
    DeviceState& state = State();
    char call[96];
    std::snprintf(call, sizeof call, "SetupDiGetClassDevsA(%s, %s, 0x%X)", class_guid ? "class" : "NULL",
                  Text(enumerator).c_str(), static_cast<unsigned>(flags));
    DWORD error = !(flags & DIGCF_ALLCLASSES) && !class_guid ? DWORD(ERROR_INVALID_PARAMETER)
                                                             : state.options.class_devs_error;
    if (error) {
        Fail(call, error);
        return INVALID_HANDLE_VALUE;
    }
    DeviceInfoSet set{CurrentProcess().id, {}};
    // The machine's devices have no device interfaces, so an interface list is empty.
    if (!(flags & DIGCF_DEVICEINTERFACE))
        for (size_t i = 0; i < state.devices.size(); ++i)
            if (Listed(state.devices[i], class_guid, enumerator, flags)) set.devices.push_back(i);
    uintptr_t handle = kFirstSetHandle + 0x100 * ++state.next_set;
    Log(std::string(call) + " -> set " + HexText(handle) + " of " + std::to_string(set.devices.size()) +
        " devices");
    state.sets[handle] = std::move(set);
    return reinterpret_cast<HDEVINFO>(handle);
}

BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO handle, DWORD index, PSP_DEVINFO_DATA data) {
    std::string call = "SetupDiEnumDeviceInfo(" + HexText(reinterpret_cast<uintptr_t>(handle)) + ", " +
                       std::to_string(index) + ")";
    DeviceInfoSet* set = FindSet(handle);
    if (!set) return Fail(call, ERROR_INVALID_HANDLE);
    if (!data) return Fail(call, ERROR_INVALID_PARAMETER);
    if (data->cbSize != sizeof(SP_DEVINFO_DATA)) return Fail(call, ERROR_INVALID_USER_BUFFER);
    if (index >= set->devices.size()) return Fail(call, ERROR_NO_MORE_ITEMS);
    const MachineDevice& device = State().devices[set->devices[index]];
    data->ClassGuid = device.class_guid;
    data->DevInst = device.devinst;
    data->Reserved = index + 1;
    Log(call + " -> " + device.instance_id);
    return TRUE;
}

// A property's value as SetupAPI hands it out, or nothing when the device has no such property.
std::optional<std::string> PropertyOf(const MachineDevice& device, DWORD property, DWORD* type) {
    if (property == SPDRP_HARDWAREID && !device.hardware_ids.empty()) {
        std::string multi;
        for (const std::string& id : device.hardware_ids) multi += id + '\0';
        *type = REG_MULTI_SZ;
        return multi + '\0';
    }
    if (property == SPDRP_DEVICEDESC && !device.description.empty()) {
        *type = REG_SZ;
        return device.description + '\0';
    }
    return std::nullopt;
}

BOOL WINAPI SetupDiGetDeviceRegistryPropertyA(HDEVINFO handle, PSP_DEVINFO_DATA data, DWORD property,
                                              PDWORD value_type, LPBYTE buffer, DWORD buffer_size,
                                              PDWORD required_size) {
    std::string call = "SetupDiGetDeviceRegistryPropertyA(" + std::to_string(property) + ", " +
                       std::to_string(buffer_size) + " bytes)";
    DeviceInfoSet* set = FindSet(handle);
    if (!set) return Fail(call, ERROR_INVALID_HANDLE);
    MachineDevice* device = DeviceOf(*set, data);
    if (!device) return Fail(call, ERROR_INVALID_PARAMETER);
    call.insert(call.size() - 1, " of " + device->instance_id);
    if (property >= SPDRP_MAXIMUM_PROPERTY) return Fail(call, ERROR_INVALID_REG_PROPERTY);
    if (!buffer && buffer_size) return Fail(call, ERROR_INVALID_PARAMETER);
    if (device->removed) return Fail(call, ERROR_NO_SUCH_DEVINST);
    if (device->property_error) return Fail(call, device->property_error);
    DWORD type = REG_NONE;
    std::optional<std::string> value = PropertyOf(*device, property, &type);
    if (!value) return Fail(call, ERROR_INVALID_DATA);
    DWORD size = static_cast<DWORD>(value->size());
    if (required_size) *required_size = size;
    if (value_type) *value_type = type;
    if (buffer_size < size) return Fail(call + " needs " + std::to_string(size), ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(buffer, value->data(), size);
    Log(call + " -> TRUE, " + std::to_string(size) + " bytes");
    return TRUE;
}

BOOL WINAPI SetupDiRemoveDevice(HDEVINFO handle, PSP_DEVINFO_DATA data) {
    std::string call = "SetupDiRemoveDevice";
    DeviceInfoSet* set = FindSet(handle);
    if (!set) return Fail(call, ERROR_INVALID_HANDLE);
    MachineDevice* device = DeviceOf(*set, data);
    if (!device) return Fail(call, ERROR_INVALID_PARAMETER);
    call += "(" + device->instance_id + ")";
    if (device->removed) return Fail(call, ERROR_NO_SUCH_DEVINST);
    if (device->removal_error) return Fail(call + " refused", device->removal_error);
    device->removed = true;
    Log(call + " -> TRUE, removed");
    return TRUE;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO handle) {
    std::string call = "SetupDiDestroyDeviceInfoList(" + HexText(reinterpret_cast<uintptr_t>(handle)) + ")";
    if (!FindSet(handle)) return Fail(call, ERROR_INVALID_HANDLE);
    State().sets.erase(reinterpret_cast<uintptr_t>(handle));
    Log(call + " -> TRUE");
    return TRUE;
}

// ---- The new-device installer ----

// The new driver's mixer device appears at the earliest time any installation step promised it.
void ExpectNewMixer(DeviceState& state, std::optional<uint64_t> delay_ms) {
    if (!delay_ms) return;
    uint64_t at_ms = CurrentMachine().now_ms() + *delay_ms;
    if (state.new_mixer_at_ms && *state.new_mixer_at_ms <= at_ms) return;
    state.new_mixer_at_ms = at_ms;
    Log("new mixer device due at " + std::to_string(at_ms) + " ms");
}

const DriverPackage* FindPackage(const DeviceState& state, const std::string& hardware_id,
                                 const std::string& inf_name) {
    for (const DriverPackage& package : state.options.packages)
        if ((package.hardware_id.empty() || EqualsNoCase(package.hardware_id, hardware_id)) &&
            (package.inf.empty() || EqualsNoCase(package.inf, inf_name)))
            return &package;
    return nullptr;
}

std::vector<MachineDevice*> DevicesWithHardwareId(DeviceState& state, std::string_view id) {
    std::vector<MachineDevice*> found;
    for (MachineDevice& device : state.devices)
        if (device.present && !device.removed && HasHardwareId(device, id)) found.push_back(&device);
    return found;
}

std::string Trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The entries of an INF section through the machine's profile reader (names and values trimmed, comment
// lines left out), each split at its commas, with what follows a ';' outside quotes dropped as INF files do.
std::vector<std::pair<std::string, std::vector<std::string>>> InfEntries(const std::string& inf_path,
                                                                         const char* section) {
    std::vector<char> buffer(32768);
    DWORD caller_error = GetLastError();  // the reading is the update's own business
    DWORD length = GetPrivateProfileSectionA(section, buffer.data(), static_cast<DWORD>(buffer.size()),
                                             inf_path.c_str());
    SetLastError(caller_error);
    std::vector<std::pair<std::string, std::vector<std::string>>> entries;
    for (size_t at = 0; at < length; at += std::strlen(&buffer[at]) + 1) {
        std::string line = &buffer[at];
        size_t comment = line.find(';');
        if (comment != std::string::npos && line.find('"') > comment) line.erase(comment);
        size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::vector<std::string> fields;
        std::string rest = line.substr(equals + 1);
        size_t from = 0;
        for (size_t comma; (comma = rest.find(',', from)) != std::string::npos; from = comma + 1)
            fields.push_back(Trim(rest.substr(from, comma - from)));
        fields.push_back(Trim(rest.substr(from)));
        entries.push_back({Trim(line.substr(0, equals)), fields});
    }
    return entries;
}

// The INF's source files, where its [SourceDisksNames] and [SourceDisksFiles] say they lie: each disk's path
// (its fourth field) is below the installation root, the folder the INF lies in, unless it is a full path; a
// file's subfolder (its second field) is below its disk's path. Returns the first that is missing, or "".
std::string MissingSourceFile(const FileSystem& files, const std::string& inf_path) {
    auto below = [](std::string folder, std::string path) {
        if (path.size() > 1 && (path[1] == ':' || path.rfind("\\\\", 0) == 0)) folder.clear();
        while (!path.empty() && path.front() == '\\' && !folder.empty()) path.erase(0, 1);
        if (!path.empty() && path.back() != '\\') path += '\\';
        return folder + path;
    };
    std::string root = inf_path.substr(0, inf_path.find_last_of('\\') + 1);
    std::map<std::string, std::string> disk_folders;
    for (const auto& [id, fields] : InfEntries(inf_path, "SourceDisksNames"))
        disk_folders[id] = below(root, fields.size() > 3 ? fields[3] : "");
    for (const auto& [name, fields] : InfEntries(inf_path, "SourceDisksFiles")) {
        auto disk = disk_folders.find(fields[0]);
        if (disk == disk_folders.end()) continue;
        std::string path = below(disk->second, fields.size() > 1 ? fields[1] : "") + name;
        if (!files.Exists(path)) return path;
    }
    return "";
}

BOOL WINAPI UpdateDriverForPlugAndPlayDevicesA(HWND, LPCSTR hardware_id, LPCSTR full_inf_path,
                                               DWORD install_flags, BOOL* reboot_required) {
    std::string call = "UpdateDriverForPlugAndPlayDevicesA(" + Text(hardware_id) + ", " +
                       Text(full_inf_path) + ", 0x" + HexText(install_flags).substr(2) + ")";
    if (install_flags & ~DWORD(INSTALLFLAG_BITS)) return Fail(call, ERROR_INVALID_FLAGS);
    if (!hardware_id || !*hardware_id || !full_inf_path || !*full_inf_path)
        return Fail(call, ERROR_INVALID_PARAMETER);
    Machine& machine = CurrentMachine();
    if (!machine.files().ReadFile(full_inf_path)) return Fail(call, ERROR_FILE_NOT_FOUND);
    DeviceState& state = State();
    std::vector<MachineDevice*> devices = DevicesWithHardwareId(state, hardware_id);
    if (devices.empty()) return Fail(call, ERROR_NO_SUCH_DEVINST);
    // Without INSTALLFLAG_FORCE the driver the devices already have is not replaced by the same one.
    bool same_driver = true;
    for (MachineDevice* device : devices) same_driver &= EqualsNoCase(device->driver_inf, full_inf_path);
    if (same_driver && !(install_flags & INSTALLFLAG_FORCE)) return Fail(call, ERROR_NO_MORE_ITEMS);

    const DriverPackage* package = FindPackage(state, hardware_id, FileNameOf(full_inf_path));
    DriverResult result = package ? package->result : DriverResult::Failed;
    DWORD error = package ? package->error : DWORD(ERROR_NO_COMPAT_DRIVERS);
    state.driver_updates.push_back({hardware_id, full_inf_path, result, error});
    if (result == DriverResult::Failed) return Fail(call, error);
    // A source file that is not where the INF says makes Windows ask for the disk ("Files Needed"); nobody
    // inserts it, so the prompt is cancelled and nothing is installed.
    std::string missing = MissingSourceFile(machine.files(), full_inf_path);
    if (!missing.empty()) {
        Log("Files Needed: " + missing + " is not there; the prompt is cancelled");
        state.driver_updates.back().result = DriverResult::Failed;
        state.driver_updates.back().error = ERROR_CANCELLED;
        return Fail(call, ERROR_CANCELLED);
    }
    for (MachineDevice* device : devices) device->driver_inf = full_inf_path;
    bool restart = result == DriverResult::InstalledRestartRequired;
    if (reboot_required) *reboot_required = restart ? TRUE : FALSE;
    Log(call + " -> TRUE, installed for " + std::to_string(devices.size()) + " device(s)" +
        (restart ? ", restart required" : ""));
    ExpectNewMixer(state, state.options.mixer_after_update_ms);
    return TRUE;
}

// ---- OEM INF files ----

std::string InfFolder() {
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, MAX_PATH);
    std::string folder = windows;
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    return folder + "INF\\";
}

// The OEM INF files of the INF folder by their number.
std::map<unsigned, std::string> OemInfs(const std::string& folder) {
    std::map<unsigned, std::string> infs;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "oem*.inf").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return infs;
    do {
        unsigned number = 0;
        char rest[8] = "";
        if (std::sscanf(data.cFileName, "%*3[oOeEmM]%u%7s", &number, rest) == 2 && EqualsNoCase(rest, ".inf"))
            infs[number] = data.cFileName;
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return infs;
}

// The name the INF gets in the INF folder: the OEM INF that already has its contents, or the next free name.
std::string OemNameFor(const std::string& folder, const std::string& contents, bool* already) {
    std::map<unsigned, std::string> infs = OemInfs(folder);
    for (auto& [number, name] : infs)
        if (CurrentMachine().files().ReadFile(folder + name) == contents) return *already = true, name;
    unsigned free_number = 0;
    while (infs.count(free_number)) ++free_number;
    *already = false;
    return "oem" + std::to_string(free_number) + ".inf";
}

BOOL WINAPI SetupCopyOEMInfA(PCSTR source_inf, PCSTR, DWORD source_media_type, DWORD copy_style,
                             PSTR destination, DWORD destination_size, PDWORD required_size,
                             PSTR* destination_file_part) {
    std::string call = "SetupCopyOEMInfA(" + Text(source_inf) + ")";
    if (!source_inf || !*source_inf || source_media_type >= SPOST_MAX || (!destination && destination_size))
        return Fail(call, ERROR_INVALID_PARAMETER);
    Machine& machine = CurrentMachine();
    std::optional<std::string> contents = machine.files().ReadFile(source_inf);
    if (!contents) return Fail(call, ERROR_FILE_NOT_FOUND);
    std::string folder = InfFolder();
    bool already = false;
    std::string name = OemNameFor(folder, *contents, &already);
    if (already && (copy_style & SP_COPY_NOOVERWRITE)) return Fail(call, ERROR_FILE_EXISTS);
    std::string path = folder + name;
    if (!already && !CopyFileA(source_inf, path.c_str(), TRUE))
        return Fail(call + " to " + path, GetLastError());
    if (!already) Devices(machine).oem_infs.push_back(path);
    bool deleted = (copy_style & SP_COPY_DELETESOURCE) && DeleteFileA(source_inf);
    Log(call + " -> " + path + (already ? " (already there)" : "") + (deleted ? ", source deleted" : ""));
    DWORD size = static_cast<DWORD>(path.size() + 1);
    if (required_size) *required_size = size;
    if (!destination) return TRUE;
    // The INF stays copied when the name does not fit the caller's buffer.
    if (destination_size < size) return Fail(call + " name", ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(destination, path.c_str(), size);
    if (destination_file_part) *destination_file_part = destination + folder.size();
    return TRUE;
}

// ---- The lists of installation sources ----

std::string ListText(const std::vector<std::string>& list) {
    std::string text;
    for (const std::string& entry : list) text += (text.empty() ? "" : ", ") + entry;
    return "[" + text + "]";
}

// The system list (which the calling user, an administrator, gets for SRCLIST_SYSIFADMIN) and then the user
// list's entries that the system list does not have.
std::vector<std::string> QueriedSources(const DeviceState& state, DWORD flags) {
    std::vector<std::string> sources;
    if (flags & (SRCLIST_SYSTEM | SRCLIST_SYSIFADMIN)) sources = state.system_sources;
    size_t system_count = sources.size();
    if (flags & SRCLIST_USER)
        for (const std::string& entry : state.user_sources) {
            bool known = false;
            for (size_t i = 0; i < system_count; ++i) known |= EqualsNoCase(sources[i], entry);
            if (!known) sources.push_back(entry);
        }
    return sources;
}

BOOL WINAPI SetupQuerySourceListA(DWORD flags, PCSTR** list, UINT* count) {
    char call[64];
    std::snprintf(call, sizeof call, "SetupQuerySourceListA(0x%X)", static_cast<unsigned>(flags));
    DeviceState& state = State();
    if (!list || !count || !(flags & (SRCLIST_SYSTEM | SRCLIST_USER | SRCLIST_SYSIFADMIN)))
        return Fail(call, ERROR_INVALID_PARAMETER);
    if (state.options.source_list_error) return Fail(call, state.options.source_list_error);
    std::vector<std::string> sources = QueriedSources(state, flags);
    SourceListCopy copy;
    copy.entries = std::make_unique<PCSTR[]>(sources.size() + 1);
    for (size_t i = 0; i < sources.size(); ++i) {
        copy.texts.push_back(std::make_unique<char[]>(sources[i].size() + 1));
        std::memcpy(copy.texts.back().get(), sources[i].c_str(), sources[i].size() + 1);
        copy.entries[i] = copy.texts.back().get();
    }
    *list = copy.entries.get();
    *count = static_cast<UINT>(sources.size());
    state.source_list_copies[*list] = std::move(copy);
    Log(std::string(call) + " -> " + ListText(sources));
    return TRUE;
}

BOOL WINAPI SetupFreeSourceListA(PCSTR** list, UINT) {
    DeviceState& state = State();
    if (!list || !state.source_list_copies.count(*list))
        return Fail("SetupFreeSourceListA", ERROR_INVALID_PARAMETER);
    state.source_list_copies.erase(*list);
    *list = nullptr;
    return TRUE;
}

BOOL WINAPI SetupSetSourceListA(DWORD flags, PCSTR* list, UINT count) {
    std::vector<std::string> sources;
    for (UINT i = 0; list && i < count; ++i) sources.push_back(list[i] ? list[i] : "");
    char flags_text[16];
    std::snprintf(flags_text, sizeof flags_text, "0x%X", static_cast<unsigned>(flags));
    std::string call = "SetupSetSourceListA(" + std::string(flags_text) + ", " + ListText(sources) + ")";
    bool null_entry = false;
    for (UINT i = 0; list && i < count; ++i) null_entry |= !list[i];
    if ((count && !list) || null_entry) return Fail(call, ERROR_INVALID_PARAMETER);
    if (!(flags & (SRCLIST_SYSTEM | SRCLIST_USER | SRCLIST_SYSIFADMIN | SRCLIST_TEMPORARY)))
        return Fail(call, ERROR_INVALID_PARAMETER);
    // A temporary list lives in the calling process only; the machine keeps no such list.
    if (flags & SRCLIST_TEMPORARY) return Fail(call, ERROR_CALL_NOT_IMPLEMENTED);
    DeviceState& state = State();
    if (state.options.source_list_error) return Fail(call, state.options.source_list_error);
    if (flags & (SRCLIST_SYSTEM | SRCLIST_SYSIFADMIN)) state.system_sources = sources;
    if (flags & SRCLIST_USER) state.user_sources = sources;
    Log(call + " -> TRUE");
    return TRUE;
}

// ---- The configuration manager ----

std::string CrText(CONFIGRET result) {
    return result == CR_SUCCESS ? "CR_SUCCESS" : "CR " + HexText(result);
}

CONFIGRET Result(const std::string& call, CONFIGRET result) {
    Log(call + " -> " + CrText(result));
    return result;
}

CONFIGRET WINAPI CM_Locate_DevNodeA(PDEVINST node, DEVINSTID_A device_id, ULONG flags) {
    std::string call = "CM_Locate_DevNodeA(" + Text(device_id) + ", " + std::to_string(flags) + ")";
    if (!node) return Result(call, CR_INVALID_POINTER);
    *node = 0;
    if (flags & ~ULONG(CM_LOCATE_DEVNODE_BITS)) return Result(call, CR_INVALID_FLAG);
    DeviceState& state = State();
    if (state.options.locate_result != CR_SUCCESS) return Result(call, state.options.locate_result);
    if (!device_id || !*device_id) {
        *node = kRootNode;
        return Result(call + " root", CR_SUCCESS);
    }
    for (const MachineDevice& device : state.devices)
        if (!device.removed && (device.present || (flags & CM_LOCATE_DEVNODE_PHANTOM)) &&
            EqualsNoCase(device.instance_id, device_id)) {
            *node = device.devinst;
            return Result(call, CR_SUCCESS);
        }
    return Result(call, CR_NO_SUCH_DEVNODE);
}

CONFIGRET WINAPI CM_Reenumerate_DevNode(DEVINST node, ULONG flags) {
    std::string call = "CM_Reenumerate_DevNode(" + std::to_string(node) + ", " + std::to_string(flags) + ")";
    if (flags & ~ULONG(CM_REENUMERATE_BITS)) return Result(call, CR_INVALID_FLAG);
    DeviceState& state = State();
    MachineDevice* device = state.FindDevice(node);
    if (node != kRootNode && (!device || device->removed)) return Result(call, CR_INVALID_DEVNODE);
    if (state.options.reenumerate_result != CR_SUCCESS) return Result(call, state.options.reenumerate_result);
    Result(call, CR_SUCCESS);
    // The hardware of a removed device is still in the computer: enumerating the tree finds it again.
    if (node == kRootNode)
        for (MachineDevice& removed : state.devices)
            if (removed.removed) {
                removed.removed = false;
                removed.driver_inf.clear();
                Log("new hardware found: " + removed.instance_id);
            }
    ExpectNewMixer(state, state.options.mixer_after_reenumerate_ms);
    return CR_SUCCESS;
}

}  // namespace

// Each export has the type of Windows' declaration of the function.
#define SIM_EXPORT(module, name)                                                                   \
    static_assert(std::is_same_v<decltype(&name), decltype(&::name)>, #name " has Windows' type"); \
    (module).exports[#name] = reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&name))

void AddSetupApiExports(Module& module) {
    SIM_EXPORT(module, SetupDiGetClassDevsA);
    SIM_EXPORT(module, SetupDiEnumDeviceInfo);
    SIM_EXPORT(module, SetupDiGetDeviceRegistryPropertyA);
    SIM_EXPORT(module, SetupDiRemoveDevice);
    SIM_EXPORT(module, SetupDiDestroyDeviceInfoList);
    SIM_EXPORT(module, SetupCopyOEMInfA);
    SIM_EXPORT(module, SetupQuerySourceListA);
    SIM_EXPORT(module, SetupSetSourceListA);
    SIM_EXPORT(module, SetupFreeSourceListA);
}

void AddConfigManagerExports(Module& module) {
    SIM_EXPORT(module, CM_Locate_DevNodeA);
    SIM_EXPORT(module, CM_Reenumerate_DevNode);
}

void AddNewDevExports(Module& module) {
    SIM_EXPORT(module, UpdateDriverForPlugAndPlayDevicesA);
}

}  // namespace sim
