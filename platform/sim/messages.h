// Message delivery between the threads of the simulated machine.
#pragma once

#include <functional>
#include <optional>

#include "sim/windows.h"

namespace sim {

// Handles every message sent to the calling thread by other threads.
void ProcessSentMessages(Thread& self);

// Sends to a window of any thread. On the window's own thread the procedure is called at once; otherwise the
// message waits in that thread's queue and the caller blocks (still answering messages sent to it) until it
// is handled, the thread ends, or the deadline passes. Returns nullopt on time-out.
std::optional<LRESULT> Send(Window& window, UINT message, WPARAM wparam, LPARAM lparam,
                            std::optional<uint64_t> deadline_ms = std::nullopt);

// Runs an operation on the window's thread, as Windows does for ShowWindow and RedrawWindow with
// RDW_UPDATENOW on another thread's window: a synchronous send.
LRESULT RunOnWindowThread(Window& window, const char* what, std::function<LRESULT()> operation);

// Takes the next message for the calling thread (sent messages are handled first). False when there is none.
bool TakeMessage(Thread& self, MSG* message, HWND filter, UINT first, UINT last, bool remove);

std::string MessageName(UINT message);

}  // namespace sim
