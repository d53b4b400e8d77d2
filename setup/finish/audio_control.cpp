#include "finish/audio_control.h"

const CLSID CLSID_AudioControl = {
    0x5B0E2A47, 0x3D19, 0x4C6E, {0x9A, 0x82, 0x1F, 0x4D, 0x6E, 0x0B, 0x7C, 0x35}};

namespace {
const IID kInterface1 = {0xA6D3C0F2, 0x8B41, 0x4E57, {0xB2, 0xC9, 0x0E, 0x7F, 0x14, 0xA8, 0x5D, 0x63}};
const IID kInterface2 = {0x3C9F7E15, 0x64A2, 0x4B08, {0x8D, 0x3E, 0xB5, 0x1C, 0x27, 0xF0, 0x9A, 0x4E}};
const IID kInterface3 = {0xE04B6D29, 0x1F8C, 0x4A73, {0x95, 0xD0, 0x6C, 0x2E, 0x8B, 0x3F, 0x4A, 0x17}};
const IID kInterface4 = {0x9D27A3E8, 0xC54B, 0x4F19, {0xA0, 0x6E, 0x3B, 0x8D, 0x71, 0xC2, 0xE5, 0xF0}};
}  // namespace

const IID* const AudioControlInterfaces[4] = {&kInterface1, &kInterface2, &kInterface3, &kInterface4};

IAudioControl* AudioControl = NULL;
DWORD SpeakerMode = 0;

IAudioControl* CreateAudioControl() {
    for (const IID* iid : AudioControlInterfaces) {
        void* control = NULL;
        if (SUCCEEDED(CoCreateInstance(CLSID_AudioControl, NULL, CLSCTX_INPROC_SERVER, *iid, &control)) &&
            control)
            return static_cast<IAudioControl*>(control);
    }
    return NULL;
}

void ReleaseAudioControl(IAudioControl*& control) {
    if (control) control->Release();
    control = NULL;
    CoFreeUnusedLibraries();
    CoUninitialize();
}
