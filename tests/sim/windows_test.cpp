// Windows, messages between threads, timers, dialogs and the standard controls of the simulated machine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/machine.h"
#include "sim/windows.h"
#include "win32api.h"

namespace {

// A plain window class whose procedure records what it handles.
std::vector<std::string>* handled = nullptr;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (handled && message == WM_USER) handled->push_back("WM_USER " + std::to_string(wparam));
    if (message == WM_USER + 1) return 42;
    return DefWindowProcA(window, message, wparam, lparam);
}

HWND MakeWindow(const char* title) {
    static bool registered = false;
    if (!registered || !FindWindowA("Recorder", nullptr)) {
        WNDCLASSA window_class = {};
        window_class.lpfnWndProc = RecordingProc;
        window_class.lpszClassName = "Recorder";
        RegisterClassA(&window_class);
        registered = true;
    }
    return CreateWindowExA(0, "Recorder", title, WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                           nullptr);
}

void PumpUntilQuit() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
}

struct SendTarget {
    HWND window;
    LRESULT answer;
    DWORD sent_at;
    DWORD answered_at;
};

// A message sent to another thread's window waits until that thread asks for messages: a thread that sleeps
// answers only after its pause.
TEST(Messages, SendToAnotherThreadWaitsUntilItRetrievesMessages) {
    sim::Machine machine;
    sim::RunResult result = machine.RunCode([] {
        static SendTarget target;
        target.window = MakeWindow("Target");
        HANDLE sender = CreateThread(
            nullptr, 0,
            [](LPVOID) -> DWORD {
                target.sent_at = GetTickCount();
                target.answer = SendMessageA(target.window, WM_USER + 1, 0, 0);
                target.answered_at = GetTickCount();
                PostMessageA(target.window, WM_QUIT, 0, 0);
                return 0;
            },
            nullptr, 0, nullptr);
        Sleep(2000);  // not retrieving messages: the sender waits
        PostQuitMessage(0);
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
        WaitForSingleObject(sender, INFINITE);
        EXPECT_EQ(target.answer, 42);
        EXPECT_EQ(target.answered_at - target.sent_at, 2000u);
    });
    EXPECT_FALSE(result.deadlocked()) << result.deadlock;
}

// The classic mistake: the window's thread waits for a worker that sends to the window. The machine names
// both waits instead of hanging.
TEST(Messages, WaitingForAThreadThatSendsToYouIsADeadlock) {
    sim::Machine machine;
    sim::RunResult result = machine.RunCode([] {
        static HWND window;
        window = MakeWindow("Setup");
        HANDLE worker = CreateThread(
            nullptr, 0, [](LPVOID) -> DWORD { return static_cast<DWORD>(ShowWindow(window, SW_SHOW)); },
            nullptr, 0, nullptr);
        WaitForSingleObject(worker, INFINITE);
    });
    ASSERT_TRUE(result.deadlocked());
    EXPECT_NE(result.deadlock.find("waits for WaitForSingleObject(thread"), std::string::npos)
        << result.deadlock;
    EXPECT_NE(result.deadlock.find("waits for ShowWindow to window \"Setup\""), std::string::npos)
        << result.deadlock;
}

// PostMessage never blocks, and a bounded send to a thread that does not answer gives up.
TEST(Messages, PostDoesNotBlockAndSendMessageTimeoutGivesUp) {
    sim::Machine machine;
    sim::RunResult result = machine.RunCode([] {
        static HWND window;
        static LRESULT sent;
        static DWORD error;
        window = MakeWindow("Busy");
        HANDLE worker = CreateThread(
            nullptr, 0,
            [](LPVOID) -> DWORD {
                EXPECT_TRUE(PostMessageA(window, WM_USER, 7, 0));
                DWORD_PTR answer = 0;
                SetLastError(0xdead);
                sent = SendMessageTimeoutA(window, WM_USER + 1, 0, 0, SMTO_NORMAL, 1000, &answer);
                error = GetLastError();
                return 0;
            },
            nullptr, 0, nullptr);
        WaitForSingleObject(worker, INFINITE);  // the window's thread answers nothing meanwhile
        EXPECT_EQ(sent, 0);
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_TIMEOUT));
        std::vector<std::string> log;
        handled = &log;
        PostQuitMessage(0);
        PumpUntilQuit();
        handled = nullptr;
        EXPECT_EQ(log, std::vector<std::string>{"WM_USER 7"});
    });
    EXPECT_FALSE(result.deadlocked()) << result.deadlock;
}

