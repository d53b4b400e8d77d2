// Threads, events and waits in virtual time: pauses cost nothing, runs repeat exactly, deadlocks are
// reported.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/machine.h"
#include "win32api.h"

namespace {

struct Worker {
    HANDLE event;
    std::vector<std::string>* log;
};

DWORD WINAPI PauseThenSignal(LPVOID parameter) {
    auto* worker = static_cast<Worker*>(parameter);
    Sleep(3000);
    worker->log->push_back("worker " + std::to_string(GetTickCount()));
    SetEvent(worker->event);
    return 7;
}

TEST(Scheduler, PausesMoveVirtualTimeOnly) {
    sim::Machine machine;
    std::vector<std::string> log;
    sim::RunResult result = machine.RunCode([&] {
        DWORD start = GetTickCount();
        Worker worker{CreateEventA(nullptr, FALSE, FALSE, nullptr), &log};
        HANDLE thread = CreateThread(nullptr, 0, PauseThenSignal, &worker, 0, nullptr);
        EXPECT_EQ(WaitForSingleObject(worker.event, 1000), WAIT_TIMEOUT);
        EXPECT_EQ(GetTickCount() - start, 1000u);
        EXPECT_EQ(WaitForSingleObject(worker.event, INFINITE), WAIT_OBJECT_0);
        EXPECT_EQ(GetTickCount() - start, 3000u);
        // The auto-reset event was taken by the wait.
        EXPECT_EQ(WaitForSingleObject(worker.event, 0), WAIT_TIMEOUT);
        EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
        DWORD code = 0;
        EXPECT_TRUE(GetExitCodeThread(thread, &code));
        EXPECT_EQ(code, 7u);
        CloseHandle(thread);
        CloseHandle(worker.event);
    });
    EXPECT_FALSE(result.deadlocked()) << result.deadlock;
    EXPECT_EQ(result.time_ms, 3000u);
    ASSERT_EQ(log.size(), 1u);
}

TEST(Scheduler, ManualResetEventReleasesEveryWaiterAndStaysSet) {
    sim::Machine machine;
    static std::vector<DWORD> woke;
    woke.clear();
    machine.RunCode([&] {
        static HANDLE gate;
        gate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        auto waiter = [](LPVOID) -> DWORD {
            WaitForSingleObject(gate, INFINITE);
            woke.push_back(GetCurrentThreadId());
            return 0;
        };
        HANDLE a = CreateThread(nullptr, 0, waiter, nullptr, 0, nullptr);
        HANDLE b = CreateThread(nullptr, 0, waiter, nullptr, 0, nullptr);
        Sleep(10);
        EXPECT_TRUE(woke.empty());
        SetEvent(gate);
        WaitForSingleObject(a, INFINITE);
        WaitForSingleObject(b, INFINITE);
        EXPECT_EQ(WaitForSingleObject(gate, 0), WAIT_OBJECT_0);
    });
    EXPECT_EQ(woke.size(), 2u);
}

// The same program on two machines leaves the same transcript.
TEST(Scheduler, SameInputsGiveTheSameRun) {
    auto run = [] {
        sim::Machine machine;
        machine.RunCode([] {
            auto ping = [](LPVOID parameter) -> DWORD {
                for (int i = 0; i < 5; ++i) {
                    Sleep(static_cast<DWORD>(reinterpret_cast<uintptr_t>(parameter)));
                    OutputDebugStringA(("tick " + std::to_string(GetTickCount())).c_str());
                }
                return 0;
            };
            HANDLE a = CreateThread(nullptr, 0, ping, reinterpret_cast<LPVOID>(30), 0, nullptr);
            HANDLE b = CreateThread(nullptr, 0, ping, reinterpret_cast<LPVOID>(45), 0, nullptr);
            WaitForSingleObject(a, INFINITE);
            WaitForSingleObject(b, INFINITE);
        });
        return machine.trace().Text();
    };
    std::string first = run();
    EXPECT_EQ(first, run());
    EXPECT_NE(first.find("tick 60090"), std::string::npos) << first;  // boot ticks + 3 * 30 ms
}

TEST(Scheduler, DeadlockIsReportedWithEachWait) {
    sim::Machine machine;
    bool unwound = false;
    sim::RunResult result = machine.RunCode([&] {
        struct Guard {
            bool& flag;
            ~Guard() { flag = true; }
        } guard{unwound};
        static HANDLE never;
        never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        HANDLE worker = CreateThread(
            nullptr, 0, [](LPVOID) -> DWORD { return WaitForSingleObject(never, INFINITE); }, nullptr, 0,
            nullptr);
        WaitForSingleObject(worker, INFINITE);
    });
    ASSERT_TRUE(result.deadlocked());
    EXPECT_NE(result.deadlock.find("(main) of TEST.EXE waits for WaitForSingleObject(thread"),
              std::string::npos)
        << result.deadlock;
    EXPECT_NE(result.deadlock.find("waits for WaitForSingleObject(manual-reset event, INFINITE)"),
              std::string::npos)
        << result.deadlock;
    EXPECT_TRUE(unwound);
    EXPECT_TRUE(machine.processes().front()->ended());
}

TEST(Scheduler, TimeLimitStopsARunThatWaitsForever) {
    sim::Machine machine;
    sim::Program forever;
    forever.exe_path = "C:\\LOOP.EXE";
    forever.native = [] {
        for (;;) Sleep(100);
        return DWORD{0};
    };
    machine.Start(forever, "C:\\LOOP.EXE");
    sim::RunResult result = machine.Run(10000);
    EXPECT_EQ(result.end, sim::RunResult::End::TimeLimit);
    EXPECT_EQ(result.time_ms, 10000u);
}

TEST(Scheduler, ExitProcessEndsEveryThreadOfTheProcess) {
    sim::Machine machine;
    sim::Program program;
    program.exe_path = "C:\\QUIT.EXE";
    program.native = []() -> DWORD {
        CreateThread(
            nullptr, 0, [](LPVOID) -> DWORD { return SleepEx(INFINITE, FALSE); }, nullptr, 0, nullptr);
        Sleep(5);
        crt::exit(3);
    };
    sim::Process& process = machine.Start(program, "C:\\QUIT.EXE");
    sim::RunResult result = machine.Run();
    EXPECT_FALSE(result.deadlocked()) << result.deadlock;
    EXPECT_EQ(process.exit_code, 3u);
}

}  // namespace
