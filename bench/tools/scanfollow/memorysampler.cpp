#include "memorysampler.h"

#include "benchclock.h"
#include "procfacts.h"

#include <chrono>

namespace ovrabench {

MemorySampler::MemorySampler(pid_t process, int intervalMs)
    : m_process(process), m_intervalMs(intervalMs), m_thread([this] { Run(); })
{
}

MemorySampler::~MemorySampler() { Stop(); }

void MemorySampler::Stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void MemorySampler::Run()
{
    const double start = MonoSeconds();
    while (!m_stop) {
        const long rss = StatusKiB(m_process, "VmRSS");
        const long peak = StatusKiB(m_process, "VmHWM");
        if (rss < 0)
            return; // the process has ended
        m_peakKiB = peak;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_points.push_back({MonoSeconds() - start, m_bytes.load(), rss});
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(m_intervalMs));
    }
}

std::vector<MemoryPoint> MemorySampler::Points() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_points;
}

long MemorySampler::RssAtBytes(int64_t bytes) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const MemoryPoint& point : m_points) {
        if (point.bytes >= bytes)
            return point.rssKiB;
    }
    return m_points.empty() ? -1 : m_points.back().rssKiB;
}

} // namespace ovrabench
