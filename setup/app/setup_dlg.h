// The main window: a 640 by 480 picture window with the progress list and the Install, Exit and Eject CD
// buttons (the install view), which later shows the speaker view.
#pragma once

#include "framework/controls.h"
#include "framework/dialog.h"

class CSetupDlg : public CDialog {
  public:
    explicit CSetupDlg(CWnd* parent);
    ~CSetupDlg() override;

    // The id the last timer start returned; 0 while no timer runs. The window's timer is always timer 1.
    UINT_PTR TimerId = 0;
    HCURSOR HandCursor = NULL;
    HCURSOR SavedCursor = NULL;  // the cursor this window replaced; NULL when none is saved
    HCURSOR BusyCursor = NULL;
    // The upper-cased command line, cut to the buffer's 1023 characters.
    static const int kCommandLineSize = 1024;
    char CommandLine[kCommandLineSize];
    BOOL SixSpeakerBlocked = FALSE;  // the speaker view offers no six-speaker choice

    CStatic SixSpeakerButton;
    CStatic ChoiceMarker;
    CStatic Background;
    CStatic SpeakerPicture;
    CListBox ProgressList;
    CButton InstallButton;
    CButton ExitButton;
    CButton EjectButton;

    HICON AppIcon = NULL;

    // Appends a progress line and selects it, so that the newest line scrolls into view.
    void AddProgressLine(const char* text);

    // The commands of the install view.
    void OnInstall();
    void OnExit();
    void OnEjectCd();

  protected:
    void DoDataExchange(CDataExchange* exchange) override;
    BOOL OnInitDialog() override;

    void OnSysCommand(UINT id, LPARAM param);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnTimer(UINT_PTR id);
    void OnDestroy();
    void OnMouseMove(UINT flags, POINT point);
    void OnLButtonDown(UINT flags, POINT point);
    // The install worker's request to show the window and repaint the progress list.
    void OnShowProgress();

    // Start modes chosen by the command line, run at the end of the window's initialisation.
    void RunStartModes();
    void RunSpeakerStart();
    void RunDriverMode();

    // The progress monitor's finish sequence and the speaker pass.
    void FinishInstallation();
    void RunSpeakerPass();

    DECLARE_MESSAGE_MAP()
};

// Posted by the install worker to the main window: show yourself and repaint the progress list.
const UINT WM_SHOW_PROGRESS = WM_APP + 1;

// The main window, for the install worker; set before anything can start the worker, never cleared.
extern CSetupDlg* MainWindow;
// True while the main window shows the speaker view.
extern BOOL SpeakerViewActive;

// Asks the user to restart Windows, with the main window hidden.
void ShowRestartPrompt();

// A companion installer window is present: the CD's other installer is running.
bool CompanionInstallerPresent();
// Hides a top-level window titled "Information" (the CD's other installer's message), of any class; true when
// there was one.
bool HideInformationBox();
