// The install worker: the one background thread that performs the installation, and the state it shares with
// the window's thread. The worker reports only through InstallPhase and listens only to the cancel event.
#pragma once

#include <atomic>

#include "win32api.h"

enum InstallPhaseValue : DWORD {
    kPhaseIdle = 0,
    kPhaseStarted = 1,
    kPhaseCopyingFiles = 2,
    kPhaseRefreshingHardware = 3,
    kPhaseWaitingForDriver = 4,
    kPhaseFinished = 8,
};

// Written only by the worker, one aligned 32-bit store at a time; read by the window's timer and mouse
// handlers.
extern std::atomic<DWORD> InstallPhase;
// Created by Install, signalled by Exit and the destroy handler, tested without waiting by the worker.
extern HANDLE CancelEvent;
// The worker's thread; null until Install starts it. Only the destroy handler closes it.
extern HANDLE WorkerThread;
extern DWORD WorkerThreadId;
// The chosen driver folder holds the chip driver's catalog; false: the codec driver package.
extern bool ChipPackage;

// The thread procedure Install starts; its parameter is not used. Every path ends with Finished.
DWORD WINAPI InstallWorkerProc(LPVOID parameter);

// The running Windows as the worker's steps need it.
struct WindowsFlags {
    bool IsWin98Family = false;  // 98 and 98 SE
    bool IsWin98SE = false;
    bool IsWinMe = false;
    bool IsNt5 = false;    // 2000, XP and later
    bool IsWinXp = false;  // XP and later
};
WindowsFlags ClassifyWindows();
