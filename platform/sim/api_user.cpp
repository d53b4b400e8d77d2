// User-interface functions of the simulated machine: windows, messages, painting, timers, cursors and menus.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "sim/api/user.h"
#include "sim/messages.h"
#include "sim/windows.h"

using namespace sim;

namespace {

UserInterface& Ui() {
    return UI(CurrentMachine());
}

Window* Live(HWND handle) {
    Window* window = Ui().Find(handle);
    if (!window) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return window;
}

// Window frames: a caption bar and dialog or thin borders take from the client area.
int FrameOf(const Window& w) {
    if (w.style & (WS_DLGFRAME | WS_THICKFRAME) || w.ex_style & WS_EX_DLGMODALFRAME) return 3;
    return (w.style & WS_BORDER) ? 1 : 0;
}
int CaptionOf(const Window& w) {
    return (w.style & WS_CAPTION) == WS_CAPTION ? 18 : 0;
}

// The screen position of the window's client area.
POINT ClientOrigin(const Window& w) {
    POINT origin{w.rect.left + FrameOf(w), w.rect.top + FrameOf(w) + CaptionOf(w)};
    if (w.is_child()) {
        POINT parent = ClientOrigin(*w.parent);
        origin.x += parent.x;
        origin.y += parent.y;
    }
    return origin;
}

std::string RectText(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) +
           "x" + std::to_string(r.bottom - r.top);
}

void MarkForPaint(Window& window) {
    window.needs_paint = true;
    for (Window* child : window.children)
        if (child->visible()) MarkForPaint(*child);
}

bool ClassMatches(const Window& w, LPCSTR class_name) {
    if (!class_name) return true;
    if ((reinterpret_cast<uintptr_t>(class_name) >> 16) == 0)
        return w.atom == static_cast<ATOM>(reinterpret_cast<uintptr_t>(class_name));
    return EqualsNoCase(w.class_name, class_name);
}

void DestroyTree(Window& window) {
    UserInterface& ui = Ui();
    for (Window* owned : ui.All())
        if (owned->owner == &window && !owned->is_child()) DestroyWindow(owned->handle);
    CallWindowProcedure(window, WM_DESTROY, 0, 0);
    std::vector<Window*> children = window.children;
    for (Window* child : children)
        if (!child->destroyed) DestroyTree(*child);
    CallWindowProcedure(window, WM_NCDESTROY, 0, 0);
    if (!window.is_child()) CurrentMachine().Log("window", "closed " + window.Describe());
    ui.Destroy(window);
}

BOOL ShowOnOwnThread(Window& w, int command) {
    bool was_visible = w.visible();
    bool show = command != SW_HIDE;
    bool minimize = command == SW_MINIMIZE || command == SW_SHOWMINIMIZED || command == SW_SHOWMINNOACTIVE;
    bool restore = command == SW_RESTORE || command == SW_SHOWNORMAL || command == SW_SHOWDEFAULT;
    bool state_changes = was_visible != show || (minimize && !w.minimized) || (restore && w.minimized);
    if (show)
        w.style |= WS_VISIBLE;
    else
        w.style &= ~WS_VISIBLE;
    if (minimize) w.minimized = true;
    if (restore) w.minimized = false;
    if (was_visible != show) CallWindowProcedure(w, WM_SHOWWINDOW, show, 0);
    if (show && !was_visible) MarkForPaint(w);
    UserInterface& ui = Ui();
    bool activates = show && !w.is_child() && command != SW_SHOWNA && command != SW_SHOWNOACTIVATE &&
                     command != SW_SHOWMINNOACTIVE && !minimize;
    if (activates) ui.active = ui.foreground = w.handle;
    if (!show && !w.is_child() && ui.active == w.handle) ui.active = ui.foreground = nullptr;
    if (!w.is_child() && state_changes) {
        const char* what = !show ? "hidden " : minimize ? "minimized " : "shown ";
        CurrentMachine().Log("window", what + w.Describe() + " at " + RectText(w.rect));
        if (show && !was_visible) ui.NotifyShown(w);
    }
    return was_visible;
}

}  // namespace

