// Helpers the daemon's tests share: a private install root, files, logs and
// a client side for the scan client protocol.
#pragma once

#include "installroot.h"
#include "ovrascanprotocol.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

bool fileExists(const std::string& path);
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);
std::vector<std::string> listDir(const std::string& path);
bool logContains(const std::string& logPath, const std::string& text);

// Client side of the protocol over a connected socket. Receives time out after
// timeoutMs and report false.
bool sendBytes(int fd, const void* data, size_t size);
template <typename T>
bool sendCommand(int fd, int32_t command, const T& request)
{
    std::vector<char> bytes(sizeof(command) + sizeof(request));
    memcpy(bytes.data(), &command, sizeof(command));
    memcpy(bytes.data() + sizeof(command), &request, sizeof(request));
    return sendBytes(fd, bytes.data(), bytes.size());
}
bool recvExact(int fd, void* data, size_t size, int timeoutMs = 5000);
// True when nothing arrives within waitMs.
bool nothingArrives(int fd, int waitMs);

// The records of a running scan up to and including the first one whose result
// is not 0. `ended` is false when the stream stopped before it (nothing within
// timeoutMs).
template <typename Record>
std::vector<Record> recordsToTheEnd(int fd, int timeoutMs, bool& ended)
{
    std::vector<Record> records;
    Record record = {};
    ended = false;
    while (!ended && recvExact(fd, &record, sizeof(record), timeoutMs)) {
        records.push_back(record);
        ended = record.result != OVRA_STATUS_GOOD;
    }
    return records;
}

// How many records of a scan begin a page.
template <typename Record>
int pagesBegun(const std::vector<Record>& records)
{
    int pages = 0;
    for (const Record& record : records)
        pages += record.st == SCAN_STATUS_BEGIN_OF_PAGE ? 1 : 0;
    return pages;
}

// Connects to 127.0.0.1:port, retrying for up to 5 s.
int connectLoopback(uint16_t port, const char* address = "127.0.0.1");

// Sends sig to one process started by the test. A pid that is not a single
// process (-1, 0, 1) is refused, never passed to kill().
bool signalProcess(int pid, int sig);

// Starts the daemon program at `path` in the foreground on 127.0.0.1:port.
int startDaemonProgram(const char* path, uint16_t port);
// startDaemonProgram, then a first connection to make sure it serves; -1, with
// a message, when it did not come up (its port busy?).
int startServingDaemon(const char* path, uint16_t port);
// Waits for the end of a child process: its exit status (128 + signal when a
// signal ended it), or -1 when it still runs after timeoutMs.
int waitForExit(int pid, int timeoutMs);
// Polls condition until it holds or timeoutMs have passed; its last value.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs);

// True when the daemon process just started is still running after a short
// while (a daemon that could not bind its port ends at once).
bool daemonStillRunning(int pid);

// The data process the daemon killed last, from its info log; -1 for none.
int lastKilledPid();

// The image bytes of page `page` as the fake scanners send them.
std::vector<unsigned char> pageImage(int seed, int page, size_t size);
