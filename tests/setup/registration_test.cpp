// The worker's device work: which controller it finds, the driver updates or OEM INF registrations, the
// driver index files, the driver source list (also under Wine's unimplemented SetupAPI stubs), the companion
// installer wait and the window's show request.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstring>

#include "install_run.h"

namespace setup_test {
namespace {

const char kStagingSource[] = "C:\\Program Files\\Korvane\\WIN_ME\\";

// Runs an installation from Install at 1 s until the machine is idle or 60 s have passed.
void RunInstall(SetupMachine& m) {
    m.Start();
    m.ClickAt(1000, 1002);
    sim::RunResult result = m.machine.Run(60000);
    ASSERT_FALSE(result.deadlocked()) << result.deadlock;
}

sim::DeviceOptions WithControllers(const std::vector<std::string>& ids,
                                   std::vector<sim::DriverPackage> packages) {
    sim::DeviceOptions devices;
    for (const std::string& id : ids) devices.devices.push_back(SetupMachine::Controller(id));
    devices.packages = std::move(packages);
    devices.mixer_after_update_ms = 0;
    devices.mixer_after_reenumerate_ms = 0;
    return devices;
}

std::vector<std::string> UpdatedIds(SetupMachine& m) {
    std::vector<std::string> ids;
    for (const sim::DriverUpdate& update : sim::Devices(m.machine).driver_updates)
        ids.push_back(update.hardware_id);
    return ids;
}

// The first ID of the list that a present device carries decides, and the update gets that device's full ID.
TEST(Registration, TheFirstSupportedControllerOfTheListIsUpdated) {
    struct Case {
        const char* name;
        std::vector<std::string> present;
        std::vector<std::string> updated;
    };
    const std::string via = "PCI\\VEN_1106&DEV_3059&SUBSYS_00001106&REV_50";
    const std::string ali = "PCI\\VEN_10B9&DEV_5451&SUBSYS_00000000&REV_01";
    const Case cases[] = {
        {"the maker's chip before a chipset controller",
         {kOtherController, kOwnController},
         {kOwnController}},
        {"a chipset controller", {kOtherController}, {kOtherController}},
        {"earlier in the list wins, not earlier in the machine", {ali, via}, {via}},
        {"the last of the list", {ali}, {ali}},
        {"an unsupported device", {"PCI\\VEN_1274&DEV_1371&SUBSYS_13711274"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetupMachine m("winxp", WithControllers(c.present, {{"", "", sim::DriverResult::Installed, 0}}));
        PutDriverMedium(m, Package::kChip);
        RunInstall(m);
        EXPECT_EQ(UpdatedIds(m), c.updated);
        // Without a controller the package's INF files are registered instead.
        EXPECT_EQ(sim::Devices(m.machine).oem_infs.size(), c.updated.empty() ? 2u : 0u);
    }
}

// The codec package tries its INF files in order until one installs; the chip package has one try.
TEST(Registration, DriverUpdatesStopAtTheFirstThatInstalls) {
    struct Case {
        const char* name;
        Package package;
        std::string installing_inf;  // empty: none installs
        size_t updates, oem_infs;
    };
    const Case cases[] = {
        {"codec, third INF", Package::kCodec, "QVUDA2.INF", 3, 0},
        {"codec, first INF", Package::kCodec, "QVUDA.INF", 1, 0},
        {"codec, none", Package::kCodec, "", 10, 10},
        {"chip, none", Package::kChip, "", 1, 2},
        {"chip, the second INF would install: never tried", Package::kChip, "QVAUDIO1.INF", 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<sim::DriverPackage> packages;
        if (!c.installing_inf.empty())
            packages.push_back({"", c.installing_inf, sim::DriverResult::Installed, 0});
        SetupMachine m("winxp", WithControllers({kOtherController}, packages));
        PutDriverMedium(m, c.package);
        RunInstall(m);
        const auto& updates = sim::Devices(m.machine).driver_updates;
        ASSERT_EQ(updates.size(), c.updates);
        std::vector<std::string> infs = PackageInfs(c.package);
        for (size_t i = 0; i < updates.size(); ++i)
            EXPECT_EQ(updates[i].inf, std::string(kStagingFolder) + "\\" + infs[i]);
        EXPECT_EQ(sim::Devices(m.machine).oem_infs.size(), c.oem_infs);
    }
}

// Every update failed: the device entry goes (by its full ID), the INF files are registered in order, and the
// re-enumeration finds the hardware again as new.
TEST(Registration, AFailedUpdateRemovesTheDeviceAndRegistersTheInfFiles) {
    SetupMachine m("winxp", WithControllers({kOtherController}, {}));
    PutDriverMedium(m, Package::kCodec);
    RunInstall(m);
    const auto& devices = sim::Devices(m.machine);
    ASSERT_EQ(devices.oem_infs.size(), 10u);
    std::vector<std::string> copied = LinesWith(m, "device", "SetupCopyOEMInfA(");
    ASSERT_EQ(copied.size(), 10u);
    for (size_t i = 0; i < copied.size(); ++i) {
        EXPECT_NE(copied[i].find(std::string(kStagingFolder) + "\\" + PackageInfs(Package::kCodec)[i]),
                  std::string::npos);
    }
    int removed = IndexOf(m, "device", "SetupDiRemoveDevice");
    ASSERT_GE(removed, 0);
    EXPECT_LT(IndexOf(m, "device", "UpdateDriverForPlugAndPlayDevicesA"), removed);
    EXPECT_LT(removed, IndexOf(m, "device", "SetupCopyOEMInfA"));
    EXPECT_LT(IndexOf(m, "device", "SetupCopyOEMInfA"), IndexOf(m, "device", "SetupSetSourceListA"));
    EXPECT_LT(IndexOf(m, "device", "SetupSetSourceListA"), IndexOf(m, "device", "CM_Reenumerate_DevNode"));
    EXPECT_GT(IndexOf(m, "device", "new hardware found"), IndexOf(m, "device", "CM_Reenumerate_DevNode"));
}

TEST(Registration, TheDriverIndexFilesAreDeletedEvenReadOnly) {
    SetupMachine m("win98se");
    PutDriverMedium(m, Package::kChip);
    m.machine.files().WriteFile("C:\\WINDOWS\\INF\\Drvdata.bin", "index");
    m.machine.files().SetAttributes("C:\\WINDOWS\\INF\\Drvdata.bin", FILE_ATTRIBUTE_READONLY);
    m.machine.files().WriteFile("C:\\WINDOWS\\INF\\Drvidx.bin", "index");
    RunInstall(m);
    EXPECT_FALSE(m.machine.files().Exists("C:\\WINDOWS\\INF\\Drvdata.bin"));
    EXPECT_FALSE(m.machine.files().Exists("C:\\WINDOWS\\INF\\Drvidx.bin"));
}

// The staging folder is appended to the system's list; a list of any length is kept whole; a failed query
// leaves the list as it was.
TEST(Registration, TheStagingFolderIsAddedToTheSourceList) {
    std::vector<std::string> long_list;
    for (int i = 0; i < 120; ++i) long_list.push_back("E:\\SOURCES\\S" + std::to_string(i));
    std::vector<std::string> long_after = long_list;
    long_after.push_back(kStagingSource);
    struct Case {
        const char* name;
        std::vector<std::string> before;
        DWORD error;
        std::vector<std::string> after;
    };
    const Case cases[] = {
        {"empty", {}, 0, {kStagingSource}},
        {"two entries",
         {"C:\\WINDOWS\\OPTIONS\\CABS", "D:\\WIN98"},
         0,
         {"C:\\WINDOWS\\OPTIONS\\CABS", "D:\\WIN98", kStagingSource}},
        {"already there", {kStagingSource}, 0, {kStagingSource, kStagingSource}},
        {"120 entries", long_list, 0, long_after},
        {"the query fails", {"D:\\WIN98"}, ERROR_ACCESS_DENIED, {"D:\\WIN98"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::DeviceOptions devices = SetupMachine::DriverLoadsAtOnce();
        devices.system_sources = c.before;
        devices.source_list_error = c.error;
        SetupMachine m("winxp", devices);
        PutDriverMedium(m, Package::kChip);
        RunInstall(m);
        EXPECT_EQ(sim::Devices(m.machine).system_sources, c.after);
        if (c.error == 0) {
            EXPECT_EQ(sim::Devices(m.machine).user_sources, c.after);
        }
        EXPECT_TRUE(sim::Devices(m.machine).source_list_copies.empty());  // the queried copy was freed
    }
}

// Wine 8's generated stub for an unimplemented export, in the shape of either processor:
//   i386:   nine NOPs, sub esp,12, mov dword [esp+4], <its name's address>;
//   x86-64: sub rsp,40, lea rcx,[rip+<library name>], lea rdx,[rip+<its name>].
// It lies in memory below 4 GB, as in a 32-bit process, so that the name's address fits the i386 instruction.
struct WineStub {
    unsigned char* memory = nullptr;
    WineStub(const char* name, bool x64) {
        void* page =
            mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
        if (page == MAP_FAILED) return;
        memory = static_cast<unsigned char*>(page);
        char* text = reinterpret_cast<char*>(memory + 256);
        std::strcpy(text, name);
        std::strcpy(text + 64, "setupapi.dll");
        if (x64) {
            const unsigned char start[] = {0x48, 0x83, 0xEC, 0x28, 0x48, 0x8D, 0x0D,
                                           0,    0,    0,    0,    0x48, 0x8D, 0x15};
            std::memcpy(memory, start, sizeof start);
            int32_t library = static_cast<int32_t>(text + 64 - reinterpret_cast<char*>(memory + 11));
            int32_t function = static_cast<int32_t>(text - reinterpret_cast<char*>(memory + 18));
            std::memcpy(memory + 7, &library, 4);
            std::memcpy(memory + 14, &function, 4);
            memory[18] = 0xE8;  // the call that raises
        } else {
            const unsigned char start[] = {0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90,
                                           0x90, 0x83, 0xEC, 0x0C, 0xC7, 0x44, 0x24, 0x04};
            std::memcpy(memory, start, sizeof start);
            uint32_t address = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(text));
            std::memcpy(memory + sizeof start, &address, sizeof address);
        }
    }
    ~WineStub() {
        if (memory) munmap(memory, 4096);
    }
    FARPROC proc() const { return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(memory)); }
};

// Under Wine the query and free functions are stubs that would end the process: they are not called, the
// list stays as it is, and the run goes on to its end. With Wine's real functions the list is extended.
TEST(Registration, WineStubsOfTheSourceListFunctionsAreNotCalled) {
    enum Kind { kI386Stubs, kX64Stubs, kImplemented };
    for (Kind kind : {kI386Stubs, kX64Stubs, kImplemented}) {
        const char* names[] = {"i386 stubs", "x86-64 stubs", "implemented"};
        SCOPED_TRACE(names[kind]);
        bool stubs = kind != kImplemented;
        WineStub query("SetupQuerySourceListA", kind == kX64Stubs);
        WineStub release("SetupFreeSourceListA", kind == kX64Stubs);
        ASSERT_NE(query.memory, nullptr);
        sim::DeviceOptions devices = SetupMachine::DriverLoadsAtOnce();
        devices.system_sources = {"D:\\WIN98"};
        SetupMachine m("winxp", devices);
        sim::Module ntdll{"NTDLL.DLL", {}};
        ntdll.exports["wine_get_version"] = query.proc();  // never called
        m.machine.InstallModule(ntdll);
        if (stubs) {
            sim::Module setupapi = *m.machine.FindModule("SETUPAPI.DLL");
            setupapi.exports["SetupQuerySourceListA"] = query.proc();
            setupapi.exports["SetupFreeSourceListA"] = release.proc();
            m.machine.InstallModule(setupapi);
        }
        PutDriverMedium(m, Package::kChip);
        sim::Process& setup = m.Start();
        m.ClickAt(1000, 1002);
        m.machine.Run(60000);
        EXPECT_TRUE(setup.crash.empty()) << setup.crash;
        EXPECT_TRUE(setup.ended());
        std::vector<std::string> expected = {"D:\\WIN98"};
        if (!stubs) expected.push_back(kStagingSource);
        EXPECT_EQ(sim::Devices(m.machine).system_sources, expected);
        EXPECT_EQ(m.TimeOf("device", "SetupSetSourceListA") >= 0, !stubs);
        EXPECT_GE(m.TimeOf("device", "CM_Reenumerate_DevNode"), 0);
    }
}

// A companion installer window holds the driver update until it closes; then the worker asks the window to
// show itself again.
TEST(Registration, TheUpdateWaitsForTheCompanionInstaller) {
    SetupMachine m("winxp", WithControllers({kOtherController}, {{"", "", sim::DriverResult::Installed, 0}}));
    PutDriverMedium(m, Package::kChip);
    m.OpenWindow("InstallShield_Win", "PCI Audio Applications", 500, 9000);
    RunInstall(m);
    int64_t update = m.TimeOf("device", "UpdateDriverForPlugAndPlayDevicesA");
    EXPECT_GE(update, 9000);
    EXPECT_LE(update, 9500);
    EXPECT_GE(m.TimeOf("window", "hidden window \"Setup\""), 1000);
}

// Exit while the worker waits for the companion installer: the destroy handler waits for the worker without
// handling messages, so the worker's request to show the window must not wait for an answer.
TEST(Registration, TheShowRequestDoesNotBlockAWorkerTheWindowWaitsFor) {
    SetupMachine m("winxp", WithControllers({kOtherController}, {{"", "", sim::DriverResult::Installed, 0}}));
    PutDriverMedium(m, Package::kChip);
    m.OpenWindow("InstallShield_Win", "PCI Audio Applications", 500, 20000);
    sim::Process& setup = m.Start();
    m.ClickAt(1000, 1002);
    m.ClickAt(5000, 1003);
    sim::RunResult result = m.machine.Run(60000);
    ASSERT_FALSE(result.deadlocked()) << result.deadlock;
    EXPECT_TRUE(setup.ended());
    EXPECT_GE(m.TimeOf("device", "UpdateDriverForPlugAndPlayDevicesA"), 20000);
}

}  // namespace
}  // namespace setup_test
