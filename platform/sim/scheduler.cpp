#include "sim/scheduler.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "sim/machine.h"

namespace sim {

namespace {
thread_local Thread* tls_thread = nullptr;

// A run that switches this often without virtual time moving is spinning, not waiting.
constexpr uint64_t kLivelockSwitches = 1000000;

std::string Hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}
}  // namespace

Thread* Scheduler::current() const {
    return tls_thread;
}
Thread* CurrentThreadOrNull() {
    return tls_thread;
}

Scheduler::~Scheduler() {
    Shutdown();
}

void Scheduler::Shutdown() {
    // Threads still blocked when the machine goes (a run that stopped at a time limit) unwind and end.
    std::unique_lock<std::mutex> lock(mu_);
    for (auto& thread : threads_) {
        if (thread->state == Thread::State::Finished) continue;
        thread->terminate = true;
        if (thread->state == Thread::State::Blocked) thread->state = Thread::State::Ready;
    }
    for (auto& thread : threads_)
        if (thread->state == Thread::State::Ready) RunThread(*thread, lock);
    lock.unlock();
    for (auto& thread : threads_)
        if (thread->host.joinable()) thread->host.join();
}

Thread& Scheduler::Spawn(Process& process, std::string name, std::function<void()> body) {
    threads_.push_back(std::make_unique<Thread>());
    Thread& thread = *threads_.back();
    thread.id = NextId();
    thread.process = &process;
    thread.name = std::move(name);
    process.threads.push_back(&thread);
    ready_.push_back(&thread);
    thread.host = std::thread([this, &thread, body = std::move(body)] {
        {
            std::unique_lock<std::mutex> lock(mu_);
            WaitForBaton(lock, thread);
        }
        tls_thread = &thread;
        if (!thread.terminate) {
            try {
                body();
            } catch (const ThreadTerminated&) {
            } catch (const ThreadExit& e) {
                thread.exit_code = e.code;
            } catch (const ProcessExit& e) {
                machine_.EndProcess(*thread.process, e.code);
            } catch (const std::exception& e) {
                thread.process->crash = "thread " + Hex(thread.id) + " ended by an exception: " + e.what();
                machine_.EndProcess(*thread.process, 0xE06D7363);
            }
        }
        if (!thread.exit_code) thread.exit_code = thread.process->exit_code.value_or(0);
        tls_thread = nullptr;
        std::unique_lock<std::mutex> lock(mu_);
        thread.state = Thread::State::Finished;
        thread.try_acquire = nullptr;
        HandBack(lock, thread);
    });
    return thread;
}

void Scheduler::HandBack(std::unique_lock<std::mutex>&, Thread&) {
    running_ = nullptr;
    driver_cv_.notify_one();
}

void Scheduler::WaitForBaton(std::unique_lock<std::mutex>& lock, Thread& self) {
    self.cv.wait(lock, [&] { return self.go; });
    self.go = false;
    self.state = Thread::State::Running;
}

void Scheduler::RunThread(Thread& thread, std::unique_lock<std::mutex>& lock) {
    ready_.erase(std::remove(ready_.begin(), ready_.end(), &thread), ready_.end());
    running_ = &thread;
    thread.go = true;
    thread.cv.notify_one();
    driver_cv_.wait(lock, [&] { return running_ == nullptr; });
    if (thread.state == Thread::State::Finished && thread.host.joinable()) thread.host.join();
}

bool Scheduler::Block(std::string waits_for, std::function<bool()> try_acquire,
                      std::optional<uint64_t> deadline_ms, bool input_wait) {
    Thread& self = *tls_thread;
    // A thread being ended unwinds; a wait from a destructor during that unwinding fails at once.
    auto end_if_terminating = [&] {
        if (!self.terminate) return false;
        if (std::uncaught_exceptions() > 0) return true;
        throw ThreadTerminated{};
    };
    if (end_if_terminating()) return false;
    if (try_acquire && try_acquire()) return true;
    if (deadline_ms && *deadline_ms <= now_ms_) return false;
    self.waits_for = std::move(waits_for);
    self.try_acquire = std::move(try_acquire);
    self.deadline_ms = deadline_ms;
    self.input_wait = input_wait;
    self.block_seq = ++seq_;
    self.timed_out = false;
    {
        std::unique_lock<std::mutex> lock(mu_);
        self.state = Thread::State::Blocked;
        HandBack(lock, self);
        WaitForBaton(lock, self);
    }
    self.try_acquire = nullptr;
    if (end_if_terminating()) return false;
    return !self.timed_out;
}

void Scheduler::Yield() {
    Thread& self = *tls_thread;
    std::unique_lock<std::mutex> lock(mu_);
    self.state = Thread::State::Ready;
    ready_.push_back(&self);
    HandBack(lock, self);
    WaitForBaton(lock, self);
    lock.unlock();
    if (self.terminate && std::uncaught_exceptions() == 0) throw ThreadTerminated{};
}