extern "C" {

ATOM WINAPI RegisterClassA(const WNDCLASSA* window_class) {
    if (!window_class || !window_class->lpszClassName) return SetLastError(ERROR_INVALID_PARAMETER), ATOM{0};
    UserInterface& ui = Ui();
    if (ui.classes.count(window_class->lpszClassName)) return SetLastError(1410 /* class exists */), ATOM{0};
    ATOM atom = ui.next_atom++;
    ui.classes[window_class->lpszClassName] = {window_class->lpfnWndProc, atom};
    return atom;
}

HWND WINAPI CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR title, DWORD style, int x, int y,
                            int width, int height, HWND parent, HMENU menu, HINSTANCE, LPVOID) {
    UserInterface& ui = Ui();
    ATOM atom = 0;
    std::string name = class_name ? class_name : "";
    WNDPROC proc = BuiltInClassProc(name, &atom, &name);
    if (!proc) {
        auto it = ui.classes.find(name);
        if (it == ui.classes.end()) return SetLastError(1407 /* class does not exist */), nullptr;
        proc = it->second.proc;
        atom = it->second.atom;
    }
    Window* parent_window = parent ? ui.Find(parent) : nullptr;
    if ((style & WS_CHILD) && !parent_window)
        return SetLastError(1406 /* cannot create a top-level child */), nullptr;
    if (x == CW_USEDEFAULT) x = y = 0;
    if (width == CW_USEDEFAULT) width = height = 0;
    bool visible = (style & WS_VISIBLE) != 0;
    int id = (style & WS_CHILD) ? static_cast<int>(reinterpret_cast<uintptr_t>(menu)) : 0;
    Window& w = ui.Create(&CurrentThread(), name, title ? title : "", style & ~WS_VISIBLE, ex_style,
                          RECT{x, y, x + width, y + height}, parent_window, id, proc);
    w.atom = atom;
    if (!w.is_child()) CurrentMachine().Log("window", "created " + w.Describe());
    if (CallWindowProcedure(w, WM_CREATE, 0, 0) == -1) {
        DestroyTree(w);
        return nullptr;
    }
    if (visible) ShowOnOwnThread(w, SW_SHOW);
    return w.handle;
}

BOOL WINAPI DestroyWindow(HWND handle) {
    Window* w = Live(handle);
    if (!w) return FALSE;
    if (w->thread != &CurrentThread()) return SetLastError(ERROR_ACCESS_DENIED), FALSE;
    if (w->handle == Ui().desktop()) return SetLastError(ERROR_ACCESS_DENIED), FALSE;
    DestroyTree(*w);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND handle) {
    return Ui().Find(handle) != nullptr;
}

