// Setup's application object: works out the folder the program runs from, reads the installer option, scans
// the audio devices' settings, and runs the main window.
#pragma once

#include "framework/app.h"

// The installer switch of setup.ini's section "InstallOption".
struct InstallOptions {
    LONG InstallWDMUDACodecDriver;  // nonzero: the tray program shows its volume icon
};

// The folder Setup runs from, always ending with a backslash; written once at start-up, read by every part of
// the program and by the install worker. At most 259 characters.
const int kSourceRootSize = 260;
extern char SourceRoot[kSourceRootSize];

class CSetupApp : public CWinApp {
  public:
    BOOL InitInstance() override;
    InstallOptions Options = {0};
};

// The one application object.
CSetupApp& SetupApp();
