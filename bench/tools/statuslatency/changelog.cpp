#include "changelog.h"

#include "benchclock.h"

#include <chrono>

namespace ovrabench {

void ChangeLog::FileWritten(const std::string& queue, double wallMs)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_files[queue].push_back(wallMs);
    m_changed.notify_all();
}

void ChangeLog::TrayShowed(const std::string& queue, int status, double wallMs)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_tray[queue].push_back({status, wallMs});
    m_changed.notify_all();
}

template <typename Found>
std::optional<double> ChangeLog::WaitFor(const Found& found, double deadlineMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (const std::optional<double> time = found())
            return time;
        const double left = deadlineMs - WallMs();
        if (left <= 0)
            return std::nullopt;
        m_changed.wait_for(lock, std::chrono::milliseconds(int(left) + 1));
    }
}

std::optional<double> ChangeLog::WaitFile(const std::string& queue, double afterMs, double deadlineMs)
{
    return WaitFor(
        [&]() -> std::optional<double> {
            for (double time : m_files[queue]) {
                if (time >= afterMs)
                    return time;
            }
            return std::nullopt;
        },
        deadlineMs);
}

std::optional<double> ChangeLog::WaitTray(const std::string& queue, int status, double afterMs, double deadlineMs)
{
    return WaitFor(
        [&]() -> std::optional<double> {
            for (const Sighting& sighting : m_tray[queue]) {
                // The log's time stamps have whole milliseconds.
                if (sighting.status == status && sighting.wallMs >= afterMs - 1)
                    return sighting.wallMs;
            }
            return std::nullopt;
        },
        deadlineMs);
}

} // namespace ovrabench
