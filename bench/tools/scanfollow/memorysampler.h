// Samples the resident memory of one process (the daemon's data process) while a scan
// runs, together with the scan's progress, so that its growth with the job shows.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace ovrabench {

struct MemoryPoint {
    double seconds = 0; // since Start
    int64_t bytes = 0;  // progress when it was taken
    long rssKiB = 0;
};

class MemorySampler
{
public:
    MemorySampler(pid_t process, int intervalMs);
    ~MemorySampler();
    MemorySampler(const MemorySampler&) = delete;
    MemorySampler& operator=(const MemorySampler&) = delete;

    void Progress(int64_t bytes) { m_bytes = bytes; }
    // Ends sampling; the points and the peak stay readable.
    void Stop();

    std::vector<MemoryPoint> Points() const;
    // VmHWM as last read: the process's peak resident memory so far.
    long PeakKiB() const { return m_peakKiB; }
    // The resident memory when the progress first reached `bytes`; -1 before any sample.
    long RssAtBytes(int64_t bytes) const;

private:
    void Run();

    pid_t m_process;
    int m_intervalMs;
    std::atomic<int64_t> m_bytes{0};
    std::atomic<long> m_peakKiB{-1};
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<MemoryPoint> m_points;
    std::thread m_thread;
};

} // namespace ovrabench