void Scheduler::At(uint64_t time_ms, std::function<void()> action) {
    actions_.emplace(std::make_pair(std::max(time_ms, now_ms_), ++seq_), std::move(action));
}

void Scheduler::TerminateProcessThreads(Process& process, const Thread* except) {
    for (Thread* thread : process.threads) {
        if (thread == except || thread->state == Thread::State::Finished) continue;
        thread->terminate = true;
        if (thread->state == Thread::State::Blocked) {
            thread->state = Thread::State::Ready;
            ready_.push_back(thread);
        }
    }
}

bool Scheduler::WakeSatisfied() {
    std::vector<Thread*> blocked;
    for (auto& thread : threads_)
        if (thread->state == Thread::State::Blocked) blocked.push_back(thread.get());
    std::sort(blocked.begin(), blocked.end(),
              [](Thread* a, Thread* b) { return a->block_seq < b->block_seq; });
    bool woke = false;
    for (Thread* thread : blocked) {
        bool due = thread->deadline_ms && *thread->deadline_ms <= now_ms_;
        bool satisfied = thread->terminate || (thread->try_acquire && thread->try_acquire());
        if (!satisfied && !due) continue;
        thread->timed_out = !satisfied;
        thread->state = Thread::State::Ready;
        ready_.push_back(thread);
        woke = true;
    }
    return woke;
}

std::string Scheduler::DeadlockReport() const {
    std::string report =
        "deadlock at " + std::to_string(now_ms_) + " ms: every thread waits and nothing can wake one";
    for (const auto& thread : threads_) {
        if (thread->state != Thread::State::Blocked) continue;
        report += "\n  thread " + Hex(thread->id) + " (" + thread->name + ") of " + thread->process->name() +
                  " waits for " + thread->waits_for;
    }
    return report;
}

RunResult Scheduler::Run(std::optional<uint64_t> until_ms) {
    std::unique_lock<std::mutex> lock(mu_);
    RunResult result;
    uint64_t switches_without_time = 0;
    for (;;) {
        WakeSatisfied();
        if (!ready_.empty()) {
            if (++switches_without_time > kLivelockSwitches) {
                result.end = RunResult::End::Deadlock;
                result.deadlock = "livelock at " + std::to_string(now_ms_) +
                                  " ms: threads keep running without waiting for anything that takes time";
                break;
            }
            Thread* next = ready_.front();
            RunThread(*next, lock);
            lock.unlock();
            machine_.ReapEndedProcesses();
            lock.lock();
            continue;
        }
        std::optional<uint64_t> next_ms;
        for (auto& thread : threads_)
            if (thread->state == Thread::State::Blocked && thread->deadline_ms)
                next_ms = std::min(next_ms.value_or(UINT64_MAX), *thread->deadline_ms);
        if (!actions_.empty())
            next_ms = std::min(next_ms.value_or(UINT64_MAX), actions_.begin()->first.first);
        if (!next_ms) {
            bool blocked = std::any_of(threads_.begin(), threads_.end(),
                                       [](auto& t) { return t->state == Thread::State::Blocked; });
            bool awaits_input = std::any_of(threads_.begin(), threads_.end(), [](auto& t) {
                return t->state == Thread::State::Blocked && t->input_wait;
            });
            if (blocked && !awaits_input) {
                result.end = RunResult::End::Deadlock;
                result.deadlock = DeadlockReport();
            } else if (blocked && until_ms) {
                // Idle, waiting for the user: the time passes to the limit.
                now_ms_ = std::max(now_ms_, *until_ms);
                result.end = RunResult::End::TimeLimit;
            }
            break;
        }
        if (until_ms && *next_ms > *until_ms) {
            now_ms_ = std::max(now_ms_, *until_ms);
            result.end = RunResult::End::TimeLimit;
            break;
        }
        if (*next_ms > now_ms_) switches_without_time = 0;
        now_ms_ = std::max(now_ms_, *next_ms);
        while (!actions_.empty() && actions_.begin()->first.first <= now_ms_) {
            std::function<void()> action = std::move(actions_.begin()->second);
            actions_.erase(actions_.begin());
            lock.unlock();
            action();
            lock.lock();
        }
    }
    result.time_ms = now_ms_;
    if (result.deadlocked()) {
        // End the stuck threads: each unwinds from its wait and its process ends.
        lock.unlock();
        machine_.Log("sched", result.deadlock);
        for (auto& thread : threads_) {
            if (thread->state != Thread::State::Blocked && thread->state != Thread::State::Ready) continue;
            thread->terminate = true;
        }
        lock.lock();
        for (auto& thread : threads_) {
            if (thread->state == Thread::State::Blocked) {
                thread->state = Thread::State::Ready;
                ready_.push_back(thread.get());
            }
        }
        while (!ready_.empty()) RunThread(*ready_.front(), lock);
        lock.unlock();
        for (auto& process : machine_.processes())
            if (!process->ended()) machine_.EndProcess(*process, 0xDEAD);
        machine_.ReapEndedProcesses();
    }
    return result;
}

}  // namespace sim
