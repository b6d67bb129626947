// The daemon's two logs in the scan directory: the info log for progress and
// results, the error log for failures. Every line starts with "[OvraScanSDK] "
// and is flushed at once, so that the lines of the listener, the connection
// processes and the data processes interleave whole in the shared files. A log
// past 1 MiB rolls over into "<log>.1" (one such file is kept) and starts afresh.
#pragma once

#include "ovrajournal.h"

#include <cstdio>
#include <string>

extern FILE* outFile; // info log
extern FILE* errFile; // error log

// Opens both logs afresh (truncating them). Called once by the listener.
bool OvraInitDbg();
// Closes both logs if open and reopens them for appending. Called right after
// each fork of a connection process or a data process.
bool OvraReopenDbg();
// Closes both logs.
void OvraCloseDbg();

// One line each: "[OvraScanSDK] " + the formatted text + line end. A log that
// could not be opened swallows its lines.
void OvraLogInfo(const char* format, ...) __attribute__((format(printf, 1, 2)));
void OvraLogErr(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same without the line end.
void OvraLogInfoNoEol(const char* format, ...) __attribute__((format(printf, 1, 2)));
void OvraLogErrNoEol(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A name from a client or a device as it goes into a log line: control characters and
// backslashes written as "\xNN", so that it can never end the line or forge another.
std::string logSafe(const char* text);

// Writes the signal handler's two lines to the info log using only
// async-signal-safe calls.
void OvraLogSignal(int sig);
