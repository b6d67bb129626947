// Start-up of the daemon process: detaching from the terminal, the stop
// signal SIGQUIT and the keep-running flag it clears.
#pragma once

#include <csignal>

// Keep-running flag, cleared by handler. The listener and every connection
// process test it before each wait.
extern volatile sig_atomic_t flag;

// Detaches the process (double fork, new session); returns only in the final
// daemon process. Failures end the program with status 1.
void create_daemon();

// The SIGQUIT handler: logs the signal and clears flag.
void handler(int sig);

// Installs handler for SIGQUIT without SA_RESTART, so that a blocking wait
// returns when the signal arrives. Returns false when that fails.
bool installQuitHandler();

// SIGQUIT is kept blocked outside the daemon's waits and let through only
// while a wait is in progress (see waitReadable), so that a signal arriving
// just before a wait still ends it.
void blockQuitSignal();
void unblockQuitSignal();

// Waits until fd is readable. Returns false when SIGQUIT arrived before or
// during the wait, or the wait failed.
bool waitReadable(int fd);

// A connection process is told at once when one of its data processes ends:
// SIGCHLD is blocked like SIGQUIT and let through only during
// waitReadableOrChildEnd, whose wait it ends. Returns false when the handler
// cannot be installed.
bool watchChildEnds();

enum enWaitResult {
    en_Wait_Readable,
    en_Wait_ChildEnded,
    en_Wait_TimedOut,
    en_Wait_Stop
};

// Waits until fd is readable (en_Wait_Readable) or a child process has ended
// since the last call (en_Wait_ChildEnded); en_Wait_TimedOut after timeoutMs
// (< 0: no limit); en_Wait_Stop on SIGQUIT or when the wait failed.
enWaitResult waitReadableOrChildEnd(int fd, int timeoutMs);

// Waits until fd is readable, or writable when forWriting (en_Wait_Readable
// either way), at most timeoutMs (< 0: no limit). SIGQUIT ends the wait.
enWaitResult waitReady(int fd, bool forWriting, int timeoutMs);
