// The install worker's ends with the phases the window showed: every way a run can end, what it did with the
// devices on the way and the Run values it left; the dots while the driver is awaited, the busy cursor, and
// Exit during the wait. The times follow the preparation's pauses (1 s, then 0.5 s) after Install.
#include <gtest/gtest.h>

#include "install_run.h"

namespace setup_test {
namespace {

const char kStarted[] = "Starting installation process...";
const char kWaiting[] = "Waiting for audio driver to be ready...";
const char kDone[] = "Done.";

sim::DriverPackage Installs(sim::DriverResult result, const std::string& inf = "") {
    sim::DriverPackage package;
    package.inf = inf;
    package.result = result;
    if (result == sim::DriverResult::Failed) package.error = ERROR_NO_COMPAT_DRIVERS;
    return package;
}

struct EndCase {
    const char* name;
    Package package;
    bool controller;
    std::vector<sim::DriverPackage> packages;
    uint64_t exit_at_ms;               // 0: the user never presses Exit
    std::vector<std::string> lines;    // what the list showed after the intro, at the last look
    std::vector<std::string> updates;  // the INF files of the driver updates, in order
    size_t oem_infs;                   // the INF files registered
    bool refreshed;                    // the source list was extended and the tree enumerated again
    bool speaker_entry, mixer_entry;
};

// The new driver's mixer device appears 4 s after the update or the re-enumeration that loads it, so the wait
// makes two passes; the mixer program is on the medium.
TEST(WorkerPaths, EveryEndOfTheRun) {
    using R = sim::DriverResult;
    const std::vector<std::string> waited = {kStarted, kWaiting, "..", kDone};
    const EndCase cases[] = {
        {"cancelled before anything is done", Package::kChip, true, {}, 1000, {}, {}, 0, false, false, false},
        {"cancelled after staging", Package::kChip, true, {}, 1500, {kStarted}, {}, 0, false, false, false},
        {"no supported controller", Package::kChip, false, {}, 0, waited, {}, 2, true, true, true},
        {"chip package installed, no restart",
         Package::kChip,
         true,
         {Installs(R::Installed)},
         0,
         waited,
         {"QVAUDIO.INF"},
         0,
         true,
         true,
         true},
        {"chip package installed, restart required",
         Package::kChip,
         true,
         {Installs(R::InstalledRestartRequired)},
         0,
         {kStarted, kDone},
         {"QVAUDIO.INF"},
         0,
         false,
         true,
         false},
        {"codec package installed by its third INF",
         Package::kCodec,
         true,
         {Installs(R::Installed, "QVUDA2.INF"), Installs(R::Failed)},
         0,
         {kStarted, kDone},
         {"QVUDA.INF", "QVUDA1.INF", "QVUDA2.INF"},
         0,
         false,
         false,
         false},
        {"every update failed",
         Package::kChip,
         true,
         {Installs(R::Failed)},
         0,
         waited,
         {"QVAUDIO.INF"},
         2,
         true,
         true,
         true},
        {"cancelled while waiting for the mixer",
         Package::kChip,
         false,
         {},
         2700,
         {kStarted, kWaiting, "."},
         {},
         2,
         true,
         true,
         false},
    };
    for (const EndCase& c : cases) {
        SCOPED_TRACE(c.name);
        sim::DeviceOptions devices;
        if (c.controller) devices.devices.push_back(SetupMachine::Controller(kOtherController));
        devices.packages = c.packages;
        devices.mixer_devices = 1;
        devices.mixer_after_update_ms = 4000;
        devices.mixer_after_reenumerate_ms = c.exit_at_ms ? std::optional<uint64_t>() : 4000;
        SetupMachine m("winxp", devices);
        PutDriverMedium(m, c.package, true);
        AddRunKey(m);
        LineWatch watch;
        WatchLines(m, watch, 60000);
        m.Start();
        m.ClickAt(1000, 1002);
        if (c.exit_at_ms) m.ClickAt(c.exit_at_ms, 1003);
        sim::RunResult result = m.machine.Run(60000);
        ASSERT_FALSE(result.deadlocked()) << result.deadlock;
        EXPECT_EQ(watch.AfterIntro(), c.lines);
        std::vector<std::string> updates;
        for (const sim::DriverUpdate& update : sim::Devices(m.machine).driver_updates)
            updates.push_back(update.inf.substr(update.inf.rfind('\\') + 1));
        EXPECT_EQ(updates, c.updates);
        for (const sim::DriverUpdate& update : sim::Devices(m.machine).driver_updates)
            EXPECT_EQ(update.hardware_id, kOtherController);  // the full ID the search found
        EXPECT_EQ(sim::Devices(m.machine).oem_infs.size(), c.oem_infs);
        EXPECT_EQ(m.TimeOf("device", "SetupSetSourceListA") >= 0, c.refreshed);
        EXPECT_EQ(m.TimeOf("device", "CM_Reenumerate_DevNode") >= 0, c.refreshed);
        EXPECT_EQ(RunValue(m, kSpeakerValue) != "(none)", c.speaker_entry);
        EXPECT_EQ(RunValue(m, kMixerValue) != "(none)", c.mixer_entry);
        EXPECT_EQ(m.TimeOf("window", "closed window \"Setup\"") >= 0, true);
    }
}

// While the driver is awaited the list grows a line of dots, one more every 5 s, and the busy cursor is up
// while the worker runs; Exit then ends the worker after its current pause, with no mixer entry.
TEST(WorkerPaths, DotsAndTheBusyCursorWhileTheDriverIsAwaitedThenExit) {
    SetupMachine m("winxp", sim::DeviceOptions{});
    PutDriverMedium(m, Package::kChip, true);
    AddRunKey(m);
    LineWatch watch;
    WatchLines(m, watch, 60000);
    std::vector<std::pair<uint64_t, HCURSOR>> cursors;
    for (uint64_t t : {900u, 20000u})
        m.machine.scheduler().At(t, [&m, &cursors, t] { cursors.push_back({t, m.ui().cursor}); });
    sim::Process& setup = m.Start();
    m.ClickAt(1000, 1002);
    m.ClickAt(20050, 1003);
    m.machine.Run(60000);
    EXPECT_TRUE(setup.ended());
    int64_t waiting = watch.TimeLastLineWas(kWaiting);
    int64_t one = watch.TimeLastLineWas(".");
    int64_t two = watch.TimeLastLineWas("..");
    int64_t three = watch.TimeLastLineWas("...");
    ASSERT_GE(waiting, 0);
    EXPECT_EQ(one, waiting + 100);
    EXPECT_EQ(two, one + 5000);
    EXPECT_EQ(three, two + 5000);
    EXPECT_EQ(watch.AfterIntro(), (std::vector<std::string>{kStarted, kWaiting, "...."}));
    ASSERT_EQ(cursors.size(), 2u);
    EXPECT_NE(cursors[1].second, cursors[0].second);
    EXPECT_NE(cursors[1].second, nullptr);
    EXPECT_EQ(RunValue(m, kMixerValue), "(none)");
    EXPECT_NE(RunValue(m, kSpeakerValue), "(none)");
}

}  // namespace
}  // namespace setup_test