HWND WINAPI FindWindowExA(HWND parent, HWND after, LPCSTR class_name, LPCSTR title) {
    UserInterface& ui = Ui();
    std::vector<Window*> candidates;
    if (!parent || parent == ui.desktop()) {
        candidates = ui.TopLevel();
    } else if (Window* p = Live(parent)) {
        candidates = p->children;
    } else {
        return nullptr;
    }
    bool past_after = after == nullptr;
    for (Window* w : candidates) {
        if (!past_after) {
            past_after = w->handle == after;
            continue;
        }
        // Window titles compare without regard to case, as Windows does.
        if (ClassMatches(*w, class_name) && (!title || EqualsNoCase(w->text, title))) return w->handle;
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
}

HWND WINAPI FindWindowA(LPCSTR class_name, LPCSTR title) {
    return FindWindowExA(nullptr, nullptr, class_name, title);
}

HWND WINAPI GetDesktopWindow(void) {
    return Ui().desktop();
}

HWND WINAPI GetParent(HWND handle) {
    Window* w = Live(handle);
    if (!w) return nullptr;
    if (w->is_child()) return w->parent->handle;
    return w->owner ? w->owner->handle : nullptr;
}

HWND WINAPI GetDlgItem(HWND dialog, int id) {
    Window* w = Live(dialog);
    if (!w) return nullptr;
    for (Window* child : w->children)
        if (child->id == id) return child->handle;
    SetLastError(1421 /* control id not found */);
    return nullptr;
}

int WINAPI GetDlgCtrlID(HWND handle) {
    Window* w = Live(handle);
    return w && w->is_child() ? w->id : 0;
}

DWORD WINAPI GetWindowThreadProcessId(HWND handle, LPDWORD process_id) {
    Window* w = Live(handle);
    if (!w || !w->thread) return 0;
    if (process_id) *process_id = w->thread->process->id;
    return w->thread->id;
}

BOOL WINAPI ShowWindow(HWND handle, int command) {
    Window* w = Live(handle);
    if (!w) return FALSE;
    return static_cast<BOOL>(RunOnWindowThread(
        *w, "ShowWindow", [w, command]() -> LRESULT { return ShowOnOwnThread(*w, command); }));
}

BOOL WINAPI IsWindowVisible(HWND handle) {
    for (Window* w = Ui().Find(handle); w; w = w->parent)
        if (!w->visible()) return FALSE;
    return Ui().Find(handle) != nullptr;
}

BOOL WINAPI IsIconic(HWND handle) {
    Window* w = Ui().Find(handle);
    return w && w->minimized;
}

BOOL WINAPI EnableWindow(HWND handle, BOOL enable) {
    Window* w = Live(handle);
    if (!w) return FALSE;
    bool was_disabled = !w->enabled();
    if (enable)
        w->style &= ~WS_DISABLED;
    else
        w->style |= WS_DISABLED;
    if (was_disabled == static_cast<bool>(enable)) Send(*w, WM_ENABLE, enable, 0);
    if (!enable && Ui().focus == handle) Ui().focus = nullptr;
    return was_disabled;
}

BOOL WINAPI IsWindowEnabled(HWND handle) {
    Window* w = Ui().Find(handle);
    return w && w->enabled();
}

BOOL WINAPI MoveWindow(HWND handle, int x, int y, int width, int height, BOOL repaint) {
    Window* w = Live(handle);
    if (!w) return FALSE;
    w->rect = RECT{x, y, x + width, y + height};
    if (!w->is_child()) CurrentMachine().Log("window", "moved " + w->Describe() + " to " + RectText(w->rect));
    if (repaint) MarkForPaint(*w);
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND handle, LPRECT rect) {
    Window* w = Live(handle);
    if (!w || !rect) return FALSE;
    UserInterface& ui = Ui();
    if (handle == ui.desktop()) {
        *rect = RECT{0, 0, ui.desktop_width, ui.desktop_height};
        return TRUE;
    }
    *rect = w->rect;
    if (w->is_child()) {
        POINT origin = ClientOrigin(*w->parent);
        rect->left += origin.x;
        rect->right += origin.x;
        rect->top += origin.y;
        rect->bottom += origin.y;
    }
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND handle, LPRECT rect) {
    Window* w = Live(handle);
    if (!w || !rect) return FALSE;
    if (handle == Ui().desktop()) return GetWindowRect(handle, rect);
    int width = w->rect.right - w->rect.left - 2 * FrameOf(*w);
    int height = w->rect.bottom - w->rect.top - 2 * FrameOf(*w) - CaptionOf(*w);
    *rect = RECT{0, 0, std::max(width, 0), std::max(height, 0)};
    return TRUE;
}

BOOL WINAPI ScreenToClient(HWND handle, LPPOINT point) {
    Window* w = Live(handle);
    if (!w || !point) return FALSE;
    POINT origin = ClientOrigin(*w);
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
}

BOOL WINAPI ClientToScreen(HWND handle, LPPOINT point) {
    Window* w = Live(handle);
    if (!w || !point) return FALSE;
    POINT origin = ClientOrigin(*w);
    point->x += origin.x;
    point->y += origin.y;
    return TRUE;
}

BOOL WINAPI SetWindowTextA(HWND handle, LPCSTR text) {
    Window* w = Live(handle);
    if (!w) return FALSE;
    return static_cast<BOOL>(Send(*w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)).value_or(FALSE));
}

