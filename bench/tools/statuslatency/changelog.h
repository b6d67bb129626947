// What the observers saw, per queue, with wall times: the rewrites of the status file
// (from the folder watch) and the states the tray monitor showed (from its debug log).
// The change runs wait here for the first sighting after the change they made.
#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace ovrabench {

class ChangeLog
{
public:
    void FileWritten(const std::string& queue, double wallMs);
    void TrayShowed(const std::string& queue, int status, double wallMs);

    // The first rewrite of the queue's status file at or after `afterMs`, waiting until
    // the deadline (wall ms); no value when none came.
    std::optional<double> WaitFile(const std::string& queue, double afterMs, double deadlineMs);
    // The first time at or after `afterMs` that the tray showed the status.
    std::optional<double> WaitTray(const std::string& queue, int status, double afterMs, double deadlineMs);

private:
    struct Sighting {
        int status;
        double wallMs;
    };
    template <typename Found>
    std::optional<double> WaitFor(const Found& found, double deadlineMs);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<std::string, std::vector<double>> m_files;
    std::map<std::string, std::vector<Sighting>> m_tray;
};

} // namespace ovrabench
