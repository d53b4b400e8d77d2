// QviSystemInfo: a program without a window that records the running Windows version and two DirectX flags in
// the registry key its command line names, then exits.
#pragma once

#include "framework/app.h"

class CProbeApp : public CWinApp {
  public:
    BOOL InitInstance() override;
};
