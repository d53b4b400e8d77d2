// The start modes the command line chooses: the speaker start after the restart ("/SPEAKER" anywhere), driver
// mode ("/DRIVER", "DRIVER" or "-DRIVER" exactly), or a normal start that waits for Install.
#include <string.h>

#include "app/setup_app.h"
#include "app/setup_dlg.h"
#include "finish/audio_control.h"
#include "finish/speaker_config.h"
#include "finish/tray_icon.h"
#include "scan/audio_scan.h"

namespace {

const UINT kProgressTimer = 1;
const UINT kInstallTickMs = 100;

bool IsDriverMode(const char* command_line) {
    return strcmp(command_line, "/DRIVER") == 0 || strcmp(command_line, "DRIVER") == 0 ||
           strcmp(command_line, "-DRIVER") == 0;
}

}  // namespace

void CSetupDlg::RunStartModes() {
    if (strstr(CommandLine, "/SPEAKER")) RunSpeakerStart();
    if (IsDriverMode(CommandLine)) {
        RunDriverMode();
    } else if (TimerId == 0) {
        TimerId = SetTimer(kProgressTimer, kInstallTickMs);
    }
}

void CSetupDlg::RunSpeakerStart() {
    BOOL component_ready = FALSE;
    CoInitialize(NULL);
    AudioControl = CreateAudioControl();
    if (AudioControl && AudioControl->GetProperty(PropSpeakerMode, &SpeakerMode, sizeof SpeakerMode))
        component_ready = TRUE;
    UpdateTrayIcon(SetupApp().Options.InstallWDMUDACodecDriver != 0);
    if (!component_ready) {
        DeleteSpeakerRunValue();
        crt::exit(0);
    }
    RunSpeakerPass();
    if (RestartNeeded) {
        ShowWindow(SW_HIDE);
        ShowRestartPrompt();
        crt::exit(0);
    }
}

void CSetupDlg::RunDriverMode() {
    if (CompanionInstallerPresent()) ShowWindow(SW_HIDE);
    OnInstall();
}
