// The jack settings of mixerdef.ini, which the driver receives after an installation and in the speaker pass.
#pragma once

#include "finish/audio_control.h"

// mixerdef.ini in the Windows folder asks for the hardware settings to be checked: its
// "NeedToCheckHardwareSetting" of "Hardware Setting" is nonzero (a missing file reads 0).
bool HardwareCheckWanted();

// The jack settings through a component the caller holds. True when mixerdef.ini is there and asks for them,
// whether or not the driver then took them.
bool ApplyJackSettings(IAudioControl* control);

// The jack settings after an installation: enters COM and creates the component for the purpose, then
// releases it and leaves COM.
void ApplyJackSettingsAfterInstall();

// The speaker view's click areas, for the hover cursor: a layout option (six speakers only when offered) or
// the OK area.
bool InSpeakerClickArea(POINT point, BOOL six_blocked);
