// Setup's start-up: the folder it runs from, the installer option of setup.ini, the registry scan of the
// audio devices' settings, and the start modes of the command line.
#include <gtest/gtest.h>

#include "setup_machine.h"

namespace setup_test {
namespace {

const char kSystray[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Systray";

// Runs an installation to its end and tells whether the tray's volume bit was set: it is set exactly when
// setup.ini in the folder Setup worked out says InstallWDMUDACodecDriver=1.
bool VolumeBitAfterInstall(SetupMachine& m, const std::string& program, const std::string& current_dir) {
    m.machine.registry().ImportRegText(
        std::string("REGEDIT4\n\n[") + kSystray + "]\n\"Services\"=hex:03,00,00,00\n", "systray.reg");
    m.Start("", program, current_dir);
    m.ClickAt(1000, 1002);
    sim::RunResult result = m.machine.Run(60000);
    EXPECT_FALSE(result.deadlocked()) << result.deadlock;
    auto services = m.machine.registry().GetValue(kSystray, "Services");
    return services && (services->data[0] & 4) != 0;
}

TEST(StartUp, SetupReadsSetupIniInTheFolderItRunsFrom) {
    struct Case {
        const char* program;      // the program path of the command line
        const char* current_dir;  // the current folder when it starts
        const char* ini;          // where the setup.ini that switches the option on lies
    };
    const Case cases[] = {
        {"D:\\SETUP.EXE", "C:\\WINDOWS", "D:\\setup.ini"},
        {"D:\\DRIVERS\\WIN98\\SETUP.EXE", "C:\\WINDOWS", "D:\\DRIVERS\\WIN98\\setup.ini"},
        {"\\DRIVERS\\SETUP.EXE", "E:\\TEMP", "E:\\DRIVERS\\setup.ini"},
        {"SUB\\SETUP.EXE", "E:\\TEMP", "E:\\TEMP\\SUB\\setup.ini"},  // E:SUB\ is relative to E:'s folder
        {"SETUP.EXE", "E:\\TEMP", "E:\\TEMP\\setup.ini"},            // a bare name: the current folder
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.program) + " from " + c.current_dir);
        SetupMachine m;
        m.machine.files().AddDrive('E', DRIVE_FIXED);
        m.machine.files().CreateFolder("E:\\TEMP\\SUB");
        m.machine.files().WriteFile(c.ini, "[InstallOption]\r\nInstallWDMUDACodecDriver=1\r\n");
        EXPECT_TRUE(VolumeBitAfterInstall(m, c.program, c.current_dir));
    }
}

TEST(StartUp, TheOptionIsOffWithoutItsKeyInItsSection) {
    struct Case {
        const char* name;
        const char* ini;  // D:\setup.ini, or nullptr for none
    };
    const Case cases[] = {
        {"no setup.ini", nullptr},
        {"the key in another section", "[Other]\r\nInstallWDMUDACodecDriver=1\r\n"},
        {"a value that is no number", "[InstallOption]\r\nInstallWDMUDACodecDriver=yes\r\n"},
        {"zero", "[InstallOption]\r\nInstallWDMUDACodecDriver=0\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetupMachine m;
        if (c.ini) m.machine.files().WriteFile("D:\\setup.ini", c.ini);
        EXPECT_FALSE(VolumeBitAfterInstall(m, "D:\\SETUP.EXE", "C:\\WINDOWS"));
    }
}

// A program path longer than the 260-character buffer is cut, not overflowed; Setup still opens.
TEST(StartUp, AnOverlongProgramPathIsCut) {
    SetupMachine m;
    std::string program = "D:\\" + std::string(300, 'A') + "\\SETUP.EXE";
    sim::Process& setup = m.Start("", program);
    m.RunFor(1000);
    EXPECT_EQ(setup.crash, "");
    EXPECT_NE(m.MainWindow(), nullptr);
}

// The scan moves the older value name of the driver setting to the current one, on the 98 family's class key
// and on every audio class of 2000 and XP, and leaves everything else alone.
TEST(StartUp, TheRegistryScanMovesTheOlderSettingName) {
    const std::string k98 = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class\\MEDIA";
    const std::string kXp =
        "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96C-E325-11CE-BFC1-"
        "08002BE10318}";
    struct Case {
        const char* name;
        const char* version;
        std::string class_key;
        std::string description;
        std::string settings;  // .reg lines of the Settings key
        std::string current;   // what "IndependentVolumeControl" holds afterwards ("-": missing)
        std::string older;     // what "IndepedentVolumeControl" holds afterwards
    };
    const Case cases[] = {
        {"98: only the older name", "win98", k98, "QVI6620/V3DX PCI Audio Device",
         "\"IndepedentVolumeControl\"=dword:00000001", "01000000", "-"},
        {"98 SE: both, equal", "win98se", k98, "QVI6610/V3DX PCI Audio Device",
         "\"IndepedentVolumeControl\"=dword:00000001\n\"IndependentVolumeControl\"=dword:00000001",
         "01000000", "-"},
        {"ME: both, older 0 current 1", "winme", k98, "QVI6620/V3DX PCI Audio Device",
         "\"IndepedentVolumeControl\"=dword:00000000\n\"IndependentVolumeControl\"=dword:00000001",
         "00000000", "-"},
        {"only the current name", "win98se", k98, "QVI6620/V3DX PCI Audio Device",
         "\"IndependentVolumeControl\"=dword:00000001", "01000000", "-"},
        {"another device", "win98se", k98, "QVI6620/V3DX PCI Audio device",
         "\"IndepedentVolumeControl\"=dword:00000001", "-", "01000000"},
        {"an older value over 10 bytes", "win98se", k98, "QVI6620/V3DX PCI Audio Device",
         "\"IndepedentVolumeControl\"=hex:01,02,03,04,05,06,07,08,09,0a,0b", "-", "0102030405060708090a0b"},
        {"95 is never scanned", "win95", k98, "QVI6620/V3DX PCI Audio Device",
         "\"IndepedentVolumeControl\"=dword:00000001", "-", "01000000"},
        {"XP: a MEDIA class", "winxp", kXp, "QVI6620/V3DX PCI Audio Device",
         "\"IndepedentVolumeControl\"=dword:00000001", "01000000", "-"},
        {"NT 4 is never scanned", "nt4", kXp, "QVI6620/V3DX PCI Audio Device",
         "\"IndepedentVolumeControl\"=dword:00000001", "-", "01000000"},
    };
    auto hex = [](const std::optional<sim::RegValue>& value) {
        if (!value) return std::string("-");
        std::string text;
        char byte[4];
        for (unsigned char b : value->data) {
            std::snprintf(byte, sizeof byte, "%02x", b);
            text += byte;
        }
        return text;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetupMachine m(c.version);
        std::string entry = c.class_key + "\\0000";
        m.machine.registry().ImportRegText("REGEDIT4\n\n[" + c.class_key + "]\n\"Class\"=\"MEDIA\"\n\n[" +
                                               entry + "]\n\"DriverDesc\"=\"" + c.description + "\"\n\n[" +
                                               entry + "\\Settings]\n" + c.settings + "\n",
                                           "audio.reg");
        m.Start();
        m.RunFor(500);
        EXPECT_EQ(hex(m.machine.registry().GetValue(entry + "\\Settings", "IndependentVolumeControl")),
                  c.current);
        EXPECT_EQ(hex(m.machine.registry().GetValue(entry + "\\Settings", "IndepedentVolumeControl")),
                  c.older);
    }
}

// On 2000 and XP a class whose "Class" value is not MEDIA is not searched.
TEST(StartUp, TheScanSkipsOtherClasses) {
    SetupMachine m("win2k");
    const std::string key = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class\\{X}";
    m.machine.registry().ImportRegText("REGEDIT4\n\n[" + key + "]\n\"Class\"=\"Media\"\n\n[" + key +
                                           "\\0000]\n\"DriverDesc\"=\"QVI6620/V3DX PCI Audio Device\"\n\n[" +
                                           key +
                                           "\\0000\\Settings]\n\"IndepedentVolumeControl\"=dword:00000001\n",
                                       "audio.reg");
    m.Start();
    m.RunFor(500);
    EXPECT_TRUE(
        m.machine.registry().GetValue(key + "\\0000\\Settings", "IndepedentVolumeControl").has_value());
    EXPECT_FALSE(
        m.machine.registry().GetValue(key + "\\0000\\Settings", "IndependentVolumeControl").has_value());
}

// Driver mode: "/DRIVER", "DRIVER" or "-DRIVER" exactly, in any letter case, starts the installation by
// itself.
TEST(StartModes, DriverModeStartsTheInstallation) {
    struct Case {
        const char* arguments;
        bool installs;
    };
    const Case cases[] = {{"/DRIVER", true},   {"/driver", true},     {"driver", true}, {"-Driver", true},
                          {"/DRIVER ", false}, {"/DRIVER /X", false}, {"", false},      {"/DRIVERS", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.arguments + "\"");
        SetupMachine m;
        m.Start(c.arguments);
        m.RunFor(5000);
        EXPECT_EQ(m.TimeOf("thread", "create") >= 0, c.installs);
    }
}

// Driver mode with the companion installer's window present: the window hides, and comes back when the loop
// first goes idle; the installation runs meanwhile.
TEST(StartModes, DriverModeWithTheCompanionInstallerPresent) {
    SetupMachine m;
    m.OpenWindow("InstallShield_Win", "PCI Audio Applications", 0, 0);
    m.RunFor(10);
    m.Start("/DRIVER");
    m.RunFor(20000);
    EXPECT_GE(m.TimeOf("thread", "create"), 0);
    // The finish sequence keeps the window hidden while the companion installer is open.
    EXPECT_EQ(m.TimeOf("window", "closed window \"Setup\""), -1);
    ASSERT_NE(m.MainWindow(), nullptr);
    EXPECT_FALSE(m.MainWindow()->visible());
}

// At the finish, a companion installer window that is still open keeps the main window hidden; it closes once
// that window has gone.
TEST(ProgressMonitor, TheFinishWaitsForTheCompanionInstaller) {
    SetupMachine m;
    m.OpenWindow("InstallShield_Win", "PCI Audio Applications", 500, 8000);
    m.Start();
    m.ClickAt(1000, 1002);
    sim::RunResult result = m.machine.Run(60000);
    ASSERT_FALSE(result.deadlocked()) << result.deadlock;
    // The window closes once the companion has gone; its destroy handler shows the restart prompt at once.
    int64_t closed = m.TimeOf("window", "created window \"Restarting Windows\"");
    EXPECT_GE(closed, 8000);
    EXPECT_LT(closed, 10000);
    EXPECT_GE(m.TimeOf("window", "hidden window \"Setup\""), 1000);
}

// Without an installation the timer only keeps a window titled "Information" hidden.
TEST(ProgressMonitor, WithoutAWorkerTheTimerHidesInformation) {
    SetupMachine m;
    m.OpenWindow("Notice", "Information", 2000, 0);
    m.Start();
    m.RunFor(3000);
    int64_t shown = m.TimeOf("window", "shown window \"Information\"");
    int64_t hidden = m.TimeOf("window", "hidden window \"Information\"");
    EXPECT_EQ(shown, 2000);
    EXPECT_GE(hidden, shown);
    EXPECT_LE(hidden, shown + 100);
    EXPECT_EQ(m.ProgressLines().size(), 3u);
}

// Escape closes the window through the framework's cancel handling; the destroy handler still runs.
TEST(MainWindowKeys, EscapeClosesTheWindow) {
    SetupMachine m;
    sim::Process& setup = m.Start();
    m.machine.scheduler().At(1000, [&m] { sim::UserPressKey(m.machine, m.MainWindow()->handle, VK_ESCAPE); });
    m.machine.Run(60000);
    EXPECT_TRUE(setup.ended());
    EXPECT_EQ(m.TimeOf("window", "closed window \"Setup\""), 1000);
}

}  // namespace
}  // namespace setup_test

namespace setup_test {
namespace {

// The window keeps the first 1023 characters of the command line: a switch beyond them is not seen.
TEST(StartModes, ACommandLineLongerThanTheBufferIsCut) {
    struct Case {
        const char* name;
        std::string arguments;
        bool speaker_start;  // ends at once: no control component is registered
    };
    const Case cases[] = {
        {"/SPEAKER within the first 1023 characters", std::string(1000, 'X') + "/SPEAKER", true},
        {"/SPEAKER beyond them", std::string(1020, 'X') + "/SPEAKER", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetupMachine m;
        sim::Process& setup = m.Start(c.arguments);
        m.RunFor(2000);
        EXPECT_EQ(setup.ended(), c.speaker_start);
        EXPECT_EQ(setup.crash, "");
    }
}

}  // namespace
}  // namespace setup_test
