// Dialogs: windows from templates, the modal loop, the dialog keys, and message boxes.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "sim/api/resources.h"
#include "sim/messages.h"
#include "sim/resources.h"
#include "sim/windows.h"

using namespace sim;

namespace {

// Dialog base units of the dialog's font: the average character width and the character height in pixels, as
// Windows measures them for the usual dialog fonts at 96 dots per inch (8 points: 6 by 13).
POINT BaseUnits(int font_points) {
    int height = (font_points * 96 * 12 + 360) / 720;  // 1.2 times the em height
    if (font_points == 8) height = 13;
    return POINT{(height * 6 + 6) / 13, height};
}

RECT ToPixels(POINT base, int x, int y, int cx, int cy) {
    int left = x * base.x / 4, top = y * base.y / 8;
    return RECT{left, top, left + cx * base.x / 4, top + cy * base.y / 8};
}

int DefaultButton(Window& dialog) {
    for (Window* child : dialog.children)
        if (child->class_name == "Button" && (child->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON &&
            child->enabled())
            return child->id;
    return IDOK;
}

bool IsInside(Window& dialog, Window* w) {
    for (; w; w = w->parent)
        if (w == &dialog) return true;
    return false;
}

}  // namespace

namespace sim {

std::optional<DialogSpec> LoadDialogSpec(HINSTANCE instance, LPCSTR template_name) {
    std::optional<DialogTemplate> found = FindDialogTemplate(instance, template_name);
    if (!found) return std::nullopt;
    UINT code_page = CurrentMachine().code_page;
    DialogSpec spec;
    spec.style = found->style;
    spec.ex_style = found->ex_style;
    spec.x = found->x;
    spec.y = found->y;
    spec.cx = found->cx;
    spec.cy = found->cy;
    spec.title = ToAnsi(found->title, code_page);
    if (found->has_font) {
        spec.font_points = found->point_size;
        spec.font_face = ToAnsi(found->typeface, code_page);
    }
    for (const DialogItem& item : found->items) {
        DialogItemSpec control;
        control.class_name = ToAnsi(item.ClassName(), code_page);
        if (item.title.is_ordinal())
            control.resource_id = item.title.ordinal;
        else
            control.text = ToAnsi(item.title.text, code_page);
        control.id = static_cast<int>(static_cast<short>(item.id & 0xFFFF));
        control.style = item.style;
        control.ex_style = item.ex_style;
        control.x = item.x;
        control.y = item.y;
        control.cx = item.cx;
        control.cy = item.cy;
        spec.items.push_back(control);
    }
    return spec;
}

HWND CreateDialogWindow(const DialogSpec& spec, HINSTANCE instance, HWND owner, DLGPROC proc, LPARAM param) {
    UserInterface& ui = UI(CurrentMachine());
    POINT base = BaseUnits(spec.font_points);
    RECT client = ToPixels(base, spec.x, spec.y, spec.cx, spec.cy);
    DWORD style = spec.style | ((spec.style & DS_MODALFRAME) ? WS_DLGFRAME : 0);
    int frame = (style & (WS_DLGFRAME | WS_THICKFRAME)) ? 3 : (style & WS_BORDER) ? 1 : 0;
    int caption = (style & WS_CAPTION) == WS_CAPTION ? 18 : 0;
    int width = client.right - client.left + 2 * frame;
    int height = client.bottom - client.top + 2 * frame + caption;
    RECT rect{client.left, client.top, client.left + width, client.top + height};
    if (spec.style & DS_CENTER) {
        rect.left = (ui.desktop_width - width) / 2;
        rect.top = (ui.desktop_height - height) / 2;
        rect.right = rect.left + width;
        rect.bottom = rect.top + height;
    }
    Window* owner_window = owner ? ui.Find(owner) : nullptr;
    Window& dialog = ui.Create(&CurrentThread(), "#32770", spec.title, style & ~WS_VISIBLE, spec.ex_style,
                               rect, owner_window, 0, DialogWindowProc);
    dialog.atom = 0x8002;
    dialog.dialog_proc = proc;
    CurrentMachine().Log("window", "created " + dialog.Describe());
    HWND first_tab_stop = nullptr;
    for (const DialogItemSpec& item : spec.items) {
        RECT r = ToPixels(base, item.x, item.y, item.cx, item.cy);
        HWND control =
            CreateWindowExA(item.ex_style, item.class_name.c_str(), item.text.c_str(), item.style | WS_CHILD,
                            r.left, r.top, r.right - r.left, r.bottom - r.top, dialog.handle,
                            reinterpret_cast<HMENU>(static_cast<uintptr_t>(item.id)), instance, nullptr);
        if (!control) continue;
        if (!first_tab_stop && (item.style & WS_TABSTOP)) first_tab_stop = control;
        if (item.resource_id && item.class_name == "Static") {
            LPCSTR name = reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(item.resource_id));
            if ((item.style & 0x1F) == SS_BITMAP)
                SendMessageA(control, STM_SETIMAGE, IMAGE_BITMAP,
                             reinterpret_cast<LPARAM>(LoadBitmapA(instance, name)));
            else if ((item.style & 0x1F) == SS_ICON)
                SendMessageA(control, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconA(instance, name)), 0);
        }
    }
    HWND handle = dialog.handle;
    if (proc && proc(handle, WM_INITDIALOG, reinterpret_cast<WPARAM>(first_tab_stop), param) &&
        first_tab_stop)
        SetFocus(first_tab_stop);
    Window* alive = ui.Find(handle);
    if (alive && (spec.style & WS_VISIBLE) && !alive->dialog_ended) ShowWindow(handle, SW_SHOWNORMAL);
    return alive ? handle : nullptr;
}

