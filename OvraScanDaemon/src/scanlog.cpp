#include "scanlog.h"

#include "scanpaths.h"

#include <cstdarg>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

FILE* outFile = nullptr;
FILE* errFile = nullptr;

namespace {

const char c_szLinePrefix[] = "[OvraScanSDK] ";
// Past this size a log rolls over: its lines move to "<log>.1", which replaces
// the one before, and the log starts afresh. Two files each bound the disk the
// logs take, whatever clients make the daemon log.
const off_t c_iLogFileLimit = 1048576;

// Log files are created readable by everyone and writable by the daemon only,
// and never through a symbolic link planted in the scan directory.
FILE* openLog(const std::string& path, bool truncate)
{
    // Always appending: the listener's lines must not overwrite those that
    // connection and data processes appended after the truncation.
    int flags = O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC | (truncate ? O_TRUNC : 0);
    int fd = open(path.c_str(), flags, 0644);
    if (fd < 0)
        return nullptr;
    FILE* stream = fdopen(fd, "ab");
    if (!stream)
        close(fd);
    return stream;
}

void closeLog(FILE*& stream)
{
    if (stream)
        fclose(stream);
    stream = nullptr;
}

bool sameFile(int fd, const std::string& path)
{
    struct stat open = {}, named = {};
    return fstat(fd, &open) == 0 && lstat(path.c_str(), &named) == 0 && open.st_dev == named.st_dev
           && open.st_ino == named.st_ino;
}

// Every process of the daemon appends to the same logs. The first one to find a log
// full moves it aside under a lock; the others find it moved and open the new one.
// A log moved aside is always full, so a process that has not written for a while
// (the listener) never writes into it.
void rollOverIfFull(FILE*& stream, std::string (*logPath)())
{
    const int fd = fileno(stream);
    struct stat open = {};
    if (fstat(fd, &open) != 0 || open.st_size <= c_iLogFileLimit)
        return;
    const std::string path = logPath();
    flock(fd, LOCK_EX);
    if (sameFile(fd, path))
        rename(path.c_str(), (path + ".1").c_str());
    flock(fd, LOCK_UN);
    if (FILE* fresh = openLog(path, false)) {
        fclose(stream);
        stream = fresh;
    }
}

void writeLine(FILE*& stream, std::string (*logPath)(), bool lineEnd, const char* format, va_list args)
{
    if (!stream)
        return;
    rollOverIfFull(stream, logPath);
    char text[4096];
    vsnprintf(text, sizeof(text), format, args);
    fprintf(stream, "%s%s%s", c_szLinePrefix, text, lineEnd ? "\n" : "");
    fflush(stream);
}

// Appends the decimal text of value to buf; returns the new end.
char* appendNumber(char* out, int value)
{
    char digits[16];
    int n = 0;
    unsigned v = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v);
    if (value < 0)
        *out++ = '-';
    while (n)
        *out++ = digits[--n];
    return out;
}

char* appendText(char* out, const char* text)
{
    size_t n = strlen(text);
    memcpy(out, text, n);
    return out + n;
}

} // namespace

bool OvraInitDbg()
{
    OvraCloseDbg();
    outFile = openLog(scanInfoLogPath(), true);
    if (!outFile)
        return false;
    errFile = openLog(scanErrLogPath(), true);
    return errFile != nullptr;
}

bool OvraReopenDbg()
{
    OvraCloseDbg();
    outFile = openLog(scanInfoLogPath(), false);
    if (!outFile)
        return false;
    errFile = openLog(scanErrLogPath(), false);
    return errFile != nullptr;
}

void OvraCloseDbg()
{
    closeLog(outFile);
    closeLog(errFile);
}

void OvraLogInfo(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    writeLine(outFile, scanInfoLogPath, true, format, args);
    va_end(args);
}

void OvraLogErr(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    writeLine(errFile, scanErrLogPath, true, format, args);
    va_end(args);
}

void OvraLogInfoNoEol(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    writeLine(outFile, scanInfoLogPath, false, format, args);
    va_end(args);
}

void OvraLogErrNoEol(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    writeLine(errFile, scanErrLogPath, false, format, args);
    va_end(args);
}

std::string logSafe(const char* text)
{
    std::string safe;
    for (const char* p = text ? text : ""; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 || c == 0x7F || c == '\\') {
            char escaped[5];
            snprintf(escaped, sizeof(escaped), "\\x%02x", c);
            safe += escaped;
        } else {
            safe += static_cast<char>(c);
        }
    }
    return safe;
}

void OvraLogSignal(int sig)
{
    if (!outFile)
        return;
    char line[128];
    char* end = appendText(line, c_szLinePrefix);
    end = appendText(end, "I got a signal ");
    end = appendNumber(end, sig);
    end = appendText(end, "\nI'm quitting.\n");
    // The stream is flushed after every line, so writing to its descriptor
    // directly keeps the order of lines.
    ssize_t ignored = write(fileno(outFile), line, static_cast<size_t>(end - line));
    (void)ignored;
}