int WINAPI GetWindowTextA(HWND handle, LPSTR text, int size) {
    Window* w = Live(handle);
    if (!w || !text || size <= 0) return 0;
    CopyCut(text, static_cast<size_t>(size), w->text);
    return static_cast<int>(std::strlen(text));
}

int WINAPI GetWindowTextLengthA(HWND handle) {
    Window* w = Live(handle);
    return w ? static_cast<int>(w->text.size()) : 0;
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND handle, int index) {
    Window* w = Live(handle);
    if (!w) return 0;
    bool dialog = w->class_name == "#32770";
    switch (index) {
        case GWL_STYLE:
            return static_cast<LONG>(w->style);
        case GWL_EXSTYLE:
            return static_cast<LONG>(w->ex_style);
        case GWL_ID:
            return w->id;
        case GWLP_USERDATA:
            return w->user_data;
        case DWLP_MSGRESULT:
            if (dialog) return w->dialog_result_value;
            break;
        case DWLP_USER:
            if (dialog) return w->dialog_user;
            break;
        case DWLP_DLGPROC:
            if (dialog) return reinterpret_cast<LONG_PTR>(w->dialog_proc);
            break;
    }
    SetLastError(1413 /* invalid index */);
    return 0;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND handle, int index, LONG_PTR value) {
    Window* w = Live(handle);
    if (!w) return 0;
    LONG_PTR previous = GetWindowLongPtrA(handle, index);
    bool dialog = w->class_name == "#32770";
    switch (index) {
        case GWL_STYLE:
            w->style = static_cast<DWORD>(value);
            break;
        case GWL_EXSTYLE:
            w->ex_style = static_cast<DWORD>(value);
            break;
        case GWL_ID:
            w->id = static_cast<int>(value);
            break;
        case GWLP_USERDATA:
            w->user_data = value;
            break;
        case DWLP_MSGRESULT:
            if (dialog) w->dialog_result_value = value;
            break;
        case DWLP_USER:
            if (dialog) w->dialog_user = value;
            break;
        case DWLP_DLGPROC:
            if (dialog) w->dialog_proc = reinterpret_cast<DLGPROC>(value);
            break;
        default:
            SetLastError(1413);
            return 0;
    }
    return previous;
}

LONG WINAPI GetWindowLongA(HWND handle, int index) {
    return static_cast<LONG>(GetWindowLongPtrA(handle, index));
}
LONG WINAPI SetWindowLongA(HWND handle, int index, LONG value) {
    return static_cast<LONG>(SetWindowLongPtrA(handle, index, value));
}

HWND WINAPI SetActiveWindow(HWND handle) {
    UserInterface& ui = Ui();
    HWND previous = ui.active;
    if (Window* w = Live(handle)) ui.active = w->handle;
    return previous;
}

HWND WINAPI GetActiveWindow(void) {
    return Ui().active;
}

BOOL WINAPI SetForegroundWindow(HWND handle) {
    Window* w = Live(handle);
    if (!w) return FALSE;
    UserInterface& ui = Ui();
    ui.foreground = ui.active = w->handle;
    return TRUE;
}

HWND WINAPI GetForegroundWindow(void) {
    return Ui().foreground;
}

HWND WINAPI SetFocus(HWND handle) {
    UserInterface& ui = Ui();
    HWND previous = ui.focus;
    if (!handle) {
        ui.focus = nullptr;
        return previous;
    }
    if (!Live(handle)) return nullptr;
    ui.focus = handle;
    return previous;
}

HWND WINAPI GetFocus(void) {
    return Ui().focus;
}

