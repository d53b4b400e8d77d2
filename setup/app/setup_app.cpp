#include "app/setup_app.h"

#include <string.h>

#include "app/setup_dlg.h"
#include "scan/audio_scan.h"

char SourceRoot[kSourceRootSize];

namespace {

CSetupApp theApp;

// Appends text to SourceRoot as far as it fits, keeping room for the trailing backslash: a program path too
// long for the buffer is cut rather than overflowing it (Windows starts no program from a path that long).
void AppendToSourceRoot(const char* text) {
    size_t length = strlen(SourceRoot);
    size_t room = kSourceRootSize - 2 - length;
    size_t add = strlen(text);
    if (add > room) add = room;
    memcpy(SourceRoot + length, text, add);
    SourceRoot[length + add] = '\0';
}

// The first token of the process command line without its quotes, as the run-time's argument vector has it.
void CopyProgramPath() {
    SourceRoot[0] = '\0';
    const char* line = GetCommandLineA();
    char path[kSourceRootSize] = "";
    size_t n = 0;
    if (line && *line == '"') {
        for (++line; *line && *line != '"'; ++line)
            if (n < sizeof path - 1) path[n++] = *line;
    } else {
        for (; line && *line && *line != ' ' && *line != '\t'; ++line)
            if (n < sizeof path - 1) path[n++] = *line;
    }
    path[n] = '\0';
    if (n == 0) GetModuleFileNameA(NULL, path, sizeof path);
    path[sizeof path - 1] = '\0';
    AppendToSourceRoot(path);
}

// Makes SourceRoot the folder of the program path: the file name is cut at the last backslash after the first
// character; a path on no drive gets the drive of the current folder.
void ComputeSourceRoot() {
    CopyProgramPath();
    bool cut = false;
    for (int i = static_cast<int>(strlen(SourceRoot)) - 1; i >= 1; --i)
        if (SourceRoot[i] == '\\') {
            SourceRoot[i] = '\0';
            cut = true;
            break;
        }
    // A network path (\\server\share\...) already names its folder whole: prefixing a drive would make it
    // "E:\\\server\share\", which names nothing.
    bool network = SourceRoot[0] == '\\' && SourceRoot[1] == '\\';
    if (SourceRoot[1] != ':' && !network) {
        char current[kSourceRootSize] = "";
        DWORD length = GetCurrentDirectoryA(sizeof current, current);
        if (length >= sizeof current) length = 0;  // a current folder too long for the buffer gives no drive
        current[length] = '\0';
        char prefix[kSourceRootSize] = "";
        char as_cut[kSourceRootSize];
        strcpy(as_cut, SourceRoot);
        if (!cut) {
            // A bare program name: the program lies in the current folder.
            strcpy(prefix, current);
            as_cut[0] = '\0';
        } else {
            const char* colon = static_cast<const char*>(memchr(current, ':', length));
            if (colon && colon > current) {
                memcpy(prefix, current, static_cast<size_t>(colon - current) + 1);
                prefix[colon - current + 1] = '\0';
            } else {
                strcpy(prefix, current);
            }
        }
        SourceRoot[0] = '\0';
        AppendToSourceRoot(prefix);
        if (as_cut[0] == '\\') AppendToSourceRoot("\\");
        AppendToSourceRoot(as_cut);
    }
    size_t length = strlen(SourceRoot);
    if (length == 0 || SourceRoot[length - 1] != '\\') strcat(SourceRoot, "\\");
}

void ReadInstallOptions(InstallOptions& options) {
    char path[kSourceRootSize + 16];
    strcpy(path, SourceRoot);
    strcat(path, "setup.ini");
    options.InstallWDMUDACodecDriver =
        static_cast<LONG>(GetPrivateProfileIntA("InstallOption", "InstallWDMUDACodecDriver", 0, path));
}

void UpperCase(char* text) {
    for (; text && *text; ++text)
        if (*text >= 'a' && *text <= 'z') *text = static_cast<char>(*text - 'a' + 'A');
}

}  // namespace

CSetupApp& SetupApp() {
    return theApp;
}

BOOL CSetupApp::InitInstance() {
    ComputeSourceRoot();
    ReadInstallOptions(Options);
    ScanAudioDevices();
    UpperCase(m_lpCmdLine);
    Enable3dControls();
    {
        CSetupDlg dialog(NULL);
        m_pMainWnd = &dialog;
        dialog.DoModal();
        m_pMainWnd = NULL;
    }
    return FALSE;
}
