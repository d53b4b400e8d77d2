// The simulated machine's devices and what the device-installation and multimedia services do with them.
//
// What the machine holds: the present devices (class, hardware-ID list, instance id), the driver packages an
// update can install, the lists of installation sources, the OEM INF files copied so far, the mixer devices,
// the CD drives whose doors were opened and the sounds played. The functions that act on it are exports of
// the modules InstallDeviceServices installs for the machine's Windows version, and winmm's functions.
//
// Fault model. Everything that can go wrong, and is not a plain consequence of the machine's state, is a
// field that a test sets:
//   - DeviceOptions::class_devs_error       the list of present devices cannot be built;
//   - MachineDevice::property_error         reading the device's properties fails with this error (a device
//                                           with an empty hardware-ID list fails with ERROR_INVALID_DATA, as
//                                           on Windows, without a fault);
//   - MachineDevice::removal_error          the device refuses to be removed, with this error;
//   - DriverPackage (result, error)         a driver update for a hardware ID and INF installs, installs and
//                                           needs a restart, or fails with an error; an update no package
//                                           names fails with ERROR_NO_COMPAT_DRIVERS;
//   - DeviceOptions::locate_result,
//     DeviceOptions::reenumerate_result     the configuration manager cannot find the root node, or fails the
//                                           re-enumeration, with this CONFIGRET;
//   - DeviceOptions::source_list_error      querying or setting the source lists fails with this error;
//   - DeviceOptions::mixer_after_update_ms,
//     DeviceOptions::mixer_after_reenumerate_ms
//                                           how long after a successful driver update, or a re-enumeration of
//                                           the tree, the new driver's mixer device appears; unset: never;
//   - DeviceOptions::mci_open_errors,
//     DeviceOptions::mci_door_errors        the MCI open of a drive, or the opening of its door, fails with
//                                           this MCI error.
// Everything else behaves as Windows does: size negotiation, parameter checks, OEM INF numbering, MCI
// aliases.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/api/mmsystem.h"
#include "sim/api/setupapi.h"
#include "sim/machine.h"

namespace sim {

// Device setup classes.
extern const GUID kDevClassMedia;    // {4D36E96C-E325-11CE-BFC1-08002BE10318} sound, video and game
extern const GUID kDevClassSystem;   // {4D36E97D-E325-11CE-BFC1-08002BE10318}
extern const GUID kDevClassCdrom;    // {4D36E965-E325-11CE-BFC1-08002BE10318}
extern const GUID kDevClassDisplay;  // {4D36E968-E325-11CE-BFC1-08002BE10318}
extern const GUID kDevClassNet;      // {4D36E972-E325-11CE-BFC1-08002BE10318}

struct MachineDevice {
    std::string instance_id;  // "PCI\VEN_8086&DEV_2445&SUBSYS_00000000&REV_02\3&13C0B0C5&0&FD"
    GUID class_guid = kDevClassMedia;
    std::vector<std::string> hardware_ids;  // the SPDRP_HARDWAREID entries in their order; may be empty
    std::string description;                // SPDRP_DEVICEDESC; empty: the device has none
    bool present = true;                    // false: a device that is installed but not attached (listed
                                            // only without DIGCF_PRESENT)
    DWORD property_error = 0;               // fault: reading any of its properties fails with this error
    DWORD removal_error = 0;                // fault: SetupDiRemoveDevice refuses with this error

    // Kept by the machine.
    DEVINST devinst = 0;     // the configuration manager's node, given by the machine
    bool removed = false;    // SetupDiRemoveDevice took it out; a re-enumeration finds it again
    std::string driver_inf;  // the INF of the last driver update that installed for it
};

enum class DriverResult { Installed, InstalledRestartRequired, Failed };

// What a driver update with one INF does for one hardware ID.
struct DriverPackage {
    std::string hardware_id;  // the ID the update is given, compared without case; empty: any
    std::string inf;          // the INF's file name ("QVAUDIO.INF"), compared without case; empty: any
    DriverResult result = DriverResult::Installed;
    DWORD error = 0;  // for Failed: the update's error
};

struct DeviceOptions {
    std::vector<MachineDevice> devices;       // in the order the device-installation services list them
    std::vector<DriverPackage> packages;      // the first that matches decides
    std::vector<std::string> system_sources;  // SRCLIST_SYSTEM
    std::vector<std::string> user_sources;    // SRCLIST_USER
    UINT mixer_devices = 0;                   // before any new driver