INT_PTR RunModalDialog(HWND handle) {
    UserInterface& ui = UI(CurrentMachine());
    Window* dialog = ui.Find(handle);
    if (!dialog) return -1;
    HWND owner = dialog->owner ? dialog->owner->handle : nullptr;
    if (owner) EnableWindow(owner, FALSE);
    // A dialog still hidden when its queue first runs empty is shown then, once: hidden again later, it stays
    // hidden.
    bool first_idle = true;
    while ((dialog = ui.Find(handle)) && !dialog->dialog_ended) {
        MSG msg;
        if (first_idle && !PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            first_idle = false;
            if (!dialog->visible()) ShowWindow(handle, SW_SHOWNORMAL);
        }
        if ((dialog = ui.Find(handle)) && dialog->dialog_ended) break;
        if (!GetMessageA(&msg, nullptr, 0, 0)) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!IsDialogMessageA(handle, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    if (owner) EnableWindow(owner, TRUE);
    dialog = ui.Find(handle);
    if (!dialog) return -1;
    INT_PTR result = dialog->dialog_result;
    DestroyWindow(handle);
    return result;
}

}  // namespace sim

extern "C" {

BOOL WINAPI EndDialog(HWND handle, INT_PTR result) {
    Window* dialog = UI(CurrentMachine()).Find(handle);
    if (!dialog) return SetLastError(ERROR_INVALID_WINDOW_HANDLE), FALSE;
    dialog->dialog_ended = true;
    dialog->dialog_result = result;
    if (dialog->owner) EnableWindow(dialog->owner->handle, TRUE);
    if (dialog->visible()) ShowWindow(handle, SW_HIDE);
    PostMessageA(handle, WM_NULL, 0, 0);  // wakes the modal loop
    return TRUE;
}

// The dialog keys: Escape is the cancel command, Enter the default button's command. Other messages for the
// dialog and its controls are dispatched here, as Windows does.
BOOL WINAPI IsDialogMessageA(HWND handle, LPMSG msg) {
    UserInterface& ui = UI(CurrentMachine());
    Window* dialog = ui.Find(handle);
    if (!dialog || !msg || !IsInside(*dialog, ui.Find(msg->hwnd))) return FALSE;
    bool key = msg->message == WM_KEYDOWN || msg->message == WM_KEYUP || msg->message == WM_CHAR;
    if (key && (msg->wParam == VK_ESCAPE || msg->wParam == VK_RETURN)) {
        if (msg->message == WM_KEYDOWN) {
            int id = msg->wParam == VK_ESCAPE ? IDCANCEL : DefaultButton(*dialog);
            SendMessageA(handle, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(handle, id)));
        }
        return TRUE;
    }
    TranslateMessage(msg);
    DispatchMessageA(msg);
    return TRUE;
}

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR template_name, HWND parent, DLGPROC proc,
                               LPARAM param) {
    std::optional<DialogSpec> spec = LoadDialogSpec(instance, template_name);
    if (!spec) return SetLastError(1812 /* resource not found */), -1;
    HWND dialog = CreateDialogWindow(*spec, instance, parent, proc, param);
    if (!dialog) return -1;
    return RunModalDialog(dialog);
}

}  // extern "C"

