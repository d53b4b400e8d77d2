// A small program for the tests of the machine's resource loading, carrying Setup's resources: it loads the
// string its command line names (a decimal id) through LoadStringA and sends it to the debugger. Start-up
// ends the program at once, so its exit status is the framework's.
#include <cstdlib>

#include "framework/app.h"

namespace {

class CResourceProbeApp : public CWinApp {
  public:
    BOOL InitInstance() override {
        char text[256];
        int length = LoadStringA(m_hInstance, static_cast<UINT>(std::atoi(m_lpCmdLine)), text, sizeof text);
        OutputDebugStringA(length > 0 ? text : "(none)");
        return FALSE;
    }
};

CResourceProbeApp the_app;

}  // namespace
