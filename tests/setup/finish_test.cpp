// The end of Setup after an installation: the destroy handler hands over to the DirectX setup the CD's outer
// installer asked for, or gives the new driver its jack settings and asks the user to restart. The restart
// prompt itself: its choices, where "restart later" is not offered, and what OK and cancel do on each family.
#include <gtest/gtest.h>

#include "setup_machine.h"
#include "sim/audio_component.h"

namespace setup_test {
namespace {

const char kSettings[] = "C:\\WINDOWS\\QVISETUP.INI";

// Install, then Exit at once: the worker ends at its first test, and the window closes after Exit's pause.
void InstallAndExit(SetupMachine& m) {
    m.Start();
    m.ClickAt(1000, 1002);
    m.ClickAt(1000, 1003);
}

TEST(Finish, TheDirectXSetupTakesOverOnceWhenTheOuterInstallerAsks) {
    struct Case {
        const char* name;
        const char* settings;       // QVISETUP.INI, or null for none
        bool program_there;         // C:\DX\DXSETUP.EXE exists
        std::vector<int> answers;   // to the message box, in order
        bool started;               // WinExec of the program
        int boxes;                  // message boxes shown
        bool prompt;                // the restart prompt followed
        const char* install_dx;     // "InstallDX" afterwards ("-": missing)
        const char* command_after;  // "InstallDXCommand" afterwards
    };
    const char asked[] =
        "[Need_To_Install_DX]\r\nInstall=YES\r\n[Need_To_InstallDriver]\r\nInstallDX=YES\r\n"
        "InstallDXCommand=C:\\DX\\DXSETUP.EXE\r\n";
    const Case cases[] = {
        {"asked, program there", asked, true, {}, true, 0, false, "NO", "NO"},
        {"no QVISETUP.INI", nullptr, true, {}, false, 0, true, "-", "-"},
        {"\"yes\" is not \"YES\"",
         "[Need_To_Install_DX]\r\nInstall=yes\r\n[Need_To_InstallDriver]\r\nInstallDXCommand=C:\\DX\\DXSETUP."
         "EXE\r\n",
         true,
         {},
         false,
         0,
         true,
         "-",
         "C:\\DX\\DXSETUP.EXE"},
        {"no command: nothing written",
         "[Need_To_Install_DX]\r\nInstall=YES\r\n",
         true,
         {},
         false,
         0,
         true,
         "-",
         "-"},
        {"program missing, Cancel", asked, false, {IDCANCEL}, false, 1, true, "NO", "NO"},
        {"program missing, OK then Cancel", asked, false, {IDOK, IDCANCEL}, false, 2, true, "NO", "NO"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetupMachine m;
        if (c.settings) m.machine.files().WriteFile(kSettings, c.settings);
        if (c.program_there) m.machine.files().WriteFile("C:\\DX\\DXSETUP.EXE", "MZ");
        for (int answer : c.answers) m.ui().message_box_answers.push_back(answer);
        InstallAndExit(m);
        sim::RunResult result = m.machine.Run(30000);
        ASSERT_FALSE(result.deadlocked()) << result.deadlock;
        EXPECT_EQ(m.TimeOf("process", "WinExec(\"C:\\DX\\DXSETUP.EXE\")") >= 0, c.started);
        int boxes = 0;
        for (const sim::TraceEvent& e : m.machine.trace().events())
            boxes += e.category == "dialog" &&
                     e.text ==
                         "message box \"Setup\": Can not find DirectX setup program. Please make sure the "
                         "installation CD is ready.";
        EXPECT_EQ(boxes, c.boxes);
        EXPECT_EQ(m.restart_prompts, c.prompt ? 1 : 0);
        auto settings_after = [&m] { return m.machine.files().ReadFile(kSettings).value_or(""); };
        if (c.settings) {
            EXPECT_EQ(ProfileValue(settings_after(), "Need_To_InstallDriver", "InstallDX").value_or("-"),
                      c.install_dx);
            EXPECT_EQ(
                ProfileValue(settings_after(), "Need_To_InstallDriver", "InstallDXCommand").value_or("-"),
                c.command_after);
        }
    }
}

// After an installation the driver gets mixerdef.ini's jack settings through a component created for the
// purpose and released again; closing before Install shows nothing at all.
TEST(Finish, JackSettingsAfterTheInstallationThenThePrompt) {
    SetupMachine m;
    m.machine.files().WriteFile(
        "C:\\WINDOWS\\mixerdef.ini",
        "[Hardware Setting]\r\nNeedToCheckHardwareSetting=1\r\n[4ch Setting]\r\nMICasBASS=1\r\n");
    sim::AudioComponentOptions component;
    component.channel_count = 4;
    component.jack_assignment = {9, 9, 9, 5};
    sim::InstallAudioComponent(m.machine, component);
    InstallAndExit(m);
    m.machine.Run(30000);
    EXPECT_EQ(sim::AudioComponent(m.machine).jack_assignment, (std::array<BYTE, 12>{0, 0, 1, 5}));
    EXPECT_EQ(sim::AudioComponent(m.machine).references, 0);
    EXPECT_EQ(m.restart_prompts, 1);
    // In the transcript's order: the driver has its settings before the prompt opens.
    const auto& events = m.machine.trace().events();
    auto first = [&events](const char* category, const char* text) {
        for (size_t i = 0; i < events.size(); ++i)
            if (events[i].category == category && events[i].text.find(text) != std::string::npos) return i;
        return events.size();
    };
    EXPECT_LT(first("component", "SetProperty"), first("window", "created window \"Restarting Windows\""));

    SetupMachine untouched;
    sim::Process& setup = untouched.Start();
    untouched.ClickAt(1000, 1003);
    untouched.machine.Run(30000);
    EXPECT_TRUE(setup.ended());
    EXPECT_EQ(untouched.restart_prompts, 0);
}

// The prompt as it opens: "restart now" chosen, both choices offered, the main window hidden behind it.
TEST(RestartPrompt, OpensWithRestartNowChosen) {
    SetupMachine m;
    m.restart_answer = SetupMachine::RestartAnswer::kNone;
    InstallAndExit(m);
    m.machine.Run(10000);
    sim::Window* prompt = nullptr;
    for (sim::Window* w : m.ui().TopLevel())
        if (SetupMachine::IsRestartPrompt(*w)) prompt = w;
    ASSERT_NE(prompt, nullptr);
    EXPECT_EQ(prompt->text, "Restarting Windows");
    EXPECT_TRUE(prompt->visible());
    EXPECT_EQ(m.ui().foreground, prompt->handle);
    std::map<int, std::pair<int, bool>> radios;  // id: check, visible
    for (sim::Window* child : prompt->children) radios[child->id] = {child->check, child->visible()};
    EXPECT_EQ(radios[1000], std::make_pair(int{BST_CHECKED}, true));
    EXPECT_EQ(radios[1001], std::make_pair(int{BST_UNCHECKED}, true));
    EXPECT_FALSE(m.MainWindow()->visible());
}

// OK with "restart now" asks Windows to restart: on the 9x family without any token, on the NT family once
// the shutdown privilege is enabled. "Later", Escape, and an account without the privilege restart nothing;
// the prompt closes and Setup ends each time. An "Information" box leaves only "restart now".
TEST(RestartPrompt, AnswersOnEachFamily) {
    using Answer = SetupMachine::RestartAnswer;
    struct Case {
        const char* name;
        const char* version;
        Answer answer;
        bool information, privilege_held;
        bool restart;
    };
    const Case cases[] = {
        {"98 SE, now", "win98se", Answer::kNow, false, true, true},
        {"98 SE, later", "win98se", Answer::kLater, false, true, false},
        {"98 SE, Escape", "win98se", Answer::kEscape, false, true, false},
        {"XP, now", "winxp", Answer::kNow, false, true, true},
        {"XP, now, without the privilege", "winxp", Answer::kNow, false, false, false},
        {"XP, later", "winxp", Answer::kLater, false, true, false},
        {"Information up: later is not offered", "win98se", Answer::kLater, true, true, true},
        {"Information up: Escape", "win98se", Answer::kEscape, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetupMachine m(c.version);
        m.machine.shutdown_privilege_held = c.privilege_held;
        m.restart_answer = c.answer;
        if (c.information) m.OpenWindow("Notice", "Information", 2000);
        sim::Process& setup = m.Start();
        m.ClickAt(3000, 1002);
        m.ClickAt(3000, 1003);
        sim::RunResult result = m.machine.Run(30000);
        ASSERT_FALSE(result.deadlocked()) << result.deadlock;
        EXPECT_TRUE(setup.ended());
        EXPECT_EQ(m.restart_prompts, 1);
        EXPECT_EQ(m.machine.restart_pending(), c.restart);
        if (c.information) {
            EXPECT_GE(m.TimeOf("window", "hidden window \"Information\""), 0);
        }
    }
}

}  // namespace
}  // namespace setup_test
