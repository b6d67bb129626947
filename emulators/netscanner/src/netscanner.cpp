#include "ovraemu/netscanner.h"

#include "scannerstate.h"
#include "tcplistener.h"

#include <unistd.h>

namespace ovraemu {

void NetScanner::State::Emit(const std::string& line)
{
    std::lock_guard<std::mutex> lock(sinkMutex);
    if (sink)
        sink(line);
}

int NetScanner::State::HttpStatusLocked(HttpRoute route) const
{
    const auto it = httpStatus.find(route);
    return it == httpStatus.end() ? 200 : it->second;
}

bool NetScanner::State::AnyJobStreamingLocked() const
{
    for (const ScanJobRecord& job : jobs)
        if (job.outcome == JobOutcome::Streaming)
            return true;
    return false;
}

namespace {

struct PortService {
    uint16_t port;
    ConnectionKind kind;
    void (*serve)(NetScanner::State&, int);
};

const PortService kServices[] = {
    {kScanHttpPort, ConnectionKind::Http, ServeHttp},
    {kScanDataPort, ConnectionKind::Data, ServeData},
    {kScanAttributePort, ConnectionKind::Attribute, ServeAttributes},
};

void AcceptLoop(NetScanner::State& state, int listenFd, const PortService& service)
{
    for (int fd; (fd = AcceptOrStop(listenFd, state.stop.Fd())) >= 0;)
        state.connections.Serve(fd, service.kind,
                                [&state, serve = service.serve](int connection) { serve(state, connection); });
}

void CloseListeners(std::vector<int>& listeners)
{
    for (int fd : listeners)
        close(fd);
    listeners.clear();
}

template <typename Predicate>
bool WaitFor(const NetScanner::State& state, std::chrono::milliseconds timeout, Predicate ready)
{
    std::unique_lock<std::mutex> lock(state.mutex);
    return state.changed.wait_for(lock, timeout, ready);
}

} // namespace

NetScanner::NetScanner(std::string address) : m_state(std::make_unique<State>(std::move(address))) {}

NetScanner::~NetScanner() { Stop(); }

bool NetScanner::Start(std::string* error)
{
    State& s = *m_state;
    if (!IsLoopbackAddress(s.address)) {
        if (error)
            *error = "not a loopback address: " + s.address;
        return false;
    }
    if (!s.stop.IsOpen() || IsRunning()) {
        if (error)
            *error = s.stop.IsOpen() ? "the scanner already runs" : "cannot create the stop pipe";
        return false;
    }
    for (const PortService& service : kServices) {
        const int fd = ListenOn(s.address, service.port, error);
        if (fd < 0) {
            CloseListeners(s.listeners);
            return false;
        }
        s.listeners.push_back(fd);
    }
    s.stop.Reset();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.stopping = false;
        s.running = true;
    }
    // Announced before the first connection can be taken, so it is the first event.
    s.Emit("listening on " + s.address + " ports 80, 2080, 5000");
    for (size_t i = 0; i < s.listeners.size(); ++i)
        s.acceptThreads.emplace_back(AcceptLoop, std::ref(s), s.listeners[i], std::cref(kServices[i]));
    return true;
}

void NetScanner::Stop()
{
    State& s = *m_state;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!s.running)
            return;
        s.stopping = true;
        s.changed.notify_all();
    }
    s.stop.Raise();
    for (std::thread& thread : s.acceptThreads)
        thread.join();
    s.acceptThreads.clear();
    CloseListeners(s.listeners);
    s.connections.ShutDownAll();
    s.connections.JoinAll();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.running = false;
        if (s.waitingJob) {
            s.jobs[s.waitingJob->index].outcome = JobOutcome::Disconnected;
            s.waitingJob.reset();
        }
        s.changed.notify_all();
    }
    s.Emit("stopped");
}

bool NetScanner::IsRunning() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->running;
}

const std::string& NetScanner::Address() const { return m_state->address; }

void NetScanner::SetJob(const NetScanJob& job)
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->job = job;
}

NetScanJob NetScanner::Job() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->job;
}

void NetScanner::SetFeeder(FeederState state)
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->feeder = state;
}

FeederState NetScanner::Feeder() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->feeder;
}

void NetScanner::SetPostResult(int result)
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->postResult = result;
}

void NetScanner::SetHttpStatus(HttpRoute route, int status)
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->httpStatus[route] = status;
}

void NetScanner::SetCapabilities(const EmuCapabilities& capabilities)
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->capabilities = capabilities;
}

void NetScanner::SetAttributeReply(const std::string& objName, const std::string& attribName, const std::string& text)
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->attributeReplies[{objName, attribName}] = text;
}

void NetScanner::SetAttributeReplyBytes(size_t bytes)
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->attributeReplyBytes = bytes;
}

void NetScanner::SetAttributeReplyParts(int parts)
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->attributeReplyParts = parts;
}

std::vector<HttpRequestRecord> NetScanner::HttpRequests() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->httpRequests;
}

std::vector<AttributeRequestRecord> NetScanner::AttributeRequests() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->attributeRequests;
}

std::vector<ScanJobRecord> NetScanner::Jobs() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->jobs;
}

int NetScanner::DataConnections() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->dataConnections;
}

bool NetScanner::WaitForHttpRequests(size_t count, std::chrono::milliseconds timeout) const
{
    return WaitFor(*m_state, timeout, [this, count] { return m_state->httpRequests.size() >= count; });
}

bool NetScanner::WaitForAttributeRequests(size_t count, std::chrono::milliseconds timeout) const
{
    return WaitFor(*m_state, timeout, [this, count] { return m_state->attributeRequests.size() >= count; });
}

bool NetScanner::WaitForJobEnd(size_t index, std::chrono::milliseconds timeout) const
{
    return WaitFor(*m_state, timeout, [this, index] {
        return index < m_state->jobs.size() && m_state->jobs[index].outcome != JobOutcome::Waiting
               && m_state->jobs[index].outcome != JobOutcome::Streaming;
    });
}

void NetScanner::SetEventSink(NetScannerEventSink sink)
{
    std::lock_guard<std::mutex> lock(m_state->sinkMutex);
    m_state->sink = std::move(sink);
}

} // namespace ovraemu
