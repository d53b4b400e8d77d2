// The Wine checks' hand on Setup's window: a console program, run in the same Wine prefix as Setup, that
// finds a top-level window by its title from outside and reads or presses its controls, the way a person or
// an automation tool would. Texts come out as UTF-8 lines, whatever the system's code page.
//
//   driver find TITLE TIMEOUT_MS        waits for the window; prints "window X Y WIDTH HEIGHT" (screen
//   pixels) driver lines TITLE ID               prints "count N", then each line of list box ID driver click
//   TITLE ID               posts BM_CLICK to button ID (the window's handler may take its time) driver gone
//   TITLE TIMEOUT_MS        waits until no window has the title any more driver longpath PATH prints the long
//   form of an existing path
//
// Exit status 0 on success, 1 when the window, control or path is missing or a wait timed out, 2 on a bad
// command line.
#include <windows.h>

#include <shellapi.h>  // after windows.h, which it needs

#include <string>
#include <vector>

namespace {

const DWORD kPollMs = 100;

void Write(const std::string& text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, NULL);
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), NULL, 0, NULL, NULL);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size, NULL, NULL);
    return out;
}

// A top-level window with exactly this title; Setup's main window is a dialog of the system dialog class.
HWND FindTitled(const std::wstring& title) {
    return FindWindowExW(NULL, NULL, NULL, title.c_str());
}

HWND WaitForWindow(const std::wstring& title, DWORD timeout_ms) {
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND window = FindTitled(title)) return window;
        if (GetTickCount() - start >= timeout_ms) return NULL;
        Sleep(kPollMs);
    }
}

int Find(const std::wstring& title, DWORD timeout_ms) {
    HWND window = WaitForWindow(title, timeout_ms);
    if (!window) {
        Write("no window titled \"" + Utf8(title) + "\"\n");
        return 1;
    }
    RECT r;
    GetWindowRect(window, &r);
    Write("window " + std::to_string(r.left) + " " + std::to_string(r.top) + " " +
          std::to_string(r.right - r.left) + " " + std::to_string(r.bottom - r.top) + "\n");
    return 0;
}

HWND Control(const std::wstring& title, int id) {
    HWND window = FindTitled(title);
    if (!window) {
        Write("no window titled \"" + Utf8(title) + "\"\n");
        return NULL;
    }
    HWND control = GetDlgItem(window, id);
    if (!control) Write("no control " + std::to_string(id) + "\n");
    return control;
}

// The list box lives in another process: Wine hands LB_GETTEXT's text across as UTF-16 only in the W form.
int Lines(const std::wstring& title, int id) {
    HWND list = Control(title, id);
    if (!list) return 1;
    LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    if (count < 0) return 1;
    Write("count " + std::to_string(count) + "\n");
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        std::vector<wchar_t> text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
        if (length > 0)
            SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&text[0]));
        Write(Utf8(std::wstring(&text[0])) + "\n");
    }
    return 0;
}

// Posted, not sent: Setup's Exit handler waits seconds before it closes the window.
int Click(const std::wstring& title, int id) {
    HWND button = Control(title, id);
    if (!button) return 1;
    return PostMessageW(button, BM_CLICK, 0, 0) ? 0 : 1;
}

// driver mouse TITLE X Y: a person's left click as the window receives it, the button pressed and then
// released at one client point (the speaker view's choices and its OK area are pictures, not buttons).
int Mouse(const std::wstring& title, int x, int y) {
    HWND window = FindTitled(title);
    if (!window) {
        Write("no window titled \"" + Utf8(title) + "\"\n");
        return 1;
    }
    LPARAM point = MAKELPARAM(x, y);
    bool posted = PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, point) &&
                  PostMessageW(window, WM_LBUTTONUP, 0, point);
    return posted ? 0 : 1;
}

int Gone(const std::wstring& title, DWORD timeout_ms) {
    DWORD start = GetTickCount();
    while (FindTitled(title)) {
        if (GetTickCount() - start >= timeout_ms) {
            Write("window \"" + Utf8(title) + "\" still open\n");
            return 1;
        }
        Sleep(kPollMs);
    }
    return 0;
}

int LongPath(const std::wstring& path) {
    wchar_t long_path[1024];
    DWORD length = GetLongPathNameW(path.c_str(), long_path, sizeof long_path / sizeof long_path[0]);
    if (length == 0 || length >= sizeof long_path / sizeof long_path[0]) {
        Write("no long form of " + Utf8(path) + "\n");
        return 1;
    }
    Write(Utf8(long_path) + "\n");
    return 0;
}

int Number(const wchar_t* text) {
    return static_cast<int>(wcstol(text, NULL, 10));
}

int Run(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    std::wstring command = argv[1];
    if (command == L"longpath") return LongPath(argv[2]);
    if (argc < 4) return 2;
    if (command == L"find") return Find(argv[2], static_cast<DWORD>(Number(argv[3])));
    if (command == L"lines") return Lines(argv[2], Number(argv[3]));
    if (command == L"click") return Click(argv[2], Number(argv[3]));
    if (command == L"gone") return Gone(argv[2], static_cast<DWORD>(Number(argv[3])));
    if (command == L"mouse" && argc >= 5) return Mouse(argv[2], Number(argv[3]), Number(argv[4]));
    return 2;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return 2;
    int status = Run(argc, argv);
    if (status == 2)
        Write(
            "usage: driver find|lines|click|gone TITLE ID_OR_TIMEOUT, driver mouse TITLE X Y, or driver "
            "longpath PATH\n");
    LocalFree(argv);
    return status;
}
