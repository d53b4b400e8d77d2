// The device-installation libraries and winmm's multimedia functions on the simulated machine, driven the
// way a program drives them: the optional libraries through LoadLibraryA and GetProcAddress, each failure
// checked for its result and its exact error after the last error was set to a marker.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sim/devices.h"
#include "sim/errors.h"
#include "sim/filesystem.h"
#include "win32api.h"

namespace {

using sim::DeviceOptions;
using sim::DriverPackage;
using sim::DriverResult;
using sim::MachineDevice;

constexpr DWORD kMarker = 0xDEADBEEF;
constexpr DWORD kReadError = 31;  // ERROR_GEN_FAILURE, the error a test injects

// A function of an optional library, found as a program finds it; null when the library or export is missing.
template <class Function>
Function Find(const char* library, const char* name) {
    HMODULE module = LoadLibraryA(library);
    if (!module) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
#define FIND(library, name) Find<decltype(&::name)>(library, #name)

struct SetupApi {
    decltype(&::SetupDiGetClassDevsA) get_class_devs = FIND("SETUPAPI.DLL", SetupDiGetClassDevsA);
    decltype(&::SetupDiEnumDeviceInfo) enum_device = FIND("SETUPAPI.DLL", SetupDiEnumDeviceInfo);
    decltype(&::SetupDiGetDeviceRegistryPropertyA) get_property =
        FIND("SETUPAPI.DLL", SetupDiGetDeviceRegistryPropertyA);
    decltype(&::SetupDiRemoveDevice) remove = FIND("SETUPAPI.DLL", SetupDiRemoveDevice);
    decltype(&::SetupDiDestroyDeviceInfoList) destroy = FIND("SETUPAPI.DLL", SetupDiDestroyDeviceInfoList);
    decltype(&::SetupCopyOEMInfA) copy_oem_inf = FIND("SETUPAPI.DLL", SetupCopyOEMInfA);
    decltype(&::SetupQuerySourceListA) query_sources = FIND("SETUPAPI.DLL", SetupQuerySourceListA);
    decltype(&::SetupSetSourceListA) set_sources = FIND("SETUPAPI.DLL", SetupSetSourceListA);
    decltype(&::SetupFreeSourceListA) free_sources = FIND("SETUPAPI.DLL", SetupFreeSourceListA);
    decltype(&::UpdateDriverForPlugAndPlayDevicesA) update_driver =
        FIND("NEWDEV.DLL", UpdateDriverForPlugAndPlayDevicesA);
    decltype(&::CM_Locate_DevNodeA) locate = FIND("CFGMGR32.DLL", CM_Locate_DevNodeA);
    decltype(&::CM_Reenumerate_DevNode) reenumerate = FIND("CFGMGR32.DLL", CM_Reenumerate_DevNode);
};

const char kAudioId[] = "PCI\\VEN_8086&DEV_2445&SUBSYS_00000000&REV_02";
const char kVideoId[] = "PCI\\VEN_10DE&DEV_0110&SUBSYS_00000000&REV_A1";

// An audio controller with four hardware IDs, a device without any, a display adapter and an unplugged
// mouse, in that order.
DeviceOptions FourDevices() {
    DeviceOptions options;
    MachineDevice audio;
    audio.instance_id = std::string(kAudioId) + "\\3&61AAA01&0&FD";
    audio.hardware_ids = {kAudioId, "PCI\\VEN_8086&DEV_2445&SUBSYS_00000000",
                          "PCI\\VEN_8086&DEV_2445&CC_040100", "PCI\\VEN_8086&DEV_2445"};
    audio.description = "Audio controller";
    MachineDevice beep;
    beep.instance_id = "ROOT\\LEGACY_BEEP\\0000";
    beep.class_guid = sim::kDevClassSystem;
    MachineDevice video;
    video.instance_id = std::string(kVideoId) + "\\4&1F7DBC9F&0&0008";
    video.class_guid = sim::kDevClassDisplay;
    video.hardware_ids = {kVideoId, "PCI\\VEN_10DE&DEV_0110"};
    MachineDevice mouse;
    mouse.instance_id = "USB\\VID_046D&PID_C016\\5&2A0F3E24&0&1";
    mouse.class_guid = sim::kDevClassSystem;
    mouse.hardware_ids = {"USB\\VID_046D&PID_C016"};
    mouse.present = false;
    options.devices = {audio, beep, video, mouse};
    return options;
}

// The hardware-ID list the way a program reads it: ask for the size, then read into a buffer of that size.
std::vector<std::string> HardwareIds(const SetupApi& api, HDEVINFO set, SP_DEVINFO_DATA& device) {
    DWORD size = 0;
    if (api.get_property(set, &device, SPDRP_HARDWAREID, nullptr, nullptr, 0, &size) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return {};
    std::vector<char> buffer(size);
    if (!api.get_property(set, &device, SPDRP_HARDWAREID, nullptr, reinterpret_cast<BYTE*>(buffer.data()),
                          size, nullptr))
        return {};
    std::vector<std::string> ids;
    for (const char* entry = buffer.data(); *entry; entry += std::strlen(entry) + 1) ids.push_back(entry);
    return ids;
}

std::string FirstId(const SetupApi& api, HDEVINFO set, SP_DEVINFO_DATA& device) {
    std::vector<std::string> ids = HardwareIds(api, set, device);
    return ids.empty() ? "" : ids.front();
}

SP_DEVINFO_DATA Record() {
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    return device;
}

// ---- Which libraries each Windows version has ----

TEST(DeviceModules, EachVersionHasItsLibraries) {
    // version, setupapi.dll, cfgmgr32.dll, newdev.dll, setupapi.dll exports the CM_ functions
    struct Case {
        const char* version;
        bool setupapi, cfgmgr32, newdev, setupapi_cm;
    };
    const Case cases[] = {
        {"win95", false, false, false, false}, {"win98", true, true, false, false},
        {"win98se", true, true, false, false}, {"winme", true, true, false, false},
        {"nt4", true, false, false, false},    {"win2k", true, true, true, true},
        {"winxp", true, true, true, true},     {"win2003", true, true, true, true},
        {"vista", true, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        sim::Machine machine(c.version);
        sim::InstallDeviceServices(machine);
        machine.RunCode([&] {
            SetLastError(kMarker);
            HMODULE setupapi = LoadLibraryA("setupapi.dll");
            EXPECT_EQ(setupapi != nullptr, c.setupapi);
            if (!setupapi) {
                EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
            }
            EXPECT_EQ(FIND("SETUPAPI.DLL", SetupDiGetClassDevsA) != nullptr, c.setupapi);
            EXPECT_EQ(FIND("SETUPAPI.DLL", SetupCopyOEMInfA) != nullptr, c.setupapi);
            EXPECT_EQ(FIND("SETUPAPI.DLL", CM_Locate_DevNodeA) != nullptr, c.setupapi_cm);
            EXPECT_EQ(FIND("CFGMGR32.DLL", CM_Reenumerate_DevNode) != nullptr, c.cfgmgr32);
            EXPECT_EQ(FIND("NEWDEV.DLL", UpdateDriverForPlugAndPlayDevicesA) != nullptr, c.newdev);
            // The installer only lives in newdev.dll.
            EXPECT_EQ(FIND("SETUPAPI.DLL", UpdateDriverForPlugAndPlayDevicesA), nullptr);
        });
    }
}

TEST(DeviceModules, OptionsThatDescribeNoMachineAreRejected) {
    DeviceOptions twice = FourDevices();
    twice.devices[2].instance_id = "root\\legacy_beep\\0000";
    DeviceOptions unnamed = FourDevices();
    unnamed.devices[0].instance_id.clear();
    DeviceOptions drive;
    drive.mci_open_errors['d'] = MCIERR_HARDWARE;
    for (const DeviceOptions* options : {&twice, &unnamed, &drive}) {
        sim::Machine machine;
        EXPECT_THROW(sim::InstallDeviceServices(machine, *options), sim::InputError);
    }
}

// ---- Listing devices ----

TEST(SetupDiEnum, ListsPresentDevicesOfAllClassesInTheMachinesOrder) {
    sim::Machine machine;
    sim::InstallDeviceServices(machine, FourDevices());
    const auto& devices = sim::Devices(machine).devices;
    machine.RunCode([&] {
        SetupApi api;
        HDEVINFO set = api.get_class_devs(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
        ASSERT_NE(set, INVALID_HANDLE_VALUE);
        // The unplugged mouse is not listed.
        for (DWORD index : {0u, 1u, 2u}) {
            SP_DEVINFO_DATA device = Record();
            ASSERT_TRUE(api.enum_device(set, index, &device)) << index;
            size_t expected = index;
            EXPECT_EQ(device.DevInst, devices[expected].devinst);
            EXPECT_TRUE(device.ClassGuid == devices[expected].class_guid);
        }
        SP_DEVINFO_DATA past = Record();
        past.DevInst = 77;
        SetLastError(kMarker);
        EXPECT_FALSE(api.enum_device(set, 3, &past));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_MORE_ITEMS));
        EXPECT_EQ(past.DevInst, 77u);  // the record is left as it was
        EXPECT_TRUE(api.destroy(set));
    });
}

TEST(SetupDiEnum, SelectsByPresenceClassAndEnumerator) {
    sim::Machine machine;
    sim::InstallDeviceServices(machine, FourDevices());
    machine.RunCode([&] {
        SetupApi api;
        auto count = [&](const GUID* class_guid, PCSTR enumerator, DWORD flags) {
            HDEVINFO set = api.get_class_devs(class_guid, enumerator, nullptr, flags);
            if (set == INVALID_HANDLE_VALUE) return -1;
            int n = 0;
            for (SP_DEVINFO_DATA device = Record(); api.enum_device(set, n, &device);) ++n;
            api.destroy(set);
            return n;
        };
        EXPECT_EQ(count(nullptr, nullptr, DIGCF_ALLCLASSES), 4);  // with the unplugged mouse
        EXPECT_EQ(count(&sim::kDevClassSystem, nullptr, DIGCF_PRESENT), 1);
        EXPECT_EQ(count(&sim::kDevClassSystem, nullptr, 0), 2);
        EXPECT_EQ(count(nullptr, "pci", DIGCF_ALLCLASSES | DIGCF_PRESENT), 2);
        EXPECT_EQ(count(nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT | DIGCF_DEVICEINTERFACE), 0);
    });
}

TEST(SetupDiEnum, RejectsBadArgumentsWithWindowsErrors) {
    sim::Machine machine;
    sim::InstallDeviceServices(machine, FourDevices());
    machine.RunCode([&] {
        SetupApi api;
        SetLastError(kMarker);
        EXPECT_EQ(api.get_class_devs(nullptr, nullptr, nullptr, DIGCF_PRESENT), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));

        SP_DEVINFO_DATA device = Record();
        for (HDEVINFO bad : {static_cast<HDEVINFO>(nullptr), static_cast<HDEVINFO>(INVALID_HANDLE_VALUE)}) {
            SetLastError(kMarker);
            EXPECT_FALSE(api.enum_device(bad, 0, &device));
            EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
            SetLastError(kMarker);
            EXPECT_FALSE(api.destroy(bad));
            EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
        }
        HDEVINFO set = api.get_class_devs(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
        SetLastError(kMarker);
        EXPECT_FALSE(api.enum_device(set, 0, nullptr));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
        for (DWORD size : {0u, DWORD(sizeof device - 1), DWORD(sizeof device + 4)}) {
            SP_DEVINFO_DATA wrong{};
            wrong.cbSize = size;
            SetLastError(kMarker);
            EXPECT_FALSE(api.enum_device(set, 0, &wrong)) << size;
            EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_USER_BUFFER)) << size;
            EXPECT_EQ(wrong.DevInst, 0u);
        }
        EXPECT_TRUE(api.destroy(set));
        SetLastError(kMarker);
        EXPECT_FALSE(api.destroy(set));  // once only
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    });
}

TEST(SetupDiEnum, AListThatCannotBeBuiltFailsWithTheInjectedError) {
    sim::Machine machine;
    DeviceOptions options = FourDevices();
    options.class_devs_error = ERROR_NOT_ENOUGH_MEMORY;
    sim::InstallDeviceServices(machine, options);
    machine.RunCode([&] {
        SetupApi api;
        SetLastError(kMarker);
        EXPECT_EQ(api.get_class_devs(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
    });
}

// ---- Reading hardware IDs ----

TEST(SetupDiProperty, NegotiatesTheSizeOfTheHardwareIdList) {
    sim::Machine machine;
    sim::InstallDeviceServices(machine, FourDevices());
    machine.RunCode([&] {
        SetupApi api;
        HDEVINFO set = api.get_class_devs(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
        SP_DEVINFO_DATA device = Record();
        ASSERT_TRUE(api.enum_device(set, 2, &device));  // the display adapter
        const std::string expected = std::string(kVideoId) + '\0' + "PCI\\VEN_10DE&DEV_0110" + '\0' + '\0';

        DWORD size = 0, type = 0;
        SetLastError(kMarker);
        EXPECT_FALSE(api.get_property(set, &device, SPDRP_HARDWAREID, &type, nullptr, 0, &size));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
        EXPECT_EQ(size, expected.size());  // both terminating zeros counted
        EXPECT_EQ(type, DWORD(REG_MULTI_SZ));

        std::vector<char> buffer(size + 8, 'x');
        SetLastError(kMarker);
        EXPECT_FALSE(api.get_property(set, &device, SPDRP_HARDWAREID, nullptr,
                                      reinterpret_cast<BYTE*>(buffer.data()), size - 1, nullptr));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
        EXPECT_EQ(buffer[0], 'x');  // nothing written

        DWORD required = 0;
        type = 0;
        EXPECT_TRUE(api.get_property(set, &device, SPDRP_HARDWAREID, &type,
                                     reinterpret_cast<BYTE*>(buffer.data()), size, &required));
        EXPECT_EQ(std::string(buffer.data(), size), expected);
        EXPECT_EQ(buffer[size], 'x');
        EXPECT_EQ(required, size);
        EXPECT_EQ(type, DWORD(REG_MULTI_SZ));
        api.destroy(set);
    });
}

TEST(SetupDiProperty, FailsWithTheErrorWindowsGivesForEachCase) {
    sim::Machine machine;
    DeviceOptions options = FourDevices();
    options.devices[2].property_error = kReadError;
    sim::InstallDeviceServices(machine, options);
    // index of the device (or -1 for a record that belongs to no set), property, buffer size, error
    struct Case {
        const char* what;
        int index;
        DWORD property;
        DWORD buffer_size;
        DWORD error;
    };
    const Case cases[] = {
        {"no hardware IDs", 1, SPDRP_HARDWAREID, 0, ERROR_INVALID_DATA},
        {"no description", 1, SPDRP_DEVICEDESC, 0, ERROR_INVALID_DATA},
        {"injected read error", 2, SPDRP_HARDWAREID, 0, kReadError},
        {"no compatible IDs", 0, SPDRP_COMPATIBLEIDS, 0, ERROR_INVALID_DATA},
        {"property out of range", 0, SPDRP_MAXIMUM_PROPERTY, 0, DWORD(ERROR_INVALID_REG_PROPERTY)},
        {"a size without a buffer", 0, SPDRP_HARDWAREID, 16, ERROR_INVALID_PARAMETER},
        {"a record of no set", -1, SPDRP_HARDWAREID, 0, ERROR_INVALID_PARAMETER},
    };
    machine.RunCode([&] {
        SetupApi api;
        HDEVINFO set = api.get_class_devs(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            SP_DEVINFO_DATA device = Record();
            if (c.index >= 0) {
                ASSERT_TRUE(api.enum_device(set, c.index, &device));
            }
            DWORD size = 0;
            SetLastError(kMarker);
            EXPECT_FALSE(api.get_property(set, &device, c.property, nullptr, nullptr, c.buffer_size, &size));
            EXPECT_EQ(GetLastError(), c.error);
        }
        SP_DEVINFO_DATA device = Record();
        api.enum_device(set, 0, &device);
        SetLastError(kMarker);
        EXPECT_FALSE(api.get_property(nullptr, &device, SPDRP_HARDWAREID, nullptr, nullptr, 0, nullptr));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
        SetLastError(kMarker);
        EXPECT_FALSE(api.get_property(set, nullptr, SPDRP_HARDWAREID, nullptr, nullptr, 0, nullptr));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
        EXPECT_EQ(HardwareIds(api, set, device).size(), 4u);
        api.destroy(set);
    });
}

// ---- Removing devices ----

TEST(SetupDiRemove, RemovesTheDeviceButLeavesItInTheSet) {
    sim::Machine machine;
    sim::InstallDeviceServices(machine, FourDevices());
    machine.RunCode([&] {
        SetupApi api;
        HDEVINFO set = api.get_class_devs(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
        SP_DEVINFO_DATA audio = Record();
        ASSERT_TRUE(api.enum_device(set, 0, &audio));
        EXPECT_TRUE(api.remove(set, &audio));
        // As on Windows the set still lists the device, which no longer answers.
        SP_DEVINFO_DATA again = Record();
        ASSERT_TRUE(api.enum_device(set, 0, &again));
        EXPECT_EQ(again.DevInst, audio.DevInst);
        SetLastError(kMarker);
        EXPECT_FALSE(api.get_property(set, &again, SPDRP_HARDWAREID, nullptr, nullptr, 0, nullptr));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_SUCH_DEVINST));
        SetLastError(kMarker);
        EXPECT_FALSE(api.remove(set, &again));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_SUCH_DEVINST));
        api.destroy(set);

        // A new list no longer has it: the beep device comes first now.
        set = api.get_class_devs(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
        SP_DEVINFO_DATA first = Record();
        ASSERT_TRUE(api.enum_device(set, 0, &first));
        EXPECT_TRUE(first.ClassGuid == sim::kDevClassSystem);
        api.destroy(set);
    });
    EXPECT_TRUE(sim::Devices(machine).devices[0].removed);
    std::vector<std::string> lines = machine.trace().Lines("device");
    bool logged = false;
    for (const std::string& line : lines) logged |= line.find("SetupDiRemoveDevice(PCI\\VEN_8086") == 0;
    EXPECT_TRUE(logged);
}

TEST(SetupDiRemove, ADeviceThatRefusesStaysWithTheInjectedError) {
    sim::Machine machine;
    DeviceOptions options = FourDevices();
    options.devices[0].removal_error = ERROR_ACCESS_DENIED;
    sim::InstallDeviceServices(machine, options);
    machine.RunCode([&] {
        SetupApi api;
        HDEVINFO set = api.get_class_devs(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
        SP_DEVINFO_DATA audio = Record();
        ASSERT_TRUE(api.enum_device(set, 0, &audio));
        SetLastError(kMarker);
        EXPECT_FALSE(api.remove(set, &audio));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
        EXPECT_EQ(FirstId(api, set, audio), kAudioId);
        api.destroy(set);
    });
    EXPECT_FALSE(sim::Devices(machine).devices[0].removed);
}

TEST(SetupDiRemove, ARemovedDeviceIsFoundAgainWhenTheTreeIsEnumerated) {
    sim::Machine machine;
    sim::InstallDeviceServices(machine, FourDevices());
    machine.RunCode([&] {
        SetupApi api;
        HDEVINFO set = api.get_class_devs(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
        SP_DEVINFO_DATA audio = Record();
        api.enum_device(set, 0, &audio);
        ASSERT_TRUE(api.remove(set, &audio));
        api.destroy(set);
        DEVINST root = 0;
        ASSERT_EQ(api.locate(&root, nullptr, CM_LOCATE_DEVNODE_NORMAL), DWORD(CR_SUCCESS));
        EXPECT_EQ(api.reenumerate(root, 0), DWORD(CR_SUCCESS));
        set = api.get_class_devs(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
        SP_DEVINFO_DATA found = Record();
        ASSERT_TRUE(api.enum_device(set, 0, &found));
        EXPECT_EQ(FirstId(api, set, found), kAudioId);
        api.destroy(set);
    });
}

// ---- Driver updates ----

TEST(UpdateDriver, GivesEachPackageOutcome) {
    const std::string folder = "C:\\Program Files\\Korvane\\WIN_ME\\";
    // hardware ID, INF, installation flags, expected result, error, reboot flag afterwards (7: untouched)
    struct Case {
        const char* what;
        std::string hardware_id;
        std::string inf;
        DWORD flags;
        BOOL result;
        DWORD error;
        BOOL reboot;
    };
    const Case cases[] = {
        {"installs", kAudioId, folder + "QVAUDIO.INF", INSTALLFLAG_FORCE, TRUE, kMarker, FALSE},
        {"installs, restart", kAudioId, folder + "QVUDA.INF", INSTALLFLAG_FORCE, TRUE, kMarker, TRUE},
        {"fails", kAudioId, folder + "QVUDA1.INF", INSTALLFLAG_FORCE, FALSE, kReadError, 7},
        {"no driver for the ID", kAudioId, folder + "OTHER.INF", INSTALLFLAG_FORCE, FALSE,
         DWORD(ERROR_NO_COMPAT_DRIVERS), 7},
        {"INF missing", kAudioId, folder + "MISSING.INF", INSTALLFLAG_FORCE, FALSE, ERROR_FILE_NOT_FOUND, 7},
        {"ID of no device", "PCI\\VEN_1106&DEV_3059", folder + "QVAUDIO.INF", INSTALLFLAG_FORCE, FALSE,
         DWORD(ERROR_NO_SUCH_DEVINST), 7},
        {"the ID of an unplugged device", "USB\\VID_046D&PID_C016", folder + "QVAUDIO.INF", INSTALLFLAG_FORCE,
         FALSE, DWORD(ERROR_NO_SUCH_DEVINST), 7},
        {"unknown flag", kAudioId, folder + "QVAUDIO.INF", 0x10, FALSE, ERROR_INVALID_FLAGS, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim::Machine machine;
        DeviceOptions options = FourDevices();
        options.packages = {
            {kAudioId, "qvaudio.inf", DriverResult::Installed, 0},
            {"", "QVUDA.INF", DriverResult::InstalledRestartRequired, 0},
            {kAudioId, "QVUDA1.INF", DriverResult::Failed, kReadError},
        };
        sim::InstallDeviceServices(machine, options);
        for (const char* inf : {"QVAUDIO.INF", "QVUDA.INF", "QVUDA1.INF", "OTHER.INF"})
            machine.files().WriteFile(folder + inf, "[Version]\r\nSignature=\"$Chicago$\"\r\n");
        machine.RunCode([&] {
            SetupApi api;
            BOOL reboot = 7;
            SetLastError(kMarker);
            EXPECT_EQ(api.update_driver(nullptr, c.hardware_id.c_str(), c.inf.c_str(), c.flags, &reboot),
                      c.result);
            EXPECT_EQ(GetLastError(), c.error);
            EXPECT_EQ(reboot, c.reboot);
        });
    }
}

TEST(UpdateDriver, WithoutForceTheSameDriverIsNotInstalledAgain) {
    const std::string inf = "C:\\Program Files\\Korvane\\WIN_ME\\QVAUDIO.INF";
    sim::Machine machine;
    DeviceOptions options = FourDevices();
    options.packages = {{"", "QVAUDIO.INF", DriverResult::Installed, 0}};
    sim::InstallDeviceServices(machine, options);
    machine.files().WriteFile(inf, "[Version]\r\n");
    machine.RunCode([&] {
        SetupApi api;
        EXPECT_TRUE(api.update_driver(nullptr, kAudioId, inf.c_str(), 0, nullptr));
        SetLastError(kMarker);
        EXPECT_FALSE(api.update_driver(nullptr, kAudioId, inf.c_str(), 0, nullptr));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_MORE_ITEMS));
        EXPECT_TRUE(api.update_driver(nullptr, kAudioId, inf.c_str(), INSTALLFLAG_FORCE, nullptr));
    });
    EXPECT_EQ(sim::Devices(machine).driver_updates.size(), 2u);
    EXPECT_EQ(sim::Devices(machine).devices[0].driver_inf, inf);
}

// The update copies the INF's source files from where its source disks say: below the folder the INF lies
// in, or a full path. A file that is not there brings Windows' "Files Needed" prompt, which nobody answers
// here: the update is cancelled.
TEST(UpdateDriver, TakesTheSourceFilesFromWhereTheInfSays) {
    const std::string folder = "C:\\Program Files\\Korvane\\WIN_ME\\";
    struct Case {
        const char* what;
        std::string disk;     // the [SourceDisksNames] entry of disk 200
        std::string file;     // the [SourceDisksFiles] entry
        std::string present;  // where qvaudio.sys lies
        BOOL result;
    };
    const Case cases[] = {
        {"no path: beside the INF", "\"Disk\",qvaudio.cat,,", "qvaudio.sys=200", folder + "qvaudio.sys",
         TRUE},
        {"a path below the INF's folder", "\"Disk\",,,\\drv", "qvaudio.sys=200", folder + "drv\\qvaudio.sys",
         TRUE},
        {"that path is not the CD's", "\"Disk\",,,\\Win_XP\\drv", "qvaudio.sys=200",
         "D:\\Win_XP\\drv\\qvaudio.sys", FALSE},
        {"a full path", "\"Disk\",,,C:\\DRV", "qvaudio.sys=200", "C:\\DRV\\qvaudio.sys", TRUE},
        {"a file's subfolder", "\"Disk\",,,", "qvaudio.sys=200,sys", folder + "sys\\qvaudio.sys", TRUE},
        {"a file of no listed disk is not looked for", "\"Disk\",,,", "qvaudio.sys=7", "C:\\elsewhere.sys",
         TRUE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim::Machine machine;
        DeviceOptions options = FourDevices();
        options.packages = {{"", "", DriverResult::Installed, 0}};
        sim::InstallDeviceServices(machine, options);
        machine.files().AddDrive('D', DRIVE_CDROM, "CD");
        machine.files().WriteFile(folder + "QVAUDIO.INF",
                                  "[Version]\r\nSignature=\"$Windows NT$\"\r\n\r\n"
                                  "[SourceDisksNames]\r\n200=" +
                                      c.disk + "\r\n\r\n[SourceDisksFiles] ; the driver\r\n" + c.file +
                                      "\r\n");
        machine.files().WriteFile(c.present, "driver");
        machine.RunCode([&] {
            SetupApi api;
            SetLastError(kMarker);
            EXPECT_EQ(api.update_driver(nullptr, kAudioId, (folder + "QVAUDIO.INF").c_str(),
                                        INSTALLFLAG_FORCE, nullptr),
                      c.result);
            EXPECT_EQ(GetLastError(), c.result ? kMarker : DWORD(ERROR_CANCELLED));
        });
        EXPECT_EQ(sim::Devices(machine).devices[0].driver_inf.empty(), !c.result);
    }
}

// ---- OEM INF files ----

TEST(SetupCopyOEMInf, TakesTheNextFreeNumberAndDeletesTheSourceWhenAsked) {
    sim::Machine machine;
    sim::InstallDeviceServices(machine);
    const std::string stage = "C:\\Program Files\\Korvane\\WIN_ME\\";
    const std::string inf_folder = "C:\\WINDOWS\\INF\\";
    machine.files().WriteFile(inf_folder + "oem0.inf", "zero");
    machine.files().WriteFile(inf_folder + "OEM2.INF", "two");
    machine.files().WriteFile(stage + "QVUDA.INF", "package a");
    machine.files().WriteFile(stage + "QVUDA1.INF", "package b");
    machine.files().WriteFile(stage + "SAME.INF", "two");
    machine.RunCode([&] {
        SetupApi api;
        EXPECT_TRUE(api.copy_oem_inf((stage + "QVUDA.INF").c_str(), stage.c_str(), SPOST_PATH,
                                     SP_COPY_DELETESOURCE, nullptr, 0, nullptr, nullptr));
        char name[MAX_PATH] = "";
        DWORD required = 0;
        char* file_part = nullptr;
        EXPECT_TRUE(api.copy_oem_inf((stage + "QVUDA1.INF").c_str(), stage.c_str(), SPOST_PATH, 0, name,
                                     sizeof name, &required, &file_part));
        EXPECT_STREQ(name, "C:\\WINDOWS\\INF\\oem3.inf");
        EXPECT_EQ(required, std::strlen(name) + 1);
        EXPECT_STREQ(file_part, "oem3.inf");
        // An INF that is there already under an OEM name keeps that name.
        EXPECT_TRUE(api.copy_oem_inf((stage + "SAME.INF").c_str(), stage.c_str(), SPOST_PATH, 0, name,
                                     sizeof name, nullptr, nullptr));
        EXPECT_STREQ(name, "C:\\WINDOWS\\INF\\OEM2.INF");
        SetLastError(kMarker);
        EXPECT_FALSE(api.copy_oem_inf((stage + "SAME.INF").c_str(), stage.c_str(), SPOST_PATH,
                                      SP_COPY_NOOVERWRITE, nullptr, 0, nullptr, nullptr));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS));
    });
    EXPECT_EQ(machine.files().ReadFile(inf_folder + "oem1.inf"), "package a");
    EXPECT_FALSE(machine.files().Exists(stage + "QVUDA.INF"));
    EXPECT_EQ(machine.files().ReadFile(inf_folder + "oem3.inf"), "package b");
    EXPECT_TRUE(machine.files().Exists(stage + "QVUDA1.INF"));
    EXPECT_EQ(sim::Devices(machine).oem_infs,
              (std::vector<std::string>{inf_folder + "oem1.inf", inf_folder + "oem3.inf"}));
}

TEST(SetupCopyOEMInf, FailsForAMissingSourceOrASmallBuffer) {
    sim::Machine machine;
    sim::InstallDeviceServices(machine);
    machine.files().CreateFolder("C:\\WINDOWS\\INF");
    machine.files().WriteFile("C:\\STAGE\\A.INF", "a");
    machine.RunCode([&] {
        SetupApi api;
        SetLastError(kMarker);
        EXPECT_FALSE(api.copy_oem_inf("C:\\STAGE\\MISSING.INF", "C:\\STAGE", SPOST_PATH, SP_COPY_DELETESOURCE,
                                      nullptr, 0, nullptr, nullptr));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
        SetLastError(kMarker);
        EXPECT_FALSE(
            api.copy_oem_inf("C:\\STAGE\\A.INF", "C:\\STAGE", SPOST_MAX, 0, nullptr, 0, nullptr, nullptr));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
        // The copy is made; only the name does not fit.
        char name[8] = "";
        DWORD required = 0;
        SetLastError(kMarker);
        EXPECT_FALSE(api.copy_oem_inf("C:\\STAGE\\A.INF", "C:\\STAGE", SPOST_PATH, 0, name, sizeof name,
                                      &required, nullptr));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
        EXPECT_EQ(required, sizeof "C:\\WINDOWS\\INF\\oem0.inf");
    });
    EXPECT_EQ(machine.files().ReadFile("C:\\WINDOWS\\INF\\oem0.inf"), "a");
}

// ---- The source lists ----

TEST(SourceList, QueryAppendAndSetBothLists) {
    sim::Machine machine;
    DeviceOptions options;
    options.system_sources = {"D:\\I386", "E:\\"};
    options.user_sources = {"e:\\", "F:\\DRIVERS"};
    sim::InstallDeviceServices(machine, options);
    const char kStage[] = "C:\\Program Files\\Korvane\\WIN_ME\\";
    machine.RunCode([&] {
        SetupApi api;
        for (int run = 0; run < 2; ++run) {
            PCSTR* list = nullptr;
            UINT count = 0;
            ASSERT_TRUE(api.query_sources(SRCLIST_SYSTEM | SRCLIST_USER, &list, &count));
            std::vector<PCSTR> extended(list, list + count);
            extended.push_back(kStage);
            EXPECT_TRUE(api.set_sources(SRCLIST_SYSTEM | SRCLIST_USER, extended.data(), count + 1));
            EXPECT_TRUE(api.free_sources(&list, count));
            EXPECT_EQ(list, nullptr);
        }
        PCSTR* list = nullptr;
        UINT count = 0;
        ASSERT_TRUE(api.query_sources(SRCLIST_SYSTEM, &list, &count));
        EXPECT_EQ(std::vector<std::string>(list, list + count),
                  (std::vector<std::string>{"D:\\I386", "E:\\", "F:\\DRIVERS", kStage, kStage}));
        api.free_sources(&list, count);
    });
    // The first query merged the user list's own entry in, once.
    EXPECT_EQ(sim::Devices(machine).user_sources.size(), 5u);
}

TEST(SourceList, RejectsBadCallsAndInjectedFailures) {
    sim::Machine machine;
    DeviceOptions options;
    options.system_sources = {"D:\\I386"};
    sim::InstallDeviceServices(machine, options);
    machine.RunCode([&] {
        SetupApi api;
        PCSTR* list = nullptr;
        UINT count = 0;
        PCSTR entries[] = {"A:\\", nullptr};
        // flags, list, count, error
        SetLastError(kMarker);
        EXPECT_FALSE(api.query_sources(0, &list, &count));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
        SetLastError(kMarker);
        EXPECT_FALSE(api.query_sources(SRCLIST_SYSTEM, nullptr, &count));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
        SetLastError(kMarker);
        EXPECT_FALSE(api.set_sources(SRCLIST_SYSTEM, entries, 2));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
        SetLastError(kMarker);
        EXPECT_FALSE(api.set_sources(0, entries, 1));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
        PCSTR* unknown = entries;
        SetLastError(kMarker);
        EXPECT_FALSE(api.free_sources(&unknown, 1));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
        sim::Devices(sim::CurrentMachine()).options.source_list_error = ERROR_ACCESS_DENIED;
        SetLastError(kMarker);
        EXPECT_FALSE(api.set_sources(SRCLIST_SYSTEM, entries, 1));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    });
    EXPECT_EQ(sim::Devices(machine).system_sources, std::vector<std::string>{"D:\\I386"});
}

// ---- The configuration manager ----

TEST(ConfigManager, LocatesNodesAndChecksItsArguments) {
    sim::Machine machine;
    sim::InstallDeviceServices(machine, FourDevices());
    const auto& devices = sim::Devices(machine).devices;
    machine.RunCode([&] {
        SetupApi api;
        DEVINST node = 99;
        EXPECT_EQ(api.locate(nullptr, nullptr, 0), DWORD(CR_INVALID_POINTER));
        EXPECT_EQ(api.locate(&node, nullptr, 0x8), DWORD(CR_INVALID_FLAG));
        std::string video = devices[2].instance_id, mouse = devices[3].instance_id;
        EXPECT_EQ(api.locate(&node, video.data(), CM_LOCATE_DEVNODE_NORMAL), DWORD(CR_SUCCESS));
        EXPECT_EQ(node, devices[2].devinst);
        EXPECT_EQ(api.locate(&node, mouse.data(), CM_LOCATE_DEVNODE_NORMAL), DWORD(CR_NO_SUCH_DEVNODE));
        EXPECT_EQ(node, 0u);
        EXPECT_EQ(api.locate(&node, mouse.data(), CM_LOCATE_DEVNODE_PHANTOM), DWORD(CR_SUCCESS));
        char empty[] = "";
        EXPECT_EQ(api.locate(&node, empty, 0), DWORD(CR_SUCCESS));
        EXPECT_EQ(api.reenumerate(node, 0x8), DWORD(CR_INVALID_FLAG));
        EXPECT_EQ(api.reenumerate(12345, 0), DWORD(CR_INVALID_DEVNODE));
        EXPECT_EQ(api.reenumerate(node, CM_REENUMERATE_SYNCHRONOUS), DWORD(CR_SUCCESS));
        sim::Devices(sim::CurrentMachine()).options.locate_result = CR_FAILURE;
        EXPECT_EQ(api.locate(&node, nullptr, 0), DWORD(CR_FAILURE));
    });
}

// ---- The mixer count in virtual time ----

TEST(MixerCount, ANewMixerAppearsOnlyAfterItsDelay) {
    const std::string inf = "C:\\Program Files\\Korvane\\WIN_ME\\QVAUDIO.INF";
    // after an update (ms), after a re-enumeration (ms), pause before the last count, counts: before, right
    // after the steps, at the end
    struct Case {
        const char* what;
        std::optional<uint64_t> after_update_ms, after_reenumerate_ms;
        DWORD pause_ms;
        UINT before, after_steps, at_end;
    };
    const Case cases[] = {
        {"after the update", 5000, std::nullopt, 5000, 1, 1, 2},
        {"not quite yet", 5000, std::nullopt, 4999, 1, 1, 1},
        {"at once", 0, std::nullopt, 0, 1, 2, 2},
        {"after the re-enumeration", std::nullopt, 9000, 9000, 1, 1, 2},
        {"the earlier of both", 20000, 3000, 3000, 1, 1, 2},
        {"never", std::nullopt, std::nullopt, 600000, 1, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim::Machine machine;
        DeviceOptions options = FourDevices();
        options.mixer_devices = 1;
        options.packages = {{"", "", DriverResult::Installed, 0}};
        options.mixer_after_update_ms = c.after_update_ms;
        options.mixer_after_reenumerate_ms = c.after_reenumerate_ms;
        sim::InstallDeviceServices(machine, options);
        machine.files().WriteFile(inf, "[Version]\r\n");
        sim::RunResult run = machine.RunCode([&] {
            SetupApi api;
            EXPECT_EQ(mixerGetNumDevs(), c.before);
            BOOL reboot = TRUE;
            EXPECT_TRUE(api.update_driver(nullptr, kAudioId, inf.c_str(), INSTALLFLAG_FORCE, &reboot));
            DEVINST root = 0;
            api.locate(&root, nullptr, CM_LOCATE_DEVNODE_NORMAL);
            api.reenumerate(root, 0);
            EXPECT_EQ(mixerGetNumDevs(), c.after_steps);
            Sleep(c.pause_ms);
            EXPECT_EQ(mixerGetNumDevs(), c.at_end);
        });
        EXPECT_EQ(run.time_ms, c.pause_ms);
    }
}

// ---- MCI and the CD doors ----

// Opens a drive as the Eject CD command does: type id, element, alias, shareable, notify.
MCIERROR OpenCd(char letter, const char* alias, MCIDEVICEID* id) {
    char element[] = {letter, ':', '\0'};
    MCI_OPEN_PARMSA open{};
    open.dwCallback = 0x1234;
    open.lpstrDeviceType = reinterpret_cast<LPCSTR>(static_cast<UINT_PTR>(MCI_DEVTYPE_CD_AUDIO));
    open.lpstrElementName = element;
    open.lpstrAlias = alias;
    MCIERROR error = mciSendCommandA(0, MCI_OPEN, 0x3701, reinterpret_cast<DWORD_PTR>(&open));
    *id = open.wDeviceID;
    return error;
}

DWORD_PTR Mode(MCIDEVICEID id) {
    MCI_STATUS_PARMS status{};
    status.dwItem = MCI_STATUS_MODE;
    return mciSendCommandA(id, MCI_STATUS, MCI_NOTIFY | MCI_STATUS_ITEM, reinterpret_cast<DWORD_PTR>(&status))
               ? 0
               : status.dwReturn;
}

MCIERROR OpenDoor(MCIDEVICEID id) {
    MCI_SET_PARMS set{};
    return mciSendCommandA(id, MCI_SET, MCI_SET_DOOR_OPEN, reinterpret_cast<DWORD_PTR>(&set));
}

TEST(Mci, OpensCdDrivesAndTheirDoors) {
    sim::Machine machine;
    DeviceOptions options;
    options.mci_open_errors['F'] = MCIERR_HARDWARE;
    options.mci_door_errors['G'] = MCIERR_DEVICE_NOT_READY;
    sim::InstallDeviceServices(machine, options);
    for (char letter : {'D', 'E', 'F', 'G'}) machine.files().AddCdRomDrive(letter, "");
    machine.RunCode([&] {
        MCIDEVICEID d = 0, e = 0, g = 0, other = 77;
        EXPECT_EQ(OpenCd('D', "CD60000:", &d), 0u);
        EXPECT_EQ(d, 1u);
        EXPECT_EQ(Mode(d), DWORD_PTR(MCI_MODE_STOP));
        EXPECT_EQ(OpenDoor(d), 0u);
        EXPECT_EQ(Mode(d), DWORD_PTR(MCI_MODE_OPEN));
        // The alias is taken, whatever the drive; aliases compare without case.
        EXPECT_EQ(OpenCd('E', "cd60000:", &other), DWORD(MCIERR_DUPLICATE_ALIAS));
        EXPECT_EQ(OpenCd('E', "CD60001:", &e), 0u);
        EXPECT_EQ(e, 2u);
        EXPECT_EQ(OpenDoor(e), 0u);
        EXPECT_EQ(OpenCd('C', "CD1:", &other), DWORD(MCIERR_INVALID_FILE));  // a fixed disk
        EXPECT_EQ(OpenCd('Q', "CD2:", &other), DWORD(MCIERR_INVALID_FILE));  // no such drive
        EXPECT_EQ(OpenCd('F', "CD3:", &other), DWORD(MCIERR_HARDWARE));      // injected
        EXPECT_EQ(OpenCd('G', "CD4:", &g), 0u);
        EXPECT_EQ(OpenDoor(g), DWORD(MCIERR_DEVICE_NOT_READY));  // injected
        EXPECT_EQ(Mode(g), DWORD_PTR(MCI_MODE_STOP));
        EXPECT_EQ(OpenDoor(42), DWORD(MCIERR_INVALID_DEVICE_ID));
        EXPECT_EQ(mciSendCommandA(d, MCI_CLOSE, 0, 0), 0u);
        EXPECT_EQ(mciSendCommandA(d, MCI_CLOSE, 0, 0), DWORD(MCIERR_INVALID_DEVICE_ID));
    });
    EXPECT_EQ(sim::Devices(machine).doors_opened, (std::vector<std::string>{"D:", "E:"}));
    EXPECT_FALSE(machine.trace().Lines("mci").empty());
    // Open and status asked for a notification of window 0x1234 (the set did not).
    EXPECT_EQ(sim::Devices(machine).mci_notifications.size(), 6u);
}

TEST(Mci, ADriveOpenedWithoutSharingCannotBeOpenedAgain) {
    sim::Machine machine;
    sim::InstallDeviceServices(machine);
    machine.files().AddCdRomDrive('D', "");
    machine.RunCode([&] {
        char element[] = "D:";
        MCI_OPEN_PARMSA open{};
        open.lpstrDeviceType = "cdaudio";
        open.lpstrElementName = element;
        open.lpstrAlias = "first";
        DWORD_PTR flags = MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | MCI_OPEN_ALIAS | MCI_WAIT;
        EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, flags, reinterpret_cast<DWORD_PTR>(&open)), 0u);
        MCIDEVICEID first = open.wDeviceID;
        open.lpstrAlias = "second";
        EXPECT_EQ(
            mciSendCommandA(0, MCI_OPEN, flags | MCI_OPEN_SHAREABLE, reinterpret_cast<DWORD_PTR>(&open)),
            DWORD(MCIERR_MUST_USE_SHAREABLE));
        EXPECT_EQ(mciSendCommandA(first, MCI_CLOSE, 0, 0), 0u);
        // Without an alias the element is the device's name, so a second such open finds it taken.
        DWORD_PTR by_element = MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | MCI_OPEN_SHAREABLE;
        EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, by_element, reinterpret_cast<DWORD_PTR>(&open)), 0u);
        EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, by_element, reinterpret_cast<DWORD_PTR>(&open)),
                  DWORD(MCIERR_DEVICE_OPEN));
        open.lpstrDeviceType = "waveaudio";
        EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, flags, reinterpret_cast<DWORD_PTR>(&open)),
                  DWORD(MCIERR_INVALID_DEVICE_NAME));
        EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, flags, 0), DWORD(MCIERR_NULL_PARAMETER_BLOCK));
    });
}

