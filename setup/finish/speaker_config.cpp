// The speaker configuration after the restart: the jack settings and the speaker view, where the user picks
// two, four or six speakers and OK writes the choice to the driver.
#include "finish/speaker_config.h"

#include <string.h>

#include "app/paths.h"
#include "app/setup_app.h"
#include "app/setup_dlg.h"
#include "res/resource.h"

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kSpeakerRunValue[] = "Korvane Speaker Configuration";
const char kDefaultUserExitSound[] = ".DEFAULT\\AppEvents\\Schemes\\Apps\\.Default\\SystemExit\\.Default";
const char kDefaultUserCurrentExitSound[] =
    ".DEFAULT\\AppEvents\\Schemes\\Apps\\.Default\\SystemExit\\.Current";
const char kCurrentExitSound[] = "AppEvents\\Schemes\\Apps\\.Default\\SystemExit\\.Current";
const UINT kProgressTimer = 1;
const UINT kSpeakerTickMs = 300;
const DWORD kTwoSpeakers = 1310724;  // bytes 04 00 14 00: what the driver takes for two speakers
const DWORD kSixSpeakerMinimumHardware = 38;

// A speaker layout of the view: where a click chooses it, what it stores, where the marker goes.
struct SpeakerOption {
    int left, right, top, bottom;  // the click area in client pixels, bounds included
    DWORD mode;                    // what a click stores in SpeakerMode
    int marker_x, marker_y;
    UINT picture;
    bool six;  // offered only when the hardware can drive six speakers
};
const SpeakerOption kOptions[] = {
    {153, 266, 67, 92, kTwoSpeakers, 168, 73, IDB_SPEAKERS_TWO, false},
    {150, 263, 100, 125, 3, 164, 104, IDB_SPEAKERS_FOUR, false},
    {145, 258, 130, 155, 6, 159, 136, IDB_SPEAKERS_SIX, true},
};
const SpeakerOption kOkArea = {503, 607, 375, 400, 0, 0, 0, 0, false};

bool Inside(POINT point, const SpeakerOption& area) {
    return point.x >= area.left && point.x <= area.right && point.y >= area.top && point.y <= area.bottom;
}

// The option whose area holds the point; null for none. The six-speaker area counts only where offered.
const SpeakerOption* OptionAt(POINT point, BOOL six_blocked) {
    for (const SpeakerOption& option : kOptions) {
        if (option.six && six_blocked) continue;
        if (Inside(point, option)) return &option;
    }
    return NULL;
}

// The option a mode is shown as: only its low byte counts, and every value not listed is two speakers.
const SpeakerOption& OptionOf(DWORD mode) {
    switch (mode & 0xFF) {
        case 3:
        case 5:
            return kOptions[1];
        case 6:
            return kOptions[2];
        default:
            return kOptions[0];
    }
}

bool MixerDefPath(char* path) {
    return WindowsPath(path, "mixerdef.ini");
}

// mixerdef.ini is there and asks for the jack settings.
bool JackSettingsWanted(char* path) {
    return MixerDefPath(path) && FilePresent(path) &&
           GetPrivateProfileIntA("Hardware Setting", "NeedToCheckHardwareSetting", 0, path) != 0;
}

// Hands the driver mixerdef.ini's jack switches for its channel count. Where the channel count cannot be read
// the section is unknown, and where the jack record cannot be read there is nothing to write back whole:
// either way the driver keeps the settings it has.
void WriteJackSettings(IAudioControl* control, const char* path) {
    BYTE hardware[8];
    if (!control->GetProperty(PropHardwareInfo, hardware, sizeof hardware)) return;
    DWORD channels = 0;
    if (!control->GetProperty(PropChannelCount, &channels, sizeof channels)) return;
    const char* section = channels > 4 ? "6ch Setting" : "4ch Setting";
    BYTE switches[3] = {
        static_cast<BYTE>(GetPrivateProfileIntA(section, "LINEINasREAR", 0, path)),
        static_cast<BYTE>(GetPrivateProfileIntA(section, "LINEINasBASS", 0, path)),
        static_cast<BYTE>(GetPrivateProfileIntA(section, "MICasBASS", 0, path)),
    };
    BYTE record[12];
    if (!control->GetProperty(PropJackAssignment, record, sizeof record)) return;
    memcpy(record, switches, sizeof switches);
    control->SetProperty(PropJackAssignment, record, sizeof record);
}

