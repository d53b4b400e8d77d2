// What happens when the main window closes: the timer stops, a held control component goes back, the install
// worker is stopped and waited for.
#include "app/setup_dlg.h"
#include "finish/audio_control.h"
#include "install/install_worker.h"

void CSetupDlg::OnDestroy() {
    Default();
    if (TimerId != 0) {
        KillTimer(TimerId);
        TimerId = 0;
    }
    if (HWND support = FindWindowExA(NULL, NULL, "WinSupClass", NULL)) ::ShowWindow(support, SW_RESTORE);
    if (AudioControl) ReleaseAudioControl(AudioControl);
    if (WorkerThread == NULL) return;
    // The worker sees the event at its next test; the wait handles no messages, so the worker must never need
    // this thread to answer it.
    SetEvent(CancelEvent);
    WaitForSingleObject(WorkerThread, INFINITE);
    CloseHandle(WorkerThread);
    WorkerThread = NULL;
    CloseHandle(CancelEvent);
    CancelEvent = NULL;
}
