// Port 2080: the data connection of the waiting job streams that job; any other data
// connection is closed at once.
#include "datastream.h"
#include "scannerstate.h"

namespace ovraemu {

namespace {

class JobControl : public StreamControl
{
public:
    JobControl(NetScanner::State& state, size_t index, uint64_t abortsAtStart)
        : m_state(state), m_index(index), m_abortsAtStart(abortsAtStart)
    {
    }

    bool Cancelled() const override
    {
        std::lock_guard<std::mutex> lock(m_state.mutex);
        return CancelledLocked();
    }

    JobOutcome CancelledOutcome() const override
    {
        std::lock_guard<std::mutex> lock(m_state.mutex);
        return m_state.aborts != m_abortsAtStart ? JobOutcome::Aborted : JobOutcome::Disconnected;
    }

    void PageSent(int page) override
    {
        std::lock_guard<std::mutex> lock(m_state.mutex);
        m_state.jobs[m_index].pagesSent = page + 1;
        m_state.changed.notify_all();
    }

    void FeederJammed() override
    {
        std::lock_guard<std::mutex> lock(m_state.mutex);
        m_state.feeder = FeederState::Jammed;
        m_state.changed.notify_all();
    }

    void HoldUntilCancelled() override
    {
        std::unique_lock<std::mutex> lock(m_state.mutex);
        m_state.changed.wait(lock, [this] { return CancelledLocked(); });
    }

    void Event(const std::string& line) override { m_state.Emit(line); }

private:
    bool CancelledLocked() const { return m_state.stopping || m_state.aborts != m_abortsAtStart; }

    NetScanner::State& m_state;
    size_t m_index;
    uint64_t m_abortsAtStart;
};

} // namespace

void ServeData(NetScanner::State& state, int fd)
{
    std::optional<WaitingJob> waiting;
    ScanJobRecord job;
    uint64_t abortsAtStart = 0;
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        ++state.dataConnections;
        waiting.swap(state.waitingJob);
        if (waiting) {
            state.jobs[waiting->index].outcome = JobOutcome::Streaming;
            job = state.jobs[waiting->index];
            abortsAtStart = state.aborts;
        }
        state.changed.notify_all();
    }
    if (!waiting) {
        state.Emit("data connection without a posted job: closed");
        return;
    }
    state.Emit("data connection: job " + std::to_string(waiting->index + 1) + " streams "
               + std::to_string(job.pages.size()) + " page(s)");
    JobControl control(state, waiting->index, abortsAtStart);
    const JobOutcome outcome = StreamJob(fd, job, waiting->script, waiting->jamBeforePage, control);
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        state.jobs[waiting->index].outcome = outcome;
        state.changed.notify_all();
    }
    state.Emit("data job " + std::to_string(waiting->index + 1) + " " + JobOutcomeName(outcome));
}

} // namespace ovraemu
