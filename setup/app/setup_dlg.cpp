#include "app/setup_dlg.h"

#include <string.h>

#include "app/about_dlg.h"
#include "app/setup_app.h"
#include "finish/speaker_config.h"
#include "install/install_worker.h"
#include "res/resource.h"
#include "scan/device_search.h"

CSetupDlg* MainWindow = NULL;
BOOL SpeakerViewActive = FALSE;

namespace {

// The maker's own controller: without it the install view shows the alternative background.
const char kOwnControllerId[] = "PCI\\VEN_5E1A&DEV_0111";

const int kWindowWidth = 640;
const int kWindowHeight = 480;

}  // namespace

bool CompanionInstallerPresent() {
    return FindWindowExA(NULL, NULL, "InstallShield_Win", "PCI Audio Applications") ||
           FindWindowExA(NULL, NULL, NULL, "PCI Audio Applications") ||
           FindWindowExA(NULL, NULL, "InstallShield_Win", NULL);
}

bool HideInformationBox() {
    HWND information = FindWindowExA(NULL, NULL, NULL, "Information");
    if (information) ::ShowWindow(information, SW_HIDE);
    return information != NULL;
}

BEGIN_MESSAGE_MAP(CSetupDlg, CDialog)
ON_WM_SYSCOMMAND(OnSysCommand)
ON_WM_PAINT(OnPaint)
ON_WM_QUERYDRAGICON(OnQueryDragIcon)
ON_WM_TIMER(OnTimer)
ON_WM_DESTROY(OnDestroy)
ON_BN_CLICKED(IDC_INSTALL, OnInstall)
ON_BN_CLICKED(IDC_EXIT, OnExit)
ON_BN_CLICKED(IDC_EJECT_CD, OnEjectCd)
ON_WM_MOUSEMOVE(OnMouseMove)
ON_WM_LBUTTONDOWN(OnLButtonDown)
ON_MESSAGE_NO_ARGUMENTS(WM_SHOW_PROGRESS, OnShowProgress)
END_MESSAGE_MAP()

CSetupDlg::CSetupDlg(CWnd* parent) : CDialog(IDD_SETUP_DIALOG, parent) {
    CommandLine[0] = '\0';
    AppIcon = LoadIconA(SetupApp().m_hInstance, MAKEINTRESOURCEA(IDR_MAINFRAME));
}

CSetupDlg::~CSetupDlg() {}

void CSetupDlg::DoDataExchange(CDataExchange* exchange) {
    CDialog::DoDataExchange(exchange);
    DDX_Control(exchange, IDC_SIX_SPEAKER_BUTTON, SixSpeakerButton);
    DDX_Control(exchange, IDC_CHOICE_MARKER, ChoiceMarker);
    DDX_Control(exchange, IDC_BACKGROUND, Background);
    DDX_Control(exchange, IDC_SPEAKER_PICTURE, SpeakerPicture);
    DDX_Control(exchange, IDC_PROGRESS_LIST, ProgressList);
    DDX_Control(exchange, IDC_INSTALL, InstallButton);
    DDX_Control(exchange, IDC_EXIT, ExitButton);
    DDX_Control(exchange, IDC_EJECT_CD, EjectButton);
}

void CSetupDlg::AddProgressLine(const char* text) {
    ProgressList.AddString(text);
    ProgressList.SetCurSel(ProgressList.GetCount() - 1);
}

BOOL CSetupDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    HINSTANCE instance = SetupApp().m_hInstance;

    char pattern[256];
    memset(pattern, 0, sizeof pattern);
    strcpy(pattern, kOwnControllerId);
    int remove = 0;
    if (FindDeviceByHardwareId(pattern, &remove) == 0)
        Background.SetBitmap(LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_INSTALL_BACKGROUND_ALT)));

    SetWindowTextA("Setup");
    MainWindow = this;

    RECT desktop;
    ::GetWindowRect(GetDesktopWindow(), &desktop);
    MoveWindow((desktop.right - kWindowWidth) / 2, (desktop.bottom - kWindowHeight) / 2, kWindowWidth,
               kWindowHeight, TRUE);
    // The controls' places in client pixels; the speaker view's pictures stay hidden in the install view.
    const struct {
        CWnd* control;
        int x, y, width, height;
        bool visible;
    } places[] = {
        {&ProgressList, 185, 125, 317, 130, true},     {&InstallButton, 185, 270, 88, 32, true},
        {&ExitButton, 300, 270, 88, 32, true},         {&EjectButton, 415, 270, 88, 32, true},
        {&SpeakerPicture, 234, 166, 250, 175, false},  {&ChoiceMarker, 168, 73, 13, 14, false},
        {&SixSpeakerButton, 138, 126, 134, 34, false},
    };
    for (const auto& place : places) {
        place.control->MoveWindow(place.x, place.y, place.width, place.height, TRUE);
        if (!place.visible) place.control->ShowWindow(SW_HIDE);
    }

    HandCursor = LoadCursorA(instance, MAKEINTRESOURCEA(IDC_HAND_CURSOR));
    BusyCursor = LoadCursorA(instance, MAKEINTRESOURCEA(IDC_BUSY_CURSOR));
    SavedCursor = NULL;

    if (HMENU menu = GetSystemMenu(FALSE)) {
        char about[256];
        if (LoadStringA(instance, IDS_ABOUTBOX, about, sizeof about) > 0 && about[0]) {
            AppendMenuA(menu, MF_SEPARATOR, 0, NULL);
            AppendMenuA(menu, MF_STRING, IDM_ABOUTBOX, about);
        }
    }
    SetIcon(AppIcon, TRUE);
    SetIcon(AppIcon, FALSE);

    const UINT intro[] = {IDS_INTRO_INSTALL_NOW, IDS_INTRO_FEW_MINUTES, IDS_INTRO_PRESS_INSTALL};
    for (UINT id : intro) {
        char line[256] = "";
        LoadStringA(instance, id, line, sizeof line);
        ProgressList.AddString(line);
    }

    TimerId = 0;
    // A longer command line keeps its first 1023 characters: the switches stand at its start.
    lstrcpynA(CommandLine, SetupApp().m_lpCmdLine ? SetupApp().m_lpCmdLine : "", kCommandLineSize);
    RunStartModes();
    return TRUE;
}

void CSetupDlg::OnSysCommand(UINT id, LPARAM) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
        return;
    }
    Default();
}

void CSetupDlg::OnPaint() {
    if (IsIconic()) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(m_hWnd, &paint);
        SendMessageA(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        RECT client;
        GetClientRect(&client);
        int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
        int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
        DrawIcon(dc, x, y, AppIcon);
        EndPaint(m_hWnd, &paint);
        return;
    }
    ProgressList.RedrawWindow(NULL, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    Default();
}

HCURSOR CSetupDlg::OnQueryDragIcon() {
    return AppIcon;
}

void CSetupDlg::OnMouseMove(UINT, POINT point) {
    HCURSOR target = NULL;
    if (SpeakerViewActive) {
        if (InSpeakerClickArea(point, SixSpeakerBlocked)) target = HandCursor;
    } else if (WorkerThread != NULL && InstallPhase < kPhaseFinished) {
        target = BusyCursor;
    }
    if (target) {
        if (GetCursor() != target) {
            SavedCursor = SetCursor(target);
            ShowCursor(TRUE);
        }
    } else if (SavedCursor) {
        SetCursor(SavedCursor);
        ShowCursor(TRUE);
        SavedCursor = NULL;
    }
    Default();
}
