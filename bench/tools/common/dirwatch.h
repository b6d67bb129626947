// Changes of the files in one folder (inotify), each with the wall time it was read at.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ovrabench {

struct DirEvent {
    std::string name;  // file name inside the folder
    uint32_t mask = 0; // IN_CLOSE_WRITE, IN_MOVED_TO, ...
    double wallMs = 0;
};

class DirWatch
{
public:
    DirWatch(const std::string& folder, uint32_t mask);
    ~DirWatch();
    DirWatch(const DirWatch&) = delete;
    DirWatch& operator=(const DirWatch&) = delete;

    bool Ok() const { return m_wd >= 0; }
    // The events that arrive within timeoutMs (those already queued at once).
    std::vector<DirEvent> Next(int timeoutMs);

private:
    int m_fd = -1;
    int m_wd = -1;
};

} // namespace ovrabench
