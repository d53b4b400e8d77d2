// The jack settings of mixerdef.ini, which the driver receives after an installation and in the speaker pass.
#pragma once

#include "finish/audio_control.h"

// After the restart the mixer is expected to check the hardware and is not running: the command line holds
// "/SPEAKER", mixerdef.ini in the Windows folder has a nonzero "NeedToCheckHardwareSetting" of "Hardware
// Setting" (a missing file reads 0), and no top-level window is titled "Mixer". A restart cannot wait then.
bool MixerCheckPending(const char* command_line);

// Deletes the Run value that starts the speaker pass after the restart.
void DeleteSpeakerRunValue();

// The jack settings through a component the caller holds. True when mixerdef.ini is there and asks for them,
// whether or not the driver then took them.
bool ApplyJackSettings(IAudioControl* control);

// The jack settings after an installation: enters COM and creates the component for the purpose, then
// releases it and leaves COM.
void ApplyJackSettingsAfterInstall();

// The speaker view's click areas, for the hover cursor: a layout option (six speakers only when offered) or
// the OK area.
bool InSpeakerClickArea(POINT point, BOOL six_blocked);
