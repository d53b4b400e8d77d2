// The main window's timer handler: follows the install worker through InstallPhase, adds a progress line per
// phase and a line of dots while the driver is awaited, keeps out of the way of the companion installer, and
// closes the window when the worker has finished.
#include <string.h>

#include "app/setup_app.h"
#include "app/setup_dlg.h"
#include "finish/tray_icon.h"
#include "install/install_worker.h"
#include "res/resource.h"

namespace {

// Kept for the life of the process, touched only on the window's thread.
bool SetupWindowHidden = false;
DWORD LastShownPhase = kPhaseIdle;
LONG WaitTicks = 0;
int DotLineIndex = 0;

const UINT kProgressTimer = 1;
const int kTicksPerDot = 50;  // a dot every 5 seconds at 100 ms a tick
const DWORD kCompanionPollMs = 1000;
const ATOM kDialogClassAtom = 0x8002;

UINT PhaseString(DWORD phase) {
    switch (phase) {
        case kPhaseStarted:
            return IDS_PHASE_STARTED;
        case kPhaseCopyingFiles:
            return IDS_PHASE_COPYING;
        case kPhaseRefreshingHardware:
            return IDS_PHASE_REFRESHING;
        default:
            return phase < kPhaseFinished ? IDS_PHASE_WAITING : IDS_PHASE_DONE;
    }
}

// A device dialog: a system dialog with a "SysLink" child, or with a static reading the controller's name.
bool IsDeviceDialog(HWND dialog) {
    if (FindWindowExA(dialog, NULL, "SysLink", NULL)) return true;
    return FindWindowExA(dialog, NULL, "Static", "QVI6620/V3DX PCI Audio Device") != NULL;
}

void BringDeviceDialogForward() {
    LPCSTR dialog_class = reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(kDialogClassAtom));
    for (HWND dialog = FindWindowExA(NULL, NULL, dialog_class, NULL); dialog;
         dialog = FindWindowExA(NULL, dialog, dialog_class, NULL)) {
        if (!IsDeviceDialog(dialog)) continue;
        SetActiveWindow(dialog);
        ShowWindow(dialog, SW_SHOW);
        SetForegroundWindow(dialog);
        return;
    }
}

}  // namespace

void CSetupDlg::OnTimer(UINT_PTR) {
    ProgressList.RedrawWindow(NULL, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    if (WorkerThread == NULL) {
        HideInformationBox();
        Default();
        return;
    }
    if (CompanionInstallerPresent()) {
        ShowWindow(SW_HIDE);
        SetupWindowHidden = true;
    } else {
        if (SetupWindowHidden) {
            if (HWND support = FindWindowExA(NULL, NULL, "WinSupClass", NULL))
                ::ShowWindow(support, SW_MINIMIZE);
            SetActiveWindow(m_hWnd);
            ShowWindow(SW_MINIMIZE);
            ShowWindow(SW_RESTORE);
            SetForegroundWindow(m_hWnd);
            SetupWindowHidden = false;
        }
        BringDeviceDialogForward();
    }

    DWORD phase = InstallPhase.load();
    if (phase < kPhaseFinished) {
        if (GetCursor() != BusyCursor) {
            HCURSOR replaced = SetCursor(BusyCursor);
            if (!SavedCursor) SavedCursor = replaced;
            ShowCursor(TRUE);
        }
    } else if (SavedCursor) {
        SetCursor(SavedCursor);
        ShowCursor(TRUE);
        SavedCursor = NULL;
    }

    phase = InstallPhase.load();
    if (phase != LastShownPhase) {
        LastShownPhase = phase;
        if (phase >= kPhaseFinished) {
            FinishInstallation();
            return;
        }
        char line[256] = "";
        LoadStringA(SetupApp().m_hInstance, PhaseString(phase), line, sizeof line);
        AddProgressLine(line);
    } else if (phase >= kPhaseWaitingForDriver && phase < kPhaseFinished) {
        if (WaitTicks == 0) {
            AddProgressLine(".");
            DotLineIndex = ProgressList.GetCount() - 1;
        } else if (WaitTicks % kTicksPerDot == 0) {
            // The line of dots stops growing at the 255 characters its buffer holds.
            char dots[256] = "";
            int length = ProgressList.GetTextLen(DotLineIndex);
            if (length >= 0 && length < static_cast<int>(sizeof dots))
                ProgressList.GetText(DotLineIndex, dots);
            if (length >= 0 && length < static_cast<int>(sizeof dots) - 1) strcat(dots, ".");
            ProgressList.DeleteString(DotLineIndex);
            AddProgressLine(dots);
            DotLineIndex = ProgressList.GetCount() - 1;
        }
        ++WaitTicks;
    }
    Default();
}

void CSetupDlg::FinishInstallation() {
    char line[256] = "";
    LoadStringA(SetupApp().m_hInstance, IDS_PHASE_DONE, line, sizeof line);
    AddProgressLine(line);
    KillTimer(TimerId);
    TimerId = 0;
    Default();
    while (CompanionInstallerPresent()) {
        ShowWindow(SW_HIDE);
        SetupWindowHidden = true;
        SleepEx(kCompanionPollMs, FALSE);
    }
    ShowWindow(SW_SHOW);
    if (SetupWindowHidden) {
        SetForegroundWindow(m_hWnd);
        SetupWindowHidden = false;
    }
    UpdateTrayIcon(SetupApp().Options.InstallWDMUDACodecDriver != 0);
    OnOK();
}