// A thread that has not asked for messages for 5 seconds is hung: SMTO_ABORTIFHUNG returns at once.
TEST(Messages, AbortIfHungReturnsAtOnceForAHungThread) {
    sim::Machine machine;
    machine.RunCode([] {
        static HWND window;
        static DWORD waited;
        window = MakeWindow("Mixer");
        HANDLE worker = CreateThread(
            nullptr, 0,
            [](LPVOID) -> DWORD {
                Sleep(6000);
                DWORD start = GetTickCount();
                DWORD_PTR answer = 0;
                SendMessageTimeoutA(window, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer);
                waited = GetTickCount() - start;
                return 0;
            },
            nullptr, 0, nullptr);
        WaitForSingleObject(worker, INFINITE);
        EXPECT_EQ(waited, 0u);
        EXPECT_TRUE(IsWindow(window));
    });
}

// WM_TIMER comes when due and only when nothing else is waiting; periods are kept in virtual time.
TEST(Timers, TimerMessagesComeWhenDueAndTheQueueIsEmpty) {
    sim::Machine machine;
    machine.RunCode([] {
        HWND window = MakeWindow("Timed");
        EXPECT_EQ(SetTimer(window, 1, 100, nullptr), 1u);
        PostMessageA(window, WM_USER, 1, 0);
        std::vector<std::string> seen;
        DWORD start = GetTickCount();
        MSG msg;
        while (seen.size() < 4 && GetMessageA(&msg, nullptr, 0, 0)) {
            if (msg.message == WM_TIMER) seen.push_back("timer at " + std::to_string(GetTickCount() - start));
            if (msg.message == WM_USER) seen.push_back("posted at " + std::to_string(GetTickCount() - start));
        }
        EXPECT_EQ(seen,
                  (std::vector<std::string>{"posted at 0", "timer at 100", "timer at 200", "timer at 300"}));
        EXPECT_TRUE(KillTimer(window, 1));
        EXPECT_FALSE(KillTimer(window, 1));
    });
}

// A modal dialog: hidden at first, shown when its loop first goes idle; Escape is its cancel command; a
// button click reaches the dialog as BN_CLICKED.
struct DialogLog {
    std::vector<std::string> events;
};
DialogLog* dialog_log = nullptr;

INT_PTR CALLBACK LoggingDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    if (message == WM_INITDIALOG) {
        dialog_log->events.push_back(std::string("init, visible ") +
                                     (IsWindowVisible(dialog) ? "yes" : "no"));
        return TRUE;
    }
    if (message == WM_COMMAND) {
        dialog_log->events.push_back("command " + std::to_string(LOWORD(wparam)) + " code " +
                                     std::to_string(HIWORD(wparam)));
        if (LOWORD(wparam) == IDCANCEL) EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

sim::DialogSpec TwoButtonDialog() {
    sim::DialogSpec spec;
    spec.style = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_CENTER;
    spec.title = "Question";
    spec.cx = 200;
    spec.cy = 100;
    spec.items.push_back(
        {"Button", "Go", 0, 1002, BS_PUSHBUTTON | WS_VISIBLE | WS_TABSTOP, 0, 10, 10, 50, 14});
    spec.items.push_back({"ListBox", "", 0, 1001, WS_VISIBLE | LBS_NOSEL, 0, 10, 30, 100, 40});
    return spec;
}

TEST(Dialogs, ModalDialogShowsWhenIdleAndAnswersClicksAndEscape) {
    sim::Machine machine;
    DialogLog log;
    dialog_log = &log;
    sim::UserInterface& ui = sim::UI(machine);
    ui.WhenShown([&](sim::Window& window) {
        if (window.text != "Question") return;
        log.events.push_back("shown");
        sim::UserClickControl(machine, window.handle, 1002);
        sim::UserPressKey(machine, window.handle, VK_ESCAPE);
    });
    INT_PTR result = 0;
    machine.RunCode([&] {
        HWND dialog = sim::CreateDialogWindow(TwoButtonDialog(), nullptr, nullptr, LoggingDialogProc, 0);
        result = sim::RunModalDialog(dialog);
        EXPECT_FALSE(IsWindow(dialog));
    });
    dialog_log = nullptr;
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(log.events, (std::vector<std::string>{"init, visible no", "shown", "command 1002 code 0",
                                                    "command 2 code 0"}));
}

// The show on the first idle happens once: a dialog that hides itself later stays hidden while its loop runs.
INT_PTR CALLBACK HidingDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    if (message == WM_COMMAND && LOWORD(wparam) == 1002) {
        ShowWindow(dialog, SW_HIDE);
        SetTimer(dialog, 1, 1000, nullptr);
        return TRUE;
    }
    if (message == WM_TIMER) {
        dialog_log->events.push_back(std::string("timer, visible ") +
                                     (IsWindowVisible(dialog) ? "yes" : "no"));
        EndDialog(dialog, IDOK);
        return TRUE;
    }
    return FALSE;
}

