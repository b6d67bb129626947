#include "ovrajournal.h"

#include <cstdarg>
#include <cstdio>

void OvraJournalLine(const char* format, ...)
{
    // Formatted first and written with its line end in one call, so that the lines of
    // several processes never interleave.
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    fprintf(stderr, "%s\n", text);
}
