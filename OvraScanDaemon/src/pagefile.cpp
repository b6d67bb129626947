#include "pagefile.h"

#include "scanpaths.h"

#include <fcntl.h>
#include <unistd.h>

namespace {

const int c_iWriteCalls = 11;

} // namespace

int createPageFile(const std::string& baseName, int page)
{
    std::string path = pageFileName(baseName, page);
    return open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
}

bool writePageData(int fd, const unsigned char* data, size_t size)
{
    if (fd < 0)
        return false;
    size_t done = 0;
    for (int call = 0; call < c_iWriteCalls && done < size; ++call) {
        ssize_t got = write(fd, data + done, size - done);
        if (got > 0)
            done += static_cast<size_t>(got);
    }
    return done == size;
}

void closePageFile(int& fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}
