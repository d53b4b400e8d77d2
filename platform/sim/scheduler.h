// Deterministic threads in virtual time.
//
// Every simulated thread is a real thread, but only the one holding the baton runs; the others wait on their
// own condition variable. A thread gives the baton back to the driver (the thread that called Machine::Run)
// when it blocks, yields or ends. The driver then, in a fixed order,
//   1. wakes every blocked thread whose wait is now satisfied, in the order in which they blocked;
//   2. runs the first ready thread;
//   3. when no thread is ready, moves virtual time to the earliest wake-up (a time-out or a scheduled action,
//      ties broken by the order they were set up) and fires what is due;
//   4. when nothing is ready and nothing is due, but threads are blocked, reports a deadlock that names what
//      each blocked thread waits for, and ends those threads; unless a thread waits for input in its message
//      loop: then the machine is idle, waiting for the user, and the run returns.
// So a 3000 ms pause costs no real time, and the same machine and inputs give the same run every time.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/api/types.h"

namespace sim {

class Machine;
class Process;

// Thrown inside a simulated thread to end it: the thread unwinds to its start and ends.
struct ThreadTerminated {};
struct ThreadExit {
    DWORD code;
};
struct ProcessExit {
    DWORD code;
};

struct Thread {
    enum class State { Ready, Running, Blocked, Finished };

    DWORD id = 0;
    Process* process = nullptr;
    std::string name;  // "main", "thread 2", for reports
    State state = State::Ready;
    bool terminate = false;  // set when the process ends or a deadlock is reported
    std::optional<DWORD> exit_code;

    // Per-thread platform state.
    DWORD last_error = 0;
    int com_init_count = 0;

    // The current wait, while Blocked.
    std::string waits_for;
    std::function<bool()> try_acquire;
    std::optional<uint64_t> deadline_ms;
    bool input_wait = false;  // waiting in a message loop: the user or another program can wake it
    uint64_t block_seq = 0;
    bool timed_out = false;

    // Baton passing.
    std::condition_variable cv;
    bool go = false;
    std::thread host;
};

struct RunResult {
    enum class End { Idle, TimeLimit, Deadlock };
    End end = End::Idle;
    uint64_t time_ms = 0;
    std::string deadlock;  // the report, when End::Deadlock
    bool deadlocked() const { return end == End::Deadlock; }
};

// The simulated thread the caller runs on, or null outside one.
Thread* CurrentThreadOrNull();

class Scheduler {
  public:
    explicit Scheduler(Machine& machine) : machine_(machine) {}
    ~Scheduler();

    uint64_t now_ms() const { return now_ms_; }

    // Creates a ready thread of the process that runs body once it first gets the baton.
    Thread& Spawn(Process& process, std::string name, std::function<void()> body);

    // Called by the running thread: waits until try_acquire() answers true (checked by the driver, in order)
    // or the deadline passes. Returns true when satisfied, false on time-out. Checks once before blocking.
    // input_wait marks a message loop's wait for input, which the user can end at any time.
    bool Block(std::string waits_for, std::function<bool()> try_acquire, std::optional<uint64_t> deadline_ms,
               bool input_wait = false);
    // Called by the running thread: lets every other ready thread run first.
    void Yield();

    // An action the driver runs at a virtual time, outside any simulated thread.
    void At(uint64_t time_ms, std::function<void()> action);

    // The driver loop; returns when nothing is left to run, at the time limit, or on a deadlock.
    RunResult Run(std::optional<uint64_t> until_ms);

    // Ends every thread that has not ended; the machine calls it before it goes.
    void Shutdown();

    // Ends every thread of the process (the calling thread of that process must unwind by itself).
    void TerminateProcessThreads(Process& process, const Thread* except);

    Thread* current() const;
    const std::vector<std::unique_ptr<Thread>>& threads() const { return threads_; }
    DWORD NextId() { return next_id_ += 4; }

  private:
    void HandBack(std::unique_lock<std::mutex>& lock, Thread& self);
    void WaitForBaton(std::unique_lock<std::mutex>& lock, Thread& self);
    void RunThread(Thread& thread, std::unique_lock<std::mutex>& lock);
    bool WakeSatisfied();
    std::string DeadlockReport() const;

    Machine& machine_;
    std::mutex mu_;
    std::condition_variable driver_cv_;
    Thread* running_ = nullptr;
    uint64_t now_ms_ = 0;
    uint64_t seq_ = 0;
    DWORD next_id_ = 0x40;
    std::vector<std::unique_ptr<Thread>> threads_;
    std::vector<Thread*> ready_;
    std::multimap<std::pair<uint64_t, uint64_t>, std::function<void()>> actions_;
};

}  // namespace sim
