// Whole installations, from the CD to the speaker choice after the restart: the user starts Setup from the
// CD, presses Install (or another installer starts it in driver mode), the worker runs to "Done.", the
// restart prompt is answered; after a restart Windows runs the Run entries, Setup's speaker start shows the
// speaker view, the user picks four speakers and OK, and the driver has its speaker mode.
#include <gtest/gtest.h>

#include "install_run.h"
#include "sim/programs.h"

namespace setup_test {
namespace {

using Answer = SetupMachine::RestartAnswer;
using R = sim::DriverResult;

enum class Controller { kNone, kOwnChip, kChipset, kUpdatesFail, kRestartRequired };

// Windows 95, 98 and ME have no driver update (NEWDEV.DLL): there every controller takes the OEM INF road, so
// the rows of update results are on the NT family. Windows 95 and NT 4 cannot re-enumerate the devices, so
// the new mixer never appears and the user ends the wait with Exit. The codec package never registers the
// speaker pass; a driver update that installs it, or asks for a restart, ends the run without the mixer.
struct Journey {
    const char* version;
    Package package;
    Controller controller;
    Answer answer;
    bool driver_mode;
    uint64_t exit_at_ms;  // the user presses Exit then (0: never)
    // What the installation leaves.
    bool speaker_entry, mixer_entry;
};

std::string Name(const Journey& j) {
    const char* controllers[] = {"no controller", "the maker's chip", "a chipset controller",
                                 "every update failing", "restart required"};
    const char* answers[] = {"later", "now", "Escape", "none"};
    return std::string(j.version) + ", " + (j.package == Package::kChip ? "chip" : "codec") + " package, " +
           controllers[static_cast<int>(j.controller)] + ", restart " + answers[static_cast<int>(j.answer)] +
           (j.driver_mode ? ", driver mode" : "");
}

sim::DeviceOptions DevicesFor(Controller controller) {
    sim::DeviceOptions devices;
    devices.mixer_devices = 1;
    devices.mixer_after_update_ms = 4000;
    devices.mixer_after_reenumerate_ms = 4000;
    if (controller == Controller::kNone) return devices;
    devices.devices.push_back(
        SetupMachine::Controller(controller == Controller::kOwnChip ? kOwnController : kOtherController));
    sim::DriverPackage package;
    package.result = controller == Controller::kUpdatesFail       ? R::Failed
                     : controller == Controller::kRestartRequired ? R::InstalledRestartRequired
                                                                  : R::Installed;
    if (package.result == R::Failed) package.error = ERROR_NO_COMPAT_DRIVERS;
    devices.packages.push_back(package);
    return devices;
}

// The user's side of the speaker view after the log-on: four speakers, then OK.
void PickFourSpeakersWhenShown(SetupMachine& m) {
    m.ui().WhenShown([&m](sim::Window& window) {
        if (window.text != "Setup" || m.machine.boots() < 2) return;
        HWND handle = window.handle;
        m.machine.scheduler().At(m.machine.now_ms() + 1000, [&m, handle] {
            sim::UserClick(m.machine, handle, {200, 112});
        });
        m.machine.scheduler().At(m.machine.now_ms() + 2000, [&m, handle] {
            sim::UserClick(m.machine, handle, {550, 387});
        });
    });
}

TEST(Journeys, FromTheCdToTheSpeakerChoice) {
    const Journey journeys[] = {
        {"win98se", Package::kChip, Controller::kOwnChip, Answer::kNow, false, 0, true, true},
        {"win98se", Package::kChip, Controller::kOwnChip, Answer::kLater, false, 0, true, true},
        {"win98se", Package::kCodec, Controller::kChipset, Answer::kEscape, false, 0, false, true},
        {"win95", Package::kChip, Controller::kNone, Answer::kNow, false, 30000, true, false},
        {"win98", Package::kChip, Controller::kChipset, Answer::kNow, false, 0, true, true},
        {"win98", Package::kCodec, Controller::kNone, Answer::kNow, true, 0, false, true},
        {"winme", Package::kChip, Controller::kChipset, Answer::kNow, false, 0, true, true},
        {"win2k", Package::kChip, Controller::kRestartRequired, Answer::kNow, false, 0, true, false},
        {"winme", Package::kCodec, Controller::kNone, Answer::kNow, false, 0, false, true},
        {"nt4", Package::kChip, Controller::kNone, Answer::kNow, false, 30000, true, false},
        {"win2k", Package::kCodec, Controller::kOwnChip, Answer::kNow, true, 0, false, false},
        {"win2k", Package::kChip, Controller::kUpdatesFail, Answer::kLater, false, 0, true, true},
        {"winxp", Package::kChip, Controller::kChipset, Answer::kNow, false, 0, true, true},
        {"winxp", Package::kCodec, Controller::kRestartRequired, Answer::kNow, true, 0, false, false},
        {"winxp", Package::kChip, Controller::kNone, Answer::kEscape, false, 0, true, true},
    };
    for (const Journey& j : journeys) {
        SCOPED_TRACE(Name(j));
        SetupMachine m(j.version, DevicesFor(j.controller));
        sim::InstallDriverCdPrograms(m.machine);
        sim::AudioComponentOptions component;
        component.hardware_info = {1, 0, 0, 0, 40, 0, 0, 0};
        component.channel_count = 6;
        sim::InstallAudioComponent(m.machine, component);
        m.InsertMedium(j.package == Package::kChip ? "chip" : "codec");
        AddRunKey(m);
        m.restart_answer = j.answer;
        PickFourSpeakersWhenShown(m);

        // The first boot: the installation.
        sim::Process& setup = m.Start(j.driver_mode ? "/DRIVER" : "");
        if (!j.driver_mode) m.ClickAt(1000, 1002);
        if (j.exit_at_ms) m.ClickAt(j.exit_at_ms, 1003);
        LineWatch watch;
        WatchLines(m, watch, 60000);
        sim::RunResult result = m.machine.Run(60000);
        EXPECT_FALSE(result.deadlocked()) << result.deadlock;
        EXPECT_TRUE(setup.ended()) << "the installation ran to its end";
        EXPECT_EQ(setup.crash, "");
        std::vector<std::string> lines = watch.AfterIntro();
        EXPECT_EQ(lines.empty() ? "" : lines.front(), "Starting installation process...");
        // Exit during the wait for the driver leaves its line of dots as the last line.
        std::string last = lines.empty() ? "" : lines.back();
        if (j.exit_at_ms) {
            EXPECT_TRUE(!last.empty() && last.find_first_not_of('.') == std::string::npos) << last;
        } else {
            EXPECT_EQ(last, "Done.");
        }
        EXPECT_EQ(m.restart_prompts, 1);
        EXPECT_TRUE(m.machine.files().Exists(std::string(kStagingFolder) + "\\Setup.exe"));
        EXPECT_EQ(RunValue(m, kSpeakerValue) != "(none)", j.speaker_entry);
        EXPECT_EQ(RunValue(m, kMixerValue) != "(none)", j.mixer_entry);
        bool restarts = j.answer == Answer::kNow;
        EXPECT_EQ(m.machine.restart_pending(), restarts);
        if (!restarts) continue;

        // The second boot: the Run entries.
        m.machine.Restart();
        result = m.machine.Run(m.machine.now_ms() + 30000);
        EXPECT_FALSE(result.deadlocked()) << result.deadlock;
        std::vector<DWORD> written;
        for (const auto& call :
             sim::AudioComponent(m.machine).CallsOf("SetProperty", sim::kPropSpeakerMode)) {
            DWORD mode = 0;
            memcpy(&mode, call.data.data(), 4);
            written.push_back(mode);
        }
        EXPECT_EQ(written, j.speaker_entry ? std::vector<DWORD>{3} : std::vector<DWORD>{});
        EXPECT_EQ(RunValue(m, kSpeakerValue), "(none)") << "the speaker pass runs after one restart only";
        EXPECT_EQ(RunValue(m, kMixerValue) != "(none)", j.mixer_entry) << "the mixer's entry stays";
        bool mixer_window = false;
        for (sim::Window* w : m.ui().TopLevel()) mixer_window |= w->text == "Mixer";
        EXPECT_EQ(mixer_window, j.mixer_entry);
        for (const auto& process : m.machine.processes())
            EXPECT_TRUE(process->name() != "Setup.exe" || process->ended()) << "the speaker start ended";
        EXPECT_FALSE(m.machine.restart_pending()) << "no second restart is asked for";
    }
}

}  // namespace
}  // namespace setup_test
