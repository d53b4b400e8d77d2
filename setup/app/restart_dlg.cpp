#include "app/restart_dlg.h"

#include "app/setup_app.h"
#include "app/setup_dlg.h"
#include "finish/speaker_config.h"
#include "res/resource.h"
#include "scan/audio_scan.h"

BEGIN_MESSAGE_MAP(CRestartDlg, CDialog)
END_MESSAGE_MAP()

CRestartDlg::CRestartDlg(CWnd* parent) : CDialog(IDD_RESTART, parent) {}

CRestartDlg::~CRestartDlg() {}

void CRestartDlg::DoDataExchange(CDataExchange* exchange) {
    CDialog::DoDataExchange(exchange);
    DDX_Control(exchange, IDC_RESTART_NOW, YesRadio);
    DDX_Control(exchange, IDC_RESTART_LATER, NoRadio);
}

BOOL CRestartDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    YesRadio.SetCheck(BST_CHECKED);
    NoRadio.SetCheck(BST_UNCHECKED);
    ScanAudioDevices();
    // Where a restart cannot wait, only "restart now" is offered: an "Information" box of the CD's other
    // installer is up, or, after the restart, the mixer is expected to check the hardware and is not running.
    if (HideInformationBox()) NoRadio.ShowWindow(SW_HIDE);
    if (MixerCheckPending(SetupApp().m_lpCmdLine)) NoRadio.ShowWindow(SW_HIDE);
    SetForegroundWindow(m_hWnd);
    return TRUE;
}

void CRestartDlg::OnOK() {
    if (YesRadio.GetCheck()) {
        // Neither result is looked at: where the restart is refused, the prompt closes as usual.
        EnablePrivilege("SeShutdownPrivilege");
        ExitWindowsEx(EWX_REBOOT, 0);
    }
    CDialog::OnOK();
}

BOOL EnablePrivilege(LPCSTR name) {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token))
        return GetLastError() == ERROR_CALL_NOT_IMPLEMENTED;
    TOKEN_PRIVILEGES privileges;
    if (!LookupPrivilegeValueA(NULL, name, &privileges.Privileges[0].Luid)) {
        CloseHandle(token);
        return FALSE;
    }
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    BOOL adjusted = AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL);
    CloseHandle(token);
    return adjusted;
}

void ShowRestartPrompt() {
    CRestartDlg prompt;
    prompt.DoModal();
}
