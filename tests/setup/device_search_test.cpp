// The search of the present devices by a piece of a hardware ID, called as the main window and the worker
// call it, on simulated machines with the devices each case needs.
#include <gtest/gtest.h>

#include <cstring>

#include "scan/device_search.h"
#include "setup_machine.h"

namespace setup_test {
namespace {

sim::MachineDevice Device(std::vector<std::string> ids, DWORD property_error = 0, DWORD removal_error = 0) {
    static int instances = 0;
    sim::MachineDevice device;
    device.instance_id = "PCI\\DEVICE\\" + std::to_string(++instances);
    device.hardware_ids = std::move(ids);
    device.property_error = property_error;
    device.removal_error = removal_error;
    return device;
}

struct Search {
    int result;
    std::string buffer;
    int remove;
    DWORD last_error;
};

Search FindOn(sim::DeviceOptions devices, const std::string& pattern, int remove,
              const char* version = "winxp") {
    sim::Machine machine(version);
    sim::InstallDeviceServices(machine, std::move(devices));
    Search search{};
    machine.RunCode([&] {
        char buffer[256];
        std::memset(buffer, 0, sizeof buffer);
        std::strcpy(buffer, pattern.c_str());
        search.remove = remove;
        SetLastError(0xabcd);
        search.result = FindDeviceByHardwareId(buffer, &search.remove);
        search.last_error = GetLastError();
        search.buffer = buffer;
    });
    return search;
}

const char kIch[] = "PCI\\VEN_8086&DEV_2445&SUBSYS_00000000&REV_02";

TEST(DeviceSearch, FindsTheFirstEntryContainingThePattern) {
    struct Case {
        const char* name;
        std::vector<sim::MachineDevice> devices;
        std::string pattern;
        int result;
        std::string buffer;  // afterwards
    };
    const Case cases[] = {
        {"a longer ID", {Device({kIch, "PCI\\VEN_8086&DEV_2445"})}, "PCI\\VEN_8086&DEV_2445", 1, kIch},
        {"the first entry of the device's list wins",
         {Device({"PCI\\VEN_8086&DEV_2445&SUBSYS_1", "PCI\\VEN_8086&DEV_2445&SUBSYS_1&REV_02"})},
         "DEV_2445",
         1,
         "PCI\\VEN_8086&DEV_2445&SUBSYS_1"},
        {"the first device wins",
         {Device({"PCI\\A&DEV_2445"}), Device({"PCI\\B&DEV_2445"})},
         "DEV_2445",
         1,
         "PCI\\A&DEV_2445"},
        {"case matters", {Device({kIch})}, "pci\\ven_8086", 0, "pci\\ven_8086"},
        {"no match", {Device({kIch})}, "PCI\\VEN_5E1A&DEV_0111", 0, "PCI\\VEN_5E1A&DEV_0111"},
        {"a device without IDs is passed over", {Device({}), Device({kIch})}, "DEV_2445", 1, kIch},
        {"an empty pattern matches the first device with IDs", {Device({}), Device({kIch})}, "", 1, kIch},
        {"no devices", {}, "DEV_2445", 0, "DEV_2445"},
        {"an ID of 256 characters is no match",
         {Device({"PCI\\" + std::string(252, 'X')}), Device({kIch})},
         "PCI",
         1,
         kIch},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::DeviceOptions devices;
        devices.devices = c.devices;
        Search search = FindOn(devices, c.pattern, 0);
        EXPECT_EQ(search.result, c.result);
        EXPECT_EQ(search.buffer, c.buffer);
        EXPECT_EQ(search.remove, 0);  // not asked: never written
    }
}

// A read error other than "no IDs" and "buffer too small" ends the search, even before a later match, and
// leaves that error as the thread's last error.
TEST(DeviceSearch, AnUnexpectedReadErrorEndsTheSearch) {
    sim::DeviceOptions devices;
    devices.devices = {Device({"PCI\\BROKEN"}, ERROR_NOT_ENOUGH_MEMORY), Device({kIch})};
    Search search = FindOn(devices, "DEV_2445", 0);
    EXPECT_EQ(search.result, 0);
    EXPECT_EQ(search.buffer, "DEV_2445");
    EXPECT_EQ(search.last_error, static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
}

TEST(DeviceSearch, RemovesTheDeviceWhenAsked) {
    struct Case {
        const char* name;
        DWORD removal_error;
        int remove_after;
    };
    const Case cases[] = {{"the system removes it", 0, 1}, {"the system refuses", ERROR_ACCESS_DENIED, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::DeviceOptions options;
        options.devices = {Device({kIch}, 0, c.removal_error), Device({"PCI\\VEN_8086&DEV_2445&SUBSYS_2"})};
        sim::Machine machine("winxp");
        sim::InstallDeviceServices(machine, options);
        Search search{};
        machine.RunCode([&] {
            char buffer[256] = "DEV_2445";
            search.remove = 1;
            search.result = FindDeviceByHardwareId(buffer, &search.remove);
            search.buffer = buffer;
        });
        EXPECT_EQ(search.result, 1);
        EXPECT_EQ(search.remove, c.remove_after);
        EXPECT_EQ(search.buffer, kIch);
        // Only the first matching device is touched.
        EXPECT_EQ(sim::Devices(machine).devices[0].removed, c.remove_after == 1);
        EXPECT_FALSE(sim::Devices(machine).devices[1].removed);
    }
}

// Without the device-installation library (Windows 95) the search finds nothing.
TEST(DeviceSearch, WithoutTheLibraryNothingIsFound) {
    sim::DeviceOptions devices;
    devices.devices = {Device({kIch})};
    Search search = FindOn(devices, "DEV_2445", 0, "win95");
    EXPECT_EQ(search.result, 0);
    EXPECT_EQ(search.buffer, "DEV_2445");
}

}  // namespace
}  // namespace setup_test