// Painting: a window that needs painting gets WM_PAINT when its thread's queue is otherwise empty, or at once
// with RDW_UPDATENOW / UpdateWindow.
BOOL WINAPI RedrawWindow(HWND handle, const RECT*, HANDLE, UINT flags) {
    Window* w = Live(handle);
    if (!w) return FALSE;
    if (!(flags & RDW_UPDATENOW)) {
        if (flags & RDW_INVALIDATE) MarkForPaint(*w);
        if (flags & RDW_VALIDATE) w->needs_paint = false;
        return TRUE;
    }
    return static_cast<BOOL>(RunOnWindowThread(*w, "RedrawWindow(RDW_UPDATENOW)", [w, flags]() -> LRESULT {
        if (flags & RDW_INVALIDATE) MarkForPaint(*w);
        if (w->needs_paint && IsWindowVisible(w->handle)) CallWindowProcedure(*w, WM_PAINT, 0, 0);
        return TRUE;
    }));
}

BOOL WINAPI InvalidateRect(HWND handle, const RECT*, BOOL) {
    Window* w = Live(handle);
    if (!w) return FALSE;
    MarkForPaint(*w);
    return TRUE;
}

BOOL WINAPI UpdateWindow(HWND handle) {
    return RedrawWindow(handle, nullptr, nullptr, RDW_UPDATENOW);
}

HDC WINAPI BeginPaint(HWND handle, LPPAINTSTRUCT paint) {
    Window* w = Live(handle);
    if (!w) return nullptr;
    w->needs_paint = false;
    HDC dc = reinterpret_cast<HDC>(reinterpret_cast<uintptr_t>(handle) | 0x1);
    if (paint) {
        std::memset(paint, 0, sizeof *paint);
        paint->hdc = dc;
        GetClientRect(handle, &paint->rcPaint);
    }
    return dc;
}

BOOL WINAPI EndPaint(HWND, const PAINTSTRUCT*) {
    return TRUE;
}

BOOL WINAPI DrawIcon(HDC dc, int, int, HICON icon) {
    return dc && icon;
}

int WINAPI GetSystemMetrics(int index) {
    UserInterface& ui = Ui();
    switch (index) {
        case SM_CXSCREEN:
            return ui.desktop_width;
        case SM_CYSCREEN:
            return ui.desktop_height;
        case SM_CXICON:
        case SM_CYICON:
        case SM_CXCURSOR:
        case SM_CYCURSOR:
            return 32;
        default:
            return 0;
    }
}

LRESULT WINAPI SendMessageA(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
    Window* w = Live(handle);
    if (!w) return 0;
    return Send(*w, message, wparam, lparam).value_or(0);
}

LRESULT WINAPI SendMessageTimeoutA(HWND handle, UINT message, WPARAM wparam, LPARAM lparam, UINT flags,
                                   UINT timeout_ms, PDWORD_PTR result) {
    Window* w = Live(handle);
    if (!w) return 0;
    Machine& machine = CurrentMachine();
    if ((flags & SMTO_ABORTIFHUNG) && w->thread && w->thread != &CurrentThread()) {
        MessageQueue& queue = UI(machine).QueueOf(*w->thread);
        if (!queue.waiting && machine.now_ms() - queue.last_retrieval_ms >= kHungAfterMs) {
            machine.Log("window",
                        "SendMessageTimeout(" + MessageName(message) + ") to hung " + w->Describe());
            SetLastError(ERROR_TIMEOUT);
            return 0;
        }
    }
    std::optional<LRESULT> answer = Send(*w, message, wparam, lparam, machine.now_ms() + timeout_ms);
    if (!answer) {
        machine.Log("window", "SendMessageTimeout(" + MessageName(message) + ") to " + w->Describe() +
                                  " timed out after " + std::to_string(timeout_ms) + " ms");
        SetLastError(ERROR_TIMEOUT);
        return 0;
    }
    if (result) *result = static_cast<DWORD_PTR>(*answer);
    return 1;
}

