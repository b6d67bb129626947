// The state one emulated network scanner shares between its connection threads.
#pragma once

#include "connectionpool.h"
#include "stoppipe.h"

#include "ovraemu/netscanner.h"

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace ovraemu {

// A posted job waiting for its data connection, with the script it was posted under.
struct WaitingJob {
    size_t index = 0;
    int jamBeforePage = -1;
    NetScanJob script;
};

struct NetScanner::State {
    explicit State(std::string scannerAddress) : address(std::move(scannerAddress)) {}

    const std::string address;

    // Everything below the mutex is guarded by it; `changed` is notified on every change.
    mutable std::mutex mutex;
    mutable std::condition_variable changed;

    // The script.
    NetScanJob job;
    FeederState feeder = FeederState::Loaded;
    int postResult = kPostResultSuccess;
    std::map<HttpRoute, int> httpStatus;
    EmuCapabilities capabilities;
    std::map<std::pair<std::string, std::string>, std::string> attributeReplies;
    size_t attributeReplyBytes = 0;
    int attributeReplyParts = 1;

    // What happened.
    std::vector<HttpRequestRecord> httpRequests;
    std::vector<AttributeRequestRecord> attributeRequests;
    std::vector<ScanJobRecord> jobs;
    std::optional<WaitingJob> waitingJob;
    int dataConnections = 0;
    uint64_t aborts = 0;
    bool stopping = false;
    bool running = false;

    // Serving.
    StopPipe stop;
    ConnectionPool connections;
    std::vector<int> listeners;
    std::vector<std::thread> acceptThreads;

    std::mutex sinkMutex;
    NetScannerEventSink sink;

    // Hands one line to the event sink (one line at a time).
    void Emit(const std::string& line);
    // The status a route answers with; call with the mutex held.
    int HttpStatusLocked(HttpRoute route) const;
    bool AnyJobStreamingLocked() const;
};

// The handlers of one accepted connection per port.
void ServeHttp(NetScanner::State& state, int fd);
void ServeData(NetScanner::State& state, int fd);
void ServeAttributes(NetScanner::State& state, int fd);

} // namespace ovraemu
