// The restart prompt.
#include "app/setup_dlg.h"

void ShowRestartPrompt() {}
