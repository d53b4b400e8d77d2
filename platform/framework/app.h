// The dialog framework's application object: one per program, made as a static instance; the program entry
// calls its start-up operation, then its message loop when start-up says so.
#pragma once

#include "win32api.h"

class CWnd;

class CWinApp {
  public:
    explicit CWinApp(LPCSTR app_name = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Start-up: return TRUE to go on into Run, FALSE to end the program.
    virtual BOOL InitInstance();
    // The message loop of a program that keeps running after start-up; returns the exit status.
    virtual int Run();
    // Clean-up after start-up or Run; returns the exit status.
    virtual int ExitInstance();

    // Set-up calls of the framework: support for hosted controls and the three-dimensional control look. On
    // the systems the programs run on they change nothing a program can see.
    BOOL EnableControlContainer();
    BOOL Enable3dControls();

    HINSTANCE m_hInstance = nullptr;
    LPSTR m_lpCmdLine = nullptr;  // the command line after the program name, as the platform hands it over
    int m_nCmdShow = 0;
    LPCSTR m_pszAppName = nullptr;
    CWnd* m_pMainWnd = nullptr;  // the application's main window, while it runs
};

// The one application object.
CWinApp* GetApp();

// The program entry shared by both platforms: platform/win32/entry.cpp and platform/sim/image/entry.cpp call
// it.
int AppMain(HINSTANCE instance, LPSTR command_line, int show);
