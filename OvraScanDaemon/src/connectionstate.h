// What one connection process owns: the device handles and data connections
// it opened (the only ones a request may name), its scan counter and its data
// processes.
#pragma once

#include <map>
#include <set>
#include <sys/types.h>

struct stConnectionState {
    int clientFd = -1;
    int filename_index = 0;           // scan starts so far; each takes the next value
    pid_t dataProcPid = 0;            // data process of the latest scan start, 0 for none
    std::set<int> deviceFds;          // usbfs handles opened by USB_FIND_DEV / USB_REOPEN_DEV
    std::set<int> dataConnFds;        // data connections opened by TCP_SCAN_START
    std::set<pid_t> dataProcs;        // data processes not yet reaped
    std::map<int, int> warmUpSeconds; // per usbfs handle: the warm-up of its last power-on
};

bool ownsDevice(const stConnectionState& st, int fd);
bool ownsDataConnection(const stConnectionState& st, int fd);

// A data connection a request names and the command closes: one this connection
// opened is forgotten here; any other becomes -1, so that the command never closes
// a connection it does not own.
void releaseDataConnection(stConnectionState& st, int& fd);

// Collects the data processes that have ended. A data process that has ended
// stays a zombie until collected here, so its process id cannot be reused
// while the connection process still names it.
void reapDataProcesses(stConnectionState& st);

// Stops the data process of the latest scan start when it is still running
// and waits for its end. Nothing happens when it has ended by itself.
void killDataProcess(stConnectionState& st);
