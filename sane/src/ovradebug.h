// Debug messages as SANE backends give them: SANE_DEBUG_OVRA=N (read by sane_init)
// prints every message of level N or lower on standard error as "[ovra] message".
#pragma once

#include <cstdio>

namespace ovrasane {

enum DebugLevel {
    DBG_ERROR = 1, // failures a user should know of
    DBG_INFO = 2,  // scans, pages, devices
    DBG_TRACE = 3, // every entry point
    DBG_DETAIL = 4 // records, option values, bytes
};

// The level a SANE_DEBUG_OVRA text asks for: a whole number, else 0 (silent).
int ParseDebugLevel(const char* text);

// Reads SANE_DEBUG_OVRA; `stream` receives the messages (standard error by default).
void InitDebug(FILE* stream = stderr);
int CurrentDebugLevel();

void Dbg(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));

} // namespace ovrasane
