#include "stoppipe.h"

#include <fcntl.h>
#include <unistd.h>

namespace ovraemu {

StopPipe::StopPipe()
{
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
        m_read = fds[0];
        m_write = fds[1];
    }
}

StopPipe::~StopPipe()
{
    if (m_read >= 0)
        close(m_read);
    if (m_write >= 0)
        close(m_write);
}

void StopPipe::Raise()
{
    const char byte = 1;
    // A pipe that already holds a byte is readable; a failed write loses nothing.
    [[maybe_unused]] ssize_t n = write(m_write, &byte, 1);
}

void StopPipe::Reset()
{
    char buffer[64];
    while (read(m_read, buffer, sizeof buffer) > 0) {
    }
}

} // namespace ovraemu
