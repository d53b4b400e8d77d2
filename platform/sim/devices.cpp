#include "sim/devices.h"

#include "sim/errors.h"

namespace sim {

const GUID kDevClassMedia = {0x4D36E96C, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
const GUID kDevClassSystem = {0x4D36E97D, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
const GUID kDevClassCdrom = {0x4D36E965, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
const GUID kDevClassDisplay = {0x4D36E968, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
const GUID kDevClassNet = {0x4D36E972, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

namespace {

// The root of the device tree is node 1; the devices follow in their order.
constexpr DEVINST kFirstDeviceNode = 2;

// Device options come from tests and scenario tools: a mistake in them is reported, not simulated.
void CheckOptions(const DeviceOptions& options) {
    for (size_t i = 0; i < options.devices.size(); ++i) {
        const std::string& id = options.devices[i].instance_id;
        if (id.empty() || id.size() >= MAX_DEVICE_ID_LEN)
            throw InputError("device " + std::to_string(i + 1) + ": an instance id of 1 to " +
                             std::to_string(MAX_DEVICE_ID_LEN - 1) + " characters is needed");
        for (size_t j = 0; j < i; ++j)
            if (EqualsNoCase(options.devices[j].instance_id, id))
                throw InputError("device " + std::to_string(i + 1) + ": instance id " + id +
                                 " is used twice");
    }
    for (const auto* errors : {&options.mci_open_errors, &options.mci_door_errors})
        for (const auto& [letter, error] : *errors)
            if (letter < 'A' || letter > 'Z')
                throw InputError(std::string("MCI fault for drive '") + letter +
                                 "': not an upper-case drive letter");
}

}  // namespace

UINT DeviceState::mixer_count(uint64_t now_ms) const {
    bool new_mixer = new_mixer_at_ms && now_ms >= *new_mixer_at_ms;
    return options.mixer_devices + (new_mixer ? 1 : 0);
}

MachineDevice* DeviceState::FindDevice(DEVINST devinst) {
    for (MachineDevice& device : devices)
        if (device.devinst == devinst) return &device;
    return nullptr;
}

DeviceModules DeviceModulesOf(const VersionInfo& version) {
    // Windows 95 has no 32-bit device-installation library: its configuration manager is reached from 16-bit
    // code only (Microsoft KB Q141147, "Calling Configuration Manager from Windows 95 Apps and DLLs").
    // Windows 98 and ME bring setupapi.dll and the 32-bit cfgmgr32.dll. NT 4 has setupapi.dll but no Plug and
    // Play manager, so no cfgmgr32.dll. From Windows 2000 on, setupapi.dll itself exports the CM_ functions
    // (cfgmgr32.dll forwards to it), and newdev.dll provides UpdateDriverForPlugAndPlayDevices, which its
    // documentation gives as available from Windows 2000.
    bool nt = version.nt_family();
    bool win95 = !nt && version.minor < 10;
    bool nt5 = nt && version.major >= 5;
    DeviceModules modules{};
    modules.setupapi = !win95;
    modules.setupapi_cm = nt5;
    modules.cfgmgr32 = (!nt && !win95) || nt5;
    modules.newdev = nt5;
    return modules;
}

void InstallDeviceServices(Machine& machine, DeviceOptions options) {
    CheckOptions(options);
    DeviceState& state = Devices(machine);
    state.devices = options.devices;
    for (size_t i = 0; i < state.devices.size(); ++i)
        state.devices[i].devinst = kFirstDeviceNode + static_cast<DEVINST>(i);
    state.system_sources = options.system_sources;
    state.user_sources = options.user_sources;
    state.options = std::move(options);

    DeviceModules modules = DeviceModulesOf(machine.version());
    if (modules.setupapi) {
        Module setupapi{"SETUPAPI.DLL", {}};
        AddSetupApiExports(setupapi);
        if (modules.setupapi_cm) AddConfigManagerExports(setupapi);
        machine.InstallModule(std::move(setupapi));
    }
    if (modules.cfgmgr32) {
        Module cfgmgr32{"CFGMGR32.DLL", {}};
        AddConfigManagerExports(cfgmgr32);
        machine.InstallModule(std::move(cfgmgr32));
    }
    if (modules.newdev) {
        Module newdev{"NEWDEV.DLL", {}};
        AddNewDevExports(newdev);
        machine.InstallModule(std::move(newdev));
    }

    // A driver that an update installed is loaded at the next boot, whatever the update said: the new
    // mixer device is there from the start.
    machine.WhenRestarts([&machine] {
        DeviceState& state = Devices(machine);
        for (const DriverUpdate& update : state.driver_updates) {
            if (update.result == DriverResult::Failed) continue;
            state.new_mixer_at_ms = machine.now_ms();
            break;
        }
    });
}

DeviceState& Devices(Machine& machine) {
    return machine.slot<DeviceState>("devices");
}

}  // namespace sim
