// Process-wide text log. Off until SetLogEnable(true); one line per call, files rolled
// over past 1 MiB, each program with its own folder and prefix (see ovraprogram.h).
#pragma once

#include <QString>

#include <type_traits>

void SetLogEnable(bool bEnable);
bool IsLogEnabled();

// The programs keep the log off. A user collecting a log for a bug report starts a program
// with OVRA_DEBUG_LOG=1 in its environment: this switches the log on for that run only.
// Returns whether it did.
bool EnableLogOnRequest();

// The current log file (null while logging is off).
QString CurrentLogFileName();

// Writes one line: "[yyyy-MM-dd hh:mm:ss.zzz] (file@line function) message".
// The message is a printf format, cut to 1023 bytes after formatting.
void WriteStringLogV(const char* file, int line, const char* function, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

template <typename... Args>
void WriteStringLog(const char* file, int line, const char* function, const QString& format, Args... args)
{
    static_assert((...
                   && (std::is_arithmetic<Args>::value || std::is_pointer<Args>::value || std::is_enum<Args>::value)),
                  "WriteStringLog takes printf arguments: pass QStrings through qPrintable()");
    if (!IsLogEnabled())
        return;
    const QByteArray byFormat = format.toLocal8Bit();
    if constexpr (sizeof...(Args) == 0)
        WriteStringLogV(file, line, function, "%s", byFormat.constData()); // a bare '%' stays text
    else
        WriteStringLogV(file, line, function, byFormat.constData(), args...);
}

// Passes the caller's source file, line and function.
#define OVRA_LOG(...) WriteStringLog(__FILE__, __LINE__, __FUNCTION__, __VA_ARGS__)
