// The two observers of a status change, each on a thread of its own, reporting into a
// ChangeLog: the watch on the status files' folder, and the reader of the tray monitor's
// debug log (the lines "<queue>: enCurrentStatus=<n>" it writes when a row changes).
#pragma once

#include "changelog.h"

#include <atomic>
#include <map>
#include <string>
#include <thread>

namespace ovrabench {

class Observers
{
public:
    Observers(ChangeLog& log, std::string statusFolder, std::string trayLogFolder);
    ~Observers();
    Observers(const Observers&) = delete;
    Observers& operator=(const Observers&) = delete;

private:
    void WatchStatusFiles();
    void FollowTrayLog();
    void ReadNewTrayLines(const std::string& path);

    ChangeLog& m_log;
    std::string m_statusFolder;
    std::string m_trayLogFolder;
    std::map<std::string, long long> m_trayLogOffsets;
    std::atomic<bool> m_stop{false};
    std::thread m_statusThread;
    std::thread m_trayThread;
};

// "<queue>" and the status of a tray log line "[time] (...) <queue>: enCurrentStatus=<n>";
// false for other lines.
bool ParseTrayStatusLine(const std::string& line, std::string& queue, int& status, double& wallMs);

} // namespace ovrabench
