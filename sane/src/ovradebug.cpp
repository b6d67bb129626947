#include "ovradebug.h"

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdlib>

namespace ovrasane {

namespace {

int g_level = 0;
FILE* g_stream = stderr;

} // namespace

int ParseDebugLevel(const char* text)
{
    if (!text || !*text)
        return 0;
    char* end = nullptr;
    errno = 0;
    const long level = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || level < 0 || level > INT_MAX)
        return 0;
    return int(level);
}

void InitDebug(FILE* stream)
{
    g_level = ParseDebugLevel(std::getenv("SANE_DEBUG_OVRA"));
    g_stream = stream ? stream : stderr;
}

int CurrentDebugLevel() { return g_level; }

void Dbg(int level, const char* format, ...)
{
    if (level > g_level)
        return;
    // One write per message, so that messages of two handles do not interleave.
    char line[1024];
    va_list args;
    va_start(args, format);
    const int prefix = std::snprintf(line, sizeof line, "[ovra] ");
    std::vsnprintf(line + prefix, sizeof line - size_t(prefix) - 1, format, args);
    va_end(args);
    std::fprintf(g_stream, "%s\n", line);
    std::fflush(g_stream);
}

} // namespace ovrasane
