// The standard controls and the dialog class, with the behaviour programs rely on: pictures (SS_BITMAP,
// STM_SETIMAGE), list boxes (unsorted lines, selection, the line scrolled into view), push and automatic
// radio buttons (BM_CLICK, BM_SETCHECK, BN_CLICKED to the parent).
#include <algorithm>
#include <cstring>

#include "sim/messages.h"
#include "sim/resources.h"
#include "sim/windows.h"

using namespace sim;

namespace {

Window* Self(HWND handle) {
    return UI(CurrentMachine()).Find(handle);
}

void Notify(Window& control, WORD code) {
    if (!control.parent) return;
    Send(*control.parent, WM_COMMAND, MAKEWPARAM(control.id, code), reinterpret_cast<LPARAM>(control.handle));
}

// Checking an automatic radio button unchecks the other automatic radio buttons of its group.
void CheckRadio(Window& button) {
    if (!button.parent) return;
    auto& siblings = button.parent->children;
    auto at = std::find(siblings.begin(), siblings.end(), &button);
    auto is_radio = [](Window* w) {
        return w->class_name == "Button" && (w->style & BS_TYPEMASK) == BS_AUTORADIOBUTTON;
    };
    auto first = at;
    while (first != siblings.begin() && !((*first)->style & WS_GROUP)) --first;
    for (auto it = first; it != siblings.end(); ++it) {
        if (it != first && ((*it)->style & WS_GROUP)) break;
        if (is_radio(*it)) (*it)->check = *it == &button ? BST_CHECKED : BST_UNCHECKED;
    }
}

LRESULT CALLBACK ButtonProc(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
    Window* w = Self(handle);
    if (!w) return 0;
    switch (message) {
        case BM_CLICK:
            // As Windows does: the click is a button press and release sent to the button itself.
            SendMessageA(handle, WM_LBUTTONDOWN, MK_LBUTTON, 0);
            SendMessageA(handle, WM_LBUTTONUP, 0, 0);
            return 0;
        case WM_LBUTTONDOWN:
            w->pushed = true;
            return 0;
        case WM_LBUTTONUP:
            if (!w->pushed) return 0;
            w->pushed = false;
            switch (w->style & BS_TYPEMASK) {
                case BS_AUTORADIOBUTTON:
                    CheckRadio(*w);
                    break;
                case BS_AUTOCHECKBOX:
                    w->check = w->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
                    break;
            }
            CurrentMachine().Log("control", "clicked " + w->Describe());
            Notify(*w, BN_CLICKED);
            return 0;
        case BM_GETCHECK:
            return w->check;
        case BM_SETCHECK:
            w->check = static_cast<int>(wparam);
            return 0;
        case BM_GETSTATE:
            return w->check | (w->pushed ? 0x0004 : 0);
        case BM_SETSTYLE:
            w->style = (w->style & ~0xFFFFu) | LOWORD(wparam);
            return 0;
        default:
            return DefWindowProcA(handle, message, wparam, lparam);
    }
}

LRESULT CALLBACK StaticProc(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
    Window* w = Self(handle);
    if (!w) return 0;
    switch (message) {
        case STM_SETIMAGE:
        case STM_SETICON: {
            HANDLE previous = w->image;
            w->image = reinterpret_cast<HANDLE>(message == STM_SETICON ? wparam : lparam);
            // A picture control takes the size of its bitmap or icon.
            ImageDescription picture = DescribeImage(w->image);
            if (picture.kind != ImageDescription::Kind::None) {
                w->rect.right = w->rect.left + picture.width;
                w->rect.bottom = w->rect.top + picture.height;
            }
            InvalidateRect(handle, nullptr, TRUE);
            return reinterpret_cast<LRESULT>(previous);
        }
        case STM_GETIMAGE:
        case STM_GETICON:
            return reinterpret_cast<LRESULT>(w->image);
        default:
            return DefWindowProcA(handle, message, wparam, lparam);
    }
}

// List box lines are kept in the order added (the system's lists are unsorted); the selected line is scrolled
// into view. A list without selection (LBS_NOSEL) refuses LB_SETCURSEL but still scrolls, as Windows does.
constexpr int kLineHeight = 16;

void ScrollIntoView(Window& w, int index) {
    int visible = std::max(1, static_cast<int>((w.rect.bottom - w.rect.top - 2) / kLineHeight));
    if (index < w.top_index) w.top_index = index;
    if (index >= w.top_index + visible) w.top_index = index - visible + 1;
}

LRESULT CALLBACK ListBoxProc(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
    Window* w = Self(handle);
    if (!w) return 0;
    int count = static_cast<int>(w->items.size());
    int index = static_cast<int>(wparam);
    switch (message) {
        case LB_ADDSTRING:
        case LB_INSERTSTRING: {
            std::string text = lparam ? reinterpret_cast<LPCSTR>(lparam) : "";
            int at = count;
            if (message == LB_INSERTSTRING && index >= 0 && index <= count) at = index;
            if (message == LB_ADDSTRING && (w->style & LBS_SORT)) {
                at = 0;
                while (at < count && !LessNoCase()(text, w->items[at])) ++at;
            }
            w->items.insert(w->items.begin() + at, text);
            CurrentMachine().Log("list", "line " + std::to_string(at) + " \"" + text + "\"");
            InvalidateRect(handle, nullptr, TRUE);
            return at;
        }
        case LB_DELETESTRING:
            if (index < 0 || index >= count) return LB_ERR;
            w->items.erase(w->items.begin() + index);
            if (w->selection == index) w->selection = -1;
            InvalidateRect(handle, nullptr, TRUE);
            return count - 1;
        case LB_RESETCONTENT:
            w->items.clear();
            w->selection = -1;
            w->top_index = 0;
            return 0;
        case LB_GETCOUNT:
            return count;
        case LB_SETCURSEL:
            if (index < -1 || index >= count) return LB_ERR;
            if (index >= 0) ScrollIntoView(*w, index);
            if (w->style & LBS_NOSEL) return LB_ERR;
            w->selection = index;
            return index;
        case LB_GETCURSEL:
            return w->selection;
        case LB_GETTOPINDEX:
            return w->top_index;
        case LB_GETTEXTLEN:
            return index >= 0 && index < count ? static_cast<LRESULT>(w->items[index].size()) : LB_ERR;
        case LB_GETTEXT:
            if (index < 0 || index >= count || !lparam) return LB_ERR;
            std::memcpy(reinterpret_cast<char*>(lparam), w->items[index].c_str(), w->items[index].size() + 1);
            return static_cast<LRESULT>(w->items[index].size());
        default:
            return DefWindowProcA(handle, message, wparam, lparam);
    }
}

// Messages whose dialog-procedure result is the message's result, not the DWLP_MSGRESULT value.
bool ReturnsDirectly(UINT message) {
    return message == WM_INITDIALOG || message == WM_QUERYDRAGICON || message == WM_CTLCOLORSTATIC ||
           (message >= 0x0132 && message <= 0x0138);
}

}  // namespace