BOOL WINAPI PostMessageA(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
    Machine& machine = CurrentMachine();
    Thread* target = &CurrentThread();
    if (handle) {
        Window* w = Live(handle);
        if (!w) return FALSE;
        if (!w->thread) return TRUE;
        target = w->thread;
    }
    MSG msg{handle, message, wparam, lparam, static_cast<DWORD>(machine.now_ms()), {0, 0}};
    UI(machine).QueueOf(*target).posted.push_back(msg);
    return TRUE;
}

void WINAPI PostQuitMessage(int exit_code) {
    MessageQueue& queue = Ui().QueueOf(CurrentThread());
    queue.quit = true;
    queue.quit_code = exit_code;
}

BOOL WINAPI GetMessageA(LPMSG message, HWND window, UINT first, UINT last) {
    Thread& self = CurrentThread();
    Machine& machine = *self.process->machine;
    UserInterface& ui = UI(machine);
    MessageQueue& queue = ui.QueueOf(self);
    for (;;) {
        if (TakeMessage(self, message, window, first, last, true)) return message->message != WM_QUIT;
        // Wait for a message, or for the earliest timer of this thread to fall due.
        std::optional<uint64_t> next_timer;
        for (auto& [key, timer] : ui.timers)
            if (timer.thread == &self) next_timer = std::min(next_timer.value_or(UINT64_MAX), timer.due_ms);
        MessageQueue* q = &queue;
        UserInterface* u = &ui;
        Thread* me = &self;
        queue.waiting = true;
        machine.scheduler().Block(
            "GetMessage",
            [q, u, me] {
                if (!q->sent.empty() || !q->posted.empty() || q->quit) return true;
                for (Window* w : u->All())
                    if (w->thread == me && w->needs_paint && w->visible()) return true;
                return false;
            },
            next_timer, true);
        queue.waiting = false;
    }
}

BOOL WINAPI PeekMessageA(LPMSG message, HWND window, UINT first, UINT last, UINT remove) {
    return TakeMessage(CurrentThread(), message, window, first, last, (remove & PM_REMOVE) != 0);
}

BOOL WINAPI TranslateMessage(const MSG* message) {
    return message && (message->message == WM_KEYDOWN || message->message == WM_KEYUP);
}

LRESULT WINAPI DispatchMessageA(const MSG* message) {
    if (!message) return 0;
    if (message->message == WM_TIMER && message->lParam) {
        reinterpret_cast<TIMERPROC>(message->lParam)(message->hwnd, WM_TIMER, message->wParam,
                                                     static_cast<DWORD>(GetTickCount()));
        return 0;
    }
    Window* w = Ui().Find(message->hwnd);
    if (!w || w->thread != &CurrentThread()) return 0;
    LRESULT result = CallWindowProcedure(*w, message->message, message->wParam, message->lParam);
    // A window that did not validate itself on WM_PAINT is validated, as DefWindowProc would.
    if (message->message == WM_PAINT && Ui().Find(message->hwnd)) w->needs_paint = false;
    return result;
}

LRESULT WINAPI DefWindowProcA(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
    Window* w = Ui().Find(handle);
    if (!w) return 0;
    switch (message) {
        case WM_CLOSE:
            DestroyWindow(handle);
            return 0;
        case WM_SYSCOMMAND:
            if ((wparam & 0xFFF0) == SC_CLOSE) SendMessageA(handle, WM_CLOSE, 0, 0);
            return 0;
        case WM_SETTEXT: {
            w->text = lparam ? reinterpret_cast<LPCSTR>(lparam) : "";
            if (!w->is_child() && w->visible()) CurrentMachine().Log("window", "title of " + w->Describe());
            return TRUE;
        }
        case WM_GETTEXT: {
            if (wparam == 0 || !lparam) return 0;
            CopyCut(reinterpret_cast<LPSTR>(lparam), wparam, w->text);
            return static_cast<LRESULT>(std::strlen(reinterpret_cast<LPSTR>(lparam)));
        }
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(w->text.size());
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(handle, &paint);
            EndPaint(handle, &paint);
            return 0;
        }
        case WM_SETICON: {
            HICON& slot = wparam == ICON_BIG ? w->icon_big : w->icon_small;
            HICON previous = slot;
            slot = reinterpret_cast<HICON>(lparam);
            return reinterpret_cast<LRESULT>(previous);
        }
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ERASEBKGND:
            return 1;
        default:
            return 0;
    }
}

