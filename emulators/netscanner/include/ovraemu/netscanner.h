// One network scanner of the family as the scan daemon sees it on the wire, on a
// loopback address: HTTP on port 80 (job post, abort, capabilities, feeder status), the
// page data stream on port 2080 and attribute requests on port 5000. Scriptable pages
// and faults; every request it receives is recorded. Plain C++ (POSIX sockets,
// std::thread); every member is thread-safe.
#pragma once

#include "ovraemu/netscanjob.h"
#include "ovraemu/netscanrecords.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ovraemu {

// The key=value lines of the capabilities answer.
struct EmuCapabilities {
    bool duplex = false;
    bool color = true;
    unsigned minres = 75;
    unsigned maxres = 1200;
    unsigned widthFormat = 1;
    unsigned family = 246;
    bool permProfiles = false;
    bool profile = false;
    unsigned maxWidth = 8500; // thousandths of an inch
    unsigned maxHeight = 14000;
    unsigned basicResolution = 300;
};

// The requests the HTTP port knows.
enum class HttpRoute {
    JobPost,
    Abort,
    Capabilities,
    FeederStatus
};

// One line per event (requests, answers, jobs, faults), for logs and the demo.
using NetScannerEventSink = std::function<void(const std::string&)>;

class NetScanner
{
public:
    explicit NetScanner(std::string address);
    ~NetScanner();
    NetScanner(const NetScanner&) = delete;
    NetScanner& operator=(const NetScanner&) = delete;

    // Binds address:80, :2080 and :5000 and serves on threads of its own. False, with a
    // reason in *error, when the address is not a loopback address, a port cannot be
    // bound (port 80 needs root), or the scanner already runs.
    bool Start(std::string* error = nullptr);
    // Stops serving: closes the listeners and every open connection; returns once all
    // threads have ended.
    void Stop();
    bool IsRunning() const;
    const std::string& Address() const;

    // --- script (takes effect for the next request or job) ---
    void SetJob(const NetScanJob& job);
    NetScanJob Job() const;
    void SetFeeder(FeederState state);
    FeederState Feeder() const;
    // RESULT= value of the job post answer (0, 1 bad field, 91 busy, or any other).
    void SetPostResult(int result);
    // HTTP status of a route's answer; anything other than 200 answers with an error
    // page instead of the route's content.
    void SetHttpStatus(HttpRoute route, int status);
    void SetCapabilities(const EmuCapabilities& capabilities);
    // The reply text of one attribute (object and attribute name as in the request).
    void SetAttributeReply(const std::string& objName, const std::string& attribName, const std::string& text);
    // Pads every attribute reply text to at least `bytes` (0: no padding).
    void SetAttributeReplyBytes(size_t bytes);
    // Sends every attribute reply in `parts` pieces with a short pause between them.
    void SetAttributeReplyParts(int parts);

    // --- what happened ---
    std::vector<HttpRequestRecord> HttpRequests() const;
    std::vector<AttributeRequestRecord> AttributeRequests() const;
    std::vector<ScanJobRecord> Jobs() const;
    // Data connections accepted on port 2080 (with or without a job to stream).
    int DataConnections() const;

    // Bounded waits for tests; true once the condition holds.
    bool WaitForHttpRequests(size_t count, std::chrono::milliseconds timeout) const;
    bool WaitForAttributeRequests(size_t count, std::chrono::milliseconds timeout) const;
    // Waits until job `index` exists and has left the Waiting and Streaming outcomes.
    bool WaitForJobEnd(size_t index, std::chrono::milliseconds timeout) const;

    void SetEventSink(NetScannerEventSink sink);

    struct State;

private:
    std::unique_ptr<State> m_state;
};

} // namespace ovraemu
