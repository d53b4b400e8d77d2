#include "sim/windows.h"

#include <algorithm>
#include <cstdio>

namespace sim {

std::string Window::Describe() const {
    char handle_text[24];
    std::snprintf(handle_text, sizeof handle_text, "%llX",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(handle)));
    std::string who = text.empty() ? "window " + std::string(handle_text) : "window \"" + text + "\"";
    return who + " (" + class_name + (id && is_child() ? " " + std::to_string(id) : "") + ")";
}

UserInterface& UI(Machine& machine) {
    struct Slot {
        std::unique_ptr<UserInterface> ui;
    };
    Slot& slot = machine.slot<Slot>("user");
    if (!slot.ui) slot.ui = std::make_unique<UserInterface>(machine);
    return *slot.ui;
}

UserInterface::UserInterface(Machine& machine) : machine_(machine) {
    Window& desktop = Create(nullptr, "#32769", "", WS_VISIBLE, 0, RECT{0, 0, 0, 0}, nullptr, 0, nullptr);
    desktop_ = desktop.handle;
    machine.WhenProcessEnds([this](Process& process) { DestroyWindowsOf(process); });
}

void UserInterface::DestroyWindowsOf(Process& process) {
    for (Window* window : All()) {
        if (!window->thread || window->thread->process != &process || window->destroyed) continue;
        if (!window->is_child()) machine_.Log("window", "closed " + window->Describe() + " as its program ended");
        Destroy(*window);
    }
}

void Post(Machine& machine, HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    Window* w = UI(machine).Find(window);
    if (!w || !w->thread) return;
    MSG msg{window, message, wparam, lparam, static_cast<DWORD>(machine.now_ms()), {0, 0}};
    UI(machine).QueueOf(*w->thread).posted.push_back(msg);
}

Window* UserInterface::Find(HWND handle) const {
    auto it = windows_.find(reinterpret_cast<uintptr_t>(handle));
    if (it == windows_.end() || it->second->destroyed) return nullptr;
    return it->second.get();
}

Window& UserInterface::Create(Thread* thread, const std::string& class_name, const std::string& text,
                              DWORD style, DWORD ex_style, RECT rect, Window* parent, int id, WNDPROC proc) {
    auto window = std::make_unique<Window>();
    Window& w = *window;
    w.handle = reinterpret_cast<HWND>(next_handle_);
    next_handle_ += 0x10;
    w.thread = thread;
    w.class_name = class_name;
    w.proc = proc;
    w.text = text;
    w.style = style;
    w.ex_style = ex_style;
    w.rect = rect;
    w.id = id;
    if (style & WS_CHILD) {
        w.parent = parent;
        if (parent) parent->children.push_back(&w);
    } else {
        w.owner = parent;
    }
    windows_[reinterpret_cast<uintptr_t>(w.handle)] = std::move(window);
    return w;
}

void UserInterface::Destroy(Window& window) {
    for (auto it = timers.begin(); it != timers.end();)
        it = it->second.window == window.handle ? timers.erase(it) : std::next(it);
    if (window.parent) {
        auto& siblings = window.parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), &window), siblings.end());
    }
    if (active == window.handle) active = nullptr;
    if (foreground == window.handle) foreground = nullptr;
    if (focus == window.handle) focus = nullptr;
    window.destroyed = true;
}

std::vector<Window*> UserInterface::All() const {
    std::vector<Window*> all;
    for (auto& [handle, window] : windows_)
        if (!window->destroyed) all.push_back(window.get());
    return all;
}

std::vector<Window*> UserInterface::TopLevel() const {
    // The newest window is on top; the foreground window above all others.
    std::vector<Window*> top;
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it)
        if (!it->second->destroyed && !it->second->is_child() && it->second->handle != desktop_)
            top.push_back(it->second.get());
    std::stable_partition(top.begin(), top.end(), [&](Window* w) { return w->handle == foreground; });
    return top;
}

HMENU UserInterface::NewMenu() {
    HMENU menu = reinterpret_cast<HMENU>(next_menu_);
    next_menu_ += 0x10;
    menus[menu];
    return menu;
}

void UserInterface::NotifyShown(Window& window) {
    std::vector<WindowObserver> observers = observers_;
    for (auto& observer : observers) observer(window);
}

LRESULT CallWindowProcedure(Window& window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (!window.proc) return DefWindowProcA(window.handle, message, wparam, lparam);
    return window.proc(window.handle, message, wparam, lparam);
}

namespace {

// Input goes to the deepest visible, enabled child under the point; statics that do not notify let it through
// to their parent (they answer HTTRANSPARENT to the hit test).
Window* ChildAt(Window& parent, POINT& point) {
    for (auto it = parent.children.rbegin(); it != parent.children.rend(); ++it) {
        Window& child = **it;
        if (!child.visible()) continue;
        const RECT& r = child.rect;
        if (point.x < r.left || point.x >= r.right || point.y < r.top || point.y >= r.bottom) continue;
        bool transparent = child.class_name == "Static" && !(child.style & SS_NOTIFY);
        if (transparent) continue;
        if (!child.enabled()) return nullptr;
        point.x -= r.left;
        point.y -= r.top;
        return &child;
    }
    return &parent;
}

void PostInput(Machine& machine, Window& window, UINT message, WPARAM wparam, LPARAM lparam) {
    MSG msg{window.handle, message, wparam, lparam, static_cast<DWORD>(machine.now_ms()), {0, 0}};
    UI(machine).QueueOf(*window.thread).posted.push_back(msg);
}

Window* UserTarget(Machine& machine, HWND window, POINT& point) {
    Window* w = UI(machine).Find(window);
    if (!w) throw std::invalid_argument("the user clicks a window that does not exist");
    return ChildAt(*w, point);
}

}  // namespace

void UserClick(Machine& machine, HWND window, POINT point) {
    Window* target = UserTarget(machine, window, point);
    if (!target) return;  // a disabled control takes no clicks
    LPARAM at = MAKELPARAM(point.x, point.y);
    machine.Log("user", "click " + target->Describe() + " at " + std::to_string(point.x) + "," +
                            std::to_string(point.y));
    PostInput(machine, *target, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostInput(machine, *target, WM_LBUTTONUP, 0, at);
}

void UserMoveMouse(Machine& machine, HWND window, POINT point) {
    Window* target = UserTarget(machine, window, point);
    if (!target) return;
    PostInput(machine, *target, WM_MOUSEMOVE, 0, MAKELPARAM(point.x, point.y));
}

void UserPressKey(Machine& machine, HWND window, WPARAM key) {
    UserInterface& ui = UI(machine);
    Window* target = ui.Find(ui.focus);
    if (!target) target = ui.Find(window);
    if (!target) throw std::invalid_argument("the user presses a key in a window that does not exist");
    machine.Log("user", "key " + std::to_string(key) + " in " + target->Describe());
    PostInput(machine, *target, WM_KEYDOWN, key, 1);
    PostInput(machine, *target, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
}

void UserClickControl(Machine& machine, HWND dialog, int control_id) {
    Window* w = UI(machine).Find(dialog);
    if (!w) throw std::invalid_argument("the user clicks in a window that does not exist");
    for (Window* child : w->children)
        if (child->id == control_id) {
            POINT middle{(child->rect.left + child->rect.right) / 2,
                         (child->rect.top + child->rect.bottom) / 2};
            UserClick(machine, dialog, middle);
            return;
        }
    throw std::invalid_argument("the window has no control " + std::to_string(control_id));
}

}  // namespace sim