TEST(Mci, NoCdDriveMeansNoDevice) {
    sim::Machine machine;
    sim::InstallDeviceServices(machine);
    machine.RunCode([&] {
        MCI_OPEN_PARMSA open{};
        open.lpstrDeviceType = "cdaudio";
        EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE, reinterpret_cast<DWORD_PTR>(&open)),
                  DWORD(MCIERR_CANNOT_LOAD_DRIVER));
        MCIDEVICEID id = 0;
        EXPECT_EQ(OpenCd('D', "CD1:", &id), DWORD(MCIERR_INVALID_FILE));
    });
    EXPECT_TRUE(sim::Devices(machine).doors_opened.empty());
}

// ---- Sounds ----

TEST(Sound, PlaybackIsRecordedWithItsFlags) {
    sim::Machine machine;
    sim::InstallDeviceServices(machine);
    machine.RunCode([&] {
        Sleep(250);
        EXPECT_TRUE(sndPlaySoundA("C:\\WINDOWS\\MEDIA\\start.wav", SND_ASYNC));
        EXPECT_TRUE(sndPlaySoundA(nullptr, 0));
    });
    const auto& sounds = sim::Devices(machine).sounds;
    ASSERT_EQ(sounds.size(), 2u);
    EXPECT_EQ(sounds[0].sound, "C:\\WINDOWS\\MEDIA\\start.wav");
    EXPECT_EQ(sounds[0].flags, UINT(SND_ASYNC));
    EXPECT_EQ(sounds[0].time_ms, 250u);
    EXPECT_EQ(sounds[1].sound, "");
    EXPECT_EQ(machine.trace().Lines("sound").size(), 2u);
}

}  // namespace
