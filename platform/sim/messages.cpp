#include "sim/messages.h"

#include <cstdio>

namespace sim {

std::string MessageName(UINT message) {
    switch (message) {
        case WM_CLOSE:
            return "WM_CLOSE";
        case WM_COMMAND:
            return "WM_COMMAND";
        case WM_PAINT:
            return "WM_PAINT";
        case WM_TIMER:
            return "WM_TIMER";
        case WM_SETTEXT:
            return "WM_SETTEXT";
        case WM_GETTEXT:
            return "WM_GETTEXT";
        case WM_SYSCOMMAND:
            return "WM_SYSCOMMAND";
        case WM_QUERYENDSESSION:
            return "WM_QUERYENDSESSION";
        case WM_ENDSESSION:
            return "WM_ENDSESSION";
        case LB_ADDSTRING:
            return "LB_ADDSTRING";
        case LB_GETTEXT:
            return "LB_GETTEXT";
        case LB_GETCOUNT:
            return "LB_GETCOUNT";
        case BM_CLICK:
            return "BM_CLICK";
        default: {
            char text[16];
            std::snprintf(text, sizeof text, "0x%04X", message);
            return text;
        }
    }
}

void ProcessSentMessages(Thread& self) {
    UserInterface& ui = UI(*self.process->machine);
    MessageQueue& queue = ui.QueueOf(self);
    queue.last_retrieval_ms = self.process->machine->now_ms();
    while (!queue.sent.empty()) {
        std::shared_ptr<SentMessage> sent = queue.sent.front();
        queue.sent.pop_front();
        if (sent->call)
            sent->result = sent->call();
        else if (Window* window = ui.Find(sent->target->handle))
            sent->result = CallWindowProcedure(*window, sent->message, sent->wparam, sent->lparam);
        sent->done = true;
    }
}

namespace {

std::optional<LRESULT> SendAcross(Window& window, std::shared_ptr<SentMessage> sent, const std::string& what,
                                  std::optional<uint64_t> deadline_ms) {
    Thread& self = CurrentThread();
    Machine& machine = *self.process->machine;
    UserInterface& ui = UI(machine);
    Thread* target = window.thread;
    ui.QueueOf(*target).sent.push_back(sent);
    MessageQueue* mine = &ui.QueueOf(self);
    std::string waits_for = what + " to " + window.Describe() + " of thread " + std::to_string(target->id);
    while (!sent->done) {
        bool woke = machine.scheduler().Block(
            waits_for,
            [sent, mine, target] {
                return sent->done || !mine->sent.empty() || target->state == Thread::State::Finished;
            },
            deadline_ms);
        if (!woke || (!sent->done && target->state == Thread::State::Finished)) {
            auto& pending = ui.QueueOf(*target).sent;
            for (auto it = pending.begin(); it != pending.end(); ++it)
                if (*it == sent) {
                    pending.erase(it);
                    break;
                }
            if (!woke) return std::nullopt;
            return 0;
        }
        ProcessSentMessages(self);
    }
    return sent->result;
}

}  // namespace

std::optional<LRESULT> Send(Window& window, UINT message, WPARAM wparam, LPARAM lparam,
                            std::optional<uint64_t> deadline_ms) {
    Thread& self = CurrentThread();
    if (!window.thread || window.thread == &self) return CallWindowProcedure(window, message, wparam, lparam);
    auto sent = std::make_shared<SentMessage>();
    sent->target = &window;
    sent->message = message;
    sent->wparam = wparam;
    sent->lparam = lparam;
    return SendAcross(window, sent, "SendMessage(" + MessageName(message) + ")", deadline_ms);
}

LRESULT RunOnWindowThread(Window& window, const char* what, std::function<LRESULT()> operation) {
    Thread& self = CurrentThread();
    if (!window.thread || window.thread == &self) return operation();
    auto sent = std::make_shared<SentMessage>();
    sent->target = &window;
    sent->call = std::move(operation);
    return SendAcross(window, sent, what, std::nullopt).value_or(0);
}

namespace {

bool Matches(UserInterface& ui, HWND window, HWND filter, UINT message, UINT first, UINT last) {
    if (first || last) {
        if (message < first || message > last) return false;
    }
    if (!filter) return true;
    for (Window* w = ui.Find(window); w; w = w->parent)
        if (w->handle == filter) return true;
    return false;
}

Window* NeedsPaint(UserInterface& ui, Thread& self, HWND filter) {
    for (Window* window : ui.All())
        if (window->thread == &self && window->needs_paint && window->visible() &&
            Matches(ui, window->handle, filter, WM_PAINT, 0, 0))
            return window;
    return nullptr;
}

Timer* DueTimer(UserInterface& ui, Thread& self, uint64_t now_ms, HWND filter) {
    Timer* due = nullptr;
    for (auto& [key, timer] : ui.timers) {
        if (timer.thread != &self || timer.due_ms > now_ms) continue;
        if (!Matches(ui, timer.window, filter, WM_TIMER, 0, 0)) continue;
        if (!due || timer.due_ms < due->due_ms || (timer.due_ms == due->due_ms && timer.seq < due->seq))
            due = &timer;
    }
    return due;
}

}  // namespace

bool TakeMessage(Thread& self, MSG* message, HWND filter, UINT first, UINT last, bool remove) {
    Machine& machine = *self.process->machine;
    UserInterface& ui = UI(machine);
    ProcessSentMessages(self);
    MessageQueue& queue = ui.QueueOf(self);
    for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
        if (!Matches(ui, it->hwnd, filter, it->message, first, last) && it->hwnd) continue;
        if (filter && !it->hwnd) continue;
        *message = *it;
        if (remove) queue.posted.erase(it);
        return true;
    }
    if (queue.quit && !filter) {
        *message = MSG{
            nullptr, WM_QUIT, static_cast<WPARAM>(queue.quit_code), 0, static_cast<DWORD>(machine.now_ms()),
            {0, 0}};
        if (remove) queue.quit = false;
        return true;
    }
    if (Window* window = NeedsPaint(ui, self, filter)) {
        if (!first && !last) {
            *message = MSG{window->handle, WM_PAINT, 0, 0, static_cast<DWORD>(machine.now_ms()), {0, 0}};
            return true;
        }
    }
    if (Timer* timer = DueTimer(ui, self, machine.now_ms(), filter)) {
        if (!first || (first <= WM_TIMER && last >= WM_TIMER)) {
            *message = MSG{timer->window,
                           WM_TIMER,
                           timer->id,
                           reinterpret_cast<LPARAM>(timer->proc),
                           static_cast<DWORD>(machine.now_ms()),
                           {0, 0}};
            if (remove) timer->due_ms = machine.now_ms() + timer->period_ms;
            return true;
        }
    }
    return false;
}

}  // namespace sim