LRESULT WINAPI CallWindowProcA(WNDPROC proc, HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
    return proc ? proc(handle, message, wparam, lparam) : 0;
}

UINT_PTR WINAPI SetTimer(HWND handle, UINT_PTR id, UINT elapse_ms, TIMERPROC proc) {
    // Periods are kept within USER_TIMER_MINIMUM (10 ms) and USER_TIMER_MAXIMUM (0x7FFFFFFF ms).
    elapse_ms = std::clamp<UINT>(elapse_ms, 10u, 0x7FFFFFFFu);
    UserInterface& ui = Ui();
    Window* w = handle ? Live(handle) : nullptr;
    if (handle && !w) return 0;
    // The window must belong to the calling thread.
    if (w && w->thread != &CurrentThread()) return SetLastError(ERROR_ACCESS_DENIED), 0;
    if (!handle) id = 0x7FFF0000u + static_cast<UINT_PTR>(++ui.timer_seq);
    Machine& machine = CurrentMachine();
    ui.timers[{handle, id}] =
        Timer{&CurrentThread(), handle, id, elapse_ms, machine.now_ms() + elapse_ms, proc, ++ui.timer_seq};
    return handle && id == 0 ? 1 : id;
}

BOOL WINAPI KillTimer(HWND handle, UINT_PTR id) {
    if (Ui().timers.erase({handle, id}) == 1) return TRUE;
    SetLastError(1402 /* invalid timer id */);
    return FALSE;
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
    UserInterface& ui = Ui();
    HCURSOR previous = ui.cursor;
    ui.cursor = cursor;
    return previous;
}

HCURSOR WINAPI GetCursor(void) {
    return Ui().cursor;
}

int WINAPI ShowCursor(BOOL show) {
    UserInterface& ui = Ui();
    return show ? ++ui.cursor_show_count : --ui.cursor_show_count;
}

BOOL WINAPI GetCursorPos(LPPOINT point) {
    if (!point) return FALSE;
    *point = Ui().cursor_pos;
    return TRUE;
}

// A window has a system menu only when it has the system-menu box.
HMENU WINAPI GetSystemMenu(HWND handle, BOOL revert) {
    Window* w = Live(handle);
    if (!w || !(w->style & WS_SYSMENU)) return nullptr;
    UserInterface& ui = Ui();
    if (revert) {
        if (w->system_menu) ui.menus.erase(w->system_menu);
        w->system_menu = nullptr;
        return nullptr;
    }
    if (!w->system_menu) {
        w->system_menu = ui.NewMenu();
        ui.menus[w->system_menu] = {{MF_STRING, 0xF120, "&Restore"},        {MF_STRING, 0xF010, "&Move"},
                                    {MF_STRING, 0xF000, "&Size"},           {MF_STRING, 0xF020, "Mi&nimize"},
                                    {MF_STRING, 0xF030, "Ma&ximize"},       {MF_SEPARATOR, 0, ""},
                                    {MF_STRING, SC_CLOSE, "&Close\tAlt+F4"}};
    }
    return w->system_menu;
}

BOOL WINAPI AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR item) {
    UserInterface& ui = Ui();
    auto it = ui.menus.find(menu);
    if (it == ui.menus.end()) return SetLastError(1401 /* invalid menu handle */), FALSE;
    it->second.push_back({flags, id, (flags & MF_SEPARATOR) || !item ? "" : item});
    return TRUE;
}

}  // extern "C"
