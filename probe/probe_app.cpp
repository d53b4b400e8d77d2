#include "probe_app.h"

#include "system_info.h"

CProbeApp theApp;

BOOL CProbeApp::InitInstance() {
    EnableControlContainer();
    Enable3dControls();
    WriteSystemInfo(m_lpCmdLine);
    return FALSE;  // no message loop: the program ends here
}
