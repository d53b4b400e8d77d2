#include "framework/app.h"

namespace {
CWinApp* the_app = nullptr;
}

CWinApp::CWinApp(LPCSTR app_name) : m_pszAppName(app_name) {
    the_app = this;
}

CWinApp::~CWinApp() {
    if (the_app == this) the_app = nullptr;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::Run() {
    return ExitInstance();
}

int CWinApp::ExitInstance() {
    return 0;
}

BOOL CWinApp::EnableControlContainer() {
    return TRUE;
}

BOOL CWinApp::Enable3dControls() {
    return TRUE;
}

CWinApp* GetApp() {
    return the_app;
}

int AppMain(HINSTANCE instance, LPSTR command_line, int show) {
    CWinApp* app = GetApp();
    if (!app) return -1;
    app->m_hInstance = instance;
    app->m_lpCmdLine = command_line;
    app->m_nCmdShow = show;
    if (!app->InitInstance()) return app->ExitInstance();
    return app->Run();
}
