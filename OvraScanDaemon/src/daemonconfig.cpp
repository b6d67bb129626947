#include "daemonconfig.h"

#include "ovrascanprotocol.h"

#include <cstdlib>
#include <cstring>

namespace {

// A positive whole number from the environment, at most `most`; `fallback` when
// the variable is unset or holds anything else.
long long positiveKnob(const char* name, long long most, long long fallback)
{
    const char* value = std::getenv(name);
    if (!value || !*value)
        return fallback;
    char* end = nullptr;
    const long long number = std::strtoll(value, &end, 10);
    if (*end != '\0' || number <= 0 || number > most)
        return fallback;
    return number;
}

} // namespace

uint16_t daemonListenPort()
{
    return static_cast<uint16_t>(positiveKnob("OVRA_SCAN_DAEMON_PORT", 65535, OVRA_SCAN_DAEMON_DEFAULT_PORT));
}

bool daemonStaysInForeground()
{
    const char* value = std::getenv("OVRA_SCAN_DAEMON_FOREGROUND");
    return value && std::strcmp(value, "1") == 0;
}

int daemonIdleSeconds()
{
    return static_cast<int>(positiveKnob("OVRA_SCAN_DAEMON_IDLE_SECONDS", 86400, c_iIdleSeconds));
}

int daemonRecordWaitSeconds()
{
    return static_cast<int>(positiveKnob("OVRA_SCAN_DAEMON_RECORD_WAIT_SECONDS", 3600, c_iRecordWaitSeconds));
}

int64_t daemonPageFileLimit()
{
    return positiveKnob("OVRA_SCAN_DAEMON_PAGE_LIMIT", c_llPageFileLimit, c_llPageFileLimit);
}
