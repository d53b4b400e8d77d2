// The machine's user interface: windows of every process, one message queue per thread, timers in virtual
// time, the cursor, menus and the desktop. Windows' rules for messages between threads hold: a message sent
// to a window of another thread waits until that thread retrieves messages (GetMessageA, PeekMessageA, or a
// SendMessage of its own that waits), and a thread blocked in WaitForSingleObject or SleepEx retrieves none.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/api/user.h"
#include "sim/machine.h"

namespace sim {

struct Window {
    HWND handle = nullptr;
    Window* parent = nullptr;  // child windows only
    Window* owner = nullptr;   // owned top-level windows (dialogs)
    Thread* thread = nullptr;
    std::string class_name;
    ATOM atom = 0;
    WNDPROC proc = nullptr;
    std::string text;
    DWORD style = 0;
    DWORD ex_style = 0;
    int id = 0;
    RECT rect{};  // top-level: screen coordinates; child: the parent's client coordinates
    bool destroyed = false;
    bool needs_paint = false;
    bool minimized = false;
    std::vector<Window*> children;  // in creation (and z) order
    LONG_PTR user_data = 0;

    // Dialogs.
    DLGPROC dialog_proc = nullptr;
    LONG_PTR dialog_user = 0;
    LONG_PTR dialog_result_value = 0;  // DWLP_MSGRESULT
    bool dialog_ended = false;
    INT_PTR dialog_result = 0;

    // Controls: list box lines, button check, the picture of a static, icons, the system menu.
    std::vector<std::string> items;
    int selection = -1;
    int top_index = 0;
    int check = BST_UNCHECKED;
    bool pushed = false;
    HANDLE image = nullptr;
    HICON icon_big = nullptr;
    HICON icon_small = nullptr;
    HMENU system_menu = nullptr;

    bool visible() const { return (style & WS_VISIBLE) != 0; }
    bool enabled() const { return (style & WS_DISABLED) == 0; }
    bool is_child() const { return (style & WS_CHILD) != 0 && parent; }
    std::string Describe() const;  // "window "Setup" (#32770)"
};

struct MenuItem {
    UINT flags;
    UINT_PTR id;
    std::string text;
};

struct SentMessage {
    Window* target = nullptr;
    UINT message = 0;
    WPARAM wparam = 0;
    LPARAM lparam = 0;
    LRESULT result = 0;
    bool done = false;
    std::function<LRESULT()>
        call;  // an operation that must run on the window's thread (ShowWindow, RedrawWindow)
};

struct MessageQueue {
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SentMessage>> sent;
    bool quit = false;
    int quit_code = 0;
    uint64_t last_retrieval_ms = 0;  // when the thread last asked for messages
    bool waiting = false;            // blocked in GetMessageA: idle, not hung
};

// A thread that has not asked for messages for this long, while not waiting for them, is hung.
constexpr uint64_t kHungAfterMs = 5000;

struct Timer {
    Thread* thread;
    HWND window;
    UINT_PTR id;
    UINT period_ms;
    uint64_t due_ms;
    TIMERPROC proc;
    uint64_t seq;
};

// What a test or scenario watches for: called (outside any simulated thread) when a window is shown.
using WindowObserver = std::function<void(Window&)>;

class UserInterface {
  public:
    explicit UserInterface(Machine& machine);

    // The desktop.
    int desktop_width = 1024;
    int desktop_height = 768;

    Window* Find(HWND handle) const;  // a live window, or null
    Window& Create(Thread* thread, const std::string& class_name, const std::string& text, DWORD style,
                   DWORD ex_style, RECT rect, Window* parent, int id, WNDPROC proc);
    void Destroy(Window& window);
    // The windows of a program that ended, taken away without a message to it.
    void DestroyWindowsOf(Process& process);
    std::vector<Window*> TopLevel() const;  // live top-level windows, topmost first
    std::vector<Window*> All() const;

