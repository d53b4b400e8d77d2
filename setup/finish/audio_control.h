// The client of the installed driver's control component: an in-process COM class whose interfaces read and
// write numbered driver properties.
#pragma once

#include "win32api.h"

// The component's four interfaces share one layout: IUnknown, then SetProperty and GetProperty, each with a
// property number, the caller's buffer and its size in bytes. GetProperty answers nonzero when it filled it.
struct IAudioControl : public IUnknown {
    virtual LONG STDMETHODCALLTYPE SetProperty(DWORD property, void* buffer, DWORD size_bytes) = 0;
    virtual LONG STDMETHODCALLTYPE GetProperty(DWORD property, void* buffer, DWORD size_bytes) = 0;
};

enum AudioProperty : DWORD {
    PropSpeakerMode = 3,     // 4 bytes; the low byte selects the speaker layout
    PropJackAssignment = 4,  // 12 bytes
    PropHardwareInfo = 6,    // 8 bytes
    PropChannelCount = 7,    // 4 bytes
};

extern const CLSID CLSID_AudioControl;
extern const IID* const AudioControlInterfaces[4];

// The one interface pointer held from a speaker start until the window is destroyed; null when none is held.
extern IAudioControl* AudioControl;
// The buffer of every PropSpeakerMode call.
extern DWORD SpeakerMode;

// Creates the component through its four interfaces in turn, on a thread that has entered COM; null when none
// answers.
IAudioControl* CreateAudioControl();
// Releases the component and leaves COM: Release, CoFreeUnusedLibraries, CoUninitialize.
void ReleaseAudioControl(IAudioControl*& control);
