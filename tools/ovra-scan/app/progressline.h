// The running line ovra-scan keeps on a terminal while a scan runs:
//   "page 2, 3.4 MiB, 1.2 MiB/s"
// written over itself. On anything but a terminal it writes nothing.
#pragma once

#include "ovrascan/scanrunner.h"

#include <chrono>
#include <cstdio>
#include <string>

// The line for a scan that has come this far in this many seconds.
std::string ProgressText(const ovrascan::ScanProgress& progress, double seconds);

class ProgressLine
{
public:
    // Shows on `stream` only when it is a terminal.
    explicit ProgressLine(FILE* stream);

    bool Shown() const { return m_terminal; }
    // Rewrites the line, at most ten times a second.
    void Update(const ovrascan::ScanProgress& progress);
    // Clears the line, so that a message can take its place.
    void Clear();

private:
    using Clock = std::chrono::steady_clock;

    FILE* m_stream;
    bool m_terminal;
    bool m_visible = false;
    Clock::time_point m_start = Clock::now();
    Clock::time_point m_last{};
};