namespace {

struct BoxButton {
    int id;
    const char* text;
};

std::vector<BoxButton> ButtonsOf(UINT type) {
    switch (type & 0xF) {
        case MB_OKCANCEL:
            return {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
        case 2:
            return {{IDABORT, "&Abort"}, {IDRETRY, "&Retry"}, {IDIGNORE, "&Ignore"}};
        case 3:
            return {{IDYES, "&Yes"}, {IDNO, "&No"}, {IDCANCEL, "Cancel"}};
        case MB_YESNO:
            return {{IDYES, "&Yes"}, {IDNO, "&No"}};
        case 5:
            return {{IDRETRY, "&Retry"}, {IDCANCEL, "Cancel"}};
        default:
            return {{IDOK, "OK"}};
    }
}

INT_PTR CALLBACK MessageBoxProc(HWND handle, UINT message, WPARAM wparam, LPARAM) {
    if (message != WM_COMMAND) return message == WM_INITDIALOG;
    int id = LOWORD(wparam);
    // Escape answers Cancel where the box has it, and OK in a box with only OK.
    if (!GetDlgItem(handle, id)) {
        if (id != IDCANCEL || !GetDlgItem(handle, IDOK) || GetDlgItem(handle, IDNO)) return TRUE;
        id = IDOK;
    }
    EndDialog(handle, id);
    return TRUE;
}

const char* AnswerName(int id) {
    static const char* const names[] = {"", "OK", "Cancel", "Abort", "Retry", "Ignore", "Yes", "No"};
    return id >= 0 && id <= 7 ? names[id] : "?";
}

}  // namespace

extern "C" int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    Machine& machine = CurrentMachine();
    UserInterface& ui = UI(machine);
    DialogSpec spec;
    spec.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | WS_VISIBLE;
    spec.title = caption ? caption : "Error";
    spec.cx = 180;
    spec.cy = 60;
    spec.items.push_back({"Static", text ? text : "", 0, 0xFFFF, SS_LEFT | WS_VISIBLE, 0, 8, 8, 164, 24});
    std::vector<BoxButton> buttons = ButtonsOf(type);
    int x = 180 - 54 * static_cast<int>(buttons.size());
    for (const BoxButton& b : buttons) {
        spec.items.push_back(
            {"Button", b.text, 0, b.id, BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 0, x, 40, 50, 14});
        x += 54;
    }
    std::string line = "message box \"" + spec.title + "\": " + (text ? text : "");
    machine.Log("dialog", line);
    HWND box = CreateDialogWindow(spec, nullptr, owner, MessageBoxProc, 0);
    if (!box) return 0;
    if (!ui.message_box_answers.empty()) {
        int answer = ui.message_box_answers.front();
        ui.message_box_answers.pop_front();
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
    }
    int answer = static_cast<int>(RunModalDialog(box));
    machine.Log("dialog", "message box \"" + spec.title + "\" answered " + AnswerName(answer));
    return answer;
}