namespace sim {

LRESULT CALLBACK DialogWindowProc(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
    Window* w = Self(handle);
    if (!w) return 0;
    if (w->dialog_proc) {
        INT_PTR handled = w->dialog_proc(handle, message, wparam, lparam);
        if (handled) return ReturnsDirectly(message) ? handled : w->dialog_result_value;
        w = Self(handle);
        if (!w) return 0;
    }
    switch (message) {
        case WM_CLOSE:
            // Closing a dialog is its cancel command.
            SendMessageA(handle, WM_COMMAND, IDCANCEL,
                         reinterpret_cast<LPARAM>(GetDlgItem(handle, IDCANCEL)));
            return 0;
        default:
            return DefWindowProcA(handle, message, wparam, lparam);
    }
}

WNDPROC BuiltInClassProc(const std::string& name, ATOM* atom, std::string* canonical) {
    struct Builtin {
        const char* name;
        ATOM atom;
        WNDPROC proc;
    };
    static const Builtin classes[] = {
        {"#32770", 0x8002, DialogWindowProc},
        {"Button", 0xC017, ButtonProc},
        {"Static", 0xC019, StaticProc},
        {"ListBox", 0xC01A, ListBoxProc},
    };
    for (const Builtin& c : classes)
        if (EqualsNoCase(name, c.name)) {
            *atom = c.atom;
            if (canonical) *canonical = c.name;
            return c.proc;
        }
    return nullptr;
}

}  // namespace sim