    DWORD class_devs_error = 0;
    CONFIGRET locate_result = CR_SUCCESS;
    CONFIGRET reenumerate_result = CR_SUCCESS;
    DWORD source_list_error = 0;
    std::optional<uint64_t> mixer_after_update_ms;
    std::optional<uint64_t> mixer_after_reenumerate_ms;
    std::map<char, MCIERROR> mci_open_errors;  // by upper-case drive letter
    std::map<char, MCIERROR> mci_door_errors;
};

struct DriverUpdate {
    std::string hardware_id;
    std::string inf;  // the full path the update was given
    DriverResult result;
    DWORD error;
};

struct SoundPlayed {
    std::string sound;  // the file name as given, empty for a stop request
    UINT flags;
    uint64_t time_ms;
};

struct MciDevice {
    MCIDEVICEID id;
    char drive;         // the CD drive's letter
    std::string alias;  // the name the device is known by: the alias, else the element, else the type
    bool shareable;
};

// A notification an MCI command with MCI_NOTIFY owes its callback window (MM_MCINOTIFY).
struct MciNotification {
    HWND window;
    MCIDEVICEID device;
    WPARAM code;  // MCI_NOTIFY_SUCCESSFUL
};

// A copy of the source lists that SetupQuerySourceListA handed out, until SetupFreeSourceListA.
struct SourceListCopy {
    std::unique_ptr<PCSTR[]> entries;
    std::vector<std::unique_ptr<char[]>> texts;
};

// A device information set: what SetupDiGetClassDevsA listed, by index into DeviceState::devices. Removal
// leaves a device in the sets that hold it, as on Windows.
struct DeviceInfoSet {
    DWORD process_id;
    std::vector<size_t> devices;
};

// The machine's state, kept in its "devices" slot.
struct DeviceState {
    DeviceOptions options;
    std::vector<MachineDevice> devices;
    std::vector<std::string> system_sources;
    std::vector<std::string> user_sources;
    std::vector<DriverUpdate> driver_updates;
    std::vector<std::string> oem_infs;        // the INF folder names SetupCopyOEMInfA wrote, in order
    std::optional<uint64_t> new_mixer_at_ms;  // when the new driver's mixer device appears
    std::vector<std::string> doors_opened;    // "D:", in the order the doors opened
    std::map<char, bool> door_open;           // by drive letter: the door is open now
    std::vector<SoundPlayed> sounds;
    std::map<DWORD, std::vector<MciDevice>> mci;  // open MCI devices by process id
    std::map<DWORD, MCIDEVICEID> last_mci_id;     // by process id
    std::vector<MciNotification> mci_notifications;
    std::map<uintptr_t, DeviceInfoSet> sets;  // by handle value
    uintptr_t next_set = 0;
    std::map<const PCSTR*, SourceListCopy> source_list_copies;

    UINT mixer_count(uint64_t now_ms) const;
    MachineDevice* FindDevice(DEVINST devinst);
};

// Installs the device-installation modules the machine's Windows version has, and the devices and faults of
// the options. Call it once, before running programs. Throws InputError for options that describe no machine
// (a device without instance id, two devices with one id, an MCI fault for no drive letter).
void InstallDeviceServices(Machine& machine, DeviceOptions options = {});
// The machine's devices, for tests and tools to read (and, between runs, change).
DeviceState& Devices(Machine& machine);

// Which of the libraries a Windows version has (see devices.cpp for where each fact comes from).
struct DeviceModules {
    bool setupapi;     // SETUPAPI.DLL with the SetupDi, OEM INF and source-list functions
    bool setupapi_cm;  // ...which also exports CM_Locate_DevNodeA and CM_Reenumerate_DevNode
    bool cfgmgr32;     // CFGMGR32.DLL with CM_Locate_DevNodeA and CM_Reenumerate_DevNode
    bool newdev;       // NEWDEV.DLL with UpdateDriverForPlugAndPlayDevicesA
};
DeviceModules DeviceModulesOf(const VersionInfo& version);

// The exports of the device-installation libraries (api_setupapi.cpp).
void AddSetupApiExports(Module& module);
void AddConfigManagerExports(Module& module);
void AddNewDevExports(Module& module);

}  // namespace sim
