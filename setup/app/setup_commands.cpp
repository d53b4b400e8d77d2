// The install view's commands: Install starts the worker, Exit stops it and closes the window, Eject CD opens
// the door of every CD-ROM drive.
#include <string.h>

#include <string>
#include <vector>

#include "app/setup_dlg.h"
#include "install/install_worker.h"

namespace {

const UINT kProgressTimer = 1;
const UINT kInstallTickMs = 100;
const DWORD kExitGraceMs = 3000;

}  // namespace

void CSetupDlg::OnInstall() {
    if (WorkerThread != NULL) return;
    InstallButton.EnableWindow(FALSE);
    // A cancel event or worker that cannot be made leaves WorkerThread null: the window then stays in its
    // waiting state and Exit still closes it.
    CancelEvent = CreateEventA(NULL, FALSE, FALSE, NULL);
    WorkerThread = CreateThread(NULL, 0, InstallWorkerProc, NULL, 0, &WorkerThreadId);
    TimerId = SetTimer(kProgressTimer, kInstallTickMs);
    ProgressList.AddString("");
}

void CSetupDlg::OnExit() {
    SetEvent(CancelEvent);
    SleepEx(kExitGraceMs, FALSE);
    OnOK();
}

void CSetupDlg::OnEjectCd() {
    DWORD ticks = GetTickCount();
    std::vector<std::string> cd_drives;
    char drives[1024];
    DWORD length = GetLogicalDriveStringsA(sizeof drives, drives);
    if (length > sizeof drives) length = 0;  // the list did not fit: nothing to walk
    for (DWORD offset = 0; offset < length && drives[offset];) {
        const char* root = drives + offset;
        if (GetDriveTypeA(root) == DRIVE_CDROM) cd_drives.push_back(root);
        offset += static_cast<DWORD>(strlen(root)) + 1;
    }
    for (const std::string& root : cd_drives) {
        char element[16];
        char alias[32];
        wsprintfA(element, "%c:", root[0]);
        // Each drive gets an alias of its own: MCI refuses a second device under an alias already in use
        // (MCIERR_DUPLICATE_ALIAS), which would leave every CD drive after the first one closed.
        wsprintfA(alias, "CD%lu%c:", ticks, root[0]);
        MCI_OPEN_PARMSA open;
        memset(&open, 0, sizeof open);
        open.dwCallback = reinterpret_cast<DWORD_PTR>(m_hWnd);
        open.wDeviceID = 0;
        open.lpstrDeviceType = reinterpret_cast<LPCSTR>(static_cast<DWORD_PTR>(MCI_DEVTYPE_CD_AUDIO));
        open.lpstrElementName = element;
        open.lpstrAlias = alias;
        DWORD open_flags = MCI_OPEN_TYPE | MCI_OPEN_TYPE_ID | MCI_OPEN_ELEMENT | MCI_OPEN_ALIAS |
                           MCI_OPEN_SHAREABLE | MCI_NOTIFY;
        if (mciSendCommandA(0, MCI_OPEN, open_flags, reinterpret_cast<DWORD_PTR>(&open)) != 0) continue;
        MCI_STATUS_PARMS status;
        memset(&status, 0, sizeof status);
        status.dwCallback = static_cast<DWORD_PTR>(LOWORD(reinterpret_cast<DWORD_PTR>(m_hWnd)));
        status.dwItem = MCI_STATUS_MODE;
        mciSendCommandA(open.wDeviceID, MCI_STATUS, MCI_NOTIFY | MCI_STATUS_ITEM,
                        reinterpret_cast<DWORD_PTR>(&status));
        MCI_SET_PARMS set;
        memset(&set, 0, sizeof set);
        set.dwCallback = reinterpret_cast<DWORD_PTR>(m_hWnd);
        mciSendCommandA(open.wDeviceID, MCI_SET, MCI_SET_DOOR_OPEN, reinterpret_cast<DWORD_PTR>(&set));
        // The device stays open until the process ends.
    }
}
