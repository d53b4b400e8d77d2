// The destroy handler waits for the worker without handling messages, and the worker asks the window's
// thread to show itself once. Closing the window at every point of an installation — Exit, Escape, or a
// close from outside — must never leave the two threads waiting for each other: the machine reports no
// deadlock, the worker ends, the restart prompt comes, and Setup ends.
#include <gtest/gtest.h>

#include <set>

#include "install_run.h"

namespace setup_test {
namespace {

// An installation with every wait of the worker: the companion installer's window is up until 9 s (the
// worker waits for it before it shows the window again), the controller's driver update installs, and the
// new mixer device appears 4 s later.
struct Installation : SetupMachine {
    Installation() : SetupMachine("winxp", Devices()) {
        InsertMedium("chip");
        AddRunKey(*this);
        OpenWindow("InstallShield_Win", "PCI Audio Applications", 500, 9000);
    }
    static sim::DeviceOptions Devices() {
        sim::DeviceOptions devices;
        devices.devices.push_back(Controller(kOtherController));
        devices.packages.push_back({});
        devices.mixer_after_update_ms = 4000;
        devices.mixer_after_reenumerate_ms = 4000;
        return devices;
    }
};

enum class Close { kExit, kEscape, kCloseMessage };

// The virtual times at which the worker did something in a run without interruption, each with the moment
// before it: every step boundary the scheduler can put a user's action at.
std::set<uint64_t> WorkerMoments() {
    Installation m;
    sim::Process& setup = m.Start();
    m.ClickAt(1000, 1002);
    m.machine.Run(120000);
    EXPECT_TRUE(setup.ended());
    std::set<DWORD> setup_threads;
    for (sim::Thread* thread : setup.threads) setup_threads.insert(thread->id);
    std::set<uint64_t> moments;
    for (const sim::TraceEvent& e : m.machine.trace().events()) {
        if (!setup_threads.count(e.thread_id) || e.time_ms < 1000) continue;
        moments.insert(e.time_ms);
        moments.insert(e.time_ms - 1);
    }
    return moments;
}

TEST(ExitPoints, ClosingAtAnyPointOfTheInstallationEndsEverything) {
    std::set<uint64_t> moments = WorkerMoments();
    ASSERT_GT(moments.size(), 20u);
    EXPECT_GE(*moments.rbegin(), 9000u) << "the run reaches past the companion installer's wait";
    for (Close close : {Close::kExit, Close::kEscape, Close::kCloseMessage}) {
        for (uint64_t at_ms : moments) {
            SCOPED_TRACE("close " + std::to_string(static_cast<int>(close)) + " at " + std::to_string(at_ms));
            Installation m;
            sim::Process& setup = m.Start();
            m.ClickAt(1000, 1002);
            m.machine.scheduler().At(at_ms, [&m, close] {
                sim::Window* main = m.MainWindow();
                if (!main) return;
                if (close == Close::kExit) sim::UserClickControl(m.machine, main->handle, 1003);
                if (close == Close::kEscape) sim::UserPressKey(m.machine, main->handle, VK_ESCAPE);
                if (close == Close::kCloseMessage) sim::Post(m.machine, main->handle, WM_CLOSE, 0, 0);
            });
            sim::RunResult result = m.machine.Run(120000);
            ASSERT_FALSE(result.deadlocked()) << result.deadlock;
            ASSERT_TRUE(setup.ended());
            EXPECT_EQ(setup.crash, "");
            for (sim::Thread* thread : setup.threads) EXPECT_EQ(thread->state, sim::Thread::State::Finished);
            EXPECT_EQ(m.restart_prompts, at_ms >= 1000 ? 1 : 0) << "an installation was started";
        }
    }
}

}  // namespace
}  // namespace setup_test
