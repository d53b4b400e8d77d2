// What happens when the main window closes: the timer stops, a held control component goes back, the install
// worker is stopped and waited for, and after an installation the DirectX setup the CD's outer installer
// asked for takes over, or the driver gets its jack settings and the user the restart prompt.
#include <string.h>

#include "app/paths.h"
#include "app/setup_app.h"
#include "app/setup_dlg.h"
#include "finish/audio_control.h"
#include "finish/speaker_config.h"
#include "install/install_worker.h"

namespace {

const char kDirectXSection[] = "Need_To_Install_DX";
const char kDriverSection[] = "Need_To_InstallDriver";

// Starts the DirectX setup program that QVISETUP.INI names, once: the keys read "NO" before it starts, so a
// later run does not start it again. True when it was started and takes over from here.
bool HandOverToDirectX(HWND owner) {
    char settings[MAX_PATH];
    if (!WindowsPath(settings, "QVISETUP.INI")) return false;
    char value[MAX_PATH];
    GetPrivateProfileStringA(kDirectXSection, "Install", "NO", value, sizeof value, settings);
    if (strcmp(value, "YES") != 0) return false;
    char command[MAX_PATH];
    GetPrivateProfileStringA(kDriverSection, "InstallDXCommand", "NO", command, sizeof command, settings);
    if (strcmp(command, "NO") == 0) return false;
    WritePrivateProfileStringA(kDriverSection, "InstallDX", "NO", settings);
    WritePrivateProfileStringA(kDriverSection, "InstallDXCommand", "NO", settings);
    // The command names the program alone; it is looked for as often as the user says the CD is ready.
    while (!FilePresent(command)) {
        if (MessageBoxA(owner,
                        "Can not find DirectX setup program. Please make sure the installation CD is ready.",
                        "Setup", MB_OKCANCEL) != IDOK)
            return false;
    }
    WinExec(command, SW_SHOW);
    return true;
}

}  // namespace

void CSetupDlg::OnDestroy() {
    Default();
    if (TimerId != 0) {
        KillTimer(TimerId);
        TimerId = 0;
    }
    if (HWND support = FindWindowExA(NULL, NULL, "WinSupClass", NULL)) ::ShowWindow(support, SW_RESTORE);
    if (AudioControl) {
        ReleaseAudioControl(AudioControl);
        // A restart is owed after the speaker pass while an "Information" box is up (hidden now) or the
        // mixer's hardware check is pending.
        if (HideInformationBox() || MixerCheckPending(CommandLine)) {
            ShowWindow(SW_HIDE);
            ShowRestartPrompt();
            return;
        }
    }
    if (WorkerThread == NULL) return;
    // The worker sees the event at its next test; the wait handles no messages, so the worker must never need
    // this thread to answer it.
    SetEvent(CancelEvent);
    WaitForSingleObject(WorkerThread, INFINITE);
    CloseHandle(WorkerThread);
    WorkerThread = NULL;
    CloseHandle(CancelEvent);
    CancelEvent = NULL;

    if (HandOverToDirectX(m_hWnd)) return;
    ApplyJackSettingsAfterInstall();
    ShowWindow(SW_HIDE);
    ShowRestartPrompt();
}
