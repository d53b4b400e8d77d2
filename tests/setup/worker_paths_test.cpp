// The driver wait and the start-up entries: the Run values, the component read during the wait, and the
// simulated control component itself.
#include <gtest/gtest.h>

#include <iterator>

#include "finish/audio_control.h"
#include "install_run.h"
#include "sim/errors.h"

namespace setup_test {
namespace {

// The speaker pass's entry: the short form of the staging folder, or, when the folder could not be made, the
// long form in quotes, never an unquoted path with a blank; only with the chip package. The stored text has
// no terminating zero.
TEST(WorkerPaths, TheSpeakerEntryNamesSetupInTheStagingFolder) {
    struct Case {
        const char* name;
        const char* version;
        Package package;
        bool folder_blocked;  // a file named "Korvane" stands where the folder should be made
        std::string entry;
    };
    const Case cases[] = {
        {"98 SE", "win98se", Package::kChip, false, "C:\\PROGRA~1\\KORVANE\\WIN_ME\\Setup.exe /SPEAKER"},
        {"XP", "winxp", Package::kChip, false, "C:\\PROGRA~1\\Korvane\\WIN_ME\\Setup.exe /SPEAKER"},
        {"no staging folder", "winxp", Package::kChip, true,
         "\"C:\\Program Files\\Korvane\\WIN_ME\\Setup.exe\" /SPEAKER"},
        {"codec package", "winxp", Package::kCodec, false, "(none)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetupMachine m(c.version);
        PutDriverMedium(m, c.package);
        AddRunKey(m);
        if (c.folder_blocked) m.machine.files().WriteFile("C:\\Program Files\\Korvane", "not a folder");
        m.Start();
        m.ClickAt(1000, 1002);
        m.machine.Run(60000);
        EXPECT_EQ(RunValue(m, kSpeakerValue), c.entry);
        EXPECT_EQ(RunValue(m, kMixerValue), "(none)");  // no mixer program on the medium
    }
}

TEST(WorkerPaths, TheMixerEntryStartsTheStagedMixer) {
    SetupMachine m("win98se");
    PutDriverMedium(m, Package::kChip, true);
    AddRunKey(m);
    m.Start();
    m.ClickAt(1000, 1002);
    m.machine.Run(60000);
    EXPECT_EQ(RunValue(m, kMixerValue), "C:\\WINDOWS\\NewMixer.exe /startup");
    auto value = m.machine.registry().GetValue(kRunKey, kMixerValue);
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
    // The length written counts no terminating zero, and 98 SE stores what it is given.
    EXPECT_EQ(value->data.size(), strlen("C:\\WINDOWS\\NewMixer.exe /startup"));
}

// The component can be created only from its eleventh creation attempt: it answers only its third interface,
// so each pass makes up to three attempts, and the third pass creates it. The speaker mode is read once, in
// that pass; the later passes cannot create it any more, because that pass left COM.
TEST(WorkerPaths, TheSpeakerModeIsReadOnceInTheFirstPassThatCreatesTheComponent) {
    sim::DeviceOptions devices;
    devices.mixer_devices = 2;
    devices.mixer_after_reenumerate_ms = 10000;
    SetupMachine m("winxp", devices);
    sim::AudioComponentOptions component;
    component.interfaces = {2};
    component.creatable_from_attempt = 9;
    component.speaker_mode = 0x0104;
    sim::InstallAudioComponent(m.machine, component);
    PutDriverMedium(m, Package::kChip, true);
    AddRunKey(m);
    m.Start();
    m.ClickAt(1000, 1002);
    m.machine.Run(60000);
    const sim::AudioComponentState& state = sim::AudioComponent(m.machine);
    std::vector<sim::AudioComponentCall> reads = state.CallsOf("GetProperty", sim::kPropSpeakerMode);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].size_bytes, 4u);
    EXPECT_EQ(reads[0].result, 1);
    EXPECT_EQ(reads[0].data, (std::vector<BYTE>{0x04, 0x01, 0x00, 0x00}));
    EXPECT_EQ(state.creation_attempts, 11);
    EXPECT_EQ(state.objects_created, 1);
    EXPECT_EQ(state.references, 0);
    std::vector<std::string> creations = LinesWith(m, "com", "CoCreateInstance({5B0E2A47");
    // Four attempts in each of the first two passes, three in the third, four refused calls in the fourth.
    ASSERT_EQ(creations.size(), 15u);
    EXPECT_NE(creations.back().find("0x800401F0"), std::string::npos);  // CO_E_NOTINITIALIZED
    // The passes are 3 s apart: the read came 6 s after the first.
    std::vector<sim::TraceEvent> attempts;
    for (const sim::TraceEvent& e : m.machine.trace().events())
        if (e.category == "com" && e.text.find("CoCreateInstance({5B0E2A47") == 0) attempts.push_back(e);
    EXPECT_EQ(reads[0].time_ms, attempts[0].time_ms + 6000);
    EXPECT_EQ(attempts.back().time_ms, attempts[0].time_ms + 9000);
    EXPECT_NE(RunValue(m, kMixerValue), "(none)");
}

// The simulated control component: which interfaces it answers, from which attempt it can be made, and what
// GetProperty and SetProperty answer and keep.
TEST(ControlComponent, InterfacesAttemptsAndProperties) {
    sim::Machine machine("winxp");
    sim::AudioComponentOptions options;
    options.interfaces = {1};
    options.creatable_from_attempt = 3;
    options.hardware_info = {1, 0, 0, 0, 40, 0, 0, 0};
    options.channel_count = 6;
    options.failing_reads = {sim::kPropChannelCount};
    sim::InstallAudioComponent(machine, options);
    std::vector<HRESULT> results;
    struct Call {
        bool set;
        DWORD property, size_bytes;
        LONG result;
    };
    const Call calls[] = {
        {false, 3, 4, 1}, {false, 3, 2, 0}, {false, 4, 12, 1}, {false, 6, 8, 1}, {false, 7, 4, 0},
        {false, 5, 4, 0}, {true, 3, 4, 1},  {true, 4, 12, 1},  {true, 6, 8, 0},  {true, 7, 4, 0},
    };
    std::vector<LONG> answers;
    machine.RunCode([&] {
        CoInitialize(NULL);
        for (int i = 0; i < 4; ++i) {
            void* object = nullptr;
            results.push_back(CoCreateInstance(sim::kClsidAudioComponent, NULL, CLSCTX_INPROC_SERVER,
                                               sim::kAudioComponentIids[i % 2], &object));
            if (!object) continue;
            IAudioControl* control = static_cast<IAudioControl*>(object);
            BYTE read[12] = {};
            BYTE written[12] = {6, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
            for (const Call& c : calls)
                answers.push_back(c.set ? control->SetProperty(c.property, written, c.size_bytes)
                                        : control->GetProperty(c.property, read, c.size_bytes));
            answers.push_back(control->GetProperty(3, NULL, 4));
            control->Release();
            break;
        }
        CoUninitialize();
    });
    // Attempts 1 and 2 come too early; the third asks for an interface it lacks; the fourth makes it.
    EXPECT_EQ(results, (std::vector<HRESULT>{REGDB_E_CLASSNOTREG, REGDB_E_CLASSNOTREG, E_NOINTERFACE, S_OK}));
    ASSERT_EQ(answers.size(), std::size(calls) + 1);
    for (size_t i = 0; i < std::size(calls); ++i) EXPECT_EQ(answers[i], calls[i].result) << i;
    EXPECT_EQ(answers.back(), 0);  // no buffer
    const sim::AudioComponentState& state = sim::AudioComponent(machine);
    EXPECT_EQ(state.speaker_mode, 0x00010106u);
    EXPECT_EQ(state.jack_assignment[0], 6);
    EXPECT_EQ(state.hardware_info[4], 40);  // read-only: kept
    EXPECT_EQ(state.channel_count, 6u);
    EXPECT_EQ(state.references, 0);
    EXPECT_EQ(state.calls.size(), std::size(calls) + 1);
    EXPECT_EQ(machine.trace().Lines("component").size(), 4 + std::size(calls) + 1 + 1);  // and the release
    sim::AudioComponentOptions no_such_interface;
    no_such_interface.interfaces = {4};
    EXPECT_THROW(sim::InstallAudioComponent(machine, no_such_interface), sim::InputError);
    sim::AudioComponentOptions too_early;
    too_early.creatable_from_attempt = 0;
    EXPECT_THROW(sim::InstallAudioComponent(machine, too_early), sim::InputError);
}

}  // namespace
}  // namespace setup_test