TEST(Dialogs, AModalDialogHiddenAfterItsFirstIdleStaysHidden) {
    sim::Machine machine;
    DialogLog log;
    dialog_log = &log;
    int shown = 0;
    sim::UI(machine).WhenShown([&](sim::Window& window) {
        if (window.text == "Question" && ++shown == 1) sim::UserClickControl(machine, window.handle, 1002);
    });
    machine.RunCode([&] {
        HWND dialog = sim::CreateDialogWindow(TwoButtonDialog(), nullptr, nullptr, HidingDialogProc, 0);
        EXPECT_EQ(sim::RunModalDialog(dialog), IDOK);
    });
    dialog_log = nullptr;
    EXPECT_EQ(log.events, (std::vector<std::string>{"timer, visible no"}));
    EXPECT_EQ(shown, 1);
}

// Unsorted list lines stay in the order added; a list without selection refuses LB_SETCURSEL.
TEST(Controls, ListBoxKeepsLinesInOrder) {
    sim::Machine machine;
    machine.RunCode([] {
        dialog_log = nullptr;
        HWND dialog = sim::CreateDialogWindow(TwoButtonDialog(), nullptr, nullptr, nullptr, 0);
        HWND list = GetDlgItem(dialog, 1001);
        EXPECT_EQ(SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("b")), 0);
        EXPECT_EQ(SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("a")), 1);
        EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 2);
        EXPECT_EQ(SendMessageA(list, LB_SETCURSEL, 1, 0), LB_ERR);
        char text[8] = "";
        EXPECT_EQ(SendMessageA(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(text)), 1);
        EXPECT_STREQ(text, "b");
        EXPECT_EQ(SendMessageA(list, LB_DELETESTRING, 0, 0), 1);
        EXPECT_EQ(SendMessageA(list, LB_GETTEXT, 5, reinterpret_cast<LPARAM>(text)), LB_ERR);
        DestroyWindow(dialog);
    });
}

// FindWindowExA: classes by name (any case) or atom, titles without regard to case, hidden windows too.
TEST(Windows, FindWindowMatchesClassTitleAndAtom) {
    sim::Machine machine;
    machine.RunCode([] {
        HWND a = MakeWindow("PCI Audio Applications");
        HWND dialog = sim::CreateDialogWindow(TwoButtonDialog(), nullptr, nullptr, nullptr, 0);
        EXPECT_EQ(FindWindowExA(nullptr, nullptr, "recorder", nullptr), a);
        EXPECT_EQ(FindWindowExA(nullptr, nullptr, nullptr, "pci audio applications"), a);
        EXPECT_EQ(FindWindowExA(nullptr, nullptr, reinterpret_cast<LPCSTR>(0x8002), nullptr), dialog);
        EXPECT_EQ(FindWindowExA(nullptr, dialog, reinterpret_cast<LPCSTR>(0x8002), nullptr), nullptr);
        EXPECT_EQ(FindWindowExA(dialog, nullptr, "Button", "Go"), GetDlgItem(dialog, 1002));
        EXPECT_EQ(FindWindowExA(nullptr, nullptr, "InstallShield_Win", nullptr), nullptr);
    });
}

// Message boxes take the answers a script gives, in order.
TEST(Dialogs, MessageBoxTakesTheScriptedAnswer) {
    sim::Machine machine;
    sim::UI(machine).message_box_answers = {IDCANCEL, IDOK};
    machine.RunCode([] {
        EXPECT_EQ(MessageBoxA(nullptr, "Insert the CD.", "Setup", MB_OKCANCEL), IDCANCEL);
        EXPECT_EQ(MessageBoxA(nullptr, "Insert the CD.", "Setup", MB_OKCANCEL), IDOK);
    });
    std::vector<std::string> lines = machine.trace().Lines("dialog");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "message box \"Setup\": Insert the CD.");
    EXPECT_EQ(lines[1], "message box \"Setup\" answered Cancel");
}

TEST(Format, WsprintfUsesWindowsSizes) {
    sim::Machine machine;
    machine.RunCode([] {
        char out[64];
        EXPECT_EQ(wsprintfA(out, "CD%lu:", static_cast<DWORD>(4000000000u)), 13);
        EXPECT_STREQ(out, "CD4000000000:");
        wsprintfA(out, "%c:|%5d|%-3s|%04X|%s", 'D', -42, "ab", 0xBEEFu, static_cast<const char*>(nullptr));
        EXPECT_STREQ(out, "D:|  -42|ab |BEEF|(null)");
    });
}

}  // namespace

namespace {

// A program waiting in its message loop is idle, not deadlocked: the user may still act. Time passes to the
// limit a run is given.
TEST(Messages, AMessageLoopWaitingForInputIsIdle) {
    sim::Machine machine;
    sim::Program program;
    program.exe_path = "C:\\IDLE.EXE";
    program.native = []() -> DWORD {
        MakeWindow("Idle");
        PumpUntilQuit();
        return 0;
    };
    machine.Start(program, "C:\\IDLE.EXE");
    sim::RunResult result = machine.Run(5000);
    EXPECT_EQ(result.end, sim::RunResult::End::TimeLimit);
    EXPECT_EQ(result.time_ms, 5000u);
    EXPECT_EQ(machine.Run().end, sim::RunResult::End::Idle);
}

}  // namespace
