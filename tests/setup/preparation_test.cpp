// The worker's preparation of the system, seen from outside: Setup runs, the user clicks Install, and the
// test reads what changed on the machine: the companion programs' windows, the tray settings, the mixer's
// settings file, the INF folders.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "setup_machine.h"

namespace setup_test {
namespace {

const uint64_t kInstallMs = 1000;
const char kTrayKey[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Systray";
const char kDefaultTrayKey[] =
    "HKEY_USERS\\.DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Systray";

// The companion programs' windows closed so far, titles in order (not Setup's own windows).
std::vector<std::string> Closed(SetupMachine& m) {
    std::vector<std::string> titles;
    for (const sim::TraceEvent& e : m.machine.trace().events()) {
        if (e.category != "window" || e.text.rfind("closed window \"", 0) != 0) continue;
        std::string title = e.text.substr(15, e.text.find('"', 15) - 15);
        if (title != "Setup" && title != "Restarting Windows") titles.push_back(title);
    }
    return titles;
}

// Well after the preparation: the companion programs' windows still open then are noted and closed, so that
// their programs end.
const uint64_t kLookMs = 10000;

struct Outcome {
    std::vector<std::string> closed;     // titles of the windows closed before the test looked, in order
    std::vector<std::string> left_open;  // titles
    sim::RunResult result;
};

// Setup started, Install clicked at install_ms, the machine run well beyond the preparation.
Outcome Install(SetupMachine& m, uint64_t install_ms = kInstallMs) {
    auto outcome = std::make_shared<Outcome>();
    m.Start();
    m.ClickAt(install_ms, 1002);
    m.machine.scheduler().At(install_ms + kLookMs, [&m, outcome] {
        outcome->closed = Closed(m);
        for (sim::Window* w : m.ui().TopLevel()) {
            if (!w->thread || w->thread->process->name().rfind("COMPANION", 0) != 0) continue;
            outcome->left_open.push_back(w->text);
            sim::Post(m.machine, w->handle, WM_CLOSE, 0, 0);
        }
    });
    outcome->result = m.machine.Run(install_ms + 2 * kLookMs);
    EXPECT_FALSE(outcome->result.deadlocked()) << outcome->result.deadlock;
    return *outcome;
}

// When the tray program was started, or -1.
int64_t TrayStarted(SetupMachine& m) {
    return m.TimeOf("process", "WinExec(\"SysTray.exe\") -> 33");
}

// Windows keeps the case a folder was made in ("inf" on some systems) and finds it in any case.
std::string Upper(std::string text) {
    for (char& ch : text) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return text;
}

// "none", or the type and the bytes: "4: 03 00 00 00".
std::string Text(const std::optional<sim::RegValue>& value) {
    if (!value) return "none";
    std::string text = std::to_string(value->type) + ":";
    char byte[4];
    for (uint8_t b : value->data) {
        std::snprintf(byte, sizeof byte, " %02x", b);
        text += byte;
    }
    return text;
}

TEST(Preparation, ClosesTheCompanionWindowsInOrderThenPauses) {
    SetupMachine m;
    // Opened in the reverse of the order they are closed in; a look-alike title is not a companion.
    m.OpenClosableWindow("Hidden Window class", "Hidden Main Window", 100);
    m.OpenClosableWindow("#32770", "Korvane Audio Configuration", 200);
    m.OpenClosableWindow("QvMixerFrame", "Mixer", 300);
    m.OpenClosableWindow("QvMixerFrame", "Mixer Settings", 400);
    Outcome outcome = Install(m);
    EXPECT_EQ(outcome.closed,
              (std::vector<std::string>{"Mixer", "Korvane Audio Configuration", "Hidden Main Window"}));
    EXPECT_EQ(m.TimeOf("window", "closed window \"Hidden Main Window\""), static_cast<int64_t>(kInstallMs));
    EXPECT_EQ(outcome.left_open, (std::vector<std::string>{"Mixer Settings"}));
    EXPECT_EQ(TrayStarted(m), static_cast<int64_t>(kInstallMs + 1000));
}

TEST(Preparation, ClosesOnlyTheFirstWindowOfARow) {
    SetupMachine m;
    m.OpenClosableWindow("QvMixerFrame", "Mixer", 100);
    m.OpenClosableWindow("OtherMixer", "MIXER", 200);  // titles compare in any case
    Outcome outcome = Install(m);
    EXPECT_EQ(outcome.closed.size(), 1u);
    EXPECT_EQ(outcome.left_open.size(), 1u);
}

TEST(Preparation, WithNoCompanionProgramStillPausesASecond) {
    SetupMachine m;
    EXPECT_TRUE(Install(m).closed.empty());
    EXPECT_EQ(TrayStarted(m), static_cast<int64_t>(kInstallMs + 1000));
}

// A mixer that does not answer holds the worker for at most 5 s, and not at all once Windows counts it hung;
// the windows after it are closed all the same.
TEST(Preparation, AMixerThatDoesNotAnswerDoesNotHoldTheWorker) {
    struct Case {
        const char* name;
        uint64_t install_ms;  // the mixer stops answering at 500 ms
        const char* trace;    // what the close request met
        uint64_t released_ms;
    };
    const Case cases[] = {
        {"stopped answering a moment ago", 1000,
         "SendMessageTimeout(WM_CLOSE) to window \"Mixer\" (QvMixerFrame) "
         "timed out after 5000 ms",
         6000},
        {"hung for longer than 5 s", 8000, "SendMessageTimeout(WM_CLOSE) to hung window \"Mixer\"", 8000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetupMachine m;
        m.OpenHungWindow("QvMixerFrame", "Mixer", 500, 60000);
        m.OpenClosableWindow("#32770", "Korvane Audio Configuration", 600);
        Outcome outcome = Install(m, c.install_ms);
        EXPECT_EQ(m.TimeOf("window", c.trace), static_cast<int64_t>(c.released_ms));
        EXPECT_EQ(outcome.closed, (std::vector<std::string>{"Korvane Audio Configuration"}));
        EXPECT_EQ(m.TimeOf("window", "closed window \"Korvane Audio Configuration\""),
                  static_cast<int64_t>(c.released_ms));
        EXPECT_EQ(outcome.left_open, (std::vector<std::string>{"Mixer"}));
        EXPECT_EQ(TrayStarted(m), static_cast<int64_t>(c.released_ms + 1000));
    }
}

TEST(Preparation, ClearsTheVolumeIconBitOfBothUsersAndRestartsTheTray) {
    struct Case {
        const char* name;
        std::string user_value;     // .reg text of the current user's "Services", empty: none
        std::string default_value;  // the same for .DEFAULT; "no key": the key is missing
        std::string user_after;     // as Text() gives them
        std::string default_after;
        const char* version = "winxp";
    };
    const Case cases[] = {
        {"7 becomes 3", "dword:00000007", "dword:00000007", "4: 03 00 00 00", "4: 03 00 00 00"},
        {"3 stays 3", "dword:00000003", "dword:0000001f", "4: 03 00 00 00", "4: 1b 00 00 00"},
        {"binary data keeps its type and the bytes after the first", "hex:1f,ff,00,80", "hex:04",
         "3: 1b ff 00 80", "3: 00 00 00 00"},
        {"no .DEFAULT key", "dword:00000007", "no key", "4: 03 00 00 00", "none"},
        {"a missing value is not made", "", "dword:00000004", "none", "4: 00 00 00 00"},
        {"a value longer than 8 bytes is left alone", "hex:1f,00,00,00,00,00,00,00,01", "dword:00000005",
         "3: 1f 00 00 00 00 00 00 00 01", "4: 01 00 00 00"},
        // The 9x family without user profiles shows .DEFAULT as the current user: one value, cleared twice.
        {"98 SE: the current user is .DEFAULT", "", "dword:00000007", "4: 03 00 00 00", "4: 03 00 00 00",
         "win98se"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetupMachine m(c.version);
        std::string reg = "REGEDIT4\n\n[" + std::string(kTrayKey) + "]\n";
        if (!c.user_value.empty()) reg += "\"Services\"=" + c.user_value + "\n";
        if (c.default_value != "no key")
            reg += "\n[" + std::string(kDefaultTrayKey) + "]\n\"Services\"=" + c.default_value + "\n";
        m.machine.registry().ImportRegText(reg, "systray.reg");
        Install(m);
        EXPECT_EQ(Text(m.machine.registry().GetValue(kTrayKey, "Services")), c.user_after);
        EXPECT_EQ(Text(m.machine.registry().GetValue(kDefaultTrayKey, "Services")), c.default_after);
        EXPECT_EQ(TrayStarted(m), static_cast<int64_t>(kInstallMs + 1000));
    }
}

TEST(Preparation, TellsTheMixerToInitialiseAfresh) {
    struct Case {
        const char* name;
        std::optional<std::string> before;  // mixerdef.ini; none: missing
        std::optional<std::string> after;
    };
    const Case cases[] = {
        {"Initialize=1 becomes 0",
         "[Hardware Setting]\r\nJack=1\r\n[RUNTIME]\r\nInitialize=1\r\nVolume=7\r\n",
         "[Hardware Setting]\r\nJack=1\r\n[RUNTIME]\r\nInitialize=0\r\nVolume=7\r\n"},
        {"a missing RUNTIME section is added", "[Hardware Setting]\r\nJack=1\r\n",
         "[Hardware Setting]\r\nJack=1\r\n[RUNTIME]\r\nInitialize=0\r\n"},
        {"a missing file is not made", std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetupMachine m;
        const std::string path = "C:\\WINDOWS\\mixerdef.ini";
        if (c.before) m.machine.files().WriteFile(path, *c.before);
        Install(m);
        EXPECT_EQ(m.machine.files().ReadFile(path), c.after);
    }
}

TEST(Preparation, MakesTheExtraInfFoldersAndRemovesOldInfFiles) {
    struct Case {
        const char* name;
        const char* version;
        const char* windows;
        bool folders_exist;
    };
    const Case cases[] = {
        {"98 SE", "win98se", "C:\\WINDOWS", false},
        {"2000 keeps Windows in WINNT", "win2k", "C:\\WINNT", false},
        {"the folders exist already", "winxp", "C:\\WINDOWS", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetupMachine m(c.version);
        const std::string inf = std::string(c.windows) + "\\INF\\";
        const std::string strings = "[Strings]\r\nQVUDA.Wave.szPname=\"QVI6620/V3DX PCI Audio Device\"\r\n";
        m.machine.files().WriteFile(inf + "oem2.inf", strings);
        m.machine.files().WriteFile(inf + "oem2.PNF", "precompiled");
        m.machine.files().WriteFile(inf + "oem3.inf",
                                    "[Strings]\r\nQVUDA.Wave.szPname=\"Another Device\"\r\n");
        m.machine.files().WriteFile(inf + "QVAUDIO.INF", strings);
        if (c.folders_exist) {
            m.machine.files().WriteFile(inf + "OTHER\\KORVANE.INF", strings);
            m.machine.files().CreateFolder(inf + "CATALOG");
        }
        Install(m);
        EXPECT_FALSE(m.machine.files().Exists(inf + "oem2.inf"));
        EXPECT_FALSE(m.machine.files().Exists(inf + "oem2.PNF"));
        EXPECT_FALSE(m.machine.files().Exists(inf + "QVAUDIO.INF"));
        EXPECT_FALSE(m.machine.files().Exists(inf + "OTHER\\KORVANE.INF"));
        EXPECT_TRUE(m.machine.files().Exists(inf + "oem3.inf"));
        EXPECT_EQ(m.machine.files().Attributes(inf + "OTHER"), FILE_ATTRIBUTE_DIRECTORY);
        EXPECT_EQ(m.machine.files().Attributes(inf + "CATALOG"), FILE_ATTRIBUTE_DIRECTORY);
        // Made once, in this order, and only when missing.
        std::vector<std::string> made;
        for (const std::string& line : m.machine.trace().Lines("file"))
            if (Upper(line).rfind(Upper("mkdir " + inf), 0) == 0) made.push_back(line.substr(6 + inf.size()));
        const std::vector<std::string> expected =
            c.folders_exist ? std::vector<std::string>{} : std::vector<std::string>{"OTHER", "CATALOG"};
        EXPECT_EQ(made, expected);
    }
}

}  // namespace
}  // namespace setup_test
