// The speaker configuration after the restart: the jack settings and the speaker view.
#include "app/setup_dlg.h"

void CSetupDlg::RunSpeakerPass() {}