    MessageQueue& QueueOf(const Thread& thread) { return queues_[thread.id]; }

    // Timers.
    std::map<std::pair<HWND, UINT_PTR>, Timer> timers;
    uint64_t timer_seq = 0;

    // Cursor state of the desktop.
    HCURSOR cursor = nullptr;
    int cursor_show_count = 0;
    POINT cursor_pos{0, 0};

    HWND active = nullptr;
    HWND foreground = nullptr;
    HWND focus = nullptr;

    std::map<HMENU, std::vector<MenuItem>> menus;
    HMENU NewMenu();
    HWND desktop() const { return desktop_; }

    // Window classes that programs register, by name (case-insensitive).
    struct WindowClass {
        WNDPROC proc;
        ATOM atom;
    };
    std::map<std::string, WindowClass, LessNoCase> classes;
    ATOM next_atom = 0xC000;

    // Answers a script gives to message boxes, in order; an unanswered box stays open.
    std::deque<int> message_box_answers;

    void WhenShown(WindowObserver observer) { observers_.push_back(std::move(observer)); }
    void NotifyShown(Window& window);

    Machine& machine() { return machine_; }

  private:
    Machine& machine_;
    std::map<uintptr_t, std::unique_ptr<Window>> windows_;
    std::map<DWORD, MessageQueue> queues_;
    uintptr_t next_handle_ = 0x10010;
    uintptr_t next_menu_ = 0x20010;
    std::vector<WindowObserver> observers_;
    HWND desktop_ = nullptr;
};

// A dialog template with its texts in the machine's code page, ready to become windows.
struct DialogItemSpec {
    std::string class_name;  // "Button", "Static", "ListBox", ...
    std::string text;
    int resource_id = 0;  // a title given as a resource ordinal: the bitmap or icon of a picture control
    int id = 0;
    DWORD style = 0;
    DWORD ex_style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
};
struct DialogSpec {
    DWORD style = 0;
    DWORD ex_style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    std::string title;
    int font_points = 8;
    std::string font_face;
    std::vector<DialogItemSpec> items;
};

// The dialog template of the process's resources, in the machine's language and code page.
std::optional<DialogSpec> LoadDialogSpec(HINSTANCE instance, LPCSTR template_name);

// Creates the dialog and its controls, sends WM_INITDIALOG; visible at once when the template says so.
HWND CreateDialogWindow(const DialogSpec& spec, HINSTANCE instance, HWND owner, DLGPROC proc, LPARAM param);
// The modal loop: runs until EndDialog, shows a dialog that is still hidden when the loop first goes idle,
// then destroys it and returns its result.
INT_PTR RunModalDialog(HWND dialog);

// Posts a message from outside any simulated thread (an actor, a script).
void Post(Machine& machine, HWND window, UINT message, WPARAM wparam, LPARAM lparam);

UserInterface& UI(Machine& machine);

// Calls the window procedure of a window of the calling thread.
LRESULT CallWindowProcedure(Window& window, UINT message, WPARAM wparam, LPARAM lparam);

// The built-in window classes: "#32770" (atom 0x8002), "Button", "Static", "ListBox". Names match without regard
// to case; *canonical receives the class's own spelling.
WNDPROC BuiltInClassProc(const std::string& class_name, ATOM* atom, std::string* canonical = nullptr);
LRESULT CALLBACK DialogWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// What the user does, from a test or scenario (outside any simulated thread): each becomes the input messages
// Windows would put in the queue of the window under the point.
void UserClick(Machine& machine, HWND window, POINT client_point);  // WM_LBUTTONDOWN, WM_LBUTTONUP
void UserMoveMouse(Machine& machine, HWND window, POINT client_point);
void UserPressKey(Machine& machine, HWND window, WPARAM virtual_key);
void UserClickControl(Machine& machine, HWND dialog, int control_id);  // a click in the middle of the control

}  // namespace sim