// Reads a key's default value as text into a 260-byte buffer; false when it cannot be read.
bool ReadDefaultText(HKEY key, char* text) {
    DWORD type = REG_SZ;
    DWORD size = MAX_PATH;
    memset(text, 0, MAX_PATH);
    if (RegQueryValueExA(key, NULL, NULL, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS)
        return false;
    text[MAX_PATH - 1] = '\0';
    return true;
}

// Gives a ".Current" exit-sound key the sound when it has none. A value that cannot be read, as in a key
// just created, counts as none.
void SetCurrentExitSound(HKEY root, const char* sub_key, const char* sound) {
    HKEY key;
    if (RegOpenKeyExA(root, sub_key, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS &&
        RegCreateKeyExA(root, sub_key, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL, &key, NULL) !=
            ERROR_SUCCESS)
        return;
    char current[MAX_PATH];
    if (!ReadDefaultText(key, current) || current[0] == '\0') {
        DWORD type = strchr(sound, '%') ? REG_EXPAND_SZ : REG_SZ;
        RegSetValueExA(key, NULL, 0, type, reinterpret_cast<const BYTE*>(sound),
                       static_cast<DWORD>(strlen(sound) + 1));
    }
    RegCloseKey(key);
}

// Windows' exit sound, when the default scheme names one whose file is there, also in the ".Current"
// schemes of the default user and the current user.
void EnsureExitSound() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_USERS, kDefaultUserExitSound, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    char sound[MAX_PATH];
    bool read = ReadDefaultText(key, sound);
    RegCloseKey(key);
    if (!read || !FilePresent(sound)) return;
    SetCurrentExitSound(HKEY_USERS, kDefaultUserCurrentExitSound, sound);
    SetCurrentExitSound(HKEY_CURRENT_USER, kCurrentExitSound, sound);
}

// The marker on the option, and the option's layout in the picture.
void ShowSpeakerOption(CSetupDlg& window, const SpeakerOption& option) {
    window.ChoiceMarker.MoveWindow(option.marker_x, option.marker_y, 13, 14, TRUE);
    window.SpeakerPicture.SetBitmap(LoadBitmapA(SetupApp().m_hInstance, MAKEINTRESOURCEA(option.picture)));
}

}  // namespace

bool MixerCheckPending(const char* command_line) {
    char path[MAX_PATH];
    return command_line && strstr(command_line, "/SPEAKER") && MixerDefPath(path) &&
           GetPrivateProfileIntA("Hardware Setting", "NeedToCheckHardwareSetting", 0, path) != 0 &&
           !FindWindowExA(NULL, NULL, NULL, "Mixer");
}

void DeleteSpeakerRunValue() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    RegDeleteValueA(key, kSpeakerRunValue);
    RegCloseKey(key);
}

bool ApplyJackSettings(IAudioControl* control) {
    char path[MAX_PATH];
    if (!JackSettingsWanted(path)) return false;
    if (control) WriteJackSettings(control, path);
    return true;
}

bool InSpeakerClickArea(POINT point, BOOL six_blocked) {
    return OptionAt(point, six_blocked) || Inside(point, kOkArea);
}

void ApplyJackSettingsAfterInstall() {
    char path[MAX_PATH];
    if (!JackSettingsWanted(path)) return;
    CoInitialize(NULL);
    IAudioControl* control = CreateAudioControl();
    if (control) WriteJackSettings(control, path);
    ReleaseAudioControl(control);
}

void CSetupDlg::RunSpeakerPass() {
    if (ApplyJackSettings(AudioControl)) HideInformationBox();
    DeleteSpeakerRunValue();

    ProgressList.ShowWindow(SW_HIDE);
    InstallButton.ShowWindow(SW_HIDE);
    ExitButton.ShowWindow(SW_HIDE);
    EjectButton.ShowWindow(SW_HIDE);
    SpeakerPicture.ShowWindow(SW_SHOW);
    ChoiceMarker.ShowWindow(SW_SHOW);
    HINSTANCE instance = SetupApp().m_hInstance;
    Background.SetBitmap(LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_SPEAKER_BACKGROUND)));
    SpeakerViewActive = TRUE;

    // The hardware must say it can drive six speakers; where either read fails it has not said so.
    DWORD hardware[2] = {0, 0};
    DWORD channels = 0;
    bool hardware_read = AudioControl->GetProperty(PropHardwareInfo, hardware, sizeof hardware) != 0;
    bool channels_read = AudioControl->GetProperty(PropChannelCount, &channels, sizeof channels) != 0;
    SixSpeakerBlocked =
        !hardware_read || !channels_read || hardware[1] < kSixSpeakerMinimumHardware || channels <= 4;
    if (!SixSpeakerBlocked) SixSpeakerButton.ShowWindow(SW_SHOW);

    ShowSpeakerOption(*this, OptionOf(SpeakerMode));
    HideInformationBox();
    TimerId = SetTimer(kProgressTimer, kSpeakerTickMs);
}

// A click on a layout only moves the marker and changes the picture; OK hands the choice to the driver.
void CSetupDlg::OnLButtonDown(UINT, POINT point) {
    if (!SpeakerViewActive) {
        Default();
        return;
    }
    if (const SpeakerOption* option = OptionAt(point, SixSpeakerBlocked)) {
        SpeakerMode = option->mode;
        ShowSpeakerOption(*this, *option);
        Default();
        return;
    }
    if (!Inside(point, kOkArea)) {
        Default();
        return;
    }
    if (AudioControl) AudioControl->SetProperty(PropSpeakerMode, &SpeakerMode, sizeof SpeakerMode);
    char sound[MAX_PATH];
    if (WindowsPath(sound, "MEDIA\\start.wav")) sndPlaySoundA(sound, SND_ASYNC);
    EnsureExitSound();
    Default();
    OnOK();
}
