// The wait for the new driver's mixer device and the start-up entries.
#include <string.h>

#include "finish/audio_control.h"
#include "install/install_steps.h"

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kStagingFolder[] = "C:\\Program Files\\Korvane\\WIN_ME";
const DWORD kMixerPollMs = 3000;

void WriteRunValue(const char* name, const char* command) {
    HKEY run_key = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_ALL_ACCESS, &run_key) != ERROR_SUCCESS) return;
    // The length counts the text without its terminating zero.
    RegSetValueExA(run_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(command),
                   static_cast<DWORD>(strlen(command)));
    RegCloseKey(run_key);
}

// Writes program, in quotes when it holds a blank, then arguments. Windows splits an unquoted Run command at
// its first blank and would first look for "C:\Program.exe". The buffer holds 300 characters; the program
// paths the callers build (at most 268 characters) always fit with their arguments.
void QuotedCommand(const char* program, const char* arguments, char* command) {
    bool quote = strchr(program, ' ') != NULL;
    strcpy(command, quote ? "\"" : "");
    strcat(command, program);
    strcat(command, quote ? "\"" : "");
    strcat(command, arguments);
}

// The staging folder with a trailing backslash: its short form, which has no blank, or, when that cannot be
// had (the folder could not be made), its long form; the program path is then quoted, so the entry still
// starts Setup once the folder exists.
void SpeakerProgramFolder(char* folder) {
    DWORD length = GetShortPathNameA(kStagingFolder, folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH - 1) {
        strcpy(folder, kStagingFolder);
        length = static_cast<DWORD>(strlen(folder));
    }
    if (folder[length - 1] != '\\') strcat(folder, "\\");
}

// Creates the control component and reads the speaker mode; true when the component was created (COM is then
// left, as the release does).
bool ReadSpeakerMode() {
    AudioControl = CreateAudioControl();
    if (!AudioControl) return false;
    AudioControl->GetProperty(PropSpeakerMode, &SpeakerMode, sizeof SpeakerMode);
    ReleaseAudioControl(AudioControl);
    return true;
}

}  // namespace

void WriteSpeakerStartupEntry(WorkerRun& run) {
    char program[MAX_PATH + 16];
    SpeakerProgramFolder(program);
    strcat(program, "Setup.exe");
    QuotedCommand(program, " /SPEAKER", run.SpeakerCommand);
    if (ChipPackage) WriteRunValue("Korvane Speaker Configuration", run.SpeakerCommand);
}

void CountBaselineMixers(WorkerRun& run) {
    run.BaselineMixerCount = mixerGetNumDevs();
}

// COM is entered once; the pass that first creates the component leaves it with the release, so later
// creations fail and the speaker mode is read at most once per run. When the component never answers, COM is
// left when the wait ends.
bool WaitForNewMixerDevice(WorkerRun& run, bool (*cancelled)()) {
    bool com_entered = SUCCEEDED(CoInitialize(NULL));
    bool waiting = true;
    while (waiting) {
        if (static_cast<LONG>(mixerGetNumDevs()) > static_cast<LONG>(run.BaselineMixerCount)) break;
        if (ReadSpeakerMode()) com_entered = false;
        SleepEx(kMixerPollMs, FALSE);
        waiting = !cancelled();
    }
    if (com_entered) CoUninitialize();
    return waiting;
}

// The staged mixer's command, with its program path quoted when the Windows folder's path holds a blank.
void WriteMixerStartupEntry(WorkerRun& run) {
    if (!run.MixerStaged) return;
    static const char kArguments[] = " /startup";
    char program[MAX_PATH];
    lstrcpynA(program, run.MixerCommand, MAX_PATH);
    size_t length = strlen(program);
    size_t arguments_length = strlen(kArguments);
    if (length >= arguments_length && strcmp(program + length - arguments_length, kArguments) == 0)
        program[length - arguments_length] = '\0';
    char command[300];
    QuotedCommand(program, kArguments, command);
    WriteRunValue("Korvane Mixer", command);
}
