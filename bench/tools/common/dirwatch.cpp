#include "dirwatch.h"

#include "benchclock.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace ovrabench {

DirWatch::DirWatch(const std::string& folder, uint32_t mask)
{
    m_fd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (m_fd >= 0)
        m_wd = inotify_add_watch(m_fd, folder.c_str(), mask);
}

DirWatch::~DirWatch()
{
    if (m_fd >= 0)
        close(m_fd);
}

std::vector<DirEvent> DirWatch::Next(int timeoutMs)
{
    std::vector<DirEvent> events;
    pollfd ready = {m_fd, POLLIN, 0};
    if (m_fd < 0 || poll(&ready, 1, timeoutMs) <= 0)
        return events;
    alignas(inotify_event) char buffer[64 * 1024];
    const ssize_t got = read(m_fd, buffer, sizeof(buffer));
    const double now = WallMs();
    for (ssize_t at = 0; got > 0 && at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        if (event->len > 0)
            events.push_back({event->name, event->mask, now});
        at += ssize_t(sizeof(inotify_event) + event->len);
    }
    return events;
}

} // namespace ovrabench
