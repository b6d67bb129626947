#include "scanlog.h"

#include "scanpaths.h"

#include <cstdarg>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

FILE* outFile = nullptr;
FILE* errFile = nullptr;

namespace {

const char c_szLinePrefix[] = "[OvraScanSDK] ";

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

void writeLine(FILE* stream, bool lineEnd, const char* format, va_list args)
{
    if (!stream)
        return;
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
    writeLine(outFile, true, format, args);
    va_end(args);
}

void OvraLogErr(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    writeLine(errFile, true, format, args);
    va_end(args);
}

void OvraLogInfoNoEol(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    writeLine(outFile, false, format, args);
    va_end(args);
}

void OvraLogErrNoEol(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    writeLine(errFile, false, format, args);
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
