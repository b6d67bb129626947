#include "wakepipe.h"

#include <fcntl.h>
#include <unistd.h>

namespace ovraemu {

WakePipe::WakePipe()
{
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
        m_read = fds[0];
        m_write = fds[1];
    }
}

WakePipe::~WakePipe()
{
    if (m_read >= 0)
        close(m_read);
    if (m_write >= 0)
        close(m_write);
}

void WakePipe::Wake()
{
    const char byte = 1;
    // A full pipe already wakes the reader; nothing is lost when the write fails.
    [[maybe_unused]] ssize_t n = write(m_write, &byte, 1);
}

} // namespace ovraemu
