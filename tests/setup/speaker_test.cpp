// The speaker start after the restart: Setup runs from the staging folder with "/SPEAKER", creates the
// driver's control component, and either ends quietly (no component), or applies the jack settings, removes
// its Run value and shows the speaker view, where a click picks a layout and OK hands it to the driver.
#include <gtest/gtest.h>

#include "setup_machine.h"
#include "sim/audio_component.h"
#include "sim/resources.h"

namespace setup_test {
namespace {

const char kStagedSetup[] = "C:\\Program Files\\Korvane\\WIN_ME\\Setup.exe";
const char kRunKey[] = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kSpeakerValue[] = "Korvane Speaker Configuration";
const char kUserTray[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Systray";
const char kDefaultTray[] =
    "HKEY_USERS\\.DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Systray";
const POINT kTwo = {200, 80}, kFour = {200, 112}, kSix = {200, 142}, kOk = {550, 387};

// Hardware that can drive six speakers.
sim::AudioComponentOptions SixChannelDriver(DWORD speaker_mode = 2) {
    sim::AudioComponentOptions component;
    component.speaker_mode = speaker_mode;
    component.hardware_info = {1, 0, 0, 0, 40, 0, 0, 0};
    component.channel_count = 6;
    return component;
}

// A machine after the restart: the staged Setup with its Run value, Windows' sounds and, when given,
// mixerdef.ini in the Windows folder and the driver's control component.
struct AfterRestart : SetupMachine {
    explicit AfterRestart(const std::string& version = "win98se") : SetupMachine(version) {
        machine.files().WriteFile(kStagedSetup, "MZ");
        machine.registry().SetValue(
            kRunKey, kSpeakerValue,
            sim::RegValue::String("\"C:\\PROGRA~1\\KORVANE\\WIN_ME\\Setup.exe\" /SPEAKER"));
        machine.files().WriteFile("C:\\WINDOWS\\MEDIA\\start.wav", "RIFF");
    }
    void MixerDef(const std::string& text) { machine.files().WriteFile("C:\\WINDOWS\\mixerdef.ini", text); }
    sim::Process& StartSpeaker(const std::string& arguments = "/SPEAKER") {
        return Start(arguments, kStagedSetup);
    }
    void ClickPoint(uint64_t time_ms, POINT point) {
        machine.scheduler().At(time_ms, [this, point] {
            if (sim::Window* main = MainWindow()) sim::UserClick(machine, main->handle, point);
        });
    }
    bool RunValueLeft() { return machine.registry().GetValue(kRunKey, kSpeakerValue).has_value(); }
    sim::AudioComponentState& component() { return sim::AudioComponent(machine); }
    std::vector<sim::AudioComponentCall> Calls(const std::string& operation, DWORD property) {
        return component().CallsOf(operation, property);
    }
    WORD PictureOf(int control_id) {
        sim::Window* control = Control(control_id);
        return control ? sim::DescribeImage(machine, control->image).resource_id() : 0;
    }
};

// The audio settings of the older driver name one setting twice with different values: the registry scan at
// start-up moves it and asks for a restart.
void MoveASetting(SetupMachine& m) {
    m.machine.registry().ImportRegText(
        "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class\\MEDIA\\0000]\n"
        "\"DriverDesc\"=\"QVI6620/V3DX PCI Audio Device\"\n\n"
        "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class\\MEDIA\\0000\\Settings]\n"
        "\"IndepedentVolumeControl\"=dword:00000000\n\"IndependentVolumeControl\"=dword:00000001\n",
        "media.reg");
}

DWORD Dword(const std::vector<BYTE>& data) {
    DWORD value = 0;
    if (data.size() >= 4) memcpy(&value, data.data(), 4);
    return value;
}

TEST(SpeakerStart, WithoutAComponentTheTrayIsSetTheRunValueGoesAndSetupEnds) {
    struct Case {
        const char* name;
        std::string arguments;
        const char* setup_ini;           // in the staging folder, or null
        const char* default_services;    // the .DEFAULT user's value, or null for none
        BYTE user_first, default_first;  // the first bytes afterwards (the current user's starts as 0x0f)
    };
    const char option_on[] = "[InstallOption]\r\nInstallWDMUDACodecDriver=1\r\n";
    const Case cases[] = {
        {"/SPEAKER, option off", "/SPEAKER", nullptr, "hex:0f,01,02,03", 0x0b, 0x0b},
        {"lower case, option on", "/speaker", option_on, "hex:03,01,02,03", 0x0f, 0x07},
        {"/SPEAKERS contains the switch; no .DEFAULT value", "/SPEAKERS", nullptr, nullptr, 0x0b, 0},
        {"/DRIVER /SPEAKER is a speaker start only", "/DRIVER /SPEAKER", nullptr, "hex:0f,01,02,03", 0x0b,
         0x0b},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AfterRestart m("winxp");  // on the 9x family without profiles the two keys are one
        if (c.setup_ini)
            m.machine.files().WriteFile("C:\\Program Files\\Korvane\\WIN_ME\\setup.ini", c.setup_ini);
        std::string reg = std::string("REGEDIT4\n\n[") + kUserTray + "]\n\"Services\"=hex:0f,01,02,03\n";
        if (c.default_services)
            reg += std::string("\n[") + kDefaultTray + "]\n\"Services\"=" + c.default_services + "\n";
        m.machine.registry().ImportRegText(reg, "tray.reg");
        sim::Process& setup = m.StartSpeaker(c.arguments);
        sim::RunResult result = m.RunFor(5000);
        ASSERT_FALSE(result.deadlocked()) << result.deadlock;
        EXPECT_TRUE(setup.ended());
        EXPECT_EQ(setup.exit_code, DWORD{0});
        EXPECT_EQ(m.TimeOf("window", "shown window \"Setup\""), -1) << "no window is shown";
        EXPECT_EQ(m.TimeOf("thread", "create"), -1) << "no installation starts";
        EXPECT_FALSE(m.RunValueLeft());
        EXPECT_GE(m.TimeOf("process", "WinExec(\"SysTray.exe\") -> 33"), 0);
        auto user = m.machine.registry().GetValue(kUserTray, "Services");
        ASSERT_TRUE(user);
        EXPECT_EQ(user->data, (std::vector<BYTE>{c.user_first, 1, 2, 3}));
        auto standard = m.machine.registry().GetValue(kDefaultTray, "Services");
        EXPECT_EQ(standard.has_value(), c.default_services != nullptr);
        if (standard) {
            EXPECT_EQ(standard->data, (std::vector<BYTE>{c.default_first, 1, 2, 3}));
        }
    }
}

// A component that cannot answer the speaker mode counts as none.
TEST(SpeakerStart, AComponentThatDoesNotAnswerTheSpeakerModeCountsAsNone) {
    AfterRestart m;
    sim::AudioComponentOptions component = SixChannelDriver();
    component.failing_reads = {sim::kPropSpeakerMode};
    sim::InstallAudioComponent(m.machine, component);
    sim::Process& setup = m.StartSpeaker();
    m.RunFor(5000);
    EXPECT_TRUE(setup.ended());
    EXPECT_FALSE(m.RunValueLeft());
}

// The view opens on the option of the mode's low byte: 3 and 5 are four speakers, 6 six, anything else two.
TEST(SpeakerView, OpensOnTheOptionOfTheModesLowByte) {
    struct Case {
        DWORD mode;
        LONG marker_x, marker_y;
        WORD picture;
    };
    const Case cases[] = {
        {0, 168, 73, 134},       {1, 168, 73, 134},      {2, 168, 73, 134},  {3, 164, 104, 133},
        {4, 168, 73, 134},       {5, 164, 104, 133},     {6, 159, 136, 132}, {7, 168, 73, 134},
        {1310724, 168, 73, 134}, {0x106, 159, 136, 132},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        AfterRestart m;
        sim::InstallAudioComponent(m.machine, SixChannelDriver(c.mode));
        sim::Process& setup = m.StartSpeaker();
        m.RunFor(2000);
        ASSERT_FALSE(setup.ended());
        ASSERT_NE(m.MainWindow(), nullptr);
        EXPECT_TRUE(m.MainWindow()->visible());
        sim::Window* marker = m.Control(1011);
        EXPECT_EQ(marker->rect.left, c.marker_x);
        EXPECT_EQ(marker->rect.top, c.marker_y);
        EXPECT_EQ(marker->rect.right - marker->rect.left, 13);
        EXPECT_EQ(marker->rect.bottom - marker->rect.top, 14);
        EXPECT_EQ(m.PictureOf(1009), c.picture);
    }
}

// The pass turns the window into the speaker view and removes the Run value, so it runs after one restart
// only; the timer then keeps an "Information" box hidden.
TEST(SpeakerView, ReplacesTheInstallViewAndRemovesTheRunValue) {
    AfterRestart m;
    sim::InstallAudioComponent(m.machine, SixChannelDriver());
    m.OpenWindow("Notice", "Information", 3000);
    m.StartSpeaker();
    m.RunFor(5000);
    EXPECT_FALSE(m.RunValueLeft());
    const struct {
        int id;
        bool visible;
    } controls[] = {{1001, false}, {1002, false}, {1003, false}, {1004, false},
                    {1009, true},  {1011, true},  {1012, true},  {1010, true}};
    for (const auto& control : controls) {
        SCOPED_TRACE(control.id);
        ASSERT_NE(m.Control(control.id), nullptr);
        EXPECT_EQ(m.Control(control.id)->visible(), control.visible);
    }
    EXPECT_EQ(m.PictureOf(1010), 131);
    EXPECT_EQ(m.PictureOf(1012), 137);
    auto timer = m.ui().timers.find({m.MainWindow()->handle, 1});
    ASSERT_NE(timer, m.ui().timers.end());
    EXPECT_EQ(timer->second.period_ms, 300u);
    EXPECT_GE(m.TimeOf("window", "hidden window \"Information\""), 3000);
}

// Six speakers need a second hardware word of 38 or more and more than four channels; where the pass cannot
// read either, they are not offered. The jack settings take their section from the channel count.
TEST(SpeakerView, SixSpeakersOnlyWhereTheHardwareCanDriveThem) {
    struct Case {
        const char* name;
        BYTE hardware_word;
        DWORD channels;
        std::set<DWORD> failing;
        bool offered;
        BYTE jack_byte;  // what the jack record's first byte holds afterwards (4ch 1, 6ch 2, not written 9)
    };
    const Case cases[] = {
        {"40 and 6 channels", 40, 6, {}, true, 2},
        {"38 is enough", 38, 6, {}, true, 2},
        {"37 and 6 channels", 37, 6, {}, false, 2},
        {"40 and 4 channels", 40, 4, {}, false, 1},
        {"the channel count cannot be read", 40, 6, {sim::kPropChannelCount}, false, 9},
        {"the hardware cannot be read", 40, 6, {sim::kPropHardwareInfo}, false, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AfterRestart m;
        m.MixerDef(
            "[Hardware Setting]\r\nNeedToCheckHardwareSetting=1\r\n[4ch Setting]\r\nLINEINasREAR=1\r\n"
            "[6ch Setting]\r\nLINEINasREAR=2\r\n");
        sim::AudioComponentOptions component = SixChannelDriver(3);
        component.hardware_info[4] = c.hardware_word;
        component.channel_count = c.channels;
        component.failing_reads = c.failing;
        component.jack_assignment = {9, 9, 9, 7, 7, 7, 7, 7, 7, 7, 7, 7};
        sim::InstallAudioComponent(m.machine, component);
        m.StartSpeaker();
        m.ClickPoint(2000, kSix);
        m.ClickPoint(2500, kOk);
        m.RunFor(1500);
        ASSERT_NE(m.Control(1012), nullptr);
        EXPECT_EQ(m.Control(1012)->visible(), c.offered);
        m.RunFor(5000);
        std::vector<sim::AudioComponentCall> modes = m.Calls("SetProperty", sim::kPropSpeakerMode);
        ASSERT_EQ(modes.size(), 1u);
        EXPECT_EQ(Dword(modes[0].data), c.offered ? 6u : 3u) << "a click on a blocked option does nothing";
        EXPECT_EQ(m.component().jack_assignment[0], c.jack_byte);
    }
}

// The jack settings: the low bytes of the three switches of the channel count's section into the record's
// first three bytes; the rest of the record goes back as it was read. Skipped without mixerdef.ini, with the
// check switched off, or when the record cannot be read (a record not read is never written).
TEST(SpeakerView, TheJackSettingsOfMixerdefIni) {
    struct Case {
        const char* name;
        const char* mixerdef;  // null: no file
        std::set<DWORD> failing;
        std::array<BYTE, 12> after;
    };
    const std::array<BYTE, 12> before = {9, 9, 9, 7, 7, 7, 7, 7, 7, 7, 7, 7};
    const char* wanted =
        "[Hardware Setting]\r\nNeedToCheckHardwareSetting=1\r\n[6ch Setting]\r\nLINEINasREAR=1\r\n"
        "LINEINasBASS=0\r\nMICasBASS=256\r\n";
    const Case cases[] = {
        {"applied; 256 keeps its low byte 0", wanted, {}, {1, 0, 0, 7, 7, 7, 7, 7, 7, 7, 7, 7}},
        {"missing switches read 0",
         "[Hardware Setting]\r\nNeedToCheckHardwareSetting=5\r\n",
         {},
         {0, 0, 0, 7, 7, 7, 7, 7, 7, 7, 7, 7}},
        {"no mixerdef.ini", nullptr, {}, before},
        {"the check is off",
         "[Hardware Setting]\r\nNeedToCheckHardwareSetting=0\r\n[6ch Setting]\r\nLINEINasREAR=1\r\n",
         {},
         before},
        {"the record cannot be read", wanted, {sim::kPropJackAssignment}, before},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AfterRestart m;
        if (c.mixerdef) m.MixerDef(c.mixerdef);
        sim::AudioComponentOptions component = SixChannelDriver();
        component.jack_assignment = before;
        component.failing_reads = c.failing;
        sim::InstallAudioComponent(m.machine, component);
        m.StartSpeaker();
        m.RunFor(2000);
        EXPECT_EQ(m.component().jack_assignment, c.after);
        EXPECT_EQ(m.Calls("SetProperty", sim::kPropJackAssignment).size(), c.after == before ? 0u : 1u);
    }
}

// A click on an option moves the marker and changes the picture only; OK hands the choice to the driver,
// plays the start sound and closes the window. Closing without OK leaves the driver's mode alone.
TEST(SpeakerView, ClicksChooseAndOkWritesTheChoice) {
    struct Case {
        const char* name;
        std::vector<POINT> clicks;  // then OK, unless close_instead
        bool close_instead;
        std::vector<DWORD> written;
    };
    const Case cases[] = {
        {"four speakers", {kFour}, false, {3}},
        {"two speakers are 1310724, not 4", {kSix, kTwo}, false, {1310724}},
        {"the last click counts; bounds belong to the area", {kTwo, {263, 125}}, false, {3}},
        {"OK alone keeps the mode read", {}, false, {6}},
        {"a click outside every area", {{100, 300}}, false, {6}},
        {"closed without OK", {kFour}, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AfterRestart m;
        sim::InstallAudioComponent(m.machine, SixChannelDriver(6));
        sim::Process& setup = m.StartSpeaker();
        uint64_t at = 2000;
        for (POINT click : c.clicks) m.ClickPoint(at += 500, click);
        if (c.close_instead) {
            m.machine.scheduler().At(
                at + 500, [&m] { sim::UserPressKey(m.machine, m.MainWindow()->handle, VK_ESCAPE); });
        } else {
            m.ClickPoint(at + 500, kOk);
        }
        sim::RunResult result = m.RunFor(10000);
        ASSERT_FALSE(result.deadlocked()) << result.deadlock;
        EXPECT_TRUE(setup.ended());
        std::vector<DWORD> written;
        for (const auto& call : m.Calls("SetProperty", sim::kPropSpeakerMode))
            written.push_back(Dword(call.data));
        EXPECT_EQ(written, c.written);
        const auto& sounds = sim::Devices(m.machine).sounds;
        ASSERT_EQ(sounds.size(), c.close_instead ? 0u : 1u);
        if (!sounds.empty()) {
            EXPECT_EQ(sounds[0].sound, "C:\\WINDOWS\\MEDIA\\start.wav");
            EXPECT_EQ(sounds[0].flags, static_cast<UINT>(SND_ASYNC));
        }
        EXPECT_EQ(m.component().references, 0) << "the window's end released the component";
        EXPECT_EQ(m.restart_prompts, 0);
    }
}

// OK makes sure Windows has an exit sound: the default scheme's file, when it is there, goes into the
// ".Current" keys of the default user and the current user that have none.
TEST(SpeakerView, OkSetsTheExitSoundWhereNoneIsSet) {
    const std::string schemes = "AppEvents\\Schemes\\Apps\\.Default\\SystemExit\\";
    const std::string default_user = "HKEY_USERS\\.DEFAULT\\" + schemes;
    const std::string current_user = "HKEY_CURRENT_USER\\" + schemes;
    struct Case {
        const char* name;
        const char* sound;  // the .Default scheme's value, or null for no key
        bool file_there;
        const char* user_current;   // the current user's .Current value beforehand, or null for no key
        const char* default_after;  // the .DEFAULT user's .Current value afterwards, or null for none
        const char* user_after;
        DWORD type;  // of the values written
    };
    const Case cases[] = {
        {"both set", "C:\\WINDOWS\\MEDIA\\Exit.wav", true, "", "C:\\WINDOWS\\MEDIA\\Exit.wav",
         "C:\\WINDOWS\\MEDIA\\Exit.wav", REG_SZ},
        {"a set value stays", "C:\\WINDOWS\\MEDIA\\Exit.wav", true, "C:\\Mine.wav",
         "C:\\WINDOWS\\MEDIA\\Exit.wav", "C:\\Mine.wav", REG_SZ},
        {"a name with % is expandable", "C:\\WINDOWS\\MEDIA\\100%.wav", true, "",
         "C:\\WINDOWS\\MEDIA\\100%.wav", "C:\\WINDOWS\\MEDIA\\100%.wav", REG_EXPAND_SZ},
        {"the file is missing", "C:\\WINDOWS\\MEDIA\\Exit.wav", false, "", nullptr, "", REG_SZ},
        {"no default scheme", nullptr, false, "", nullptr, "", REG_SZ},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AfterRestart m("winxp");
        sim::Registry& registry = m.machine.registry();
        if (c.sound) registry.SetValue(default_user + ".Default", "", sim::RegValue::String(c.sound));
        if (c.file_there) m.machine.files().WriteFile(c.sound, "RIFF");
        if (c.user_current)
            registry.SetValue(current_user + ".Current", "", sim::RegValue::String(c.user_current));
        sim::InstallAudioComponent(m.machine, SixChannelDriver());
        m.StartSpeaker();
        m.ClickPoint(2000, kOk);
        m.RunFor(5000);
        auto standard = registry.GetValue(default_user + ".Current", "");
        EXPECT_EQ(standard.has_value(), c.default_after != nullptr);
        if (standard && c.default_after) {
            EXPECT_EQ(standard->text().value_or("-"), std::string(c.default_after));
            EXPECT_EQ(standard->type, c.type);
        }
        auto user = registry.GetValue(current_user + ".Current", "");
        ASSERT_TRUE(user);
        EXPECT_EQ(user->text().value_or("-"), std::string(c.user_after));
    }
}

// Where a restart is owed after the pass, the window's end brings the restart prompt: when an "Information"
// box is up, or when mixerdef.ini asks for the hardware check and no mixer runs. A registry scan that moved a
// setting asks for the restart at once, whatever the user then chooses.
TEST(SpeakerView, TheRestartPromptAfterThePass) {
    struct Case {
        const char* name;
        bool information, check_wanted, mixer, restart_needed;
        int prompts;
        bool prompt_offers_later;
    };
    const Case cases[] = {
        {"nothing owed", false, false, false, false, 0, true},
        {"an Information box", true, false, false, false, 1, false},
        {"the mixer is expected and not running", false, true, false, false, 1, false},
        {"the mixer is running", false, true, true, false, 0, true},
        {"a moved setting", false, false, false, true, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AfterRestart m;
        m.restart_answer = SetupMachine::RestartAnswer::kNone;
        if (c.check_wanted) m.MixerDef("[Hardware Setting]\r\nNeedToCheckHardwareSetting=1\r\n");
        if (c.mixer) m.OpenWindow("QvMixerFrame", "Mixer", 100);
        if (c.restart_needed) {
            MoveASetting(m);
        }
        sim::InstallAudioComponent(m.machine, SixChannelDriver());
        sim::Process& setup = m.StartSpeaker();
        if (c.information) m.OpenWindow("Notice", "Information", 1500);
        if (!c.restart_needed) m.ClickPoint(2000, kOk);
        m.RunFor(4000);
        EXPECT_EQ(m.restart_prompts, c.prompts);
        sim::Window* later = nullptr;
        for (sim::Window* w : m.ui().TopLevel())
            if (SetupMachine::IsRestartPrompt(*w))
                for (sim::Window* child : w->children)
                    if (child->id == 1001) later = child;
        EXPECT_EQ(later != nullptr, c.prompts == 1);
        if (later) {
            EXPECT_EQ(later->visible(), c.prompt_offers_later);
        }
        if (c.restart_needed) {
            EXPECT_FALSE(m.MainWindow()->visible()) << "the speaker view waits hidden behind the prompt";
        }
        EXPECT_EQ(setup.ended(), c.prompts == 0);
    }
}

// After the prompt of a moved setting the speaker start ends the process with status 0 on the spot, whatever
// the user chose: the window's destroy handling does not run, so the component it holds is not released by
// Setup and the window goes only with the process.
TEST(SpeakerStart, AMovedSettingEndsTheProcessRightAfterThePrompt) {
    for (SetupMachine::RestartAnswer answer :
         {SetupMachine::RestartAnswer::kNow, SetupMachine::RestartAnswer::kLater}) {
        SCOPED_TRACE(answer == SetupMachine::RestartAnswer::kNow ? "now" : "later");
        AfterRestart m;
        m.restart_answer = answer;
        MoveASetting(m);
        sim::InstallAudioComponent(m.machine, SixChannelDriver());
        sim::Process& setup = m.StartSpeaker();
        m.RunFor(5000);
        EXPECT_TRUE(setup.ended());
        EXPECT_EQ(setup.exit_code, DWORD{0});
        EXPECT_EQ(m.restart_prompts, 1);
        EXPECT_EQ(m.machine.restart_pending(), answer == SetupMachine::RestartAnswer::kNow);
        EXPECT_EQ(m.TimeOf("component", "released"), -1) << "the destroy handler did not run";
        EXPECT_GE(m.TimeOf("window", "closed window \"Setup\" (#32770) as its program ended"), 0);
    }
}

}  // namespace
}  // namespace setup_test
