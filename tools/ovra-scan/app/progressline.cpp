#include "progressline.h"

#include <unistd.h>

namespace {

constexpr std::chrono::milliseconds kUpdateEvery{100};

std::string Amount(double bytes)
{
    char text[32];
    if (bytes < 1024)
        std::snprintf(text, sizeof text, "%.0f bytes", bytes);
    else if (bytes < 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f KiB", bytes / 1024);
    else
        std::snprintf(text, sizeof text, "%.1f MiB", bytes / (1024 * 1024));
    return text;
}

} // namespace

std::string ProgressText(const ovrascan::ScanProgress& progress, double seconds)
{
    std::string text = "page " + std::to_string(progress.pagesStarted) + ", " + Amount(double(progress.bytes));
    if (seconds > 0)
        text += ", " + Amount(double(progress.bytes) / seconds) + "/s";
    return text;
}

ProgressLine::ProgressLine(FILE* stream) : m_stream(stream), m_terminal(isatty(fileno(stream)) == 1) {}

void ProgressLine::Update(const ovrascan::ScanProgress& progress)
{
    const Clock::time_point now = Clock::now();
    if (!m_terminal || now - m_last < kUpdateEvery)
        return;
    m_last = now;
    const double seconds = std::chrono::duration<double>(now - m_start).count();
    // "\r" back to the start of the line, "\033[K" erases what a longer line left.
    std::fprintf(m_stream, "\r%s\033[K", ProgressText(progress, seconds).c_str());
    std::fflush(m_stream);
    m_visible = true;
}

void ProgressLine::Clear()
{
    if (!m_visible)
        return;
    std::fputs("\r\033[K", m_stream);
    std::fflush(m_stream);
    m_visible = false;
}
