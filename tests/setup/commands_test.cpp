// Install, Exit and Eject CD, and the progress monitor following the worker to the end.
#include <gtest/gtest.h>

#include "setup_machine.h"

namespace setup_test {
namespace {

const std::vector<std::string> kIntro = {"The device driver will be installed now. ",
                                         "It will take a few minutes to complete.",
                                         "Please press [Install] to start ....."};

std::vector<std::string> Intro(std::vector<std::string> more) {
    std::vector<std::string> lines = kIntro;
    lines.insert(lines.end(), more.begin(), more.end());
    return lines;
}

// Keeps the last lines the list showed, as the window closes with them.
struct ListWatch {
    std::vector<std::string> lines;
};

void WatchList(SetupMachine& m, ListWatch& watch) {
    m.machine.scheduler().At(0, [] {});
    for (uint64_t t = 100; t < 60000; t += 100)
        m.machine.scheduler().At(t, [&m, &watch] {
            if (m.MainWindow()) watch.lines = m.ProgressLines();
        });
}

TEST(Commands, InstallRunsTheWorkerToTheEndAndTheWindowCloses) {
    SetupMachine m;
    m.machine.registry().ImportRegText(
        "REGEDIT4\n\n"
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Systray]\n"
        "\"Services\"=hex:1f,00,00,00\n",
        "systray.reg");
    ListWatch watch;
    WatchList(m, watch);
    sim::Process& setup = m.Start();
    m.ClickAt(1000, 1002);
    sim::RunResult result = m.machine.Run(60000);
    ASSERT_FALSE(result.deadlocked()) << result.deadlock;
    EXPECT_TRUE(setup.ended());
    // Without a medium or a controller the worker passes its later phases within one tick of the timer: the
    // list shows the first phase and the end.
    EXPECT_EQ(watch.lines, Intro({"", "Starting installation process...", "Done."}));
    // The finish sequence cleared the volume icon's bit (no setup.ini: the option is off) and restarted the
    // tray.
    auto services = m.machine.registry().GetValue(
        "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Systray", "Services");
    ASSERT_TRUE(services.has_value());
    EXPECT_EQ(services->data[0], 0x1b);
    EXPECT_GE(m.TimeOf("process", "WinExec(\"SysTray.exe\") -> 33"), 1000);
    EXPECT_GT(m.TimeOf("window", "closed window \"Setup\""), m.TimeOf("process", "WinExec(\"SysTray.exe\")"));
}

TEST(Commands, ExitBeforeInstallClosesAfterThreeSeconds) {
    SetupMachine m;
    sim::Process& setup = m.Start();
    m.ClickAt(1000, 1003);
    sim::RunResult result = m.machine.Run(60000);
    ASSERT_FALSE(result.deadlocked()) << result.deadlock;
    EXPECT_TRUE(setup.ended());
    EXPECT_EQ(m.TimeOf("window", "closed window \"Setup\""), 4000);
    EXPECT_EQ(m.TimeOf("thread", "create"), -1);  // no worker
}

// Exit right after Install: the worker sees the cancel event at its first test and ends at once.
TEST(Commands, ExitRightAfterInstallCancelsBeforeAnythingIsDone) {
    SetupMachine m;
    ListWatch watch;
    WatchList(m, watch);
    sim::Process& setup = m.Start();
    m.ClickAt(1000, 1002);
    m.ClickAt(1000, 1003);
    sim::RunResult result = m.machine.Run(60000);
    ASSERT_FALSE(result.deadlocked()) << result.deadlock;
    EXPECT_TRUE(setup.ended());
    EXPECT_EQ(watch.lines, Intro({""}));
    EXPECT_EQ(m.TimeOf("process", "WinExec"), -1);
    // The window closes after Exit's pause; its destroy handler asks for the restart at once.
    EXPECT_EQ(m.TimeOf("window", "created window \"Restarting Windows\""), 4000);
}

TEST(Commands, InstallTwiceStartsOneWorker) {
    SetupMachine m;
    m.Start();
    m.ClickAt(1000, 1002);
    m.machine.scheduler().At(1000, [&m] {
        // The button is disabled: a second click does nothing.
        sim::UserClickControl(m.machine, m.MainWindow()->handle, 1002);
    });
    m.machine.Run(60000);
    std::vector<std::string> threads = m.machine.trace().Lines("thread");
    EXPECT_EQ(threads.size(), 1u);
}

TEST(Commands, EjectCdOpensTheDoorOfEveryCdDrive) {
    struct Case {
        const char* name;
        bool second_cd;
        std::vector<std::string> doors;
    };
    const Case cases[] = {{"two CD drives", true, {"D:", "E:"}}, {"one CD drive", false, {"D:"}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetupMachine m;
        if (c.second_cd) m.machine.files().AddDrive('E', DRIVE_CDROM, "SECOND");
        m.machine.files().AddDrive('F', DRIVE_FIXED);
        m.Start();
        m.ClickAt(1000, 1004);
        m.ClickAt(2000, 1003);
        m.machine.Run(60000);
        EXPECT_EQ(sim::Devices(m.machine).doors_opened, c.doors);
        // One tick count for the command, an alias for each drive (MCI refuses a second device under the same
        // alias); 0x3701: type id, element, alias, shareable, notify.
        std::vector<std::string> opens;
        for (const std::string& line : m.machine.trace().Lines("mci"))
            if (line.rfind("open", 0) == 0) opens.push_back(line);
        ASSERT_EQ(opens.size(), c.doors.size());
        for (size_t i = 0; i < opens.size(); ++i)
            EXPECT_EQ(opens[i], "open \"CD61000" + c.doors[i].substr(0, 1) + ":\" flags 0x3701 on " +
                                    c.doors[i] + " -> device " + std::to_string(i + 1));
    }
}

TEST(Commands, EjectCdWithoutACdDriveSendsNothing) {
    sim::Machine plain("winxp");
    sim::InstallDeviceServices(plain);
    sim::Program setup;
    setup.exe_path = "C:\\SETUP\\SETUP.EXE";
    setup.image = sim::ImagePath("Setup");
    plain.Start(setup, "C:\\SETUP\\SETUP.EXE");
    plain.scheduler().At(1000, [&] {
        for (sim::Window* w : sim::UI(plain).TopLevel())
            if (w->text == "Setup") sim::UserClickControl(plain, w->handle, 1004);
    });
    plain.Run(2000);
    EXPECT_TRUE(plain.trace().Lines("mci").empty());
    EXPECT_TRUE(sim::Devices(plain).doors_opened.empty());
}

}  // namespace
}  // namespace setup_test
